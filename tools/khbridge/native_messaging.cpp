#include "native_messaging.h"

#include "generator.h"
#include "json.h"
#include "login_match.h"
#include "native_host.h"
#include "text_codec.h"

#include <algorithm>
#include <cstring>
#include <variant>

namespace kh::bridge {

using namespace kh::browser;

namespace {

std::size_t readFully(ByteSource& in, std::uint8_t* into, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = in.read(std::span(into + got, size - got));
        if (n == 0) break;
        got += n;
    }
    return got;
}

// ---- Texts of a request

struct TextRule {
    std::string_view member; // in the JSON request
    std::string_view label;  // in error messages
    std::size_t maxLength;   // in Windows-1252 characters
    bool trimmed;            // the vault drops blanks and control characters at both ends
};

constexpr TextRule kUserRule{"user", "the user name", kMaxOutputText, true};
constexpr TextRule kPasswordRule{"password", "the password", kMaxOutputText, false};
constexpr TextRule kUrlRule{"url", "the address", kAddressField.size - 1, true};

using TextOrError = std::variant<SecretString, std::string>;

// A member of the request in Windows-1252, exactly as it will reach the vault: a text the
// block would cut, the vault would trim or the code page cannot hold is refused instead.
TextOrError takeText(const json::Value& request, const TextRule& rule) {
    const std::string* utf8 = request.stringAt(rule.member);
    const std::string label(rule.label);
    if (!utf8) {
        std::string message = "\"";
        message.append(rule.member).append("\" is missing or not a text");
        return message;
    }
    if (utf8->empty()) return label + " is empty";
    if (utf8->find('\0') != std::string::npos) return label + " holds a NUL character";
    if (rule.trimmed) {
        for (char c : *utf8)
            if (static_cast<unsigned char>(c) < 0x20) return label + " holds a control character";
        if (utf8->front() == ' ' || utf8->back() == ' ')
            return label + " begins or ends with a blank";
    }
    std::optional<std::string> converted = utf8ToWindows1252Exact(*utf8);
    if (!converted) return label + " has characters that Windows-1252 cannot hold";
    SecretString text(*converted);
    wipeString(*converted);
    if (text.size() > rule.maxLength)
        return label + " is longer than " + std::to_string(rule.maxLength) + " characters";
    return text;
}

bool isWebAddress(std::string_view url) {
    const bool web = startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://");
    const std::string_view host = hostPart(url);
    return web && !host.empty() && host.find_first_of("?#@:") != 0;
}

// ---- Replies

json::Value reply(std::string_view status) {
    json::Value v = json::Value::object();
    v.set("status", json::Value::string(status));
    return v;
}

json::Value errorReply(std::string_view message) {
    json::Value v = reply("error");
    v.set("message", json::Value::string(message));
    return v;
}

// A text of the vault (Windows-1252) as a JSON string; every byte has a UTF-8 form.
json::Value vaultText(std::string_view text) {
    std::string utf8 = windows1252ToUtf8(text);
    json::Value v = json::Value::string(utf8);
    wipeString(utf8);
    return v;
}

// ---- Requests to the vault

enum class Outcome { Done, Failed, LoggedOut, NoVault };

// One request. A request that did not succeed is told apart by the status form: an
// account that is still not open means the user did not log in when the vault asked.
Outcome ask(Vault& vault, RequestKind kind, RequestBlock& block) {
    const std::optional<std::intptr_t> answer = vault.send(kind, block);
    if (!answer) return Outcome::NoVault;
    if (*answer == 1 && completionCode(block) == static_cast<std::uint32_t>(kind))
        return Outcome::Done;
    // A served CheckLogin whose login does not exist.
    if (kind == RequestKind::CheckLogin && *answer == 1) return Outcome::Failed;
    const std::optional<bool> open = vault.loggedIn();
    if (!open) return Outcome::NoVault;
    return *open ? Outcome::Failed : Outcome::LoggedOut;
}

json::Value outcomeReply(Outcome outcome) {
    switch (outcome) {
    case Outcome::NoVault:
        return reply("no-vault");
    case Outcome::LoggedOut:
        return reply("logged-out");
    case Outcome::Failed:
    case Outcome::Done:
        break;
    }
    return reply("not-found");
}

RequestBlock makeBlock(std::string_view user, std::string_view password, std::string_view url) {
    RequestBlock block;
    putFieldText(block, kUserNameField, user);
    putFieldText(block, kPasswordField, password);
    putFieldText(block, kAddressField, url);
    return block;
}

// Equal texts, looked at whole whatever the first difference: the stored password is
// compared with the one the page sent.
bool sameSecret(std::string_view a, std::string_view b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

class Request {
  public:
    Request(const json::Value& message, Vault& vault, RandomSource& random)
        : message_(message), vault_(vault), random_(random) {}

    json::Value answer() {
        const std::string* action = message_.stringAt("action");
        if (!action) return errorReply("\"action\" is missing or not a text");
        if (*action == "status") return status();
        if (*action == "generate") return generate();
        const bool withUser = *action != "find";
        const bool withPassword = *action == "check" || *action == "save";
        if (*action != "find" && *action != "get" && !withPassword)
            return errorReply("unknown action: " + *action);
        if (auto error = take(kUrlRule, url_)) return errorReply(*error);
        if (!isWebAddress(url_.view()))
            return errorReply("the address is no http or https address with a host");
        if (withUser)
            if (auto error = take(kUserRule, user_)) return errorReply(*error);
        if (withPassword)
            if (auto error = take(kPasswordRule, password_)) return errorReply(*error);
        if (*action == "find") return find();
        if (*action == "get") return get();
        if (*action == "check") return check();
        return save();
    }

  private:
    std::optional<std::string> take(const TextRule& rule, SecretString& into) {
        TextOrError text = takeText(message_, rule);
        if (auto* error = std::get_if<std::string>(&text)) return *error;
        into = std::move(std::get<SecretString>(text));
        return std::nullopt;
    }

    json::Value status() {
        const std::optional<bool> open = vault_.loggedIn();
        if (!open) return reply("no-vault");
        return reply(*open ? "ok" : "logged-out");
    }

    json::Value generate() {
        std::optional<SecretString> password =
            generatePassword(GeneratorOptions{}, kGeneratedLength, random_);
        if (!password) return errorReply("no random numbers to be had");
        json::Value v = reply("ok");
        v.set("password", vaultText(password->view()));
        return v;
    }

    // User names only: the password goes out for the one login the user then picks.
    json::Value find() {
        std::vector<std::string> names;
        for (const std::string& address : addressForms(url_.view())) {
            RequestBlock block = makeBlock("", "", address);
            const Outcome outcome = ask(vault_, RequestKind::FindByPage, block);
            if (outcome == Outcome::LoggedOut || outcome == Outcome::NoVault)
                return outcomeReply(outcome);
            if (outcome != Outcome::Done) continue;
            const std::string name(fieldText(block, kUserNameField));
            if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
        }
        if (names.empty()) return reply("not-found");
        json::Value logins = json::Value::array();
        for (const std::string& name : names) {
            json::Value login = json::Value::object();
            login.set("user", vaultText(name));
            logins.push(std::move(login));
        }
        json::Value v = reply("ok");
        v.set("logins", std::move(logins));
        return v;
    }

    // The vault's GetByTitle also takes a title that merely begins with the name; only the
    // login of exactly this name is answered.
    struct Stored {
        Outcome outcome = Outcome::Failed;
        RequestBlock block;
    };
    Stored storedLogin() {
        Stored stored;
        for (const std::string& address : addressForms(url_.view())) {
            stored.block = makeBlock(user_.view(), "", address);
            stored.outcome = ask(vault_, RequestKind::GetByTitle, stored.block);
            if (stored.outcome == Outcome::LoggedOut || stored.outcome == Outcome::NoVault)
                return stored;
            if (stored.outcome == Outcome::Done &&
                fieldText(stored.block, kUserNameField) == user_.view())
                return stored;
        }
        stored.block.clear();
        stored.outcome = Outcome::Failed;
        return stored;
    }

    json::Value get() {
        const Stored stored = storedLogin();
        if (stored.outcome != Outcome::Done) return outcomeReply(stored.outcome);
        json::Value login = json::Value::object();
        login.set("user", vaultText(user_.view()));
        login.set("password", vaultText(fieldText(stored.block, kPasswordField)));
        json::Value v = reply("ok");
        v.set("login", std::move(login));
        return v;
    }

    // Whether a submitted login is worth offering to save. A form is submitted without the
    // user asking anything of the vault, so this never brings up its login.
    json::Value check() {
        const std::optional<bool> open = vault_.loggedIn();
        if (!open) return reply("no-vault");
        if (!*open) return reply("logged-out");
        const Stored stored = storedLogin();
        const char* verdict = "new";
        if (stored.outcome == Outcome::LoggedOut || stored.outcome == Outcome::NoVault)
            return outcomeReply(stored.outcome);
        if (stored.outcome == Outcome::Done)
            verdict = sameSecret(fieldText(stored.block, kPasswordField), password_.view())
                          ? "same"
                          : "changed";
        json::Value v = reply("ok");
        v.set("login", json::Value::string(verdict));
        return v;
    }

    // The login of this user name stored for the page or its site is replaced where it
    // is; otherwise a new one is stored for the page.
    json::Value save() {
        std::string target(url_.view());
        bool replaced = false;
        for (const std::string& address : addressForms(url_.view())) {
            RequestBlock block = makeBlock(user_.view(), "", address);
            const Outcome outcome = ask(vault_, RequestKind::CheckLogin, block);
            if (outcome == Outcome::LoggedOut || outcome == Outcome::NoVault)
                return outcomeReply(outcome);
            if (outcome == Outcome::Done) {
                target = address;
                replaced = true;
                break;
            }
        }
        RequestBlock block = makeBlock(user_.view(), password_.view(), target);
        const Outcome outcome = ask(vault_, RequestKind::SaveLogin, block);
        if (outcome == Outcome::LoggedOut || outcome == Outcome::NoVault)
            return outcomeReply(outcome);
        if (outcome != Outcome::Done) return errorReply("the vault did not store the login");
        json::Value v = reply("ok");
        v.set("replaced", json::Value::boolean(replaced));
        return v;
    }

    const json::Value& message_;
    Vault& vault_;
    RandomSource& random_;
    SecretString url_, user_, password_;
};

// The request's "id" goes back unchanged, so that a client with several requests under
// way can tell the answers apart; only short ones are taken.
bool echoable(const json::Value* id) {
    if (!id) return false;
    if (id->asNumber()) return true;
    const std::string* text = id->asString();
    return text && text->size() <= 64;
}

} // namespace

bool isNativeMessagingLaunch(const std::vector<std::u16string_view>& args) {
    const auto isAscii = [](std::u16string_view wide, std::string_view ascii, bool prefix) {
        if (prefix ? wide.size() < ascii.size() : wide.size() != ascii.size()) return false;
        return std::equal(ascii.begin(), ascii.end(), wide.begin(),
                          [](char a, char16_t w) { return static_cast<char16_t>(a) == w; });
    };
    if (args.empty()) return false;
    if (isAscii(args[0], "--native-messaging", false) ||
        isAscii(args[0], "chrome-extension://", true))
        return true;
    return args.size() >= 2 && isAscii(args[1], kFirefoxAddonId, false);
}

std::vector<std::string> addressForms(std::string_view address) {
    std::vector<std::string> forms{std::string(address)};
    const std::string site(sitePrefix(address));
    for (std::string form : {site + "/", site})
        if (!site.empty() && std::find(forms.begin(), forms.end(), form) == forms.end())
            forms.push_back(std::move(form));
    return forms;
}

Frame readFrame(ByteSource& in, std::uint32_t maxLength) {
    Frame frame;
    std::uint8_t header[4];
    const std::size_t got = readFully(in, header, sizeof header);
    if (got == 0) return frame; // End
    if (got < sizeof header) {
        frame.result = FrameResult::Truncated;
        return frame;
    }
    std::memcpy(&frame.length, header, sizeof header); // the machine's byte order
    if (frame.length > maxLength) {
        frame.result = FrameResult::TooLarge;
        return frame;
    }
    frame.text.resize(frame.length);
    if (readFully(in, reinterpret_cast<std::uint8_t*>(&frame.text[0]), frame.length) <
        frame.length) {
        frame.text.wipe();
        frame.result = FrameResult::Truncated;
        return frame;
    }
    frame.result = FrameResult::Message;
    return frame;
}

bool skipBytes(ByteSource& in, std::uint32_t length) {
    WipedBytes<4096> chunk;
    while (length > 0) {
        const std::size_t want = std::min<std::size_t>(length, chunk.size());
        const std::size_t n = in.read(std::span(chunk.data(), want));
        if (n == 0) return false;
        length -= static_cast<std::uint32_t>(n);
    }
    return true;
}

bool writeFrame(ByteSink& out, std::string_view text) {
    if (text.size() > kMaxReplySize) return false;
    const auto length = static_cast<std::uint32_t>(text.size());
    std::uint8_t header[4];
    std::memcpy(header, &length, sizeof header);
    return out.write(header) &&
           out.write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

SecretString answerRequest(std::string_view message, Vault& vault, RandomSource& random) {
    json::ParseError parseError;
    // Requests are flat objects; a deep nesting is no request.
    const std::optional<json::Value> request = json::parse(message, &parseError, 4);
    json::Value answer;
    if (!request)
        answer = errorReply("the message is no JSON text: " + parseError.message + " at byte " +
                            std::to_string(parseError.offset));
    else if (!request->isObject())
        answer = errorReply("the message is no JSON object");
    else
        answer = Request(*request, vault, random).answer();
    if (request && echoable(request->find("id")))
        answer.asObject()->insert(answer.asObject()->begin(),
                                  std::pair<std::string, json::Value>("id", *request->find("id")));
    std::string text = json::serialize(answer);
    SecretString out(text);
    wipeString(text);
    return out;
}

int serveNativeMessaging(ByteSource& in, ByteSink& out, Vault& vault, RandomSource& random) {
    for (;;) {
        Frame frame = readFrame(in);
        switch (frame.result) {
        case FrameResult::End:
            return 0;
        case FrameResult::Truncated:
            return 1;
        case FrameResult::TooLarge: {
            const std::string refusal = json::serialize(errorReply(
                "the message is larger than " + std::to_string(kMaxRequestSize) + " bytes"));
            if (!writeFrame(out, refusal) || !skipBytes(in, frame.length)) return 1;
            continue;
        }
        case FrameResult::Message:
            break;
        }
        SecretString answer = answerRequest(frame.text.view(), vault, random);
        frame.text.wipe();
        if (answer.size() > kMaxReplySize)
            answer = json::serialize(errorReply("the answer is too large"));
        if (!writeFrame(out, answer.view())) return 1;
    }
}

} // namespace kh::bridge
