// The account wizard as the session runs it: its window, every page in both modes, the
// keys, each failing check with its message, the browse buttons, "Forgot your password?",
// paste and view with the reveal line, and what the session makes of the results.
#include "account_window_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;
using Page = AccountWizardPage;

class WizardWindowTest : public AccountWindowTest {
  protected:
    Page page() { return static_cast<Page>(wizard().get<TContainer>("nbWizard").pageIndex()); }
    HWND field(const char* name) { return handleOf(wizard(), name); }
    void set(const char* name, const std::string& text) { box(wizard(), name).setText(text); }
    QSkinButton& button(const char* name) { return wizard().get<QSkinButton>(name); }
    // Enter where the focus is, as the user presses it.
    void enter() { keyDown(GetFocus(), VK_RETURN); }

    std::optional<WizardAccount> run(bool import, std::vector<std::function<void()>> steps) {
        ModalSteps script(wizard(), std::move(steps));
        std::optional<WizardAccount> result = main_->accountFeature().runAccountWizard(import);
        EXPECT_TRUE(script.finished());
        return result;
    }

    // The new-account pages filled in and passed with the keys, up to the Finished page.
    std::vector<std::function<void()>> newAccountSteps(const std::string& name,
                                                       const std::string& password) {
        return {
            [this] { enter(); },
            [this, name] {
                set("edAccountName", name);
                enter();
            },
            [this, password] {
                set("edPassword", password);
                set("edComfirm", password);
                enter();
            },
            // The focus is in the description memo, where Ctrl+Enter goes on.
            [this] { ctrlKey(GetFocus(), VK_RETURN); },
        };
    }
};

