#include "account_feature.h"

namespace kh {

AccountFeature::AccountFeature(AppContext& context) : context_(context) {
    context_.services.runAccountWizard = [this](bool import) {
        return wizard().runAccountWizard(import, owner());
    };
}

AccountFeature::~AccountFeature() {
    context_.services.runAccountWizard = nullptr;
}

HWND AccountFeature::owner() const {
    HWND main = context_.mainWindow();
    return main && IsWindowVisible(main) ? main : nullptr;
}

TfrmWizard& AccountFeature::wizard() {
    if (!wizard_)
        wizard_ =
            std::make_unique<TfrmWizard>(context_.messages, context_.clipboard, context_.guard);
    return *wizard_;
}

TfrmChangePassword& AccountFeature::changePasswordDialog() {
    if (!changePassword_) changePassword_ = std::make_unique<TfrmChangePassword>(context_.messages);
    return *changePassword_;
}

TfrmEditEntry& AccountFeature::accountDialog() {
    if (!editAccount_) editAccount_ = std::make_unique<TfrmEditEntry>(context_.messages);
    return *editAccount_;
}

void AccountFeature::run(CommandId action) {
    switch (action) {
    case CommandId::ChangeAccountPassword:
        changeAccountPassword();
        break;
    case CommandId::EditAccountInformation:
        editAccountInformation();
        break;
    default: // ManageAccount only opens its submenu
        break;
    }
}

void AccountFeature::changeAccountPassword() {
    Session& session = context_.session;
    if (!session.isLoggedIn()) return;
    TfrmChangePassword& dialog = changePasswordDialog();
    if (dialog.isVisible()) {
        dialog.bringToFront();
        return;
    }
    const int asked = session.sessionNumber();
    std::optional<SecretString> fresh =
        dialog.changePassword(session.accountName(), session.password(), owner());
    if (fresh) session.changePassword(asked, fresh->view());
}

void AccountFeature::editAccountInformation() {
    Session& session = context_.session;
    if (!session.isLoggedIn()) return;
    TfrmEditEntry& dialog = accountDialog();
    if (dialog.isVisible()) {
        dialog.bringToFront();
        return;
    }
    const int asked = session.sessionNumber();
    const std::optional<AccountInformation> changed = dialog.editAccount(
        {session.accountName(), session.passwordDescription(), session.accountDescription()},
        owner());
    if (changed)
        session.changeAccountInformation(asked, changed->name, changed->passwordDescription,
                                         changed->accountDescription);
}

void AccountFeature::sessionEnded() {
    // The account these dialogs show is gone (the automatic logout struck while one was
    // open): they close, and the password in the old-password box goes with them.
    if (changePassword_ && changePassword_->isModal())
        changePassword_->setModalResult(ModalResult::Cancel);
    if (editAccount_ && editAccount_->isModal()) editAccount_->setModalResult(ModalResult::Cancel);
}

void AccountFeature::languageLoaded() {
    if (wizard_) wizard_->refreshButtons();
}

} // namespace kh
