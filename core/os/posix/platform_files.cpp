#include "platform_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace kh {

const PathStyle& nativePathStyle() {
    static constexpr PathStyle style{"/", '/', false};
    return style;
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
