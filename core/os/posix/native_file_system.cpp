#include "file_system.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kh {
namespace {

constexpr const char* kSeparators = "/";

// True while `fd` is the file that `path` names (and not one that took its place).
bool namesThisFile(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Removes what an interrupted save left under `temp`. A save that is still running holds
// the file's lock: then, and when the name cannot be cleared, false.
bool clearLeftover(const std::string& temp) {
    const int fd = ::open(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        // A symbolic link under that name: removing the link touches nothing else.
        if (errno == ELOOP || errno == EMLINK) return ::unlink(temp.c_str()) == 0;
        return false;
    }
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    // Its owner may have put it in place meanwhile; then the name is free or new.
    if (ok && namesThisFile(fd, temp)) ok = ::unlink(temp.c_str()) == 0 || errno == ENOENT;
    ::close(fd);
    return ok;
}

// The temporary file of a save, holding its lock on a second descriptor until the
// object goes, so that closing the stream before the rename does not release it.
class LockedTempFile final : public SdrFile {
  public:
    explicit LockedTempFile(int lockFd) : lockFd_(lockFd) {}
    ~LockedTempFile() override {
        SdrFile::close();
        ::close(lockFd_);
    }

  private:
    int lockFd_;
};

// A new file takes over the old one's owner, group and permissions, as far as the user
// may give them away; owner first, since a change of owner clears the set-id bits.
void takeOverAccess(int fd, const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return;
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, uid_t(-1), old.st_gid) != 0) {
        // Neither is ours to give: the file stays the user's, which is never wider.
    }
    ::fchmod(fd, old.st_mode & 07777);
}

class PosixFileSystem final : public FileSystem {
  public:
    PathKind pathKind(const std::string& path) override {
        struct stat st {};
        if (path.empty()) return PathKind::Missing;
        if (::stat(path.c_str(), &st) != 0)
            return errno == ENOENT || errno == ENOTDIR ? PathKind::Missing : PathKind::Other;
        if (S_ISREG(st.st_mode)) return PathKind::File;
        if (S_ISDIR(st.st_mode)) return PathKind::Directory;
        return PathKind::Other;
    }

    bool canWrite(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }

    std::string finalPath(const std::string& path) override {
        std::string current = path;
        std::vector<char> target(PATH_MAX + 1);
        for (int hop = 0; hop < 40; ++hop) {
            struct stat st {};
            if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
            const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
            if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return path;
            const std::string_view next(target.data(), static_cast<std::size_t>(length));
            // A relative target counts from the link's own folder.
            std::string resolved =
                next.front() == '/' ? std::string() : folderOf(current, kSeparators);
            resolved += next;
            current = std::move(resolved);
        }
        return path; // a loop of links: the open fails on it as it would anyway
    }

    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override {
        const std::string temp = tempNameFor(target, kSeparators);
        for (int attempt = 0; attempt < 8; ++attempt) {
            if (!clearLeftover(temp)) return nullptr;
            const int fd =
                ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return nullptr;
            }
            // Between the creation and the lock another save may have taken this file for
            // a leftover and removed it: then it is not ours to write, start again.
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !namesThisFile(fd, temp)) {
                ::close(fd);
                continue;
            }
            takeOverAccess(fd, target);
            const int lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            std::FILE* stream = lockFd < 0 ? nullptr : ::fdopen(fd, "w+b");
            if (stream == nullptr) {
                ::unlink(temp.c_str());
                ::close(fd);
                if (lockFd >= 0) ::close(lockFd);
                return nullptr;
            }
            auto file = std::make_unique<LockedTempFile>(lockFd);
            file->attach(stream, true);
            tempPath = temp;
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

    bool saveLockHeld(const std::string& target) override {
        // The lock of a save is its temporary file's (see createTempBeside).
        const std::string temp = tempNameFor(target, kSeparators);
        const int fd = ::open(temp.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        return held;
    }
};

FileIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace

FileSystem& nativeFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return identityOf(st);
}

std::optional<FileFingerprint> describeOpenFile(SdrFile& file) {
    struct stat st {};
    if (file.stream() == nullptr || ::fstat(::fileno(file.stream()), &st) != 0) return std::nullopt;
    FileFingerprint print;
    print.identity = identityOf(st);
    print.size = static_cast<std::uint64_t>(st.st_size);
    print.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 +
                     static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    return print;
}

bool openRegularFile(const std::string& path, SdrFile& file) {
    file.close();
    if (path.empty()) return false;
    // Without O_NONBLOCK the open itself would wait for a writer on a named pipe.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* stream = nullptr;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flags >= 0 &&
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        stream = ::fdopen(fd, "rb");
    if (stream == nullptr) {
        ::close(fd);
        return false;
    }
    file.attach(stream, true);
    return true;
}

} // namespace kh
