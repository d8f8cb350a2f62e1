#include "account_wizard.h"

#include "account_file.h"
#include "text_format.h"
#include "text_trim.h"

namespace kh {
namespace {

std::string trimmed(const std::string& text) {
    return std::string(trimBlanks(text));
}

} // namespace

std::optional<AccountWizardPage> accountWizardNextPage(AccountWizardPage page, bool newMode) {
    switch (page) {
    case AccountWizardPage::Welcome:
        return newMode ? AccountWizardPage::NewAccount : AccountWizardPage::Import;
    case AccountWizardPage::Finished:
        return std::nullopt;
    case AccountWizardPage::Import:
        return AccountWizardPage::Finished;
    case AccountWizardPage::NewAccount:
        return AccountWizardPage::Password;
    case AccountWizardPage::Password:
        return AccountWizardPage::Comment;
    case AccountWizardPage::Comment:
        // The new-account pages end with the last page of the notebook.
        return AccountWizardPage::Finished;
    }
    return std::nullopt;
}

std::optional<AccountWizardPage> accountWizardBackPage(AccountWizardPage page, bool newMode) {
    switch (page) {
    case AccountWizardPage::Welcome:
        return std::nullopt;
    case AccountWizardPage::Finished:
        return newMode ? AccountWizardPage::Comment : AccountWizardPage::Import;
    case AccountWizardPage::Import:
    case AccountWizardPage::NewAccount:
        return AccountWizardPage::Welcome;
    case AccountWizardPage::Password:
        return AccountWizardPage::NewAccount;
    case AccountWizardPage::Comment:
        return AccountWizardPage::Password;
    }
    return std::nullopt;
}

void AccountWizardFlow::start(bool import) {
    newMode_ = !import;
    finished_ = false;
    page_ = AccountWizardPage::Welcome;
    results_.password.wipe();
    results_ = WizardAccount{};
    results_.imported = import;
}

const std::string& AccountWizardFlow::nextCaption() const {
    return messages_.text(page_ == AccountWizardPage::Finished ? Msg::buttonfinish
                                                               : Msg::buttonnext);
}

AccountWizardField AccountWizardFlow::firstField() const {
    switch (page_) {
    case AccountWizardPage::Import:
        return AccountWizardField::ImportFile;
    case AccountWizardPage::NewAccount:
        return AccountWizardField::AccountName;
    case AccountWizardPage::Password:
        return AccountWizardField::Password;
    default:
        return AccountWizardField::None;
    }
}

std::optional<AccountWizardProblem> AccountWizardFlow::next(AccountWizardFields& fields) {
    if (finished_) return std::nullopt;
    std::optional<AccountWizardProblem> problem;
    switch (page_) {
    case AccountWizardPage::Welcome:
        newMode_ = fields.newChosen();
        results_.imported = !newMode_;
        break;
    case AccountWizardPage::Finished:
        finished_ = true;
        return std::nullopt;
    case AccountWizardPage::Import:
        problem = checkImport(fields);
        break;
    case AccountWizardPage::NewAccount:
        problem = checkNewAccount(fields);
        break;
    case AccountWizardPage::Password:
        problem = checkPassword(fields);
        break;
    case AccountWizardPage::Comment:
        checkComment(fields);
        break;
    }
    if (problem) return problem;
    if (const std::optional<AccountWizardPage> to = accountWizardNextPage(page_, newMode_))
        page_ = *to;
    return std::nullopt;
}

void AccountWizardFlow::back() {
    if (finished_) return;
    if (const std::optional<AccountWizardPage> to = accountWizardBackPage(page_, newMode_))
        page_ = *to;
}

AccountWizardProblem AccountWizardFlow::problem(Msg message, AccountWizardField focus) const {
    return {messages_.text(message), focus};
}

std::optional<AccountWizardProblem> AccountWizardFlow::checkImport(AccountWizardFields& fields) {
    const std::string file = trimmed(fields.text(AccountWizardField::ImportFile));
    if (file.empty()) return problem(Msg::warnimport, AccountWizardField::ImportFile);
    const std::string name = trimmed(fields.text(AccountWizardField::ImportAccount));
    if (name.empty()) return problem(Msg::warnaccount, AccountWizardField::ImportAccount);
    SecretString password = fields.secret(AccountWizardField::ImportPassword);
    if (password.empty()) return problem(Msg::warnpassword, AccountWizardField::ImportPassword);
    std::string description;
    bool opens = false;
    const auto check = [&] {
        opens = checkAccountCredentials(file, name, password.view(), description);
    };
    if (background_)
        background_->runAndWait(check);
    else
        check();
    if (!opens)
        return AccountWizardProblem{formatText(messages_.text(Msg::warnaccesspassword), {file}),
                                    AccountWizardField::None};
    results_.name = name;
    results_.file = file;
    results_.password = std::move(password);
    results_.passwordDescription = std::move(description);
    // An imported account's own description comes from its file, not from this run.
    results_.accountDescription.clear();
    return std::nullopt;
}

std::optional<AccountWizardProblem>
AccountWizardFlow::checkNewAccount(AccountWizardFields& fields) {
    const std::string name = trimmed(fields.text(AccountWizardField::AccountName));
    if (name.empty()) return problem(Msg::warnaccount, AccountWizardField::None);
    results_.name = name;
    results_.file = trimmed(fields.text(AccountWizardField::AccountFile));
    results_.accountDescription = trimmed(fields.text(AccountWizardField::AccountComment));
    return std::nullopt;
}

std::optional<AccountWizardProblem> AccountWizardFlow::checkPassword(AccountWizardFields& fields) {
    SecretString password = fields.secret(AccountWizardField::Password);
    SecretString confirm = fields.secret(AccountWizardField::Confirm);
    // Both empty is a mismatch too: an account needs a password.
    if (password.empty() || password != confirm)
        return problem(Msg::warnpasswordmismatch, AccountWizardField::None);
    results_.password = std::move(password);
    results_.protection =
        fields.strongChosen() ? AccountProtection::strongWith() : AccountProtection::compatible();
    return std::nullopt;
}

void AccountWizardFlow::checkComment(AccountWizardFields& fields) {
    results_.passwordDescription = trimmed(fields.text(AccountWizardField::Comment));
}

std::optional<AccountWizardProblem> AccountWizardFlow::forgot(AccountWizardFields& fields) const {
    const std::string file = trimmed(fields.text(AccountWizardField::ImportFile));
    if (file.empty()) return problem(Msg::warnimport, AccountWizardField::ImportFile);
    ForgotAnswer answer =
        forgotPasswordText(file, fields.text(AccountWizardField::ImportAccount), messages_);
    return AccountWizardProblem{std::move(answer.text), AccountWizardField::None};
}

WizardAccount AccountWizardFlow::takeResults() {
    WizardAccount taken = results_;
    taken.imported = !newMode_;
    results_.password.wipe();
    return taken;
}

} // namespace kh
