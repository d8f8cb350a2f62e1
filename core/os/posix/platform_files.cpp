#include "platform_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace kh {

const PathStyle& nativePathStyle() {
    static constexpr PathStyle style{"/", '/', false};
    return style;
}

std::optional<std::int64_t> modificationTime(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool makeOneFolder(const std::string& folder) {
    return ::mkdir(folder.c_str(), 0700) == 0;
}

FileAccess::FileAccess(SdrFile& source) {
    struct stat info {};
    if (::fstat(::fileno(source.stream()), &info) != 0) return;
    known_ = true;
    owner_ = info.st_uid;
    group_ = info.st_gid;
    mode_ = info.st_mode & 0777;
}

void FileAccess::giveTo(SdrFile& copy) const {
    if (!known_) return;
    const int fd = ::fileno(copy.stream());
    if (::fchown(fd, owner_, group_) != 0 && ::fchown(fd, uid_t(-1), group_) != 0) {
        // Not ours to give away: the copy stays the user's.
    }
    ::fchmod(fd, mode_);
}

} // namespace kh
