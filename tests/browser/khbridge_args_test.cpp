#include "bridge_client.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kh::bridge {
namespace {

using Args = std::vector<std::string>;

TEST(KhbridgeArguments, Accepted) {
    struct Case {
        Args args;
        Command command;
        std::string user, password, url;
        bool fromStdin = false;
    };
    const Case cases[] = {
        {{"status"}, Command::Status, "", "", ""},
        {{"register"}, Command::Register, "", "", ""},
        {{"unregister"}, Command::Unregister, "", "", ""},
        {{"get", "--user", "bob", "--url", "https://x/"}, Command::Get, "bob", "", "https://x/"},
        {{"get", "--url", "https://x/", "--user", "bob"}, Command::Get, "bob", "", "https://x/"},
        {{"find", "--url", "https://x/"}, Command::Find, "", "", "https://x/"},
        {{"save", "--user", "bob", "--password", " p w ", "--url", "u"},
         Command::Save,
         "bob",
         " p w ",
         "u"},
        {{"save", "--password-stdin", "--user", "bob", "--url", "u"},
         Command::Save,
         "bob",
         "",
         "u",
         true},
        {{"check", "--user", std::string(79, 'u'), "--url", std::string(191, 'a')},
         Command::Check,
         std::string(79, 'u'),
         "",
         std::string(191, 'a')},
    };
    for (const Case& c : cases) {
        auto parsed = parseArguments(c.args);
        ASSERT_TRUE(std::holds_alternative<Invocation>(parsed))
            << c.args[0] << ": " << std::get<UsageError>(parsed).message;
        const Invocation& inv = std::get<Invocation>(parsed);
        EXPECT_EQ(inv.command, c.command);
        EXPECT_EQ(inv.user, c.user);
        EXPECT_EQ(inv.password, c.password);
        EXPECT_EQ(inv.url, c.url);
        EXPECT_EQ(inv.passwordFromStdin, c.fromStdin);
    }
}

TEST(KhbridgeArguments, Refused) {
    const Args cases[] = {
        {},
        {"fetch"},
        {"status", "--user", "bob"},
        {"register", "--url", "u"},
        {"get", "--url", "u"},
        {"get", "--user", "bob"},
        {"get", "--user", "bob", "--url"},
        {"get", "--user", "bob", "--user", "eve", "--url", "u"},
        {"get", "--user", "", "--url", "u"},
        {"find", "--user", "bob", "--url", "u"},
        {"save", "--user", "bob", "--url", "u"},
        {"save", "--user", "bob", "--password", "p", "--password-stdin", "--url", "u"},
        {"save", "--user", "bob", "--password", std::string(80, 'p'), "--url", "u"},
        {"check", "--user", std::string(80, 'u'), "--url", "u"},
        {"check", "--user", "bob", "--url", std::string(192, 'a')},
        {"check", "--user", "bob", "--url", "u", "extra"},
    };
    for (const Args& args : cases) {
        auto parsed = parseArguments(args);
        EXPECT_TRUE(std::holds_alternative<UsageError>(parsed))
            << (args.empty() ? "(none)" : args[0]) << " with " << args.size() << " arguments";
    }
}

TEST(KhbridgeArguments, PasswordFromStandardInput) {
    struct Case {
        std::string input;
        std::optional<std::string> password;
    };
    const Case cases[] = {
        {"secret\n", "secret"}, {"se cret \r\nnext\n", "se cret "}, {"last", "last"}, {"\n", ""},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.input);
        const std::optional<SecretString> password = readPasswordLine(in);
        ASSERT_EQ(password.has_value(), c.password.has_value()) << c.input;
        if (password) {
            EXPECT_EQ(*password, *c.password);
        }
    }
    EXPECT_TRUE(checkPassword(SecretString("")));
    EXPECT_TRUE(checkPassword(SecretString(std::string(80, 'p'))));
    EXPECT_FALSE(checkPassword(SecretString(std::string(79, 'p'))));
}

