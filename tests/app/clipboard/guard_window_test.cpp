// The Password Guard's window (TfrmGuard) and the real clipboard under Wine: the window's
// design and place, that it never takes the focus, the countdown driven by its timer, the
// stop button and dragging, the clipboard as another program sees it (xclip), the formats
// that keep a copied secret out of clipboard history, and the copy commands of the main
// window that start it.
#include "../clipboard/command_fakes.h"
#include "../win32/main_window_fixture.h"
#include "clipboard_feature.h"
#include "tfrm_guard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh::test {
namespace {

// Runs a shell command on the Linux side. Wine starts Unix programs through CreateProcess,
// but without the standard handles it is given and without a process handle to wait on,
// so the output goes to a file and a second file says the command has finished. None when
// it did not finish within five seconds.
std::optional<std::string> runShell(const std::string& command) {
    static int counter = 0;
    const std::string base = "/tmp/kh-clipboard-test-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(++counter);
    std::string line =
        "/bin/sh -c \"" + command + " >" + base + ".out 2>/dev/null; echo >" + base + ".done\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return std::nullopt;
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    const auto windowsPath = [](std::string path) {
        for (char& c : path)
            if (c == '/') c = '\\';
        return "Z:" + path;
    };
    const std::string done = windowsPath(base + ".done");
    const std::string out = windowsPath(base + ".out");
    for (int wait = 0; wait < 100 && GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES;
         ++wait)
        pumpFor(50);
    if (GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    std::string output;
    HANDLE file = CreateFileA(out.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
            output.append(buffer, got);
        CloseHandle(file);
    }
    DeleteFileA(out.c_str());
    DeleteFileA(done.c_str());
    return output;
}

// The clipboard as the X side sees it; none when xclip did not run.
std::optional<std::string> xclipRead(const char* target = nullptr) {
    return runShell(std::string("/usr/bin/xclip -o -selection clipboard") +
                    (target ? std::string(" -t ") + target : ""));
}
// Wine hands the clipboard to X a moment after it changed: true when X shows `want`
// within two seconds.
bool xclipShows(const std::string& want) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (xclipRead().value_or("<none>") == want) return true;
        pumpFor(100);
    }
    return false;
}
bool xclipAvailable() {
    return GetFileAttributesA("Z:\\usr\\bin\\xclip") != INVALID_FILE_ATTRIBUTES;
}
// Another program takes the clipboard with a text of its own (letters and digits only).
void xclipWrite(const std::string& text) {
    runShell("printf %s " + text + " | /usr/bin/xclip -i -selection clipboard");
}

class GuardWindowTest : public ::testing::Test {
  protected:
    GuardWindowTest() { guard.attach(window, "Guarding...\n."); }
    ~GuardWindowTest() override { guard.detach(); }

    HWND part(const char* name) { return window.get<TControl>(name).handle(); }
    void copy(const std::string& text) {
        ASSERT_TRUE(writeClipboardChecked(clipboard, text));
        guard.guardClipboard(text);
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i)
            SendMessageA(window.handle(), WM_TIMER, TfrmGuard::kTickTimer, 0);
    }
    std::string clipboardNow() {
        std::optional<SecretString> text = clipboard.text();
        return text ? std::string(text->view()) : "<none>";
    }

    SystemClipboard clipboard;
    FakeMainWindow main;
    GuardOptions options;
    PasswordGuard guard{clipboard, main, [this] { return options; }};
    TfrmGuard window{guard};
};

TEST_F(GuardWindowTest, DesignPlaceAndLook) {
    ASSERT_TRUE(window.create());
    HWND hwnd = window.handle();
    EXPECT_EQ(hwnd, FindWindowA("TfrmGuard", nullptr));
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(window.scale(168), client.right);
    EXPECT_EQ(window.scale(45), client.bottom);
    const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrA(hwnd, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_TRUE(style & WS_BORDER);
    EXPECT_EQ(0, style & WS_DLGFRAME) << "no caption bar";
    for (LONG_PTR bit : std::initializer_list<LONG_PTR>{WS_EX_LAYERED, WS_EX_TOPMOST,
                                                        WS_EX_NOACTIVATE, WS_EX_TOOLWINDOW})
        EXPECT_TRUE(exStyle & bit) << std::hex << bit;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags));
    EXPECT_EQ(180, alpha);
    EXPECT_TRUE(flags & LWA_ALPHA);

    // At the right edge of the work area, centred vertically.
    RECT work{}, frame{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(hwnd, &frame);
    EXPECT_EQ(work.right, frame.right);
    EXPECT_NEAR((work.top + work.bottom) / 2, (frame.top + frame.bottom) / 2, 1);

    struct Place {
        const char* name;
        RECT expected;
    };
    const Place places[] = {
        {"imGuard", {2, 2, 43, 43}}, {"Label1", {47, 8, 146, 40}}, {"sbStop", {147, 1, 167, 21}}};
    for (const Place& p : places) {
        RECT r{};
        GetWindowRect(part(p.name), &r);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(window.scale(p.expected.left), r.left) << p.name;
        EXPECT_EQ(window.scale(p.expected.top), r.top) << p.name;
        EXPECT_EQ(window.scale(p.expected.right), r.right) << p.name;
        EXPECT_EQ(window.scale(p.expected.bottom), r.bottom) << p.name;
    }
    EXPECT_EQ("Guarding:..", window.labelText()) << "the design text";
}

