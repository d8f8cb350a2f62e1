// The Tools menu's windows in the real main window: the generator with its keys, its
// strength line and its copy under the Password Guard; the Secure File Remover on real
// files; the Settings dialog from a fresh profile to config.ini.
#include "main_window_fixture.h"
#include "modal_steps.h"
#include "tools_feature.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

// A key with Ctrl and Shift held in this thread's keyboard state; Alt as Windows sends it.
void chord(HWND target, UINT key, bool ctrl, bool alt, bool shift) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    if (alt)
        SendMessageA(target, WM_SYSKEYDOWN, key, 1 | (1L << 29));
    else
        SendMessageA(target, WM_KEYDOWN, key, 1);
    state[VK_CONTROL] = 0;
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
}

std::string clipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return "<not opened>";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* bytes = static_cast<const char*>(GlobalLock(data))) {
            text = bytes;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

class ToolsWindowTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        openWindow();
        tools_ = dynamic_cast<ToolsFeature*>(main_->feature(Feature::Tools));
        ASSERT_NE(tools_, nullptr);
        tools_->setFileDialogs(main_->dialogs);
    }

    template <class T> static T& ctl(TForm& form, const char* name) { return form.get<T>(name); }
    static std::string text(TForm& form, const char* name) {
        return windowText(form.get<TControl>(name).handle());
    }
    static bool checked(TForm& form, const char* name) {
        return form.get<QCheckBox>(name).checked();
    }

    std::string writeFile(const std::string& name, std::size_t size) {
        const std::string path = dir_.file(name);
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        return path;
    }

    ToolsFeature* tools_ = nullptr;
};

// --- Password Generator ---

TEST_F(ToolsWindowTest, GeneratorOpensLoggedOutWithItsDefaultsAndGeneratesOnItsKeys) {
    ASSERT_FALSE(main_->session().isLoggedIn());
    main_->runCommand(CommandId::PasswordGenerator);
    TfrmGenerator& generator = tools_->generator();
    HWND window = generator.handle();
    ASSERT_EQ(window, FindWindowA("TfrmGenerator", nullptr));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ("Password Generator", windowText(window));
    for (const char* box : {"cbAZ", "cba", "cbSpecial", "cbDigit"})
        EXPECT_TRUE(checked(generator, box)) << box;
    EXPECT_EQ("15", text(generator, "edLength"));
    EXPECT_EQ("", text(generator, "edPassword"));
    EXPECT_EQ("Copy the password to the Clipboard", generator.get<TControl>("sbCopy").hint());
    EXPECT_EQ("Strength: 92 bits", text(generator, "lbStrength"));

    // Enter, then Alt+G: fifteen characters of the four classes each time.
    HWND result = generator.get<TControl>("edPassword").handle();
    keyDown(result, VK_RETURN);
    const std::string first = windowText(result);
    EXPECT_TRUE(std::regex_match(first, std::regex("[A-Za-z0-9#-+]{15}"))) << first;
    altKey(result, 'G');
    EXPECT_TRUE(std::regex_match(windowText(result), std::regex("[A-Za-z0-9#-+]{15}")));

    // Capitals only, eight of them: the strength follows each change.
    for (const char* box : {"cba", "cbSpecial", "cbDigit"})
        test::click(generator.get<TControl>(box).handle());
    SetWindowTextA(generator.get<TControl>("edLength").handle(), "8");
    EXPECT_EQ("Strength: 37 bits", text(generator, "lbStrength"));
    test::click(generator.get<TControl>("sbGenerate").handle());
    const std::string capitals = windowText(result);
    EXPECT_TRUE(std::regex_match(capitals, std::regex("[A-Z]{8}"))) << capitals;

    // No class at all: nothing to generate, the result stays and the line says why.
    test::click(generator.get<TControl>("cbAZ").handle());
    EXPECT_EQ("Choose at least one kind of character to generate a password.",
              text(generator, "lbStrength"));
    keyDown(result, VK_RETURN);
    EXPECT_EQ(capitals, windowText(result));
    test::click(generator.get<TControl>("cbAZ").handle());

    // A length the generator cannot take shows as the one it used.
    SetWindowTextA(generator.get<TControl>("edLength").handle(), "600");
    keyDown(result, VK_RETURN);
    EXPECT_EQ("512", text(generator, "edLength"));
    EXPECT_EQ(512, GetWindowTextLengthA(result));
    SetWindowTextA(generator.get<TControl>("edLength").handle(), "8");
    test::click(generator.get<TControl>("cbAZ").handle());

    // Esc closes and empties the result; reopened, the choices are as they were left.
    keyDown(result, VK_ESCAPE);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ("", windowText(result));
    main_->runCommand(CommandId::PasswordGenerator);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(checked(generator, "cbAZ"));
    EXPECT_EQ("8", text(generator, "edLength"));
    generator.close();
}

