// The few file-system operations the account file needs beyond reading and writing a
// stream: kind of a path, the temporary file beside a target, forcing data to the disk and
// replacing one file by another in one step; which file a name leads to and what a reader
// saw of it. One implementation per platform (os/posix, os/win32); tests wrap it to inject
// failures.
#pragma once

#include "sdr_file.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kh {

// How the paths handed to this platform's file functions are encoded. POSIX takes the
// bytes as they are. Windows reads them in the ANSI code page (the program, whose texts are
// Windows-1252) or as UTF-8 (khcli, which takes its names from the wide command line) and
// hands them to the system's wide functions, so that no character of a name is replaced
// by a look-alike; a name that does not convert exactly names no file. Set once, before
// any file is touched; the program keeps the default.
enum class PathEncoding { Ansi, Utf8 };
void setPathEncoding(PathEncoding encoding);
PathEncoding pathEncoding();

enum class PathKind { Missing, File, Directory, Other };

// Which file a name leads to (through links): the volume and the file's number on it
// (st_dev and st_ino; on Windows the volume serial number and the file index). Every name
// of one file, however it is spelt, has the same identity.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// What a reader saw of a file: which file it was, its size, its modification time and a
// digest of its bytes. A save that replaces a file it has read compares them first, so
// that it never overwrites what another program wrote meanwhile.
struct FileFingerprint {
    FileIdentity identity;
    std::uint64_t size = 0;
    std::int64_t modified = 0;             // in the system's own unit
    std::array<std::uint8_t, 16> digest{}; // MD5 of the whole content
    bool operator==(const FileFingerprint&) const = default;
};

// The identity of the file `path` leads to; none when there is none or it cannot be opened.
std::optional<FileIdentity> fileIdentity(const std::string& path);
// Identity, size and modification time of an open file, from the opened object (the
// digest stays empty); none when the system does not tell them.
std::optional<FileFingerprint> describeOpenFile(SdrFile& file);
// Reads an open file whole and returns its fingerprint; the file is left at its start.
std::optional<FileFingerprint> fingerprintOf(SdrFile& file);
// The fingerprint of the regular file `path` leads to; none when it cannot be read.
std::optional<FileFingerprint> fingerprintFile(const std::string& path);

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Decided on the opened object where the system allows it, so that a device or a pipe
    // is Other whatever attributes its name reports.
    virtual PathKind pathKind(const std::string& path) = 0;
    // True when an existing file could be opened for writing (without changing it).
    virtual bool canWrite(const std::string& path) = 0;
    // The file a path finally leads to through symbolic links (and junctions), so that a
    // save replaces that file and keeps the link. A path that leads nowhere yet is
    // returned as given.
    virtual std::string finalPath(const std::string& path) { return path; }
    // Creates the one temporary file of `target` in its folder (tempNameFor), empty and
    // open for reading and writing, with the target's permissions where it exists. A
    // leftover of an interrupted save is removed first; a save of the same target that
    // another process is running holds a lock on it and is never touched: then, as when the
    // folder is missing or not writable, the result is null. The lock lives as long as the
    // returned object, also after its stream is closed: keep it until the temporary file
    // has replaced the target or been removed.
    virtual std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                                      std::string& tempPath) = 0;
    // Lets the system start writing what `file` holds so far to the device, so that the
    // final commitToDisk has less to wait for. Only a hint.
    virtual void startWriteBack(SdrFile& file) { (void)file; }
    // Pushes everything written through `file` down to the storage device.
    virtual bool commitToDisk(SdrFile& file) = 0;
    // Replaces `target` by `source` in one step (the old target stays until it succeeds).
    // An existing target's attributes, access rights and encryption carry over where the
    // system can keep them.
    virtual bool replaceFile(const std::string& source, const std::string& target) = 0;
    virtual bool removeFile(const std::string& path) = 0;
    // True while another process holds the lock that saves of `target` take: then
    // createTempBeside fails for that reason alone and may succeed a moment later.
    virtual bool saveLockHeld(const std::string& target) {
        (void)target;
        return false;
    }
};

// The real file system of this platform.
FileSystem& nativeFileSystem();

enum class WriteOutcome {
    Written,
    NotOpened, // nothing written: the target is not a writable file or its folder is not
    Failed,    // a later step failed; the previous file is as it was
};

