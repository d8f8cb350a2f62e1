#include "file_system.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace kh {
namespace {

constexpr const char* kSeparators = "\\/:";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }

  private:
    HANDLE h_;
};

// Opens a path for its kind and name only (no access to the content), following links.
HANDLE openForQuery(const std::string& path) {
    return CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// What an opened handle is: a disk file, a folder, or something else (a device, a pipe).
PathKind kindOf(HANDLE h) {
    if (GetFileType(h) != FILE_TYPE_DISK) return PathKind::Other;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) return PathKind::Other;
    return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory
                                                              : PathKind::File;
}

// A wide path in the ANSI code page, or nothing when a character has no form there.
bool toAnsi(const std::wstring& wide, std::string& ansi) {
    BOOL lossy = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                            static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
    if (length <= 0 || lossy) return false;
    ansi.assign(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        ansi.data(), length, nullptr, &lossy);
    return !lossy;
}

// The temporary file of a save. Another save of the same target is kept out by a lock
// file that only one process can hold open and that the system deletes when its handle
// closes, also when the process dies. (The temporary file cannot carry the lock itself:
// ReplaceFile opens it without sharing.)
class LockedTempFile final : public SdrFile {
  public:
    explicit LockedTempFile(HANDLE lock) : lock_(lock) {}
    ~LockedTempFile() override {
        SdrFile::close();
        CloseHandle(lock_);
    }

  private:
    HANDLE lock_;
};

class Win32FileSystem final : public FileSystem {
  public:
    PathKind pathKind(const std::string& path) override {
        if (path.empty()) return PathKind::Missing;
        Handle h(openForQuery(path));
        if (h.valid()) return kindOf(h.get());
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
            error == ERROR_INVALID_NAME)
            return PathKind::Missing;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::Directory;
        // There, but not even open for its name (a busy pipe, say): nothing to replace.
        return PathKind::Other;
    }

    bool canWrite(const std::string& path) override {
        Handle h(CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
        return h.valid();
    }

    std::string finalPath(const std::string& path) override {
        Handle h(openForQuery(path));
        if (!h.valid() || kindOf(h.get()) != PathKind::File) return path;
        std::wstring wide(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length =
                GetFinalPathNameByHandleW(h.get(), wide.data(), static_cast<DWORD>(wide.size()),
                                          FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            if (length == 0) return path;
            if (length < wide.size()) {
                wide.resize(length);
                break;
            }
            wide.assign(length + 1, L'\0');
        }
        // "\\?\C:\..." and "\\?\UNC\server\share\..." in the forms every function takes.
        std::wstring plain = wide;
        if (plain.rfind(L"\\\\?\\UNC\\", 0) == 0)
            plain = L"\\\\" + plain.substr(8);
        else if (plain.rfind(L"\\\\?\\", 0) == 0)
            plain = plain.substr(4);
        std::string result;
        if (!toAnsi(plain.size() < MAX_PATH ? plain : wide, result)) return path;
        return result;
    }

    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override {
        const std::string temp = tempNameFor(target, kSeparators);
        const std::string lockName = temp.substr(0, temp.size() - 4) + ".lck";
        Handle lock(CreateFileA(lockName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                nullptr));
        if (!lock.valid()) return nullptr; // another save holds it, or no such folder

        // Holding the lock, whatever is under the temporary name is a leftover.
        SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileA(temp.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return nullptr;
        Handle h(CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.valid()) return nullptr;
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h.get()), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(h.release());
            DeleteFileA(temp.c_str());
            return nullptr;
        }
        h.release();
        std::FILE* stream = _fdopen(fd, "w+b");
        if (stream == nullptr) {
            _close(fd);
            DeleteFileA(temp.c_str());
            return nullptr;
        }
        auto file = std::make_unique<LockedTempFile>(lock.release());
        file->attach(stream, true);
        tempPath = temp;
        return file;
    }

    bool commitToDisk(SdrFile& file) override {
        if (!file.flush()) return false;
        return _commit(_fileno(file.stream())) == 0;
    }

    bool replaceFile(const std::string& source, const std::string& target) override {
        const DWORD attributes = GetFileAttributesA(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return MoveFileExA(source.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;

        // ReplaceFile keeps the old file's access rights, encryption and streams; the
        // attributes such as hidden and system are given to the new file here.
        constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if (attributes & kKept) SetFileAttributesA(source.c_str(), attributes & kKept);
        if (ReplaceFileA(target.c_str(), source.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                         nullptr))
            return true;
        // The old file is gone but the new one could not take its name: finish by hand.
        if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT)
            return MoveFileExA(source.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        return false;
    }

    bool removeFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }
};

} // namespace

FileSystem& nativeFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

bool openRegularFile(const std::string& path, SdrFile& file) {
    file.close();
    if (path.empty()) return false;
    Handle h(CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid() || kindOf(h.get()) != PathKind::File) return false;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h.get()), _O_RDONLY | _O_BINARY);
    if (fd < 0) return false;
    h.release();
    std::FILE* stream = _fdopen(fd, "rb");
    if (stream == nullptr) {
        _close(fd);
        return false;
    }
    file.attach(stream, true);
    return true;
}

} // namespace kh
