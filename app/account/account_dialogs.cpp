#include "account_dialogs.h"

#include "text_trim.h"

namespace kh {

PasswordChangeCheck checkPasswordChange(std::string_view current, std::string_view oldBox,
                                        std::string_view newBox, std::string_view confirmBox,
                                        const MessageTable& messages) {
    if (oldBox != current)
        return {false, messages.text(Msg::warnpasswordmismatch), PasswordBox::Old};
    if (newBox.empty()) return {false, "", PasswordBox::New};
    if (newBox != confirmBox) return {false, "", PasswordBox::Confirm};
    return {true, "", PasswordBox::None};
}

AccountInformationCheck checkAccountInformation(const AccountInformation& current,
                                                std::string_view nameBox,
                                                std::string_view passwordMemo,
                                                std::string_view accountMemo) {
    AccountInformationCheck check;
    const std::string_view name = trimBlanks(nameBox);
    if (name.empty()) return check;
    if (name == current.name && passwordMemo == current.passwordDescription &&
        accountMemo == current.accountDescription) {
        check.outcome = AccountInformationOutcome::Unchanged;
        return check;
    }
    check.outcome = AccountInformationOutcome::Changed;
    check.values.name = std::string(name);
    check.values.passwordDescription = std::string(trimBlanks(passwordMemo));
    check.values.accountDescription = std::string(trimBlanks(accountMemo));
    return check;
}

} // namespace kh
