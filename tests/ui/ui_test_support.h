// Driving real windows from a test: mouse clicks and keys as window messages, and a
// message pump that runs for a while so that timers fire.
#pragma once

#include <windows.h>

#include <string>

namespace kh::test {

inline void clickAt(HWND hwnd, int x, int y) {
    const LPARAM point = MAKELPARAM(x, y);
    SendMessageA(hwnd, WM_MOUSEMOVE, 0, point);
    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(hwnd, WM_LBUTTONUP, 0, point);
}

inline void click(HWND hwnd) {
    clickAt(hwnd, 4, 4);
}

// The same, queued: for windows that are only pumped by a modal loop started later.
inline void postClick(HWND hwnd) {
    PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

inline void keyDown(HWND hwnd, UINT key) {
    SendMessageA(hwnd, WM_KEYDOWN, key, 1);
}

// Alt+key as Windows delivers it: WM_SYSKEYDOWN with the context bit set.
inline void altKey(HWND hwnd, UINT key) {
    SendMessageA(hwnd, WM_SYSKEYDOWN, key, 1 | (1L << 29));
    SendMessageA(hwnd, WM_SYSCHAR, key | 0x20, 1 | (1L << 29));
}

// Sets or clears Shift in this thread's keyboard state (what GetKeyState reads).
inline void setShift(bool down) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = down ? 0x80 : 0;
    SetKeyboardState(state);
}

inline void pumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    MSG msg;
    while (GetTickCount() - start < milliseconds) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
}

inline std::string windowText(HWND hwnd) {
    char buffer[512] = {};
    GetWindowTextA(hwnd, buffer, sizeof(buffer));
    return buffer;
}

} // namespace kh::test
