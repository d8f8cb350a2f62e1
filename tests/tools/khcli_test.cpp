#define KH_HEAP_SCAN_ALLOCATOR // this binary's operators new and delete
#include "heap_scan.h"

#include "account_file.h"
#include "khcli.h"
#include "system_console.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#ifdef __linux__
#include <sys/prctl.h>
#include <sys/resource.h>
#endif
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

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

    // Compatible unless asked: most tests look at its fixed record layout, and it opens
    // without a memory-hard derivation.
    void createVault(const std::string& name = "alice", const std::string& password = "pw",
                     const std::string& protection = "compatible") {
        ASSERT_EQ(run({"create", file_, "--name", name, "--account-description", "About",
                       "--password-description", "Hint", "--protection", protection},
                      password),
                  kExitOk)
            << console_.err_;
    }

    void addEntry(const std::string& type, const std::string& title, const std::string& whatsThis,
                  const std::string& data, const std::string& description) {
        ASSERT_EQ(run({"add", file_, "--name", "alice", "--type", type, "--title", title,
                       "--whats-this", whatsThis, "--data", data, "--description", description},
                      "pw"),
                  kExitOk)
            << console_.err_;
    }

    // The stored entries of an account, without their file offsets.
    static std::vector<std::vector<std::string>> storedEntries(const std::string& file,
                                                               const std::string& name) {
        LoadedAccount loaded;
        EXPECT_EQ(readAccountFile(file, name, "pw", loaded), ReadOutcome::Loaded);
        std::vector<std::vector<std::string>> rows;
        for (const AccountEntry& e : loaded.entries)
            rows.push_back({std::to_string(e.type), e.title, e.whatsThis,
                            std::string(e.data.view()), e.description});
        return rows;
    }

    test::TempDir dir_;
    std::string file_ = dir_.file("v.khk");
    FakeConsole console_;
};

const std::string kExportHeader = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n";

void writeText(const std::string& path, std::string_view text) {
    test::writeBytes(path, test::Bytes(text.begin(), text.end()));
}

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
        // A value never swallows the option after it.
        {"list", file_, "--name", "--password-stdin"},
        {"add", file_, "--name", "a", "--type", "text", "--title", "--data", "x"},
        {"add", file_, "--name", "a", "--type", "text", "--title", "t", "--data", "x",
         "--data-stdin"},
        {"add", file_, "--name", "a", "--type", "text", "--title", "t", "--data-stdin=x"},
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
    EXPECT_EQ(console_.out_, "About\nProtection: compatible\n");
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

TEST_F(KhcliTest, NewAccountsAreStrongUnlessCompatibleIsAskedFor) {
    ASSERT_EQ(run({"create", file_, "--name", "alice", "--account-description", "About"}, "pw"),
              kExitOk)
        << console_.err_;
    EXPECT_EQ(readAccountProtection(file_), AccountProtection::strongWith());
    EXPECT_EQ(run({"info", file_}), kExitOk);
    EXPECT_EQ(console_.out_,
              "About\nProtection: strong (Argon2id, t=3, m=65536 KiB, p=2; AES-256-GCM)\n");

    const std::string other = dir_.file("c.khk");
    ASSERT_EQ(run({"create", other, "--name", "bob", "--protection=compatible"}, "pw"), kExitOk);
    EXPECT_EQ(readAccountProtection(other), AccountProtection::compatible());
    EXPECT_EQ(run({"info", other}), kExitOk);
    EXPECT_EQ(console_.out_, "\nProtection: compatible\n");

    const std::string refused = dir_.file("d.khk");
    EXPECT_EQ(run({"create", refused, "--name", "bob", "--protection", "weak"}, "pw"), kExitUsage);
    EXPECT_NE(console_.err_.find("strong or compatible"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(refused));
}

TEST_F(KhcliTest, ProtectConvertsBothWaysKeepingEverythingElse) {
    createVault();
    addEntry("link", "Bank", "login", "s3cret", "https://bank.example");
    addEntry("text", "Note", "", "", std::string(191, 'n'));
    const auto entries = storedEntries(file_, "alice");

    EXPECT_EQ(run({"protect", file_, "--name", "alice", "--protection", "strong"}, "pw"), kExitOk)
        << console_.err_;
    EXPECT_EQ(console_.out_,
              "Protected " + file_ + ": strong (Argon2id, t=3, m=65536 KiB, p=2; AES-256-GCM).\n");
    EXPECT_EQ(readAccountProtection(file_), AccountProtection::strongWith());
    EXPECT_EQ(storedEntries(file_, "alice"), entries);
    // Later saves keep the format.
    addEntry("text", "Later", "", "", "");
    EXPECT_EQ(readAccountProtection(file_), AccountProtection::strongWith());
    EXPECT_EQ(run({"hint", file_, "--name", "alice"}), kExitOk);
    EXPECT_EQ(console_.out_, "Hint\n");

    EXPECT_EQ(run({"protect", file_, "--name", "alice", "--protection", "compatible"}, "pw"),
              kExitOk);
    EXPECT_EQ(readAccountProtection(file_), AccountProtection::compatible());
    auto withLater = entries;
    withLater.push_back({"3", "Later", "", "", ""});
    EXPECT_EQ(storedEntries(file_, "alice"), withLater);
    EXPECT_EQ(run({"info", file_}), kExitOk);
    EXPECT_EQ(console_.out_, "About\nProtection: compatible\n");

    // A wrong password or an unknown format changes nothing.
    const test::Bytes before = test::readBytes(file_);
    EXPECT_EQ(run({"protect", file_, "--name", "alice", "--protection", "strong"}, "wrong"),
              kExitFailed);
    EXPECT_EQ(run({"protect", file_, "--name", "alice", "--protection", "des"}, "pw"), kExitUsage);
    EXPECT_EQ(run({"protect", file_, "--name", "alice"}, "pw"), kExitUsage);
    EXPECT_EQ(test::readBytes(file_), before);
}

TEST_F(KhcliTest, ADamagedStrongFileIsRefusedWholeAndSaysSo) {
    createVault("alice", "pw", "strong");
    addEntry("text", "One", "", "", "");
    test::Bytes bytes = test::readBytes(file_);
    bytes[bytes.size() - 20] ^= 0x01; // inside the encrypted entries
    test::writeBytes(file_, bytes);

    EXPECT_EQ(run({"list", file_, "--name", "alice"}, "pw"), kExitFailed);
    EXPECT_NE(console_.err_.find("damaged"), std::string::npos);
    EXPECT_NE(console_.err_.find("backup"), std::string::npos);
    EXPECT_EQ(
        run({"add", file_, "--name", "alice", "--type", "text", "--title", "Two", "--drop-damaged"},
            "pw"),
        kExitFailed);
    EXPECT_EQ(run({"list", file_, "--name", "alice"}, "wrong"), kExitFailed);
    EXPECT_NE(console_.err_.find("wrong name or password"), std::string::npos);
    EXPECT_EQ(test::readBytes(file_), bytes);
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

TEST_F(KhcliTest, AValueNeverSwallowsTheNextOption) {
    createVault();
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"list", file_, "--name", "--password-stdin"}, "--name needs a value"},
        {{"add", file_, "--name", "alice", "--type", "text", "--title", "--data", "x"},
         "--title needs a value"},
        {{"show", file_, "--title", "--name", "alice"}, "--title needs a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        // A password line is there, so only the command line can fail.
        EXPECT_EQ(run(c.args, "pw"), kExitUsage);
        EXPECT_NE(console_.err_.find(c.error), std::string::npos) << console_.err_;
    }
}

