// The resident program with its real windows: hiding to the notification area (close
// with Quit off, the minimise button, the system menu) and coming back (the icon, the
// hotkey, a second start's message to the login window), the tray menu's items and
// enable rules, the hotkey's registration, the end of the Windows session, and the
// registry values a start writes.
#include "main_window_fixture.h"

#include "app_folders.h"
#include "browser_win32.h"
#include "help_feature.h"
#include "hotkey.h"
#include "single_instance.h"
#include "tray_feature.h"
#include "win32_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

constexpr char kLogoutQuestion[] = "Are you sure you want to log out of the current account?";
constexpr char kSaveQuestion[] = "Do you want to save the current account?";
constexpr char kHotkeyFailed[] =
    "Register Hotkey Failed! Please choose another hotkey in 'Preferences'!";

// The Help feature with its tips counted instead of shown.
class CountingHelp : public HelpFeature {
  public:
    CountingHelp(App& app, int& tips)
        : HelpFeature(app.language(), app.settings().tip, shell_, prompts_, app.messages(), {}),
          tips_(tips) {}
    bool showTip(int) override { return ++tips_ > 0; }

  private:
    SystemShell shell_;
    WindowPrompts prompts_{[] { return HWND(nullptr); }};
    int& tips_;
};

class TrayWindowTest : public MainWindowFixture {
  protected:
    TrayFeature& tray() { return main_->trayFeature(); }

    HWND mainWindow() const { return main_->handle(); }
    bool shown() const { return IsWindowVisible(main_->handle()) && !IsIconic(main_->handle()); }

    // The last account is known, so a restore with nobody logged in offers its login.
    void rememberLastAccount() {
        writeConfig("Account", "Last", accountFile_.c_str());
        writeConfig("Account", "LastTitle", kAccountName);
    }

    void expectCancelledLogin() {
        main_->loginAnswers.push_back({LoginPrompt::Choice::Cancel, "", "", ""});
    }

    void trayMouse(UINT mouseMessage) {
        SendMessageA(tray().trayIcon().handle(), QTrayIcon::kCallbackMessage, QTrayIcon::kIconId,
                     mouseMessage);
    }

    TMenu& trayMenu() {
        TMenu* menu = main_->menu("pmTray");
        EXPECT_NE(menu, nullptr);
        return *menu;
    }

    TMenuItem& trayItem(CommandId id) {
        TMenuItem* item = trayMenu().item(commandDef(id).name);
        EXPECT_NE(item, nullptr) << commandDef(id).name;
        return *item;
    }

    // The tray menu's item chosen, as the menu sends it to its window.
    void chooseTrayItem(CommandId id) {
        SendMessageA(mainWindow(), WM_COMMAND, MAKEWPARAM(trayItem(id).commandId(), 0), 0);
    }

    static std::optional<std::string> userValue(const std::string& key, const char* name) {
        return Win32Registry().readString(Hive::CurrentUser, key, name);
    }
};

TEST_F(TrayWindowTest, ClosingWithQuitOffHidesAndADoubleClickOnTheIconBringsItBack) {
    rememberLastAccount();
    openWindow();
    ASSERT_TRUE(tray().trayIcon().shown()) << "the notification area took the icon";
    EXPECT_EQ(tray().trayIcon().hint(), "Keyhaven");

    SendMessageA(mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(mainWindow()));
    EXPECT_FALSE(IsWindowVisible(mainWindow())) << "hidden, so no task bar button either";

    // Neither a release of a button nor a single click restores.
    trayMouse(WM_LBUTTONUP);
    trayMouse(WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(mainWindow()));

    // Nobody is logged in and Wizard is on: the login for the last account follows.
    expectCancelledLogin();
    trayMouse(WM_RBUTTONDBLCLK);
    EXPECT_TRUE(shown());
    EXPECT_TRUE(main_->loginAnswers.empty()) << "the login dialog was offered";
}

