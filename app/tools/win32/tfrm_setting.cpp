#include "tfrm_setting.h"

#include "resource_ids.h"

#include <shlobj.h>

namespace kh {
namespace {

constexpr COLORREF kWarningRed = RGB(0xB0, 0x20, 0x20);

constexpr ControlDef box(const char* name, const char* caption, const char* parent, int x, int y,
                         int width) {
    return {.name = name,
            .kind = ControlKind::SkinCheckBox,
            .caption = caption,
            .x = x,
            .y = y,
            .width = width,
            .height = 20,
            .parent = parent};
}

constexpr ControlDef radio(const char* name, const char* caption, int y) {
    return {.name = name,
            .kind = ControlKind::SkinRadioBox,
            .caption = caption,
            .x = 12,
            .y = y,
            .width = 320,
            .height = 20,
            .parent = "gbDblClick"};
}

constexpr ControlDef label(const char* name, const char* caption, const char* parent, int x, int y,
                           int width, int height = 16) {
    return {.name = name,
            .kind = ControlKind::Label,
            .caption = caption,
            .x = x,
            .y = y,
            .width = width,
            .height = height,
            .parent = parent};
}

constexpr ControlDef field(const char* name, const char* parent, int x, int y, int width,
                           int maxLength) {
    return {.name = name,
            .kind = ControlKind::Edit,
            .x = x,
            .y = y,
            .width = width,
            .height = 22,
            .parent = parent,
            .maxLength = maxLength};
}

constexpr ControlDef group(const char* name, const char* caption, int x, int y, int width,
                           int height) {
    return {.name = name,
            .kind = ControlKind::GroupBox,
            .caption = caption,
            .x = x,
            .y = y,
            .width = width,
            .height = height};
}

constexpr const char* kSecurity = "gbSecurity";
constexpr const char* kSystem = "gbSystem";

constexpr ControlDef kSettingControls[] = {
    group(kSecurity, "Security Guard", 8, 6, 340, 342),
    box("cbGuard", "Enable Password Guard", kSecurity, 12, 22, 316),
    box("cbMinimize", "Minimize Keyhaven while guarding.", kSecurity, 30, 44, 298),
    box("cbMainGuard", "Log out if there is no action for:", kSecurity, 12, 72, 316),
    field("edMainGuard", kSecurity, 30, 95, 56, 5),
    label("lbMinutes", "minutes.", kSecurity, 92, 98, 120),
    label("lbLogoutNote",
          "When Keyhaven logs out by itself, unsaved changes are lost: save your data often.",
          kSecurity, 30, 124, 298, 44),
    box("cbDisplayPassword", "Show the password when an entry is selected.", kSecurity, 12, 174,
        316),
    box("cbTimeout", "Hide the password after:", kSecurity, 12, 202, 188),
    field("edTimeout", kSecurity, 204, 201, 50, 9),
    label("lbSeconds", "seconds.", kSecurity, 260, 204, 72),
    box("cbBackup", "Back up the account file every:", kSecurity, 12, 232, 188),
    field("edTimes", kSecurity, 204, 231, 50, 9),
    label("lbSaveTimes", "saves.", kSecurity, 260, 234, 72),
    label("lbBackupTo", "Backup to:", kSecurity, 12, 270, 200),
    field("edBackupPath", kSecurity, 12, 289, 234, static_cast<int>(kMaxBackupPath)),
    {.name = "sbBrowse",
     .kind = ControlKind::SkinButton,
     .caption = "Browse",
     .x = 252,
     .y = 288,
     .width = 76,
     .height = 24,
     .parent = kSecurity},
    box("cbLockLogout", "Log out when the workstation is locked or the computer sleeps.", kSecurity,
        12, 318, 316),

    group("gbDblClick", "When I double click an entry:", 356, 6, 350, 124),
    radio("rbNothing", "Do Nothing", 22),
    radio("rbEdit", "Edit Entry", 44),
    radio("rbCopy", "Copy password to Clipboard.", 66),
    box("cbOpenLink", "Open the web browser when the entry is a web address.", "gbDblClick", 12, 94,
        330),

    group(kSystem, "System Setting", 356, 138, 350, 210),
    box("cbAutorun", "Start with Windows.", kSystem, 12, 22, 330),
    box("cbTip", "Show tips when the program starts.", kSystem, 12, 44, 330),
    box("cbHotkey", "Enable Hotkey:", kSystem, 12, 70, 120),
    {.name = "edHotkey",
     .kind = ControlKind::Edit,
     .x = 136,
     .y = 69,
     .width = 150,
     .height = 22,
     .parent = kSystem,
     .options = opt::readOnly},
    {.name = "lbHotkeyInvalid",
     .kind = ControlKind::Label,
     .x = 30,
     .y = 94,
     .width = 312,
     .height = 16,
     .parent = kSystem,
     .options = opt::hidden,
     .textColor = kWarningRed},
    box("cbRemember", "Remember the last account.", kSystem, 12, 114, 330),
    box("cbWizard", "Show the login or the account wizard at start.", kSystem, 12, 136, 330),
    box("cbWithIE", "Integrate with Internet Explorer's Context menu.", kSystem, 12, 158, 330),
    box("cbQuit", "Quit Keyhaven when the main window is closed.", kSystem, 12, 180, 330),

    {.name = "sbOk",
     .kind = ControlKind::SkinButton,
     .caption = "&OK",
     .x = 538,
     .y = 358,
     .width = 80,
     .height = 28},
    {.name = "sbCancel",
     .kind = ControlKind::SkinButton,
     .caption = "&Cancel",
     .x = 626,
     .y = 358,
     .width = 80,
     .height = 28,
     .modalResult = ModalResult::Cancel},
};

FormDesign settingDesign() {
    return fixedDialogDesign("TfrmSetting", "Settings", 714, 396,
                             LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KEYHAVEN)));
}

} // namespace

