#define KH_HEAP_SCAN_ALLOCATOR // this binary's operators new and delete
#include "heap_scan.h"

#include "fake_login_store.h"
#include "generator.h"
#include "json.h"
#include "native_messaging.h"
#include "request_server.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>

namespace kh::bridge {
namespace {

using browser::RequestBlock;
using browser::RequestKind;

// ---- Streams

// Hands out the input in pieces of the given sizes (the last one repeated), as a pipe may.
class ChunkedInput : public ByteSource {
  public:
    ChunkedInput(std::string bytes, std::vector<std::size_t> pieces = {1 << 20})
        : bytes_(std::move(bytes)), pieces_(std::move(pieces)) {}
    std::size_t read(std::span<std::uint8_t> into) override {
        const std::size_t piece = pieces_[std::min(calls_++, pieces_.size() - 1)];
        const std::size_t n = std::min({into.size(), piece, bytes_.size() - at_});
        std::memcpy(into.data(), bytes_.data() + at_, n);
        at_ += n;
        return n;
    }
    std::size_t consumed() const { return at_; }

  private:
    std::string bytes_;
    std::vector<std::size_t> pieces_;
    std::size_t calls_ = 0;
    std::size_t at_ = 0;
};

class Output : public ByteSink {
  public:
    bool write(std::span<const std::uint8_t> bytes) override {
        if (broken) return false;
        bytes_.append(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return true;
    }
    // The messages written, without their length prefixes (which are checked on the way).
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        std::string_view rest = bytes_.view();
        while (rest.size() >= 4) {
            std::uint32_t length = 0;
            std::memcpy(&length, rest.data(), 4);
            EXPECT_LE(4 + std::size_t(length), rest.size()) << "a message is cut";
            out.emplace_back(rest.substr(4, length));
            rest.remove_prefix(std::min(rest.size(), 4 + std::size_t(length)));
        }
        EXPECT_TRUE(rest.empty());
        return out;
    }
    SecretString bytes_;
    bool broken = false;
};

std::string frame(std::string_view text, std::optional<std::uint32_t> announced = std::nullopt) {
    const std::uint32_t length = announced.value_or(static_cast<std::uint32_t>(text.size()));
    std::string out(4, '\0');
    std::memcpy(out.data(), &length, 4); // the machine's byte order, as the browsers write it
    return out.append(text);
}

// ---- The vault: the program's own request server over a fake entry list

// The bridge's memory is this process's: the block address is a pointer.
class OwnMemory : public browser::ProcessMemory {
    class Process : public browser::BridgeProcess {
      public:
        std::size_t read(std::uintptr_t address, std::span<std::uint8_t> into) override {
            std::memcpy(into.data(), reinterpret_cast<const void*>(address), into.size());
            return into.size();
        }
        std::size_t write(std::uintptr_t address, std::span<const std::uint8_t> from) override {
            std::memcpy(reinterpret_cast<void*>(address), from.data(), from.size());
            return from.size();
        }
    };

  public:
    std::unique_ptr<browser::BridgeProcess> open(std::uint32_t) override {
        return std::make_unique<Process>();
    }
};

// The login prompt: the user logs in when asked, or cancels it.
class PromptingHost : public browser::RequestHost {
  public:
    explicit PromptingHost(browser::test::FakeLoginStore& store) : store_(store) {}
    bool isLoggedIn() override { return store_.loggedIn; }
    bool ensureLoggedIn() override {
        if (!store_.loggedIn) {
            ++prompts;
            store_.loggedIn = logsInWhenAsked;
        }
        return store_.loggedIn;
    }
    void endRequest() override {}

    bool logsInWhenAsked = false;
    int prompts = 0;

  private:
    browser::test::FakeLoginStore& store_;
};

const char* kindName(RequestKind kind) {
    switch (kind) {
    case RequestKind::GetByTitle:
        return "GetByTitle";
    case RequestKind::SaveLogin:
        return "SaveLogin";
    case RequestKind::FindByPage:
        return "FindByPage";
    case RequestKind::CheckLogin:
        return "CheckLogin";
    }
    return "?";
}

class ServedVault : public Vault {
  public:
    explicit ServedVault(std::vector<browser::test::FakeRow> rows) : store(std::move(rows)) {}

