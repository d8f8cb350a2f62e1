#include "khcli.h"

#include "account_file.h"
#include "generator.h"
#include "import_formats.h"
#include "import_texts.h"
#include "message_table.h"
#include "search.h"
#include "text_codec.h"
#include "text_format.h"
#include "xml_interchange.h"

#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <system_error>

namespace kh::cli {
namespace {

// What the program's login boxes take: an account made with more could never be opened
// there.
constexpr std::size_t kLoginNameChars = 150;
constexpr std::size_t kLoginPasswordChars = 75;

// The message when some imported or exported entries were not carried whole.
std::string cutNote(int cut) {
    return " " + std::to_string(cut) +
           " of them had texts longer than the account file holds; they were cut.";
}

std::string notRestorableNote(int count) {
    return " " + std::to_string(count) +
           " of them cannot be imported back intact from this file; keep the account file.";
}

// A stored text fits a field when the field holds all of it.
bool fitsField(std::string_view stored, std::size_t max) {
    return stored.size() <= max && stored.find('\0') == std::string_view::npos;
}

struct Command {
    std::string_view name;
    std::set<std::string_view> required;
    std::set<std::string_view> optional;
    bool needsPassword;
    bool takesFile = true;
};

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"create",
         {"name"},
         {"account-description", "password-description", "password-stdin", "protection"},
         true},
        {"info", {}, {}, false},
        {"protect", {"name", "protection"}, {"password-stdin", "drop-damaged"}, true},
        {"hint", {"name"}, {}, false},
        {"list", {"name"}, {"password-stdin"}, true},
        {"show", {"name", "title"}, {"password-stdin"}, true},
        {"add",
         {"name", "type", "title"},
         {"whats-this", "data", "data-stdin", "description", "password-stdin", "drop-damaged"},
         true},
        {"check", {"name"}, {"password-stdin"}, true},
        {"dump", {"name", "json"}, {"password-stdin"}, true},
        {"export", {"name"}, {"output", "password-stdin"}, true},
        {"import", {"name", "input"}, {"from", "password-stdin", "drop-damaged"}, true},
        {"find", {"name", "text"}, {"case-sensitive", "in", "all", "password-stdin"}, true},
        {"generate",
         {},
         {"length", "no-upper", "no-lower", "no-special", "no-digits"},
         false,
         false},
    };
    return table;
}

// Options whose values are stored in an account or compared with what is stored: they
// must convert to Windows-1252 exactly, or a name or secret would silently become another.
bool isAccountText(std::string_view option) {
    static const std::set<std::string_view> texts = {"name",
                                                     "title",
                                                     "whats-this",
                                                     "data",
                                                     "description",
                                                     "account-description",
                                                     "password-description",
                                                     "text"};
    return texts.count(option) != 0;
}

// Why a text was refused, after what it is ("--title", "the account password").
const char* const kNotExact = " holds a character that Windows-1252 lacks, or bytes that are "
                              "not UTF-8; it is refused rather than stored changed";

// Options that are switches rather than carrying a value.
bool isSwitch(std::string_view option) {
    static const std::set<std::string_view> switches = {
        "password-stdin", "data-stdin", "json",       "drop-damaged", "case-sensitive", "all",
        "no-upper",       "no-lower",   "no-special", "no-digits"};
    return switches.count(option) != 0;
}

// Conversions of secrets; the intermediate text is wiped before it is released.
SecretString secretToUtf8(std::string_view stored) {
    std::string converted = windows1252ToUtf8(stored);
    SecretString secret(converted);
    secureWipe(converted.data(), converted.capacity());
    return secret;
}

// Exactly, or not at all: none when a character has no Windows-1252 form or the UTF-8 is
// malformed.
std::optional<SecretString> secretFromUtf8(std::string_view typed) {
    std::optional<std::string> converted = utf8ToWindows1252Exact(typed);
    if (!converted) return std::nullopt;
    SecretString secret(*converted);
    secureWipe(converted->data(), converted->capacity());
    return secret;
}

