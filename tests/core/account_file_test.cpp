#include "account_file.h"
#include "crypto.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kh {
namespace {

using test::Bytes;
using test::TempDir;

Account makeAccount(std::string name = "alice", std::string password = "s3cret!") {
    Account a;
    a.name = std::move(name);
    a.password = password;
    a.accountDescription = "My vault";
    a.passwordDescription = "the usual one";
    return a;
}

AccountEntry makeEntry(std::int32_t type, std::string title, std::string data,
                       std::string whatsThis = "", std::string description = "") {
    AccountEntry e;
    e.type = type;
    e.title = std::move(title);
    e.data = data;
    e.whatsThis = std::move(whatsThis);
    e.description = std::move(description);
    return e;
}

std::vector<AccountEntry> sampleEntries(int count) {
    std::vector<AccountEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back(makeEntry(1 + i % 3, "Title " + std::to_string(i),
                                    "pw-" + std::to_string(i), "what " + std::to_string(i),
                                    "details " + std::to_string(i)));
    return entries;
}

std::int32_t int32At(const Bytes& b, std::size_t offset) {
    std::int32_t v;
    std::memcpy(&v, b.data() + offset, 4);
    return v;
}

void setInt32At(Bytes& b, std::size_t offset, std::int32_t v) {
    std::memcpy(b.data() + offset, &v, 4);
}

class AccountFileTest : public ::testing::Test {
  protected:
    std::string path() const { return dir_.file("vault.khk"); }

    void save(const Account& account, std::vector<AccountEntry>& entries) {
        ASSERT_EQ(writeAccountFile(path(), account, entries), SaveOutcome::Saved);
    }

    LoadedAccount load(std::string_view name = "alice", std::string_view password = "s3cret!") {
        LoadedAccount loaded;
        EXPECT_EQ(readAccountFile(path(), name, password, loaded), ReadOutcome::Loaded);
        return loaded;
    }

    TempDir dir_;
};

TEST_F(AccountFileTest, RoundTripKeepsEveryFieldAndNumbersTheRecords) {
    Account account = makeAccount();
    account.accountDescription = "Caf\xE9 accounts \x80";
    std::vector<AccountEntry> entries = {
        makeEntry(kEntryPassword, "Mail", "p\xE4ss word", "Webmail login", "line 1\r\nline 2"),
        makeEntry(kEntryLink, "Bank", "1234", "user name: bob", "https://bank.example/login"),
        makeEntry(kEntryText, "Note", "", "", ""),
        makeEntry(7, "Odd type", "x", "kept as stored", ""),
    };
    save(account, entries);

    const Bytes file = test::readBytes(path());
    ASSERT_EQ(file.size(), kHeaderSize + 4 * kRecordSize);
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(entries[i].fileOffset, std::int64_t(kHeaderSize + i * kRecordSize));

    const LoadedAccount loaded = load();
    EXPECT_EQ(loaded.account.name, "alice");
    EXPECT_EQ(loaded.account.password, "s3cret!");
    EXPECT_EQ(loaded.account.accountDescription, account.accountDescription);
    EXPECT_EQ(loaded.account.passwordDescription, "the usual one");
    EXPECT_EQ(loaded.droppedRecords, 0);
    ASSERT_EQ(loaded.entries.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(loaded.entries[i].type, entries[i].type);
        EXPECT_EQ(loaded.entries[i].title, entries[i].title);
        EXPECT_EQ(loaded.entries[i].whatsThis, entries[i].whatsThis);
        EXPECT_EQ(loaded.entries[i].data, entries[i].data);
        EXPECT_EQ(loaded.entries[i].description, entries[i].description);
        EXPECT_EQ(loaded.entries[i].fileOffset, entries[i].fileOffset);
    }

    // Nothing readable in clear: the secrets and the name are encrypted on disk.
    const std::string raw(file.begin(), file.end());
    for (const char* secret : {"s3cret!", "p\xE4ss", "1234", "alice", "Mail", "the usual"})
        EXPECT_EQ(raw.find(secret), std::string::npos) << secret;
}

TEST_F(AccountFileTest, EmptyAccountIsJustTheHeader) {
    std::vector<AccountEntry> none;
    save(makeAccount(), none);
    const Bytes file = test::readBytes(path());
    ASSERT_EQ(file.size(), kHeaderSize);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "KHVF");
    EXPECT_EQ(file[4], 1);
    EXPECT_EQ(int32At(file, 8), 1340);
    EXPECT_EQ(int32At(file, 1036), 0);
    EXPECT_EQ(int32At(file, 1040), 0);
    EXPECT_TRUE(load().entries.empty());
}

