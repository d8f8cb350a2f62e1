#include "platform_files.h"

#include <direct.h>

namespace kh {

const PathStyle& nativePathStyle() {
    static constexpr PathStyle style{"\\/:", '\\', true};
    return style;
}

bool makeOneFolder(const std::string& folder) {
    return ::_mkdir(folder.c_str()) == 0;
}

// A new file takes the access rights of its folder.
FileAccess::FileAccess(SdrFile&) {}

void FileAccess::giveTo(SdrFile&) const {}

} // namespace kh
