// Which file a name leads to, what a reader saw of it, and a read-and-save that holds the
// save lock and replaces only the file it read.
#include "account_file.h"
#include "file_system.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

namespace kh {
namespace {

using namespace std::chrono_literals;

Account makeAccount() {
    Account account;
    account.name = "alice";
    account.password = "pw";
    return account;
}

SaveOutcome saveEntries(const std::string& path, int count, FileSystem& fs = nativeFileSystem()) {
    std::vector<AccountEntry> entries(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        entries[std::size_t(i)].title = "Entry " + std::to_string(i);
    return writeAccountFile(path, makeAccount(), entries, fs);
}

// Sets a file's modification time back to what it was, so that only the change itself
// can tell.
void keepTime(const std::string& path, const std::function<void()>& change) {
    const auto time = std::filesystem::last_write_time(path);
    change();
    std::filesystem::last_write_time(path, time);
}

TEST(FileFingerprint, TellsEveryKindOfChangeAndNothingElse) {
    test::TempDir dir;
    const std::string path = dir.file("v.khk");
    const std::string other = dir.file("copy.khk");
    const test::Bytes original = {1, 2, 3, 4, 5, 6, 7, 8};
    struct Case {
        const char* what;
        std::function<void()> change;
        bool same;
    };
    const Case cases[] = {
        {"nothing", [] {}, true},
        {"the same bytes written again at the same time",
         [&] { keepTime(path, [&] { test::writeBytes(path, original); }); }, true},
        {"one byte, same size and time",
         [&] {
             keepTime(path, [&] {
                 test::Bytes changed = original;
                 changed[3] ^= 1;
                 test::writeBytes(path, changed);
             });
         },
         false},
        {"bytes added at the same time",
         [&] {
             keepTime(path, [&] {
                 test::Bytes longer = original;
                 longer.push_back(9);
                 test::writeBytes(path, longer);
             });
         },
         false},
        {"only the modification time",
         [&] {
             std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - 1h);
         },
         false},
        {"replaced by another file with the same bytes and time",
         [&] {
             test::writeBytes(other, original);
             std::filesystem::last_write_time(other, std::filesystem::last_write_time(path));
             std::filesystem::rename(other, path);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::writeBytes(path, original);
        // A whole second: the Windows build's C library reads and sets file times in
        // seconds, so a time kept by it comes back exactly only if it had no fraction.
        std::filesystem::last_write_time(
            path, std::chrono::floor<std::chrono::seconds>(std::filesystem::last_write_time(path)));
        const std::optional<FileFingerprint> before = fingerprintFile(path);
        ASSERT_TRUE(before);
        EXPECT_EQ(before->size, original.size());
        c.change();
        const std::optional<FileFingerprint> after = fingerprintFile(path);
        ASSERT_TRUE(after);
        EXPECT_EQ(*after == *before, c.same);
    }
    EXPECT_FALSE(fingerprintFile(dir.file("missing.khk")));
    EXPECT_FALSE(fingerprintFile(dir.path().string())); // a folder
}

TEST(FileIdentity, EveryNameOfOneFileAndNoOther) {
    test::TempDir dir;
    const std::string path = dir.file("v.khk");
    test::writeBytes(path, {1});
    test::writeBytes(dir.file("w.khk"), {1});
    std::filesystem::create_hard_link(path, dir.file("hard.khk"));
    const std::optional<FileIdentity> identity = fileIdentity(path);
    ASSERT_TRUE(identity);
    EXPECT_EQ(fileIdentity(dir.file("hard.khk")), identity);
    EXPECT_EQ(fileIdentity(dir.file(".") + "/v.khk"), identity);
    EXPECT_NE(fileIdentity(dir.file("w.khk")), identity);
    EXPECT_FALSE(fileIdentity(dir.file("missing.khk")));
}

TEST(LockedUpdate, KeepsEveryOtherSaveOutUntilItIsDone) {
    test::TempDir dir;
    const std::string path = dir.file("v.khk");
    ASSERT_EQ(saveEntries(path, 1), SaveOutcome::Saved);
    const test::Bytes saved = test::readBytes(path);
    {
        LockedUpdate update(nativeFileSystem());
        ASSERT_EQ(update.lock(path, 0ms), LockedUpdate::Lock::Held);
        EXPECT_TRUE(nativeFileSystem().saveLockHeld(path));
        // The program's own save, and a second update that waits a little.
        EXPECT_EQ(saveEntries(path, 2), SaveOutcome::NotOpened);
        LockedUpdate second(nativeFileSystem());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(second.lock(path, 100ms), LockedUpdate::Lock::Busy);
        EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
        EXPECT_EQ(test::readBytes(path), saved);
    }
    // Given up without a save: the lock and the temporary file are gone.
    EXPECT_FALSE(nativeFileSystem().saveLockHeld(path));
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"v.khk"});
    EXPECT_EQ(saveEntries(path, 2), SaveOutcome::Saved);

    LockedUpdate nowhere(nativeFileSystem());
    EXPECT_EQ(nowhere.lock(dir.file("no/v.khk"), 1s), LockedUpdate::Lock::Failed);
}

TEST(LockedUpdate, ReplacesOnlyTheFileItRead) {
    test::TempDir dir;
    const std::string path = dir.file("v.khk");
    const std::string theirs = dir.file("theirs.khk");
    ASSERT_EQ(saveEntries(theirs, 7), SaveOutcome::Saved);
    struct Case {
        const char* what;
        bool existed;
        std::function<void()> meanwhile; // another program that takes no lock
        bool saved;
    };
    const Case cases[] = {
        {"unchanged", true, [] {}, true},
        {"rewritten", true, [&] { test::writeBytes(path, test::readBytes(theirs)); }, false},
        {"removed", true, [&] { std::filesystem::remove(path); }, false},
        {"still missing", false, [] {}, true},
        {"created meanwhile", false, [&] { std::filesystem::copy_file(theirs, path); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(path);
        if (c.existed) {
            ASSERT_EQ(saveEntries(path, 1), SaveOutcome::Saved);
        }
        LockedUpdate update(nativeFileSystem());
        ASSERT_EQ(update.lock(path, 0ms), LockedUpdate::Lock::Held);
        SdrFile file;
        ASSERT_EQ(update.open(file),
                  c.existed ? LockedUpdate::Read::Opened : LockedUpdate::Read::Missing);
        LoadedAccount loaded;
        if (c.existed) {
            ASSERT_EQ(readAccountFile(file, "alice", "pw", loaded), ReadOutcome::Loaded);
        }
        file.close();
        c.meanwhile();
        const bool present = std::filesystem::exists(path);
        const test::Bytes before = present ? test::readBytes(path) : test::Bytes{};

        EXPECT_EQ(saveEntries(path, 2, update) == SaveOutcome::Saved, c.saved);
        EXPECT_EQ(update.changedMeanwhile(), !c.saved);
        if (c.saved) {
            LoadedAccount after;
            EXPECT_EQ(readAccountFile(path, "alice", "pw", after), ReadOutcome::Loaded);
            EXPECT_EQ(after.entries.size(), 2u);
        } else {
            ASSERT_EQ(std::filesystem::exists(path), present);
            if (present) {
                EXPECT_EQ(test::readBytes(path), before);
            }
        }
        const std::vector<std::string> left = dir.listing();
        EXPECT_EQ(left.size(), std::size_t(1) + (std::filesystem::exists(path) ? 1 : 0));
    }
}

// The file system seen by a save that locked while another process was replacing the
// file: the first resolution of the name finds no file and keeps the name as given, later
// ones spell it out ("./" here stands for the folder's full form).
class RespellingFileSystem final : public FileSystem {
  public:
    explicit RespellingFileSystem(FileSystem& fs) : fs_(fs) {}
    PathKind pathKind(const std::string& path) override { return fs_.pathKind(path); }
    bool canWrite(const std::string& path) override { return fs_.canWrite(path); }
    std::string finalPath(const std::string& path) override {
        if (calls_++ == 0) return path;
        const std::size_t slash = path.find_last_of('/');
        return slash == std::string::npos ? "./" + path
                                          : path.substr(0, slash) + "/." + path.substr(slash);
    }
    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override {
        return fs_.createTempBeside(target, tempPath);
    }
    bool commitToDisk(SdrFile& file) override { return fs_.commitToDisk(file); }
    bool replaceFile(const std::string& source, const std::string& target) override {
        return fs_.replaceFile(source, target);
    }
    bool removeFile(const std::string& path) override { return fs_.removeFile(path); }
    bool saveLockHeld(const std::string& target) override { return fs_.saveLockHeld(target); }

  private:
    FileSystem& fs_;
    int calls_ = 0;
};

TEST(LockedUpdate, SavesUnderTheNameItLockedEvenIfTheNameResolvesOtherwiseLater) {
    test::TempDir dir;
    const std::string path = dir.file("v.khk");
    ASSERT_EQ(saveEntries(path, 1), SaveOutcome::Saved);
    RespellingFileSystem respelling(nativeFileSystem());
    LockedUpdate update(respelling);
    ASSERT_EQ(update.lock(path, 0ms), LockedUpdate::Lock::Held);
    SdrFile file;
    ASSERT_EQ(update.open(file), LockedUpdate::Read::Opened);
    file.close();
    EXPECT_EQ(saveEntries(path, 2, update), SaveOutcome::Saved);
    LoadedAccount after;
    ASSERT_EQ(readAccountFile(path, "alice", "pw", after), ReadOutcome::Loaded);
    EXPECT_EQ(after.entries.size(), 2u);
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"v.khk"});
}

} // namespace
} // namespace kh