// Writes a whole file the safe way: `write` fills the temporary file of the target, which
// then replaces the target once it is complete, flushed to the disk and closed. With
// `followLinks` the target is the file a link leads to and the link stays; without, a link
// at `path` is itself replaced (for copies that must land exactly under their own name).
WriteOutcome writeWholeFile(FileSystem& fs, const std::string& path, bool followLinks,
                            const std::function<bool(SdrFile&)>& write);

// A change of one file by reading it whole and saving it whole again (khcli's add and
// import), which neither loses the change of another writer nor gets its own lost:
//  - from before the read until the replace it holds the lock that every save of the file
//    takes (the program's own saves, other khcli runs), so those wait or fail meanwhile;
//  - it replaces the file only while the file still has the fingerprint it was read with,
//    so that the change of a program that takes no lock (a synced folder, an editor) is
//    not overwritten.
// Use it as the FileSystem of the save (writeAccountFile and the like); everything but the
// temporary file and the replace goes to the file system it wraps.
class LockedUpdate final : public FileSystem {
  public:
    enum class Lock { Held, Busy, Failed };
    enum class Read { Opened, Missing, Failed };

    explicit LockedUpdate(FileSystem& fs) : fs_(fs) {}
    LockedUpdate(const LockedUpdate&) = delete;
    LockedUpdate& operator=(const LockedUpdate&) = delete;
    // Removes a temporary file that no save took, then releases the lock.
    ~LockedUpdate() override;

    // Takes the save lock of the file `path` leads to. While another process holds it,
    // tries again until `wait` has passed (Busy after that); Failed when the folder does
    // not take the temporary file (missing, not writable).
    Lock lock(const std::string& path, std::chrono::milliseconds wait);
    // Opens the locked file for reading at its start and remembers its fingerprint, or
    // remembers that there is no file (a save then only creates it while there still is
    // none). Call it once, after lock.
    Read open(SdrFile& file);
    // The file that is locked (`path` of lock through its links).
    const std::string& target() const { return target_; }
    // Whether a save failed because the file was no longer as it was read.
    bool changedMeanwhile() const { return changed_; }

    PathKind pathKind(const std::string& path) override { return fs_.pathKind(path); }
    bool canWrite(const std::string& path) override { return fs_.canWrite(path); }
    // The locked file keeps the name it was locked under: resolved again it could come out
    // spelled otherwise (when another process was replacing it at the time of the lock, the
    // first resolution finds no file and keeps the name as given), and the save would then
    // not recognise its own target.
    std::string finalPath(const std::string& path) override {
        return !target_.empty() && path == lockedPath_ ? target_ : fs_.finalPath(path);
    }
    // The temporary file made by lock, once and for the locked target only.
    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override;
    void startWriteBack(SdrFile& file) override { fs_.startWriteBack(file); }
    bool commitToDisk(SdrFile& file) override { return fs_.commitToDisk(file); }
    // Refuses (changedMeanwhile then says so) when the target differs from what was read.
    bool replaceFile(const std::string& source, const std::string& target) override;
    bool removeFile(const std::string& path) override { return fs_.removeFile(path); }
    bool saveLockHeld(const std::string& target) override { return fs_.saveLockHeld(target); }

  private:
    FileSystem& fs_;
    std::string lockedPath_; // as given to lock
    std::string target_;
    std::string tempPath_;
    std::unique_ptr<SdrFile> temp_; // holds the lock until a save takes it
    bool opened_ = false;
    std::optional<FileFingerprint> read_; // none: there was no file
    bool changed_ = false;
};

// Opens an existing regular file for reading. Folders, pipes and devices are refused on
// the opened object, without blocking on them.
bool openRegularFile(const std::string& path, SdrFile& file);

// The folder part of `path` up to and including its last separator; empty when none.
std::string folderOf(const std::string& path, const char* separators);

// The temporary name that saves of `target` use: "~kh" + 8 hex digits taken from the
// target's file name (without regard to letter case) + ".tmp", in the target's folder.
// One name per target, so that the next save finds what an interrupted one left.
std::string tempNameFor(const std::string& target, const char* separators);

} // namespace kh