TEST_F(TrayWindowTest, EveryWayOfMinimisingGoesToTheTray) {
    openWindow();
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"minimise button", [&] { clickAt(main_->get<TControl>("sbMinimize").handle(), 4, 4); }},
        {"system menu", [&] { SendMessageA(mainWindow(), WM_SYSCOMMAND, SC_MINIMIZE, 0); }},
        {"close", [&] { SendMessageA(mainWindow(), WM_CLOSE, 0, 0); }},
        {"hideToTray", [&] { main_->hideToTray(); }},
    };
    for (const auto& [what, minimise] : ways) {
        SCOPED_TRACE(what);
        ShowWindow(mainWindow(), SW_SHOWNORMAL);
        minimise();
        EXPECT_FALSE(IsWindowVisible(mainWindow()));
        EXPECT_FALSE(IsIconic(mainWindow()));
    }
}

TEST_F(TrayWindowTest, WithoutAnIconTheWindowIsMinimisedAndARestoreBringsItBack) {
    openWindow();
    tray().trayIcon().setVisible(false);
    SendMessageA(mainWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(mainWindow())) << "it keeps its task bar button";
    EXPECT_TRUE(IsIconic(mainWindow()));

    // Back from the task bar: a restore, with the login that goes with it.
    main_->settings().wizard = false;
    SendMessageA(mainWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(shown());

    // The icon comes back when the shell restarts.
    tray().trayIcon().setVisible(true);
    SendMessageA(tray().trayIcon().handle(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(tray().trayIcon().shown());
}

TEST_F(TrayWindowTest, HotkeyRestoresOnlyAHiddenWindowAndTheLoginFollows) {
    rememberLastAccount();
    openWindow();
    ASSERT_TRUE(tray().hotkeyRegistered());
    SendMessageA(mainWindow(), WM_HOTKEY, kHotkeyId, 0); // visible: nothing, no login
    EXPECT_TRUE(shown());

    main_->hideToTray();
    expectCancelledLogin();
    SendMessageA(mainWindow(), WM_HOTKEY, kHotkeyId, 0);
    EXPECT_TRUE(shown());
    EXPECT_TRUE(main_->loginAnswers.empty());

    // Another hotkey's message is not the program's.
    main_->hideToTray();
    SendMessageA(mainWindow(), WM_HOTKEY, kHotkeyId + 1, 0);
    EXPECT_FALSE(IsWindowVisible(mainWindow()));
}

TEST_F(TrayWindowTest, HotkeyRegistrationFollowsTheSettings) {
    // Another window holds Ctrl+Shift+F9 while the program starts with it.
    HWND holder =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(holder, 1, MOD_CONTROL | MOD_SHIFT, VK_F9));
    struct Case {
        const char* hotkey;
        const char* value;
        bool registered;
        bool warned;
    };
    const Case cases[] = {
        {"1", "49229", true, false},  // Ctrl+Alt+M
        {"1", "49152", false, false}, // no key: nothing, and no warning
        {"0", "49229", false, false},
        {"1", "24696", false, true}, // Ctrl+Shift+F9 (0x6078): taken
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        writeConfig("Setting", "Hotkey", c.hotkey);
        writeConfig("Setting", "HotkeyValue", c.value);
        openWindow();
        EXPECT_EQ(tray().hotkeyRegistered(), c.registered);
        EXPECT_EQ(main_->warnings, c.warned ? Texts{kHotkeyFailed} : Texts{});
        const HWND window = mainWindow();
        closeWindow();
        // Given back when the window goes: another window can take the chord now.
        if (c.registered) {
            EXPECT_TRUE(RegisterHotKey(holder, 2, MOD_CONTROL | MOD_ALT, 'M'));
            UnregisterHotKey(holder, 2);
        }
        EXPECT_FALSE(IsWindow(window));
    }
    DestroyWindow(holder);
}

TEST_F(TrayWindowTest, SettingsDialogSlotsTakeTheHotkeyAwayAndGiveItBack) {
    openWindow();
    HotkeyRegistration& hotkey = tray();
    hotkey.setHotkeyRegistered(false);
    EXPECT_FALSE(tray().hotkeyRegistered());
    // The chord changed while the dialog was open: only the new one is registered.
    main_->settings().hotkeyValue = 0xC04E; // Ctrl+Alt+N
    hotkey.setHotkeyRegistered(true);
    EXPECT_TRUE(tray().hotkeyRegistered());
    HWND other =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(RegisterHotKey(other, 1, MOD_CONTROL | MOD_ALT, 'M'));
    EXPECT_FALSE(RegisterHotKey(other, 2, MOD_CONTROL | MOD_ALT, 'N'));
    DestroyWindow(other);
}

TEST_F(TrayWindowTest, ASecondStartsMessageBringsTheProgramBack) {
    rememberLastAccount();
    openWindow();
    HWND login = main_->loginDialog().handle();
    EXPECT_EQ(browser::findLoginWindow(), login) << "the login window is what a second start finds";

    main_->hideToTray();
    // Only the message with its marker counts.
    EXPECT_EQ(SendMessageA(login, kActivationMessage, kActivationMarker, 1), 0);
    EXPECT_EQ(SendMessageA(login, kActivationMessage, 0, 0), 0);
    EXPECT_FALSE(IsWindowVisible(mainWindow()));

    expectCancelledLogin();
    EXPECT_EQ(SendMessageA(login, kActivationMessage, kActivationMarker, 0),
              static_cast<LRESULT>(kActivationMarker));
    EXPECT_TRUE(shown());
    EXPECT_TRUE(main_->loginAnswers.empty());

    // Visible already: only brought to the front, no second login.
    EXPECT_EQ(SendMessageA(login, kActivationMessage, kActivationMarker, 0),
              static_cast<LRESULT>(kActivationMarker));
    EXPECT_TRUE(main_->loginAnswers.empty());
}

TEST_F(TrayWindowTest, TheFirstShowWaitsForTheFirstRestoreOrSkipsTheLoginForTheBrowser) {
    struct Case {
        const char* what;
        bool startHidden, processMode;
        int logins;
    };
    const Case cases[] = {
        {"normal start", false, false, 1},
        {"\"/start\": at the first restore, once", true, false, 1},
        {"\"/Process\"", false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rememberLastAccount();
        openWindow();
        ShowWindow(mainWindow(), SW_HIDE);
        int tips = 0;
        main_->setFeature(Feature::Help, std::make_unique<CountingHelp>(*main_, tips));
        StartState& start = main_->startState();
        start.startHidden = c.startHidden;
        start.processMode = c.processMode;
        for (int i = 0; i < c.logins; ++i)
            expectCancelledLogin();
        if (c.startHidden) {
            tray().deferFirstShow([this] { return main_->firstShow(""); });
            EXPECT_FALSE(IsWindowVisible(mainWindow()));
            main_->restoreFromTray();
        } else {
            EXPECT_TRUE(main_->firstShow(""));
        }
        EXPECT_TRUE(shown());
        EXPECT_TRUE(main_->loginAnswers.empty());
        EXPECT_EQ(tips, c.processMode ? 0 : 1);
        // Later restores offer the login (not in process mode's first show: there the
        // browser's request asks for it).
        main_->hideToTray();
        expectCancelledLogin();
        main_->restoreFromTray();
        EXPECT_TRUE(main_->loginAnswers.empty());
        EXPECT_EQ(tips, c.processMode ? 0 : 1);
        closeWindow();
    }
}

// Keyhaven.exe started while this process holds the instance mutex and a login window
// with the marker: straight from here (as an ending instance restarts the program) and
// through cmd (as a user's second start).
TEST(SecondStart, HandsOverToARunningInstanceButNotToTheOneThatStartedIt) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, instanceMutexName().c_str());
    ASSERT_NE(mutex, nullptr);
    MessageTable messages;
    TfrmKeyhavenLogin login(messages);
    ASSERT_TRUE(login.create());
    int activations = 0;
    login.addMessageHook([&](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT&) {
        if (msg == kActivationMessage && wParam == kActivationMarker && lParam == 0) ++activations;
        return false;
    });
    std::string exe = std::string("Z:") + KH_KEYHAVEN_EXE;
    std::replace(exe.begin(), exe.end(), '/', '\\');

    struct Case {
        const char* what;
        std::string commandLine;
        bool handsOver;
    };
    const Case cases[] = {
        {"started by this process", "\"" + exe + "\"", false},
        {"started by another", "cmd.exe /c \"\"" + exe + "\"\"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        activations = 0;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        std::string commandLine = c.commandLine;
        ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process));
        // A hand-over arrives here as the activation message; a normal start keeps running.
        const DWORD until = GetTickCount() + (c.handsOver ? 10000 : 4000);
        while (activations == 0 && GetTickCount() < until)
            pumpFor(100);
        EXPECT_EQ(activations, c.handsOver ? 1 : 0);
        if (!c.handsOver) {
            EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), WAIT_TIMEOUT)
                << "a normal start, still running";
            TerminateProcess(process.hProcess, 1);
        }
        WaitForSingleObject(process.hProcess, 10000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    login.destroy();
    CloseHandle(mutex);
}

