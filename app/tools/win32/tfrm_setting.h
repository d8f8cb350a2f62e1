#pragma once
// The Settings dialog: the Security Guard, double-click and System Setting groups. Each
// row's controls are bound to a row of settingRows(), which shows its setting and stores
// it back on OK; Cancel and the close box change nothing. Created on first use, kept for
// the run, and only brought to the front when it is opened again while open.
#include "message_table.h"
#include "settings.h"
#include "settings_dialog.h"
#include "win32/dialog.h"
#include "win32/skin_controls.h"
#include "win32_services.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kh {

class TfrmSetting : public TDialog {
  public:
    TfrmSetting(const MessageTable& messages, FolderMaker& folders);

    // Shows the settings and the backup folder; on OK stores them back and returns true.
    // An empty backup folder field becomes the program folder plus "backup\"; the folder
    // is created when missing. While the dialog is open already it only comes to the
    // front (false).
    bool edit(HWND owner, Settings& settings, std::string& backupFolder,
              const std::string& programFolder);

    void browseClick();

    // Its folder browser belongs to the dialog itself; tests replace it.
    void setFileDialogs(FileDialogs& dialogs) { fileDialogs_ = &dialogs; }

  protected:
    void onCreate() override;
    void onShow() override;
    bool onKeyDown(const KeyPress& key) override;
    // Enter presses the focused button, or OK.
    void enterPressed() override;

  private:
    struct RowControls {
        SettingRow row;
        QCheckBox* box;
        TNativeControl* field;
    };
    void show(const Settings& settings);
    void store(Settings& settings);
    RowValue read(const RowControls& row) const;
    QCheckBox* boxOf(SettingRow row) const;
    // Usable controls follow the boxes they depend on.
    void followBoxes();
    bool hotkeyFieldKey(const KeyPress& key);
    void setHotkey(std::uint16_t code);

    const MessageTable& messages_;
    FolderMaker& folders_;
    WindowFileDialogs ownFileDialogs_;
    FileDialogs* fileDialogs_ = &ownFileDialogs_;
    std::vector<RowControls> rows_;
    std::uint16_t hotkey_ = 0;
    std::string heldFolder_; // the backup folder when the dialog opened

    Ctl<QCheckBox> cbGuard{*this, "cbGuard"};
    Ctl<QCheckBox> cbMinimize{*this, "cbMinimize"};
    Ctl<QCheckBox> cbMainGuard{*this, "cbMainGuard"};
    Ctl<TNativeControl> edMainGuard{*this, "edMainGuard"};
    Ctl<QCheckBox> cbDisplayPassword{*this, "cbDisplayPassword"};
    Ctl<QCheckBox> cbTimeout{*this, "cbTimeout"};
    Ctl<TNativeControl> edTimeout{*this, "edTimeout"};
    Ctl<QCheckBox> cbBackup{*this, "cbBackup"};
    Ctl<TNativeControl> edTimes{*this, "edTimes"};
    Ctl<TNativeControl> edBackupPath{*this, "edBackupPath"};
    Ctl<QSkinButton> sbBrowse{*this, "sbBrowse"};
    Ctl<QRadioBox> rbNothing{*this, "rbNothing"};
    Ctl<QRadioBox> rbEdit{*this, "rbEdit"};
    Ctl<QRadioBox> rbCopy{*this, "rbCopy"};
    Ctl<QCheckBox> cbOpenLink{*this, "cbOpenLink"};
    Ctl<QCheckBox> cbAutorun{*this, "cbAutorun"};
    Ctl<QCheckBox> cbTip{*this, "cbTip"};
    Ctl<QCheckBox> cbHotkey{*this, "cbHotkey"};
    Ctl<TNativeControl> edHotkey{*this, "edHotkey"};
    Ctl<TNativeControl> lbHotkeyInvalid{*this, "lbHotkeyInvalid"};
    Ctl<QCheckBox> cbRemember{*this, "cbRemember"};
    Ctl<QCheckBox> cbWizard{*this, "cbWizard"};
    Ctl<QCheckBox> cbWithIE{*this, "cbWithIE"};
    Ctl<QCheckBox> cbQuit{*this, "cbQuit"};
    Ctl<QCheckBox> cbLockLogout{*this, "cbLockLogout"};
    Ctl<QSkinButton> sbOk{*this, "sbOk"};
    Ctl<QSkinButton> sbCancel{*this, "sbCancel"};
};

} // namespace kh
