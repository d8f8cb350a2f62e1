// The login dialog as the session runs it: its window class and instance marker, what a
// prefill keeps, the Login, Cancel and New Account ways out of its modal loop, and the
// "Forgot Your Password?" texts.
#include "main_window_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

// Runs one step per tick of a thread timer, so the steps happen inside the modal loop
// the code under test pumps. When the steps are done and the dialog is still open, the
// test fails and the dialog is cancelled, so a run never hangs.
class ModalScript {
  public:
    ModalScript(TForm& dialog, std::vector<std::function<void()>> steps)
        : dialog_(dialog), steps_(std::move(steps)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, &ModalScript::tick);
    }
    ~ModalScript() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    bool finished() const { return next_ == steps_.size(); }

  private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalScript* self = current_;
        if (!self || !self->dialog_.isModal()) return;
        if (self->next_ < self->steps_.size()) {
            self->steps_[self->next_++]();
        } else if (++self->idleTicks_ > 5) {
            ADD_FAILURE() << "the dialog stayed open after the last step";
            self->dialog_.setModalResult(ModalResult::Cancel);
        }
    }

    static inline ModalScript* current_ = nullptr;
    TForm& dialog_;
    std::vector<std::function<void()>> steps_;
    std::size_t next_ = 0;
    int idleTicks_ = 0;
    UINT_PTR timer_ = 0;
};

class LoginDialogTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        openWindow();
        main_->realLoginDialog = true;
    }

    TfrmKeyhavenLogin& dialog() { return main_->loginDialog(); }
    TNativeControl& box(const char* name) { return dialog().get<TNativeControl>(name); }
    HWND focusedBox() {
        TControl* focused = dialog().controlOf(GetFocus());
        return focused ? focused->handle() : GetFocus();
    }
};

