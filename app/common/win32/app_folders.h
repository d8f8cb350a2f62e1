// The two folders every part of the program uses: the program folder (beside the
// executable) and the profile folder (per user, holds config.ini).
#pragma once

#include "settings.h"

#include <string>

namespace kh {

// Folders on the Windows file system; creation makes every missing level.
class Win32FolderMaker final : public FolderMaker {
  public:
    bool folderExists(const std::string& folder) override;
    bool createFolder(const std::string& folder) override;
};

FolderMaker& win32Folders();

// A plain file (not a folder) exists at `path`.
bool fileExists(const std::string& path);

// The full path of the running executable.
std::string executablePath();

// The executable's folder, ending with "\".
std::string programFolder();

// The user's application-data folder as the shell reports it; empty when there is none.
std::string appDataFolder();

// The application-data folder plus "Keyhaven\" (created when missing), else
// `programFolder`.
std::string profileFolder(const std::string& programFolder);

} // namespace kh
