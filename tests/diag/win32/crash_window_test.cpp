// The crash report window as the program uses it: its design and texts, an error shown with
// its address, message and report, a second error while it is open, Continue and
// Terminate, errors that reach it through the installed handler, and the faults and
// escaped exceptions after which the program ends.
#include "crash_report.h"
#include "crash_reporter.h"
#include "language.h"
#include "message_table.h"
#include "system_facts.h"
#include "tfrm_show_bug.h"
#include "win32/skin_controls.h"
#include "window_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace kh::test {
namespace {

class CrashWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // As the program does: every form is translated once its controls exist.
        TForm::onFormCreated() = [this](TForm& form) {
            language_.translateWindow(&form, form.className(), true);
        };
        ASSERT_TRUE(dialog_.create());
    }
    void TearDown() override {
        TForm::onFormCreated() = nullptr;
        setIgnoreApplicationErrors(false);
    }

    std::string text(const char* name) { return windowText(dialog_.get<TControl>(name).handle()); }
    HWND control(const char* name) { return dialog_.get<TControl>(name).handle(); }

    QLanguage language_;
    MessageTable messages_;
    TfrmShowBug dialog_{messages_};
    int endCalls_ = 0;
};

TEST_F(CrashWindowTest, DesignTextsEnterTheLanguageAndATranslationApplies) {
    HWND hwnd = dialog_.handle();
    EXPECT_EQ(hwnd, FindWindowA("TfrmShowBug", nullptr));
    EXPECT_EQ("Oops", windowText(hwnd));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(dialog_.scale(463), client.right);
    EXPECT_EQ(dialog_.scale(157), client.bottom);
    const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ("0xFFFFFFFF", text("lbAddress"));
    EXPECT_FALSE(dialog_.get<QCheckBox>("cbRestart").checked());

    const std::vector<std::string>* lines = language_.defaultTemplate();
    ASSERT_NE(nullptr, lines);
    for (const char* line :
         {"TfrmShowBug = Oops", "TfrmShowBug.Label1 = Address:", "TfrmShowBug.Label2 = Message:",
          "TfrmShowBug.sbView = &View report", "TfrmShowBug.sbSend = &Send report",
          "TfrmShowBug.cbRestart = &Restart Application", "TfrmShowBug.sbContinue = &Continue",
          "TfrmShowBug.sbTerminate = &Terminate"})
        EXPECT_NE(lines->end(), std::find(lines->begin(), lines->end(), line)) << line;

    QLanguage german;
    german.loadTranslation({"TfrmShowBug = Hoppla", "TfrmShowBug.sbTerminate = &Beenden"});
    TForm::onFormCreated() = [&german](TForm& form) {
        german.translateWindow(&form, form.className(), true);
    };
    TfrmShowBug translated(messages_);
    ASSERT_TRUE(translated.create());
    EXPECT_EQ("Hoppla", windowText(translated.handle()));
    EXPECT_EQ("&Beenden", translated.get<QSkinButton>("sbTerminate").caption());
}

TEST_F(CrashWindowTest, ShowErrorFillsTheWindowAndViewShowsTheReport) {
    const ApplicationError error{"Disk & 100% full", 0x1234ABCD};
    const std::string report = systemDescription() +
                               " Keyhaven Version: 1. The following error occured in "
                               "application at Address: 0x1234ABCD. Message: Disk & 100% full.";
    ModalScript script(dialog_,
                       {
                           [&] {
                               EXPECT_TRUE(dialog_.isVisible());
                               EXPECT_EQ("0x1234ABCD", text("lbAddress"));
                               EXPECT_EQ("Disk & 100% full", text("lbMessage"));
                               EXPECT_EQ(report, dialog_.report());
                               EXPECT_TRUE(dialog_.get<QSkinButton>("sbContinue").isActive());
                               postClick(control("sbView"));
                           },
                           [&] {
                               HWND box = findMessageBox();
                               ASSERT_NE(nullptr, box);
                               EXPECT_EQ(dialog_.handle(), GetWindow(box, GW_OWNER));
                               EXPECT_EQ("", windowText(box));
                               EXPECT_EQ(report, messageBoxText(box));
                               EXPECT_NE(nullptr, GetDlgItem(box, IDOK));
                               EXPECT_EQ(nullptr, GetDlgItem(box, IDCANCEL));
                               PostMessageA(box, WM_COMMAND, IDOK, 0);
                           },
                           [&] {
                               EXPECT_EQ(nullptr, findMessageBox());
                               EXPECT_TRUE(dialog_.isVisible());
                               keyDown(dialog_.handle(), VK_ESCAPE);
                           },
                       });
    EXPECT_EQ(ModalResult::Cancel, dialog_.showError(error));
    EXPECT_TRUE(script.finished());
    EXPECT_FALSE(dialog_.isVisible());
}