    std::optional<bool> loggedIn() override {
        if (!running) return std::nullopt;
        sent.push_back("status");
        return server.serve(0x1627, 1234, 0) == 1;
    }
    std::optional<std::intptr_t> send(RequestKind kind, RequestBlock& block) override {
        if (!running) return std::nullopt;
        // What the request carried: the password field only for SaveLogin, where it is input.
        std::string line = std::string(kindName(kind)) + " " +
                           std::string(browser::fieldText(block, browser::kAddressField));
        if (!browser::fieldText(block, browser::kUserNameField).empty())
            line += " " + std::string(browser::fieldText(block, browser::kUserNameField));
        if (kind == RequestKind::SaveLogin)
            line += " " + std::string(browser::fieldText(block, browser::kPasswordField));
        sent.push_back(line);
        return server.serve(static_cast<std::uint32_t>(kind), 1234,
                            reinterpret_cast<std::uintptr_t>(block.data()));
    }

    browser::test::FakeLoginStore store;
    PromptingHost host{store};
    OwnMemory memory;
    browser::RequestServer server{store, host, memory};
    bool running = true;
    std::vector<std::string> sent;
};

// Words from a counter: a known "random" password.
class CountingRandom : public RandomSource {
  protected:
    bool nextWord(std::uint32_t& word) override {
        word = next_ += 0x9E3779B9u;
        return true;
    }