TEST_F(ToolsWindowTest, GeneratorCopyKeepsTheWindowAndTheGuardEmptiesTheClipboardAtTheEnd) {
    main_->runCommand(CommandId::PasswordGenerator);
    TfrmGenerator& generator = tools_->generator();
    HWND result = generator.get<TControl>("edPassword").handle();
    HWND copy = generator.get<TControl>("sbCopy").handle();
    generator.generateClick();
    const std::string password = windowText(result);
    ASSERT_EQ(15u, password.size());

    // Another window holds the clipboard open: nothing changes.
    HWND holder =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(OpenClipboard(holder));
    test::click(copy);
    CloseClipboard();
    DestroyWindow(holder);
    EXPECT_EQ(password, windowText(result));
    EXPECT_TRUE(IsWindowVisible(generator.handle()));
    EXPECT_FALSE(main_->guard().running());

    test::click(copy);
    EXPECT_EQ(password, clipboardText());
    EXPECT_EQ(password, windowText(result));
    EXPECT_TRUE(IsWindowVisible(generator.handle())); // for another copy or password
    ASSERT_TRUE(main_->guard().running());
    EXPECT_EQ(password, main_->guard().remembered());

    // 20 seconds of the guard's 100 ms ticks: the password is still there; one more step
    // and it is gone.
    for (int tick = 0; tick < 200; ++tick)
        main_->guard().tick();
    EXPECT_EQ(password, clipboardText());
    for (int tick = 0; tick < 10; ++tick)
        main_->guard().tick();
    EXPECT_FALSE(main_->guard().running());
    EXPECT_EQ("", clipboardText());
}

// --- Secure File Remover ---

TEST_F(ToolsWindowTest, RemoverAsksForTheFileAndLeavesNothingOfIt) {
    // A name that would upset a formatter that took it for a pattern.
    const std::string path = writeFile("export %s%d%n.xml", 2500);
    main_->openAnswers.push_back(path);
    main_->yesNoAnswers.push_back(true);
    main_->runCommand(CommandId::SecureFileRemover);

    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_EQ(1u, main_->dialogs.fileRequests.size());
    EXPECT_EQ("XML File|*.xml|Keyhaven Files|*.khk|All Files|*.*",
              main_->dialogs.fileRequests[0].filter);
    EXPECT_EQ(1, main_->dialogs.fileRequests[0].filterIndex);
    EXPECT_EQ(Texts{"Are you sure you want to remove file: " + path + "?"}, main_->questions);
    // A success in an information box, no warning.
    EXPECT_EQ(Texts{"File: " + path + " has been successfully removed!"}, main_->infos);
    EXPECT_TRUE(main_->warnings.empty());
}

