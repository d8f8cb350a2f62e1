#include "platform_files.h"

#include <windows.h>

#include <direct.h>

namespace kh {

const PathStyle& nativePathStyle() {
    static constexpr PathStyle style{"\\/:", '\\', true};
    return style;
}

namespace {

// The identity of an existing file or folder: its volume and index.
std::optional<BY_HANDLE_FILE_INFORMATION> identity(const std::string& path) {
    const HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    if (!ok) return std::nullopt;
    return info;
}

} // namespace

std::optional<std::int64_t> modificationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return (static_cast<std::int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

bool sameFile(const std::string& a, const std::string& b) {
    const auto first = identity(a);
    const auto second = identity(b);
    return first && second && first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
           first->nFileIndexHigh == second->nFileIndexHigh &&
           first->nFileIndexLow == second->nFileIndexLow;
}

bool makeOneFolder(const std::string& folder) {
    return ::_mkdir(folder.c_str()) == 0;
}

// A new file takes the access rights of its folder.
FileAccess::FileAccess(SdrFile&) {}

void FileAccess::giveTo(SdrFile&) const {}

} // namespace kh