  private:
    std::uint32_t next_ = 0;
};

std::vector<browser::test::FakeRow> storedLogins() {
    using browser::test::link;
    return {
        link("alice", "https://shop.example/login", "pw-alice"),
        link("bob", "https://shop.example/", "pw-bob"),
        link("dave", "http://plain.example/", "pw-dave"),
        link("eve", "https://secure.example/", "pw-eve"),
        link("\xC9mile", "https://fr.example/", "pw-caf\xE9"),
    };
}

// Compares JSON texts as values, so that member order inside the reply is what counts but
// white space is not.
std::string canonical(std::string_view text) {
    std::optional<json::Value> value = json::parse(text);
    return value ? json::serialize(*value) : "(not JSON) " + std::string(text);
}

TEST(NativeMessagingFrames, ReadInPiecesAndRefused) {
    const std::string body = R"({"action":"status"})";
    struct Case {
        const char* what;
        std::string input;
        std::vector<std::size_t> pieces;
        FrameResult result;
        std::string text;
    };
    const Case cases[] = {
        {"nothing: the port closed", "", {1 << 20}, FrameResult::End, ""},
        {"whole", frame(body), {1 << 20}, FrameResult::Message, body},
        {"a byte per read", frame(body), {1}, FrameResult::Message, body},
        {"header split", frame(body), {3, 2, 5}, FrameResult::Message, body},
        {"empty message", frame(""), {1 << 20}, FrameResult::Message, ""},
        {"header cut", frame(body).substr(0, 3), {1}, FrameResult::Truncated, ""},
        {"body cut", frame(body).substr(0, 10), {4, 1}, FrameResult::Truncated, ""},
        {"at the limit",
         frame(std::string(kMaxRequestSize, 'x')),
         {4096},
         FrameResult::Message,
         std::string(kMaxRequestSize, 'x')},
        {"above the limit", frame("", kMaxRequestSize + 1), {1 << 20}, FrameResult::TooLarge, ""},
        {"a huge length", frame("", 0xFFFFFFFFu), {1 << 20}, FrameResult::TooLarge, ""},
    };
    for (const Case& c : cases) {
        ChunkedInput in(c.input, c.pieces);
        const Frame f = readFrame(in);
        EXPECT_EQ(f.result, c.result) << c.what;
        EXPECT_EQ(f.text, c.text) << c.what;
        if (c.result == FrameResult::TooLarge) {
            EXPECT_EQ(in.consumed(), 4u) << c.what << ": the body is not read into memory";
        }
    }
}

TEST(NativeMessagingFrames, TheLoopAnswersEachMessageAndEndsWithThePort) {
    ServedVault vault(storedLogins());
    CountingRandom random;
    struct Case {
        const char* what;
        std::string input;
        std::vector<std::size_t> pieces;
        int exitCode;
        std::vector<std::string> replies;
    };
    const std::string status = frame(R"({"action":"status","id":1})");
    const Case cases[] = {
        {"two messages, read a byte at a time",
         status + frame(R"({"action":"status","id":"b"})"),
         {1},
         0,
         {R"({"id":1,"status":"ok"})", R"({"id":"b","status":"ok"})"}},
        {"an oversized message is refused and skipped, the next one answered",
         frame(std::string(kMaxRequestSize + 10, ' ')) + status,
         {700},
         0,
         {R"({"status":"error","message":"the message is larger than 65536 bytes"})",
          R"({"id":1,"status":"ok"})"}},
        {"an oversized message that never comes ends the host",
         frame("", kMaxRequestSize + 1) + "abc",
         {1 << 20},
         1,
         {R"({"status":"error","message":"the message is larger than 65536 bytes"})"}},
        {"a message cut short ends the host without an answer",
         status + status.substr(0, 9),
         {5},
         1,
         {R"({"id":1,"status":"ok"})"}},
        {"no JSON, then a good one",
         frame("{\"action\":") + status,
         {1 << 20},
         0,
         {R"({"status":"error","message":"the message is no JSON text: unexpected end of text at byte 10"})",
          R"({"id":1,"status":"ok"})"}},
    };
    for (const Case& c : cases) {
        ChunkedInput in(c.input, c.pieces);
        Output out;
        EXPECT_EQ(serveNativeMessaging(in, out, vault, random), c.exitCode) << c.what;
        const std::vector<std::string> replies = out.messages();
        ASSERT_EQ(replies.size(), c.replies.size()) << c.what;
        for (std::size_t i = 0; i < replies.size(); ++i)
            EXPECT_EQ(canonical(replies[i]), canonical(c.replies[i])) << c.what;
    }

    ChunkedInput in(status + status);
    Output broken;
    broken.broken = true;
    EXPECT_EQ(serveNativeMessaging(in, broken, vault, random), 1) << "the browser went away";
}

TEST(NativeMessagingLaunch, TheBrowsersArgumentsStartTheHost) {
    using Args = std::vector<std::u16string_view>;
    struct Case {
        Args args;
        bool host;
    };
    const Case cases[] = {
        {{u"--native-messaging"}, true},
        {{u"--native-messaging", u"chrome-extension://abc/", u"--parent-window=0"}, true},
        {{u"chrome-extension://gbfooegojfopnifhjdfajidaammekfja/", u"--parent-window=1234"}, true},
        {{u"C:\\Program Files\\Keyhaven\\org.keyhaven.bridge.json", u"bridge@keyhaven.org"}, true},
        {{}, false},
        {{u"status"}, false},
        {{u"get", u"--user", u"chrome-extension://x", u"--url", u"u"}, false},
        {{u"manifest.json", u"other@example.org"}, false},
        {{u"--native-messagingX"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isNativeMessagingLaunch(c.args), c.host) << c.args.size();
}

TEST(NativeMessagingRequests, AddressForms) {
    using Forms = std::vector<std::string>;
    EXPECT_EQ(
        addressForms("https://shop.example/login"),
        (Forms{"https://shop.example/login", "https://shop.example/", "https://shop.example"}));
    EXPECT_EQ(addressForms("https://shop.example/"),
              (Forms{"https://shop.example/", "https://shop.example"}));
    EXPECT_EQ(addressForms("http://h:8080/a/b"),
              (Forms{"http://h:8080/a/b", "http://h:8080/", "http://h:8080"}));
}

struct Exchange {
    const char* what;
    std::string request;
    std::string reply;
    std::vector<std::string> sent; // what reached the vault, in order
};

void expectExchanges(ServedVault& vault, const std::vector<Exchange>& exchanges) {
    CountingRandom random;
    for (const Exchange& e : exchanges) {
        vault.sent.clear();
        const SecretString reply = answerRequest(e.request, vault, random);
        EXPECT_EQ(canonical(reply.view()), canonical(e.reply)) << e.what;
        EXPECT_EQ(vault.sent, e.sent) << e.what;
    }
}

TEST(NativeMessagingRequests, EachActionOnTheVaultsRequests) {
    ServedVault vault(storedLogins());
    const std::string shop = "https://shop.example/login";
    std::string e79;
    for (int i = 0; i < 79; ++i)
        e79 += "\xC3\xA9"; // U+00E9, one byte in Windows-1252
    expectExchanges(
        vault,
        {
            {"status",
             R"({"action":"status","id":"s1"})",
             R"({"id":"s1","status":"ok"})",
             {"status"}},
            {"find asks the page, its site with / and the bare site, and names each user once",
             R"({"action":"find","url":"https://shop.example/login"})",
             R"({"status":"ok","logins":[{"user":"alice"},{"user":"bob"}]})",
             {"FindByPage " + shop, "FindByPage https://shop.example/",
              "FindByPage https://shop.example"}},
            {"an https login is not found for an http page",
             R"({"action":"find","url":"http://secure.example/login"})",
             R"({"status":"not-found"})",
             {"FindByPage http://secure.example/login", "status",
              "FindByPage http://secure.example/", "status", "FindByPage http://secure.example",
              "status"}},
            {"get answers the password of the login picked",
             R"({"action":"get","url":"https://shop.example/login","user":"bob"})",
             R"({"status":"ok","login":{"user":"bob","password":"pw-bob"}})",
             {"GetByTitle " + shop + " bob"}},
            {"a name the vault would complete is no login of that name: no password goes out",
             R"({"action":"get","url":"https://shop.example/login","user":"al"})",
             R"({"status":"not-found"})",
             {"GetByTitle " + shop + " al", "GetByTitle https://shop.example/ al",
              "GetByTitle https://shop.example al"}},
            {"texts travel as UTF-8 and reach the vault in Windows-1252",
             R"({"action":"get","url":"https://fr.example/","user":"\u00c9mile"})",
             R"({"status":"ok","login":{"user":"Émile","password":"pw-café"}})",
             {"GetByTitle https://fr.example/ \xC9mile"}},
            {"check: the same password",
             R"({"action":"check","url":"https://shop.example/login","user":"alice","password":"pw-alice"})",
             R"({"status":"ok","login":"same"})",
             {"status", "GetByTitle " + shop + " alice"}},
            {"check: another password",
             R"({"action":"check","url":"https://shop.example/login","user":"bob","password":"pw-new"})",
             R"({"status":"ok","login":"changed"})",
             {"status", "GetByTitle " + shop + " bob"}},
            {"check: an unknown user",
             R"({"action":"check","url":"https://shop.example/login","user":"zed","password":"x"})",
             R"({"status":"ok","login":"new"})",
             {"status", "GetByTitle " + shop + " zed", "status",
              "GetByTitle https://shop.example/ zed", "status",
              "GetByTitle https://shop.example zed", "status"}},
            {"save replaces a login of the site where it is stored",
             R"({"action":"save","url":"https://shop.example/login","user":"bob","password":"pw-bob-2"})",
             R"({"status":"ok","replaced":true})",
             {"CheckLogin " + shop + " bob", "CheckLogin https://shop.example/ bob",
              "SaveLogin https://shop.example/ bob pw-bob-2"}},
            {"save adds a new login for the page",
             R"({"action":"save","url":"https://shop.example/signup","user":"zed","password":" sp ace "})",
             R"({"status":"ok","replaced":false})",
             {"CheckLogin https://shop.example/signup zed", "CheckLogin https://shop.example/ zed",
              "CheckLogin https://shop.example zed",
              "SaveLogin https://shop.example/signup zed  sp ace "}},
            {"a 79-character password of two-byte UTF-8 characters fits",
             R"({"action":"save","url":"https://fr.example/","user":"\u00c9mile","password":")" +
                 e79 + R"("})",
             R"({"status":"ok","replaced":true})",
             {"CheckLogin https://fr.example/ \xC9mile",
              "SaveLogin https://fr.example/ \xC9mile " + std::string(79, '\xE9')}},
        });
    ASSERT_EQ(vault.store.rows.size(), 6u);
    EXPECT_EQ(vault.store.rows[1].data, "pw-bob-2");
    EXPECT_EQ(vault.store.rows[5].title, "zed");
    EXPECT_EQ(vault.store.rows[5].description, "https://shop.example/signup");
    EXPECT_EQ(vault.store.rows[5].data, " sp ace ");
    EXPECT_EQ(vault.store.rows[4].data, std::string(79, '\xE9'));
}

TEST(NativeMessagingRequests, GeneratesWithTheProgramsDefaults) {
    ServedVault vault({});
    CountingRandom random, same;
    const std::optional<SecretString> expected =
        generatePassword(GeneratorOptions{}, kGeneratedLength, same);
    ASSERT_TRUE(expected);
    const SecretString reply = answerRequest(R"({"action":"generate"})", vault, random);
    EXPECT_EQ(canonical(reply.view()),
              canonical(R"({"status":"ok","password":")" + std::string(expected->view()) + "\"}"));
    EXPECT_EQ(expected->size(), 15u);
    EXPECT_TRUE(vault.sent.empty()) << "the vault is not asked";
}

TEST(NativeMessagingRequests, NoVaultAndLoggedOut) {
    const std::string find = R"({"action":"find","url":"https://shop.example/login"})";
    const std::string get = R"({"action":"get","url":"https://shop.example/login","user":"bob"})";
    const std::string check =
        R"({"action":"check","url":"https://shop.example/login","user":"bob","password":"p"})";
    const std::string save =
        R"({"action":"save","url":"https://shop.example/login","user":"bob","password":"p"})";

    ServedVault gone(storedLogins());
    gone.running = false;
    for (const std::string& request :
         {std::string(R"({"action":"status"})"), find, get, check, save})
        expectExchanges(gone, {{"no vault", request, R"({"status":"no-vault"})", {}}});

    // The user cancels the vault's login: one prompt per request, however many addresses
    // the request would have asked; a check never prompts.
    ServedVault out(storedLogins());
    out.store.loggedIn = false;
    const std::string shop = "https://shop.example/login";
    expectExchanges(
        out,
        {
            {"status", R"({"action":"status"})", R"({"status":"logged-out"})", {"status"}},
            {"find", find, R"({"status":"logged-out"})", {"FindByPage " + shop, "status"}},
            {"get", get, R"({"status":"logged-out"})", {"GetByTitle " + shop + " bob", "status"}},
            {"check", check, R"({"status":"logged-out"})", {"status"}},
            {"save", save, R"({"status":"logged-out"})", {"CheckLogin " + shop + " bob", "status"}},
        });
    EXPECT_EQ(out.host.prompts, 3);

    // The user logs in when the vault asks: the request goes on.
    out.host.logsInWhenAsked = true;
    expectExchanges(out, {{"get after logging in",
                           get,
                           R"({"status":"ok","login":{"user":"bob","password":"pw-bob"}})",
                           {"GetByTitle " + shop + " bob"}}});
    EXPECT_EQ(out.host.prompts, 4);
}

TEST(NativeMessagingRequests, RefusedBeforeTheVaultIsAsked) {
    ServedVault vault(storedLogins());
    const std::string url = R"("url":"https://shop.example/login")";
    struct Case {
        std::string request;
        std::string message;
    };
    const Case cases[] = {
        {"status", "the message is no JSON text: unexpected character at byte 0"},
        {"[1]", "the message is no JSON object"},
        {"{}", "\"action\" is missing or not a text"},
        {R"({"action":"delete",)" + url + "}", "unknown action: delete"},
        {R"({"action":"find"})", "\"url\" is missing or not a text"},
        {R"({"action":"find","url":7})", "\"url\" is missing or not a text"},
        {R"({"action":"find","url":""})", "the address is empty"},
        {R"({"action":"find","url":"ftp://shop.example/"})",
         "the address is no http or https address with a host"},
        {R"({"action":"find","url":"https://"})",
         "the address is no http or https address with a host"},
        {R"({"action":"find","url":"https:"})",
         "the address is no http or https address with a host"},
        {R"({"action":"find","url":"https:///login"})",
         "the address is no http or https address with a host"},
        {R"({"action":"find","url":"https://shop.example/\u0000x"})",
         "the address holds a NUL character"},
        {R"({"action":"find","url":" https://shop.example/"})",
         "the address begins or ends with a blank"},
        {R"({"action":"find","url":"https://)" + std::string(184, 'a') + R"("})",
         "the address is longer than 191 characters"},
        {R"({"action":"find","url":"https://\u043f\u0440\u0438\u043c\u0435\u0440.example/"})",
         "the address has characters that Windows-1252 cannot hold"},
        {R"({"action":"get",)" + url + "}", "\"user\" is missing or not a text"},
        {R"({"action":"get",)" + url + R"(,"user":"\u043f\u0430\u0440\u043e\u043b\u044c"})",
         "the user name has characters that Windows-1252 cannot hold"},
        {R"({"action":"get",)" + url + R"(,"user":"bo\u0000b"})",
         "the user name holds a NUL character"},
        {R"({"action":"get",)" + url + R"(,"user":"bo\tb"})",
         "the user name holds a control character"},
        {R"({"action":"get",)" + url + R"(,"user":"bob "})",
         "the user name begins or ends with a blank"},
        {R"({"action":"get",)" + url + R"(,"user":")" + std::string(80, 'u') + R"("})",
         "the user name is longer than 79 characters"},
        {R"({"action":"save",)" + url + R"(,"user":"bob"})",
         "\"password\" is missing or not a text"},
        {R"({"action":"save",)" + url + R"(,"user":"bob","password":""})", "the password is empty"},
        {R"({"action":"save",)" + url +
             R"(,"user":"bob","password":"\u043f\u0430\u0440\u043e\u043b\u044c"})",
         "the password has characters that Windows-1252 cannot hold"},
        {R"({"action":"save",)" + url + R"(,"user":"bob","password":"ab\u0000cd"})",
         "the password holds a NUL character"},
        {R"({"action":"save",)" + url + R"(,"user":"bob","password":"\ud83d\ude00"})",
         "the password has characters that Windows-1252 cannot hold"},
        {R"({"action":"save",)" + url + R"(,"user":"bob","password":")" + std::string(80, 'p') +
             R"("})",
         "the password is longer than 79 characters"},
        {R"({"action":"check",)" + url + R"(,"user":"bob","password":"\ud800"})",
         "the message is no JSON text: lone high surrogate at byte 84"},
        {"{\"action\":\"find\",\"url\":\"https://shop.example/\xE9\"}",
         "the message is no JSON text: malformed UTF-8 at byte 45"},
        {R"({"action":"find","url":"https://shop.example/","x":[[[[1]]]]})",
         "the message is no JSON text: nested too deeply at byte 54"},
    };
    for (const Case& c : cases) {
        json::Value expected = json::Value::object();
        expected.set("status", json::Value::string("error"));
        expected.set("message", json::Value::string(c.message));
        expectExchanges(vault, {{c.request.c_str(), c.request, json::serialize(expected), {}}});
    }
    EXPECT_EQ(vault.store.rows.size(), storedLogins().size());
}

