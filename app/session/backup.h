// Rotating backup copies of the account file: where they go, what they are called, and the
// few file operations they need, behind an interface that tests replace.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kh {

class SessionFiles {
  public:
    virtual ~SessionFiles() = default;

    // Characters that end a folder in a path, and the one to append to a folder name.
    virtual const char* separators() const = 0;
    virtual char separator() const = 0;
    virtual bool folderExists(const std::string& folder) = 0;
    // Creates the folder with every missing parent below its drive or share; true when it
    // exists afterwards.
    virtual bool createFolders(const std::string& folder) = 0;
    // Copies a whole file, replacing `target` if it exists. The copy is complete before it
    // takes the target's name, carries the source's permissions, and replaces whatever is
    // under that name (a link included) instead of writing through it.
    virtual bool copyFile(const std::string& source, const std::string& target) = 0;
    // When a file was last written (only compared with another); none when it is missing.
    virtual std::optional<std::int64_t> modificationTime(const std::string& path) = 0;
    // Both paths lead to the same existing file.
    virtual bool sameFile(const std::string& a, const std::string& b) = 0;
};

// The real file system of this platform.
SessionFiles& nativeSessionFiles();

// The default backup folder: "backup" below the account file's folder, or below the
// program folder (which ends with its separator) when the file name has no folder part.
std::string defaultBackupFolder(const std::string& accountFile, const std::string& programFolder,
                                const SessionFiles& files);

// The number after `current` in the rotation 1, 2, ..., 9, 0, 1, ...
int nextBackupNumber(int current);

// The slot of the next rotating copy in `folder`: the first of 1, 2, ..., 9, 0 that holds
// no copy yet, or else the one whose copy is the oldest (so the rotation goes on from one
// run of the program to the next).
int backupSlot(const std::string& folder, const std::string& accountName, SessionFiles& files);

// "<folder><account name><number>.khk", with the account name as backupNamePart gives it.
std::string backupFileName(const std::string& folder, const std::string& accountName, int number);

// The account name as it may stand in a file name of the backup folder: the characters
// Windows allows in no file name (\ / : * ? " < > | and control characters) and every dot
// of "..", become "_", and "_" goes in front where the name with its number would be a
// device Windows reserves (COM1, LPT3...). The account name itself stays as it is.
std::string backupNamePart(const std::string& accountName);

// The folders that creating `folder` may have to make, parents first and the folder itself
// last, without trailing separators: every level below its root. The root is "/" or, in
// Windows form, the drive ("C:\", "C:"), the share ("\\server\share\") or either
// behind "\\?\"; it is never made.
std::vector<std::string> folderLevels(const std::string& folder, bool windowsPaths);

} // namespace kh
