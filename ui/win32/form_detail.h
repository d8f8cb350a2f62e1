// Helpers the files of the form framework share; not for the program's windows.
#pragma once

#include "win32/control.h"
#include "win32/gdi.h"

#include <windows.h>

#include <cstddef>
#include <string>

namespace kh::form_detail {

inline HINSTANCE moduleInstance() {
    return GetModuleHandleA(nullptr);
}

// The screen's DPI; 96 when it cannot be read.
// Set by tests that look at windows at another DPI than the screen's; 0: the screen's.
inline int& dpiOverride() {
    static int dpi = 0;
    return dpi;
}

// The screen's DPI, which the system's metrics and fonts are given at.
inline int screenDpi() {
    WindowDc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

// The DPI a new window takes.
inline int systemDpi() {
    return dpiOverride() > 0 ? dpiOverride() : screenDpi();
}

// The DPI Windows gives a window (that of its screen under per-monitor awareness); 0
// where the system cannot tell (before Windows 10).
inline int windowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    return getDpi ? static_cast<int>(getDpi(hwnd)) : 0;
}

inline bool isEditKind(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::MaskEdit || kind == ControlKind::Memo;
}

// Messages a child window sends to its parent, which a container passes on to the form.
inline bool isParentNotification(UINT msg) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        return true;
    default:
        return false;
    }
}

inline std::string windowText(HWND hwnd) {
    if (!hwnd) return {};
    const int length = GetWindowTextLengthA(hwnd);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

} // namespace kh::form_detail
