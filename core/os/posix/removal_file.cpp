#include "file_remover.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kh {
namespace {

class PosixRemovalFile final : public RemovalFile {
  public:
    PosixRemovalFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixRemovalFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    long long size() override {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        if (end < 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return -1;
        return static_cast<long long>(end);
    }

    std::size_t write(const void* bytes, std::size_t length) override {
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::write(fd_, static_cast<const char*>(bytes) + done, length - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        return done;
    }

    bool flush() override { return true; } // nothing is buffered in this process
    bool commit() override { return ::fsync(fd_) == 0; }
    bool truncate() override { return ::ftruncate(fd_, 0) == 0; }

    bool remove() override {
        // Only while the name still leads to the file that was overwritten here.
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd_, &opened) != 0 || ::lstat(path_.c_str(), &named) != 0 ||
            opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
            return false;
        return ::unlink(path_.c_str()) == 0;
    }

    bool close() override {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
    std::string path_;
};

bool writeProtected(const struct stat& info) {
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

class PosixRemovalFileOps final : public RemovalFileOps {
  public:
    std::unique_ptr<RemovalFile> openForUpdate(const std::string& path) override {
        if (path.empty()) return nullptr;
        // O_NOFOLLOW: a link is refused, never followed to a file the user did not name.
        // O_NONBLOCK: a named pipe must not hold the open.
        const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return nullptr;
        struct stat info {};
        const int flags = ::fcntl(fd, F_GETFL);
        // Only plain files: overwriting a device named in the file dialog would be a
        // disaster.
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || writeProtected(info) ||
            flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<PosixRemovalFile>(fd, path);
    }
};

} // namespace

RemovalFileOps& nativeRemovalFileOps() {
    static PosixRemovalFileOps ops;
    return ops;
}

// The permission bits rather than access(): root may write anywhere, but a file that
// nobody may write is meant to be kept.
bool isWriteProtected(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    return writeProtected(info);
}

} // namespace kh
