// Paths that only a POSIX system can make: a named pipe must not block a reader or a save.
#include "account_file.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kh {
namespace {

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

} // namespace
} // namespace kh