TEST_F(AccountFileTest, DeletedEntriesAreLeftOutAndOffsetsStayConsecutive) {
    std::vector<AccountEntry> entries = sampleEntries(5);
    entries[1].fileOffset = kOffsetDeleted;
    entries[3].fileOffset = kOffsetDeleted;
    entries[4].fileOffset = 9999; // a stale offset is replaced
    save(makeAccount(), entries);

    EXPECT_EQ(entries[0].fileOffset, 1340);
    EXPECT_EQ(entries[1].fileOffset, kOffsetDeleted);
    EXPECT_EQ(entries[2].fileOffset, 1820);
    EXPECT_EQ(entries[3].fileOffset, kOffsetDeleted);
    EXPECT_EQ(entries[4].fileOffset, 2300);
    const Bytes file = test::readBytes(path());
    EXPECT_EQ(int32At(file, 1036), 3);
    EXPECT_EQ(int32At(file, 1040), 1440);
    EXPECT_EQ(int32At(file, 8), 2780);

    const LoadedAccount loaded = load();
    ASSERT_EQ(loaded.entries.size(), 3u);
    EXPECT_EQ(loaded.entries[1].title, "Title 2");
    EXPECT_EQ(loaded.entries[2].fileOffset, 2300);
}

TEST_F(AccountFileTest, OverlongTextsAreCutToTheirFields) {
    const std::string longName(200, 'n'), longPassword(100, 'p');
    Account account = makeAccount(longName, longPassword);
    account.accountDescription = std::string(300, 'a');
    account.passwordDescription = std::string(300, 'h');
    std::vector<AccountEntry> entries = {makeEntry(kEntryPassword, std::string(100, 't'),
                                                   std::string(100, 'd'), std::string(100, 'w'),
                                                   std::string(300, 'x'))};
    save(account, entries);

    // The typed name and password are cut the same way, so the long forms still open it.
    const LoadedAccount loaded = load(longName, longPassword);
    EXPECT_EQ(loaded.account.name, std::string(159, 'n'));
    EXPECT_EQ(loaded.account.password, std::string(79, 'p'));
    EXPECT_EQ(loaded.account.accountDescription, std::string(191, 'a'));
    EXPECT_EQ(loaded.account.passwordDescription, std::string(191, 'h'));
    ASSERT_EQ(loaded.entries.size(), 1u);
    EXPECT_EQ(loaded.entries[0].title, std::string(79, 't'));
    EXPECT_EQ(loaded.entries[0].whatsThis, std::string(79, 'w'));
    EXPECT_EQ(loaded.entries[0].data, std::string(79, 'd'));
    EXPECT_EQ(loaded.entries[0].description, std::string(191, 'x'));
    LoadedAccount cutForms;
    EXPECT_EQ(readAccountFile(path(), std::string(159, 'n'), std::string(79, 'p'), cutForms),
              ReadOutcome::Loaded);
}

// Both formats, the strong one at the cheapest cost a file may carry.
const AccountProtection kBothFormats[] = {AccountProtection::compatible(),
                                          AccountProtection::strongWith({1, 8192, 1})};

std::string formatName(const AccountProtection& protection) {
    return protection.isStrong() ? "strong" : "compatible";
}