TEST_F(GuardWindowTest, ShowsOnTopWithoutTakingTheFocus) {
    HWND other = CreateWindowExA(0, "EDIT", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                                 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, other);
    SetForegroundWindow(other);
    SetFocus(other);
    pumpFor(50);
    ASSERT_EQ(other, GetActiveWindow());

    copy("secret");
    pumpFor(100);
    EXPECT_TRUE(IsWindowVisible(window.handle()));
    EXPECT_TRUE(window.timerRunning());
    EXPECT_EQ(other, GetActiveWindow());
    EXPECT_EQ(other, GetFocus());
    EXPECT_EQ(MA_NOACTIVATE, SendMessageA(window.handle(), WM_MOUSEACTIVATE,
                                          reinterpret_cast<WPARAM>(window.handle()),
                                          MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)));
    // A click on the stop button leaves the focus where it was.
    click(part("sbStop"));
    EXPECT_EQ(other, GetFocus());
    EXPECT_FALSE(IsWindowVisible(window.handle()));
    DestroyWindow(other);
}

TEST_F(GuardWindowTest, TheTimerCountsDownAndEmptiesTheRealClipboard) {
    copy("secret-1");
    EXPECT_EQ("Guarding...\n.", window.labelText());
    EXPECT_EQ(0, window.imageShown());
    ticks(10);
    EXPECT_EQ("Guarding...\n..", window.labelText());
    EXPECT_EQ(0, window.imageShown());
    ticks(10 * 19);
    EXPECT_EQ("Guarding...\n." + std::string(20, '.'), window.labelText());
    EXPECT_EQ(19, window.imageShown());
    ticks(9);
    EXPECT_EQ("secret-1", clipboardNow());
    ticks(1);
    EXPECT_EQ("<none>", clipboardNow()) << "21 s after the copy";
    EXPECT_FALSE(IsWindowVisible(window.handle()));
    EXPECT_FALSE(window.timerRunning());
}

TEST_F(GuardWindowTest, ARealTimerEndsAShortGuard) {
    options.guardTime = 1; // one tick a step: 2.1 s
    copy("short");
    pumpFor(1500);
    EXPECT_EQ("short", clipboardNow());
    pumpFor(1500);
    EXPECT_EQ("<none>", clipboardNow());
    EXPECT_FALSE(IsWindowVisible(window.handle()));
}

TEST_F(GuardWindowTest, AnotherProgramsTextIsLeftAlone) {
    ASSERT_TRUE(xclipAvailable()) << "xclip plays the other program; scripts/setup.sh installs it";
    copy("secret-2");
    xclipWrite("theirs");
    ASSERT_EQ("theirs", clipboardNow()) << "Wine reads what the X side holds";
    ticks(210);
    EXPECT_FALSE(IsWindowVisible(window.handle()));
    EXPECT_EQ("theirs", clipboardNow());
    EXPECT_TRUE(xclipShows("theirs"));
}

TEST_F(GuardWindowTest, StopButtonKeepsTheClipboard) {
    copy("kept");
    ticks(35);
    click(part("sbStop"));
    EXPECT_FALSE(guard.running());
    EXPECT_FALSE(IsWindowVisible(window.handle()));
    EXPECT_FALSE(window.timerRunning());
    ticks(300);
    EXPECT_EQ("kept", clipboardNow());
}

