#include "single_instance.h"

#include "browser_win32.h"
#include "version.h"

#include <tlhelp32.h>

#include <cstring>

namespace kh {
namespace {

// The process that started this one; 0 when it cannot be told.
DWORD parentProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == self) {
            parent = entry.th32ParentProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return parent;
}

} // namespace

std::string instanceMutexName() {
    return "Keyhaven " KH_VERSION_TEXT " single instance";
}

bool handOverToRunningInstance() {
    // Held until the process ends; never closed.
    HANDLE mutex = CreateMutexA(nullptr, FALSE, instanceMutexName().c_str());
    if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS) return false;
    HWND running = browser::findLoginWindow();
    if (!running) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    // The instance that started this one is ending and restarting the program (its
    // crash report asked for it, possibly before its windows went): handing over to it
    // would leave no instance at all.
    if (process != 0 && process == parentProcess()) return false;
    // This process was just started by the user, so it may hand the foreground on.
    if (process != 0) AllowSetForegroundWindow(process);
    SetForegroundWindow(running);
    return PostMessageA(running, kActivationMessage, kActivationMarker, 0) != FALSE;
}

} // namespace kh
