// The change-password and account-information dialogs as the tool bar and the Manage
// Account menu run them: their boxes, checks and keys, what reaches the session, what a
// save then writes, and what happens when the account goes while a dialog is open.
#include "account_window_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

class AccountDialogsTest : public AccountWindowTest {
  protected:
    void SetUp() override {
        AccountWindowTest::SetUp();
        login();
    }

    void setPasswords(const char* old, const char* fresh, const char* confirm) {
        box(passwordDialog(), "edOldPassword").setText(old);
        box(passwordDialog(), "edNewPassword").setText(fresh);
        box(passwordDialog(), "edConfirm").setText(confirm);
    }

    ReadOutcome opens(const char* name, const char* password) const {
        LoadedAccount loaded;
        return readAccountFile(accountFile_, name, password, loaded);
    }
};

TEST_F(AccountDialogsTest, ChangePasswordNeedsTheOldOneTypedAndTheNewOneTwiceAndTheSaveUsesIt) {
    ModalSteps script(
        passwordDialog(),
        {
            [&] {
                HWND hwnd = passwordDialog().handle();
                EXPECT_EQ(hwnd, FindWindowA("TfrmChangePassword", nullptr));
                EXPECT_EQ("Change Password: alice", windowText(hwnd));
                for (const char* name : {"edOldPassword", "edNewPassword", "edConfirm"}) {
                    EXPECT_EQ(
                        75, SendMessageA(handleOf(passwordDialog(), name), EM_GETLIMITTEXT, 0, 0));
                    EXPECT_EQ('*', SendMessageA(handleOf(passwordDialog(), name),
                                                EM_GETPASSWORDCHAR, 0, 0));
                }
                // The old password is typed: its box starts empty and has the focus.
                EXPECT_EQ("", secretOf(passwordDialog(), "edOldPassword"));
                EXPECT_EQ(handleOf(passwordDialog(), "edOldPassword"), GetFocus());
                box(passwordDialog(), "edOldPassword").setText(kAccountPassword);
                box(passwordDialog(), "edNewPassword").setText("  new pw ");
                box(passwordDialog(), "edConfirm").setText("  new pw ");
                keyDown(GetFocus(), VK_RETURN);
            },
        });
    main_->runCommand(CommandId::ToolPassword);
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(main_->warnings.empty());
    EXPECT_EQ("  new pw ", main_->session().password().view());
    EXPECT_TRUE(main_->session().modified());
    for (const char* name : {"edOldPassword", "edNewPassword", "edConfirm"})
        EXPECT_EQ("", secretOf(passwordDialog(), name)) << name;

    // The file keeps the old password until the save.
    EXPECT_EQ(ReadOutcome::Loaded, opens(kAccountName, kAccountPassword));
    main_->runCommand(CommandId::SaveAccountData);
    EXPECT_EQ(ReadOutcome::WrongCredentials, opens(kAccountName, kAccountPassword));
    EXPECT_EQ(ReadOutcome::Loaded, opens(kAccountName, "  new pw "));
}

