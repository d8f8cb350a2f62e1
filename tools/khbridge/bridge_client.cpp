#include "bridge_client.h"

#include "text_codec.h"

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
    {"status", Command::Status, false, false, false},
    {"get", Command::Get, true, false, true},
    {"find", Command::Find, false, false, true},
    {"save", Command::Save, true, true, true},
    {"check", Command::Check, true, false, true},
    {"register", Command::Register, false, false, false},
    {"unregister", Command::Unregister, false, false, false},
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

// UTF-16 to UTF-8, allocated once at its final size (an argument may be a password); none
// for a lone surrogate.
std::optional<SecretString> utf16ToUtf8(std::u16string_view text) {
    std::size_t length = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return std::nullopt;
            length += 4;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        } else {
            length += c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        }
    }
    SecretString out;
    out.resize(length);
    std::size_t at = 0;
    const auto put = [&out, &at](std::uint32_t byte) { out[at++] = static_cast<char>(byte); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (cp < 0x80) {
            put(cp);
        } else if (cp < 0x800) {
            put(0xC0 | (cp >> 6));
            put(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            put(0xE0 | (cp >> 12));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        } else {
            put(0xF0 | (cp >> 18));
            put(0x80 | ((cp >> 12) & 0x3F));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

// Exact Windows-1252 into a secret; none when the text cannot be held exactly.
std::optional<SecretString> toWindows1252(std::string_view utf8) {
    std::optional<std::string> converted = utf8ToWindows1252Exact(utf8);
    if (!converted) return std::nullopt;
    SecretString out(*converted);
    wipeString(*converted);
    return out;
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
           "       khbridge register     (the browser extension's host: manifests beside\n"
           "                              khbridge.exe, keys for Chrome, Edge, Chromium, Firefox)\n"
           "       khbridge unregister\n"
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

std::variant<Invocation, UsageError>
parseUtf16Arguments(const std::vector<std::u16string_view>& args) {
    std::vector<std::string> converted;
    converted.reserve(args.size());
    std::optional<UsageError> error;
    for (std::size_t i = 0; i < args.size() && !error; ++i) {
        std::optional<SecretString> utf8 = utf16ToUtf8(args[i]);
        std::optional<SecretString> text = utf8 ? toWindows1252(utf8->view()) : std::nullopt;
        // The argument itself is not shown: it may be the password.
        if (!text)
            error = UsageError{"argument " + std::to_string(i + 1) +
                               " has characters that Windows-1252 cannot hold"};
        else
            converted.emplace_back(text->view());
    }
    std::variant<Invocation, UsageError> result =
        error ? std::variant<Invocation, UsageError>(*error) : parseArguments(converted);
    for (std::string& text : converted)
        wipeString(text);
    return result;
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

std::variant<SecretString, UsageError> decodePasswordLine(const SecretString& utf8) {
    if (utf8.view().find('\0') != std::string_view::npos)
        return UsageError{"the password on standard input holds a NUL character"};
    std::optional<SecretString> password = toWindows1252(utf8.view());
    if (!password)
        return UsageError{"the password on standard input is not UTF-8 text that Windows-1252 "
                          "can hold exactly"};
    if (std::optional<UsageError> error = checkPassword(*password)) return *error;
    return std::move(*password);
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
    case Command::Register:
    case Command::Unregister:
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
            line("user", windows1252ToUtf8(fieldText(block, kUserNameField)));
            std::string password = windows1252ToUtf8(fieldText(block, kPasswordField));
            line("password", password);
            wipeString(password);
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
    case Command::Register:
    case Command::Unregister:
        break;
    }
    report.exitCode = completed ? kExitSuccess : kExitNegative;
    return report;
}

} // namespace kh::bridge