TEST_F(KhcliTest, ValuesStartingWithDashesAreGivenWithAnEqualsSign) {
    ASSERT_EQ(run({"create", file_, "--name=--odd"}, "pw"), kExitOk) << console_.err_;
    EXPECT_EQ(
        run({"add", file_, "--name=--odd", "--type", "text", "--title=--t", "--data=--d"}, "pw"),
        kExitOk)
        << console_.err_;
    EXPECT_EQ(run({"show", file_, "--name=--odd", "--title=--t"}, "pw"), kExitOk);
    EXPECT_NE(console_.out_.find("Data: --d\n"), std::string::npos);
}

TEST_F(KhcliTest, EntryDataComesFromTheOptionStandardInputOrAHiddenPrompt) {
    createVault();
    struct Case {
        const char* name;
        std::vector<std::string> options; // after --type
        std::deque<std::string> stdinAfterPassword;
        std::deque<std::string> answers; // typed at the hidden prompt
        bool terminal;
        int code;
        std::string stored;
        std::size_t prompts;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"stdin",
         {"password", "--data-stdin"},
         {"s3 cr\xC3\xA9t "},
         {},
         true,
         kExitOk,
         "s3 cr\xE9t ",
         0,
         ""},
        {"stdin, empty line", {"link", "--data-stdin"}, {""}, {}, true, kExitOk, "", 0, ""},
        {"stdin without a line",
         {"password", "--data-stdin"},
         {},
         {},
         true,
         kExitUsage,
         "",
         0,
         "no entry data"},
        {"stdin too long",
         {"password", "--data-stdin"},
         {std::string(80, 'd')},
         {},
         true,
         kExitUsage,
         "",
         0,
         "longer than 79"},
        {"prompt", {"password"}, {}, {"hidden", "hidden"}, true, kExitOk, "hidden", 2, ""},
        {"prompt for a link", {"link"}, {}, {"https", "https"}, true, kExitOk, "https", 2, ""},
        {"prompt, typed differently", {"1"}, {}, {"one", "two"}, true, kExitUsage, "", 2, "differ"},
        {"prompt without a terminal",
         {"password"},
         {},
         {},
         false,
         kExitUsage,
         "",
         1,
         "--data-stdin"},
        {"text needs no secret", {"text"}, {}, {}, false, kExitOk, "", 0, ""},
        {"nor a type of its own", {"42"}, {}, {}, false, kExitOk, "", 0, ""},
        {"option", {"password", "--data", "given"}, {}, {}, false, kExitOk, "given", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::Bytes before = test::readBytes(file_);
        std::vector<std::string> args = {"add",     file_,  "--name",           "alice",
                                         "--title", c.name, "--password-stdin", "--type"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        console_ = FakeConsole{};
        console_.stdinLines = c.stdinAfterPassword;
        console_.stdinLines.push_front("pw");
        console_.promptAnswers = c.answers;
        console_.hasTerminal = c.terminal;
        EXPECT_EQ(cli::run(args, console_), c.code) << console_.err_;
        EXPECT_EQ(console_.prompts.size(), c.prompts);
        if (c.prompts > 0) {
            EXPECT_EQ(console_.prompts[0], "Entry data: ");
        }
        if (c.code != kExitOk) {
            EXPECT_NE(console_.err_.find(c.error), std::string::npos) << console_.err_;
            EXPECT_EQ(test::readBytes(file_), before);
            continue;
        }
        const auto rows = storedEntries(file_, "alice");
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back()[1], c.name);
        EXPECT_EQ(rows.back()[3], c.stored);
    }
}

TEST_F(KhcliTest, NewAccountsFitTheProgramsLogin) {
    struct Case {
        std::string name, password;
        int code;
        std::string error;
    };
    const std::string e150 = [] {
        std::string s;
        for (int i = 0; i < 150; ++i)
            s += "\xC3\xA9"; // one character, one stored byte
        return s;
    }();
    const std::vector<Case> cases = {
        {std::string(150, 'n'), std::string(75, 'p'), kExitOk, ""},
        {e150, "p", kExitOk, ""},
        {std::string(151, 'n'), "p", kExitUsage, "--name is longer than 150 characters"},
        {e150 + "x", "p", kExitUsage, "--name is longer than 150 characters"},
        {"n", std::string(76, 'p'), kExitUsage, "longer than 75 characters"},
        {"n", std::string(74, 'p') + "\xC3\xA9\xC3\xA9", kExitUsage, "longer than 75"},
    };
    int made = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.size());
        const std::string file = dir_.file("new" + std::to_string(made++) + ".khk");
        EXPECT_EQ(run({"create", file, "--name", c.name}, c.password), c.code) << console_.err_;
        EXPECT_NE(console_.err_.find(c.error), std::string::npos) << console_.err_;
        EXPECT_EQ(std::filesystem::exists(file), c.code == kExitOk);
        if (c.code == kExitOk) {
            EXPECT_EQ(run({"check", file, "--name", c.name}, c.password), kExitOk);
        }
    }
}

TEST_F(KhcliTest, ExportSaysHowManyEntriesWouldNotComeBackIntact) {
    createVault();
    addEntry("password", "Mail", "", "plain", "");
    addEntry("password", "Shop", "", "p<Type>x</Data>9", "");
    const std::string exported = dir_.file("out.xml");
    ASSERT_EQ(run({"export", file_, "--name", "alice", "--output", exported}, "pw"), kExitOk);
    EXPECT_EQ(console_.err_, "Export To XML: 2 items exported! 1 of them cannot be imported back "
                             "intact from this file; keep the account file.\n");
    ASSERT_EQ(run({"export", file_, "--name", "alice"}, "pw"), kExitOk);
    EXPECT_NE(console_.out_.find("<Data>p<Type>x</Data>9</Data>"), std::string::npos);
    EXPECT_EQ(console_.err_, "khcli: 1 of the exported entries cannot be imported back intact; "
                             "keep the account file.\n");

    // What the warning is about: the import gets the secret wrong.
    const std::string other = dir_.file("other.khk");
    ASSERT_EQ(run({"create", other, "--name", "bob"}, "pw"), kExitOk);
    ASSERT_EQ(run({"import", other, "--name", "bob", "--input", exported}, "pw"), kExitOk);
    EXPECT_EQ(console_.out_, "Import From XML: 2 items imported!\n");
    EXPECT_EQ(storedEntries(other, "bob")[1][3], "p<Type>x");
}

