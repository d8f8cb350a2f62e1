#pragma once
// The account setup wizard: a welcome page, then either the import page or the three
// pages of a new account, and a last page that finishes. It only collects and checks
// (AccountWizardFlow); the session opens the new account or loads the imported file.
#include "account_wizard.h"
#include "background_work.h"
#include "message_table.h"
#include "password_guard.h"
#include "reveal_line.h"
#include "services.h"
#include "win32/dialog.h"
#include "win32/gdi.h"
#include "win32/skin_controls.h"
#include "win32_services.h"

#include <optional>

namespace kh {

class TfrmWizard : public TDialog, private AccountWizardFields {
  public:
    TfrmWizard(const MessageTable& messages, Clipboard& clipboard, PasswordGuard& guard);

    // One run in new or import mode, owned by `owner`: the results when Finish closed it,
    // none when it was cancelled or was already open (it then comes to the front).
    std::optional<WizardAccount> runAccountWizard(bool import, HWND owner);

    const AccountWizardFlow& flow() const { return flow_; }
    // The Next button's caption follows the message table; a language load changes it.
    void refreshButtons();

    void nextClick();
    void backClick();
    void browseImportClick();
    void browseSaveClick();
    void forgotClick();
    void pasteClick();
    void viewClick();
    // Timer1: the reveal line has been shown long enough.
    void timer1Timer();
    bool timer1Running() const { return revealLine_.running(); }

    // Boxes and file dialogs belong to the wizard; tests replace them.
    void setPrompts(Prompts& prompts) { prompts_ = &prompts; }
    void setFileDialogs(FileDialogs& dialogs) { fileDialogs_ = &dialogs; }

    static constexpr UINT_PTR kTimer1 = 1;
    static constexpr UINT kTimer1Interval = 2000;

  protected:
    void onCreate() override;
    void onShow() override;
    bool onKeyDown(const KeyPress& key) override;
    void onCommand(int id, int notifyCode, HWND from) override;
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    // AccountWizardFields
    bool newChosen() override;
    bool strongChosen() override;
    std::string text(AccountWizardField field) override;
    SecretString secret(AccountWizardField field) override;

    TNativeControl* field(AccountWizardField which);
    void showPage();
    void showProblem(const AccountWizardProblem& problem);
    void emptyFields();
    bool press(QBaseControl& button);
    void paint(HDC dc);

    const MessageTable& messages_;
    Clipboard& clipboard_;
    PasswordGuard& guard_;
    AccountWizardFlow flow_;
    WorkerThreadWork background_;
    WindowPrompts ownPrompts_;
    WindowFileDialogs ownFileDialogs_;
    Prompts* prompts_ = &ownPrompts_;
    FileDialogs* fileDialogs_ = &ownFileDialogs_;
    Bitmap picture_;
    ImageList glyphs_;

    Ctl<TContainer> nbWizard{*this, "nbWizard"};
    Ctl<QRadioBox> rbNew{*this, "rbNew"};
    Ctl<QRadioBox> rbImport{*this, "rbImport"};
    Ctl<TNativeControl> edImportFile{*this, "edImportFile"};
    Ctl<QSkinButton> sbBrowseImport{*this, "sbBrowseImport"};
    Ctl<TNativeControl> edImportAccount{*this, "edImportAccount"};
    Ctl<TNativeControl> edImportPassword{*this, "edImportPassword"};
    Ctl<TNativeControl> edAccountName{*this, "edAccountName"};
    Ctl<TNativeControl> edAccountFile{*this, "edAccountFile"};
    Ctl<QSkinButton> sbSave{*this, "sbSave"};
    Ctl<TNativeControl> mmAccountComment{*this, "mmAccountComment"};
    Ctl<TNativeControl> edPassword{*this, "edPassword"};
    Ctl<TNativeControl> edComfirm{*this, "edComfirm"};
    Ctl<QBitmapButton> sbPaste{*this, "sbPaste"};
    Ctl<QBitmapButton> sbView{*this, "sbView"};
    Ctl<QCheckBox> cbStrong{*this, "cbStrong"};
    Ctl<TNativeControl> stClipboard{*this, "stClipboard"};
    // The reveal line; the Timer1 of the paste and view buttons.
    RevealLine revealLine_{*this, stClipboard, kTimer1, kTimer1Interval};
    Ctl<TNativeControl> mmComment{*this, "mmComment"};
    Ctl<QSkinButton> sbBack{*this, "sbBack"};
    Ctl<QSkinButton> sbNext{*this, "sbNext"};
    Ctl<QSkinButton> sbCancel{*this, "sbCancel"};
};

} // namespace kh
