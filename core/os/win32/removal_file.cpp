#include "file_remover.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace kh {

// Windows already refuses to open such a file for writing; asking first keeps the rule
// where the attribute is only emulated and not enforced for every user.
bool isWriteProtected(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

} // namespace kh
