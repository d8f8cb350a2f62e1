// The account itself: the setup wizard (a service the session's new-account and import
// commands call), the change-password dialog and the account-information dialog.
#pragma once

#include "feature_handler.h"
#include "password_guard.h"
#include "session.h"
#include "tfrm_change_password.h"
#include "tfrm_edit_entry.h"
#include "tfrm_wizard.h"

#include <functional>
#include <memory>

namespace kh {

class AccountFeature : public FeatureHandler, public AccountWizardPrompter {
  public:
    // `owner`: the main window while it is shown, the owner of the dialogs.
    AccountFeature(Session& session, const MessageTable& messages, Clipboard& clipboard,
                   PasswordGuard& guard, std::function<HWND()> owner);
    ~AccountFeature() override;
    void run(CommandId action) override;
    void languageLoaded() override;
    // The account wizard for the session's new-account and import commands.
    std::optional<WizardAccount> runAccountWizard(bool import) override;
    void createWindows() override {
        wizard().create();
        changePasswordDialog().create();
        accountDialog().create();
    }

    // The windows, each made on first use and then reused.
    TfrmWizard& wizard();
    TfrmChangePassword& changePasswordDialog();
    TfrmEditEntry& accountDialog();

    void changeAccountPassword();
    void editAccountInformation();

  private:
    HWND owner() const;
    // The account these dialogs show is gone (the automatic logout struck while one was
    // open): they close, and the password in the old-password box goes with them.
    void sessionEnded();

    Session& session_;
    const MessageTable& messages_;
    Clipboard& clipboard_;
    PasswordGuard& guard_;
    std::function<HWND()> owner_;
    Event<>::Subscription ended_;
    std::unique_ptr<TfrmWizard> wizard_;
    std::unique_ptr<TfrmChangePassword> changePassword_;
    std::unique_ptr<TfrmEditEntry> editAccount_;
};

} // namespace kh
