// The checks of the two dialogs that change the open account itself: its password, and
// its name with the two descriptions. Platform-free; the windows show what they answer.
#pragma once

#include "message_table.h"

#include <string>
#include <string_view>

namespace kh {

// The change-password dialog's boxes.
enum class PasswordBox { None, Old, New, Confirm };

struct PasswordChangeCheck {
    bool ok = false;
    std::string message;                   // shown in a warning box when not empty
    PasswordBox focus = PasswordBox::None; // the box to correct
};

// The Change button, in its order: the old password must be the current one exactly, the
// new one must not be empty and must equal its confirmation. The new password is taken
// as typed: blanks are part of it.
PasswordChangeCheck checkPasswordChange(std::string_view current, std::string_view oldBox,
                                        std::string_view newBox, std::string_view confirmBox,
                                        const MessageTable& messages);

// The account's name and its two descriptions.
struct AccountInformation {
    std::string name;
    std::string passwordDescription;
    std::string accountDescription;
};

enum class AccountInformationOutcome { EmptyName, Unchanged, Changed };

struct AccountInformationCheck {
    AccountInformationOutcome outcome = AccountInformationOutcome::EmptyName;
    AccountInformation values; // Changed: what the account takes, blanks cut at both ends
};

// The Change button of the account-information dialog: a name blank after trimming is
// refused; the same trimmed name with both descriptions exactly as they were is no
// change.
AccountInformationCheck checkAccountInformation(const AccountInformation& current,
                                                std::string_view nameBox,
                                                std::string_view passwordMemo,
                                                std::string_view accountMemo);

} // namespace kh