struct Invocation {
    const Command* command = nullptr;
    std::string file;
    // Values as given (UTF-8). An entry's data may be among them, so every value is held
    // the way secrets are.
    std::map<std::string, SecretString, std::less<>> options;
    // The account texts among them as stored: Windows-1252, converted exactly.
    std::map<std::string, SecretString, std::less<>> stored;

    bool has(std::string_view option) const { return options.count(option) != 0; }
    // The option as given (UTF-8); empty when absent. Not for secrets.
    std::string utf8(std::string_view option) const {
        const auto it = options.find(option);
        return it == options.end() ? std::string() : std::string(it->second.view());
    }
    // An account text's option as stored; empty when absent. Not for secrets.
    std::string text(std::string_view option) const {
        const auto it = stored.find(option);
        return it == stored.end() ? std::string() : std::string(it->second.view());
    }
    // The same for an option that holds a secret.
    SecretString secretText(std::string_view option) const {
        const auto it = stored.find(option);
        return it == stored.end() ? SecretString() : it->second;
    }
};

// Reads the command line into `inv`; false with the reason in `error`. The values stay in
// `args` and `inv` only: no other copy is made of them.
bool parse(const std::vector<std::string>& args, Invocation& inv, std::string& error) {
    for (const Command& c : commands())
        if (c.name == args[0]) inv.command = &c;
    if (inv.command == nullptr) {
        error = "unknown command '" + args[0] + "'";
        return false;
    }
    const std::string command(inv.command->name);
    std::size_t first = 1;
    if (inv.command->takesFile) {
        if (args.size() < 2 || args[1].rfind("--", 0) == 0) {
            error = command + " needs the account FILE first";
            return false;
        }
        inv.file = args[1];
        first = 2;
    }

    for (std::size_t i = first; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument '" + std::string(arg) + "'";
            return false;
        }
        std::string_view body = arg.substr(2);
        std::optional<std::string_view> value;
        if (const auto eq = body.find('='); eq != std::string_view::npos) {
            value = body.substr(eq + 1);
            body = body.substr(0, eq);
        }
        const std::string option(body);
        // A value never takes the next option: "--name --password-stdin" lacks a name
        // (a value that starts with "--" is given as --name=--value).
        const bool valueFollows =
            i + 1 < args.size() && std::string_view(args[i + 1]).rfind("--", 0) != 0;
        if (!inv.command->required.count(option) && !inv.command->optional.count(option))
            error = "'" + command + "' does not take --" + option;
        else if (inv.options.count(option))
            error = "--" + option + " is given twice";
        else if (isSwitch(option) && value)
            error = "--" + option + " takes no value";
        else if (!isSwitch(option) && !value && !valueFollows)
            error = "--" + option + " needs a value";
        if (!error.empty()) return false;
        SecretString& stored = inv.options[option];
        if (value)
            stored = *value;
        else if (!isSwitch(option))
            stored = std::string_view(args[++i]);
    }
    for (std::string_view option : inv.command->required) {
        if (!inv.has(option)) {
            error = "missing --" + std::string(option);
            return false;
        }
    }
    for (const auto& [option, value] : inv.options) {
        if (!isAccountText(option)) continue;
        std::optional<SecretString> exact = secretFromUtf8(value.view());
        if (!exact) {
            error = "--" + option + kNotExact;
            return false;
        }
        inv.stored[option] = std::move(*exact);
    }
    if (inv.has("name") && inv.text("name").empty()) {
        error = "--name must not be empty";
        return false;
    }
    if (inv.has("data") && inv.has("data-stdin")) {
        error = "--data and --data-stdin exclude each other";
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

// khcli speaks English: the message table's defaults, with no language file loaded.
const MessageTable& messages() {
    static const MessageTable table;
    return table;
}

const std::string& message(Msg msg) {
    return messages().text(msg);
}

// The entry text form with the English templates and type names.
const InterchangeTexts& interchangeTexts() {
    static const InterchangeTexts texts = [] {
        InterchangeTexts t;
        t.fileHeader = message(Msg::filexml);
        t.itemTemplate = message(Msg::itemxml);
        t.passwordName = message(Msg::passwordtext);
        t.linkName = message(Msg::linktext);
        t.textName = message(Msg::texttext);
        t.unknownName = message(Msg::unknowntext);
        return t;
    }();
    return texts;
}

// Whether two names lead to one existing file, however they are spelt (links, letter
// case, look-alike characters).
bool sameFile(const std::string& a, const std::string& b) {
    const std::optional<FileIdentity> first = fileIdentity(a);
    return first && first == fileIdentity(b);
}

// The fields a find looks in, from a comma-separated list; none for an unknown name.
std::optional<SearchRequest> searchFields(std::string_view list) {
    SearchRequest request;
    request.inTitle = request.inWhatsThis = request.inPassword = request.inDetail = false;
    for (;;) {
        const std::size_t comma = list.find(',');
        const std::string_view field = list.substr(0, comma);
        if (field == "title")
            request.inTitle = true;
        else if (field == "whatsthis")
            request.inWhatsThis = true;
        else if (field == "password")
            request.inPassword = true;
        else if (field == "detail")
            request.inDetail = true;
        else
            return std::nullopt;
        if (comma == std::string_view::npos) return request;
        list.remove_prefix(comma + 1);
    }
}

class Runner {
  public:
    Runner(const Invocation& inv, Console& console, const Environment& env)
        : inv_(inv), console_(console), env_(env), path_(inv.file) {}

    int run() {
        const std::string_view name = inv_.command->name;
        if (name == "create") return create();
        if (name == "info") return info();
        if (name == "protect") return protect();
        if (name == "hint") return hint();
        if (name == "add") return add();
        if (name == "export") return exportEntries();
        if (name == "import") return importEntries();
        if (name == "find") return find();
        if (name == "generate") return generate();
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

    FileSystem& fs() { return env_.fileSystem ? *env_.fileSystem : nativeFileSystem(); }

    // The account password, from standard input or a prompt, as stored: Windows-1252.
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
        std::optional<SecretString> stored = secretFromUtf8(typed.view());
        if (!stored) {
            fail(kExitUsage, std::string("the account password") + kNotExact);
            return std::nullopt;
        }
        if (stored->empty()) {
            fail(kExitUsage, "the account password must not be empty");
            return std::nullopt;
        }
        return stored;
    }

    // Reads the account from `opened` (a file opened under the save lock), else by name.
    int readAccount(std::string_view password, LoadedAccount& loaded, SdrFile* opened = nullptr) {
        const ReadOutcome outcome =
            opened ? readAccountFile(*opened, inv_.text("name"), password, loaded)
                   : readAccountFile(path_, inv_.text("name"), password, loaded);
        switch (outcome) {
        case ReadOutcome::Loaded:
            return kExitOk;
        case ReadOutcome::NotOpened:
            return fail(kExitFailed, "cannot open " + inv_.file);
        case ReadOutcome::WrongCredentials:
            break;
        case ReadOutcome::Damaged:
            return fail(kExitFailed, "cannot open the account in " + inv_.file +
                                         ": the file is damaged or no account file (a strong "
                                         "file is refused whole: restore a backup copy)");
        }
        return fail(kExitFailed, "cannot open the account in " + inv_.file +
                                     ": wrong name or password, or the file is damaged");
    }

    int open(LoadedAccount& loaded) {
        const auto pw = password(false);
        if (!pw) return kExitUsage;
        return readAccount(pw->view(), loaded);
    }

    // Takes the lock that every save of the account file takes and holds it in `update`
    // until the save has replaced the file: no other khcli run and no save of the program
    // can come between the read and the save. Then opens the file under it; `file` is
    // left closed when there is none.
    int lockAccountFile(LockedUpdate& update, SdrFile& file, bool& missing) {
        switch (update.lock(path_, env_.lockWait)) {
        case LockedUpdate::Lock::Held:
            break;
        case LockedUpdate::Lock::Busy:
            return fail(kExitFailed, inv_.file + " is being saved by another process (Keyhaven or "
                                                 "khcli); nothing was written, try again");
        case LockedUpdate::Lock::Failed:
            return fail(kExitFailed, "cannot write " + inv_.file);
        }
        switch (update.open(file)) {
        case LockedUpdate::Read::Opened:
            missing = false;
            return kExitOk;
        case LockedUpdate::Read::Missing:
            missing = true;
            return kExitOk;
        case LockedUpdate::Read::Failed:
            break;
        }
        return fail(kExitFailed, "cannot open " + inv_.file);
    }

    // Reads the account under the save lock held by `update`.
    int openLocked(LockedUpdate& update, std::string_view password, LoadedAccount& loaded) {
        SdrFile file;
        bool missing = false;
        if (const int code = lockAccountFile(update, file, missing); code != kExitOk) return code;
        if (missing) return fail(kExitFailed, "cannot open " + inv_.file);
        return readAccount(password, loaded, &file);
    }

    // Checks that an option's stored form fits its field instead of cutting it silently.
    bool fits(std::string_view option, std::size_t max) {
        if (fitsField(inv_.text(option), max)) return true;
        fail(kExitUsage,
             "--" + std::string(option) + " is longer than " + std::to_string(max) + " bytes");
        return false;
    }

    // Saves through `update`, which holds the lock since the read and refuses to replace a
    // file that changed meanwhile.
    int save(LoadedAccount& loaded, std::string_view done, LockedUpdate& update) {
        switch (writeAccountFile(path_, loaded.account, loaded.entries, update)) {
        case SaveOutcome::Saved:
            console_.out(std::string(done) + "\n");
            return kExitOk;
        case SaveOutcome::NotOpened:
            return fail(kExitFailed, "cannot write " + inv_.file);
        case SaveOutcome::Failed:
            break;
        }
        if (update.changedMeanwhile())
            return fail(kExitFailed, inv_.file +
                                         " was changed by another program since khcli read it; "
                                         "nothing was written (run the command again to work on "
                                         "the file as it is now)");
        return fail(kExitFailed, "saving " + inv_.file + " failed; the previous file is unchanged");
    }

    int create() {
        if (inv_.text("name").size() > kLoginNameChars)
            return fail(kExitUsage, "--name is longer than " + std::to_string(kLoginNameChars) +
                                        " characters, more than the program's login takes");
        if (!fits("name", kMaxAccountName) || !fits("account-description", kMaxAccountText) ||
            !fits("password-description", kMaxAccountText))
            return kExitUsage;
        const std::optional<AccountProtection> protection = chosenProtection();
        if (!protection) return kExitUsage;
        const auto exists = [this] { return fail(kExitFailed, inv_.file + " already exists"); };
        if (fs().pathKind(path_) != PathKind::Missing) return exists();
        auto pw = password(true);
        if (!pw) return kExitUsage;
        // Characters of Windows-1252 are its bytes.
        if (pw->size() > kLoginPasswordChars)
            return fail(kExitUsage, "the account password is longer than " +
                                        std::to_string(kLoginPasswordChars) +
                                        " characters, more than the program's login takes");
        LoadedAccount loaded;
        loaded.account.name = inv_.text("name");
        loaded.account.password = std::move(*pw);
        loaded.account.accountDescription = inv_.text("account-description");
        loaded.account.passwordDescription = inv_.text("password-description");
        loaded.account.protection = *protection;
        // Under the lock, so that of two runs creating one file the second finds the first's.
        LockedUpdate update(fs());
        SdrFile file;
        bool missing = false;
        if (const int code = lockAccountFile(update, file, missing); code != kExitOk) return code;
        if (!missing) return exists();
        return save(loaded, "Created " + inv_.file + ".", update);
    }

    // --protection: strong (the default for new accounts) or compatible.
    std::optional<AccountProtection> chosenProtection() {
        const std::string value = inv_.utf8("protection");
        if (!inv_.has("protection") || value == "strong") return AccountProtection::strongWith();
        if (value == "compatible") return AccountProtection::compatible();
        fail(kExitUsage, "--protection is strong or compatible");
        return std::nullopt;
    }

    int info() {
        std::string description;
        const std::optional<AccountProtection> protection = readAccountProtection(path_);
        if (!protection || !readAccountDescription(path_, description))
            return fail(kExitFailed, "cannot read an account file at " + inv_.file +
                                         " (missing, damaged or not an account file)");
        console_.out(windows1252ToUtf8(description) +
                     "\nProtection: " + describeProtection(*protection) + "\n");
        return kExitOk;
    }

    // Rewrites the account in the chosen format; entries, texts and password stay.
    int protect() {
        const std::optional<AccountProtection> protection = chosenProtection();
        if (!protection) return kExitUsage;
        const auto pw = password(false);
        if (!pw) return kExitUsage;
        LockedUpdate update(fs());
        LoadedAccount loaded;
        if (const int code = openLocked(update, pw->view(), loaded); code != kExitOk) return code;
        if (loaded.droppedRecords > 0 && !inv_.has("drop-damaged")) return refuseDamaged(loaded);
        loaded.account.protection = *protection;
        return save(loaded, "Protected " + inv_.file + ": " + describeProtection(*protection) + ".",
                    update);
    }

    int hint() {
        std::string description;
        if (!readPasswordDescription(path_, inv_.text("name"), description))
            return fail(kExitFailed, "cannot read the password description from " + inv_.file +
                                         ": wrong name, or not an account file");
        console_.out(windows1252ToUtf8(description) + "\n");
        return kExitOk;
    }

    bool promptsForData(std::int32_t type) const {
        return !inv_.has("data") && !inv_.has("data-stdin") &&
               (type == kEntryPassword || type == kEntryLink);
    }

    // The entry's secret as stored, from --data, from the line after the password on
    // standard input, or asked for without echo; none for an entry that needs no secret.
    std::optional<SecretString> entryData(std::int32_t type) {
        if (inv_.has("data")) return inv_.secretText("data");
        SecretString typed;
        if (inv_.has("data-stdin")) {
            if (!console_.readLine(typed)) {
                fail(kExitUsage, "no entry data on standard input");
                return std::nullopt;
            }
        } else if (promptsForData(type)) {
            if (!console_.promptHidden("Entry data: ", typed)) {
                fail(kExitUsage, "no terminal to ask for the entry data; use --data-stdin");
                return std::nullopt;
            }
            SecretString again;
            if (!console_.promptHidden("Repeat the entry data: ", again) || !(again == typed)) {
                fail(kExitUsage, "the two entries of the data differ");
                return std::nullopt;
            }
        }
        std::optional<SecretString> stored = secretFromUtf8(typed.view());
        if (!stored) {
            fail(kExitUsage, std::string("the entry data") + kNotExact);
            return std::nullopt;
        }
        if (!fitsField(stored->view(), kMaxEntryData)) {
            fail(kExitUsage,
                 "the entry data is longer than " + std::to_string(kMaxEntryData) + " bytes");
            return std::nullopt;
        }
        return stored;
    }

    int refuseDamaged(const LoadedAccount& loaded) {
        return fail(kExitFailed, std::to_string(loaded.droppedRecords) +
                                     " damaged record(s) would be lost by saving; run "
                                     "'khcli check', keep a copy, then add --drop-damaged");
    }

    int add() {
        const auto type = parseType(inv_.utf8("type"));
        if (!type) return fail(kExitUsage, "--type is password, link, text or a number");
        if (inv_.text("title").empty()) return fail(kExitUsage, "--title must not be empty");
        if (!fits("title", kMaxEntryTitle) || !fits("whats-this", kMaxEntryWhatsThis) ||
            !fits("description", kMaxEntryDescription))
            return kExitUsage;
        if (inv_.has("data") && !fitsField(inv_.secretText("data").view(), kMaxEntryData))
            return fail(kExitUsage,
                        "--data is longer than " + std::to_string(kMaxEntryData) + " bytes");
        const auto pw = password(false);
        if (!pw) return kExitUsage;
        const bool dropDamaged = inv_.has("drop-damaged");
        if (promptsForData(*type)) {
            // Whoever is asked for the entry data learns first whether it can be stored;
            // the lock is not held while somebody types.
            LoadedAccount first;
            if (const int code = readAccount(pw->view(), first); code != kExitOk) return code;
            if (first.droppedRecords > 0 && !dropDamaged) return refuseDamaged(first);
        }
        std::optional<SecretString> data = entryData(*type);
        if (!data) return kExitUsage;

        LockedUpdate update(fs());
        LoadedAccount loaded;
        if (const int code = openLocked(update, pw->view(), loaded); code != kExitOk) return code;
        if (loaded.droppedRecords > 0 && !dropDamaged) return refuseDamaged(loaded);
        AccountEntry& entry = loaded.entries.emplace_back();
        entry.type = *type;
        entry.title = inv_.text("title");
        entry.whatsThis = inv_.text("whats-this");
        entry.data = std::move(*data);
        entry.description = inv_.text("description");
        return save(loaded, "Added \"" + inv_.utf8("title") + "\".", update);
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

    int exportEntries() {
        const bool toFile = inv_.has("output");
        if (toFile && inv_.utf8("output").empty())
            return fail(kExitUsage, "--output must not be empty");
        // Replacing the account by its own unencrypted export would lose the account. The
        // file that would be written is compared, not the names: another spelling, a link
        // or a look-alike character may lead to the same file.
        if (toFile && sameFile(path_, inv_.utf8("output")))
            return fail(kExitUsage, "--output names the account file itself");
        LoadedAccount loaded;
        if (const int code = open(loaded); code != kExitOk) return code;

        std::vector<EntryValues> values(loaded.entries.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            const AccountEntry& e = loaded.entries[i];
            values[i].type = e.type;
            values[i].title = e.title;
            values[i].whatsThis = e.whatsThis;
            values[i].data = e.data;
            values[i].description = e.description;
        }
        const InterchangeTexts& texts = interchangeTexts();
        const ExportBlocks blocks = exportBlocks(values, texts);
        const SecretString text = exportFileText(blocks.text.view(), texts);
        const std::string unsafe =
            blocks.notRestorable > 0 ? notRestorableNote(blocks.notRestorable) : "";
        if (!toFile) {
            // The bytes as stored: the header line names them Windows-1252.
            console_.out(text.view());
            if (blocks.notRestorable > 0)
                console_.err("khcli: " + std::to_string(blocks.notRestorable) +
                             " of the exported entries cannot be imported back intact; keep "
                             "the account file.\n");
            return kExitOk;
        }
        if (!writeExportFile(inv_.utf8("output"), text.view(), fs()))
            return fail(kExitFailed, "cannot write " + inv_.utf8("output") +
                                         "; a file that was there is unchanged");
        console_.err(formatText(message(Msg::exportitems), {static_cast<int>(values.size())}) +
                     unsafe + "\n");
        return kExitOk;
    }

    int importEntries() {
        if (inv_.utf8("input").empty()) return fail(kExitUsage, "--input must not be empty");
        ImportFormat format = ImportFormat::Auto;
        if (inv_.has("from")) {
            const std::optional<ImportFormat> named = importFormatFromName(inv_.utf8("from"));
            if (!named) return fail(kExitUsage, "--from is one of " + importFormatNames());
            format = *named;
        }
        // The input first, so that a wrong name or an unusable file costs no password.
        const std::optional<SecretString> text = readImportFile(inv_.utf8("input"));
        if (!text)
            return fail(kExitFailed,
                        "cannot read " + inv_.utf8("input") + ", or it is empty; nothing imported");
        ImportResult result = kh::importEntries(text->view(), format, interchangeTexts());
        const ImportTexts texts = importTexts(messages());
        if (result.refused())
            return fail(kExitUsage,
                        windows1252ToUtf8(importRefusalText(result, texts)) + " Nothing imported.");
        const auto pw = password(false);
        if (!pw) return kExitUsage;
        LockedUpdate update(fs());
        LoadedAccount loaded;
        if (const int code = openLocked(update, pw->view(), loaded); code != kExitOk) return code;

        std::vector<EntryValues>& imported = result.entries;
        // The program's own form keeps the words it always had; the others tell what did
        // not come over and why.
        const std::string done =
            result.report.format == ImportFormat::Xml
                ? formatText(message(Msg::importitems), {static_cast<int>(imported.size())}) +
                      (result.report.cut > 0 ? cutNote(result.report.cut) : "")
                : windows1252ToUtf8(importSummaryText(result.report, texts));
        if (imported.empty()) {
            console_.out(done + "\n");
            return kExitOk;
        }
        if (loaded.droppedRecords > 0 && !inv_.has("drop-damaged")) return refuseDamaged(loaded);
        for (EntryValues& v : imported) {
            AccountEntry& entry = loaded.entries.emplace_back();
            entry.type = v.type;
            entry.title = std::move(v.title);
            entry.whatsThis = std::move(v.whatsThis);
            entry.data = std::move(v.data);
            entry.description = std::move(v.description);
        }
        return save(loaded, done, update);
    }

    int find() {
        SearchRequest request;
        if (inv_.has("in")) {
            const std::optional<SearchRequest> fields = searchFields(inv_.utf8("in"));
            if (!fields)
                return fail(kExitUsage, "--in takes a comma-separated list of title, whatsthis, "
                                        "password and detail");
            request = *fields;
        }
        request.text = inv_.text("text");
        if (request.text.empty()) return fail(kExitUsage, "--text must not be empty");
        request.caseSensitive = inv_.has("case-sensitive");
        request.findAll = inv_.has("all");

        LoadedAccount loaded;
        if (const int code = open(loaded); code != kExitOk) return code;
        std::vector<SearchRow> rows;
        rows.reserve(loaded.entries.size());
        for (const AccountEntry& e : loaded.entries)
            rows.push_back({e.title, e.whatsThis, e.description, &e.data});
        // A state of its own: every run is a fresh search from the first entry.
        SearchState state;
        const SearchResult result = state.findEntries(rows, request);
        if (result.matches.empty())
            return fail(kExitFailed, formatText(message(Msg::warnnotfound), {inv_.utf8("text")}));
        std::string out;
        for (const int index : result.matches)
            out += oneLine(loaded.entries[static_cast<std::size_t>(index)].title) + "\n";
        console_.out(out);
        return kExitOk;
    }

    int generate() {
        GeneratorOptions options;
        options.upper = !inv_.has("no-upper");
        options.lower = !inv_.has("no-lower");
        options.special = !inv_.has("no-special");
        options.digits = !inv_.has("no-digits");
        if (!options.anyClass())
            return fail(kExitUsage, "at least one character class must stay on");
        // Without --length, the generator dialog's own starting length.
        const int length = inv_.has("length") ? parseGeneratorLength(inv_.utf8("length")) : 15;
        const std::optional<SecretString> generated = generatePassword(options, length);
        if (!generated) return fail(kExitFailed, "the system's random source failed");
        SecretString line(*generated);
        line.push_back('\n');
        console_.out(line.view());
        return kExitOk;
    }

    const Invocation& inv_;
    Console& console_;
    const Environment& env_;
    const std::string path_; // the account file
};

} // namespace

std::string usageText() {
    return "Usage: khcli COMMAND FILE [options]\n"
           "\n"
           "Commands:\n"
           "  create FILE --name N [--account-description T] [--password-description T]\n"
           "      [--protection strong|compatible]\n"
           "                        create a new account file with no entries; strong\n"
           "                        (Argon2id and AES-256-GCM) unless compatible is asked\n"
           "                        for, which older programs also open\n"
           "  info FILE             print the account description and the protection\n"
           "  protect FILE --name N --protection strong|compatible [--drop-damaged]\n"
           "                        rewrite the account in that format (entries, texts and\n"
           "                        password unchanged)\n"
           "  hint FILE --name N    print the password description\n"
           "  list FILE --name N    list the entries, without their secrets\n"
           "  show FILE --name N --title T\n"
           "                        print the entries with that title, secret included\n"
           "  add FILE --name N --type password|link|text|NUMBER --title T\n"
           "      [--whats-this T] [--data T | --data-stdin] [--description T]\n"
           "      [--drop-damaged]\n"
           "                        add one entry and save the account; the entry's secret\n"
           "                        comes from --data (seen by other users in the process\n"
           "                        list), from the line of standard input after the\n"
           "                        password with --data-stdin, or is asked for without\n"
           "                        echo for a password or link entry\n"
           "  check FILE --name N   open the account and count damaged records\n"
           "  dump FILE --name N --json\n"
           "                        print the whole account as one JSON object\n"
           "  export FILE --name N [--output OUT]\n"
           "                        write every entry in the XML entry form, NOT ENCRYPTED,\n"
           "                        to OUT (replaced as a whole) or to standard output; the\n"
           "                        bytes are Windows-1252, as the file's first line says\n"
           "  import FILE --name N --input IN [--from FORMAT] [--drop-damaged]\n"
           "                        add the entries of an export as new entries and save;\n"
           "                        FORMAT is auto (the default: recognised by its header or\n"
           "                        shape), xml, keepassxc-csv, bitwarden-csv, bitwarden-json,\n"
           "                        chrome-csv or firefox-csv; the summary names every item\n"
           "                        that was not imported and why\n"
           "  find FILE --name N --text T [--case-sensitive] [--all]\n"
           "      [--in title,whatsthis,password,detail]\n"
           "                        print the title of the first entry that contains T, or\n"
           "                        with --all of every one; --in replaces the fields looked\n"
           "                        in (title, password and detail)\n"
           "  generate [--length N] [--no-upper] [--no-lower] [--no-special] [--no-digits]\n"
           "                        print a random password (15 characters unless --length;\n"
           "                        special characters are # $ % & ' ( ) * +)\n"
           "\n"
           "Commands that open an account ask for its password without echo, or read\n"
           "one line of standard input with --password-stdin. Options also take the\n"
           "form --option=value, which a value starting with \"--\" needs. Texts are\n"
           "UTF-8 and stored as Windows-1252; a name, password or other account text that\n"
           "Windows-1252 cannot hold exactly, or that is not UTF-8, is refused, never\n"
           "stored changed. A new account's name may have at most 150 characters and its\n"
           "password 75, as in the program's login.\n"
           "\n"
           "create, add, import and protect hold the account file's save lock from the read to "
           "the\n"
           "save; while another process saves the file they wait up to 10 seconds, and\n"
           "they never replace a file that another program changed since they read it.\n"
           "\n"
           "Exit codes: 0 done; 1 cannot open the file, wrong name or password, a damaged\n"
           "file (a strong file is refused whole: restore a backup copy), no such\n"
           "entry, nothing found, or not saved (also: the file is being saved by another\n"
           "process, or was changed since it was read); 2 usage error or unusable input\n"
           "(also: an import file in no format khcli reads).\n";
}

int run(const std::vector<std::string>& args, Console& console, const Environment& env) {
    // Names come from the command line as UTF-8 and reach the system's wide functions as
    // they are, never through the ANSI code page's look-alikes.
    setPathEncoding(PathEncoding::Utf8);
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
    return Runner(inv, console, env).run();
}

} // namespace kh::cli
