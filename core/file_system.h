// The few file-system operations the account file needs beyond reading and writing a
// stream: kind of a path, the temporary file beside a target, forcing data to the disk and
// replacing one file by another in one step. One implementation per platform (os/posix,
// os/win32); tests wrap it to inject failures.
#pragma once

#include "sdr_file.h"

#include <functional>
#include <memory>
#include <string>

namespace kh {

enum class PathKind { Missing, File, Directory, Other };

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