TEST_F(TrayWindowTest, TrayMenuItemsInOrderWithSeparatorsAndShortcuts) {
    openWindow();
    // As the menu shows them: caption, then the shortcut after a tab.
    Texts captions;
    for (TMenuItem* item : trayMenu().items()) {
        char shown[128] = "-";
        if (!item->isSeparator())
            GetMenuStringA(item->parentMenu(), static_cast<UINT>(item->commandId()), shown,
                           sizeof shown, MF_BYCOMMAND);
        captions.push_back(std::string(item->submenu() ? "> " : "") + shown);
    }
    EXPECT_EQ(captions, (Texts{
                            "&Open Keyhaven...",
                            "-",
                            "> &Manage Account",
                            "&Edit Account Information",
                            "&Change Account Password",
                            "&Find in Account\tCtrl+F",
                            "&Save Account Data\tCtrl+S",
                            "Save Account &As...\tCtrl+D",
                            "-",
                            "&Export All Entries to XML...",
                            "Export Selected E&ntries...\tCtrl+M",
                            "-",
                            "Set &Up New Account...",
                            "&Log In to Existing Account...\tCtrl+O",
                            "&Import Existing Account...",
                            "-",
                            "Lo&g Out of Current Account\tCtrl+Q",
                            "-",
                            "Keyhaven &Preferences...",
                            "Password Gene&rator...",
                            "-",
                            "&Quit Keyhaven",
                        }));
}