TfrmSetting::TfrmSetting(const MessageTable& messages, FolderMaker& folders)
    : TDialog(settingDesign(), kSettingControls), messages_(messages), folders_(folders),
      ownFileDialogs_(ownerOf(*this)) {}

void TfrmSetting::onCreate() {
    rows_ = {
        {SettingRow::Guard, &*cbGuard, nullptr},
        {SettingRow::Minimize, &*cbMinimize, nullptr},
        {SettingRow::MainGuard, &*cbMainGuard, &*edMainGuard},
        {SettingRow::DisplayPassword, &*cbDisplayPassword, nullptr},
        {SettingRow::Timeout, &*cbTimeout, &*edTimeout},
        {SettingRow::Backup, &*cbBackup, &*edTimes},
        {SettingRow::DblClick, nullptr, nullptr},
        {SettingRow::OpenLink, &*cbOpenLink, nullptr},
        {SettingRow::Autorun, &*cbAutorun, nullptr},
        {SettingRow::Tip, &*cbTip, nullptr},
        {SettingRow::Hotkey, &*cbHotkey, &*edHotkey},
        {SettingRow::Remember, &*cbRemember, nullptr},
        {SettingRow::Wizard, &*cbWizard, nullptr},
        {SettingRow::WithIE, &*cbWithIE, nullptr},
        {SettingRow::Quit, &*cbQuit, nullptr},
        {SettingRow::LockLogout, &*cbLockLogout, nullptr},
    };
    for (const RowControls& row : rows_)
        if (row.box) row.box->OnChange = [this] { followBoxes(); };

    sbOk->OnClick = [this] { okClick(); };
    sbBrowse->OnClick = [this] { browseClick(); };
    // The folder browser needs the shell's allocator for what it returns.
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator)
        allocator->Release();
    else
        sbBrowse->setActive(false);
}

bool TfrmSetting::edit(HWND owner, Settings& settings, std::string& backupFolder,
                       const std::string& programFolder) {
    if (isModal()) {
        bringToFront();
        return false;
    }
    if (!create()) return false;
    show(settings);
    heldFolder_ = backupFolder;
    edBackupPath->setText(backupFolder);
    if (execute(owner) != ModalResult::Ok) return false;
    store(settings);
    backupFolder = backupFolderFromField(edBackupPath->text(), programFolder, folders_);
    return true;
}