TEST_F(KhcliTest, ImportSaysHowManyEntriesWereCut) {
    createVault();
    const std::string input = dir_.file("in.xml");
    const std::string fits = "<Entry><Type>Password</Type><Title>Fits</Title><Data>" +
                             std::string(79, 'd') + "</Data></Entry>";
    const std::string cut = "<Entry><Type>Password</Type><Title>Long</Title><Data>" +
                            std::string(89, 'd') + "</Data></Entry>";
    writeText(input, fits + cut + fits + cut);
    ASSERT_EQ(run({"import", file_, "--name", "alice", "--input", input}, "pw"), kExitOk)
        << console_.err_;
    EXPECT_EQ(console_.out_, "Import From XML: 4 items imported! 2 of them had texts longer than "
                             "the account file holds; they were cut.\n");
    const auto rows = storedEntries(file_, "alice");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1][3], std::string(79, 'd'));
}

#ifdef __linux__
TEST(KhcliProcess, KeepsItsMemoryOutOfCoreFiles) {
    protectProcess();
    EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    rlimit core{};
    ASSERT_EQ(getrlimit(RLIMIT_CORE, &core), 0);
    EXPECT_EQ(core.rlim_cur, 0u);
    EXPECT_EQ(core.rlim_max, 0u);
}
#endif

// A console that keeps what it is given the way secrets are kept.
class WipingConsole final : public Console {
  public:
    SecretString out_, err_;
    std::deque<SecretString> stdinLines;

    void out(std::string_view text) override { out_.append(text); }
    void err(std::string_view text) override { err_.append(text); }
    bool readLine(SecretString& line) override {
        if (stdinLines.empty()) return false;
        line = std::move(stdinLines.front());
        stdinLines.pop_front();
        return true;
    }
    bool promptHidden(std::string_view, SecretString&) override { return false; }
};

