#include "file_system.h"

#include "crypto.h"

#include <cstdio>

namespace kh {

std::string folderOf(const std::string& path, const char* separators) {
    const auto slash = path.find_last_of(separators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string tempNameFor(const std::string& target, const char* separators) {
    const std::string folder = folderOf(target, separators);
    std::string name = target.substr(folder.size());
    // Windows sees one file under every letter case of its name.
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::uint32_t hash = crc32(0, name.data(), name.size());
    char text[9];
    (void)std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hash));
    std::string temp = folder + "~kh" + text + ".tmp";
    if (temp.size() == target.size() && temp.substr(folder.size()) == name) {
        // A target that carries the very name its temporary file would get.
        hash = crc32(hash, "~", 1);
        (void)std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hash));
        temp = folder + "~kh" + text + ".tmp";
    }
    return temp;
}

WriteOutcome writeWholeFile(FileSystem& fs, const std::string& path, bool followLinks,
                            const std::function<bool(SdrFile&)>& write) {
    if (path.empty()) return WriteOutcome::NotOpened;
    const std::string target = followLinks ? fs.finalPath(path) : path;
    bool existed = false;
    switch (fs.pathKind(target)) {
    case PathKind::Missing:
        break;
    case PathKind::File:
        // A file the user may not change stays as it is, as if it were opened in place.
        if (!fs.canWrite(target)) return WriteOutcome::NotOpened;
        existed = true;
        break;
    case PathKind::Directory:
    case PathKind::Other:
        return WriteOutcome::NotOpened;
    }

    std::string tempPath;
    // Holds the lock of the temporary file until it is in place or gone.
    std::unique_ptr<SdrFile> file = fs.createTempBeside(target, tempPath);
    if (!file || !file->isOpen()) return WriteOutcome::NotOpened;

    bool ok = write(*file) && file->flush() && fs.commitToDisk(*file);
    const bool closed = file->close();
    ok = ok && closed && fs.replaceFile(tempPath, target);
    if (ok) return WriteOutcome::Written;
    // Should the system have dropped the old file without putting the new one in its
    // place, the complete new one is all that is left of it: keep that.
    if (!existed || fs.pathKind(target) != PathKind::Missing) fs.removeFile(tempPath);
    return WriteOutcome::Failed;
}

} // namespace kh
