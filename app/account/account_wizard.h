// The account wizard without its window: which page follows which, the checks behind
// Next, and the results a run hands to the session. The window reads its fields through
// AccountWizardFields and shows what the checks answer.
#pragma once

#include "message_table.h"
#include "secure_memory.h"
#include "session.h"

#include <optional>
#include <string>

namespace kh {

// The notebook's pages, by index.
enum class AccountWizardPage {
    Welcome = 0,
    Finished = 1,
    Import = 2,
    NewAccount = 3,
    Password = 4,
    Comment = 5
};

// The fields of the pages.
enum class AccountWizardField {
    None,
    ImportFile,
    ImportAccount,
    ImportPassword, // masked
    AccountName,
    AccountFile,
    AccountComment,
    Password, // masked
    Confirm,  // masked
    Comment,
};

// What the window's fields hold right now.
class AccountWizardFields {
  public:
    virtual ~AccountWizardFields() = default;
    // The welcome page's choice: "Create New Account" is checked.
    virtual bool newChosen() = 0;
    // The password page's "Strong protection (recommended)" is checked.
    virtual bool strongChosen() = 0;
    virtual std::string text(AccountWizardField field) = 0;
    // The masked fields; their text never passes through a plain string.
    virtual SecretString secret(AccountWizardField field) = 0;
};

// A check that failed: the message to show (empty: none) and the field to focus (None:
// the focus stays where it is).
struct AccountWizardProblem {
    std::string message;
    AccountWizardField focus = AccountWizardField::None;
};

class AccountWizardFlow {
  public:
    explicit AccountWizardFlow(const MessageTable& messages) : messages_(messages) {}
    // Where the import page's check of the file runs (a strong file derives its key);
    // none: on the caller's thread.
    void setBackgroundWork(BackgroundWork* work) { background_ = work; }

    // A new run: the preset mode, empty results, the welcome page.
    void start(bool import);

    AccountWizardPage page() const { return page_; }
    bool newMode() const { return newMode_; }
    bool finished() const { return finished_; }
    // Back is active on every page but the welcome page.
    bool backActive() const { return page_ != AccountWizardPage::Welcome; }
    // The caption of the Next button on the current page.
    const std::string& nextCaption() const;
    // The field that takes the focus when the current page is shown.
    AccountWizardField firstField() const;

    // Next: the current page's check, then the following page or the end of the run.
    // None when it went on; otherwise what stopped it (the page stays).
    std::optional<AccountWizardProblem> next(AccountWizardFields& fields);
    void back();

    // "Forgot your password?" on the import page: the text to show, or none.
    std::optional<AccountWizardProblem> forgot(AccountWizardFields& fields) const;

    // The results so far (all empty after start).
    const WizardAccount& results() const { return results_; }
    // Hands the results over and wipes the wizard's copy of the password.
    WizardAccount takeResults();

  private:
    std::optional<AccountWizardProblem> checkImport(AccountWizardFields& fields);
    std::optional<AccountWizardProblem> checkNewAccount(AccountWizardFields& fields);
    std::optional<AccountWizardProblem> checkPassword(AccountWizardFields& fields);
    void checkComment(AccountWizardFields& fields);
    AccountWizardProblem problem(Msg message, AccountWizardField focus) const;

    const MessageTable& messages_;
    BackgroundWork* background_ = nullptr;
    AccountWizardPage page_ = AccountWizardPage::Welcome;
    bool newMode_ = true;
    bool finished_ = false;
    WizardAccount results_;
};

// The page Next leads to from `page` when its check passes (none on the Finished page,
// where Next ends the run), and the page Back leads to (none on the welcome page).
std::optional<AccountWizardPage> accountWizardNextPage(AccountWizardPage page, bool newMode);
std::optional<AccountWizardPage> accountWizardBackPage(AccountWizardPage page, bool newMode);

} // namespace kh