TEST_F(LoginDialogTest, WindowCarriesItsClassCaptionAndTheInstanceMarker) {
    HWND hwnd = dialog().handle();
    EXPECT_EQ(hwnd, FindWindowA("TfrmKeyhavenLogin", nullptr));
    EXPECT_EQ(0x12345678, GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    EXPECT_EQ("Welcome To Keyhaven", windowText(hwnd));
    EXPECT_EQ(&dialog(), TForm::fromHandle(hwnd)); // its state lives in the extra bytes
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(150, SendMessageA(box("edAccount").handle(), EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ(75, SendMessageA(box("edPassword").handle(), EM_GETLIMITTEXT, 0, 0));
    EXPECT_EQ('*', SendMessageA(box("edPassword").handle(), EM_GETPASSWORDCHAR, 0, 0));
}

TEST_F(LoginDialogTest, PrefillKeepsTheFileOnlyWhenItHasAValidHeader) {
    const std::string damaged = dir_.file("damaged.khk");
    writeBytes(damaged, Bytes(2000, 0x5A));
    const std::string empty = dir_.file("empty.khk");
    writeBytes(empty, {});
    struct Case {
        const char* what;
        std::string file;
        std::string kept;
    };
    const Case cases[] = {
        {"account file", accountFile_, accountFile_},
        {"damaged header", damaged, ""},
        {"empty file", empty, ""},
        {"missing file", dir_.file("missing.khk"), ""},
        {"no file", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialog().prefill(c.file, "bob");
        EXPECT_EQ(c.kept, dialog().keptFile());
        EXPECT_EQ(c.kept, box("edFile").text());
        EXPECT_EQ("bob", dialog().keptName());
        EXPECT_EQ("bob", box("edAccount").text());
    }
}

TEST_F(LoginDialogTest, EnterWithAnEmptyPasswordKeepsItOpenAndFocusesThePasswordBox) {
    HWND password = box("edPassword").handle();
    HWND name = box("edAccount").handle();
    ModalScript script(dialog(), {
                                     [&] {
                                         // A prefilled name sends the focus to the password.
                                         EXPECT_EQ(password, focusedBox());
                                         box("edAccount").setText(" \t alice  ");
                                         box("edAccount").setFocus();
                                         keyDown(name, VK_RETURN);
                                     },
                                     [&] {
                                         EXPECT_TRUE(dialog().isVisible());
                                         EXPECT_EQ(password, focusedBox());
                                         box("edPassword").setText(kAccountPassword);
                                         keyDown(password, VK_RETURN);
                                     },
                                 });
    EXPECT_TRUE(main_->session().showLogin(accountFile_, kAccountName));
    EXPECT_TRUE(script.finished());
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_EQ(kAccountName, main_->session().accountName());
    EXPECT_EQ(kAccountName, dialog().keptName());
    // Nothing of the password stays behind in the dialog.
    EXPECT_FALSE(dialog().holdsPassword());
    EXPECT_TRUE(box("edPassword").secretText().empty());
    EXPECT_EQ("Account: alice [Total: 5 Entries]", main_->bannerText());
}

TEST_F(LoginDialogTest, EachWayOutOfTheDialogDoesItsOwnThing) {
    const std::string damaged = dir_.file("damaged.khk");
    writeBytes(damaged, Bytes(2000, 0x5A));
    enum class Action { Escape, AltC, Login, AltL, NewAccount };
    struct Case {
        const char* what;
        std::string file;
        const char* name;
        Action action;
        const char* password;
        bool loggedIn;
        Texts warnings;
        int wizardRuns;
    };
    const Case cases[] = {
        {"Esc", accountFile_, kAccountName, Action::Escape, "", false, {}, 0},
        {"Alt+C", accountFile_, kAccountName, Action::AltC, kAccountPassword, false, {}, 0},
        {"Alt+L", accountFile_, kAccountName, Action::AltL, kAccountPassword, true, {}, 0},
        {"right password", accountFile_, "", Action::Login, kAccountPassword, true, {}, 0},
        // The dialog comes straight back (the step below checks it and closes it).
        {"wrong password",
         accountFile_,
         kAccountName,
         Action::Login,
         "wrong",
         false,
         {"Wrong name or password for the account file " + accountFile_ + "."},
         0},
        // No file kept: the dialog closes and nothing else happens.
        {"no valid file", damaged, kAccountName, Action::Login, kAccountPassword, false, {}, 0},
        {"new account", accountFile_, "", Action::NewAccount, "", false, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        main_->warnings.clear();
        main_->wizardRuns = 0;
        const bool blankName = std::string(c.name).empty();
        const bool comesBack = std::string(c.password) == "wrong";
        std::vector<std::function<void()>> steps = {[&] {
            EXPECT_EQ(box(blankName ? "edAccount" : "edPassword").handle(), focusedBox());
            if (blankName) box("edAccount").setText(kAccountName);
            box("edPassword").setText(c.password);
            HWND target = box("edPassword").handle();
            switch (c.action) {
            case Action::Escape:
                keyDown(target, VK_ESCAPE);
                break;
            case Action::AltC:
                altKey(target, 'C');
                break;
            case Action::AltL:
                altKey(target, 'L');
                break;
            case Action::Login:
                keyDown(target, VK_RETURN);
                break;
            case Action::NewAccount:
                test::click(dialog().get<TControl>("sbNew").handle());
                break;
            }
        }};
        if (comesBack) {
            steps.push_back([&] {
                EXPECT_TRUE(dialog().isVisible());
                EXPECT_EQ(kAccountName, box("edAccount").text());
                EXPECT_TRUE(box("edPassword").secretText().empty());
                EXPECT_EQ(box("edPassword").handle(), focusedBox());
                keyDown(box("edPassword").handle(), VK_ESCAPE);
            });
        }
        ModalScript script(dialog(), std::move(steps));
        EXPECT_EQ(c.loggedIn, main_->session().showLogin(c.file, c.name));
        EXPECT_TRUE(script.finished());
        EXPECT_FALSE(dialog().isVisible());
        EXPECT_EQ(c.loggedIn, main_->session().isLoggedIn());
        EXPECT_EQ(c.warnings, main_->warnings);
        EXPECT_EQ(c.wizardRuns, main_->wizardRuns);
        EXPECT_FALSE(dialog().holdsPassword());
        if (main_->session().isLoggedIn()) main_->session().endSession();
    }
}

TEST_F(LoginDialogTest, BrowseStartsAtTheKeptFileAndPrefillsTheChosenOne) {
    HWND browse = dialog().get<TControl>("sbBrowse").handle();
    dialog().prefill("", "bob");
    main_->openAnswers = {accountFile_};
    test::click(browse);
    EXPECT_EQ(Texts{""}, main_->dialogStarts);
    EXPECT_EQ(accountFile_, dialog().keptFile());
    EXPECT_EQ("", box("edAccount").text()); // a chosen file comes without a name

    // Cancelled: everything stays as it was.
    box("edAccount").setText("bob");
    main_->openAnswers = {std::nullopt};
    test::click(browse);
    EXPECT_EQ((Texts{"", accountFile_}), main_->dialogStarts);
    EXPECT_EQ(accountFile_, dialog().keptFile());
    EXPECT_EQ("bob", box("edAccount").text());
}

TEST_F(LoginDialogTest, ForgotYourPasswordShowsTheStoredDescriptions) {
    // A stored description in an information box; what stands in the way in a warning.
    struct Case {
        const char* what;
        std::string file;
        const char* name;
        Texts infos;
        Texts warnings;
    };
    const Case cases[] = {
        {"no file", "", kAccountName, {}, {"Please input file or select file from hard disk!"}},
        {"name",
         accountFile_,
         "  alice ",
         {"Here is the Description of Account Password:\n\nAccount Name: alice\n"
          "Description: the usual one"},
         {}},
        {"no name",
         accountFile_,
         "",
         {"Here is the Description of Account:\n\nDescription: My vault"},
         {}},
        {"name of another account",
         accountFile_,
         "bob",
         {},
         {"This account file holds no account named bob.\nCheck the account name: its password "
          "description is shown with it."}},
    };
    TControl& link = dialog().get<TControl>("lbForgot");
    EXPECT_EQ("Forgot Your Password?", windowText(link.handle()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        main_->warnings.clear();
        main_->infos.clear();
        dialog().prefill(c.file, c.name);
        SendMessageA(dialog().handle(), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(link.handle()), STN_CLICKED),
                     reinterpret_cast<LPARAM>(link.handle()));
        EXPECT_EQ(c.infos, main_->infos);
        EXPECT_EQ(c.warnings, main_->warnings);
    }
}

TEST_F(LoginDialogTest, ItsBoxesBelongToItAndTheMainWindowStaysDisabled) {
    WindowPrompts own(ownerOf(dialog()));
    dialog().setPrompts(own);
    HWND main = main_->handle();
    HWND login = dialog().handle();
    HWND box = nullptr;
    TControl& link = dialog().get<TControl>("lbForgot");
    ModalScript script(dialog(),
                       {
                           [&] {
                               EXPECT_FALSE(IsWindowEnabled(main));
                               // Runs the box's own modal loop; the next
                               // step happens inside it.
                               SendMessageA(login, WM_COMMAND,
                                            MAKEWPARAM(GetDlgCtrlID(link.handle()), STN_CLICKED),
                                            reinterpret_cast<LPARAM>(link.handle()));
                           },
                           [&] {
                               box = FindWindowA("#32770", "Keyhaven");
                               ASSERT_NE(nullptr, box);
                               EXPECT_EQ(login, GetWindow(box, GW_OWNER));
                               PostMessageA(box, WM_COMMAND, IDOK, 0);
                           },
                           [&] {
                               EXPECT_FALSE(IsWindow(box));
                               // Closing the box gave the focus back to the
                               // login, not to the window under it.
                               EXPECT_FALSE(IsWindowEnabled(main));
                               EXPECT_TRUE(IsWindowEnabled(login));
                               dialog().setModalResult(ModalResult::Cancel);
                           },
                       });
    EXPECT_FALSE(main_->session().showLogin(accountFile_, kAccountName));
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(IsWindowEnabled(main));
}

} // namespace
} // namespace kh::test
