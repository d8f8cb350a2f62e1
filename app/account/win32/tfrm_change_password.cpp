#include "tfrm_change_password.h"

#include "account_dialogs.h"
#include "text_format.h"

namespace kh {
namespace {

constexpr ControlDef kChangePasswordControls[] = {
    {.name = "Label1",
     .kind = ControlKind::Label,
     .caption = "Input &Old Password:",
     .x = 14,
     .y = 19,
     .width = 126,
     .height = 16},
    {.name = "edOldPassword",
     .kind = ControlKind::MaskEdit,
     .x = 142,
     .y = 16,
     .width = 196,
     .height = 22,
     .maxLength = 75},
    {.name = "Label2",
     .kind = ControlKind::Label,
     .caption = "&New Password:",
     .x = 14,
     .y = 51,
     .width = 126,
     .height = 16},
    {.name = "edNewPassword",
     .kind = ControlKind::MaskEdit,
     .x = 142,
     .y = 48,
     .width = 196,
     .height = 22,
     .maxLength = 75},
    {.name = "Label3",
     .kind = ControlKind::Label,
     .caption = "Confirm:",
     .x = 14,
     .y = 83,
     .width = 126,
     .height = 16},
    {.name = "edConfirm",
     .kind = ControlKind::MaskEdit,
     .x = 142,
     .y = 80,
     .width = 196,
     .height = 22,
     .maxLength = 75},
    {.name = "sbChange",
     .kind = ControlKind::SkinButton,
     .caption = "&Change",
     .x = 176,
     .y = 118,
     .width = 78,
     .height = 25},
    {.name = "sbCancel",
     .kind = ControlKind::SkinButton,
     .caption = "&Cancel",
     .x = 260,
     .y = 118,
     .width = 78,
     .height = 25,
     .modalResult = ModalResult::Cancel},
};

FormDesign changePasswordDesign() {
    return fixedDialogDesign("TfrmChangePassword", "Change Password", 352, 156);
}

} // namespace

TfrmChangePassword::TfrmChangePassword(const MessageTable& messages)
    : TDialog(changePasswordDesign(), kChangePasswordControls), messages_(messages),
      ownPrompts_(ownerOf(*this)) {}

void TfrmChangePassword::onCreate() {
    sbChange->OnClick = [this] { changeClick(); };
}

std::optional<SecretString> TfrmChangePassword::changePassword(const std::string& accountName,
                                                               const SecretString& current,
                                                               HWND owner) {
    if (!create(owner)) return std::nullopt;
    if (isVisible()) {
        bringToFront();
        return std::nullopt;
    }
    setText(formatText(messages_.text(Msg::changepassword), {accountName}));
    current_ = current;
    accepted_.wipe();
    // The old password is typed, never shown filled in: whoever finds the program open
    // must not change the password without knowing it.
    wipeBoxes();
    const ModalResult result = execute(owner);
    wipeBoxes();
    current_.wipe();
    std::optional<SecretString> changed;
    if (result == ModalResult::Ok) changed = std::move(accepted_);
    accepted_.wipe();
    return changed;
}

void TfrmChangePassword::onShow() {
    edOldPassword->setFocus();
}

bool TfrmChangePassword::validate() {
    SecretString old = edOldPassword->secretText();
    SecretString fresh = edNewPassword->secretText();
    SecretString confirm = edConfirm->secretText();
    const PasswordChangeCheck check =
        checkPasswordChange(current_.view(), old.view(), fresh.view(), confirm.view(), messages_);
    if (!check.ok) {
        switch (check.focus) {
        case PasswordBox::Old:
            edOldPassword->setFocus();
            break;
        case PasswordBox::New:
            edNewPassword->setFocus();
            break;
        case PasswordBox::Confirm:
            edConfirm->setFocus();
            break;
        case PasswordBox::None:
            break;
        }
        if (!check.message.empty()) prompts_->warning(messages_.text(Msg::warning), check.message);
        return false;
    }
    accepted_ = std::move(fresh);
    wipeBoxes();
    return true;
}

bool TfrmChangePassword::onKeyDown(const KeyPress& key) {
    // The labels' letters lead to their boxes.
    if (key.alt && !key.ctrl && (key.key == 'O' || key.key == 'N')) {
        (key.key == 'O' ? edOldPassword : edNewPassword)->setFocus();
        return true;
    }
    return TDialog::onKeyDown(key);
}

void TfrmChangePassword::wipeBoxes() {
    edOldPassword->wipeText();
    edNewPassword->wipeText();
    edConfirm->wipeText();
}

} // namespace kh
