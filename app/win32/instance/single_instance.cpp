#include "single_instance.h"

#include "tfrm_login.h"
#include "version.h"

#include <cstring>

namespace kh {
namespace {

BOOL CALLBACK matchLoginWindow(HWND window, LPARAM found) {
    if (GetWindowLongPtrA(window, GWLP_USERDATA) != kInstanceMarker) return TRUE;
    char name[128] = {};
    if (GetClassNameA(window, name, sizeof name) == 0) return TRUE;
    if (std::strcmp(name, "TfrmKeyhavenLogin") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

} // namespace

std::string instanceMutexName() {
    return "Keyhaven " KH_VERSION_TEXT " single instance";
}

HWND findRunningInstance() {
    HWND found = nullptr;
    EnumWindows(&matchLoginWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool handOverToRunningInstance() {
    // Held until the process ends; never closed.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, instanceMutexName().c_str());
    if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS) return false;
    HWND running = findRunningInstance();
    if (!running) return false;
    // This process was just started by the user, so it may hand the foreground on.
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    if (process != 0) AllowSetForegroundWindow(process);
    SetForegroundWindow(running);
    return PostMessageA(running, kActivationMessage, kActivationMarker, 0) != FALSE;
}

} // namespace kh
