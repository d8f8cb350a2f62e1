// Secure removal of a file such as an unencrypted export: every byte it holds is
// overwritten with zeros once, the overwrite is pushed to the disk, then the file is cut
// to zero length and deleted. All of it happens on the one open file: a name that is
// swapped for another file meanwhile cannot make it overwrite or cut that other file.
// Asking for the file and reporting are the caller's.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace kh {

// An existing file opened for overwriting in place.
class RemovalFile {
  public:
    virtual ~RemovalFile() = default; // closes without checking when still open
    // The size found by seeking to the end, leaving the position at the start; negative
    // when a seek fails.
    virtual long long size() = 0;
    // The number of bytes written at the current position.
    virtual std::size_t write(const void* bytes, std::size_t length) = 0;
    virtual bool flush() = 0;
    // Forces the written bytes onto the storage device.
    virtual bool commit() = 0;
    // Cuts the file to zero length.
    virtual bool truncate() = 0;
    // Deletes the file that is open here (and only while its name still leads to it). On
    // Windows it goes when it is closed.
    virtual bool remove() = 0;
    virtual bool close() = 0;
};

// The file operations removal needs; tests replace them to inject failures.
class RemovalFileOps {
  public:
    virtual ~RemovalFileOps() = default;
    // Opens an existing regular file for reading and writing without truncating it; null
    // when that fails (missing, read-only, locked) or when the name is a symbolic link (or
    // another reparse point), a folder, a device or a pipe: the remover never goes through
    // a link to the file it leads to.
    virtual std::unique_ptr<RemovalFile> openForUpdate(const std::string& path) = 0;
};

// The real operations, on the system's own file handles. Files marked read-only are not
// opened.
RemovalFileOps& nativeRemovalFileOps();

// True for an existing file marked read-only (Windows attribute; on POSIX no write
// permission for anyone).
bool isWriteProtected(const std::string& path);

enum class RemoveOutcome {
    Removed,
    Busy,       // a removal is already running (called again while it pumps messages)
    OpenFailed, // the file could not be opened: it is untouched
    Failed,     // a later step failed: the file may be partly overwritten, empty or gone
};

class FileRemover {
  public:
    static constexpr std::size_t kBlockSize = 1024;

    explicit FileRemover(RemovalFileOps& ops = nativeRemovalFileOps()) : ops_(ops) {}
    FileRemover(const FileRemover&) = delete;
    FileRemover& operator=(const FileRemover&) = delete;

    // Removes `path`. `afterBlock` runs after each block has been written and flushed;
    // the window lets pending messages through there so that it stays responsive on
    // large files. A file of 0 bytes is refused and left in place.
    RemoveOutcome remove(const std::string& path, const std::function<void()>& afterBlock = {});

    bool busy() const { return busy_; }

  private:
    RemoveOutcome overwriteAndDelete(const std::string& path,
                                     const std::function<void()>& afterBlock);

    RemovalFileOps& ops_;
    bool busy_ = false;
};

} // namespace kh
