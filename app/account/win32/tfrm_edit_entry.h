#pragma once
// The account-information dialog: the account name and the two descriptions. It only
// answers; the session takes the new values.
#include "account_dialogs.h"
#include "message_table.h"
#include "services.h"
#include "win32/dialog.h"
#include "win32/skin_controls.h"
#include "win32_services.h"

#include <optional>

namespace kh {

class TfrmEditEntry : public TDialog {
  public:
    explicit TfrmEditEntry(const MessageTable& messages);

    // Runs modally on the account's values: the accepted values, blanks cut at both ends,
    // when Change closed the dialog with something changed; none otherwise.
    std::optional<AccountInformation> editAccount(const AccountInformation& current, HWND owner);

    void changeClick();

    // Its boxes belong to the dialog; tests replace them.
    void setPrompts(Prompts& prompts) { prompts_ = &prompts; }

  protected:
    void onCreate() override;
    void onShow() override;
    void enterPressed() override { changeClick(); }
    bool onKeyDown(const KeyPress& key) override;

  private:
    void clearBoxes();

    const MessageTable& messages_;
    WindowPrompts ownPrompts_;
    Prompts* prompts_ = &ownPrompts_;
    AccountInformation current_;
    std::optional<AccountInformation> accepted_;
    Ctl<TNativeControl> edAccountName{*this, "edAccountName"};
    Ctl<TNativeControl> mmPasswordComment{*this, "mmPasswordComment"};
    Ctl<TNativeControl> mmAccountComment{*this, "mmAccountComment"};
    Ctl<QSkinButton> sbChange{*this, "sbChange"};
};

} // namespace kh