TEST_F(AccountDialogsTest, ChangePasswordChecksInTheirOrder) {
    struct Case {
        const char* what;
        const char* old;
        const char* fresh;
        const char* confirm;
        Texts warnings;
        const char* focus;
    };
    const Case cases[] = {
        {"old box cleared", "", "new", "new", {"Password mismatch!"}, "edOldPassword"},
        {"wrong old password", "wrong", "", "", {"Password mismatch!"}, "edOldPassword"},
        {"no new password", kAccountPassword, "", "new", {}, "edNewPassword"},
        {"confirmation differs", kAccountPassword, "new", "neW", {}, "edConfirm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        main_->warnings.clear();
        ModalSteps script(passwordDialog(),
                          {
                              [&] {
                                  setPasswords(c.old, c.fresh, c.confirm);
                                  test::click(handleOf(passwordDialog(), "sbChange"));
                                  EXPECT_TRUE(passwordDialog().isVisible());
                                  EXPECT_EQ(c.warnings, main_->warnings);
                                  EXPECT_EQ(handleOf(passwordDialog(), c.focus), GetFocus());
                                  keyDown(GetFocus(), VK_ESCAPE);
                              },
                          });
        main_->runCommand(CommandId::ChangeAccountPassword);
        EXPECT_TRUE(script.finished());
        EXPECT_EQ(kAccountPassword, main_->session().password().view());
        EXPECT_FALSE(main_->session().modified());
    }
}

TEST_F(AccountDialogsTest, AccountInformationChangesTheNameThatTheFileThenOpensWith) {
    ModalSteps script(
        accountDialog(),
        {
            [&] {
                HWND hwnd = accountDialog().handle();
                EXPECT_EQ(hwnd, FindWindowA("TfrmEditEntry", nullptr));
                EXPECT_EQ("Edit Account", windowText(hwnd));
                EXPECT_EQ(150, SendMessageA(handleOf(accountDialog(), "edAccountName"),
                                            EM_GETLIMITTEXT, 0, 0));
                EXPECT_EQ(190, SendMessageA(handleOf(accountDialog(), "mmPasswordComment"),
                                            EM_GETLIMITTEXT, 0, 0));
                EXPECT_EQ(190, SendMessageA(handleOf(accountDialog(), "mmAccountComment"),
                                            EM_GETLIMITTEXT, 0, 0));
                EXPECT_EQ(kAccountName, box(accountDialog(), "edAccountName").text());
                EXPECT_EQ(kPasswordDescription, box(accountDialog(), "mmPasswordComment").text());
                EXPECT_EQ(kAccountDescription, box(accountDialog(), "mmAccountComment").text());
                EXPECT_EQ(handleOf(accountDialog(), "edAccountName"), GetFocus());
                box(accountDialog(), "edAccountName").setText("  bob\t");
                box(accountDialog(), "mmPasswordComment").setText(" cat's name\r\n");
                box(accountDialog(), "mmAccountComment").setText("Bob's vault");
                // Enter in a memo is a new line; Ctrl+Enter changes.
                HWND memo = handleOf(accountDialog(), "mmAccountComment");
                keyDown(memo, VK_RETURN);
                EXPECT_TRUE(accountDialog().isVisible());
                ctrlKey(memo, VK_RETURN);
            },
        });
    main_->runCommand(CommandId::ToolEditAccount);
    EXPECT_TRUE(script.finished());
    Session& session = main_->session();
    EXPECT_EQ("bob", session.accountName());
    EXPECT_EQ("cat's name", session.passwordDescription());
    EXPECT_EQ("Bob's vault", session.accountDescription());
    EXPECT_TRUE(session.modified());
    EXPECT_EQ("bob", main_->bannerText());
    EXPECT_EQ("", box(accountDialog(), "edAccountName").text());

    main_->runCommand(CommandId::SaveAccountData);
    EXPECT_EQ(ReadOutcome::WrongCredentials, opens(kAccountName, kAccountPassword));
    LoadedAccount loaded;
    ASSERT_EQ(ReadOutcome::Loaded, readAccountFile(accountFile_, "bob", kAccountPassword, loaded));
    EXPECT_EQ("cat's name", loaded.account.passwordDescription);
    EXPECT_EQ("Bob's vault", loaded.account.accountDescription);
    EXPECT_EQ(5u, loaded.entries.size());
    // The login dialog now offers the new name.
    EXPECT_EQ("bob", session.lastAccountName());
}

TEST_F(AccountDialogsTest, AccountInformationRefusesABlankNameAndIgnoresNoChange) {
    enum class Ending { Unchanged, AltC, Cancel, Escape };
    struct Case {
        const char* what;
        const char* name;
        Ending ending;
        Texts warnings;
    };
    const Case cases[] = {
        {"nothing changed", "alice", Ending::Unchanged, {}},
        {"trimmed to the same name", " alice ", Ending::AltC, {}},
        {"blank name, then Cancel", " \t ", Ending::Cancel, {"Please input account name!"}},
        {"blank name, then Esc", "", Ending::Escape, {"Please input account name!"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        main_->warnings.clear();
        ModalSteps script(accountDialog(),
                          {
                              [&] {
                                  box(accountDialog(), "edAccountName").setText(c.name);
                                  HWND memo = handleOf(accountDialog(), "mmPasswordComment");
                                  if (c.ending == Ending::AltC) {
                                      altKey(memo, 'C');
                                  } else {
                                      ctrlKey(memo, VK_RETURN);
                                  }
                                  if (c.warnings.empty()) return;
                                  EXPECT_TRUE(accountDialog().isVisible());
                                  EXPECT_EQ(handleOf(accountDialog(), "edAccountName"), GetFocus());
                                  if (c.ending == Ending::Cancel) {
                                      test::click(handleOf(accountDialog(), "sbCancel"));
                                  } else {
                                      keyDown(GetFocus(), VK_ESCAPE);
                                  }
                              },
                          });
        main_->runCommand(CommandId::EditAccountInformation);
        EXPECT_TRUE(script.finished());
        EXPECT_FALSE(accountDialog().isVisible());
        EXPECT_EQ(c.warnings, main_->warnings);
        EXPECT_EQ(kAccountName, main_->session().accountName());
        EXPECT_FALSE(main_->session().modified());
    }
}

TEST_F(AccountDialogsTest, AnOpenDialogComesToTheFrontAndNothingRunsLoggedOut) {
    const std::pair<CommandId, TDialog*> commands[] = {
        {CommandId::ChangeAccountPassword, &passwordDialog()},
        {CommandId::EditAccountInformation, &accountDialog()},
    };
    for (const auto& [command, dialogOf] : commands) {
        TDialog& dialog = *dialogOf;
        int runs = 0;
        ModalSteps script(dialog,
                          {
                              [&] {
                                  ++runs;
                                  // The twin on the tool bar reaches the same dialog, which stays
                                  // one.
                                  main_->runCommand(command);
                                  main_->runCommand(command == CommandId::ChangeAccountPassword
                                                        ? CommandId::ToolPassword
                                                        : CommandId::ToolEditAccount);
                                  EXPECT_TRUE(dialog.isVisible());
                                  EXPECT_EQ(dialog.handle(), GetForegroundWindow());
                                  keyDown(GetFocus(), VK_ESCAPE);
                              },
                          });
        main_->runCommand(command);
        EXPECT_TRUE(script.finished());
        EXPECT_EQ(1, runs);
    }

    main_->session().endSession();
    for (CommandId command : {CommandId::ChangeAccountPassword, CommandId::EditAccountInformation,
                              CommandId::ToolPassword, CommandId::ToolEditAccount}) {
        main_->runCommand(command); // a modal dialog here would hang the test
        EXPECT_FALSE(passwordDialog().isVisible());
        EXPECT_FALSE(accountDialog().isVisible());
    }
}

TEST_F(AccountDialogsTest, TheAutomaticLogoutClosesAnOpenDialogAndDropsItsResult) {
    main_->session().settings().mainGuard = 1;
    for (CommandId command :
         {CommandId::ChangeAccountPassword, CommandId::EditAccountInformation}) {
        if (!main_->session().isLoggedIn()) login();
        TDialog& dialog = command == CommandId::ChangeAccountPassword
                              ? static_cast<TDialog&>(passwordDialog())
                              : static_cast<TDialog&>(accountDialog());
        ModalSteps script(dialog,
                          {
                              [&] {
                                  if (command == CommandId::ChangeAccountPassword) {
                                      box(passwordDialog(), "edNewPassword").setText("late");
                                      box(passwordDialog(), "edConfirm").setText("late");
                                  } else {
                                      box(accountDialog(), "edAccountName").setText("late");
                                  }
                                  // A minute without action.
                                  timerTicks(TfrmMain::kGuardTimer, 30);
                                  EXPECT_FALSE(main_->session().isLoggedIn());
                              },
                          });
        main_->runCommand(command);
        EXPECT_TRUE(script.finished());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ("", secretOf(passwordDialog(), "edOldPassword"));
        EXPECT_EQ(ReadOutcome::Loaded, opens(kAccountName, kAccountPassword));
    }
}

} // namespace
} // namespace kh::test
