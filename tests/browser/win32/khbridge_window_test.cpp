// khbridge.exe against a window of the login window's class and marker that answers like the
// program: the real request server with an entry list of two logins, and a decoy window of
// the same class without the marker that must never be asked.
#include "browser_win32.h"
#include "fake_login_store.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>

namespace kh::browser {
namespace {

const std::string kPage = "https://example.com/login";

class SwitchableHost : public RequestHost {
  public:
    bool isLoggedIn() override { return loggedIn; }
    bool ensureLoggedIn() override { return loggedIn; }
    void endRequest() override { ++ended; }
    bool loggedIn = true;
    int ended = 0;
};

struct Vault {
    test::FakeLoginStore store{{test::link("alice@example.com", kPage, "pw-alice"),
                                test::link("bob", "example.org", "pw-bob")}};
    SwitchableHost host;
    WindowsProcessMemory memory;
    RequestServer server{store, host, memory};
};

Vault* gVault = nullptr;
int gDecoyRequests = 0;

LRESULT CALLBACK vaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (gVault && RequestServer::isRequestMessage(message))
        return gVault->server.serve(message, wParam, static_cast<std::uintptr_t>(lParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK decoyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (RequestServer::isRequestMessage(message)) {
        ++gDecoyRequests;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string windowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path; // Wine's drive for the Unix root
    }
    return path;
}

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
};

// Runs khbridge.exe with these arguments, serving window messages while it waits.
RunResult runBridge(const std::vector<std::string>& args, const std::string& input = "") {
    const std::string exe = windowsPath(KH_KHBRIDGE_EXE);
    std::string commandLine = "\"" + exe + "\"";
    for (const std::string& a : args)
        commandLine += " \"" + a + "\"";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr, inWrite = nullptr;
    CreatePipe(&outRead, &outWrite, &inherit, 1 << 16);
    CreatePipe(&inRead, &inWrite, &inherit, 1 << 16);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    DWORD written = 0;
    if (!input.empty())
        WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(inWrite);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = outWrite;
    PROCESS_INFORMATION info{};
    RunResult result;
    // Wine now and then refuses a process start under load; a second try tells that apart
    // from a missing or broken executable.
    BOOL started = FALSE;
    DWORD startError = 0;
    for (int attempt = 0; attempt < 2 && !started; ++attempt) {
        if (attempt) Sleep(500);
        started = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
        if (!started) startError = GetLastError();
    }
    CloseHandle(outWrite);
    CloseHandle(inRead);
    if (!started) {
        CloseHandle(outRead);
        ADD_FAILURE() << "cannot start " << exe << ": error " << startError;
        return result;
    }
    // The bridge blocks in SendMessage until this thread answers. The output is read as it
    // comes and never by a blocking read: a console helper that outlives the bridge may
    // still hold the pipe's other end. One deadline covers the whole run, however many
    // messages wake the wait.
    const auto drain = [&] {
        DWORD available = 0;
        char buffer[4096];
        while (PeekNamedPipe(outRead, nullptr, 0, nullptr, &available, nullptr) && available) {
            DWORD got = 0;
            if (!ReadFile(outRead, buffer, std::min<DWORD>(available, sizeof buffer), &got,
                          nullptr) ||
                got == 0)
                break;
            result.out.append(buffer, got);
        }
    };
    const ULONGLONG deadline = GetTickCount64() + 30000;
    for (;;) {
        drain();
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            TerminateProcess(info.hProcess, 99);
            WaitForSingleObject(info.hProcess, 5000);
            ADD_FAILURE() << "khbridge did not finish";
            break;
        }
        const DWORD wait = MsgWaitForMultipleObjects(
            1, &info.hProcess, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 100)),
            QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    GetExitCodeProcess(info.hProcess, &result.exitCode);
    drain();
    CloseHandle(outRead);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    std::erase(result.out, '\r');
    return result;
}

HWND createWindow(WNDPROC proc, const char* className) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(0, className, "Welcome To Keyhaven", WS_OVERLAPPED, 0, 0, 100, 100,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

TEST(Khbridge, NoWindowIsANegativeAnswer) {
    const RunResult r = runBridge({"status"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.out.find("not running"), std::string::npos) << r.out;
}

TEST(Khbridge, SpeaksTheProtocolToTheMarkedLoginWindow) {
    // Two window classes cannot share a name in one process, so the decoy's class is the
    // real one and the vault's procedure is chosen per window.
    Vault vault;
    gVault = &vault;
    const HWND vaultWindow = createWindow(vaultProc, kLoginWindowClass);
    ASSERT_TRUE(vaultWindow);
    SetWindowLongPtrA(vaultWindow, GWLP_USERDATA, kLoginWindowMarker);
    // Created later, the decoy comes first in the window order.
    const HWND decoy = CreateWindowExA(0, kLoginWindowClass, "decoy", WS_OVERLAPPED, 0, 0, 10, 10,
                                       nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(decoy);
    SetWindowLongPtrA(decoy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(decoyProc));

    struct Case {
        std::vector<std::string> args;
        std::string input;
        DWORD exitCode;
        std::string out;
    };
    const Case cases[] = {
        {{"status"}, "", 0, "answer: 1\nlogged in: yes\n"},
        {{"get", "--user", "alice", "--url", "https://example.com/account"},
         "",
         0,
         "answer: 1\ncompletion: 0x1621\nuser: alice@example.com\npassword: pw-alice\n"},
        {{"get", "--user", "carol", "--url", kPage}, "", 1, "answer: 0\ncompletion: 0x0000\n"},
        {{"find", "--url", "http://example.org/x"},
         "",
         0,
         "answer: 1\ncompletion: 0x1625\nuser: bob\npassword: pw-bob\n"},
        {{"check", "--user", "alice@example.com", "--url", kPage},
         "",
         0,
         "answer: 1\ncompletion: 0x1627\nlogin exists: yes\n"},
        {{"check", "--user", "carol", "--url", kPage},
         "",
         1,
         "answer: 1\ncompletion: 0x0000\nlogin exists: no\n"},
        {{"save", "--user", "carol", "--password-stdin", "--url", kPage},
         " new pw\r\n",
         0,
         "answer: 1\ncompletion: 0x1623\nsaved: yes\n"},
        {{"get", "--user", "carol", "--url", kPage},
         "",
         0,
         "answer: 1\ncompletion: 0x1621\nuser: carol\npassword:  new pw\n"},
        {{"save", "--user", "carol", "--password", "second", "--url", kPage},
         "",
         0,
         "answer: 1\ncompletion: 0x1623\nsaved: yes\n"},
    };
    for (const Case& c : cases) {
        const RunResult r = runBridge(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << "\n" << r.out;
        EXPECT_EQ(r.out, c.out) << c.args[0];
    }
    ASSERT_EQ(vault.store.rows.size(), 3u) << "the second save replaced the password";
    EXPECT_EQ(vault.store.rows[2].data, "second");

    vault.host.loggedIn = false;
    EXPECT_EQ(runBridge({"status"}).exitCode, 1u);
    const RunResult refused = runBridge({"get", "--user", "alice", "--url", kPage});
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_EQ(refused.out, "answer: 0\ncompletion: 0x0000\n");
    EXPECT_EQ(runBridge({"get", "--user", "alice"}).exitCode, 2u);

    EXPECT_EQ(gDecoyRequests, 0);
    DestroyWindow(decoy);
    DestroyWindow(vaultWindow);
    gVault = nullptr;
}

} // namespace
} // namespace kh::browser
