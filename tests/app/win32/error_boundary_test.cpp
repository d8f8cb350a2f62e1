// No error ends the program with the user's unsaved work: an exception thrown by a
// command, a timer or a window procedure of the real main window reaches the crash report
// window, and after Continue the program goes on with the account as it was.
#include "crash_reporter.h"
#include "main_window_fixture.h"
#include "tfrm_show_bug.h"
#include "window_script.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kh::test {
namespace {

// A feature whose command fails.
class FailingFeature : public FeatureHandler {
  public:
    void run(CommandId) override { throw std::runtime_error("the command failed"); }
};

class ErrorBoundaryTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        openWindow();
        login();
        bug_ = std::make_unique<TfrmShowBug>(main_->messages());
        ASSERT_TRUE(bug_->create());
        reporter_ = std::make_unique<CrashReporter>(*bug_, [] {});
        reporter_->install();
    }
    void TearDown() override {
        reporter_.reset();
        bug_.reset();
    }

    // Runs `fail` and expects the crash window to show `message`, then presses Continue.
    void expectReported(const std::function<void()>& fail, const std::string& message) {
        bool shown = false;
        ModalScript script(*bug_, {[&] {
            shown = bug_->isVisible();
            EXPECT_EQ(message, bug_->errorMessage());
            bug_->get<QSkinButton>("sbContinue").click();
        }});
        fail();
        EXPECT_TRUE(shown) << message;
        EXPECT_FALSE(bug_->isVisible());
    }

    std::unique_ptr<TfrmShowBug> bug_;
    std::unique_ptr<CrashReporter> reporter_;
};

TEST_F(ErrorBoundaryTest, CommandTimerAndWindowProcedureErrorsReachTheReportAndTheProgramGoesOn) {
    // An unsaved change that must survive every error.
    main_->yesNoAnswers = {true};
    selectOnly(list(EntryView::lvPassword), 0);
    press(list(EntryView::lvPassword), VK_DELETE, true);
    ASSERT_TRUE(main_->session().modified());

    main_->setFeature(Feature::Help, std::make_unique<FailingFeature>());
    const UINT tipCommand = 100 + static_cast<UINT>(CommandId::TipOfTheDay);
    expectReported([&] { SendMessageA(main_->handle(), WM_COMMAND, tipCommand, 0); },
                   "the command failed");

    main_->addMessageHook([](UINT msg, WPARAM wParam, LPARAM, LRESULT&) -> bool {
        if (msg == WM_TIMER && wParam == 77) throw std::runtime_error("the timer failed");
        if (msg == WM_APP + 7) throw std::logic_error("the window failed");
        return false;
    });
    expectReported([&] { SendMessageA(main_->handle(), WM_TIMER, 77, 0); }, "the timer failed");
    expectReported([&] { SendMessageA(main_->handle(), WM_APP + 7, 0, 0); }, "the window failed");

    // Nothing was lost and the window still works.
    EXPECT_TRUE(main_->session().isLoggedIn());
    EXPECT_TRUE(main_->session().modified());
    main_->saveAnswers.clear();
    main_->runCommand(CommandId::SaveAccountData);
    EXPECT_FALSE(main_->session().modified());
    EXPECT_EQ(4u, titlesOnDisk(accountFile_).size());
}

} // namespace
} // namespace kh::test
