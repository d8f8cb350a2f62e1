// The account wizard's page flow and checks, and the checks of the change-password and
// account-information dialogs, without windows.
#include "account_dialogs.h"
#include "account_wizard.h"

#include "../../support/test_files.h"
#include "account_file.h"
#include "text_trim.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace kh {
namespace {

using test::TempDir;
using F = AccountWizardField;
using P = AccountWizardPage;

// The wizard's fields as a user left them.
class Fields : public AccountWizardFields {
  public:
    bool chooseNew = true;
    bool chooseStrong = true;
    std::map<AccountWizardField, std::string> values;

    bool newChosen() override { return chooseNew; }
    bool strongChosen() override { return chooseStrong; }
    std::string text(AccountWizardField field) override { return values[field]; }
    SecretString secret(AccountWizardField field) override { return SecretString(values[field]); }
};

void writeAlice(const std::string& path) {
    Account account;
    account.name = "alice";
    account.password = "s3cret!";
    account.accountDescription = "Home vault";
    account.passwordDescription = "the usual one";
    ASSERT_EQ(writeAccountFile(path, account, {}), SaveOutcome::Saved);
}

TEST(AccountWizardPages, NextAndBackFollowTheTablesInBothModes) {
    struct Case {
        P page;
        bool newMode;
        std::optional<P> next;
        std::optional<P> back;
    };
    const Case cases[] = {
        {P::Welcome, true, P::NewAccount, std::nullopt},
        {P::Welcome, false, P::Import, std::nullopt},
        {P::Finished, true, std::nullopt, P::Comment},
        {P::Finished, false, std::nullopt, P::Import},
        {P::Import, false, P::Finished, P::Welcome},
        {P::NewAccount, true, P::Password, P::Welcome},
        {P::Password, true, P::Comment, P::NewAccount},
        // After the last new-account page comes the Finished page.
        {P::Comment, true, P::Finished, P::Password},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.page) * 10 + c.newMode);
        EXPECT_EQ(accountWizardNextPage(c.page, c.newMode), c.next);
        EXPECT_EQ(accountWizardBackPage(c.page, c.newMode), c.back);
    }
}

class AccountWizardFlowTest : public ::testing::Test {
  protected:
    // Next from the welcome page with the given choice.
    void begin(bool presetImport, bool chooseNew) {
        flow_.start(presetImport);
        fields_.chooseNew = chooseNew;
        ASSERT_EQ(flow_.next(fields_), std::nullopt);
    }

    std::string file() const { return dir_.file("vault.khk"); }

    TempDir dir_;
    MessageTable messages_;
    AccountWizardFlow flow_{messages_};
    Fields fields_;
};

TEST_F(AccountWizardFlowTest, NewAccountRunCutsBlanksAndKeepsThePasswordAsTyped) {
    begin(false, true);
    EXPECT_EQ(flow_.page(), P::NewAccount);
    EXPECT_TRUE(flow_.backActive());
    EXPECT_EQ(flow_.firstField(), F::AccountName);
    fields_.values = {{F::AccountName, " \t bob  "},
                      {F::AccountFile, "  "},
                      {F::AccountComment, "\r\n my vault \r\n"},
                      {F::Password, "  "},
                      {F::Confirm, "  "},
                      {F::Comment, " cat's name "}};
    for (P expected : {P::Password, P::Comment, P::Finished}) {
        EXPECT_EQ(flow_.nextCaption(), "&Next");
        ASSERT_EQ(flow_.next(fields_), std::nullopt);
        EXPECT_EQ(flow_.page(), expected);
    }
    EXPECT_EQ(flow_.nextCaption(), "&Finish");
    EXPECT_FALSE(flow_.finished());
    ASSERT_EQ(flow_.next(fields_), std::nullopt);
    EXPECT_TRUE(flow_.finished());

    const WizardAccount result = flow_.takeResults();
    EXPECT_FALSE(result.imported);
    EXPECT_EQ(result.name, "bob");
    EXPECT_EQ(result.file, ""); // no file yet: the first save asks for one
    EXPECT_EQ(result.accountDescription, "my vault");
    EXPECT_EQ(result.password, "  ");
    EXPECT_EQ(result.passwordDescription, "cat's name");
    // The wizard keeps no copy of the password once it handed it over.
    EXPECT_TRUE(flow_.results().password.empty());

    // The next run starts empty, whatever the last one collected.
    flow_.start(true);
    EXPECT_EQ(flow_.page(), P::Welcome);
    EXPECT_FALSE(flow_.backActive());
    EXPECT_EQ(flow_.results().name, "");
    EXPECT_EQ(flow_.results().accountDescription, "");
    EXPECT_EQ(flow_.results().passwordDescription, "");
}

