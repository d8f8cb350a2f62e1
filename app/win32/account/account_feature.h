// The account itself: the setup wizard (a service the session's new-account and import
// commands call), the change-password dialog and the account-information dialog.
#pragma once

#include "app_context.h"
#include "tfrm_change_password.h"
#include "tfrm_edit_entry.h"
#include "tfrm_wizard.h"

#include <memory>

namespace kh {

class AccountFeature : public FeatureHandler {
  public:
    explicit AccountFeature(AppContext& context);
    ~AccountFeature() override;
    void run(CommandId action) override;
    void sessionEnded() override;
    void languageLoaded() override;
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

    AppContext& context_;
    std::unique_ptr<TfrmWizard> wizard_;
    std::unique_ptr<TfrmChangePassword> changePassword_;
    std::unique_ptr<TfrmEditEntry> editAccount_;
};

} // namespace kh
