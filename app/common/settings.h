// The user's preferences (config.ini in the profile folder): their defaults, the checks
// applied when they are read, the order in which they are written, and the rules of the
// Settings dialog's number fields and backup folder. The file itself is reached through
// ProfileStore and folders through FolderMaker, so all of this is platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text_trim.h"

namespace kh {

// Access to one INI file with the semantics of the Windows private-profile functions.
class ProfileStore {
  public:
    virtual ~ProfileStore() = default;

    // The key's value with surrounding blanks and one pair of matching quotes removed, cut
    // to `maxLength` characters; `fallback` when the key (or the file) is missing.
    virtual std::string readString(std::string_view section, std::string_view key,
                                   std::string_view fallback, std::size_t maxLength) = 0;
    // The key's value as parseProfileInt reads it; `fallback` when the key is missing or
    // its value is empty.
    virtual int readInt(std::string_view section, std::string_view key, int fallback) = 0;
    // Creates the section and the key as needed. False when the file cannot be written.
    virtual bool writeString(std::string_view section, std::string_view key,
                             std::string_view value) = 0;
    // A missing key counts as deleted.
    virtual bool deleteKey(std::string_view section, std::string_view key) = 0;
};

// Folder existence and creation, for the backup and profile folders.
class FolderMaker {
  public:
    virtual ~FolderMaker() = default;
    virtual bool folderExists(const std::string& folder) = 0;
    // Creates the folder with every missing level above it; true when it exists afterwards.
    virtual bool createFolder(const std::string& folder) = 0;
};

inline constexpr char kSettingsFileName[] = "config.ini";

inline constexpr std::size_t kMaxLanguagePath = 1024;
inline constexpr std::size_t kMaxBackupPath = 1000;
inline constexpr std::size_t kMaxLastAccountText = 1024;

// `Timeout` value that keeps a displayed password on screen.
inline constexpr int kTimeoutNever = 0x70000001;
inline constexpr std::uint16_t kDefaultHotkey = 0xC04D; // Ctrl+Alt+M

// Double-click actions (`DblClick`).
inline constexpr std::uint8_t kDblClickNothing = 0;
inline constexpr std::uint8_t kDblClickEdit = 1;
inline constexpr std::uint8_t kDblClickCopyPassword = 2;

// Where the main window was at the end of the last run (`[Window]`), in the coordinates of
// the desktop's work area as Windows keeps a window's normal place; width 0: never stored.
struct WindowBounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool known() const { return width > 0 && height > 0; }
    friend bool operator==(const WindowBounds&, const WindowBounds&) = default;
};

struct Settings {
    // [Setting]
    std::string language; // full path of the language file; empty: none chosen
    // [Backup]
    std::string backupPath; // `Path`: empty, or a folder ending with "\"
    bool doBackup = true;
    int times = 2;
    // [Setting]
    bool remember = true;
    std::uint8_t dblClick = kDblClickEdit;
    bool openLink = false;
    bool withIE = true;
    bool displayPassword = true;
    int timeout = 3;    // seconds, or kTimeoutNever
    int mainGuard = 20; // minutes; 0: never log out
    bool guard = true;
    int guardTime = 20; // seconds
    bool minimize = false;
    bool wizard = true;
    bool autorun = true;
    bool quit = false;
    bool lockLogout = true; // log out when the workstation locks or the machine suspends
    std::uint16_t hotkeyValue = kDefaultHotkey; // low byte key code, 0x2000 Shift, 0x4000
                                                // Ctrl, 0x8000 Alt
    bool hotkey = true;
    bool tip = true;
    bool comment = false;
    int sub = 0; // entry-type tab; the main window checks it against its tabs
    // [Account]: the last account file and name; empty while none is known.
    std::string last;
    std::string lastTitle;
    WindowBounds window;

    friend bool operator==(const Settings&, const Settings&) = default;
};

// GetPrivateProfileIntA's reading of a value: leading blanks, an optional sign, "0x",
// "0o" or "0b" for hex, octal or binary, then the digits up to the first other character;
// no digits give 0 and overflow wraps around.
int parseProfileInt(std::string_view text);

// Reads every setting with its default and load check. Of the side effects of a load
// (hotkey, autorun, file association) none happens here: the caller does them with the
// result. A non-empty backup folder is created when missing.
Settings loadSettings(ProfileStore& store, FolderMaker& folders);

// Writes the settings in the file's usual order; false when any write failed (the rest
// are still attempted).
bool saveSettings(ProfileStore& store, const Settings& settings);

// `text` with "\" appended when it does not end with one.
std::string withTrailingBackslash(std::string_view text);

// The per-user folder for config.ini: the application-data folder plus "Keyhaven\" when
// that folder exists or can be created, otherwise the program folder.
std::string resolveProfileFolder(std::string_view appDataFolder, std::string_view programFolder,
                                 FolderMaker& folders);

// --- The Settings dialog's rules ---

// A number field: blanks trimmed, then an optionally signed decimal number; anything else
// (including a number out of range) counts as 0.
int parseNumberField(std::string_view field);

// A check box with its number field, as the dialog shows a setting.
struct CheckedNumber {
    bool checked = false;
    std::string field;
};

CheckedNumber mainGuardControls(int mainGuard);
CheckedNumber timeoutControls(int timeout);
// Which radio button shows `DblClick`: unknown values show as "Edit Entry".
std::uint8_t dblClickChoice(std::uint8_t dblClick);

// What OK stores from the controls.
int mainGuardFromDialog(bool checked, std::string_view field);
int timeoutFromDialog(bool checked, std::string_view field);
int timesFromDialog(std::string_view field);

// "Set backup folder" from the dialog's edit field: trimmed, empty replaced by the program
// folder plus "backup\", "\" appended, created when missing. A folder that cannot be
// created is still returned: the next backup reports it.
std::string backupFolderFromField(std::string_view field, std::string_view programFolder,
                                  FolderMaker& folders);

} // namespace kh
