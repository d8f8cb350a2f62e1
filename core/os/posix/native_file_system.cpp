#include "file_system.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kh {
namespace {

constexpr const char* kSeparators = "/";

class PosixFileSystem final : public FileSystem {
  public:
    PathKind pathKind(const std::string& path) override {
        struct stat st {};
        if (path.empty() || ::stat(path.c_str(), &st) != 0) return PathKind::Missing;
        if (S_ISREG(st.st_mode)) return PathKind::File;
        if (S_ISDIR(st.st_mode)) return PathKind::Directory;
        return PathKind::Other;
    }

    bool canWrite(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }

    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override {
        const std::string folder = folderOf(target, kSeparators);
        for (int attempt = 0; attempt < 16; ++attempt) {
            const std::string candidate =
                tempNameIn(folder, static_cast<unsigned long long>(getpid()));
            const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return nullptr;
            }
            // A replaced file keeps its permissions; a new one is private to the user.
            struct stat old {};
            if (::stat(target.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
            std::FILE* stream = ::fdopen(fd, "w+b");
            if (stream == nullptr) {
                ::close(fd);
                ::unlink(candidate.c_str());
                return nullptr;
            }
            auto file = std::make_unique<SdrFile>();
            file->attach(stream, true);
            tempPath = candidate;
            return file;
        }
        return nullptr;
    }

    void startWriteBack(SdrFile& file) override {
#ifdef __linux__
        if (file.flush()) ::sync_file_range(::fileno(file.stream()), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
        (void)file;
#endif
    }

    bool commitToDisk(SdrFile& file) override {
        if (!file.flush()) return false;
        return ::fsync(::fileno(file.stream())) == 0;
    }

    bool replaceFile(const std::string& source, const std::string& target) override {
        if (::rename(source.c_str(), target.c_str()) != 0) return false;
        // Make the new directory entry itself durable; a failure here does not undo it.
        const std::string folder = folderOf(target, kSeparators);
        const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return true;
    }

    bool removeFile(const std::string& path) override {
        return ::unlink(path.c_str()) == 0;
    }
};

} // namespace

FileSystem& nativeFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

} // namespace kh
