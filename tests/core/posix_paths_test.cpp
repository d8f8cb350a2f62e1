// Paths and processes that only a POSIX system can make: a named pipe must not block a
// reader or a save, and a save killed at any moment, or running in another process, must
// neither damage the account nor leave anything behind after the next save.
#include "account_file.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kh {
namespace {

Account makeAccount() {
    Account account;
    account.name = "alice";
    account.password = "pw";
    return account;
}

std::vector<AccountEntry> entriesOf(int count) {
    std::vector<AccountEntry> entries(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        entries[std::size_t(i)].title = "Entry " + std::to_string(i);
        entries[std::size_t(i)].data = "secret " + std::to_string(i);
    }
    return entries;
}

std::size_t entriesIn(const std::string& path) {
    LoadedAccount loaded;
    if (readAccountFile(path, "alice", "pw", loaded) != ReadOutcome::Loaded) return 0;
    return loaded.entries.size();
}

TEST(AccountFilePosix, NamedPipeIsNotOpened) {
    test::TempDir dir;
    const std::string fifo = dir.file("pipe.khk");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    LoadedAccount loaded;
    EXPECT_EQ(readAccountFile(fifo, "alice", "pw", loaded), ReadOutcome::NotOpened);
    std::string text;
    EXPECT_FALSE(readAccountDescription(fifo, text));
    EXPECT_FALSE(readPasswordDescription(fifo, "alice", text));
    EXPECT_FALSE(checkAccountCredentials(fifo, "alice", "pw", text));
    Account account;
    account.name = "alice";
    account.password = "pw";
    std::vector<AccountEntry> none;
    EXPECT_EQ(writeAccountFile(fifo, account, none), SaveOutcome::NotOpened);
}

TEST(AccountFilePosix, SavesKilledAtAnyMomentLeaveOldOrNewAndNothingAfterTheNextSave) {
    test::TempDir dir;
    const std::string path = dir.file("vault.khk");
    constexpr int kOld = 5000;
    std::vector<AccountEntry> old = entriesOf(kOld);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(writeAccountFile(path, makeAccount(), old), SaveOutcome::Saved);
    const auto saveTime = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);

    std::mt19937 rng(7);
    std::uniform_int_distribution<long> delay(0, saveTime.count() * 3 / 2 + 1000);
    int interrupted = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::vector<AccountEntry> grown = entriesOf(kOld + 1);
            ::_exit(writeAccountFile(path, makeAccount(), grown) == SaveOutcome::Saved ? 0 : 1);
        }
        ::usleep(static_cast<useconds_t>(delay(rng)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (WIFSIGNALED(status)) ++interrupted;

        const std::size_t count = entriesIn(path);
        EXPECT_TRUE(count == kOld || count == kOld + 1) << count;
        // At most the one temporary name of this account.
        for (const std::string& name : dir.listing())
            EXPECT_TRUE(name == "vault.khk" || dir.file(name) == tempNameFor(path, "/")) << name;
    }
    EXPECT_GT(interrupted, 0);

    std::vector<AccountEntry> last = entriesOf(3);
    ASSERT_EQ(writeAccountFile(path, makeAccount(), last), SaveOutcome::Saved);
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"vault.khk"});
    EXPECT_EQ(entriesIn(path), 3u);
}

// Wraps the real file system; the save stops before it commits, tells the test so and
// waits to be killed.
class StoppingFileSystem final : public FileSystem {
  public:
    explicit StoppingFileSystem(int signalFd) : signalFd_(signalFd) {}
    PathKind pathKind(const std::string& p) override { return real().pathKind(p); }
    bool canWrite(const std::string& p) override { return real().canWrite(p); }
    std::string finalPath(const std::string& p) override { return real().finalPath(p); }
    std::unique_ptr<SdrFile> createTempBeside(const std::string& t, std::string& tmp) override {
        return real().createTempBeside(t, tmp);
    }
    bool commitToDisk(SdrFile& f) override {
        f.flush();
        const char done = 1;
        if (::write(signalFd_, &done, 1) != 1) ::_exit(3);
        for (;;)
            ::pause();
    }
    bool replaceFile(const std::string& s, const std::string& t) override {
        return real().replaceFile(s, t);
    }
    bool removeFile(const std::string& p) override { return real().removeFile(p); }

  private:
    static FileSystem& real() { return nativeFileSystem(); }
    int signalFd_;
};

TEST(AccountFilePosix, ASaveRunningInAnotherProcessIsNeverTouched) {
    test::TempDir dir;
    const std::string path = dir.file("vault.khk");
    std::vector<AccountEntry> entries = entriesOf(2);
    ASSERT_EQ(writeAccountFile(path, makeAccount(), entries), SaveOutcome::Saved);

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StoppingFileSystem stopping(fds[1]);
        std::vector<AccountEntry> theirs = entriesOf(40);
        writeAccountFile(path, makeAccount(), theirs, stopping);
        ::_exit(2);
    }
    char done = 0;
    ASSERT_EQ(::read(fds[0], &done, 1), 1);
    const std::string temp = tempNameFor(path, "/");
    const std::size_t theirSize = test::readBytes(temp).size();
    EXPECT_EQ(theirSize, kHeaderSize + 40 * kRecordSize);

    std::vector<AccountEntry> ours = entriesOf(5);
    EXPECT_EQ(writeAccountFile(path, makeAccount(), ours), SaveOutcome::NotOpened);
    EXPECT_EQ(test::readBytes(temp).size(), theirSize);
    EXPECT_EQ(entriesIn(path), 2u);

    // Once that process is gone, its lock is gone with it.
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(writeAccountFile(path, makeAccount(), ours), SaveOutcome::Saved);
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"vault.khk"});
    EXPECT_EQ(entriesIn(path), 5u);
}

} // namespace
} // namespace kh
