// khbridge.exe: finds the vault's login window and sends it one request, the way a browser
// bridge does; with --native-messaging it serves a browser extension instead.
#include "bridge_client.h"
#include "browser_win32.h"
#include "native_host.h"
#include "native_host_registration.h"
#include "native_messaging.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <variant>
#include <vector>

namespace {

// A request may bring up the login dialog: the user gets this long to log in.
constexpr UINT kWaitForTheUser = 10 * 60 * 1000;

void print(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

int usage(const std::string& message) {
    print(stderr, "khbridge: " + message + "\n" + kh::bridge::usageText());
    return kh::bridge::kExitUsage;
}

// The arguments after the program name as the system has them: the narrow argv would
// already hold "?" for every character outside the system's code page.
std::vector<std::wstring> wideArguments() {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i)
        args.emplace_back(wide[i]);
    LocalFree(wide);
    return args;
}

// One message to the window; false when it did not answer. A vault that stops answering
// (hung, not merely waiting for the user to log in) must not hang the bridge: the system
// gives up on a window that processes no messages.
bool sendRequest(HWND window, std::uint32_t message, LPARAM block, DWORD_PTR& answer) {
    return SendMessageTimeoutA(window, message, GetCurrentProcessId(), block,
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, kWaitForTheUser, &answer) != 0;
}

// ---- Native messaging

class StdInput : public kh::bridge::ByteSource {
  public:
    std::size_t read(std::span<std::uint8_t> into) override {
        DWORD got = 0;
        if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), into.data(), static_cast<DWORD>(into.size()),
                      &got, nullptr))
            return 0; // a closed pipe ends the input like an end of file
        return got;
    }
};

class StdOutput : public kh::bridge::ByteSink {
  public:
    bool write(std::span<const std::uint8_t> bytes) override {
        const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD wrote = 0;
            if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                           &wrote, nullptr) ||
                wrote == 0)
                return false;
            done += wrote;
        }
        return true;
    }
};

// The window is looked for anew for every request: the vault may start or end meanwhile.
class WindowVault : public kh::bridge::Vault {
  public:
    std::optional<bool> loggedIn() override {
        const HWND window = kh::browser::findLoginWindow();
        DWORD_PTR answer = 0;
        if (!window || !sendRequest(window, requestMessage(kh::bridge::Command::Status), 0, answer))
            return std::nullopt;
        return answer == 1;
    }

    std::optional<std::intptr_t> send(kh::browser::RequestKind kind,
                                      kh::browser::RequestBlock& block) override {
        const HWND window = kh::browser::findLoginWindow();
        DWORD_PTR answer = 0;
        if (!window || !sendRequest(window, static_cast<std::uint32_t>(kind),
                                    reinterpret_cast<LPARAM>(block.data()), answer))
            return std::nullopt;
        return static_cast<std::intptr_t>(answer);
    }
};

int serveBrowser() {
    // Lengths and UTF-8 pass untouched: no line-end or end-of-file translation.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    StdInput in;
    StdOutput out;
    WindowVault vault;
    return kh::bridge::serveNativeMessaging(in, out, vault, kh::systemRandom());
}

// ---- Registration of the host

std::string narrow(const std::wstring& wide, UINT codePage, bool& exact) {
    BOOL lossy = FALSE;
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* usedDefault = codePage == CP_UTF8 ? nullptr : &lossy;
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, usedDefault);
    std::string out(n > 0 ? n : 0, '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, usedDefault);
    exact = !lossy && (n > 0 || wide.empty());
    return out;
}

bool writeFile(const std::wstring& path, const std::string& text) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    return CloseHandle(file) && ok;
}

// The manifests beside this program, naming it, and the browsers' keys naming them.
int registerHost() {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (n == 0) return kh::bridge::kExitNegative;
        if (n < self.size()) {
            self.resize(n);
            break;
        }
        self.resize(self.size() * 2);
    }
    const std::size_t cut = self.rfind(L'\\') + 1;
    const std::wstring folder = self.substr(0, cut);
    bool exactFolder = false, exactName = false;
    const std::string ansiFolder = narrow(folder, CP_ACP, exactFolder);
    const std::string name = narrow(self.substr(cut), CP_UTF8, exactName);
    // The registry's values are ANSI texts: a folder they cannot name would register a path
    // the browsers cannot find.
    if (!exactFolder || !exactName) {
        print(stderr, "khbridge: the program's folder has characters outside the system's code "
                      "page; nothing registered\n");
        return kh::bridge::kExitNegative;
    }
    for (const auto family :
         {kh::browser::BrowserFamily::Chromium, kh::browser::BrowserFamily::Firefox}) {
        const std::string_view file = kh::browser::nativeHostManifestFile(family);
        if (!writeFile(folder + std::wstring(file.begin(), file.end()),
                       kh::browser::nativeHostManifest(family, name))) {
            print(stderr, "khbridge: cannot write " + ansiFolder + std::string(file) + "\n");
            return kh::bridge::kExitNegative;
        }
    }
    if (!kh::browser::registerNativeHost(ansiFolder)) {
        print(stderr, "khbridge: cannot write the browsers' registry keys\n");
        return kh::bridge::kExitNegative;
    }
    print(stdout, "registered: " + ansiFolder + "\n");
    return kh::bridge::kExitSuccess;
}

int unregisterHost() {
    if (!kh::browser::removeNativeHost()) {
        print(stderr, "khbridge: cannot remove the browsers' registry keys\n");
        return kh::bridge::kExitNegative;
    }
    print(stdout, "unregistered\n");
    return kh::bridge::kExitSuccess;
}

} // namespace

int main() {
    using namespace kh::bridge;
    std::vector<std::wstring> wide = wideArguments();
    std::vector<std::u16string_view> args;
    for (const std::wstring& arg : wide)
        args.emplace_back(reinterpret_cast<const char16_t*>(arg.data()), arg.size());
    // What the browser passes beyond that says nothing the host needs.
    if (isNativeMessagingLaunch(args)) return serveBrowser();
    auto parsed = parseUtf16Arguments(args);
    for (std::wstring& arg : wide)
        kh::secureWipe(arg.data(), arg.size() * sizeof(wchar_t));
    if (auto* error = std::get_if<UsageError>(&parsed)) return usage(error->message);
    Invocation& inv = std::get<Invocation>(parsed);
    if (inv.command == Command::Register) return registerHost();
    if (inv.command == Command::Unregister) return unregisterHost();
    if (inv.passwordFromStdin) {
        _setmode(_fileno(stdin), _O_BINARY); // the line end is taken off by the reader
        std::optional<kh::SecretString> line = readPasswordLine(std::cin);
        if (!line) return usage("no password on standard input");
        auto password = decodePasswordLine(*line);
        if (auto* error = std::get_if<UsageError>(&password)) return usage(error->message);
        inv.password = std::move(std::get<kh::SecretString>(password));
    }

    const HWND window = kh::browser::findLoginWindow();
    if (!window) {
        print(stderr, "khbridge: the vault is not running (no login window found)\n");
        return kExitNegative;
    }

    kh::browser::RequestBlock block = requestBlock(inv);
    const LPARAM address = sendsBlock(inv.command) ? reinterpret_cast<LPARAM>(block.data()) : 0;
    DWORD_PTR answer = 0;
    if (!sendRequest(window, requestMessage(inv.command), address, answer)) {
        print(stderr, "khbridge: the vault did not answer\n");
        return kExitNegative;
    }
    const Report report = reportAnswer(inv, static_cast<std::intptr_t>(answer), block);
    print(stdout, report.text.view());
    return report.exitCode;
}