TEST_F(CrashWindowTest, ErrorsReachTheWindowThroughTheHandlerAndASecondOneUpdatesIt) {
    CrashReporter reporter(dialog_, [this] { ++endCalls_; });
    reporter.install();
    bool secondReturned = false;
    ModalScript script(
        dialog_, {[&] {
            EXPECT_EQ("first", text("lbMessage"));
            EXPECT_EQ("0x00000000", text("lbAddress"));
            // Raised while the window is open: shown in the same window, without a second.
            EXPECT_FALSE(guardedCall([] { throw AddressedError("second", 0xBEEF); }));
            secondReturned = true;
            EXPECT_EQ("second", text("lbMessage"));
            EXPECT_EQ("0x0000BEEF", text("lbAddress"));
            EXPECT_TRUE(dialog_.report().ends_with("Address: 0x0000BEEF. Message: second."));
            EXPECT_EQ(1, countWindows("TfrmShowBug"));
            click(control("sbContinue"));
        }});
    EXPECT_FALSE(guardedCall([] { throw std::runtime_error("first"); }));
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(secondReturned);
    EXPECT_FALSE(dialog_.isVisible());
    // Continue: the program goes on as before.
    EXPECT_EQ(0, endCalls_);
    EXPECT_FALSE(reporter.ending());
    EXPECT_FALSE(reporter.restartRequested());
    EXPECT_FALSE(applicationErrorsIgnored());
}