// ---- What stays behind in freed memory

// A vault that answers without copying a secret anywhere itself: whatever the watch finds
// was left by the host.
class QuietVault : public Vault {
  public:
    static constexpr char kStored[] = "Stored-Secret-Of-Bob-1234567890-abcdefghij";
    static constexpr char kSaved[] = "Saved-Secret-From-Page-0987654321-zyxwvuts";
    std::optional<bool> loggedIn() override { return true; }
    std::optional<std::intptr_t> send(RequestKind kind, RequestBlock& block) override {
        if (kind == RequestKind::GetByTitle) {
            browser::encodeLoginReply(block, kind, "bob", kStored);
        } else if (kind == RequestKind::SaveLogin) {
            savedIntact = browser::fieldText(block, browser::kPasswordField) == kSaved;
            browser::encodeReply(block, kind);
        } else {
            return 0;
        }
        return 1;
    }
    bool savedIntact = false;
};

TEST(NativeMessagingSecrets, NoCopyIsLeftInFreedMemory) {
    CountingRandom preview;
    const SecretString generated = *generatePassword(GeneratorOptions{}, kGeneratedLength, preview);
    const std::string url = R"("url":"https://shop.example/login","user":"bob")";
    std::string input =
        frame(R"({"action":"get",)" + url + "}") +
        frame(R"({"action":"check",)" + url + R"(,"password":")" + QuietVault::kSaved + "\"}") +
        frame(R"({"action":"save",)" + url + R"(,"password":")" + QuietVault::kSaved + "\"}") +
        frame(R"({"action":"generate"})");
    QuietVault vault;
    CountingRandom random;
    Output out;
    {
        ChunkedInput in(std::move(input), {7});
        // The first and the last eight characters of each: a buffer that was given up while
        // it grew holds the start of a text, not all of it.
        const std::string_view stored = QuietVault::kStored, saved = QuietVault::kSaved;
        test::FreedMemoryWatch watch({stored.substr(0, 8), stored.substr(stored.size() - 8),
                                      saved.substr(0, 8), saved.substr(saved.size() - 8),
                                      generated.view().substr(0, 8),
                                      generated.view().substr(generated.size() - 8)});
        EXPECT_EQ(serveNativeMessaging(in, out, vault, random), 0);
        watch.stop();
        EXPECT_GT(watch.releasedBlocks(), 50u);
        EXPECT_EQ(watch.blocksWithNeedle(), 0u) << watch.report();
    }
    EXPECT_TRUE(vault.savedIntact);
    const std::vector<std::string> replies = out.messages();
    ASSERT_EQ(replies.size(), 4u);
    EXPECT_NE(replies[0].find(QuietVault::kStored), std::string::npos);
    EXPECT_EQ(canonical(replies[1]), canonical(R"({"status":"ok","login":"changed"})"));
    EXPECT_NE(replies[3].find(generated.view()), std::string::npos);
}

} // namespace
} // namespace kh::bridge
