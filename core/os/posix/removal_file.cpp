#include "file_remover.h"

#include <sys/stat.h>

namespace kh {

// The permission bits rather than access(): root may write anywhere, but a file that
// nobody may write is meant to be kept.
bool isWriteProtected(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace kh
