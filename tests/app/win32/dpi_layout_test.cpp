// The program's windows on screens of 96, 120, 144 and 192 DPI: every child window lies
// inside its parent and every caption fits its control. A process takes the screen's DPI
// (LogPixels in the registry) once, at its start, so the test starts itself once per DPI
// with that value set. The executable carries the program's own manifest, so it is as
// DPI-aware as Keyhaven.exe.
#include "main_window_fixture.h"

#include "feature_handler.h"
#include "tfrm_show_bug.h"
#include "win32/caption_fit.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kh::test {
namespace {

constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr char kChildTest[] = "DpiLayoutTest.EveryChildLiesInsideItsParentAndEveryCaptionFits";

std::string className(HWND window) {
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string describe(HWND window) {
    std::ostringstream text;
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    text << className(window) << " \"" << caption << "\"";
    return text.str();
}

// Every visible descendant of `top` whose rectangle leaves its parent's client area.
void collectEscapes(HWND parent, std::vector<std::string>& escapes) {
    RECT room{};
    GetClientRect(parent, &room);
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        // An etched line is made two pixels longer than asked for (by the system's static
        // control): its ends may pass the edge it is drawn to, which clips them.
        const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
        const bool etchedLine =
            className(child) == "Static" &&
            ((style & SS_TYPEMASK) == SS_ETCHEDHORZ || (style & SS_TYPEMASK) == SS_ETCHEDVERT);
        RECT box{};
        GetWindowRect(child, &box);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&box), 2);
        const LONG slack = etchedLine ? 2 : 0;
        if (box.left < room.left - slack || box.top < room.top - slack ||
            box.right > room.right + slack || box.bottom > room.bottom + slack) {
            std::ostringstream text;
            text << describe(child) << " at (" << box.left << "," << box.top << ")-(" << box.right
                 << "," << box.bottom << ") outside " << describe(parent) << " (" << room.right
                 << "x" << room.bottom << ")";
            escapes.push_back(text.str());
        }
        collectEscapes(child, escapes);
    }
}

// The test's screen has the same pixels at every DPI, so at 192 DPI it is half as large as
// any real screen Windows scales that far. Windows of this test may be as large as on a
// screen of the same size in 96-DPI units: the largest size a window may take (the screen
// plus its frame) grows with the DPI. Every top-level window is subclassed as it is made,
// before it asks for that size.
int gScreenDpi = 96;
LRESULT CALLBACK largerScreen(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR) {
    const LRESULT result = DefSubclassProc(window, msg, wParam, lParam);
    if (msg == WM_GETMINMAXINFO) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxTrackSize.x = MulDiv(info->ptMaxTrackSize.x, gScreenDpi, 96);
        info->ptMaxTrackSize.y = MulDiv(info->ptMaxTrackSize.y, gScreenDpi, 96);
    } else if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(window, largerScreen, 1);
    }
    return result;
}

LRESULT CALLBACK onWindowMade(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const auto* made = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
        if (!(made->lpcs->style & WS_CHILD))
            SetWindowSubclass(reinterpret_cast<HWND>(wParam), largerScreen, 1, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class DpiLayoutTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        WindowDc screen(nullptr);
        gScreenDpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
        hook_ = SetWindowsHookExA(WH_CBT, onWindowMade, nullptr, GetCurrentThreadId());
        ASSERT_NE(nullptr, hook_);
    }
    void TearDown() override {
        closeWindow();
        if (hook_) UnhookWindowsHookEx(hook_);
    }

  private:
    HHOOK hook_ = nullptr;
};