TEST_F(GuardWindowTest, DraggedByAnyPartButTheStopButton) {
    copy("drag");
    for (const char* name : {"imGuard", "Label1"}) {
        RECT r{};
        GetWindowRect(part(name), &r);
        EXPECT_EQ(HTTRANSPARENT,
                  SendMessageA(part(name), WM_NCHITTEST, 0, MAKELPARAM(r.left + 2, r.top + 2)))
            << name << " lets the mouse through to the window";
    }
    RECT stop{};
    GetWindowRect(part("sbStop"), &stop);
    EXPECT_NE(HTTRANSPARENT, SendMessageA(part("sbStop"), WM_NCHITTEST, 0,
                                          MAKELPARAM(stop.left + 2, stop.top + 2)));

    RECT before{};
    GetWindowRect(window.handle(), &before);
    HWND hwnd = window.handle();
    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 30));
    SendMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 20)); // now 30, 20 further
    SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 20));
    RECT after{};
    GetWindowRect(hwnd, &after);
    EXPECT_EQ(before.left + 25, after.left);
    EXPECT_EQ(before.top + 30, after.top);
    SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(60, 60));
    RECT still{};
    GetWindowRect(hwnd, &still);
    EXPECT_EQ(after.left, still.left) << "the drag ends with the button";
    EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST(SystemClipboardFormats, ACopiedTextStaysOutOfHistoryAndCloudAndReadsBack) {
    SystemClipboard clipboard;
    ASSERT_TRUE(writeClipboardChecked(clipboard, "private-text"));
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    for (const char* name : {"ExcludeClipboardContentFromMonitorProcessing",
                             "CanIncludeInClipboardHistory", "CanUploadToCloudClipboard"}) {
        const UINT format = RegisterClipboardFormatA(name);
        ASSERT_NE(0u, format);
        EXPECT_TRUE(IsClipboardFormatAvailable(format)) << name;
        HANDLE data = GetClipboardData(format);
        ASSERT_NE(nullptr, data) << name;
        const auto* value = static_cast<const DWORD*>(GlobalLock(data));
        ASSERT_NE(nullptr, value);
        if (std::string(name) != "ExcludeClipboardContentFromMonitorProcessing") {
            EXPECT_EQ(0u, *value) << name;
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ("private-text", std::string(clipboard.text()->view()));
    if (xclipAvailable()) {
        EXPECT_TRUE(xclipShows("private-text"));
        const std::string targets = xclipRead("TARGETS").value_or("");
        EXPECT_NE(std::string::npos, targets.find("CanIncludeInClipboardHistory")) << targets;
    }
}

// The main window's copy commands start the guard through the feature's window.
class GuardMainTest : public MainWindowFixture {
  protected:
    TfrmGuard* guardWindow() {
        return static_cast<ClipboardFeature*>(main_->feature(Feature::Clipboard))->guardWindow();
    }
};

TEST_F(GuardMainTest, CtrlCCopiesTheSecretAndTheGuardWindowComesUp) {
    writeConfig("Setting", "GuardTime", "2");
    openWindow();
    login();
    EXPECT_EQ(nullptr, guardWindow()) << "created on first use";
    HWND all = list(EntryView::lvPassword);
    selectOnly(all, 3); // wifi
    press(all, 'C', true);
    ASSERT_NE(nullptr, guardWindow());
    EXPECT_TRUE(IsWindowVisible(guardWindow()->handle()));
    EXPECT_EQ("Entry wifi has been copied to the Clipboard!", main_->statusText());
    SystemClipboard clipboard;
    EXPECT_EQ("Mango", std::string(clipboard.text().value_or(SecretString("<none>")).view()));
    for (int i = 0; i < 21; ++i)
        SendMessageA(guardWindow()->handle(), WM_TIMER, TfrmGuard::kTickTimer, 0);
    EXPECT_FALSE(clipboard.hasText());
    EXPECT_FALSE(IsWindowVisible(guardWindow()->handle()));

    // The Tools menu item turns the guard off: the next copy stays.
    main_->runCommand(CommandId::PasswordGuard);
    EXPECT_FALSE(main_->settings().guard);
    press(all, 'C', true);
    EXPECT_FALSE(IsWindowVisible(guardWindow()->handle()));
    EXPECT_TRUE(clipboard.hasText());
    main_->runCommand(CommandId::PasswordGuard);
    EXPECT_TRUE(main_->settings().guard);
}

TEST_F(GuardMainTest, MinimizeHidesTheMainWindowButNotForAReplace) {
    writeConfig("Setting", "Minimize", "1");
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    selectOnly(all, 1); // Bank
    SystemClipboard clipboard;
    ASSERT_TRUE(clipboard.setText("new-bank-pw"));
    main_->yesNoAnswers.push_back(true);
    press(all, 'R', true); // Replace From Clipboard: the text came from the clipboard
    EXPECT_TRUE(main_->mainWindowVisible());
    EXPECT_TRUE(IsWindowVisible(guardWindow()->handle()));
    EXPECT_EQ("Bank [new-bank-pw]", main_->bannerText());
    EXPECT_EQ(kIconChanged, icon(all, 1));

    press(all, 'C', true); // a copy: the main window goes
    EXPECT_FALSE(main_->mainWindowVisible());
    EXPECT_EQ("new-bank-pw", std::string(clipboard.text().value_or(SecretString()).view()));
}

TEST_F(GuardMainTest, OpenAsWebLocationRefusesWhatIsNoWebAddress) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    // Forum's address has no scheme: it is not opened.
    selectOnly(all, 4);
    main_->runCommand(CommandId::ContextOpenWebLocation);
    ASSERT_EQ(1u, main_->warnings.size());
    EXPECT_NE(std::string::npos, main_->warnings[0].find("forum.example.net/board"));
    EXPECT_TRUE(main_->mainWindowVisible());
}

} // namespace
} // namespace kh::test