// The system's arguments are UTF-16: each reaches the block exactly in Windows-1252 or the
// command is refused (a "?" saved in place of each Cyrillic letter let any six-letter
// password through).
TEST(KhbridgeArguments, WideArgumentsConvertedExactly) {
    using Wide = std::vector<std::u16string_view>;
    struct Case {
        Wide args;
        std::optional<std::string> password; // none: refused
    };
    const Case cases[] = {
        {{u"save", u"--user", u"bob", u"--password", u"caf\u00e9 \u20ac", u"--url", u"u"},
         "caf\xE9 \x80"},
        {{u"save", u"--user", u"bob", u"--password", u"\u043f\u0430\u0440\u043e\u043b\u044c",
          u"--url", u"u"},
         std::nullopt},
        {{u"save", u"--user", u"bob", u"--password",
          u"a\xD800"
          u"b",
          u"--url", u"u"},
         std::nullopt},
        {{u"save", u"--user", u"bob", u"--password", u"\xDC00", u"--url", u"u"}, std::nullopt},
        {{u"save", u"--user", u"bob", u"--password", u"\U0001F600", u"--url", u"u"}, std::nullopt},
        {{u"save", u"--user", u"b\u00f6b", u"--password", u"p", u"--url", u"https://\u00e9.x/"},
         "p"},
        {{u"save", u"--user", u"\u0431\u043e\u0431", u"--password", u"p", u"--url", u"u"},
         std::nullopt},
    };
    for (const Case& c : cases) {
        auto parsed = parseUtf16Arguments(c.args);
        ASSERT_EQ(std::holds_alternative<Invocation>(parsed), c.password.has_value())
            << (c.password ? *c.password : std::get<UsageError>(parsed).message);
        if (c.password) {
            EXPECT_EQ(std::get<Invocation>(parsed).password, *c.password);
        } else {
            EXPECT_NE(std::get<UsageError>(parsed).message.find("Windows-1252"), std::string::npos);
        }
    }
    auto parsed =
        parseUtf16Arguments({u"get", u"--user", u"b\u00f6b", u"--url", u"https://\u00e9.x/"});
    ASSERT_TRUE(std::holds_alternative<Invocation>(parsed));
    EXPECT_EQ(std::get<Invocation>(parsed).user, "b\xF6"
                                                 "b");
    EXPECT_EQ(std::get<Invocation>(parsed).url, "https://\xE9.x/");
}

TEST(KhbridgeArguments, PasswordLineIsUtf8) {
    struct Case {
        std::string line;
        std::optional<std::string> password; // none: refused
    };
    const Case cases[] = {
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"},
        {"\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C", std::nullopt}, // Cyrillic
        {"caf\xE9", std::nullopt},                // Windows-1252, not UTF-8
        {std::string("ab\0cd", 5), std::nullopt}, // would end at the NUL
        {std::string(79, 'p'), std::string(79, 'p')},
        {[] {
             std::string s;
             for (int i = 0; i < 79; ++i)
                 s += "\xC3\xA9";
             return s;
         }(),
         std::string(79, '\xE9')},
        {std::string(80, 'p'), std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        auto decoded = decodePasswordLine(SecretString(c.line));
        ASSERT_EQ(std::holds_alternative<SecretString>(decoded), c.password.has_value()) << c.line;
        if (c.password) {
            EXPECT_EQ(std::get<SecretString>(decoded), *c.password);
        }
    }
    std::istringstream withNul(std::string("ab\0cd\n", 6));
    const std::optional<SecretString> line = readPasswordLine(withNul);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->size(), 5u) << "the reader keeps the NUL for the check to see";
}

TEST(KhbridgeAnswer, ExitCodesAndFields) {
    auto invocation = [](Args args) { return std::get<Invocation>(parseArguments(args)); };
    const Invocation get = invocation({"get", "--user", "bob", "--url", "u"});
    const Invocation check = invocation({"check", "--user", "bob", "--url", "u"});
    const Invocation status = invocation({"status"});

    browser::RequestBlock block = requestBlock(get);
    EXPECT_EQ(browser::fieldText(block, browser::kUserNameField), "bob");
    EXPECT_EQ(browser::fieldText(block, browser::kAddressField), "u");
    EXPECT_EQ(requestMessage(Command::Get), 0x1621u);
    EXPECT_EQ(requestMessage(Command::Status), 0x1627u);
    EXPECT_FALSE(sendsBlock(Command::Status));

    // Answer 1 without the completion code is no success.
    EXPECT_EQ(reportAnswer(get, 1, block).exitCode, kExitNegative);
    browser::encodeLoginReply(block, browser::RequestKind::GetByTitle, "bob@x", "pw");
    const Report found = reportAnswer(get, 1, block);
    EXPECT_EQ(found.exitCode, kExitSuccess);
    EXPECT_EQ(found.text, "answer: 1\ncompletion: 0x1621\nuser: bob@x\npassword: pw\n");
    EXPECT_EQ(reportAnswer(get, 0, block).exitCode, kExitNegative);
    browser::encodeLoginReply(block, browser::RequestKind::GetByTitle, "j\xFCrgen", "\x80uro");
    EXPECT_EQ(reportAnswer(get, 1, block).text,
              "answer: 1\ncompletion: 0x1621\nuser: j\xC3\xBCrgen\npassword: \xE2\x82\xACuro\n")
        << "printed in UTF-8";

    browser::RequestBlock checked = requestBlock(check);
    EXPECT_EQ(reportAnswer(check, 1, checked).text,
              "answer: 1\ncompletion: 0x0000\nlogin exists: no\n");
    EXPECT_EQ(reportAnswer(check, 1, checked).exitCode, kExitNegative);
    browser::encodeReply(checked, browser::RequestKind::CheckLogin);
    EXPECT_EQ(reportAnswer(check, 1, checked).exitCode, kExitSuccess);

    EXPECT_EQ(reportAnswer(status, 1, {}).exitCode, kExitSuccess);
    EXPECT_EQ(reportAnswer(status, 0, {}).text, "answer: 0\nlogged in: no\n");
}

} // namespace
} // namespace kh::bridge
