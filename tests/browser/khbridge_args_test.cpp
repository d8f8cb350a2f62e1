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
