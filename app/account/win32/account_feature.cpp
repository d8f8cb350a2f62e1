#include "account_feature.h"

namespace kh {

AccountFeature::AccountFeature(Session& session, const MessageTable& messages, Clipboard& clipboard,
                               PasswordGuard& guard, std::function<HWND()> owner)
    : session_(session), messages_(messages), clipboard_(clipboard), guard_(guard),
      owner_(std::move(owner)), ended_(session.OnEnded.subscribe([this] { sessionEnded(); })) {}

AccountFeature::~AccountFeature() = default;

std::optional<WizardAccount> AccountFeature::runAccountWizard(bool import) {
    return wizard().runAccountWizard(import, owner());
}

HWND AccountFeature::owner() const {
    return owner_ ? owner_() : nullptr;
}

TfrmWizard& AccountFeature::wizard() {
    if (!wizard_) wizard_ = std::make_unique<TfrmWizard>(messages_, clipboard_, guard_);
    return *wizard_;
}

TfrmChangePassword& AccountFeature::changePasswordDialog() {
    if (!changePassword_) changePassword_ = std::make_unique<TfrmChangePassword>(messages_);
    return *changePassword_;
}

TfrmEditEntry& AccountFeature::accountDialog() {
    if (!editAccount_) editAccount_ = std::make_unique<TfrmEditEntry>(messages_);
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
    case CommandId::ChangeAccountProtection:
        session_.protectionCommand();
        break;
    default: // ManageAccount only opens its submenu
        break;
    }
}

void AccountFeature::changeAccountPassword() {
    Session& session = session_;
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
    Session& session = session_;
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
    if (changePassword_ && changePassword_->isModal())
        changePassword_->setModalResult(ModalResult::Cancel);
    if (editAccount_ && editAccount_->isModal()) editAccount_->setModalResult(ModalResult::Cancel);
}

void AccountFeature::languageLoaded() {
    if (wizard_) wizard_->refreshButtons();
}

} // namespace kh
