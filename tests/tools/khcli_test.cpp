#include "account_file.h"
#include "khcli.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <deque>

namespace kh::cli {
namespace {

class FakeConsole final : public Console {
  public:
    std::string out_, err_;
    std::deque<std::string> stdinLines;
    std::deque<std::string> promptAnswers;
    std::vector<std::string> prompts;
    bool hasTerminal = true;

    void out(std::string_view text) override { out_ += text; }
    void err(std::string_view text) override { err_ += text; }
    bool readLine(SecretString& line) override {
        if (stdinLines.empty()) return false;
        line = stdinLines.front();
        stdinLines.pop_front();
        return true;
    }
    bool promptHidden(std::string_view prompt, SecretString& answer) override {
        prompts.emplace_back(prompt);
        if (!hasTerminal || promptAnswers.empty()) return false;
        answer = promptAnswers.front();
        promptAnswers.pop_front();
        return true;
    }
};

class KhcliTest : public ::testing::Test {
  protected:
    // Runs one command with `password` (if any) as the line on standard input.
    int run(std::vector<std::string> args, std::optional<std::string> password = std::nullopt) {
        console_ = FakeConsole{};
        if (password) {
            args.push_back("--password-stdin");
            console_.stdinLines.push_back(*password);
        }
        return cli::run(args, console_);
    }

    void createVault(const std::string& name = "alice", const std::string& password = "pw") {
        ASSERT_EQ(run({"create", file_, "--name", name, "--account-description", "About",
                       "--password-description", "Hint"},
                      password),
                  kExitOk)
            << console_.err_;
    }