TEST_F(WizardWindowTest, WindowHasItsDesignPagesAndLimits) {
    ASSERT_TRUE(wizard().create(main_->handle()));
    HWND hwnd = wizard().handle();
    EXPECT_EQ(hwnd, FindWindowA("TfrmWizard", nullptr));
    EXPECT_EQ("Keyhaven Account Wizard", windowText(hwnd));
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(wizard().scale(489), client.right);
    EXPECT_EQ(wizard().scale(265), client.bottom);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_EQ(0, style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_NE(0, style & WS_SYSMENU);
    EXPECT_EQ(6, wizard().get<TContainer>("nbWizard").pageCount());

    struct Limit {
        const char* name;
        LRESULT limit;
        bool masked;
    };
    const Limit limits[] = {
        {"edAccountName", 150, false},  {"edImportAccount", 150, false},
        {"edPassword", 75, true},       {"edComfirm", 75, true},
        {"edImportPassword", 75, true}, {"mmAccountComment", 190, false},
        {"mmComment", 190, false},
    };
    for (const Limit& l : limits) {
        SCOPED_TRACE(l.name);
        EXPECT_EQ(l.limit, SendMessageA(field(l.name), EM_GETLIMITTEXT, 0, 0));
        EXPECT_EQ(l.masked ? '*' : 0, SendMessageA(field(l.name), EM_GETPASSWORDCHAR, 0, 0));
    }
    EXPECT_EQ("Paste From Clipboard.", wizard().get<TControl>("sbPaste").hint());
    EXPECT_EQ("View Password", wizard().get<TControl>("sbView").hint());
}

TEST_F(WizardWindowTest, NewAccountByKeysOpensAnUnsavedAccountThatTheFirstSaveWrites) {
    ModalSteps script(wizard(), {
                                    [&] {
                                        EXPECT_EQ(Page::Welcome, page());
                                        EXPECT_TRUE(wizard().get<QRadioBox>("rbNew").checked());
                                        EXPECT_FALSE(button("sbBack").isActive());
                                        EXPECT_EQ("&Next", button("sbNext").caption());
                                        enter();
                                    },
                                    [&] {
                                        EXPECT_EQ(Page::NewAccount, page());
                                        EXPECT_EQ(field("edAccountName"), GetFocus());
                                        EXPECT_TRUE(button("sbBack").isActive());
                                        set("edAccountName", "  bob\t");
                                        set("mmAccountComment", " my vault ");
                                        // Enter in the description memo is a new line; Ctrl+Enter
                                        // goes on.
                                        keyDown(field("mmAccountComment"), VK_RETURN);
                                        EXPECT_EQ(Page::NewAccount, page());
                                        ctrlKey(field("mmAccountComment"), VK_RETURN);
                                    },
                                    [&] {
                                        EXPECT_EQ(Page::Password, page());
                                        EXPECT_EQ(field("edPassword"), GetFocus());
                                        set("edPassword", " pw ");
                                        set("edComfirm", " pw ");
                                        enter();
                                    },
                                    [&] {
                                        EXPECT_EQ(Page::Comment, page());
                                        EXPECT_EQ(field("mmComment"), GetFocus());
                                        set("mmComment", "usual ");
                                        keyDown(field("mmComment"), VK_RETURN);
                                        EXPECT_EQ(Page::Comment, page());
                                        altKey(field("mmComment"), 'N');
                                    },
                                    [&] {
                                        EXPECT_EQ(Page::Finished, page());
                                        EXPECT_EQ("&Finish", button("sbNext").caption());
                                        altKey(GetFocus(), 'F');
                                    },
                                });
    main_->runCommand(CommandId::SetupNewAccount);
    EXPECT_TRUE(script.finished());

    Session& session = main_->session();
    ASSERT_TRUE(session.isLoggedIn());
    EXPECT_EQ("bob", session.accountName());
    EXPECT_EQ(" pw ", session.password().view());
    EXPECT_EQ("my vault", session.accountDescription());
    EXPECT_EQ("usual", session.passwordDescription());
    EXPECT_EQ("", session.fileName());
    EXPECT_TRUE(session.modified());
    EXPECT_EQ("bob", main_->bannerText());
    // Nothing typed stays in the window.
    for (const char* name : {"edAccountName", "mmAccountComment", "edPassword", "edComfirm",
                             "mmComment", "stClipboard"})
        EXPECT_EQ("", secretOf(wizard(), name)) << name;

    // The first save asks for the file.
    const std::string file = dir_.file("bob");
    main_->saveAnswers.push_back(file);
    main_->runCommand(CommandId::SaveAccountData);
    EXPECT_EQ(Texts{""}, main_->dialogStarts);
    EXPECT_FALSE(session.modified());
    LoadedAccount loaded;
    ASSERT_EQ(ReadOutcome::Loaded, readAccountFile(file + ".khk", "bob", " pw ", loaded));
    EXPECT_EQ("my vault", loaded.account.accountDescription);
    EXPECT_EQ("usual", loaded.account.passwordDescription);
}

TEST_F(WizardWindowTest, EveryWayToTheWizardCreatesTheAccount) {
    enum class Way { FirstShow, MissingCommandLineFile, LoginDialog, ToolButton, MenuItem };
    struct Case {
        const char* what;
        Way way;
    };
    const Case cases[] = {
        {"first show without an account", Way::FirstShow},
        {"first show for a file that is not there", Way::MissingCommandLineFile},
        {"New Account in the login dialog", Way::LoginDialog},
        {"tbNewAccount", Way::ToolButton},
        {"Setup New Account", Way::MenuItem},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        closeWindow(); // a fresh window, with nobody logged in
        SetUp();
        std::vector<std::function<void()>> steps = newAccountSteps("carol", "pw");
        steps.push_back([this] { enter(); }); // Finish
        ModalSteps script(wizard(), std::move(steps));
        switch (c.way) {
        case Way::FirstShow:
            EXPECT_TRUE(main_->firstShow(""));
            break;
        case Way::MissingCommandLineFile:
            EXPECT_TRUE(main_->firstShow(dir_.file("missing.khk")));
            break;
        case Way::LoginDialog:
            main_->loginAnswers.push_back({LoginPrompt::Choice::NewAccount, "", "", ""});
            main_->runCommand(CommandId::ToolOpenAccount);
            break;
        case Way::ToolButton:
            main_->runCommand(CommandId::ToolNewAccount);
            break;
        case Way::MenuItem:
            main_->runCommand(CommandId::SetupNewAccount);
            break;
        }
        EXPECT_TRUE(script.finished());
        EXPECT_EQ(1, main_->wizardRuns);
        EXPECT_TRUE(main_->session().isLoggedIn());
        EXPECT_EQ("carol", main_->session().accountName());
    }
}

TEST_F(WizardWindowTest, ImportLogsInAsALoginDoesAndReportsTheLoad) {
    ModalSteps script(wizard(), {
                                    [&] {
                                        EXPECT_TRUE(wizard().get<QRadioBox>("rbImport").checked());
                                        EXPECT_FALSE(wizard().get<QRadioBox>("rbNew").checked());
                                        enter();
                                    },
                                    [&] {
                                        EXPECT_EQ(Page::Import, page());
                                        EXPECT_EQ(field("edImportFile"), GetFocus());
                                        set("edImportFile", " " + accountFile_ + " ");
                                        set("edImportAccount", kAccountName);
                                        set("edImportPassword", kAccountPassword);
                                        enter();
                                    },
                                    [&] {
                                        EXPECT_EQ(Page::Finished, page());
                                        // Back leads to the import page in import mode.
                                        altKey(GetFocus(), 'B');
                                        EXPECT_EQ(Page::Import, page());
                                        enter();
                                    },
                                    [&] { test::click(handleOf(wizard(), "sbNext")); },
                                });
    main_->runCommand(CommandId::ImportExistingAccount);
    EXPECT_TRUE(script.finished());
    Session& session = main_->session();
    ASSERT_TRUE(session.isLoggedIn());
    EXPECT_EQ(accountFile_, session.fileName());
    EXPECT_FALSE(session.modified());
    EXPECT_EQ(kAccountDescription, session.accountDescription());
    EXPECT_EQ("Account: alice [Total: 5 Entries]", main_->bannerText());
    EXPECT_EQ("", secretOf(wizard(), "edImportPassword"));
}

TEST_F(WizardWindowTest, BackWalksThePagesAndEveryCancelReturnsNothing) {
    enum class Exit { Escape, AltC, CancelButton, CloseBox };
    const Exit exits[] = {Exit::Escape, Exit::AltC, Exit::CancelButton, Exit::CloseBox};
    for (Exit exit : exits) {
        SCOPED_TRACE(static_cast<int>(exit));
        std::vector<std::function<void()>> steps = newAccountSteps("bob", "pw");
        steps.push_back([&] {
            EXPECT_EQ(Page::Finished, page());
            for (Page expected : {Page::Comment, Page::Password, Page::NewAccount, Page::Welcome}) {
                altKey(GetFocus(), 'B');
                EXPECT_EQ(expected, page());
            }
            // Inactive on the welcome page: nothing happens.
            altKey(GetFocus(), 'B');
            EXPECT_EQ(Page::Welcome, page());
            // The choice on the welcome page wins over the preset mode.
            test::click(handleOf(wizard(), "rbImport"));
            enter();
            EXPECT_EQ(Page::Import, page());
            test::click(handleOf(wizard(), "sbBack"));
            EXPECT_EQ(Page::Welcome, page());
            switch (exit) {
            case Exit::Escape:
                keyDown(GetFocus(), VK_ESCAPE);
                break;
            case Exit::AltC:
                altKey(GetFocus(), 'C');
                break;
            case Exit::CancelButton:
                test::click(handleOf(wizard(), "sbCancel"));
                break;
            case Exit::CloseBox:
                SendMessageA(wizard().handle(), WM_CLOSE, 0, 0);
                break;
            }
        });
        EXPECT_EQ(std::nullopt, run(false, std::move(steps)));
        EXPECT_FALSE(wizard().isVisible());
        EXPECT_EQ("", secretOf(wizard(), "edPassword"));
        EXPECT_EQ("", secretOf(wizard(), "edAccountName"));
    }
}

TEST_F(WizardWindowTest, FailingChecksWarnAndStayOnTheirPage) {
    const std::string damaged = dir_.file("damaged.khk");
    writeBytes(damaged, Bytes(2000, 0x5A));
    struct Case {
        const char* what;
        bool import;
        const char* file;
        const char* name;
        const char* password;
        const char* confirm;
        std::string warning;
        const char* focus; // "" : stays where it was
    };
    const std::string noAccess = "Can't access file: " + damaged +
                                 "!\nPlease make sure the file exists and the password is correct!";
    const std::string wrongPassword =
        "Can't access file: " + accountFile_ +
        "!\nPlease make sure the file exists and the password is correct!";
    const Case cases[] = {
        {"no file", true, " ", kAccountName, kAccountPassword, "",
         "Please input file or select file from hard disk!", "edImportFile"},
        {"no name", true, accountFile_.c_str(), " ", kAccountPassword, "",
         "Please input account name!", "edImportAccount"},
        {"no password", true, accountFile_.c_str(), kAccountName, "", "", "Please input password!",
         "edImportPassword"},
        {"wrong password", true, accountFile_.c_str(), kAccountName, "wrong", "", wrongPassword,
         ""},
        {"damaged file", true, damaged.c_str(), kAccountName, kAccountPassword, "", noAccess, ""},
        {"blank account name", false, "", " \t", "", "", "Please input account name!", ""},
        {"both passwords empty", false, "", "bob", "", "", "Password mismatch!", ""},
        {"passwords differ", false, "", "bob", "pw", "pW", "Password mismatch!", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        main_->warnings.clear();
        const Page failing = c.import ? Page::Import
                             : std::string(c.name).find_first_not_of(" \t") == std::string::npos
                                 ? Page::NewAccount
                                 : Page::Password;
        std::vector<std::function<void()>> steps = {[&] { enter(); }};
        if (failing == Page::Password) {
            steps.push_back([&] {
                set("edAccountName", c.name);
                enter();
            });
        }
        steps.push_back([&] {
            if (c.import) {
                set("edImportFile", c.file);
                set("edImportAccount", c.name);
                set("edImportPassword", c.password);
            } else {
                set("edAccountName", c.name);
                set("edPassword", c.password);
                set("edComfirm", c.confirm);
            }
            // The focus starts on the Next button, as after a mouse click.
            wizard().get<TControl>("sbNext").setFocus();
            enter();
            EXPECT_EQ(Texts{c.warning}, main_->warnings);
            EXPECT_EQ(failing, page());
            const HWND expected =
                *c.focus ? field(c.focus) : wizard().get<TControl>("sbNext").handle();
            EXPECT_EQ(expected, GetFocus());
            keyDown(GetFocus(), VK_ESCAPE);
        });
        EXPECT_EQ(std::nullopt, run(c.import, std::move(steps)));
    }
}

TEST_F(WizardWindowTest, BrowseButtonsUseTheirFiltersAndTheAccountExtension) {
    using Request = FileDialogRequest;
    const std::vector<Request>& requests = main_->dialogs.fileRequests;
    ModalSteps script(
        wizard(),
        {
            [&] {
                test::click(handleOf(wizard(), "rbImport"));
                enter();
            },
            [&] {
                main_->openAnswers.push_back("C:\\data\\old.khk");
                test::click(handleOf(wizard(), "sbBrowseImport"));
                ASSERT_EQ(1u, requests.size());
                EXPECT_EQ("XML File|*.xml|Keyhaven Files|*.khk|All Files|*.*", requests[0].filter);
                EXPECT_EQ(2, requests[0].filterIndex);
                EXPECT_EQ("C:\\data\\old.khk", box(wizard(), "edImportFile").text());
                // Cancelling the dialog keeps what the field holds.
                main_->openAnswers.push_back(std::nullopt);
                test::click(handleOf(wizard(), "sbBrowseImport"));
                EXPECT_EQ("C:\\data\\old.khk", box(wizard(), "edImportFile").text());
                altKey(GetFocus(), 'B');
                test::click(handleOf(wizard(), "rbNew"));
                enter();
            },
            [&] {
                main_->saveAnswers.push_back("C:\\data\\new.txt");
                test::click(handleOf(wizard(), "sbSave"));
                ASSERT_EQ(3u, requests.size());
                EXPECT_EQ("Keyhaven Files|*.khk|XML Files|*.xml|All Files|*.*", requests[2].filter);
                EXPECT_EQ(1, requests[2].filterIndex);
                EXPECT_TRUE(requests[2].askOverwrite);
                EXPECT_EQ("", requests[2].initialName);
                EXPECT_EQ("C:\\data\\new.txt.khk", box(wizard(), "edAccountFile").text());
                set("edAccountName", "bob");
                enter();
            },
            [&] {
                // Back on the page, the dialog starts at the file the page accepted.
                altKey(GetFocus(), 'B');
                main_->saveAnswers.push_back("C:\\data\\MINE.KHK");
                test::click(handleOf(wizard(), "sbSave"));
                ASSERT_EQ(4u, requests.size());
                EXPECT_EQ("C:\\data\\new.txt.khk", requests[3].initialName);
                EXPECT_EQ("C:\\data\\MINE.KHK", box(wizard(), "edAccountFile").text());
                keyDown(GetFocus(), VK_ESCAPE);
            },
        });
    EXPECT_EQ(std::nullopt, main_->accountFeature().runAccountWizard(false));
    EXPECT_TRUE(script.finished());
}

TEST_F(WizardWindowTest, ForgotYourPasswordShowsTheDescriptionFromTheFile) {
    ASSERT_TRUE(wizard().create(main_->handle()));
    HWND link = field("lbForgot");
    // A click on the link, which reports to its group box, which passes it on.
    auto clickLink = [&] { test::click(link); };
    ModalSteps script(
        wizard(),
        {
            [&] { enter(); },
            [&] {
                wizard().get<TControl>("sbNext").setFocus();
                clickLink();
                EXPECT_EQ(field("edImportFile"), GetFocus());
                set("edImportFile", accountFile_);
                set("edImportAccount", " alice ");
                clickLink();
                set("edImportAccount", "");
                clickLink();
                set("edImportAccount", "bob");
                clickLink();
                EXPECT_EQ((Texts{"Please input file or select file from hard disk!",
                                 "Here is the Description of Account Password:\n\nAccount Name: "
                                 "alice\nDescription: the usual one",
                                 "Here is the Description of Account:\n\nDescription: My vault",
                                 "This account file holds no account named bob.\nCheck the "
                                 "account name: its password description is shown with it."}),
                          main_->warnings);
                keyDown(GetFocus(), VK_ESCAPE);
            },
        });
    EXPECT_EQ(std::nullopt, main_->accountFeature().runAccountWizard(true));
    EXPECT_TRUE(script.finished());
}

TEST_F(WizardWindowTest, PasteAndViewShowThePasswordForTwoSeconds) {
    SystemClipboard clipboard;
    const std::string long80(80, 'x');
    main_->settings().guard = true;
    ModalSteps script(wizard(),
                      {
                          [&] { enter(); },
                          [&] {
                              set("edAccountName", "bob");
                              enter();
                          },
                          [&] {
                              // Ctrl+V in the password field pastes into both fields, at most 79
                              // characters.
                              ASSERT_TRUE(clipboard.setText(long80));
                              ctrlKey(field("edPassword"), 'V');
                              EXPECT_EQ(std::string(79, 'x'), secretOf(wizard(), "edPassword"));
                              EXPECT_EQ(std::string(79, 'x'), secretOf(wizard(), "edComfirm"));
                              EXPECT_EQ(std::string(79, 'x'), box(wizard(), "stClipboard").text());
                              EXPECT_TRUE(wizard().timer1Running());
                              EXPECT_TRUE(main_->guard().running());
                              // Timer1 ends the display.
                              SendMessageA(wizard().handle(), WM_TIMER, TfrmWizard::kTimer1, 0);
                              EXPECT_EQ("", box(wizard(), "stClipboard").text());
                              EXPECT_FALSE(wizard().timer1Running());

                              // Ctrl+P too; an empty clipboard empties both fields.
                              ASSERT_TRUE(clipboard.clear());
                              ctrlKey(field("edComfirm"), 'P');
                              EXPECT_EQ("", secretOf(wizard(), "edPassword"));
                              EXPECT_EQ("", secretOf(wizard(), "edComfirm"));
                              EXPECT_FALSE(wizard().timer1Running());

                              // View: nothing to show starts no timer.
                              test::click(handleOf(wizard(), "sbView"));
                              EXPECT_FALSE(wizard().timer1Running());
                              set("edPassword", "a&b");
                              test::click(handleOf(wizard(), "sbView"));
                              EXPECT_EQ("a&b", box(wizard(), "stClipboard").text());
                              EXPECT_TRUE(wizard().timer1Running());
                          },
                          [&] {
                              // A second click while the line is shown does not keep it longer.
                              pumpFor(1200);
                              test::click(handleOf(wizard(), "sbView"));
                              pumpFor(1200);
                              EXPECT_EQ("", box(wizard(), "stClipboard").text());
                              test::click(handleOf(wizard(), "sbView"));
                              keyDown(GetFocus(), VK_ESCAPE);
                          },
                      });
    EXPECT_EQ(std::nullopt, main_->accountFeature().runAccountWizard(false));
    EXPECT_TRUE(script.finished());
    // Closing ends the display.
    EXPECT_FALSE(wizard().timer1Running());
    EXPECT_EQ("", box(wizard(), "stClipboard").text());
    main_->guard().stopGuard();
}

TEST_F(WizardWindowTest, ASecondRunWhileOpenBringsItToTheFront) {
    ModalSteps script(wizard(), {
                                    [&] {
                                        enter();
                                        set("edAccountName", "bob");
                                        EXPECT_EQ(std::nullopt,
                                                  main_->accountFeature().runAccountWizard(true));
                                        // The open run goes on where it was.
                                        EXPECT_EQ(Page::NewAccount, page());
                                        EXPECT_EQ("bob", box(wizard(), "edAccountName").text());
                                        keyDown(GetFocus(), VK_ESCAPE);
                                    },
                                });
    EXPECT_EQ(std::nullopt, main_->accountFeature().runAccountWizard(false));
    EXPECT_TRUE(script.finished());
}

} // namespace
} // namespace kh::test
