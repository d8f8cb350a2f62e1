#include "backup.h"

#include "file_system.h"
#include "platform_files.h"
#include "sdr_file.h"
#include "secure_memory.h"
#include "text_format.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace kh {
namespace {

bool isSlash(char c, bool windowsPaths) {
    return c == '/' || (windowsPaths && c == '\\');
}

// Past the next separator after `i` (or the end).
std::size_t skipComponent(const std::string& path, std::size_t i, bool windowsPaths) {
    while (i < path.size() && !isSlash(path[i], windowsPaths))
        ++i;
    return i < path.size() ? i + 1 : i;
}

// The length of the part of `path` that no folder creation may touch.
std::size_t rootLength(const std::string& path, bool windowsPaths) {
    const std::size_t n = path.size();
    if (!windowsPaths) {
        std::size_t i = 0;
        while (i < n && path[i] == '/')
            ++i;
        return i;
    }
    const auto slash = [&](std::size_t i) { return i < n && isSlash(path[i], true); };
    if (slash(0) && slash(1) && n > 2 && (path[2] == '?' || path[2] == '.') && slash(3)) {
        // "\\?\C:\" and "\\?\UNC\server\share\".
        const bool unc = n >= 8 && (path[4] == 'U' || path[4] == 'u') &&
                         (path[5] == 'N' || path[5] == 'n') && (path[6] == 'C' || path[6] == 'c') &&
                         slash(7);
        if (unc) return skipComponent(path, skipComponent(path, 8, true), true);
        return skipComponent(path, 4, true);
    }
    if (slash(0) && slash(1)) // "\\server\share\"
        return skipComponent(path, skipComponent(path, 2, true), true);
    if (n >= 2 && path[1] == ':') return slash(2) ? 3 : 2;
    return slash(0) ? 1 : 0;
}

// The folder without trailing separators, its root left whole.
std::string withoutTrailingSeparators(std::string folder, bool windowsPaths) {
    const std::size_t root = rootLength(folder, windowsPaths);
    while (folder.size() > root && isSlash(folder.back(), windowsPaths))
        folder.pop_back();
    return folder;
}

// Names Windows keeps for devices, also with an extension behind them.
bool isDeviceName(std::string base) {
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    if (base.size() != 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0))
        return false;
    const auto last = static_cast<unsigned char>(base[3]);
    // Digits, and the superscripts one to three of Windows-1252.
    return (last >= '0' && last <= '9') || last == 0xB9 || last == 0xB2 || last == 0xB3;
}

class NativeSessionFiles final : public SessionFiles {
  public:
    const char* separators() const override { return nativePathStyle().separators; }
    char separator() const override { return nativePathStyle().separator; }

    bool folderExists(const std::string& folder) override {
        return nativeFileSystem().pathKind(withoutTrailingSeparators(
                   folder, nativePathStyle().windows)) == PathKind::Directory;
    }

    bool createFolders(const std::string& folder) override {
        if (folder.empty()) return false;
        // A level that cannot be made (a share's root, say) may exist without being
        // visible; only the end result counts.
        for (const std::string& level : folderLevels(folder, nativePathStyle().windows))
            if (nativeFileSystem().pathKind(level) == PathKind::Missing) makeOneFolder(level);
        return folderExists(folder);
    }

    bool copyFile(const std::string& source, const std::string& target) override {
        SdrFile in;
        if (!openRegularFile(source, in) || !in.seekEnd()) return false;
        const long long size = in.tell();
        if (size < 0) return false;
        WipedBuffer bytes(static_cast<std::size_t>(size) + 1);
        if (size > 0 && in.read(bytes.data(), size, 0) != size) return false;
        const FileAccess access(in);
        in.close();
        // Not through a link: whatever is under the backup name is replaced.
        return writeWholeFile(nativeFileSystem(), target, false, [&](SdrFile& out) {
                   access.giveTo(out);
                   return size == 0 || out.write(bytes.data(), size, 0) == size;
               }) == WriteOutcome::Written;
    }

    std::optional<std::int64_t> modificationTime(const std::string& path) override {
        return kh::modificationTime(path);
    }

    bool sameFile(const std::string& a, const std::string& b) override {
        return kh::sameFile(a, b);
    }
};

} // namespace

SessionFiles& nativeSessionFiles() {
    static NativeSessionFiles files;
    return files;
}

std::string defaultBackupFolder(const std::string& accountFile, const std::string& programFolder,
                                const SessionFiles& files) {
    std::string folder = folderOf(accountFile, files.separators());
    if (folder.empty()) folder = programFolder;
    return folder + "backup" + files.separator();
}

int nextBackupNumber(int current) {
    const int next = current + 1;
    return next < 0 || next > 9 ? 0 : next;
}

int backupSlot(const std::string& folder, const std::string& accountName, SessionFiles& files) {
    int oldest = 1;
    std::optional<std::int64_t> oldestTime;
    for (int n = 1, i = 0; i < 10; ++i, n = nextBackupNumber(n)) {
        const std::optional<std::int64_t> time =
            files.modificationTime(backupFileName(folder, accountName, n));
        if (!time) return n;
        if (!oldestTime || *time < *oldestTime) {
            oldest = n;
            oldestTime = time;
        }
    }
    return oldest;
}

std::string backupNamePart(const std::string& accountName) {
    std::string name = accountName;
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 32 || std::strchr("\\/:*?\"<>|", c) != nullptr) c = '_';
    for (std::size_t i = 0; i + 1 < name.size(); ++i) {
        if (name[i] == '.' && name[i + 1] == '.') {
            std::size_t end = i;
            while (end < name.size() && name[end] == '.')
                name[end++] = '_';
        }
    }
    return name;
}

std::string backupFileName(const std::string& folder, const std::string& accountName, int number) {
    std::string name = backupNamePart(accountName);
    // What Windows compares with its device names: the part before the first dot.
    const std::string withNumber = formatText("%s%d", {name, number});
    if (isDeviceName(withNumber.substr(0, withNumber.find('.')))) name = "_" + name;
    return formatText("%s%s%d.khk", {folder, name, number});
}

std::vector<std::string> folderLevels(const std::string& folder, bool windowsPaths) {
    const std::string path = withoutTrailingSeparators(folder, windowsPaths);
    const std::size_t root = rootLength(path, windowsPaths);
    std::vector<std::string> levels;
    for (std::size_t i = root + 1; i < path.size(); ++i)
        if (isSlash(path[i], windowsPaths) && !isSlash(path[i - 1], windowsPaths))
            levels.push_back(path.substr(0, i));
    if (path.size() > root) levels.push_back(path);
    return levels;
}

} // namespace kh
