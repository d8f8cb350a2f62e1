// Rotating backup copies of the account file: where they go, what they are called, and the
// few file operations they need, behind an interface that tests replace.
#pragma once

#include <string>

namespace kh {

class SessionFiles {
  public:
    virtual ~SessionFiles() = default;

    // Characters that end a folder in a path, and the one to append to a folder name.
    virtual const char* separators() const = 0;
    virtual char separator() const = 0;
    virtual bool folderExists(const std::string& folder) = 0;
    // Creates the folder with every missing parent; true when it exists afterwards.
    virtual bool createFolders(const std::string& folder) = 0;
    // Copies a whole file, replacing `target` if it exists.
    virtual bool copyFile(const std::string& source, const std::string& target) = 0;
};

// The real file system of this platform.
SessionFiles& nativeSessionFiles();

// The default backup folder: "backup" below the account file's folder, or below the
// program folder (which ends with its separator) when the file name has no folder part.
std::string defaultBackupFolder(const std::string& accountFile, const std::string& programFolder,
                                const SessionFiles& files);

// The number after `current` in the rotation 1, 2, ..., 9, 0, 1, ...
int nextBackupNumber(int current);

// "<folder><account name><number>.khk".
std::string backupFileName(const std::string& folder, const std::string& accountName, int number);

} // namespace kh