TEST_F(AccountFileTest, CredentialsAreCheckedExactly) {
    for (const AccountProtection& protection : kBothFormats) {
        SCOPED_TRACE(formatName(protection));
        std::vector<AccountEntry> entries = sampleEntries(2);
        Account account = makeAccount("Alice", "pw");
        account.protection = protection;
        save(account, entries);
        struct Case {
            const char* name;
            const char* password;
            bool opens;
        };
        const Case cases[] = {
            {"Alice", "pw", true}, {"Alice", "pW", false},  {"alice", "pw", false},
            {"Alic", "pw", false}, {"Alice", "pw ", false}, {"Alice", "", false},
            {"", "pw", false},     {"Alice ", "pw", false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + "/" + c.password);
            LoadedAccount loaded;
            EXPECT_EQ(readAccountFile(path(), c.name, c.password, loaded),
                      c.opens ? ReadOutcome::Loaded : ReadOutcome::WrongCredentials);
            if (!c.opens) {
                EXPECT_TRUE(loaded.entries.empty());
            }
            std::string hint;
            EXPECT_EQ(checkAccountCredentials(path(), c.name, c.password, hint), c.opens);
            EXPECT_EQ(hint, c.opens ? "the usual one" : "");
        }
    }
}

TEST_F(AccountFileTest, PartialReadersNeedOnlyWhatTheyReveal) {
    std::vector<AccountEntry> entries;
    save(makeAccount("bob", "x"), entries);
    std::string text = "stale";
    EXPECT_TRUE(readAccountDescription(path(), text));
    EXPECT_EQ(text, "My vault");
    EXPECT_TRUE(readPasswordDescription(path(), "bob", text));
    EXPECT_EQ(text, "the usual one");
    text = "stale";
    EXPECT_FALSE(readPasswordDescription(path(), "Bob", text));
    EXPECT_EQ(text, "");
    text = "stale";
    EXPECT_FALSE(readPasswordDescription(path(), "", text));
    EXPECT_EQ(text, "");
}

TEST_F(AccountFileTest, RecordCountInTheHeaderDoesNotBoundTheRead) {
    // Header claims 5, only 3 whole records follow plus a partial one.
    std::vector<AccountEntry> five = sampleEntries(5);
    save(makeAccount(), five);
    Bytes file = test::readBytes(path());
    file.resize(kHeaderSize + 3 * kRecordSize + 200);
    test::writeBytes(path(), file);
    LoadedAccount loaded = load();
    ASSERT_EQ(loaded.entries.size(), 3u);
    EXPECT_EQ(loaded.entries[2].title, "Title 2");
    EXPECT_EQ(loaded.droppedRecords, 0);

    // Header claims 2 (and says so consistently), 5 valid records follow: all load.
    std::vector<AccountEntry> again = sampleEntries(5);
    save(makeAccount(), again);
    Bytes longer = test::readBytes(path());
    setInt32At(longer, 1036, 2);
    setInt32At(longer, 1040, 960);
    setInt32At(longer, 8, 2300);
    test::writeBytes(path(), longer);
    loaded = load();
    EXPECT_EQ(loaded.entries.size(), 5u);

    // A header that claims millions of records over a short file loads what is there.
    setInt32At(longer, 1036, 4000000);
    setInt32At(longer, 1040, 1920000000);
    setInt32At(longer, 8, 1920001340);
    test::writeBytes(path(), longer);
    EXPECT_EQ(load().entries.size(), 5u);
}

TEST_F(AccountFileTest, DamagedRecordIsDroppedAndCountedUnlessInItsLastUnit) {
    std::vector<AccountEntry> entries = sampleEntries(3);
    save(makeAccount(), entries);
    const Bytes original = test::readBytes(path());
    struct Case {
        std::size_t byteInRecord;
        bool detected;
    };
    const Case cases[] = {{0, true},   {4, true},   {170, true}, {300, true},  {435, true},
                          {440, true}, {452, true}, {463, true}, {464, false}, {479, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.byteInRecord);
        Bytes damaged = original;
        damaged[kHeaderSize + kRecordSize + c.byteInRecord] ^= 0x40;
        test::writeBytes(path(), damaged);
        const LoadedAccount loaded = load();
        EXPECT_EQ(loaded.droppedRecords, c.detected ? 1 : 0);
        ASSERT_EQ(loaded.entries.size(), c.detected ? 2u : 3u);
        EXPECT_EQ(loaded.entries.front().title, "Title 0");
        EXPECT_EQ(loaded.entries.back().title, "Title 2");
        EXPECT_EQ(loaded.entries.back().fileOffset, 2300); // the offsets keep counting
    }
}