// Every way a secret goes through khcli, and no copy of it left in released memory.
TEST_F(KhcliTest, SecretsLeaveNoCopyInReleasedMemory) {
    // Shared by every form of the secrets; the letters after it grow in UTF-8.
    constexpr std::string_view kMarker = "KH-MARKER-5d2a-";
    const std::string utf8Secret = std::string(kMarker) + [] {
        std::string s;
        for (int i = 0; i < 20; ++i)
            s += "\xC3\xA9";
        return s;
    }();
    createVault();
    const std::string input = dir_.file("in.xml");
    writeText(input, "<Entry><Type>Link</Type><Title>Imported</Title><Data>" +
                         std::string(kMarker) + "imported</Data></Entry>");
    // Commands as their arguments, made before watching; the test wipes its own copies.
    std::vector<std::vector<std::string>> commands = {
        {"add", file_, "--name", "alice", "--type", "password", "--title", "Stdin", "--data-stdin"},
        {"add", file_, "--name", "alice", "--type", "password", "--title", "Option", "--data",
         utf8Secret},
        {"add", file_, "--name", "alice", "--type", "password", "--title", "Equals",
         "--data=" + utf8Secret},
        {"show", file_, "--name", "alice", "--title", "Stdin"},
        {"dump", file_, "--name", "alice", "--json"},
        {"export", file_, "--name", "alice"},
        {"export", file_, "--name", "alice", "--output", dir_.file("out.xml")},
        {"import", file_, "--name", "alice", "--input", input},
        {"find", file_, "--name", "alice", "--text", "imported", "--in", "password"},
    };
    std::size_t shown = 0;
    {
        test::FreedMemoryWatch watch({kMarker});
        for (std::vector<std::string>& args : commands) {
            SCOPED_TRACE(args[0]);
            WipingConsole console;
            console.stdinLines.emplace_back("pw");
            console.stdinLines.emplace_back(utf8Secret);
            args.push_back("--password-stdin");
            EXPECT_EQ(cli::run(args, console), kExitOk);
            if (console.out_.view().find(kMarker) != std::string_view::npos) ++shown;
            for (std::string& arg : args)
                secureWipe(arg.data(), arg.capacity());
        }
        watch.stop();
        EXPECT_GT(watch.releasedBlocks(), 100u);
        EXPECT_EQ(watch.blocksWithNeedle(), 0u) << watch.report();
    }
    EXPECT_EQ(shown, 3u); // show, dump and the export to standard output
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

TEST_F(KhcliTest, ExportThenImportIntoAnotherAccountGivesTheSameValues) {
    createVault();
    addEntry("password", "Mail", "user: zo\xC3\xAB", "  s3 cret  ", "webmail");
    addEntry("link", "Bank & <Co>", "login", "", "https://bank.example/?a=1&b=2");
    addEntry("text", "Caf\xC3\xA9", "", "\xE2\x82\xAC 12", "line one");

    const std::string exported = dir_.file("out.xml");
    ASSERT_EQ(run({"export", file_, "--name", "alice", "--output", exported}, "pw"), kExitOk)
        << console_.err_;
    EXPECT_EQ(console_.err_, "Export To XML: 3 items exported!\n");
    EXPECT_TRUE(console_.out_.empty());
    const test::Bytes fileBytes = test::readBytes(exported);
    const std::string fileText(fileBytes.begin(), fileBytes.end());
    EXPECT_EQ(fileText.rfind(kExportHeader + "<Entry>\r\n  <Title>Mail</Title>\r\n", 0), 0u);
    EXPECT_NE(fileText.find("<Title>Bank & <Co></Title>"), std::string::npos);
    EXPECT_NE(fileText.find("<Type>Link</Type>\r\n  <Version>1</Version>\r\n  <Data></Data>"),
              std::string::npos);

    // Standard output carries the same bytes, still Windows-1252.
    ASSERT_EQ(run({"export", file_, "--name", "alice"}, "pw"), kExitOk);
    EXPECT_EQ(console_.out_, fileText);
    EXPECT_NE(console_.out_.find("<Title>Caf\xE9</Title>"), std::string::npos);
    EXPECT_TRUE(console_.err_.empty());

    const std::string other = dir_.file("other.khk");
    ASSERT_EQ(run({"create", other, "--name", "bob"}, "pw"), kExitOk);
    ASSERT_EQ(run({"import", other, "--name", "bob", "--input", exported}, "pw"), kExitOk)
        << console_.err_;
    EXPECT_EQ(console_.out_, "Import From XML: 3 items imported!\n");
    EXPECT_EQ(storedEntries(other, "bob"), storedEntries(file_, "alice"));

    // No check for duplicates: a second import adds the same entries again.
    ASSERT_EQ(run({"import", other, "--name", "bob", "--input", exported}, "pw"), kExitOk);
    EXPECT_EQ(storedEntries(other, "bob").size(), 6u);
}

TEST_F(KhcliTest, ImportCutsNewTitlesAndSavesOnlyWhenSomethingWasAccepted) {
    createVault();
    const std::string input = dir_.file("in.xml");
    writeText(input, "<Entry><Type> link </Type><Title>" + std::string(100, 'T') +
                         "</Title><Data>d</Data><WhatsThis>" + std::string(90, 'w') +
                         "</WhatsThis></Entry>"
                         "<Entry><Type>Secret</Type><Title>rejected</Title><Data></Data></Entry>");
    ASSERT_EQ(run({"import", file_, "--name", "alice", "--input", input}, "pw"), kExitOk)
        << console_.err_;
    EXPECT_EQ(console_.out_, "Import From XML: 1 item imported! 1 of them had texts longer than "
                             "the account file holds; they were cut.\n");
    const std::vector<std::vector<std::string>> want = {
        {"2", std::string(79, 'T'), std::string(79, 'w'), "d", ""}};
    EXPECT_EQ(storedEntries(file_, "alice"), want);

    const test::Bytes before = test::readBytes(file_);
    // Entries that all fail to convert save nothing.
    writeText(input, "<Entry><Type>Secret</Type><Title>rejected</Title><Data></Data></Entry>");
    ASSERT_EQ(run({"import", file_, "--name", "alice", "--input", input}, "pw"), kExitOk);
    EXPECT_EQ(console_.out_, "Import From XML: 0 items imported!\n");
    EXPECT_EQ(test::readBytes(file_), before);
    // A file in the XML form without a single entry is no export: refused, not "0 imported".
    writeText(input, kExportHeader + "no blocks here");
    EXPECT_EQ(run({"import", file_, "--name", "alice", "--input", input}, "pw"), kExitUsage);
    EXPECT_NE(console_.err_.find("not in a format that Keyhaven can import"), std::string::npos);
    EXPECT_EQ(test::readBytes(file_), before);
}

// Exports of other password managers, written for the test: each comes in through the
// format it is named as (or recognised as), with the summary naming what did not.
TEST_F(KhcliTest, ImportReadsOtherPasswordManagersExportsAndNamesWhatStayedOut) {
    struct Sample {
        std::string from; // "" for no --from
        std::string text;
        std::string summary; // the first line of the output
        std::vector<std::vector<std::string>> want;
        std::string named; // an item the summary must name ("" for none)
    };
    const std::vector<Sample> samples = {
        {"",
         "\xEF\xBB\xBF\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\r\n"
         "\"Root\",\"Mail\",\"zo\xC3\xAB\",\"p\"\"w\",\"\",\"a\nb\"\r\n"
         "\"Root\",\"Cyr\",\"bob\",\"\xD0\xBF\",\"\",\"\"\r\n",
         "Import From KeePassXC CSV: 1 item imported, 1 skipped.",
         {{"1", "Mail", "zo\xEB", "p\"w", "a\r\nb"}},
         "- Cyr: its user name or password cannot be stored exactly"},
        {"chrome-csv",
         "name,url,username,password,note\nsite,https://s.example/,u1,pw1,\n\n",
         "Import From Chrome/Edge CSV: 1 item imported, 0 skipped.",
         {{"2", "u1", "site", "pw1", "https://s.example/"}},
         ""},
        {"firefox-csv",
         "\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\","
         "\"timeCreated\",\"timeLastUsed\",\"timePasswordChanged\"\n"
         "\"https://f.example\",\"fu\",\"fp\",,\"\",\"{1}\",\"1\",\"1\",\"1\"\n",
         "Import From Firefox CSV: 1 item imported, 0 skipped.",
         {{"2", "fu", "f.example", "fp", "https://f.example"}},
         ""},
        {"bitwarden-json",
         R"({"encrypted":false,"items":[{"type":1,"name":"Bank","notes":null,)"
         R"("login":{"username":"b1","password":"bp","uris":[]}},)"
         R"({"type":3,"name":"Visa","card":{}}]})",
         "Import From Bitwarden JSON: 1 item imported, 1 skipped.",
         {{"1", "Bank", "b1", "bp", ""}},
         "- Visa: not a login or a note"},
    };
    for (const Sample& s : samples) {
        SCOPED_TRACE(s.from + " " + s.summary);
        std::filesystem::remove(file_);
        createVault();
        const std::string input = dir_.file("export.txt");
        writeText(input, s.text);
        std::vector<std::string> args = {"import", file_, "--name", "alice", "--input", input};
        if (!s.from.empty()) args.insert(args.end(), {"--from", s.from});
        ASSERT_EQ(run(args, "pw"), kExitOk) << console_.err_;
        EXPECT_EQ(console_.out_.substr(0, console_.out_.find('\n')), s.summary);
        if (!s.named.empty()) EXPECT_NE(console_.out_.find(s.named), std::string::npos);
        EXPECT_EQ(storedEntries(file_, "alice"), s.want);
    }
}

TEST_F(KhcliTest, ImportRefusesWhatItCannotReadBeforeAskingForThePassword) {
    createVault();
    const test::Bytes before = test::readBytes(file_);
    const std::string input = dir_.file("export.csv");
    struct Case {
        std::string text;
        std::vector<std::string> extra;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"a,b,c\n1,2,3\n", {}, "imports these formats: Keyhaven XML, KeePassXC CSV"},
        {"name,url,username,password,note\nx,y,z,w,\n",
         {"--from", "firefox-csv"},
         "This file is not a Firefox CSV export"},
        {R"({"encrypted":true,"items":[]})", {}, "encrypted"},
        {"name,url,username,password,note\n\"open,y,z,w,\n", {}, "line 2"},
        {"name,url,username,password,note\n", {"--from", "lastpass"}, "--from is one of auto|xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        writeText(input, c.text);
        std::vector<std::string> args = {"import", file_, "--name", "alice", "--input", input};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        // No password given: a refusal must come before it is asked for.
        console_ = FakeConsole{};
        console_.hasTerminal = false;
        EXPECT_EQ(cli::run(args, console_), kExitUsage);
        EXPECT_NE(console_.err_.find(c.says), std::string::npos) << console_.err_;
        EXPECT_TRUE(console_.prompts.empty());
        EXPECT_EQ(test::readBytes(file_), before);
    }
}

TEST_F(KhcliTest, FindLooksInTheChosenFieldsInFileOrder) {
    createVault();
    addEntry("password", "Mail", "bob", "Hunter2", "webmail");
    addEntry("link", "Bank", "alice", "pin", "https://bank.example/MAIL");
    addEntry("text", "Notes", "mail list", "x", "misc");
    addEntry("text", "Caf\xC3\xA9", "", "", "");

    struct Case {
        std::vector<std::string> options;
        std::string titles;
    };
    const std::vector<Case> cases = {
        {{"--text", "mail"}, "Mail\n"},
        {{"--text", "mail", "--all"}, "Mail\nBank\n"},
        {{"--text", "mail", "--all", "--case-sensitive"}, "Mail\n"}, // "webmail"
        {{"--text", "MAIL", "--all", "--case-sensitive"}, "Bank\n"},
        {{"--text", "mail", "--all", "--in", "whatsthis"}, "Notes\n"},
        {{"--text", "mail", "--all", "--in=title,whatsthis"}, "Mail\nNotes\n"},
        {{"--text", "HUNTER"}, "Mail\n"},
        {{"--text", "PIN", "--in", "password"}, "Bank\n"},
        {{"--text", "caf\xC3\x89"}, "Caf\xC3\xA9\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"find", file_, "--name", "alice"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        SCOPED_TRACE(testing::PrintToString(c.options));
        EXPECT_EQ(run(args, "pw"), kExitOk) << console_.err_;
        EXPECT_EQ(console_.out_, c.titles);
    }

    EXPECT_EQ(
        run({"find", file_, "--name", "alice", "--text", "hunter", "--in", "title,detail"}, "pw"),
        kExitFailed);
    EXPECT_EQ(console_.err_, "khcli: String: hunter not found!\n");
    EXPECT_TRUE(console_.out_.empty());
}

TEST_F(KhcliTest, GenerateDrawsFromTheChosenClassesAtTheAskedLength) {
    const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string lower = "abcdefghijklmnopqrstuvwxyz";
    const std::string special = "#$%&'()*+";
    const std::string digits = "0123456789";
    struct Case {
        std::vector<std::string> options;
        std::size_t length;
        std::string allowed;
    };
    const std::vector<Case> cases = {
        {{}, 15, upper + lower + special + digits},
        {{"--length", "0"}, 14, upper + lower + special + digits},
        {{"--length", "abc"}, 14, upper + lower + special + digits},
        {{"--length=20x"}, 20, upper + lower + special + digits},
        {{"--length", "100000", "--no-upper"}, 512, lower + special + digits},
        {{"--length", "64", "--no-lower", "--no-special", "--no-digits"}, 64, upper},
        {{"--length", "64", "--no-upper", "--no-lower", "--no-digits"}, 64, special},
        {{"--length", "64", "--no-upper", "--no-lower", "--no-special"}, 64, digits},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"generate"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        SCOPED_TRACE(testing::PrintToString(c.options));
        ASSERT_EQ(run(args), kExitOk) << console_.err_;
        ASSERT_FALSE(console_.out_.empty());
        EXPECT_EQ(console_.out_.back(), '\n');
        const std::string password = console_.out_.substr(0, console_.out_.size() - 1);
        EXPECT_EQ(password.size(), c.length);
        EXPECT_EQ(password.find_first_not_of(c.allowed), std::string::npos) << password;
    }
    EXPECT_EQ(run({"generate", "--no-upper", "--no-lower", "--no-special", "--no-digits"}),
              kExitUsage);
    EXPECT_TRUE(console_.out_.empty());
    EXPECT_EQ(run({"generate", file_}), kExitUsage);
    EXPECT_NE(console_.err_.find("unexpected argument"), std::string::npos);
}

TEST_F(KhcliTest, ExportImportAndFindRefuseBadInputAndLeaveFilesAlone) {
    createVault();
    addEntry("password", "Mail", "", "x", "");
    const std::string exported = dir_.file("out.xml");
    ASSERT_EQ(run({"export", file_, "--name", "alice", "--output", exported}, "pw"), kExitOk);
    const test::Bytes before = test::readBytes(file_);
    const std::string empty = dir_.file("empty.xml");
    writeText(empty, "");

    struct Case {
        std::vector<std::string> args;
        std::string password;
        int code;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"export", file_, "--name", "alice"}, "wrong", kExitFailed, "wrong name or password"},
        {{"export", file_, "--name", "alice", "--output", file_},
         "pw",
         kExitUsage,
         "the account file itself"},
        {{"export", file_, "--name", "alice", "--output", dir_.file("no/dir.xml")},
         "pw",
         kExitFailed,
         "cannot write"},
        {{"import", file_, "--name", "alice", "--input", exported},
         "wrong",
         kExitFailed,
         "wrong name or password"},
        {{"import", file_, "--name", "alice"}, "pw", kExitUsage, "missing --input"},
        {{"import", file_, "--name", "alice", "--input="}, "pw", kExitUsage, "--input"},
        {{"import", file_, "--name", "alice", "--input", dir_.file("missing.xml")},
         "pw",
         kExitFailed,
         "cannot read"},
        {{"import", file_, "--name", "alice", "--input", empty}, "pw", kExitFailed, "cannot read"},
        {{"find", file_, "--name", "alice", "--text", "Mail"},
         "wrong",
         kExitFailed,
         "wrong name or password"},
        {{"find", file_, "--name", "alice"}, "pw", kExitUsage, "missing --text"},
        {{"find", file_, "--name", "alice", "--text="}, "pw", kExitUsage, "--text"},
        {{"find", file_, "--name", "alice", "--text", "M", "--in", "title,names"},
         "pw",
         kExitUsage,
         "--in"},
        {{"find", file_, "--name", "alice", "--text", "M", "--in", "title,"},
         "pw",
         kExitUsage,
         "--in"},
        {{"find", file_, "--name", "alice", "--text", "M", "--in="}, "pw", kExitUsage, "--in"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(run(c.args, c.password), c.code);
        EXPECT_NE(console_.err_.find(c.message), std::string::npos) << console_.err_;
        EXPECT_TRUE(console_.out_.empty());
        EXPECT_EQ(test::readBytes(file_), before);
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.file("no")));
}