TEST_F(ToolsWindowTest, RemoverReportsWhatItCouldNotRemoveAndKeepsTheFile) {
    struct Case {
        const char* name;
        std::size_t size;
        bool readOnly;
    };
    for (const Case& c : {Case{"locked.xml", 2500, true}, Case{"empty.xml", 0, false}}) {
        const std::string path = writeFile(c.name, c.size);
        if (c.readOnly) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        main_->warnings.clear();
        main_->yesNoAnswers.push_back(true);
        EXPECT_FALSE(tools_->removeFile(path)) << c.name;
        EXPECT_EQ(Texts{"Remove File: " + path + " Failed!"}, main_->warnings) << c.name;
        ASSERT_TRUE(std::filesystem::exists(path)) << c.name;
        EXPECT_EQ(c.size, std::filesystem::file_size(path)) << c.name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(ToolsWindowTest, RemoverCancelledOrRefusedTouchesNothingAndSaysNothing) {
    const std::string path = writeFile("keep.xml", 100);
    main_->openAnswers.push_back(std::nullopt);
    main_->runCommand(CommandId::SecureFileRemover);
    EXPECT_TRUE(main_->questions.empty());

    main_->openAnswers.push_back(path);
    main_->yesNoAnswers.push_back(false);
    main_->runCommand(CommandId::SecureFileRemover);
    EXPECT_EQ(1u, main_->questions.size());
    EXPECT_TRUE(main_->warnings.empty());
    EXPECT_EQ(100u, std::filesystem::file_size(path));
}

TEST_F(ToolsWindowTest, RemoverStartedAgainWhileOverwritingReturnsAtOnce) {
    const std::string path = writeFile("large.xml", 8 * 1024);
    // A message that the remover lets through after its first block starts it again (as
    // the menu would): no file dialog, no question, false at once, under the hourglass.
    struct Probe {
        ToolsFeature* tools;
        int runs = 0;
        bool again = true;
        bool hourglass = false;
    } probe{tools_};
    HWND helper =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(helper, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&probe));
    SetWindowLongPtrA(helper, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
                          if (msg != WM_APP) return DefWindowProcA(hwnd, msg, w, l);
                          auto* p =
                              reinterpret_cast<Probe*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
                          ++p->runs;
                          p->hourglass = GetCursor() == LoadCursorA(nullptr, IDC_WAIT);
                          p->again = p->tools->removeFile();
                          return LRESULT{0};
                      }));
    PostMessageA(helper, WM_APP, 0, 0);
    main_->yesNoAnswers.push_back(true);
    EXPECT_TRUE(tools_->removeFile(path));
    DestroyWindow(helper);

    EXPECT_EQ(1, probe.runs);
    EXPECT_FALSE(probe.again);
    EXPECT_TRUE(probe.hourglass);
    EXPECT_EQ(1u, main_->questions.size());
    EXPECT_FALSE(std::filesystem::exists(path));
}

// --- Settings ---

class SettingsDialogTest : public ToolsWindowTest {
  protected:
    // The dialog's tools with the hotkey recorded; after OK, the program's listeners of the
    // settings' change run, then the one here records what the browser entries and the
    // autorun value follow.
    struct RecordedHotkey : HotkeyRegistration {
        Texts* calls = nullptr;
        void setHotkeyRegistered(bool on) override {
            calls->push_back(on ? "hotkey on" : "hotkey off");
        }
    };

    void SetUp() override {
        ToolsWindowTest::SetUp();
        hotkey_.calls = &calls_;
        changed_ = main_->settingsChanged().subscribe([this] {
            calls_.push_back(main_->settings().withIE ? "browser add" : "browser remove");
            calls_.push_back("autorun");
        });
        auto tools = std::make_unique<ToolsFeature>(
            main_->session(), main_->settings(), main_->settingsChanged(), main_->messages(),
            main_->clipboard(), main_->guard(), main_->dialogs, hotkey_, main_->mainWindow(),
            main_->paths(), [this] {
                HWND main = main_->handle();
                return IsWindowVisible(main) ? main : nullptr;
            });
        tools_ = tools.get();
        main_->setFeature(Feature::Tools, std::move(tools));
        dialog().setFileDialogs(main_->dialogs);
    }

    TfrmSetting& dialog() { return tools_->settingsDialog(); }
    TControl& control(const char* name) { return dialog().get<TControl>(name); }
    void clickOn(const char* name) { test::click(control(name).handle()); }
    void type(const char* name, const char* value) {
        SetWindowTextA(control(name).handle(), value);
    }

    // Opens the dialog from the Tools menu and runs the steps inside it.
    void runDialog(std::vector<std::function<void()>> steps) {
        ModalSteps script(dialog(), std::move(steps));
        main_->runCommand(CommandId::Preferences);
        EXPECT_TRUE(script.finished());
    }