TEST_F(AccountFileTest, DamagedOrForeignHeadersAreRefused) {
    std::vector<AccountEntry> entries = sampleEntries(1);
    save(makeAccount(), entries);
    const Bytes original = test::readBytes(path());
    // A damaged header is told from a wrong name or password only where the keys do not
    // protect it: damage to what they protect reads as a wrong name or password.
    struct Case {
        const char* what;
        void (*mutate)(Bytes&);
        bool descriptionReadable;
        ReadOutcome outcome = ReadOutcome::Damaged;
    };
    const Case cases[] = {
        {"magic", [](Bytes& b) { b[0] = 'X'; }, false},
        {"version", [](Bytes& b) { b[4] = 2; }, false},
        {"file size", [](Bytes& b) { setInt32At(b, 8, 1341 + 480); }, false},
        {"record bytes", [](Bytes& b) { setInt32At(b, 1040, 481); }, false},
        {"record count", [](Bytes& b) { setInt32At(b, 1036, 2); }, false},
        {"negative count",
         [](Bytes& b) {
             setInt32At(b, 1036, -1);
             setInt32At(b, 1040, -480);
             setInt32At(b, 8, 860);
         },
         false},
        {"further cipher layer",
         [](Bytes& b) {
             std::memset(b.data() + 1044, 1, 4);
             b[1064] = 0x59;
         },
         false},
        {"encrypted name", [](Bytes& b) { b[20] ^= 1; }, true, ReadOutcome::WrongCredentials},
        {"header record", [](Bytes& b) { b[600] ^= 1; }, true, ReadOutcome::WrongCredentials},
        {"header CRC", [](Bytes& b) { b[1320] ^= 1; }, true, ReadOutcome::WrongCredentials},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes damaged = original;
        c.mutate(damaged);
        test::writeBytes(path(), damaged);
        LoadedAccount loaded;
        EXPECT_EQ(readAccountFile(path(), "alice", "s3cret!", loaded), c.outcome);
        EXPECT_TRUE(loaded.entries.empty());
        std::string text;
        EXPECT_EQ(readAccountDescription(path(), text), c.descriptionReadable);
        EXPECT_FALSE(checkAccountCredentials(path(), "alice", "s3cret!", text));
        EXPECT_EQ(text, "");
    }

    // The layer markers only count together: stray marker bytes alone are ignored.
    Bytes markers = original;
    std::memset(markers.data() + 1044, 1, 4);
    test::writeBytes(path(), markers);
    EXPECT_EQ(load().entries.size(), 1u);
}

