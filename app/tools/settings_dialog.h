// The Settings dialog without its window: one row per setting it edits, each carrying the
// two rules that move the setting into the row's controls and back; the hotkey field's
// rules; and the backup folder browser's. The window binds its controls to these rows.
#pragma once

#include "hotkey.h"
#include "settings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kh {

class MessageTable;

// --- Hotkey field ---

std::uint16_t hotkeyCode(std::uint8_t key, bool ctrl, bool alt, bool shift);
// What the field accepts: a key that is not itself a modifier, held with Ctrl or Alt (Shift
// may come too). A key alone or with Shift alone would take that key from every program.
bool hotkeyAcceptable(std::uint16_t code);
// "Ctrl+Alt+M"; empty for a code without a key.
std::string hotkeyText(std::uint16_t code);
// The same in the language of `messages` ("Strg+Alt+M").
std::string hotkeyText(std::uint16_t code, const MessageTable& messages);

// --- Backup folder browser ---

// The folder the browser opens at: the current backup folder when it is set and exists.
std::string browseStart(std::string_view backupFolder, FolderMaker& folders);
// The field's text after a folder was picked: that folder plus "backup\".
std::string backupFieldFromPick(std::string_view picked);

// --- Rows ---

enum class SettingRow : std::uint8_t {
    Guard,
    Minimize,
    MainGuard,
    DisplayPassword,
    Timeout,
    Backup,
    DblClick,
    OpenLink,
    Autorun,
    Tip,
    Hotkey,
    Remember,
    Wizard,
    WithIE,
    Quit,
    LockLogout,
    Count
};

// What a row's controls show: its check box, its field and, for the double-click row, the
// chosen radio button (the `DblClick` code) or, for the hotkey row, the shortcut code.
struct RowValue {
    bool checked = false;
    std::string field;
    int choice = 0;
    bool operator==(const RowValue&) const = default;
};

struct SettingRowDef {
    SettingRow row;
    // The config.ini keys the row edits.
    std::string_view keys;
    RowValue (*show)(const Settings& settings);
    // What OK stores; a row touches nothing but its own settings.
    void (*store)(const RowValue& value, Settings& settings);
    // The row's check box can be used only while this row's box is checked.
    std::optional<SettingRow> boxNeeds;
    // The row's field can be used only while its own box is checked.
    bool fieldNeedsBox = false;
};

std::span<const SettingRowDef> settingRows();
const SettingRowDef& settingRow(SettingRow row);

} // namespace kh