    test::TempDir dir_;
    std::string file_ = dir_.file("v.khk");
    FakeConsole console_;
};

TEST_F(KhcliTest, UsageErrorsExitWithTwo) {
    EXPECT_EQ(run({}), kExitUsage);
    EXPECT_NE(console_.err_.find("Usage: khcli"), std::string::npos);
    EXPECT_EQ(run({"--help"}), kExitOk);
    EXPECT_NE(console_.out_.find("dump FILE --name N --json"), std::string::npos);

    const std::vector<std::vector<std::string>> bad = {
        {"frobnicate", "f.khk"},
        {"list"},
        {"list", "--name", "a", "f.khk"},
        {"list", file_},
        {"list", file_, "--name"},
        {"list", file_, "--name", "a", "--name", "b"},
        {"list", file_, "--name", "a", "--title", "x"},
        {"info", file_, "stray"},
        {"dump", file_, "--name", "a"},
        {"dump", file_, "--name", "a", "--json=yes"},
        {"hint", file_, "--name="},
    };
    for (const auto& args : bad) {
        SCOPED_TRACE(args.empty() ? "" : args[0] + " " + std::to_string(args.size()));
        EXPECT_EQ(run(args), kExitUsage);
        EXPECT_NE(console_.err_.find("khcli: "), std::string::npos);
        EXPECT_TRUE(console_.out_.empty());
    }
}

TEST_F(KhcliTest, CreateAddAndReadBack) {
    createVault();
    EXPECT_EQ(console_.out_, "Created " + file_ + ".\n");
    EXPECT_EQ(
        run({"add", file_, "--name", "alice", "--type", "link", "--title", "Bank", "--whats-this",
             "login", "--data", "s3cret", "--description", "https://bank.example"},
            "pw"),
        kExitOk)
        << console_.err_;
    EXPECT_EQ(run({"add", file_, "--name=alice", "--type=42", "--title=Odd"}, "pw"), kExitOk);

    EXPECT_EQ(run({"info", file_}), kExitOk);
    EXPECT_EQ(console_.out_, "About\n");
    EXPECT_EQ(run({"hint", file_, "--name", "alice"}), kExitOk);
    EXPECT_EQ(console_.out_, "Hint\n");

    EXPECT_EQ(run({"list", file_, "--name", "alice"}, "pw"), kExitOk);
    EXPECT_EQ(console_.out_, "link\tBank\tlogin\thttps://bank.example\n42\tOdd\t\t\n");
    EXPECT_EQ(console_.out_.find("s3cret"), std::string::npos);

    EXPECT_EQ(run({"show", file_, "--name", "alice", "--title", "Bank"}, "pw"), kExitOk);
    EXPECT_EQ(console_.out_, "Type: link\nTitle: Bank\nWhat's this: login\nData: s3cret\n"
                             "Details: https://bank.example\n");
    EXPECT_EQ(run({"show", file_, "--name", "alice", "--title", "bank"}, "pw"), kExitFailed);

    EXPECT_EQ(run({"check", file_, "--name", "alice"}, "pw"), kExitOk);
    EXPECT_EQ(console_.out_, "Account \"alice\" opened: 2 entries, 0 damaged records dropped.\n");

    EXPECT_EQ(run({"dump", file_, "--name", "alice", "--json"}, "pw"), kExitOk);
    EXPECT_EQ(console_.out_,
              "{\"name\":\"alice\",\"password\":\"pw\",\"accountDescription\":\"About\","
              "\"passwordDescription\":\"Hint\",\"droppedRecords\":0,\"entries\":["
              "{\"type\":2,\"title\":\"Bank\",\"whatsThis\":\"login\",\"data\":\"s3cret\","
              "\"description\":\"https://bank.example\",\"fileOffset\":1340},"
              "{\"type\":42,\"title\":\"Odd\",\"whatsThis\":\"\",\"data\":\"\","
              "\"description\":\"\",\"fileOffset\":1820}]}\n");
}

TEST_F(KhcliTest, Utf8ArgumentsAreStoredAsWindows1252AndPrintedAsUtf8) {
    createVault("Zo\xC3\xAB", "p\xC3\xA4ss");
    ASSERT_EQ(run({"add", file_, "--name", "Zo\xC3\xAB", "--type", "text", "--title",
                   "Caf\xC3\xA9 \xE2\x82\xAC", "--description", "tab\there \"q\" \x01"},
                  "p\xC3\xA4ss"),
              kExitOk)
        << console_.err_;

    LoadedAccount loaded;
    ASSERT_EQ(readAccountFile(file_, "Zo\xEB", "p\xE4ss", loaded), ReadOutcome::Loaded);
    ASSERT_EQ(loaded.entries.size(), 1u);
    EXPECT_EQ(loaded.entries[0].title, "Caf\xE9 \x80");

    EXPECT_EQ(run({"dump", file_, "--name", "Zo\xC3\xAB", "--json"}, "p\xC3\xA4ss"), kExitOk);
    EXPECT_NE(console_.out_.find("\"name\":\"Zo\xC3\xAB\""), std::string::npos);
    EXPECT_NE(console_.out_.find("\"title\":\"Caf\xC3\xA9 \xE2\x82\xAC\""), std::string::npos);
    EXPECT_NE(console_.out_.find("\"description\":\"tab\\there \\\"q\\\" \\u0001\""),
              std::string::npos);
    EXPECT_EQ(run({"list", file_, "--name", "Zo\xC3\xAB"}, "p\xC3\xA4ss"), kExitOk);
    EXPECT_EQ(console_.out_, "text\tCaf\xC3\xA9 \xE2\x82\xAC\t\ttab\\there \"q\" \x01\n");
}

TEST_F(KhcliTest, FailuresExitWithOne) {
    EXPECT_EQ(run({"list", file_, "--name", "alice"}, "pw"), kExitFailed); // no file yet
    EXPECT_EQ(run({"info", file_}), kExitFailed);
    createVault();
    EXPECT_EQ(run({"create", file_, "--name", "bob"}, "x"), kExitFailed); // exists
    EXPECT_NE(console_.err_.find("already exists"), std::string::npos);
    EXPECT_EQ(run({"list", file_, "--name", "alice"}, "wrong"), kExitFailed);
    EXPECT_NE(console_.err_.find("wrong name or password"), std::string::npos);
    EXPECT_EQ(run({"hint", file_, "--name", "Alice"}), kExitFailed);
    EXPECT_EQ(run({"create", dir_.file("missing/dir.khk"), "--name", "a"}, "x"), kExitFailed);
    EXPECT_NE(console_.err_.find("cannot write"), std::string::npos);
}

TEST_F(KhcliTest, BadInputIsRefusedBeforeAnythingIsWritten) {
    createVault();
    const test::Bytes before = test::readBytes(file_);
    const std::vector<std::vector<std::string>> bad = {
        {"add", file_, "--name", "alice", "--type", "secret", "--title", "x"},
        {"add", file_, "--name", "alice", "--type", "1x", "--title", "x"},
        {"add", file_, "--name", "alice", "--type", "text", "--title", ""},
        {"add", file_, "--name", "alice", "--type", "text", "--title", std::string(80, 't')},
        {"add", file_, "--name", "alice", "--type", "text", "--title", "t", "--data",
         std::string(80, 'd')},
        {"add", file_, "--name", "alice", "--type", "text", "--title", "t", "--description",
         std::string(192, 'd')},
    };
    for (const auto& args : bad) {
        EXPECT_EQ(run(args, "pw"), kExitUsage) << args[5] << args[7];
        EXPECT_EQ(test::readBytes(file_), before);
    }
    EXPECT_EQ(run({"add", file_, "--name", "alice", "--type", "text", "--title", "t", "--data",
                   std::string(79, 'd')},
                  "pw"),
              kExitOk);
    EXPECT_EQ(run({"create", dir_.file("n.khk"), "--name", std::string(160, 'n')}, "pw"),
              kExitUsage);
    EXPECT_EQ(run({"create", dir_.file("p.khk"), "--name", "a"}, std::string(80, 'p')), kExitUsage);
    EXPECT_EQ(run({"create", dir_.file("e.khk"), "--name", "a"}, ""), kExitUsage);
    EXPECT_EQ(run({"list", file_, "--name", "alice", "--password-stdin"}), kExitUsage); // no line
    EXPECT_FALSE(std::filesystem::exists(dir_.file("n.khk")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("p.khk")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("e.khk")));
}

TEST_F(KhcliTest, PasswordPromptConfirmsOnCreate) {
    console_ = FakeConsole{};
    console_.promptAnswers = {"pw", "pw"};
    ASSERT_EQ(cli::run({"create", file_, "--name", "alice"}, console_), kExitOk) << console_.err_;
    EXPECT_EQ(console_.prompts.size(), 2u);

    console_ = FakeConsole{};
    console_.promptAnswers = {"pw"};
    EXPECT_EQ(cli::run({"check", file_, "--name", "alice"}, console_), kExitOk);
    EXPECT_EQ(console_.prompts.size(), 1u);

    console_ = FakeConsole{};
    console_.promptAnswers = {"one", "two"};
    EXPECT_EQ(cli::run({"create", dir_.file("b.khk"), "--name", "b"}, console_), kExitUsage);
    EXPECT_NE(console_.err_.find("differ"), std::string::npos);

    console_ = FakeConsole{};
    console_.hasTerminal = false;
    EXPECT_EQ(cli::run({"check", file_, "--name", "alice"}, console_), kExitUsage);
    EXPECT_NE(console_.err_.find("--password-stdin"), std::string::npos);
}

TEST_F(KhcliTest, DamagedRecordsAreReportedAndProtectedFromSilentLoss) {
    createVault();
    for (const char* title : {"one", "two", "three"})
        ASSERT_EQ(run({"add", file_, "--name", "alice", "--type", "password", "--title", title,
                       "--data", "x"},
                      "pw"),
                  kExitOk);
    test::Bytes bytes = test::readBytes(file_);
    bytes[kHeaderSize + kRecordSize + 10] ^= 0xFF; // damage "two"
    test::writeBytes(file_, bytes);

    EXPECT_EQ(run({"check", file_, "--name", "alice"}, "pw"), kExitOk);
    EXPECT_EQ(console_.out_, "Account \"alice\" opened: 2 entries, 1 damaged records dropped.\n");
    EXPECT_EQ(run({"dump", file_, "--name", "alice", "--json"}, "pw"), kExitOk);
    EXPECT_NE(console_.out_.find("\"droppedRecords\":1"), std::string::npos);

    EXPECT_EQ(run({"add", file_, "--name", "alice", "--type", "text", "--title", "four"}, "pw"),
              kExitFailed);
    EXPECT_NE(console_.err_.find("--drop-damaged"), std::string::npos);
    EXPECT_EQ(test::readBytes(file_), bytes);
    EXPECT_EQ(run({"add", file_, "--name", "alice", "--type", "text", "--title", "four",
                   "--drop-damaged"},
                  "pw"),
              kExitOk);
    EXPECT_EQ(run({"check", file_, "--name", "alice"}, "pw"), kExitOk);
    EXPECT_EQ(console_.out_, "Account \"alice\" opened: 3 entries, 0 damaged records dropped.\n");
}

} // namespace
} // namespace kh::cli