TEST_F(AccountFileTest, UnreadableFilesFailCleanly) {
    std::mt19937 rng(5);
    Bytes garbage(5000);
    for (auto& b : garbage)
        b = std::uint8_t(rng());
    Bytes truncated(1339, 0);
    std::memcpy(truncated.data(), "KHVF\x01", 5);
    struct Case {
        const char* name;
        const Bytes* content; // null: do not create
        ReadOutcome outcome;
    };
    const Bytes empty;
    const Case cases[] = {
        {"missing.khk", nullptr, ReadOutcome::NotOpened},
        {"empty.khk", &empty, ReadOutcome::Damaged},
        {"truncated.khk", &truncated, ReadOutcome::Damaged},
        {"garbage.khk", &garbage, ReadOutcome::Damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir_.file(c.name);
        if (c.content) test::writeBytes(file, *c.content);
        LoadedAccount loaded;
        EXPECT_EQ(readAccountFile(file, "alice", "s3cret!", loaded), c.outcome);
        std::string text = "stale";
        EXPECT_FALSE(readAccountDescription(file, text));
        EXPECT_EQ(text, "");
        EXPECT_FALSE(readPasswordDescription(file, "alice", text));
        EXPECT_FALSE(checkAccountCredentials(file, "alice", "s3cret!", text));
    }
    LoadedAccount loaded;
    EXPECT_EQ(readAccountFile(dir_.path().string(), "alice", "x", loaded), ReadOutcome::NotOpened);
    EXPECT_EQ(readAccountFile("", "alice", "x", loaded), ReadOutcome::NotOpened);
}

TEST_F(AccountFileTest, SaveIntoMissingFolderOrOntoFolderIsNotOpened) {
    std::vector<AccountEntry> entries = sampleEntries(1);
    EXPECT_EQ(writeAccountFile(dir_.file("no-such-folder/vault.khk"), makeAccount(), entries),
              SaveOutcome::NotOpened);
    EXPECT_EQ(writeAccountFile(dir_.path().string(), makeAccount(), entries),
              SaveOutcome::NotOpened);
    EXPECT_EQ(writeAccountFile("", makeAccount(), entries), SaveOutcome::NotOpened);
    EXPECT_TRUE(dir_.listing().empty());
    EXPECT_EQ(entries[0].fileOffset, kOffsetUnsaved);
}

TEST_F(AccountFileTest, SaveWithoutNameOrPasswordFailsAndKeepsTheOldFile) {
    std::vector<AccountEntry> entries = sampleEntries(2);
    save(makeAccount(), entries);
    const Bytes before = test::readBytes(path());
    std::vector<AccountEntry> more = sampleEntries(3);
    EXPECT_EQ(writeAccountFile(path(), makeAccount("alice", ""), more), SaveOutcome::Failed);
    EXPECT_EQ(writeAccountFile(path(), makeAccount("", "x"), more), SaveOutcome::Failed);
    EXPECT_EQ(test::readBytes(path()), before);
    EXPECT_EQ(dir_.listing(), std::vector<std::string>{"vault.khk"});
    EXPECT_EQ(more[0].fileOffset, kOffsetUnsaved);
}

// Wraps the real file system and fails its n-th operation (counting every file-system
// call and every write, flush and close of the file being saved).
class FaultyFileSystem final : public FileSystem {
  public:
    explicit FaultyFileSystem(int failAt) : failAt_(failAt) {}
    bool failedOnce() const { return failed_; }

    bool fail() {
        if (operations_++ != failAt_) return false;
        failed_ = true;
        return true;
    }

    PathKind pathKind(const std::string& path) override { return real().pathKind(path); }
    bool canWrite(const std::string& path) override { return !fail() && real().canWrite(path); }
    std::string finalPath(const std::string& path) override { return real().finalPath(path); }
    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override {
        if (fail()) return nullptr;
        auto file = real().createTempBeside(target, tempPath);
        if (!file) return nullptr;
        // The real object stays alive inside: it holds the temporary file's lock.
        auto faulty = std::make_unique<FaultyFile>(*this, std::move(file));
        return faulty;
    }
    bool commitToDisk(SdrFile& file) override { return !fail() && real().commitToDisk(file); }
    bool replaceFile(const std::string& source, const std::string& target) override {
        return !fail() && real().replaceFile(source, target);
    }
    bool removeFile(const std::string& path) override { return real().removeFile(path); }

  private:
    class FaultyFile final : public SdrFile {
      public:
        FaultyFile(FaultyFileSystem& fs, std::unique_ptr<SdrFile> real)
            : fs_(fs), real_(std::move(real)) {
            attach(real_->release(), true);
        }
        long long write(const void* buffer, long long length, long long position) override {
            if (fs_.fail()) return length / 2; // a short write, as on a full disk
            return SdrFile::write(buffer, length, position);
        }
        bool flush() override { return !fs_.fail() && SdrFile::flush(); }
        bool close() override {
            const bool closed = SdrFile::close();
            return !fs_.fail() && closed;
        }

      private:
        FaultyFileSystem& fs_;
        std::unique_ptr<SdrFile> real_;
    };

    static FileSystem& real() { return nativeFileSystem(); }

    int failAt_;
    int operations_ = 0;
    bool failed_ = false;
};

TEST_F(AccountFileTest, SaveThatFailsAtAnyPointKeepsTheOldFileAndLeavesNoTrace) {
    for (const AccountProtection& protection : kBothFormats) {
        SCOPED_TRACE(formatName(protection));
        Account account = makeAccount();
        account.protection = protection;
        std::vector<AccountEntry> oldEntries = sampleEntries(2);
        save(account, oldEntries);
        const Bytes before = test::readBytes(path());

        // Enough entries for several batches of records.
        int failurePoints = 0;
        for (int failAt = 0;; ++failAt) {
            SCOPED_TRACE(failAt);
            ASSERT_LT(failAt, 100) << "the save never got through";
            std::vector<AccountEntry> entries = sampleEntries(150);
            FaultyFileSystem fs(failAt);
            const SaveOutcome outcome = writeAccountFile(path(), account, entries, fs);
            if (!fs.failedOnce()) {
                ASSERT_EQ(outcome, SaveOutcome::Saved);
                if (!protection.isStrong()) {
                    EXPECT_EQ(entries[149].fileOffset,
                              std::int64_t(kHeaderSize + 149 * kRecordSize));
                }
                EXPECT_GT(entries[149].fileOffset, entries[148].fileOffset);
                break;
            }
            ++failurePoints;
            EXPECT_NE(outcome, SaveOutcome::Saved);
            EXPECT_EQ(test::readBytes(path()), before);
            EXPECT_EQ(dir_.listing(), std::vector<std::string>{"vault.khk"});
            for (const AccountEntry& e : entries)
                ASSERT_EQ(e.fileOffset, kOffsetUnsaved);
        }
        // check, create, 2+3 writes (strong: header, payload, tag), flush, commit, close, replace
        EXPECT_GE(failurePoints, 9);
        EXPECT_EQ(load().entries.size(), 150u);
        EXPECT_EQ(load().account.protection, protection);
        EXPECT_EQ(dir_.listing(), std::vector<std::string>{"vault.khk"});
    }
}

TEST_F(AccountFileTest, FailureToOpenTheTargetIsNotOpened) {
    std::vector<AccountEntry> entries = sampleEntries(1);
    save(makeAccount(), entries);
    const Bytes before = test::readBytes(path());
    FaultyFileSystem firstCallFails(0); // the check that the old file can be written
    std::vector<AccountEntry> more = sampleEntries(2);
    EXPECT_EQ(writeAccountFile(path(), makeAccount(), more, firstCallFails),
              SaveOutcome::NotOpened);
    EXPECT_EQ(test::readBytes(path()), before);
}

TEST_F(AccountFileTest, ASaveClearsWhatAnInterruptedOneLeftUnderItsOneTemporaryName) {
    std::vector<AccountEntry> entries = sampleEntries(2);
    save(makeAccount(), entries);
    const std::string temp = tempNameFor(path(), "/\\");
    EXPECT_EQ(temp, tempNameFor(dir_.file("VAULT.khk"), "/\\")); // one file on Windows
    EXPECT_NE(temp, tempNameFor(dir_.file("other.khk"), "/\\"));
    const std::string precious = dir_.file("precious.txt");
    test::writeBytes(precious, {'k', 'e', 'e', 'p'});

    // What a killed save leaves: a partial file; and something planted under the name.
    const struct {
        const char* name;
        void (*leave)(const std::string& temp, const std::string& precious);
    } leftovers[] = {
        {"partial copy",
         [](const std::string& t, const std::string&) { test::writeBytes(t, Bytes(3000, 0x5A)); }},
        {"read-only partial copy",
         [](const std::string& t, const std::string&) {
             test::writeBytes(t, Bytes(10, 1));
             std::filesystem::permissions(t, std::filesystem::perms::owner_read);
         }},
#ifndef _WIN32
        {"link to another file",
         [](const std::string& t, const std::string& p) { std::filesystem::create_symlink(p, t); }},
#endif
    };
    for (const auto& leftover : leftovers) {
        SCOPED_TRACE(leftover.name);
        leftover.leave(temp, precious);
        std::vector<AccountEntry> more = sampleEntries(3);
        save(makeAccount(), more);
        EXPECT_EQ(dir_.listing(), (std::vector<std::string>{"precious.txt", "vault.khk"}));
        EXPECT_EQ(load().entries.size(), 3u);
        EXPECT_EQ(test::readBytes(precious), (Bytes{'k', 'e', 'e', 'p'}));
    }
}

TEST_F(AccountFileTest, ASaveThatIsRunningIsNeverTouchedByAnother) {
    std::vector<AccountEntry> entries = sampleEntries(2);
    save(makeAccount(), entries);
    const Bytes before = test::readBytes(path());

    // Another save of the same file, stopped halfway: it holds its temporary file.
    std::string runningTemp;
    std::unique_ptr<SdrFile> running = nativeFileSystem().createTempBeside(path(), runningTemp);
    ASSERT_TRUE(running);
    const Bytes half(700, 0x33);
    ASSERT_EQ(running->write(half.data(), 700, 0), 700);
    ASSERT_TRUE(running->flush());

    std::vector<AccountEntry> more = sampleEntries(3);
    EXPECT_EQ(writeAccountFile(path(), makeAccount(), more), SaveOutcome::NotOpened);
    EXPECT_EQ(more[0].fileOffset, kOffsetUnsaved);
    EXPECT_EQ(test::readBytes(path()), before);
    // (Windows lets nobody read it while it is open.)
    ASSERT_TRUE(running->close());
    EXPECT_EQ(test::readBytes(runningTemp), half);
    EXPECT_EQ(writeAccountFile(path(), makeAccount(), more), SaveOutcome::NotOpened);

    // Its process ends without finishing: what it left is cleared by the next save.
    running.reset();
    EXPECT_EQ(writeAccountFile(path(), makeAccount(), more), SaveOutcome::Saved);
    EXPECT_EQ(dir_.listing(), std::vector<std::string>{"vault.khk"});
    EXPECT_EQ(load().entries.size(), 3u);
}

#ifndef _WIN32
TEST_F(AccountFileTest, SaveThroughLinksWritesTheFileTheyLeadToAndKeepsThem) {
    namespace fs = std::filesystem;
    fs::create_directory(dir_.path() / "data");
    std::vector<AccountEntry> entries = sampleEntries(1);
    const std::string real = dir_.file("data/real.khk");
    ASSERT_EQ(writeAccountFile(real, makeAccount(), entries), SaveOutcome::Saved);

    const struct {
        const char* link;
        const char* target; // as the link holds it
        const char* file;   // where the account must land
    } cases[] = {
        {"link.khk", "data/real.khk", "data/real.khk"},
        {"chain.khk", "link.khk", "data/real.khk"},
        {"absolute.khk", nullptr, "data/real.khk"},
        {"dangling.khk", "data/new.khk", "data/new.khk"},
    };
    std::size_t count = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        const fs::path link = dir_.path() / c.link;
        fs::create_symlink(c.target ? fs::path(c.target) : fs::path(real), link);
        std::vector<AccountEntry> more = sampleEntries(static_cast<int>(++count));
        ASSERT_EQ(writeAccountFile(link.string(), makeAccount(), more), SaveOutcome::Saved);
        EXPECT_TRUE(fs::is_symlink(link));
        LoadedAccount loaded;
        ASSERT_EQ(readAccountFile(dir_.file(c.file), "alice", "s3cret!", loaded),
                  ReadOutcome::Loaded);
        EXPECT_EQ(loaded.entries.size(), count);
        EXPECT_EQ(readAccountFile(link.string(), "alice", "s3cret!", loaded), ReadOutcome::Loaded);
    }
    std::vector<std::string> inData;
    for (const auto& item : fs::directory_iterator(dir_.path() / "data"))
        inData.push_back(item.path().filename().string());
    std::sort(inData.begin(), inData.end());
    EXPECT_EQ(inData, (std::vector<std::string>{"new.khk", "real.khk"}));
}

