// What differs between the platforms for folders and file copies: how a path is
// separated, making one folder level, and the access rights a copy of a file takes from it.
// One implementation per platform (os/posix, os/win32).
#pragma once

#include "sdr_file.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kh {

struct PathStyle {
    const char* separators; // characters that end a folder in a path
    char separator;         // the one to append to a folder name
    bool windows;           // drives, shares and "\\?\" roots
};

const PathStyle& nativePathStyle();

// Makes one folder (its parent must exist); true when it was made.
bool makeOneFolder(const std::string& folder);

// When the file at `path` was last written, in the platform's finest unit (only for
// comparing two files); none when there is no such file.
std::optional<std::int64_t> modificationTime(const std::string& path);

// Both paths lead to the same existing file (through links, other spellings, another case
// of the letters where the file system ignores it); false when either is missing.
bool sameFile(const std::string& a, const std::string& b);

// The owner, group and permissions of an opened file, for a copy of it (a backup holds the
// same account as the file itself). Windows gives a new file the rights of its folder, so
// there it keeps nothing.
class FileAccess {
  public:
    explicit FileAccess(SdrFile& source);
    void giveTo(SdrFile& copy) const;

  private:
    bool known_ = false;
    unsigned owner_ = 0;
    unsigned group_ = 0;
    unsigned mode_ = 0;
};

} // namespace kh
