#include "khcli.h"

#include "account_file.h"
#include "text_codec.h"

#include <charconv>
#include <map>
#include <optional>
#include <set>

namespace kh::cli {
namespace {

struct Command {
    std::string_view name;
    std::set<std::string_view> required;
    std::set<std::string_view> optional;
    bool needsPassword;
};

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"create",
         {"name"},
         {"account-description", "password-description", "password-stdin"},
         true},
        {"info", {}, {}, false},
        {"hint", {"name"}, {}, false},
        {"list", {"name"}, {"password-stdin"}, true},
        {"show", {"name", "title"}, {"password-stdin"}, true},
        {"add",
         {"name", "type", "title"},
         {"whats-this", "data", "description", "password-stdin", "drop-damaged"},
         true},
        {"check", {"name"}, {"password-stdin"}, true},
        {"dump", {"name", "json"}, {"password-stdin"}, true},
    };
    return table;
}

// Options that are switches rather than carrying a value.
bool isSwitch(std::string_view option) {
    return option == "password-stdin" || option == "json" || option == "drop-damaged";
}

struct Invocation {
    const Command* command = nullptr;
    std::string file;
    std::map<std::string, std::string, std::less<>> options;

    bool has(std::string_view option) const { return options.count(option) != 0; }
    // The option as given (UTF-8); empty when absent.
    std::string utf8(std::string_view option) const {
        const auto it = options.find(option);
        return it == options.end() ? std::string() : it->second;
    }
    // The option's text as stored: Windows-1252.
    std::string text(std::string_view option) const { return utf8ToWindows1252(utf8(option)); }
};

// Reads the command line into `inv`; false with the reason in `error`.
bool parse(const std::vector<std::string>& args, Invocation& inv, std::string& error) {
    for (const Command& c : commands())
        if (c.name == args[0]) inv.command = &c;
    if (inv.command == nullptr) {
        error = "unknown command '" + args[0] + "'";
        return false;
    }
    const std::string command(inv.command->name);
    if (args.size() < 2 || args[1].rfind("--", 0) == 0) {
        error = command + " needs the account FILE first";
        return false;
    }
    inv.file = args[1];

    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument '" + arg + "'";
            return false;
        }
        std::string option = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = option.find('='); eq != std::string::npos) {
            value = option.substr(eq + 1);
            option.resize(eq);
        }
        if (!inv.command->required.count(option) && !inv.command->optional.count(option))
            error = "'" + command + "' does not take --" + option;
        else if (inv.options.count(option))
            error = "--" + option + " is given twice";
        else if (isSwitch(option) && value)
            error = "--" + option + " takes no value";
        else if (!isSwitch(option) && !value && i + 1 >= args.size())
            error = "--" + option + " needs a value";
        if (!error.empty()) return false;
        if (isSwitch(option))
            inv.options[option] = "";
        else
            inv.options[option] = value ? *value : args[++i];
    }
    for (std::string_view option : inv.command->required) {
        if (!inv.has(option)) {
            error = "missing --" + std::string(option);
            return false;
        }
    }
    if (inv.has("name") && inv.text("name").empty()) {
        error = "--name must not be empty";
        return false;
    }
    return true;
}

std::string typeName(std::int32_t type) {
    switch (type) {
    case kEntryPassword:
        return "password";
    case kEntryLink:
        return "link";
    case kEntryText:
        return "text";
    default:
        return std::to_string(type);
    }
}