TEST_F(AccountWizardFlowTest, TheProtectionIsTheCheckBoxsAsLeftOnThePasswordPage) {
    for (const bool strong : {true, false}) {
        SCOPED_TRACE(strong);
        begin(false, true);
        fields_.values = {{F::AccountName, "bob"}, {F::Password, "pw"}, {F::Confirm, "pw"}};
        // Only the state when Next leaves the password page counts.
        fields_.chooseStrong = !strong;
        ASSERT_EQ(flow_.next(fields_), std::nullopt);
        fields_.chooseStrong = strong;
        ASSERT_EQ(flow_.next(fields_), std::nullopt);
        fields_.chooseStrong = !strong;
        ASSERT_EQ(flow_.next(fields_), std::nullopt);
        ASSERT_EQ(flow_.next(fields_), std::nullopt);
        ASSERT_TRUE(flow_.finished());
        EXPECT_EQ(flow_.takeResults().protection,
                  strong ? AccountProtection::strongWith() : AccountProtection::compatible());
    }
}

TEST_F(AccountWizardFlowTest, TheWelcomeChoiceOverridesThePresetMode) {
    begin(true, true);
    EXPECT_EQ(flow_.page(), P::NewAccount);
    EXPECT_TRUE(flow_.newMode());
    begin(false, false);
    EXPECT_EQ(flow_.page(), P::Import);
    EXPECT_FALSE(flow_.newMode());
    EXPECT_EQ(flow_.firstField(), F::ImportFile);
}

