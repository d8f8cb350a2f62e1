// The few file-system operations the account file needs beyond reading and writing a
// stream: kind of a path, an exclusive temporary file beside a target, forcing data to the
// disk and replacing one file by another in one step. One implementation per platform
// (os/posix, os/win32); tests wrap it to inject failures.
#pragma once

#include "sdr_file.h"

#include <memory>
#include <string>

namespace kh {

enum class PathKind { Missing, File, Directory, Other };

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    virtual PathKind pathKind(const std::string& path) = 0;
    // True when an existing file could be opened for writing (without changing it).
    virtual bool canWrite(const std::string& path) = 0;
    // Creates a new, empty file with a unique name in the folder of `target`, open for
    // reading and writing. Null when the folder does not exist or is not writable.
    virtual std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                                      std::string& tempPath) = 0;
    // Lets the system start writing what `file` holds so far to the device, so that the
    // final commitToDisk has less to wait for. Only a hint.
    virtual void startWriteBack(SdrFile& file) { (void)file; }
    // Pushes everything written through `file` down to the storage device.
    virtual bool commitToDisk(SdrFile& file) = 0;
    // Replaces `target` by `source` in one step (the old target stays until it succeeds).
    virtual bool replaceFile(const std::string& source, const std::string& target) = 0;
    virtual bool removeFile(const std::string& path) = 0;
};

// The real file system of this platform.
FileSystem& nativeFileSystem();

// The folder part of `path` up to and including its last separator; empty when none.
std::string folderOf(const std::string& path, const char* separators);

// A candidate name "~kh" + 8 hex digits + ".tmp" in `folder` (which ends with its
// separator or is empty); each call gives another name.
std::string tempNameIn(const std::string& folder, unsigned long long processId);

} // namespace kh