TEST_F(KhcliTest, ImportDoesNotSilentlyDropDamagedRecords) {
    createVault();
    addEntry("password", "one", "", "x", "");
    addEntry("password", "two", "", "x", "");
    const std::string exported = dir_.file("out.xml");
    ASSERT_EQ(run({"export", file_, "--name", "alice", "--output", exported}, "pw"), kExitOk);
    test::Bytes bytes = test::readBytes(file_);
    bytes[kHeaderSize + 10] ^= 0xFF; // damage "one"
    test::writeBytes(file_, bytes);

    EXPECT_EQ(run({"import", file_, "--name", "alice", "--input", exported}, "pw"), kExitFailed);
    EXPECT_NE(console_.err_.find("--drop-damaged"), std::string::npos);
    EXPECT_EQ(test::readBytes(file_), bytes);
    ASSERT_EQ(
        run({"import", file_, "--name", "alice", "--input", exported, "--drop-damaged"}, "pw"),
        kExitOk);
    EXPECT_EQ(storedEntries(file_, "alice").size(), 3u);
}

// Any text that would reach an account changed (a '?' for every Cyrillic letter, say, so
// that any six-letter password opened an account made with "пароль") is refused whole.
TEST_F(KhcliTest, TextsThatWindows1252CannotHoldExactlyAreRefused) {
    createVault();
    const test::Bytes before = test::readBytes(file_);
    const std::string cyrillic = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C"; // пароль
    const std::string emoji = "\xF0\x9F\x98\x80";
    const std::string surrogate = "\xED\xA0\x80";
    const std::string overlong = "\xC0\xAF"; // '/' in two bytes
    const std::string fresh = dir_.file("fresh.khk");
    struct Case {
        std::vector<std::string> args;
        std::deque<std::string> stdinLines;
        std::deque<std::string> answers; // at the hidden prompt
        std::string refused;             // what the message names
    };
    const auto add = [&](std::vector<std::string> more) {
        std::vector<std::string> args = {"add", file_, "--name", "alice", "--type", "password"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const std::vector<Case> cases = {
        {{"create", fresh, "--name", cyrillic, "--password-stdin"}, {"pw"}, {}, "--name"},
        {{"create", fresh, "--name", "a", "--password-stdin"}, {cyrillic}, {}, "account password"},
        {{"create", fresh, "--name", "a"}, {}, {cyrillic, cyrillic}, "account password"},
        {{"create", fresh, "--name", "a", "--account-description", emoji, "--password-stdin"},
         {"pw"},
         {},
         "--account-description"},
        {{"create", fresh, "--name", "a", "--password-description", surrogate, "--password-stdin"},
         {"pw"},
         {},
         "--password-description"},
        {{"list", file_, "--name", "alice", "--password-stdin"}, {"p\xC3"}, {}, "account password"},
        {add({"--title", cyrillic, "--data", "x", "--password-stdin"}), {"pw"}, {}, "--title"},
        {add({"--title", "t", "--whats-this", overlong, "--data", "x", "--password-stdin"}),
         {"pw"},
         {},
         "--whats-this"},
        {add({"--title", "t", "--data", cyrillic, "--password-stdin"}), {"pw"}, {}, "--data"},
        {add({"--title", "t", "--data=\xFF", "--password-stdin"}), {"pw"}, {}, "--data"},
        {add({"--title", "t", "--data-stdin", "--password-stdin"}),
         {"pw", cyrillic},
         {},
         "entry data"},
        {add({"--title", "t", "--password-stdin"}), {"pw"}, {cyrillic, cyrillic}, "entry data"},
        {add({"--title", "t", "--data", "x", "--description", "a\xE9z", "--password-stdin"}),
         {"pw"},
         {},
         "--description"},
        {{"show", file_, "--name", "alice", "--title", cyrillic, "--password-stdin"},
         {"pw"},
         {},
         "--title"},
        {{"find", file_, "--name", "alice", "--text", emoji, "--password-stdin"},
         {"pw"},
         {},
         "--text"},
        {{"hint", file_, "--name", "\xD0"}, {}, {}, "--name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        console_ = FakeConsole{};
        console_.stdinLines = c.stdinLines;
        console_.promptAnswers = c.answers;
        EXPECT_EQ(cli::run(c.args, console_), kExitUsage);
        EXPECT_NE(console_.err_.find(c.refused + " holds a character that Windows-1252 lacks"),
                  std::string::npos)
            << console_.err_;
        EXPECT_TRUE(console_.out_.empty());
        EXPECT_EQ(test::readBytes(file_), before);
        EXPECT_FALSE(std::filesystem::exists(fresh));
    }
    // What Windows-1252 has is stored as its bytes.
    ASSERT_EQ(run({"create", fresh, "--name", "\xE2\x82\xAC"}, "\xC5\x93\xC3\xBF"), kExitOk)
        << console_.err_;
    LoadedAccount loaded;
    EXPECT_EQ(readAccountFile(fresh, "\x80", "\x9C\xFF", loaded), ReadOutcome::Loaded);
}

// Holds the save lock of a file as another process's save would.
class HeldLock {
  public:
    explicit HeldLock(const std::string& path) : update_(nativeFileSystem()) {
        EXPECT_EQ(update_.lock(path, std::chrono::milliseconds(0)), LockedUpdate::Lock::Held);
    }

  private:
    LockedUpdate update_;
};

TEST_F(KhcliTest, SavesWaitWhileAnotherProcessSavesTheFileThenGiveUp) {
    createVault();
    const std::string input = dir_.file("in.xml");
    writeText(input, "<Entry><Type>Password</Type><Title>In</Title><Data>d</Data></Entry>");
    const std::vector<std::vector<std::string>> commands = {
        {"add", file_, "--name", "alice", "--type", "text", "--title", "t", "--password-stdin"},
        {"import", file_, "--name", "alice", "--input", input, "--password-stdin"},
        {"create", dir_.file("new.khk"), "--name", "a", "--password-stdin"},
    };
    Environment env;
    env.lockWait = std::chrono::milliseconds(150);
    for (const auto& args : commands) {
        SCOPED_TRACE(args[0]);
        const std::string target = args[1];
        const test::Bytes before = test::readBytes(file_);
        {
            HeldLock other(target);
            console_ = FakeConsole{};
            console_.stdinLines = {"pw"};
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(cli::run(args, console_, env), kExitFailed);
            EXPECT_GE(std::chrono::steady_clock::now() - start, env.lockWait);
            EXPECT_NE(console_.err_.find("is being saved by another process"), std::string::npos)
                << console_.err_;
            EXPECT_EQ(test::readBytes(file_), before);
            EXPECT_FALSE(std::filesystem::exists(dir_.file("new.khk")));
        }
        // Another save that ends while this one waits.
        std::optional<HeldLock> other(std::in_place, target);
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            other.reset();
        });
        console_ = FakeConsole{};
        console_.stdinLines = {"pw"};
        env.lockWait = std::chrono::seconds(20);
        EXPECT_EQ(cli::run(args, console_, env), kExitOk) << console_.err_;
        release.join();
        env.lockWait = std::chrono::milliseconds(150);
    }
    EXPECT_EQ(storedEntries(file_, "alice").size(), 2u);
    EXPECT_EQ(dir_.listing(), (std::vector<std::string>{"in.xml", "new.khk", "v.khk"}));
}

// The real file system, with another program at work on the account file just before the
// save puts its file in place. That program takes no lock (a synced folder, say).
class MeddlingFileSystem final : public FileSystem {
  public:
    std::function<void()> meddle;
    PathKind pathKind(const std::string& p) override { return real().pathKind(p); }
    bool canWrite(const std::string& p) override { return real().canWrite(p); }
    std::string finalPath(const std::string& p) override { return real().finalPath(p); }
    std::unique_ptr<SdrFile> createTempBeside(const std::string& t, std::string& tmp) override {
        return real().createTempBeside(t, tmp);
    }
    bool commitToDisk(SdrFile& f) override {
        if (meddle) meddle();
        return real().commitToDisk(f);
    }
    bool replaceFile(const std::string& s, const std::string& t) override {
        return real().replaceFile(s, t);
    }
    bool removeFile(const std::string& p) override { return real().removeFile(p); }
    bool saveLockHeld(const std::string& t) override { return real().saveLockHeld(t); }

  private:
    static FileSystem& real() { return nativeFileSystem(); }
};

TEST_F(KhcliTest, AFileChangedBetweenReadAndSaveIsNeverReplaced) {
    using namespace std::chrono_literals;
    createVault();
    addEntry("password", "Mail", "", "m", "");
    const std::string theirs = dir_.file("theirs.khk");
    std::filesystem::copy_file(file_, theirs);
    ASSERT_EQ(run({"add", theirs, "--name", "alice", "--type", "text", "--title", "Theirs"}, "pw"),
              kExitOk);
    const std::string input = dir_.file("in.xml");
    writeText(input, "<Entry><Type>Password</Type><Title>In</Title><Data>d</Data></Entry>");
    const std::vector<std::string> add = {"add",  file_,     "--name", "alice",           "--type",
                                          "text", "--title", "Mine",   "--password-stdin"};
    const std::vector<std::string> import = {"import",  file_, "--name",          "alice",
                                             "--input", input, "--password-stdin"};
    struct Case {
        const char* what;
        const std::vector<std::string>& args;
        std::function<void()> meddle;
        bool saved;
    };
    const test::Bytes ours = test::readBytes(file_);
    const Case cases[] = {
        {"nobody meddles", add, nullptr, true},
        {"rewritten in place", add, [&] { test::writeBytes(file_, test::readBytes(theirs)); },
         false},
        {"replaced by another file", import,
         [&] {
             std::filesystem::copy_file(theirs, dir_.file("next.khk"));
             std::filesystem::rename(dir_.file("next.khk"), file_);
         },
         false},
        {"only touched", add,
         [&] {
             std::filesystem::last_write_time(file_, std::filesystem::last_write_time(file_) - 1h);
         },
         false},
        {"removed", import, [&] { std::filesystem::remove(file_); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::writeBytes(file_, ours);
        MeddlingFileSystem fs;
        SaveOutcome programsSave = SaveOutcome::Saved;
        std::optional<test::Bytes> left; // by the other program
        fs.meddle = [&] {
            // The program's own save takes the lock and must stay out meanwhile.
            Account account;
            account.name = "alice";
            account.password = "pw";
            programsSave = writeAccountFile(file_, account, {});
            if (c.meddle) c.meddle();
            if (std::filesystem::exists(file_)) left = test::readBytes(file_);
        };
        Environment env;
        env.fileSystem = &fs;
        console_ = FakeConsole{};
        console_.stdinLines = {"pw"};
        EXPECT_EQ(cli::run(c.args, console_, env), c.saved ? kExitOk : kExitFailed)
            << console_.err_;
        EXPECT_EQ(programsSave, SaveOutcome::NotOpened);
        if (c.saved) {
            EXPECT_EQ(storedEntries(file_, "alice").size(), 2u);
        } else {
            EXPECT_NE(console_.err_.find("was changed by another program since khcli read it"),
                      std::string::npos)
                << console_.err_;
            // What the other program left is what there is.
            ASSERT_EQ(std::filesystem::exists(file_), left.has_value());
            if (left) {
                EXPECT_EQ(test::readBytes(file_), *left);
            }
        }
        for (const std::string& name : dir_.listing())
            EXPECT_EQ(name.find("~kh"), std::string::npos) << name;
    }
}

// The export is compared with the account by the file it would write, not by its name.
TEST_F(KhcliTest, ExportNeverReplacesTheAccountFileUnderAnotherName) {
    createVault();
    addEntry("password", "Mail", "", "m", "");
    const test::Bytes before = test::readBytes(file_);
    std::filesystem::create_hard_link(file_, dir_.file("hard.khk"));
    std::vector<std::string> sameFile = {file_, dir_.file(".") + "/v.khk", dir_.file("hard.khk")};
#ifdef _WIN32
    sameFile.push_back(dir_.file("V.KHK")); // one file under every letter case
#else
    std::filesystem::create_symlink(file_, dir_.file("link.khk"));
    sameFile.push_back(dir_.file("link.khk"));
#endif
    for (const std::string& output : sameFile) {
        SCOPED_TRACE(output);
        EXPECT_EQ(run({"export", file_, "--name", "alice", "--output", output}, "pw"), kExitUsage);
        EXPECT_NE(console_.err_.find("the account file itself"), std::string::npos);
        EXPECT_EQ(test::readBytes(file_), before);
    }

    // A full-width v is another letter: it names another file, which the export writes,
    // and the account stays as it was (no look-alike taken for the name).
    const std::string fullWidth = dir_.file("") + "\xEF\xBD\x96.khk"; // ｖ.khk
    ASSERT_EQ(run({"export", file_, "--name", "alice", "--output", fullWidth}, "pw"), kExitOk)
        << console_.err_;
    EXPECT_EQ(test::readBytes(file_), before);
    const std::filesystem::path written = dir_.path() / std::filesystem::path(u8"\uFF56.khk");
    ASSERT_TRUE(std::filesystem::exists(written));
    ASSERT_EQ(run({"export", file_, "--name", "alice", "--output", dir_.file("plain.xml")}, "pw"),
              kExitOk);
    EXPECT_EQ(std::filesystem::file_size(written), test::readBytes(dir_.file("plain.xml")).size());
    // The account under a full-width name opens and saves under that very name.
    const std::string account = dir_.file("") + "\xEF\xBD\x96"
                                                "2.khk";
    ASSERT_EQ(run({"create", account, "--name", "alice"}, "pw"), kExitOk) << console_.err_;
    ASSERT_EQ(run({"add", account, "--name", "alice", "--type", "text", "--title", "t"}, "pw"),
              kExitOk)
        << console_.err_;
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / std::filesystem::path(u8"\uFF56"
                                                                            "2.khk")));
    EXPECT_FALSE(std::filesystem::exists(dir_.file("v2.khk")));
}

// One of the process's standard handles led elsewhere for the life of the object, for the C
// library and (on Windows) for the system alike.
class StdRedirect {
  public:
    StdRedirect(int fd, int to) : fd_(fd), saved_(kDup(fd)) {
        kDup2(to, fd);
#ifdef _WIN32
        which_ = fd == 0 ? STD_INPUT_HANDLE : fd == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
        savedHandle_ = GetStdHandle(which_);
        SetStdHandle(which_, reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
#endif
    }
    ~StdRedirect() {
#ifdef _WIN32
        SetStdHandle(which_, savedHandle_);
#endif
        kDup2(saved_, fd_);
        kClose(saved_);
    }

  private:
#ifdef _WIN32
    static constexpr auto kDup = _dup;
    static constexpr auto kDup2 = _dup2;
    static constexpr auto kClose = _close;
    DWORD which_;
    HANDLE savedHandle_;
#else
    static constexpr auto kDup = ::dup;
    static constexpr auto kDup2 = ::dup2;
    static constexpr auto kClose = ::close;
#endif
    int fd_;
    int saved_;
};

#ifndef _WIN32
// Answers the hidden prompts of a console on a pseudo-terminal as a person would: each
// answer typed once its prompt shows. Keeps everything the terminal showed.
class Typist {
  public:
    Typist(std::vector<std::pair<std::string, std::string>> answers)
        : answers_(std::move(answers)) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master_, 0);
        EXPECT_EQ(::grantpt(master_), 0);
        EXPECT_EQ(::unlockpt(master_), 0);
        terminal_ = ::ptsname(master_);
        thread_ = std::thread([this] { type(); });
    }
    ~Typist() {
        stop_ = true;
        thread_.join();
        ::close(master_);
    }
    const std::string& terminal() const { return terminal_; }
    std::string shown() {
        std::lock_guard<std::mutex> hold(mutex_);
        return shown_;
    }

  private:
    void type() {
        std::size_t next = 0, searchFrom = 0;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) { // nobody has the terminal open just now
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            std::lock_guard<std::mutex> hold(mutex_);
            shown_.append(buffer, static_cast<std::size_t>(n));
            if (next < answers_.size()) {
                const std::size_t at = shown_.find(answers_[next].first, searchFrom);
                if (at != std::string::npos) {
                    searchFrom = at + answers_[next].first.size();
                    // No copy of the answer: this process's released memory is watched.
                    const std::string& answer = answers_[next++].second;
                    EXPECT_EQ(::write(master_, answer.data(), answer.size()),
                              static_cast<ssize_t>(answer.size()));
                    EXPECT_EQ(::write(master_, "\n", 1), 1);
                }
            }
        }
    }

    std::vector<std::pair<std::string, std::string>> answers_;
    int master_ = -1;
    std::string terminal_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string shown_;
    std::thread thread_;
};
#endif