TEST_F(TrayWindowTest, TrayMenuEnableRules) {
    openWindow();
    const auto enabledItems = [&] {
        tray().menuPopup();
        Texts enabled;
        for (TMenuItem* item : trayMenu().items())
            if (!item->isSeparator() && item->enabled()) enabled.push_back(item->name());
        return enabled;
    };
    const Texts always = {"OpenApplication1",       "SetupNewAccount2", "LoginExistingAccount2",
                          "ImportExistingAccount2", "Preferrence2",     "PasswordGenerator2",
                          "QuitKeyhaven2"};
    EXPECT_EQ(enabledItems(), always);

    login();
    Texts loggedIn = {"OpenApplication1",       "ManageAccount2",         "EditAccountInformation2",
                      "ChangeAccountPassword2", "FindinAccount2",         "SaveAccountData2",
                      "SaveAccountAs2",         "ExportAllEntriesToXML2", "SetupNewAccount2",
                      "LoginExistingAccount2",  "ImportExistingAccount2", "LogoutCurrentAccount2",
                      "Preferrence2",           "PasswordGenerator2",     "QuitKeyhaven2"};
    EXPECT_EQ(enabledItems(), loggedIn);

    selectOnly(list(EntryView::lvPassword), 1);
    loggedIn.insert(loggedIn.begin() + 8, "ExportSelectedEntries3");
    EXPECT_EQ(enabledItems(), loggedIn);
}

