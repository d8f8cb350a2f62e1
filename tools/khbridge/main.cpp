// khbridge.exe: finds the vault's login window and sends it one request, the way a browser
// bridge does.
#include "bridge_client.h"
#include "browser_win32.h"

#include <windows.h>

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

} // namespace

int main(int argc, char** argv) {
    using namespace kh::bridge;
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto parsed = parseArguments(args);
    if (auto* error = std::get_if<UsageError>(&parsed)) return usage(error->message);
    Invocation& inv = std::get<Invocation>(parsed);
    if (inv.passwordFromStdin) {
        std::optional<kh::SecretString> password = readPasswordLine(std::cin);
        if (!password) return usage("no password on standard input");
        if (auto error = checkPassword(*password)) return usage(error->message);
        inv.password = std::move(*password);
    }

    const HWND window = kh::browser::findLoginWindow();
    if (!window) {
        print(stderr, "khbridge: the vault is not running (no login window found)\n");
        return kExitNegative;
    }

    kh::browser::RequestBlock block = requestBlock(inv);
    const LPARAM address = sendsBlock(inv.command) ? reinterpret_cast<LPARAM>(block.data()) : 0;
    // A vault that stops answering (hung, not merely waiting for the user to log in) must
    // not hang the bridge: the system gives up on a window that processes no messages.
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, requestMessage(inv.command), GetCurrentProcessId(), address,
                             SMTO_ABORTIFHUNG | SMTO_BLOCK, kWaitForTheUser, &answer)) {
        print(stderr, "khbridge: the vault did not answer\n");
        return kExitNegative;
    }
    const Report report = reportAnswer(inv, static_cast<std::intptr_t>(answer), block);
    print(stdout, report.text.view());
    return report.exitCode;
}
