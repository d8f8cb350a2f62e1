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

std::optional<WizardPage> wizardNextPage(WizardPage page, bool newMode) {
    switch (page) {
    case WizardPage::Welcome:
        return newMode ? WizardPage::NewAccount : WizardPage::Import;
    case WizardPage::Finished:
        return std::nullopt;
    case WizardPage::Import:
        return WizardPage::Finished;
    case WizardPage::NewAccount:
        return WizardPage::Password;
    case WizardPage::Password:
        return WizardPage::Comment;
    case WizardPage::Comment:
        // The new-account pages end with the last page of the notebook.
        return WizardPage::Finished;
    }
    return std::nullopt;
}

std::optional<WizardPage> wizardBackPage(WizardPage page, bool newMode) {
    switch (page) {
    case WizardPage::Welcome:
        return std::nullopt;
    case WizardPage::Finished:
        return newMode ? WizardPage::Comment : WizardPage::Import;
    case WizardPage::Import:
    case WizardPage::NewAccount:
        return WizardPage::Welcome;
    case WizardPage::Password:
        return WizardPage::NewAccount;
    case WizardPage::Comment:
        return WizardPage::Password;
    }
    return std::nullopt;
}

void AccountWizardFlow::start(bool import) {
    newMode_ = !import;
    finished_ = false;
    page_ = WizardPage::Welcome;
    results_.password.wipe();
    results_ = WizardAccount{};
    results_.imported = import;
}

const std::string& AccountWizardFlow::nextCaption() const {
    return messages_.text(page_ == WizardPage::Finished ? Msg::buttonfinish : Msg::buttonnext);
}

WizardField AccountWizardFlow::firstField() const {
    switch (page_) {
    case WizardPage::Import:
        return WizardField::ImportFile;
    case WizardPage::NewAccount:
        return WizardField::AccountName;
    case WizardPage::Password:
        return WizardField::Password;
    default:
        return WizardField::None;
    }
}

std::optional<WizardProblem> AccountWizardFlow::next(WizardFields& fields) {
    if (finished_) return std::nullopt;
    std::optional<WizardProblem> problem;
    switch (page_) {
    case WizardPage::Welcome:
        newMode_ = fields.newChosen();
        results_.imported = !newMode_;
        break;
    case WizardPage::Finished:
        finished_ = true;
        return std::nullopt;
    case WizardPage::Import:
        problem = checkImport(fields);
        break;
    case WizardPage::NewAccount:
        problem = checkNewAccount(fields);
        break;
    case WizardPage::Password:
        problem = checkPassword(fields);
        break;
    case WizardPage::Comment:
        checkComment(fields);
        break;
    }
    if (problem) return problem;
    if (const std::optional<WizardPage> to = wizardNextPage(page_, newMode_)) page_ = *to;
    return std::nullopt;
}

void AccountWizardFlow::back() {
    if (finished_) return;
    if (const std::optional<WizardPage> to = wizardBackPage(page_, newMode_)) page_ = *to;
}

WizardProblem AccountWizardFlow::problem(Msg message, WizardField focus) const {
    return {messages_.text(message), focus};
}

std::optional<WizardProblem> AccountWizardFlow::checkImport(WizardFields& fields) {
    const std::string file = trimmed(fields.text(WizardField::ImportFile));
    if (file.empty()) return problem(Msg::warnimport, WizardField::ImportFile);
    const std::string name = trimmed(fields.text(WizardField::ImportAccount));
    if (name.empty()) return problem(Msg::warnaccount, WizardField::ImportAccount);
    SecretString password = fields.secret(WizardField::ImportPassword);
    if (password.empty()) return problem(Msg::warnpassword, WizardField::ImportPassword);
    std::string description;
    if (!checkAccountCredentials(file, name, password.view(), description))
        return WizardProblem{formatText(messages_.text(Msg::warnaccesspassword), {file}),
                             WizardField::None};
    results_.name = name;
    results_.file = file;
    results_.password = std::move(password);
    results_.passwordDescription = std::move(description);
    // An imported account's own description comes from its file, not from this run.
    results_.accountDescription.clear();
    return std::nullopt;
}

std::optional<WizardProblem> AccountWizardFlow::checkNewAccount(WizardFields& fields) {
    const std::string name = trimmed(fields.text(WizardField::AccountName));
    if (name.empty()) return problem(Msg::warnaccount, WizardField::None);
    results_.name = name;
    results_.file = trimmed(fields.text(WizardField::AccountFile));
    results_.accountDescription = trimmed(fields.text(WizardField::AccountComment));
    return std::nullopt;
}

std::optional<WizardProblem> AccountWizardFlow::checkPassword(WizardFields& fields) {
    SecretString password = fields.secret(WizardField::Password);
    SecretString confirm = fields.secret(WizardField::Confirm);
    // Both empty is a mismatch too: an account needs a password.
    if (password.empty() || password != confirm)
        return problem(Msg::warnpasswordmismatch, WizardField::None);
    results_.password = std::move(password);
    return std::nullopt;
}

void AccountWizardFlow::checkComment(WizardFields& fields) {
    results_.passwordDescription = trimmed(fields.text(WizardField::Comment));
}

std::optional<WizardProblem> AccountWizardFlow::forgot(WizardFields& fields) const {
    const std::string file = trimmed(fields.text(WizardField::ImportFile));
    if (file.empty()) return problem(Msg::warnimport, WizardField::ImportFile);
    std::optional<std::string> text =
        forgotPasswordText(file, fields.text(WizardField::ImportAccount), messages_);
    if (!text) return std::nullopt;
    return WizardProblem{std::move(*text), WizardField::None};
}

WizardAccount AccountWizardFlow::takeResults() {
    WizardAccount taken = results_;
    taken.imported = !newMode_;
    results_.password.wipe();
    return taken;
}

} // namespace kh