    Texts calls_;
    RecordedHotkey hotkey_;
    Event<>::Subscription changed_;
};

TEST_F(SettingsDialogTest, AFreshProfileShowsTheDefaults) {
    runDialog({[&] {
        HWND window = dialog().handle();
        EXPECT_EQ(window, FindWindowA("TfrmSetting", nullptr));
        EXPECT_EQ("Settings", windowText(window));
        EXPECT_FALSE(IsWindowEnabled(main_->handle())); // modal over the main window
        const std::pair<const char*, bool> boxes[] = {
            {"cbGuard", true},           {"cbMinimize", false}, {"cbMainGuard", true},
            {"cbDisplayPassword", true}, {"cbTimeout", true},   {"cbBackup", true},
            {"rbNothing", false},        {"rbEdit", true},      {"rbCopy", false},
            {"cbOpenLink", false},       {"cbAutorun", true},   {"cbTip", true},
            {"cbHotkey", true},          {"cbRemember", true},  {"cbWizard", true},
            {"cbWithIE", true},          {"cbQuit", false},
        };
        for (const auto& [name, on] : boxes)
            EXPECT_EQ(on, checked(dialog(), name)) << name;
        const std::pair<const char*, const char*> fields[] = {
            {"edMainGuard", "20"},      {"edTimeout", "3"},   {"edTimes", "2"},
            {"edHotkey", "Ctrl+Alt+M"}, {"edBackupPath", ""},
        };
        for (const auto& [name, value] : fields)
            EXPECT_EQ(value, text(dialog(), name)) << name;
        EXPECT_TRUE(ctl<QCheckBox>(dialog(), "cbMinimize").isActive());
        EXPECT_TRUE(control("edHotkey").isEnabled());
        EXPECT_FALSE(control("lbHotkeyInvalid").isShowing());
        keyDown(control("cbGuard").handle(), VK_ESCAPE);
    }});
    EXPECT_EQ((Texts{"hotkey off", "hotkey on"}), calls_);
}

TEST_F(SettingsDialogTest, OkStoresEveryChangeAndConfigIniHoldsIt) {
    runDialog({[&] {
        clickOn("cbTimeout");
        type("edMainGuard", " 45 ");
        type("edTimes", "0");
        clickOn("cbWithIE");
        clickOn("rbCopy");
        clickOn("cbQuit");
        clickOn("cbLockLogout");
        type("edBackupPath", "   ");
        chord(control("edHotkey").handle(), 'K', true, false, true);
        keyDown(control("cbGuard").handle(), VK_RETURN);
    }});
    // Before and after the dialog the hotkey, after OK the browser entries and autorun.
    EXPECT_EQ((Texts{"hotkey off", "browser remove", "autorun", "hotkey on"}), calls_);
    EXPECT_EQ(45, main_->session().settings().mainGuard);
    EXPECT_TRUE(main_->session().settings().quitOnClose);
    const std::string backup = paths_.programFolder + "backup\\";
    EXPECT_EQ(backup, main_->session().backupFolder());
    EXPECT_TRUE(std::filesystem::is_directory(backup));

    // config.ini holds them as soon as OK was pressed, not only when the program ends.
    const std::pair<const char*, std::string> keys[] = {
        {"Timeout", "1879048193"}, {"MainGuard", "45"}, {"WithIE", "0"},
        {"DblClick", "2"},         {"Quit", "1"},       {"LockLogout", "0"},
        {"HotkeyValue", "24651"},  {"Guard", "1"},      {"DisplayPassword", "1"},
    };
    for (const auto& [key, value] : keys)
        EXPECT_EQ(value, readConfig("Setting", key)) << key;
    EXPECT_EQ("2", readConfig("Backup", "Times"));
    EXPECT_EQ(backup, readConfig("Backup", "Path"));

    // Reopened: the hidden password box unchecked with 3 in its field.
    runDialog({[&] {
        EXPECT_FALSE(checked(dialog(), "cbTimeout"));
        EXPECT_EQ("3", text(dialog(), "edTimeout"));
        EXPECT_EQ("Ctrl+Shift+K", text(dialog(), "edHotkey"));
        clickOn("sbCancel");
    }});
}

