#include "file_system.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace kh {
namespace {

constexpr const char* kSeparators = "\\/:";

class Win32FileSystem final : public FileSystem {
  public:
    PathKind pathKind(const std::string& path) override {
        if (path.empty()) return PathKind::Missing;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Directory;
        if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::Other;
        return PathKind::File;
    }

    bool canWrite(const std::string& path) override {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        CloseHandle(h);
        return true;
    }

    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override {
        const std::string folder = folderOf(target, kSeparators);
        for (int attempt = 0; attempt < 16; ++attempt) {
            const std::string candidate =
                tempNameIn(folder, static_cast<unsigned long long>(GetCurrentProcessId()));
            HANDLE h = CreateFileA(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                if (GetLastError() == ERROR_FILE_EXISTS) continue;
                return nullptr;
            }
            const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
            if (fd < 0) {
                CloseHandle(h);
                DeleteFileA(candidate.c_str());
                return nullptr;
            }
            std::FILE* stream = _fdopen(fd, "w+b");
            if (stream == nullptr) {
                _close(fd);
                DeleteFileA(candidate.c_str());
                return nullptr;
            }
            auto file = std::make_unique<SdrFile>();
            file->attach(stream, true);
            tempPath = candidate;
            return file;
        }
        return nullptr;
    }

    bool commitToDisk(SdrFile& file) override {
        if (!file.flush()) return false;
        return _commit(_fileno(file.stream())) == 0;
    }

    bool replaceFile(const std::string& source, const std::string& target) override {
        return MoveFileExA(source.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }

    bool removeFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }
};

} // namespace

FileSystem& nativeFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

} // namespace kh