std::optional<std::int32_t> parseType(std::string_view text) {
    if (text == "password") return kEntryPassword;
    if (text == "link") return kEntryLink;
    if (text == "text") return kEntryText;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// A stored text for one line of output: UTF-8 with tabs and line ends escaped.
std::string oneLine(std::string_view stored) {
    std::string out;
    for (char c : windows1252ToUtf8(stored)) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

// Conversions of secrets; the intermediate text is wiped before it is released.
SecretString secretToUtf8(std::string_view stored) {
    std::string converted = windows1252ToUtf8(stored);
    SecretString secret(converted);
    secureWipe(converted.data(), converted.capacity());
    return secret;
}

SecretString secretFromUtf8(std::string_view typed) {
    std::string converted = utf8ToWindows1252(typed);
    SecretString secret(converted);
    secureWipe(converted.data(), converted.capacity());
    return secret;
}

void appendJsonString(SecretString& out, std::string_view stored) {
    static const char* const kHex = "0123456789abcdef";
    out.push_back('"');
    const SecretString utf8 = secretToUtf8(stored);
    for (char c : utf8.view()) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n') {
            out.append("\\n");
        } else if (c == '\r') {
            out.append("\\r");
        } else if (c == '\t') {
            out.append("\\t");
        } else if (b < 0x20) {
            out.append("\\u00");
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

class Runner {
  public:
    Runner(const Invocation& inv, Console& console)
        : inv_(inv), console_(console), path_(console.filePath(inv.file)) {}

    int run() {
        const std::string_view name = inv_.command->name;
        if (name == "create") return create();
        if (name == "info") return info();
        if (name == "hint") return hint();
        if (name == "add") return add();
        LoadedAccount loaded;
        if (const int code = open(loaded); code != kExitOk) return code;
        if (name == "list") return list(loaded);
        if (name == "show") return show(loaded);
        if (name == "check") return check(loaded);
        return dump(loaded);
    }

  private:
    int fail(int code, std::string_view message) {
        console_.err("khcli: " + std::string(message) + "\n");
        return code;
    }

    // The account password, from standard input or a prompt; Windows-1252 like all texts.
    std::optional<SecretString> password(bool confirm) {
        SecretString typed;
        if (inv_.has("password-stdin")) {
            if (!console_.readLine(typed)) {
                fail(kExitUsage, "no password on standard input");
                return std::nullopt;
            }
        } else {
            if (!console_.promptHidden("Account password: ", typed)) {
                fail(kExitUsage, "no terminal to ask for the password; use --password-stdin");
                return std::nullopt;
            }
            if (confirm) {
                SecretString again;
                if (!console_.promptHidden("Repeat the password: ", again) || !(again == typed)) {
                    fail(kExitUsage, "the two passwords differ");
                    return std::nullopt;
                }
            }
        }
        SecretString stored = secretFromUtf8(typed.view());
        if (stored.empty()) {
            fail(kExitUsage, "the account password must not be empty");
            return std::nullopt;
        }
        return stored;
    }

    int open(LoadedAccount& loaded) {
        const auto pw = password(false);
        if (!pw) return kExitUsage;
        switch (readAccountFile(path_, inv_.text("name"), pw->view(), loaded)) {
        case ReadOutcome::Loaded:
            return kExitOk;
        case ReadOutcome::NotOpened:
            return fail(kExitFailed, "cannot open " + inv_.file);
        case ReadOutcome::Failed:
            break;
        }
        return fail(kExitFailed, "cannot open the account in " + inv_.file +
                                     ": wrong name or password, or the file is damaged");
    }

    // Checks that an option's stored form fits its field instead of cutting it silently.
    bool fits(std::string_view option, std::size_t max) {
        const std::string value = inv_.text(option);
        if (value.size() <= max && value.find('\0') == std::string::npos) return true;
        fail(kExitUsage,
             "--" + std::string(option) + " is longer than " + std::to_string(max) + " bytes");
        return false;
    }

    int save(LoadedAccount& loaded, std::string_view done) {
        switch (writeAccountFile(path_, loaded.account, loaded.entries)) {
        case SaveOutcome::Saved:
            console_.out(std::string(done) + "\n");
            return kExitOk;
        case SaveOutcome::NotOpened:
            return fail(kExitFailed, "cannot write " + inv_.file);
        case SaveOutcome::Failed:
            break;
        }
        return fail(kExitFailed, "saving " + inv_.file + " failed; the previous file is unchanged");
    }

    int create() {
        if (!fits("name", kMaxAccountName) || !fits("account-description", kMaxAccountText) ||
            !fits("password-description", kMaxAccountText))
            return kExitUsage;
        if (nativeFileSystem().pathKind(path_) != PathKind::Missing)
            return fail(kExitFailed, inv_.file + " already exists");
        auto pw = password(true);
        if (!pw) return kExitUsage;
        if (pw->size() > kMaxAccountPassword)
            return fail(kExitUsage, "the account password is longer than " +
                                        std::to_string(kMaxAccountPassword) + " bytes");
        LoadedAccount loaded;
        loaded.account.name = inv_.text("name");
        loaded.account.password = std::move(*pw);
        loaded.account.accountDescription = inv_.text("account-description");
        loaded.account.passwordDescription = inv_.text("password-description");
        return save(loaded, "Created " + inv_.file + ".");
    }

    int info() {
        std::string description;
        if (!readAccountDescription(path_, description))
            return fail(kExitFailed, "cannot read an account file at " + inv_.file);
        console_.out(windows1252ToUtf8(description) + "\n");
        return kExitOk;
    }

    int hint() {
        std::string description;
        if (!readPasswordDescription(path_, inv_.text("name"), description))
            return fail(kExitFailed, "cannot read the password description from " + inv_.file +
                                         ": wrong name, or not an account file");
        console_.out(windows1252ToUtf8(description) + "\n");
        return kExitOk;
    }

    int add() {
        const auto type = parseType(inv_.utf8("type"));
        if (!type) return fail(kExitUsage, "--type is password, link, text or a number");
        if (inv_.text("title").empty()) return fail(kExitUsage, "--title must not be empty");
        if (!fits("title", kMaxEntryTitle) || !fits("whats-this", kMaxEntryWhatsThis) ||
            !fits("data", kMaxEntryData) || !fits("description", kMaxEntryDescription))
            return kExitUsage;
        LoadedAccount loaded;
        if (const int code = open(loaded); code != kExitOk) return code;
        if (loaded.droppedRecords > 0 && !inv_.has("drop-damaged"))
            return fail(kExitFailed, std::to_string(loaded.droppedRecords) +
                                         " damaged record(s) would be lost by saving; run "
                                         "'khcli check', keep a copy, then add --drop-damaged");
        AccountEntry& entry = loaded.entries.emplace_back();
        entry.type = *type;
        entry.title = inv_.text("title");
        entry.whatsThis = inv_.text("whats-this");
        entry.data = secretFromUtf8(inv_.utf8("data"));
        entry.description = inv_.text("description");
        return save(loaded, "Added \"" + inv_.utf8("title") + "\".");
    }

    int list(const LoadedAccount& loaded) {
        std::string out;
        for (const AccountEntry& e : loaded.entries)
            out += typeName(e.type) + "\t" + oneLine(e.title) + "\t" + oneLine(e.whatsThis) + "\t" +
                   oneLine(e.description) + "\n";
        console_.out(out);
        return kExitOk;
    }

    int show(const LoadedAccount& loaded) {
        const std::string title = inv_.text("title");
        SecretString out;
        int found = 0;
        for (const AccountEntry& e : loaded.entries) {
            if (e.title != title) continue;
            if (found++ > 0) out.append("\n");
            out.append("Type: " + typeName(e.type) + "\n");
            out.append("Title: " + windows1252ToUtf8(e.title) + "\n");
            out.append("What's this: " + windows1252ToUtf8(e.whatsThis) + "\n");
            out.append("Data: ").append(secretToUtf8(e.data.view()).view());
            out.append("\nDetails: " + windows1252ToUtf8(e.description) + "\n");
        }
        if (found == 0) return fail(kExitFailed, "no entry titled \"" + inv_.utf8("title") + "\"");
        console_.out(out.view());
        return kExitOk;
    }

    int check(const LoadedAccount& loaded) {
        console_.out("Account \"" + windows1252ToUtf8(loaded.account.name) +
                     "\" opened: " + std::to_string(loaded.entries.size()) + " entries, " +
                     std::to_string(loaded.droppedRecords) + " damaged records dropped.\n");
        return kExitOk;
    }

    int dump(const LoadedAccount& loaded) {
        const Account& a = loaded.account;
        SecretString json;
        json.append("{\"name\":");
        appendJsonString(json, a.name);
        json.append(",\"password\":");
        appendJsonString(json, a.password.view());
        json.append(",\"accountDescription\":");
        appendJsonString(json, a.accountDescription);
        json.append(",\"passwordDescription\":");
        appendJsonString(json, a.passwordDescription);
        json.append(",\"droppedRecords\":" + std::to_string(loaded.droppedRecords));
        json.append(",\"entries\":[");
        for (std::size_t i = 0; i < loaded.entries.size(); ++i) {
            const AccountEntry& e = loaded.entries[i];
            json.append(i == 0 ? "{" : ",{");
            json.append("\"type\":" + std::to_string(e.type) + ",\"title\":");
            appendJsonString(json, e.title);
            json.append(",\"whatsThis\":");
            appendJsonString(json, e.whatsThis);
            json.append(",\"data\":");
            appendJsonString(json, e.data.view());
            json.append(",\"description\":");
            appendJsonString(json, e.description);
            json.append(",\"fileOffset\":" + std::to_string(e.fileOffset) + "}");
        }
        json.append("]}\n");
        console_.out(json.view());
        return kExitOk;
    }

    const Invocation& inv_;
    Console& console_;
    const std::string path_; // inv_.file for the file functions
};

} // namespace

std::string usageText() {
    return "Usage: khcli COMMAND FILE [options]\n"
           "\n"
           "Commands:\n"
           "  create FILE --name N [--account-description T] [--password-description T]\n"
           "                        create a new account file with no entries\n"
           "  info FILE             print the account description\n"
           "  hint FILE --name N    print the password description\n"
           "  list FILE --name N    list the entries, without their secrets\n"
           "  show FILE --name N --title T\n"
           "                        print the entries with that title, secret included\n"
           "  add FILE --name N --type password|link|text|NUMBER --title T\n"
           "      [--whats-this T] [--data T] [--description T] [--drop-damaged]\n"
           "                        add one entry and save the account\n"
           "  check FILE --name N   open the account and count damaged records\n"
           "  dump FILE --name N --json\n"
           "                        print the whole account as one JSON object\n"
           "\n"
           "Commands that open an account ask for its password without echo, or read\n"
           "one line of standard input with --password-stdin. Options also take the\n"
           "form --option=value. Texts are UTF-8 and stored as Windows-1252.\n"
           "\n"
           "Exit codes: 0 done; 1 cannot open the file, wrong name or password, no such\n"
           "entry, or not saved; 2 usage error or unusable input.\n";
}

int run(const std::vector<std::string>& args, Console& console) {
    if (args.empty()) {
        console.err(usageText());
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        console.out(usageText());
        return kExitOk;
    }
    Invocation inv;
    std::string error;
    if (!parse(args, inv, error)) {
        console.err("khcli: " + error + "\nRun 'khcli --help' for usage.\n");
        return kExitUsage;
    }
    return Runner(inv, console).run();
}

} // namespace kh::cli
