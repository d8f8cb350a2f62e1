// The warning before the automatic logout in the real main window under Wine, driven by
// the guard timer's messages: when it appears and with what, what a key, "Save and Stay"
// and the logout itself do to it, and that saved work is logged out without it. Then the
// logout when the workstation locks or the machine suspends, driven by those messages.
#include "../win32/main_window_fixture.h"

#include "language_feature.h"
#include "session_feature.h"
#include "tfrm_main.h"

#include <gtest/gtest.h>
#include <wtsapi32.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kh::test {
namespace {

class LogoutWarningWindowTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        openWindow();
        login();
        // One minute: the warning shows for its last 30 seconds, 15 guard ticks.
        main_->session().settings().mainGuard = 1;
    }

    TfrmLogoutWarning& warning() { return main_->sessionFeature().logoutWarning(); }
    bool warningShown() {
        return warning().handle() && IsWindowVisible(warning().handle()) != FALSE;
    }
    void ticks(int count) { timerTicks(TfrmMain::kGuardTimer, count); }
};

// Keeps a window on the screen for a while when asked to, for a screenshot from outside.
void lingerForScreenshot() {
    if (const char* ms = std::getenv("KH_TEST_LINGER_MS"))
        pumpFor(static_cast<DWORD>(std::atoi(ms)));
}

TEST_F(LogoutWarningWindowTest, UnsavedWorkIsWarnedAboutWithACountdownAndAKeyEndsIt) {
    deleteRow(0);
    ticks(14);
    EXPECT_FALSE(warningShown());
    ticks(1);
    ASSERT_TRUE(warningShown());
    EXPECT_NE(GetWindowLongPtrA(warning().handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    // It does not take the focus: the next key still goes where the user was typing.
    EXPECT_NE(GetActiveWindow(), warning().handle());
    EXPECT_EQ(warning().statementText(),
              "Account " + std::string(kAccountName) +
                  " has not been used for a while. Keyhaven logs out in 30 seconds, and the "
                  "unsaved changes will be lost.");
    lingerForScreenshot();
    ticks(14);
    EXPECT_NE(warning().statementText().find(" in 2 seconds,"), std::string::npos);

    press(list(EntryView::lvPassword), VK_DOWN);
    EXPECT_FALSE(warningShown());
    EXPECT_TRUE(main_->session().isLoggedIn());
    EXPECT_TRUE(main_->session().modified());
    EXPECT_EQ(main_->session().idleSeconds(), 0);

    // Left alone to the end: the warning goes with the account.
    ticks(15);
    ASSERT_TRUE(warningShown());
    ticks(15);
    EXPECT_FALSE(main_->session().isLoggedIn());
    EXPECT_FALSE(warningShown());
}

TEST_F(LogoutWarningWindowTest, SaveAndStaySavesAndTheCountStartsAgain) {
    const std::size_t before = titlesOnDisk(accountFile_).size();
    deleteRow(0);
    ticks(20);
    ASSERT_TRUE(warningShown());
    warning().get<QSkinButton>("sbSave").click();
    EXPECT_FALSE(warningShown());
    EXPECT_FALSE(main_->session().modified());
    EXPECT_EQ(titlesOnDisk(accountFile_).size(), before - 1);
    EXPECT_TRUE(main_->session().isLoggedIn());
    EXPECT_EQ(main_->session().idleSeconds(), 0);

    // Nothing unsaved: the logout comes without a warning.
    ticks(29);
    EXPECT_FALSE(warningShown());
    ticks(1);
    EXPECT_FALSE(main_->session().isLoggedIn());
}

TEST_F(LogoutWarningWindowTest, StayLoggedInKeepsTheWork) {
    deleteRow(0);
    ticks(15);
    ASSERT_TRUE(warningShown());
    warning().get<QSkinButton>("sbStay").click();
    EXPECT_FALSE(warningShown());
    EXPECT_TRUE(main_->session().modified());
    ticks(29);
    EXPECT_TRUE(main_->session().isLoggedIn());
}

class LogoutWarningLanguageTest : public MainWindowFixture {};

TEST_F(LogoutWarningLanguageTest, TheWarningSpeaksTheChosenLanguage) {
    const std::filesystem::path folder = std::filesystem::path(paths_.programFolder) / "language";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(std::filesystem::path(KH_SOURCE_DIR) / "language" / "Deutsch.lng",
                               folder / "Deutsch.lng");
    openWindow();
    auto& languages = dynamic_cast<LanguageFeature&>(*main_->feature(Feature::Language));
    languages.buildLanguageMenu();
    SendMessageA(main_->handle(), WM_COMMAND, kLanguageCommandBase, 0);
    login();
    main_->session().settings().mainGuard = 1;
    // Modified without a question: the scripted boxes expect English captions.
    main_->session().setModified(true);
    timerTicks(TfrmMain::kGuardTimer, 15);
    TfrmLogoutWarning& warning = main_->sessionFeature().logoutWarning();
    ASSERT_TRUE(IsWindowVisible(warning.handle()));
    EXPECT_EQ(warning.statementText(),
              "Das Konto alice wurde eine Weile nicht benutzt. Keyhaven meldet sich in 30 "
              "Sekunden ab, und die ungespeicherten \xC4nderungen gehen verloren.");
    EXPECT_EQ(warning.get<QSkinButton>("sbSave").text(), "&Speichern und bleiben");
    char caption[64] = {};
    GetWindowTextA(warning.handle(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Automatische Abmeldung");
    lingerForScreenshot();
}

// The lock and suspend notifications as Windows sends them to the main window.
class LockLogoutTest : public MainWindowFixture {
  protected:
    void SetUp() override { openWindow(); }
    void lock() { SendMessageA(main_->handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0); }
};

TEST_F(LockLogoutTest, ALockOrASuspendLogsOutAtOnceWithoutAQuestion) {
    const std::size_t before = titlesOnDisk(accountFile_).size();
    login();
    deleteRow(0);
    lock();
    EXPECT_FALSE(main_->session().isLoggedIn());
    EXPECT_EQ(titlesOnDisk(accountFile_).size(), before); // the change was not saved

    // Told at the next login.
    main_->warnings.clear();
    login();
    ASSERT_EQ(main_->warnings.size(), 1u);
    EXPECT_NE(main_->warnings[0].find("when the workstation was locked"), std::string::npos);

    EXPECT_EQ(SendMessageA(main_->handle(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0), TRUE);
    EXPECT_FALSE(main_->session().isLoggedIn());

    // Other session changes leave the account open.
    login();
    SendMessageA(main_->handle(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    SendMessageA(main_->handle(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_TRUE(main_->session().isLoggedIn());
}

TEST_F(LockLogoutTest, TheSettingOffKeepsTheAccountOpen) {
    // Closed first: the program writes config.ini as it ends.
    closeWindow();
    writeConfig("Setting", "LockLogout", "0");
    openWindow();
    login();
    lock();
    EXPECT_TRUE(main_->session().isLoggedIn());
}

} // namespace
} // namespace kh::test