TEST_F(TrayWindowTest, TrayItemsRunTheMenusCommandsAndTheIconFollowsTheSession) {
    openWindow();
    EXPECT_FALSE(tray().showsLoggedInIcon());
    login();
    SendMessageA(mainWindow(), WM_TIMER, TfrmMain::kGuardTimer, 0);
    EXPECT_TRUE(tray().showsLoggedInIcon());

    main_->hideToTray();
    chooseTrayItem(CommandId::TrayOpenKeyhaven);
    EXPECT_TRUE(shown());

    main_->yesNoAnswers.push_back(true);
    chooseTrayItem(CommandId::TrayLogoutCurrentAccount);
    EXPECT_EQ(main_->questions, Texts{kLogoutQuestion});
    EXPECT_FALSE(main_->session().isLoggedIn());
    EXPECT_FALSE(tray().showsLoggedInIcon());

    chooseTrayItem(CommandId::TrayQuitKeyhaven);
    EXPECT_FALSE(IsWindow(mainWindow()));
}

TEST_F(TrayWindowTest, EndOfTheWindowsSessionWithUnsavedChanges) {
    struct Case {
        std::vector<bool> answers; // logout?, save?
        LRESULT answer;
        bool configWritten;
    };
    const Case cases[] = {
        {{false}, FALSE, false},     // the logout refused: the end of the session too
        {{true, false}, TRUE, true}, // logged out without saving
    };
    for (const Case& c : cases) {
        std::filesystem::remove(configFile());
        openWindow();
        login();
        deleteRow(0);
        main_->questions.clear();
        main_->yesNoAnswers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(SendMessageA(mainWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), c.answer);
        EXPECT_EQ(std::filesystem::exists(configFile()), c.configWritten);
        EXPECT_EQ(main_->session().isLoggedIn(), !c.configWritten);
        // The icon's window never stands in the way.
        EXPECT_EQ(SendMessageA(tray().trayIcon().handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
        closeWindow();
    }
}

TEST_F(TrayWindowTest, AStartRegistersTheAccountFileTypeAndTheAutorunValue) {
    const std::string exe = executablePath();
    const std::string type = "Software\\Classes\\Keyhaven.Account";
    openWindow();
    EXPECT_EQ(userValue("Software\\Classes\\.khk", ""), "Keyhaven.Account");
    EXPECT_EQ(userValue(type, ""), "Keyhaven Account File");
    EXPECT_EQ(userValue(type + "\\DefaultIcon", ""), exe + ",1");
    EXPECT_EQ(userValue(type + "\\shell", ""), "Open");
    EXPECT_EQ(userValue(type + "\\shell\\Open\\Command", ""), "\"" + exe + "\" \"%1\"");
    EXPECT_EQ(userValue(kRunKey, "Keyhaven"), "\"" + exe + "\" /start");
    closeWindow();

    // Autorun off: the value goes at the next start, and after the Settings dialog's OK.
    writeConfig("Setting", "Autorun", "0");
    openWindow();
    EXPECT_EQ(userValue(kRunKey, "Keyhaven"), std::nullopt);
    main_->settings().autorun = true;
    main_->settingsChanged()();
    EXPECT_EQ(userValue(kRunKey, "Keyhaven"), "\"" + exe + "\" /start");
    main_->settings().autorun = false;
    main_->settingsChanged()();
    EXPECT_EQ(userValue(kRunKey, "Keyhaven"), std::nullopt);
}

} // namespace
} // namespace kh::test
