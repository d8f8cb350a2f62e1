#include "bridge_client.h"

#include <cstdio>
#include <istream>
#include <optional>

namespace kh::bridge {

using namespace kh::browser;

namespace {

struct CommandRow {
    std::string_view name;
    Command command;
    bool user;
    bool password;
    bool url;
};

constexpr CommandRow kCommands[] = {
    {"status", Command::Status, false, false, false}, {"get", Command::Get, true, false, true},
    {"find", Command::Find, false, false, true},      {"save", Command::Save, true, true, true},
    {"check", Command::Check, true, false, true},
};

// Longer inputs would be cut by the block: a shortened password saved as if it were the
// real one is worse than a refusal.
std::optional<UsageError> checkLength(std::string_view what, std::string_view value,
                                      std::size_t max) {
    if (value.empty()) return UsageError{std::string(what) + " must not be empty"};
    if (value.size() > max)
        return UsageError{std::string(what) + " is longer than " + std::to_string(max) +
                          " characters"};
    return std::nullopt;
}

std::string hex(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", static_cast<unsigned>(value));
    return buffer;
}

} // namespace

std::string usageText() {
    return "usage: khbridge status\n"
           "       khbridge get --user USER --url URL\n"
           "       khbridge find --url URL\n"
           "       khbridge save --user USER (--password PASSWORD | --password-stdin) --url "
           "URL\n"
           "       khbridge check --user USER --url URL\n"
           "exit status: 0 success (check: the login exists; status: an account is open),\n"
           "             1 negative or missing answer, 2 usage error\n";
}

std::variant<Invocation, UsageError> parseArguments(const std::vector<std::string>& args) {
    if (args.empty()) return UsageError{"no command given"};
    const CommandRow* row = nullptr;
    for (const CommandRow& candidate : kCommands)
        if (args[0] == candidate.name) row = &candidate;
    if (!row) return UsageError{"unknown command: " + args[0]};

    Invocation inv;
    inv.command = row->command;
    bool haveUser = false, havePassword = false, haveUrl = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--password-stdin" && row->password) {
            if (havePassword) return UsageError{"the password is given twice"};
            havePassword = inv.passwordFromStdin = true;
            continue;
        }
        std::string* target = nullptr;
        bool* seen = nullptr;
        if (option == "--user" && row->user) {
            target = &inv.user;
            seen = &haveUser;
        } else if (option == "--url" && row->url) {
            target = &inv.url;
            seen = &haveUrl;
        } else if (option == "--password" && row->password) {
            seen = &havePassword;
        } else {
            return UsageError{"unexpected argument for " + args[0] + ": " + option};
        }
        if (*seen) return UsageError{option + " is given twice"};
        if (i + 1 >= args.size()) return UsageError{option + " needs a value"};
        *seen = true;
        if (target)
            *target = args[++i];
        else
            inv.password = args[++i];
    }

    std::optional<UsageError> error;
    if (row->user && !error)
        error = haveUser ? checkLength("the user name", inv.user, kMaxOutputText)
                         : UsageError{"--user is missing"};
    if (row->password && !error && !inv.passwordFromStdin)
        error = havePassword ? checkPassword(inv.password) : UsageError{"--password is missing"};
    if (row->url && !error)
        error = haveUrl ? checkLength("the URL", inv.url, kAddressField.size - 1)
                        : UsageError{"--url is missing"};
    if (error) return *error;
    return inv;
}

std::optional<SecretString> readPasswordLine(std::istream& in) {
    SecretString line;
    char c = 0;
    bool any = false;
    while (in.get(c)) {
        any = true;
        if (c == '\n') break;
        line.push_back(c);
    }
    if (!any) return std::nullopt;
    if (!line.empty() && line.view().back() == '\r') line.resize(line.size() - 1);
    return line;
}

std::optional<UsageError> checkPassword(const SecretString& password) {
    return checkLength("the password", password.view(), kMaxOutputText);
}

std::uint32_t requestMessage(Command command) {
    switch (command) {
    case Command::Get:
        return static_cast<std::uint32_t>(RequestKind::GetByTitle);
    case Command::Find:
        return static_cast<std::uint32_t>(RequestKind::FindByPage);
    case Command::Save:
        return static_cast<std::uint32_t>(RequestKind::SaveLogin);
    case Command::Status:
    case Command::Check:
        break;
    }
    return static_cast<std::uint32_t>(RequestKind::CheckLogin);
}

bool sendsBlock(Command command) {
    return command != Command::Status;
}

RequestBlock requestBlock(const Invocation& inv) {
    RequestBlock block;
    putFieldText(block, kUserNameField, inv.user);
    putFieldText(block, kPasswordField, inv.password.view());
    putFieldText(block, kAddressField, inv.url);
    return block;
}

Report reportAnswer(const Invocation& inv, std::intptr_t answer, const RequestBlock& block) {
    Report report;
    auto line = [&report](std::string_view label, std::string_view value) {
        report.text.append(label).append(": ").append(value).append("\n");
    };
    line("answer", std::to_string(answer));
    if (inv.command == Command::Status) {
        const bool open = answer == 1;
        line("logged in", open ? "yes" : "no");
        report.exitCode = open ? kExitSuccess : kExitNegative;
        return report;
    }
    const std::uint32_t code = completionCode(block);
    line("completion", hex(code));
    const bool completed = answer == 1 && code == requestMessage(inv.command);
    switch (inv.command) {
    case Command::Get:
    case Command::Find:
        if (completed) {
            line("user", fieldText(block, kUserNameField));
            line("password", fieldText(block, kPasswordField));
        }
        break;
    case Command::Save:
        line("saved", completed ? "yes" : "no");
        break;
    case Command::Check:
        // Answer 1 with code 0 is a served request that found nothing.
        line("login exists", completed ? "yes" : answer == 1 ? "no" : "unknown");
        break;
    case Command::Status:
        break;
    }
    report.exitCode = completed ? kExitSuccess : kExitNegative;
    return report;
}

} // namespace kh::bridge