TEST_F(AccountFileTest, ReplacedFileKeepsItsPermissions) {
    std::vector<AccountEntry> entries = sampleEntries(1);
    save(makeAccount(), entries);
    namespace fs = std::filesystem;
    const auto shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path(), shared);
    save(makeAccount(), entries);
    EXPECT_EQ(fs::status(path()).permissions(), shared);
}

// A new file would belong to whoever saves; the replaced one keeps the old owner and group.
// Giving the file to someone else takes root (as scripts/test.sh runs) or a second group.
TEST_F(AccountFileTest, ReplacedFileKeepsItsOwnerAndGroup) {
    std::vector<AccountEntry> entries = sampleEntries(1);
    save(makeAccount(), entries);
    struct stat before {};
    ASSERT_EQ(::stat(path().c_str(), &before), 0);
    uid_t owner = before.st_uid;
    gid_t group = before.st_gid;
    if (::geteuid() == 0) {
        owner = 4321;
        group = 4321;
    } else {
        gid_t groups[64];
        const int count = ::getgroups(64, groups);
        for (int i = 0; i < count; ++i)
            if (groups[i] != before.st_gid) group = groups[i];
    }
    ASSERT_TRUE(owner != before.st_uid || group != before.st_gid)
        << "run as root or as a member of a second group to give the file away";
    ASSERT_EQ(::chown(path().c_str(), owner, group), 0);
    save(makeAccount(), entries);
    struct stat after {};
    ASSERT_EQ(::stat(path().c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, owner);
    EXPECT_EQ(after.st_gid, group);
}
#endif

#ifdef _WIN32
TEST_F(AccountFileTest, ReplacedFileKeepsItsHiddenAndSystemAttributes) {
    std::vector<AccountEntry> entries = sampleEntries(1);
    save(makeAccount(), entries);
    constexpr DWORD kMarks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(SetFileAttributesA(path().c_str(), kMarks));
    std::vector<AccountEntry> more = sampleEntries(4);
    save(makeAccount(), more);
    const DWORD attributes = GetFileAttributesA(path().c_str());
    EXPECT_EQ(attributes & kMarks, kMarks);
    EXPECT_EQ(load().entries.size(), 4u);
    SetFileAttributesA(path().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(dir_.listing(), std::vector<std::string>{"vault.khk"});
}

TEST_F(AccountFileTest, DevicesAreNeitherReadNorWrittenWhateverTheirAttributesSay) {
    // NUL and CON report the attributes of a plain file; their handles tell otherwise.
    const std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(dir_.path());
    for (const char* device : {"NUL", "CON", "nul.khk"}) {
        SCOPED_TRACE(device);
        EXPECT_EQ(nativeFileSystem().pathKind(device), PathKind::Other);
        LoadedAccount loaded;
        EXPECT_EQ(readAccountFile(device, "alice", "s3cret!", loaded), ReadOutcome::NotOpened);
        std::vector<AccountEntry> entries = sampleEntries(1);
        EXPECT_EQ(writeAccountFile(device, makeAccount(), entries), SaveOutcome::NotOpened);
        std::string text;
        EXPECT_FALSE(readAccountDescription(device, text));
    }
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(dir_.listing().empty());
}
#endif

TEST(DeriveKey, RefusesEmptyTextsAndLeavesTheOutputAlone) {
    std::uint8_t out[16];
    std::memset(out, 0xAB, 16);
    EXPECT_FALSE(deriveKey("", "secret", out));
    EXPECT_FALSE(deriveKey("name", "", out));
    for (std::uint8_t b : out)
        EXPECT_EQ(b, 0xAB);

    std::uint8_t one[16], other[16], again[16];
    EXPECT_TRUE(deriveKey("a", "secret", one)); // one-character name
    EXPECT_TRUE(deriveKey("b", "secret", other));
    EXPECT_TRUE(deriveKey("a", "secret", again));
    EXPECT_EQ(test::toHex(one, 16), test::toHex(again, 16));
    EXPECT_NE(test::toHex(one, 16), test::toHex(other, 16));
}

TEST(DeriveKey, MatchesTheDocumentedDerivation) {
    // Answers of an independent implementation written from docs/account-file.md; a change
    // here means files written before would no longer open.
    std::uint8_t key[16];
    ASSERT_TRUE(deriveKey("alice", "secret", key));
    EXPECT_EQ(test::toHex(key, 16), "1DBB268B74800553C2F8605F011EE1CB");
    ASSERT_TRUE(deriveKey("a", "ZQQKEYHAVENJJJJ", key));
    EXPECT_EQ(test::toHex(key, 16), "8808944A9A65BD0B1459EA0AAF5093A4");
}

} // namespace
} // namespace kh
