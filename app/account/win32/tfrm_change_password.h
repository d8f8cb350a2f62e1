#pragma once
// The change-password dialog: the old password (prefilled with the current one), the new
// one and its confirmation. It only answers; the session takes the new password.
#include "message_table.h"
#include "secure_memory.h"
#include "services.h"
#include "win32/dialog.h"
#include "win32/skin_controls.h"
#include "win32_services.h"

#include <optional>
#include <string>

namespace kh {

class TfrmChangePassword : public TDialog {
  public:
    explicit TfrmChangePassword(const MessageTable& messages);

    // Runs modally for the named account and its current password: the new password when
    // Change closed the dialog, none when it was cancelled. Nothing of either password
    // stays in the dialog afterwards.
    std::optional<SecretString> changePassword(const std::string& accountName,
                                               const SecretString& current, HWND owner);

    void changeClick() { okClick(); }

    // Its boxes belong to the dialog; tests replace them.
    void setPrompts(Prompts& prompts) { prompts_ = &prompts; }

  protected:
    void onCreate() override;
    void onShow() override;
    bool validate() override;
    bool onKeyDown(const KeyPress& key) override;

  private:
    void wipeBoxes();

    const MessageTable& messages_;
    WindowPrompts ownPrompts_;
    Prompts* prompts_ = &ownPrompts_;
    SecretString current_;
    SecretString accepted_;
    Ctl<TNativeControl> edOldPassword{*this, "edOldPassword"};
    Ctl<TNativeControl> edNewPassword{*this, "edNewPassword"};
    Ctl<TNativeControl> edConfirm{*this, "edConfirm"};
    Ctl<QSkinButton> sbChange{*this, "sbChange"};
};

} // namespace kh