TEST_F(SettingsDialogTest, CancelAndTheCloseBoxChangeNothing) {
    const Settings before = main_->settings();
    for (const bool closeBox : {false, true}) {
        runDialog({[&] {
            clickOn("cbGuard");
            clickOn("cbTip");
            type("edMainGuard", "5");
            if (closeBox)
                SendMessageA(dialog().handle(), WM_CLOSE, 0, 0);
            else
                clickOn("sbCancel");
        }});
        EXPECT_EQ(before, main_->settings());
    }
    EXPECT_EQ((Texts{"hotkey off", "hotkey on", "hotkey off", "hotkey on"}), calls_);
}

TEST_F(SettingsDialogTest, DependentControlsFollowTheirBoxes) {
    runDialog({[&] {
        auto& minimize = ctl<QCheckBox>(dialog(), "cbMinimize");
        clickOn("cbGuard");
        EXPECT_FALSE(minimize.isActive());
        clickOn("cbMinimize"); // ignored while inactive
        EXPECT_FALSE(minimize.checked());
        clickOn("cbGuard");
        EXPECT_TRUE(minimize.isActive());

        clickOn("cbHotkey");
        EXPECT_FALSE(control("edHotkey").isEnabled());
        clickOn("cbHotkey");
        EXPECT_TRUE(control("edHotkey").isEnabled());
        clickOn("sbCancel");
    }});
}

TEST_F(SettingsDialogTest, HotkeyFieldTakesOnlyCtrlOrAltChords) {
    runDialog({[&] {
        HWND field = control("edHotkey").handle();
        const std::string refusal = "A hotkey needs Ctrl or Alt together with a key.";
        struct Case {
            UINT key;
            bool ctrl, alt, shift;
            const char* shown; // the field afterwards
            bool refused;
        };
        const Case cases[] = {
            {'K', false, false, false, "Ctrl+Alt+M", true},
            {'K', false, false, true, "Ctrl+Alt+M", true},
            {VK_F5, true, false, true, "Ctrl+Shift+F5", false},
            {'Q', false, true, false, "Alt+Q", false},
            {VK_F9, false, false, false, "Alt+Q", true},
            {'O', false, true, false, "Alt+O", false}, // in the field, not the OK button
        };
        for (const Case& c : cases) {
            chord(field, c.key, c.ctrl, c.alt, c.shift);
            EXPECT_EQ(c.shown, windowText(field));
            EXPECT_EQ(c.refused, control("lbHotkeyInvalid").isShowing()) << c.shown;
            if (c.refused) {
                EXPECT_EQ(refusal, text(dialog(), "lbHotkeyInvalid"));
            }
        }
        EXPECT_EQ(ModalResult::None, dialog().modalResult());
        SetFocus(field);
        keyDown(field, VK_TAB); // Tab leaves the field
        EXPECT_NE(field, GetFocus());
        EXPECT_EQ("Alt+O", windowText(field));
        clickOn("sbOk");
    }});
    EXPECT_EQ(0x804F, main_->settings().hotkeyValue);
}

TEST_F(SettingsDialogTest, BrowseStartsAtTheBackupFolderAndOffersItsBackupSubfolder) {
    const std::string folder = dir_.file("vaults") + "\\";
    std::filesystem::create_directory(folder);
    main_->session().setBackupFolder(folder);
    main_->openAnswers.push_back(dir_.file("elsewhere"));
    runDialog({[&] {
        EXPECT_EQ(folder, text(dialog(), "edBackupPath"));
        clickOn("sbBrowse");
        EXPECT_EQ(dir_.file("elsewhere") + "\\backup\\", text(dialog(), "edBackupPath"));
        clickOn("sbCancel");
    }});
    EXPECT_EQ(Texts{folder}, main_->dialogStarts);
    EXPECT_EQ(folder, main_->session().backupFolder());
}

} // namespace
} // namespace kh::test
