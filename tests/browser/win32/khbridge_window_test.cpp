// khbridge.exe against a window of the login window's class and marker that answers like the
// program: the real request server with an entry list of two logins, and a decoy window of
// the same class without the marker that must never be asked.
#include "browser_win32.h"
#include "fake_login_store.h"
#include "json.h"
#include "native_host.h"
#include "native_host_registration.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <thread>

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
    std::string err;
};

std::wstring wide(const std::string& utf8) {
    std::wstring out(utf8.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      out.data(), static_cast<int>(out.size()));
    out.resize(n > 0 ? n : 0);
    return out;
}

// Runs khbridge.exe with these arguments (UTF-8, handed over as the system's UTF-16 command
// line) and this standard input, serving window messages while it waits. `text`: the
// output's line ends are taken back to "\n".
RunResult runBridge(const std::vector<std::string>& args, const std::string& input = "",
                    bool text = true) {
    const std::string exe = windowsPath(KH_KHBRIDGE_EXE);
    std::wstring commandLine = L"\"" + wide(exe) + L"\"";
    for (const std::string& a : args)
        commandLine += L" \"" + wide(a) + L"\"";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    HANDLE inRead = nullptr, inWrite = nullptr;
    CreatePipe(&outRead, &outWrite, &inherit, 1 << 16);
    CreatePipe(&errRead, &errWrite, &inherit, 1 << 16);
    CreatePipe(&inRead, &inWrite, &inherit, 1 << 16);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION info{};
    RunResult result;
    // Wine now and then refuses a process start under load; a second try tells that apart
    // from a missing or broken executable.
    BOOL started = FALSE;
    DWORD startError = 0;
    for (int attempt = 0; attempt < 2 && !started; ++attempt) {
        if (attempt) Sleep(500);
        started = CreateProcessW(wide(exe).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
        if (!started) startError = GetLastError();
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(inRead);
    if (!started) {
        CloseHandle(inWrite);
        CloseHandle(outRead);
        CloseHandle(errRead);
        ADD_FAILURE() << "cannot start " << exe << ": error " << startError;
        return result;
    }
    // The input may be larger than the pipe holds: written while the bridge reads it, then
    // closed, which the bridge sees as the end of its input.
    std::thread writer([inWrite, &input] {
        std::size_t done = 0;
        while (done < input.size()) {
            DWORD written = 0;
            if (!WriteFile(inWrite, input.data() + done,
                           static_cast<DWORD>(std::min<std::size_t>(input.size() - done, 4096)),
                           &written, nullptr))
                break;
            done += written;
        }
        CloseHandle(inWrite);
    });
    // The bridge blocks in SendMessage until this thread answers. The output is read as it
    // comes and never by a blocking read: a console helper that outlives the bridge may
    // still hold the pipe's other end. One deadline covers the whole run, however many
    // messages wake the wait.
    const auto drain = [](HANDLE pipe, std::string& into) {
        DWORD available = 0;
        char buffer[4096];
        while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available) {
            DWORD got = 0;
            if (!ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) ||
                got == 0)
                break;
            into.append(buffer, got);
        }
    };
    const ULONGLONG deadline = GetTickCount64() + 30000;
    for (;;) {
        drain(outRead, result.out);
        drain(errRead, result.err);
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
    drain(outRead, result.out);
    drain(errRead, result.err);
    // With the bridge gone the pipe has no reader: a write still under way fails.
    writer.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (text) {
        std::erase(result.out, '\r');
        std::erase(result.err, '\r');
    }
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

// The vault's window and a decoy of the same class without the marker, for one test.
class VaultWindows {
  public:
    VaultWindows() {
        gVault = &vault;
        // Two window classes cannot share a name in one process, so the decoy's class is
        // the real one and the vault's procedure is chosen per window.
        vaultWindow = createWindow(vaultProc, kLoginWindowClass);
        SetWindowLongPtrA(vaultWindow, GWLP_USERDATA, kLoginWindowMarker);
        // Created later, the decoy comes first in the window order.
        decoy = CreateWindowExA(0, kLoginWindowClass, "decoy", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(decoy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(decoyProc));
    }
    ~VaultWindows() {
        EXPECT_EQ(gDecoyRequests, 0);
        DestroyWindow(decoy);
        DestroyWindow(vaultWindow);
        gVault = nullptr;
    }
    bool ready() const { return vaultWindow && decoy; }

    Vault vault;
    HWND vaultWindow = nullptr;
    HWND decoy = nullptr;
};

// ---- Native messaging

std::string frame(std::string_view text) {
    const auto length = static_cast<std::uint32_t>(text.size());
    std::string out(4, '\0');
    std::memcpy(out.data(), &length, 4);
    return out.append(text);
}

std::vector<std::string> frames(std::string_view bytes) {
    std::vector<std::string> out;
    while (bytes.size() >= 4) {
        std::uint32_t length = 0;
        std::memcpy(&length, bytes.data(), 4);
        if (bytes.size() - 4 < length) break;
        out.emplace_back(bytes.substr(4, length));
        bytes.remove_prefix(4 + length);
    }
    EXPECT_TRUE(bytes.empty()) << "the output ends inside a message";
    return out;
}

std::string canonical(std::string_view text) {
    std::optional<json::Value> value = json::parse(text);
    return value ? json::serialize(*value) : "(not JSON) " + std::string(text);
}

const std::vector<std::string> kChromeLaunch = {
    std::string("chrome-extension://") + kExtensionId + "/", "--parent-window=0"};

TEST(Khbridge, NoWindowIsANegativeAnswer) {
    const RunResult r = runBridge({"status"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.err.find("not running"), std::string::npos) << r.err;

    const RunResult host = runBridge(kChromeLaunch, frame(R"({"action":"status"})"), false);
    EXPECT_EQ(host.exitCode, 0u) << host.err;
    const std::vector<std::string> replies = frames(host.out);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(canonical(replies[0]), canonical(R"({"status":"no-vault"})"));
}

// Texts on the command line and on standard input reach the vault exactly in
// Windows-1252, or nothing is sent: a Cyrillic password used to arrive as "??????", the
// same on standard input as its raw UTF-8 bytes, and a NUL ended it early, each one saved
// with "saved: yes".
TEST(Khbridge, TextsReachTheVaultExactlyOrNotAtAll) {
    VaultWindows windows;
    ASSERT_TRUE(windows.ready());
    const std::string cyrillic = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";
    struct Case {
        std::vector<std::string> args;
        std::string input;
        DWORD exitCode;
    };
    const Case cases[] = {
        {{"save", "--user", "carol", "--password", cyrillic, "--url", kPage}, "", 2},
        {{"save", "--user", cyrillic, "--password", "pw", "--url", kPage}, "", 2},
        {{"save", "--user", "carol", "--password-stdin", "--url", kPage}, cyrillic + "\n", 2},
        {{"save", "--user", "carol", "--password-stdin", "--url", kPage},
         std::string("ab\0cd\n", 6),
         2},
        {{"save", "--user", "carol", "--password-stdin", "--url", kPage}, "caf\xE9\n", 2},
        {{"save", "--user", "j\xC3\xBCrgen", "--password", "caf\xC3\xA9 \xE2\x82\xAC", "--url",
          kPage},
         "",
         0},
        {{"save", "--user", "dora", "--password-stdin", "--url", kPage}, "na\xC3\xAFve\r\n", 0},
    };
    for (const Case& c : cases) {
        const RunResult r = runBridge(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[2] << " " << c.input << "\n" << r.out << r.err;
        if (c.exitCode == 2) {
            EXPECT_EQ(r.out, "") << "nothing was sent";
        }
    }
    const test::FakeLoginStore& store = windows.vault.store;
    ASSERT_EQ(store.rows.size(), 4u);
    EXPECT_EQ(store.rows[2].title, "j\xFCrgen");
    EXPECT_EQ(store.rows[2].data, "caf\xE9 \x80");
    EXPECT_EQ(store.rows[3].title, "dora");
    EXPECT_EQ(store.rows[3].data, "na\xEFve");

    const RunResult got = runBridge({"get", "--user", "j\xC3\xBCrgen", "--url", kPage});
    EXPECT_EQ(got.exitCode, 0u);
    EXPECT_EQ(got.out, "answer: 1\ncompletion: 0x1621\nuser: j\xC3\xBCrgen\npassword: "
                       "caf\xC3\xA9 \xE2\x82\xAC\n")
        << "printed in UTF-8";
}

// The browser extension's requests through the host, started the way each browser starts
// it, one process for a whole conversation until the browser closes the port.
TEST(Khbridge, ServesTheBrowserExtension) {
    VaultWindows windows;
    ASSERT_TRUE(windows.ready());
    const std::string page = R"("url":"https://example.com/login")";
    struct Step {
        std::string request;
        std::string reply;
    };
    const std::vector<Step> conversation = {
        {R"({"id":1,"action":"status"})", R"({"id":1,"status":"ok"})"},
        {R"({"action":"find",)" + page + "}",
         R"({"status":"ok","logins":[{"user":"alice@example.com"}]})"},
        {R"({"action":"get",)" + page + R"(,"user":"alice@example.com"})",
         R"({"status":"ok","login":{"user":"alice@example.com","password":"pw-alice"}})"},
        {R"({"action":"check",)" + page + R"(,"user":"jürgen","password":"café"})",
         R"({"status":"ok","login":"new"})"},
        {R"({"action":"save",)" + page + R"(,"user":"jürgen","password":"café"})",
         R"({"status":"ok","replaced":false})"},
        {R"({"action":"get",)" + page + R"(,"user":"jürgen"})",
         R"({"status":"ok","login":{"user":"jürgen","password":"café"}})"},
        {R"({"action":"save",)" + page + R"(,"user":"bob","password":"па"})",
         R"({"status":"error","message":"the password has characters that Windows-1252 cannot hold"})"},
        {"{\"action\":",
         R"({"status":"error","message":"the message is no JSON text: unexpected end of text at byte 10"})"},
        {R"({"action":"find","url":"https://example.com/)" + std::string(70000, 'x') + "\"}",
         R"({"status":"error","message":"the message is larger than 65536 bytes"})"},
        {R"({"action":"get",)" + page + R"(,"user":"carol"})", R"({"status":"not-found"})"},
    };
    std::string input;
    for (const Step& step : conversation)
        input += frame(step.request);

    const std::vector<std::vector<std::string>> launches = {
        {"--native-messaging"},
        kChromeLaunch,
        {"C:\\Program Files\\Keyhaven\\org.keyhaven.bridge.json", kFirefoxAddonId},
    };
    for (const std::vector<std::string>& launch : launches) {
        windows.vault.store.rows.resize(2); // each conversation starts from the same logins
        const RunResult r = runBridge(launch, input, false);
        EXPECT_EQ(r.exitCode, 0u) << launch[0] << ": the port closed between messages\n" << r.err;
        const std::vector<std::string> replies = frames(r.out);
        ASSERT_EQ(replies.size(), conversation.size()) << launch[0];
        for (std::size_t i = 0; i < replies.size(); ++i)
            EXPECT_EQ(canonical(replies[i]), canonical(conversation[i].reply))
                << launch[0] << ": " << conversation[i].request.substr(0, 80);
        ASSERT_EQ(windows.vault.store.rows.size(), 3u) << launch[0];
        EXPECT_EQ(windows.vault.store.rows[2].title, "j\xFCrgen");
        EXPECT_EQ(windows.vault.store.rows[2].data, "caf\xE9");
    }

    // A generated password: the Password Generator's defaults.
    const RunResult generated =
        runBridge({"--native-messaging"}, frame(R"({"action":"generate"})"), false);
    const std::vector<std::string> replies = frames(generated.out);
    ASSERT_EQ(replies.size(), 1u);
    const std::optional<json::Value> reply = json::parse(replies[0]);
    ASSERT_TRUE(reply && reply->stringAt("password"));
    const std::string password = *reply->stringAt("password");
    EXPECT_EQ(password.size(), 15u);
    EXPECT_EQ(password.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                         "0123456789#$%&'()*+"),
              std::string::npos)
        << password;

    // Logged out, and the user does not log in when the vault asks.
    windows.vault.host.loggedIn = false;
    const RunResult out =
        runBridge({"--native-messaging"},
                  frame(R"({"action":"status"})") +
                      frame(R"({"action":"get",)" + page + R"(,"user":"alice@example.com"})"),
                  false);
    const std::vector<std::string> loggedOut = frames(out.out);
    ASSERT_EQ(loggedOut.size(), 2u);
    EXPECT_EQ(canonical(loggedOut[0]), canonical(R"({"status":"logged-out"})"));
    EXPECT_EQ(canonical(loggedOut[1]), canonical(R"({"status":"logged-out"})"));
}

TEST(Khbridge, SpeaksTheProtocolToTheMarkedLoginWindow) {
    VaultWindows windows;
    ASSERT_TRUE(windows.ready());
    Vault& vault = windows.vault;

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
}

// Registration for the browser extension from the command line: the manifests beside
// khbridge.exe, naming it, and every browser's key naming them; then all of it gone again.
TEST(Khbridge, RegistersTheBrowserExtensionsHost) {
    const std::string exe = windowsPath(KH_KHBRIDGE_EXE);
    const std::string folder = exe.substr(0, exe.rfind('\\') + 1);
    for (const BrowserFamily family : {BrowserFamily::Chromium, BrowserFamily::Firefox})
        DeleteFileA((folder + std::string(nativeHostManifestFile(family))).c_str());

    const RunResult registered = runBridge({"register"});
    ASSERT_EQ(registered.exitCode, 0u) << registered.err;
    EXPECT_EQ(registered.out, "registered: " + folder + "\n");
    EXPECT_TRUE(nativeHostRegistered(folder));
    for (const BrowserFamily family : {BrowserFamily::Chromium, BrowserFamily::Firefox}) {
        const std::string path = folder + std::string(nativeHostManifestFile(family));
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
        std::string text(4096, '\0');
        DWORD got = 0;
        ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
        CloseHandle(file);
        text.resize(got);
        EXPECT_EQ(text, nativeHostManifest(family, "khbridge.exe")) << path;
    }

    const RunResult unregistered = runBridge({"unregister"});
    EXPECT_EQ(unregistered.exitCode, 0u) << unregistered.err;
    EXPECT_FALSE(nativeHostRegistered(folder));
    for (const NativeHostKey& key : kNativeHostKeys) {
        HKEY opened = nullptr;
        EXPECT_NE(
            RegOpenKeyExA(HKEY_CURRENT_USER, std::string(key.subKey).c_str(), 0, KEY_READ, &opened),
            ERROR_SUCCESS)
            << key.browser;
    }
}

} // namespace
} // namespace kh::browser
