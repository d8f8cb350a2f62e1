#include "app_folders.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <memory>
#include <vector>

namespace kh {
namespace {

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

struct ShellMemoryFree {
    void operator()(ITEMIDLIST* p) const noexcept { CoTaskMemFree(p); }
};

} // namespace

bool fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FolderMaker::folderExists(const std::string& folder) {
    if (folder.empty()) return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FolderMaker::createFolder(const std::string& folder) {
    if (folder.empty()) return false;
    // Every level from the top down; the drive, server and share levels and those that
    // exist already simply fail, and only the end result counts.
    for (std::size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && !isSeparator(folder[i])) continue;
        if (isSeparator(folder[i - 1])) continue;
        CreateDirectoryA(folder.substr(0, i).c_str(), nullptr);
    }
    return folderExists(folder);
}

FolderMaker& win32Folders() {
    static Win32FolderMaker folders;
    return folders;
}

std::string executablePath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::string();
        if (length < buffer.size()) return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2); // the name was cut: try a larger buffer
    }
}

std::string programFolder() {
    std::string path = executablePath();
    if (path.empty()) return path;
    const std::size_t cut = path.find_last_of("\\/");
    path.resize(cut == std::string::npos ? 0 : cut + 1);
    return withTrailingBackslash(path);
}

std::string appDataFolder() {
    ITEMIDLIST* list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_APPDATA, &list)) || list == nullptr)
        return std::string();
    const std::unique_ptr<ITEMIDLIST, ShellMemoryFree> owned(list);
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(owned.get(), path)) return std::string();
    return std::string(path);
}

std::string profileFolder(const std::string& programFolder) {
    return resolveProfileFolder(appDataFolder(), programFolder, win32Folders());
}

} // namespace kh