TEST_F(CrashWindowTest, TerminateAsksFirstAndEndsOnlyOnYes) {
    struct Case {
        const char* what;
        bool tickRestart;
        int answer;
        bool ends;
    };
    const Case cases[] = {
        {"No", true, IDNO, false},
        {"Yes", false, IDYES, true},
        {"Yes with restart", true, IDYES, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setIgnoreApplicationErrors(false);
        endCalls_ = 0;
        auto& restartBox = dialog_.get<QCheckBox>("cbRestart");
        restartBox.setChecked(false);
        CrashReporter reporter(dialog_, [this] { ++endCalls_; });
        reporter.install();

        std::vector<std::function<void()>> steps = {
            [&] {
                if (c.tickRestart) click(control("cbRestart"));
                postClick(control("sbTerminate"));
            },
            [&] {
                HWND box = findMessageBox();
                ASSERT_NE(nullptr, box);
                EXPECT_EQ(dialog_.handle(), GetWindow(box, GW_OWNER));
                EXPECT_EQ("Terminate", windowText(box));
                EXPECT_EQ("Are you sure to Terminate Application?", messageBoxText(box));
                EXPECT_NE(nullptr, GetDlgItem(box, IDYES));
                EXPECT_NE(nullptr, GetDlgItem(box, IDNO));
                EXPECT_EQ(nullptr, GetDlgItem(box, IDCANCEL));
                // No is the default button.
                EXPECT_EQ(BS_DEFPUSHBUTTON,
                          GetWindowLongPtrA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK);
                EXPECT_EQ(GetDlgItem(box, IDNO), GetFocus());
                PostMessageA(box, WM_COMMAND, c.answer, 0);
            },
        };
        if (!c.ends) {
            steps.push_back([&] {
                EXPECT_TRUE(dialog_.isVisible()); // No changed nothing
                click(control("sbContinue"));
            });
        }
        {
            ModalScript script(dialog_, steps);
            EXPECT_FALSE(guardedCall([] { throw std::runtime_error("boom"); }));
            EXPECT_TRUE(script.finished());
        }
        EXPECT_FALSE(dialog_.isVisible());
        EXPECT_EQ(c.ends ? 1 : 0, endCalls_);
        EXPECT_EQ(c.ends, reporter.ending());
        EXPECT_EQ(c.ends && c.tickRestart, reporter.restartRequested());

        if (c.ends) {
            // While the program ends or restarts, further errors are dropped (the guard fails
            // the test if the window opens).
            ModalScript guard(dialog_, {});
            EXPECT_FALSE(guardedCall([] { throw std::runtime_error("late"); }));
            EXPECT_EQ("boom", dialog_.errorMessage());
            EXPECT_FALSE(dialog_.isVisible());
        }
    }
}

TEST_F(CrashWindowTest, WithoutItsWindowTheReporterFallsBackToTheStandardBox) {
    CrashReporter reporter(dialog_, [this] { ++endCalls_; });
    reporter.install();
    dialog_.destroy();
    std::string caption;
    std::string shown;
    ModalScript script({[&] {
        HWND box = findMessageBox();
        caption = windowText(box);
        shown = messageBoxText(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }});
    EXPECT_FALSE(guardedCall([] { throw std::runtime_error("after the window"); }));
    EXPECT_TRUE(script.finished());
    EXPECT_EQ("Error", caption);
    EXPECT_EQ("after the window", shown);
    EXPECT_EQ(nullptr, dialog_.handle());
}

// ---- Errors the program cannot go on after. Each runs in a child process that ends. ----

enum class Fatal { Fault, EscapedException, FaultWhileOpen };

[[gnu::noinline]] void throwEscaped() {
    throw AddressedError("escaped", 0x1234);
}

void escapeThroughNoexcept() noexcept {
    throwEscaped();
}

void writeToBadAddress() {
    volatile std::uintptr_t bad = 0xBAD; // hidden from the compiler, which would warn
    *reinterpret_cast<volatile int*>(bad) = 1;
}

LRESULT CALLBACK faultingWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_APP) writeToBadAddress();
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The report is checked on its way out: what the window showed goes to stderr, where the
// parent matches it. Escape must not close the window; Terminate and Yes end the process.
void runFatal(Fatal kind) {
    MessageTable messages;
    TfrmShowBug dialog(messages);
    CrashReporter reporter(dialog, [] {});
    dialog.create();
    reporter.install();

    WNDCLASSA wc{};
    wc.lpfnWndProc = &faultingWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "FaultingWindow";
    RegisterClassA(&wc);
    HWND faulting = CreateWindowA("FaultingWindow", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);

    std::vector<std::function<void()>> steps;
    if (kind == Fatal::FaultWhileOpen)
        steps.push_back([&] { PostMessageA(faulting, WM_APP, 0, 0); });
    steps.push_back([&] {
        std::fprintf(stderr, "reported: %s at %s, continue %s;", dialog.errorMessage().c_str(),
                     crashAddressText(dialog.errorAddress()).c_str(),
                     dialog.get<QSkinButton>("sbContinue").isActive() ? "on" : "off");
        std::fflush(stderr);
        keyDown(dialog.handle(), VK_ESCAPE);
    });
    steps.push_back([&] {
        if (dialog.isVisible()) std::fprintf(stderr, " open after Esc\n");
        std::fflush(stderr);
        postClick(dialog.get<TControl>("sbTerminate").handle());
    });
    steps.push_back([&] { PostMessageA(findMessageBox(), WM_COMMAND, IDYES, 0); });
    ModalScript script(dialog, steps);

    switch (kind) {
    case Fatal::Fault:
        writeToBadAddress();
        break;
    case Fatal::EscapedException:
        escapeThroughNoexcept();
        break;
    case Fatal::FaultWhileOpen:
        guardedCall([] { throw std::runtime_error("an ordinary error first"); });
        break;
    }
}

TEST(CrashReporterDeathTest, FaultsAndEscapedExceptionsAreReportedThenTheProgramEnds) {
    const int accessViolation = static_cast<int>(0xC0000005u);
    const char* const faultReport = "reported: Access violation at address 0x\\w+\\. Write of "
                                    "address 0x00000BAD at 0x\\w+, continue off; open after Esc";
    EXPECT_EXIT(runFatal(Fatal::Fault), ::testing::ExitedWithCode(accessViolation), faultReport);
    EXPECT_EXIT(runFatal(Fatal::FaultWhileOpen), ::testing::ExitedWithCode(accessViolation),
                faultReport);
    EXPECT_EXIT(runFatal(Fatal::EscapedException), ::testing::ExitedWithCode(3),
                "reported: escaped at 0x00001234, continue off; open after Esc");
}

} // namespace
} // namespace kh::test