// The real console of the platform: a secret piped in, typed at a hidden prompt, and
// printed, leaves no copy in released memory nor in the C library's stream buffers
// (which keep what went through them until the program ends).
TEST_F(KhcliTest, TheSystemConsoleLeavesNoCopyOfASecretBehind) {
    constexpr std::string_view kMarker = "KH-MARKER-91c4-";
    const std::string piped = std::string(kMarker) + "piped-\xC3\xA9";
    const std::string typed = std::string(kMarker) + "typed";
    createVault();
    const std::string shownFile = dir_.file("shown.txt");
    std::vector<std::vector<std::string>> commands = {
        {"add", file_, "--name", "alice", "--type", "password", "--title", "Piped", "--data-stdin",
         "--password-stdin"},
        {"show", file_, "--name", "alice", "--title", "Piped", "--password-stdin"},
        {"dump", file_, "--name", "alice", "--json", "--password-stdin"},
    };
    std::string input = "pw\n" + piped + "\npw\npw\n";
#ifndef _WIN32
    // Windows asks on its console only, which a test cannot type into.
    commands.insert(commands.begin() + 1, {"add", file_, "--name", "alice", "--type", "password",
                                           "--title", "Typed", "--password-stdin"});
    input = "pw\n" + piped + "\npw\npw\npw\n";
    Typist typist({{"Entry data: ", typed}, {"Repeat the entry data: ", typed}});
    auto console = makeSystemConsole(typist.terminal());
#else
    auto console = makeSystemConsole();
#endif
    int fds[2];
#ifdef _WIN32
    ASSERT_EQ(_pipe(fds, 4096, _O_BINARY), 0);
    const int shown =
        _open(shownFile.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    ASSERT_EQ(_write(fds[1], input.data(), static_cast<unsigned>(input.size())),
              static_cast<int>(input.size()));
    _close(fds[1]);
#else
    ASSERT_EQ(::pipe(fds), 0);
    const int shown = ::open(shownFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    ::close(fds[1]);
#endif
    ASSERT_GE(shown, 0);
    secureWipe(input.data(), input.size());
    std::vector<int> codes;
    {
        test::FreedMemoryWatch watch({kMarker});
        {
            StdRedirect in(0, fds[0]);
            StdRedirect out(1, shown);
            for (const std::vector<std::string>& args : commands)
                codes.push_back(cli::run(args, *console));
        }
        watch.stop();
        // The watch saw the commands' memory come and go (one command fewer on Windows).
        EXPECT_GT(watch.releasedBlocks(), 50u);
        EXPECT_EQ(watch.blocksWithNeedle(), 0u) << watch.report();
    }
#ifdef _WIN32
    _close(fds[0]);
    _close(shown);
#else
    ::close(fds[0]);
    ::close(shown);
    EXPECT_EQ(typist.shown().find(kMarker), std::string::npos) << "echoed while typed";
#endif
    EXPECT_EQ(codes, std::vector<int>(commands.size(), kExitOk));
    EXPECT_FALSE(test::streamBufferHolds(stdin, kMarker));
    EXPECT_FALSE(test::streamBufferHolds(stdout, kMarker));

    const test::Bytes printed = test::readBytes(shownFile);
    const std::string text(printed.begin(), printed.end());
    EXPECT_NE(text.find("Data: " + piped + "\n"), std::string::npos) << text;
    const auto rows = storedEntries(file_, "alice");
    ASSERT_EQ(rows.size(), commands.size() - 2);
    EXPECT_EQ(rows[0][3], std::string(kMarker) + "piped-\xE9");
#ifndef _WIN32
    EXPECT_EQ(rows[1][3], typed);
#endif
}

} // namespace
} // namespace kh::cli