void TfrmSetting::show(const Settings& settings) {
    for (const RowControls& row : rows_) {
        const RowValue value = settingRow(row.row).show(settings);
        if (row.box) row.box->setChecked(value.checked);
        if (row.field && row.row != SettingRow::Hotkey) row.field->setText(value.field);
        if (row.row == SettingRow::DblClick) {
            QRadioBox& chosen = value.choice == kDblClickNothing        ? *rbNothing
                                : value.choice == kDblClickCopyPassword ? *rbCopy
                                                                        : *rbEdit;
            chosen.setChecked(true);
        }
        if (row.row == SettingRow::Hotkey) setHotkey(static_cast<std::uint16_t>(value.choice));
    }
    followBoxes();
}

RowValue TfrmSetting::read(const RowControls& row) const {
    RowValue value;
    if (row.box) value.checked = row.box->checked();
    if (row.field) value.field = row.field->text();
    if (row.row == SettingRow::DblClick) {
        value.choice = rbNothing->checked() ? kDblClickNothing
                       : rbCopy->checked()  ? kDblClickCopyPassword
                                            : kDblClickEdit;
    }
    if (row.row == SettingRow::Hotkey) value.choice = hotkey_;
    return value;
}

void TfrmSetting::store(Settings& settings) {
    for (const RowControls& row : rows_)
        settingRow(row.row).store(read(row), settings);
}

QCheckBox* TfrmSetting::boxOf(SettingRow row) const {
    for (const RowControls& controls : rows_)
        if (controls.row == row) return controls.box;
    return nullptr;
}

void TfrmSetting::followBoxes() {
    for (const RowControls& row : rows_) {
        const SettingRowDef& def = settingRow(row.row);
        if (def.boxNeeds && row.box) {
            const QCheckBox* needed = boxOf(*def.boxNeeds);
            row.box->setActive(needed && needed->checked());
        }
        if (def.fieldNeedsBox && row.field && row.box) row.field->setEnabled(row.box->checked());
    }
    if (!cbHotkey->checked()) lbHotkeyInvalid->setVisible(false);
}

void TfrmSetting::onShow() {
    lbHotkeyInvalid->setVisible(false);
    cbGuard->setFocus();
}

void TfrmSetting::setHotkey(std::uint16_t code) {
    hotkey_ = code;
    edHotkey->setText(hotkeyText(code, messages_));
}

bool TfrmSetting::hotkeyFieldKey(const KeyPress& key) {
    // On their own, Tab, Enter and Esc keep their meaning in the dialog.
    if (!key.ctrl && !key.alt &&
        (key.key == VK_TAB || key.key == VK_RETURN || key.key == VK_ESCAPE))
        return false;
    const std::uint16_t code =
        hotkeyCode(static_cast<std::uint8_t>(key.key), key.ctrl, key.alt, key.shift);
    if (hotkeyAcceptable(code)) {
        setHotkey(code);
        lbHotkeyInvalid->setVisible(false);
    } else {
        lbHotkeyInvalid->setText(messages_.text(Msg::hotkeyinvalid));
        lbHotkeyInvalid->setVisible(true);
        MessageBeep(MB_ICONWARNING);
    }
    return true;
}

bool TfrmSetting::onKeyDown(const KeyPress& key) {
    if (key.target == edHotkey->handle() && hotkeyFieldKey(key)) return true;
    return TDialog::onKeyDown(key);
}

void TfrmSetting::enterPressed() {
    for (QSkinButton* button : {&*sbCancel, &*sbBrowse}) {
        if (GetFocus() == button->handle()) {
            button->click();
            return;
        }
    }
    okClick();
}

void TfrmSetting::browseClick() {
    const std::optional<std::string> picked =
        fileDialogs_->chooseFolder("Backup", browseStart(heldFolder_, folders_));
    if (picked) edBackupPath->setText(backupFieldFromPick(*picked));
}

} // namespace kh
