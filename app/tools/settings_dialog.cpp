#include "settings_dialog.h"

#include "key_names.h"
#include "message_table.h"

#include <array>

namespace kh {
namespace {

// Windows virtual-key codes the field needs to know by name.
constexpr std::uint8_t kVkShift = 0x10, kVkControl = 0x11, kVkMenu = 0x12;
constexpr std::uint8_t kVkLWin = 0x5B, kVkRWin = 0x5C;
constexpr std::uint8_t kVkLShift = 0xA0, kVkRMenu = 0xA5;

bool isModifierKey(std::uint8_t key) {
    return key == kVkShift || key == kVkControl || key == kVkMenu || key == kVkLWin ||
           key == kVkRWin || (key >= kVkLShift && key <= kVkRMenu);
}

bool isSet(std::uint16_t code, std::uint16_t bit) {
    return (code & bit) != 0;
}

// Rows that are one check box for one boolean.
template <bool Settings::*Flag> RowValue showFlag(const Settings& s) {
    return {s.*Flag, {}, 0};
}
template <bool Settings::*Flag> void storeFlag(const RowValue& v, Settings& s) {
    s.*Flag = v.checked;
}

RowValue showMainGuard(const Settings& s) {
    const CheckedNumber shown = mainGuardControls(s.mainGuard);
    return {shown.checked, shown.field, 0};
}
void storeMainGuard(const RowValue& v, Settings& s) {
    s.mainGuard = mainGuardFromDialog(v.checked, v.field);
}

RowValue showTimeout(const Settings& s) {
    const CheckedNumber shown = timeoutControls(s.timeout);
    return {shown.checked, shown.field, 0};
}
void storeTimeout(const RowValue& v, Settings& s) {
    s.timeout = timeoutFromDialog(v.checked, v.field);
}

RowValue showBackup(const Settings& s) {
    return {s.doBackup, std::to_string(s.times), 0};
}
void storeBackup(const RowValue& v, Settings& s) {
    s.doBackup = v.checked;
    s.times = timesFromDialog(v.field);
}

RowValue showDblClick(const Settings& s) {
    return {false, {}, dblClickChoice(s.dblClick)};
}
void storeDblClick(const RowValue& v, Settings& s) {
    s.dblClick = v.choice == kDblClickNothing || v.choice == kDblClickCopyPassword
                     ? static_cast<std::uint8_t>(v.choice)
                     : kDblClickEdit;
}

RowValue showHotkey(const Settings& s) {
    return {s.hotkey, hotkeyText(s.hotkeyValue), s.hotkeyValue};
}
void storeHotkey(const RowValue& v, Settings& s) {
    s.hotkey = v.checked;
    s.hotkeyValue = static_cast<std::uint16_t>(v.choice);
}

using R = SettingRow;

constexpr std::array<SettingRowDef, static_cast<std::size_t>(R::Count)> kRows = {{
    {R::Guard, "Guard", showFlag<&Settings::guard>, storeFlag<&Settings::guard>, {}, false},
    {R::Minimize, "Minimize", showFlag<&Settings::minimize>, storeFlag<&Settings::minimize>,
     R::Guard, false},
    {R::MainGuard, "MainGuard", showMainGuard, storeMainGuard, {}, false},
    {R::DisplayPassword,
     "DisplayPassword",
     showFlag<&Settings::displayPassword>,
     storeFlag<&Settings::displayPassword>,
     {},
     false},
    {R::Timeout, "Timeout", showTimeout, storeTimeout, {}, false},
    {R::Backup, "DoBackup Times", showBackup, storeBackup, {}, false},
    {R::DblClick, "DblClick", showDblClick, storeDblClick, {}, false},
    {R::OpenLink,
     "OpenLink",
     showFlag<&Settings::openLink>,
     storeFlag<&Settings::openLink>,
     {},
     false},
    {R::Autorun, "Autorun", showFlag<&Settings::autorun>, storeFlag<&Settings::autorun>, {}, false},
    {R::Tip, "Tip", showFlag<&Settings::tip>, storeFlag<&Settings::tip>, {}, false},
    {R::Hotkey, "Hotkey HotkeyValue", showHotkey, storeHotkey, {}, true},
    {R::Remember,
     "Remember",
     showFlag<&Settings::remember>,
     storeFlag<&Settings::remember>,
     {},
     false},
    {R::Wizard, "Wizard", showFlag<&Settings::wizard>, storeFlag<&Settings::wizard>, {}, false},
    {R::WithIE, "WithIE", showFlag<&Settings::withIE>, storeFlag<&Settings::withIE>, {}, false},
    {R::Quit, "Quit", showFlag<&Settings::quit>, storeFlag<&Settings::quit>, {}, false},
    {R::LockLogout,
     "LockLogout",
     showFlag<&Settings::lockLogout>,
     storeFlag<&Settings::lockLogout>,
     {},
     false},
}};

constexpr bool rowsInOrder() {
    for (std::size_t i = 0; i < kRows.size(); ++i)
        if (static_cast<std::size_t>(kRows[i].row) != i) return false;
    return true;
}
static_assert(rowsInOrder(), "the rows stand in the order of SettingRow");

} // namespace

std::uint16_t hotkeyCode(std::uint8_t key, bool ctrl, bool alt, bool shift) {
    return static_cast<std::uint16_t>(key | (ctrl ? kHotkeyCtrl : 0) | (alt ? kHotkeyAlt : 0) |
                                      (shift ? kHotkeyShift : 0));
}

bool hotkeyAcceptable(std::uint16_t code) {
    const auto key = static_cast<std::uint8_t>(code & 0xFF);
    if (key == 0 || isModifierKey(key)) return false;
    return isSet(code, kHotkeyCtrl) || isSet(code, kHotkeyAlt);
}

std::string hotkeyText(std::uint16_t code, const MessageTable& messages) {
    return keyChordText(static_cast<std::uint8_t>(code & 0xFF), isSet(code, kHotkeyCtrl),
                        isSet(code, kHotkeyAlt), isSet(code, kHotkeyShift), messages);
}

std::string hotkeyText(std::uint16_t code) {
    static const MessageTable english;
    return hotkeyText(code, english);
}

std::string browseStart(std::string_view backupFolder, FolderMaker& folders) {
    if (backupFolder.empty()) return {};
    const std::string folder(backupFolder);
    return folders.folderExists(folder) ? folder : std::string();
}

std::string backupFieldFromPick(std::string_view picked) {
    return withTrailingBackslash(picked) + "backup\\";
}

std::span<const SettingRowDef> settingRows() {
    return kRows;
}

const SettingRowDef& settingRow(SettingRow row) {
    return kRows[static_cast<std::size_t>(row)];
}

} // namespace kh