// Run by the test below at each DPI, and on its own at the screen's DPI.
TEST_F(DpiLayoutTest, EveryChildLiesInsideItsParentAndEveryCaptionFits) {
    openWindow();
    login();
    pumpFor(50);
    const char* expected = std::getenv("KH_EXPECT_DPI");
    if (expected) {
        ASSERT_EQ(std::atoi(expected), main_->mainWindow().dpi());
    }
    const int dpi = main_->mainWindow().dpi();

    // The main window in use (logged in, with rows) and every other window of the program.
    std::vector<std::string> escapes;
    collectEscapes(main_->handle(), escapes);
    for (int f = 0; f < static_cast<int>(Feature::Count); ++f) {
        if (FeatureHandler* handler = main_->feature(static_cast<Feature>(f)))
            handler->createWindows();
    }
    TfrmShowBug bug(main_->messages());
    bug.create();
    ASSERT_GE(TForm::openForms().size(), 12u);

    HDC dc = CreateCompatibleDC(nullptr);
    int checked = 0;
    for (TForm* form : TForm::openForms()) {
        EXPECT_EQ(dpi, form->dpi()) << form->className();
        if (form->handle() != main_->handle()) {
            // Hidden windows lay out their children all the same; look at them shown.
            const bool shown = IsWindowVisible(form->handle());
            if (!shown) ShowWindow(form->handle(), SW_SHOWNOACTIVATE);
            collectEscapes(form->handle(), escapes);
            if (!shown) ShowWindow(form->handle(), SW_HIDE);
        }
        for (const auto& control : form->controls()) {
            const std::string caption = control->text();
            const std::optional<CaptionRoom> room = control->captionRoom();
            if (caption.empty() || !room) continue;
            ++checked;
            EXPECT_EQ(0, captionOverflow(dc, control->captionFont(), caption, *room))
                << form->className() << "." << control->name() << " \"" << caption << "\" at "
                << dpi << " DPI";
        }
    }
    DeleteDC(dc);
    EXPECT_GT(checked, 100);
    for (const std::string& escape : escapes)
        ADD_FAILURE() << escape << " at " << dpi << " DPI";
}

// The screen's DPI for processes started from now on; the old value comes back at the end.
class ScreenDpi {
  public:
    ScreenDpi() {
        RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr);
        DWORD size = sizeof old_;
        DWORD type = 0;
        hadValue_ = key_ &&
                    RegQueryValueExA(key_, "LogPixels", nullptr, &type,
                                     reinterpret_cast<BYTE*>(&old_), &size) == ERROR_SUCCESS &&
                    type == REG_DWORD;
    }
    ~ScreenDpi() {
        if (!key_) return;
        if (hadValue_)
            set(static_cast<int>(old_));
        else
            RegDeleteValueA(key_, "LogPixels");
        RegCloseKey(key_);
    }
    ScreenDpi(const ScreenDpi&) = delete;
    ScreenDpi& operator=(const ScreenDpi&) = delete;

    bool set(int dpi) {
        const DWORD value = static_cast<DWORD>(dpi);
        return key_ &&
               RegSetValueExA(key_, "LogPixels", 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
    }

  private:
    HKEY key_ = nullptr;
    DWORD old_ = 96;
    bool hadValue_ = false;
};

struct ChildRun {
    DWORD exitCode = 1;
    std::string output;
};

// This executable again with only the layout test, at `dpi`, its output in a file.
ChildRun runLayoutAt(int dpi, const std::string& outputFile) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = "\"" + std::string(self) + "\" --gtest_filter=" + kChildTest;
    SetEnvironmentVariableA("KH_EXPECT_DPI", std::to_string(dpi).c_str());

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    ChildRun run;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 120000) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 3);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        run.output = "could not start " + command;
    }
    CloseHandle(out);
    SetEnvironmentVariableA("KH_EXPECT_DPI", nullptr);
    std::ifstream in(outputFile, std::ios::binary);
    run.output += std::string(std::istreambuf_iterator<char>(in), {});
    return run;
}

TEST(DpiLayout, TheWindowsFitAt96_120_144And192Dpi) {
    TempDir dir;
    ScreenDpi screen;
    for (const int dpi : {96, 120, 144, 192}) {
        ASSERT_TRUE(screen.set(dpi));
        const ChildRun run = runLayoutAt(dpi, dir.file("run-" + std::to_string(dpi) + ".txt"));
        EXPECT_EQ(0u, run.exitCode) << "at " << dpi << " DPI:\n" << run.output;
        // A run that found no test would also end with 0.
        EXPECT_NE(std::string::npos, run.output.find("[  PASSED  ] 1 test"))
            << "at " << dpi << " DPI:\n"
            << run.output;
    }
}

} // namespace
} // namespace kh::test
