#include "file_system.h"

#include "crypto.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace kh {
namespace {

std::atomic<PathEncoding> currentEncoding{PathEncoding::Ansi};

} // namespace

void setPathEncoding(PathEncoding encoding) {
    currentEncoding.store(encoding);
}

PathEncoding pathEncoding() {
    return currentEncoding.load();
}

std::optional<FileFingerprint> fingerprintOf(SdrFile& file) {
    std::optional<FileFingerprint> print = describeOpenFile(file);
    if (!print || !file.seekEnd()) return std::nullopt;
    const long long size = file.tell();
    if (size < 0 || !file.seek(0)) return std::nullopt;
    // The bytes as they are now: a change between the description and the read shows
    // as a size that does not match.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && file.read(bytes.data(), size, 0) != size) return std::nullopt;
    if (static_cast<std::uint64_t>(size) != print->size || !file.seek(0)) return std::nullopt;
    md5Digest(print->digest.data(), bytes.data(), bytes.size());
    return print;
}

std::optional<FileFingerprint> fingerprintFile(const std::string& path) {
    SdrFile file;
    if (!openRegularFile(path, file)) return std::nullopt;
    return fingerprintOf(file);
}

LockedUpdate::~LockedUpdate() {
    if (!temp_) return;
    // Removed while the lock is still held, so that no other save finds it half gone.
    temp_->close();
    fs_.removeFile(tempPath_);
    temp_.reset();
}

LockedUpdate::Lock LockedUpdate::lock(const std::string& path, std::chrono::milliseconds wait) {
    if (temp_ || path.empty()) return Lock::Failed;
    lockedPath_ = path;
    target_ = fs_.finalPath(path);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    // A save that ends between the failed attempt and the look at its lock leaves no trace
    // of it, and on Windows its lock file refuses a new one for a moment while it is being
    // deleted: only a failure that repeats for a while with nobody holding the lock is final.
    int unexplained = 0;
    for (;;) {
        temp_ = fs_.createTempBeside(target_, tempPath_);
        if (temp_ && temp_->isOpen()) return Lock::Held;
        temp_.reset();
        if (!fs_.saveLockHeld(target_)) {
            if (++unexplained == 6) return Lock::Failed;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        unexplained = 0;
        if (std::chrono::steady_clock::now() >= deadline) return Lock::Busy;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

LockedUpdate::Read LockedUpdate::open(SdrFile& file) {
    if (!temp_ || opened_) return Read::Failed;
    if (!openRegularFile(target_, file)) {
        if (fs_.pathKind(target_) != PathKind::Missing) return Read::Failed;
        opened_ = true;
        return Read::Missing;
    }
    read_ = fingerprintOf(file);
    if (!read_) {
        file.close();
        return Read::Failed;
    }
    opened_ = true;
    return Read::Opened;
}

std::unique_ptr<SdrFile> LockedUpdate::createTempBeside(const std::string& target,
                                                        std::string& tempPath) {
    if (!temp_ || target != target_) return nullptr;
    tempPath = tempPath_;
    return std::move(temp_);
}

bool LockedUpdate::replaceFile(const std::string& source, const std::string& target) {
    if (!opened_ || target != target_) return false;
    const bool unchanged =
        read_ ? fingerprintFile(target) == read_ : fs_.pathKind(target) == PathKind::Missing;
    if (!unchanged) {
        // Not a failure that leaves the new file as all there is: the replace was refused.
        changed_ = true;
        fs_.removeFile(source);
        return false;
    }
    return fs_.replaceFile(source, target);
}

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
