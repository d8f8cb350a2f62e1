// Keyhaven.exe start window: shows the program icon and version and runs the cipher
// self-test before anything could touch an account file.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "resource_ids.h"
#include "self_test.h"
#include "version.h"

#include <string>

namespace {

constexpr char kWindowClass[] = "TfrmMain";
constexpr int kIdClose = 100;

struct FormState {
    bool selfTestPassed = false;
    HFONT titleFont = nullptr;
    HFONT textFont = nullptr;
    HICON bigIcon = nullptr;
    HWND closeButton = nullptr;
};

FormState* stateOf(HWND hwnd) {
    return reinterpret_cast<FormState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

void paint(HWND hwnd, const FormState& state) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));

    DrawIconEx(dc, 24, 24, state.bigIcon, 96, 96, 0, nullptr, DI_NORMAL);

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0x12, 0x3a, 0x66));
    HGDIOBJ old = SelectObject(dc, state.titleFont);
    TextOutA(dc, 140, 30, "Keyhaven", 8);
    SelectObject(dc, state.textFont);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    const std::string version = std::string("Version ") + KH_VERSION_TEXT;
    TextOutA(dc, 142, 72, version.c_str(), static_cast<int>(version.size()));
    const char* verdict =
        state.selfTestPassed ? "Cipher self-test: passed" : "Cipher self-test: FAILED";
    SetTextColor(dc, state.selfTestPassed ? RGB(0x1a, 0x7f, 0x37) : RGB(0xc0, 0x1c, 0x1c));
    TextOutA(dc, 142, 96, verdict, static_cast<int>(lstrlenA(verdict)));
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    FormState* state = stateOf(hwnd);
    switch (msg) {
    case WM_CREATE: {
        HINSTANCE instance = reinterpret_cast<CREATESTRUCTA*>(lParam)->hInstance;
        state->titleFont = CreateFontA(-28, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                       CLEARTYPE_QUALITY, 0, "Tahoma");
        state->textFont = CreateFontA(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                      CLEARTYPE_QUALITY, 0, "Tahoma");
        state->bigIcon = static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(IDI_KEYHAVEN), IMAGE_ICON, 96, 96, 0));
        state->closeButton = CreateWindowExA(
            0, "BUTTON", "Close", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 88,
            28, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdClose)), instance, nullptr);
        SendMessageA(state->closeButton, WM_SETFONT, reinterpret_cast<WPARAM>(state->textFont),
                     TRUE);
        SetFocus(state->closeButton);
        return 0;
    }
    case WM_SIZE:
        MoveWindow(state->closeButton, LOWORD(lParam) - 88 - 16, HIWORD(lParam) - 28 - 14, 88, 28,
                   TRUE);
        return 0;
    case WM_PAINT:
        paint(hwnd, *state);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kIdClose || LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        DeleteObject(state->titleFont);
        DeleteObject(state->textFont);
        if (state->bigIcon) DestroyIcon(state->bigIcon);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    FormState state;
    state.selfTestPassed = kh::cryptoSelfTest();

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = formProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KEYHAVEN));
    wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_KEYHAVEN), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&wc)) return 1;

    RECT frame{0, 0, 420, 190};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    HWND hwnd = CreateWindowExA(0, kWindowClass, "Keyhaven", style,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                nullptr, nullptr, instance, &state);
    if (hwnd == nullptr) return 1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // Dialog keys: Enter and Escape close, Tab moves between controls.
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            DestroyWindow(hwnd);
            continue;
        }
        if (IsDialogMessageA(hwnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return state.selfTestPassed ? 0 : 2;
}