TEST_F(AccountWizardFlowTest, NewAccountPageNeedsANameOnly) {
    struct Case {
        const char* name;
        const char* file;
        bool passes;
    };
    const Case cases[] = {
        {"", "x.khk", false},
        {" \t\r\n", "x.khk", false},
        {"bob", "", true},
        {"bob", " D:\\MYPASS.KHK ", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        begin(false, true);
        fields_.values = {{F::AccountName, c.name}, {F::AccountFile, c.file}};
        const std::optional<AccountWizardProblem> problem = flow_.next(fields_);
        if (c.passes) {
            EXPECT_EQ(problem, std::nullopt);
            EXPECT_EQ(flow_.page(), P::Password);
            EXPECT_EQ(flow_.results().file, std::string(trimBlanks(c.file)));
        } else {
            ASSERT_NE(problem, std::nullopt);
            EXPECT_EQ(problem->message, "Please input account name!");
            EXPECT_EQ(problem->focus, F::None);
            EXPECT_EQ(flow_.page(), P::NewAccount);
        }
    }
}

TEST_F(AccountWizardFlowTest, PasswordPageWantsTwoEqualNonEmptyPasswords) {
    struct Case {
        const char* password;
        const char* confirm;
        bool passes;
    };
    const Case cases[] = {
        {"", "", false}, // "Password mismatch!", not "Please input password!"
        {"pw", "", false}, {"pw", "PW", false}, {"pw", "pw ", false},
        {" ", " ", true},  {"pw", "pw", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("[") + c.password + "|" + c.confirm + "]");
        begin(false, true);
        fields_.values = {
            {F::AccountName, "bob"}, {F::Password, c.password}, {F::Confirm, c.confirm}};
        ASSERT_EQ(flow_.next(fields_), std::nullopt);
        const std::optional<AccountWizardProblem> problem = flow_.next(fields_);
        EXPECT_EQ(problem.has_value(), !c.passes);
        if (problem) {
            EXPECT_EQ(problem->message, "Password mismatch!");
            EXPECT_EQ(problem->focus, F::None);
            EXPECT_EQ(flow_.page(), P::Password);
            EXPECT_TRUE(flow_.results().password.empty());
        } else {
            EXPECT_EQ(flow_.page(), P::Comment);
            EXPECT_EQ(flow_.results().password, c.password);
        }
    }
}

TEST_F(AccountWizardFlowTest, ImportChecksInTheirOrderAndThenTheFile) {
    writeAlice(file());
    const std::string missing = dir_.file("missing.khk");
    const std::string noAccess = "Can't access file: %s!\nPlease make sure the file exists "
                                 "and the password is correct!";
    auto access = [&](const std::string& path) {
        std::string text = noAccess;
        return text.replace(text.find("%s"), 2, path);
    };
    struct Case {
        std::string file;
        const char* name;
        const char* password;
        std::string message;
        AccountWizardField focus;
    };
    const Case cases[] = {
        {"", "", "", "Please input file or select file from hard disk!", F::ImportFile},
        {" \t ", "alice", "s3cret!", "Please input file or select file from hard disk!",
         F::ImportFile},
        {file(), "  ", "s3cret!", "Please input account name!", F::ImportAccount},
        {file(), "alice", "", "Please input password!", F::ImportPassword},
        {file(), "alice", "s3cret! ", access(file()), F::None},
        {file(), "bob", "s3cret!", access(file()), F::None},
        {missing, "alice", "s3cret!", access(missing), F::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        begin(false, false);
        fields_.values = {
            {F::ImportFile, c.file}, {F::ImportAccount, c.name}, {F::ImportPassword, c.password}};
        const std::optional<AccountWizardProblem> problem = flow_.next(fields_);
        ASSERT_NE(problem, std::nullopt);
        EXPECT_EQ(problem->message, c.message);
        EXPECT_EQ(problem->focus, c.focus);
        EXPECT_EQ(flow_.page(), P::Import);
    }

    begin(false, false);
    fields_.values = {{F::ImportFile, "  " + file() + " "},
                      {F::ImportAccount, " alice\t"},
                      {F::ImportPassword, "s3cret!"}};
    ASSERT_EQ(flow_.next(fields_), std::nullopt);
    EXPECT_EQ(flow_.page(), P::Finished);
    flow_.back();
    EXPECT_EQ(flow_.page(), P::Import);
    ASSERT_EQ(flow_.next(fields_), std::nullopt);
    ASSERT_EQ(flow_.next(fields_), std::nullopt);
    ASSERT_TRUE(flow_.finished());
    const WizardAccount result = flow_.takeResults();
    EXPECT_TRUE(result.imported);
    EXPECT_EQ(result.file, file());
    EXPECT_EQ(result.name, "alice");
    EXPECT_EQ(result.password, "s3cret!");
    EXPECT_EQ(result.passwordDescription, "the usual one");
    EXPECT_EQ(result.accountDescription, "");
}

TEST_F(AccountWizardFlowTest, ForgotYourPasswordReadsTheFileOfTheImportPage) {
    writeAlice(file());
    struct Case {
        std::string file;
        const char* name;
        std::optional<std::string> message;
        AccountWizardField focus;
    };
    const Case cases[] = {
        {" ", "alice", "Please input file or select file from hard disk!", F::ImportFile},
        {file(), " alice ",
         "Here is the Description of Account Password:\n\nAccount Name: alice\nDescription: "
         "the usual one",
         F::None},
        {" " + file(), "", "Here is the Description of Account:\n\nDescription: Home vault",
         F::None},
        // A name that does not match says so.
        {file(), "bob",
         "This account file holds no account named bob.\nCheck the account name: its password "
         "description is shown with it.",
         F::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fields_.values = {{F::ImportFile, c.file}, {F::ImportAccount, c.name}};
        const std::optional<AccountWizardProblem> shown = flow_.forgot(fields_);
        ASSERT_EQ(shown.has_value(), c.message.has_value());
        if (!shown) continue;
        EXPECT_EQ(shown->message, *c.message);
        EXPECT_EQ(shown->focus, c.focus);
    }
}

TEST(AccountDialogChecks, ChangePasswordChecksInOrder) {
    const MessageTable messages;
    struct Case {
        const char* old;
        const char* fresh;
        const char* confirm;
        bool ok;
        const char* message;
        PasswordBox focus;
    };
    const Case cases[] = {
        {"", "new", "new", false, "Password mismatch!", PasswordBox::Old},
        {"s3cret", "", "", false, "Password mismatch!", PasswordBox::Old},
        {"s3cret! ", "new", "new", false, "Password mismatch!", PasswordBox::Old},
        {"s3cret!", "", "x", false, "", PasswordBox::New},
        {"s3cret!", "new", "New", false, "", PasswordBox::Confirm},
        {"s3cret!", "new", "", false, "", PasswordBox::Confirm},
        {"s3cret!", "   ", "   ", true, "", PasswordBox::None},
        {"s3cret!", "new", "new", true, "", PasswordBox::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.old) + "|" + c.fresh + "|" + c.confirm);
        const PasswordChangeCheck check =
            checkPasswordChange("s3cret!", c.old, c.fresh, c.confirm, messages);
        EXPECT_EQ(check.ok, c.ok);
        EXPECT_EQ(check.message, c.message);
        EXPECT_EQ(check.focus, c.focus);
    }
}

TEST(AccountDialogChecks, AccountInformationTrimsAndKnowsWhenNothingChanged) {
    const AccountInformation current{"alice", "the usual one", "Home vault"};
    using O = AccountInformationOutcome;
    struct Case {
        const char* name;
        const char* passwordMemo;
        const char* accountMemo;
        O outcome;
        AccountInformation values;
    };
    const Case cases[] = {
        {"", "the usual one", "Home vault", O::EmptyName, {}},
        {" \t\r\n", "x", "y", O::EmptyName, {}},
        {"alice", "the usual one", "Home vault", O::Unchanged, {}},
        {"  alice\t", "the usual one", "Home vault", O::Unchanged, {}},
        {"bob", "the usual one", "Home vault", O::Changed, {"bob", "the usual one", "Home vault"}},
        {" alice ",
         "\r\nnew hint \r\n",
         "Home vault",
         O::Changed,
         {"alice", "new hint", "Home vault"}},
        {"alice", "the usual one", "", O::Changed, {"alice", "the usual one", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AccountInformationCheck check =
            checkAccountInformation(current, c.name, c.passwordMemo, c.accountMemo);
        EXPECT_EQ(check.outcome, c.outcome);
        EXPECT_EQ(check.values.name, c.values.name);
        EXPECT_EQ(check.values.passwordDescription, c.values.passwordDescription);
        EXPECT_EQ(check.values.accountDescription, c.values.accountDescription);
    }
}

} // namespace
} // namespace kh
