// Backup copies: their names never leave the backup folder, their folders are made below
// the drive or share only, and a copy never writes through what lies under its name.
#include "backup.h"
#include "file_system.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace kh {
namespace {

TEST(BackupFileName, TheAccountNameCannotLeaveTheFolderOrNameADevice) {
    const struct {
        const char* account;
        const char* file;
    } cases[] = {
        {"alice", "B\\alice1.khk"},
        {"Zo\xEB Smith", "B\\Zo\xEB Smith1.khk"},
        {"../bob", "B\\___bob1.khk"},
        {"..\\bob", "B\\___bob1.khk"},
        {"..", "B\\__1.khk"},
        {"a...b.c", "B\\a___b.c1.khk"},
        {"/etc/passwd", "B\\_etc_passwd1.khk"},
        {"C:\\vault", "B\\C__vault1.khk"},
        {"vault:stream", "B\\vault_stream1.khk"},
        {"a*b?c\"d<e>f|g", "B\\a_b_c_d_e_f_g1.khk"},
        {"tab\there\x01", "B\\tab_here_1.khk"},
        {"COM", "B\\_COM1.khk"},
        {"lpt", "B\\_lpt1.khk"},
        {"NUL.x", "B\\_NUL.x1.khk"},
        {"con", "B\\con1.khk"}, // "con1" is no device
        {"aux ", "B\\aux 1.khk"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(backupFileName("B\\", c.account, 1), c.file) << c.account;
    EXPECT_EQ(backupFileName("B\\", "COM", 0), "B\\_COM0.khk");
    EXPECT_EQ(backupNamePart("../bob"), "___bob");
}

TEST(BackupFolder, OnlyTheLevelsBelowTheDriveOrShareAreMade) {
    using Levels = std::vector<std::string>;
    const struct {
        const char* folder;
        bool windows;
        Levels levels;
    } cases[] = {
        {"C:\\data\\backup\\", true, {"C:\\data", "C:\\data\\backup"}},
        {"Z:\\backup", true, {"Z:\\backup"}},
        {"C:/data/backup/", true, {"C:/data", "C:/data/backup"}},
        {"C:\\", true, {}},
        {"D:", true, {}},
        {"D:rel\\backup\\", true, {"D:rel", "D:rel\\backup"}},
        {"\\\\server\\share\\kh\\backup\\",
         true,
         {"\\\\server\\share\\kh", "\\\\server\\share\\kh\\backup"}},
        {"\\\\server\\share\\", true, {}},
        {"\\\\?\\C:\\data\\backup", true, {"\\\\?\\C:\\data", "\\\\?\\C:\\data\\backup"}},
        {"\\\\?\\UNC\\server\\share\\backup\\", true, {"\\\\?\\UNC\\server\\share\\backup"}},
        {"\\data\\backup\\", true, {"\\data", "\\data\\backup"}},
        {"backup\\", true, {"backup"}},
        {"/home/u/backup/", false, {"/home", "/home/u", "/home/u/backup"}},
        {"/", false, {}},
        {"rel/backup", false, {"rel", "rel/backup"}},
        {"a\\b/", false, {"a\\b"}}, // a backslash is part of a POSIX name
    };
    for (const auto& c : cases)
        EXPECT_EQ(folderLevels(c.folder, c.windows), c.levels) << c.folder;
}

TEST(BackupFolder, CreatesEveryMissingLevelAndNothingBeside) {
    test::TempDir dir;
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SessionFiles& files = nativeSessionFiles();
    std::filesystem::create_directory(dir.path() / "work");
    const std::string folder = (dir.path() / "a" / "b" / "backup").string() + files.separator();
    EXPECT_FALSE(files.folderExists(folder));
    EXPECT_TRUE(files.createFolders(folder));
    EXPECT_TRUE(files.folderExists(folder));
    std::filesystem::current_path(cwd);
    // Under Windows the absolute path starts with a drive: no folder named after it may
    // appear in the working folder.
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"a", "work"}));
}

class BackupCopyTest : public ::testing::Test {
  protected:
    std::string account() const { return dir_.file("vault.khk"); }
    std::string backupFolder() const {
        return dir_.file("backup") + nativeSessionFiles().separator();
    }

    void SetUp() override {
        test::writeBytes(account(), test::Bytes(3000, 0x42));
        ASSERT_TRUE(nativeSessionFiles().createFolders(backupFolder()));
    }

    test::TempDir dir_;
};

TEST_F(BackupCopyTest, ANameWithDotsAndSlashesStaysInTheBackupFolder) {
    const std::string neighbour = dir_.file("bob1.khk");
    test::writeBytes(neighbour, {'b', 'o', 'b'});
    for (const char* name : {"../bob", "..\\bob", "x:stream"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(
            nativeSessionFiles().copyFile(account(), backupFileName(backupFolder(), name, 1)));
    }
    EXPECT_EQ(test::readBytes(neighbour), (test::Bytes{'b', 'o', 'b'}));
    std::vector<std::string> copies;
    for (const auto& item : std::filesystem::directory_iterator(dir_.path() / "backup"))
        copies.push_back(item.path().filename().string());
    std::sort(copies.begin(), copies.end());
    EXPECT_EQ(copies, (std::vector<std::string>{"___bob1.khk", "x_stream1.khk"}));
    EXPECT_EQ(test::readBytes(dir_.file("backup/___bob1.khk")), test::Bytes(3000, 0x42));
}

TEST_F(BackupCopyTest, ACopyReplacesItsTargetCompletelyAndLeavesNothingElse) {
    const std::string copy = backupFileName(backupFolder(), "alice", 1);
    test::writeBytes(copy, test::Bytes(9000, 0x11)); // an older, longer copy
    ASSERT_TRUE(nativeSessionFiles().copyFile(account(), copy));
    EXPECT_EQ(test::readBytes(copy), test::Bytes(3000, 0x42));
    EXPECT_FALSE(nativeSessionFiles().copyFile(dir_.file("missing.khk"), copy));
    EXPECT_FALSE(nativeSessionFiles().copyFile(dir_.file("backup"), copy));
    EXPECT_EQ(test::readBytes(copy), test::Bytes(3000, 0x42));
    std::size_t inFolder = 0;
    for (const auto& item : std::filesystem::directory_iterator(dir_.path() / "backup"))
        inFolder += item.is_regular_file() ? 1 : 0;
    EXPECT_EQ(inFolder, 1u);
}

#ifndef _WIN32
TEST_F(BackupCopyTest, ALinkUnderTheBackupNameIsReplacedNotWrittenThrough) {
    namespace fs = std::filesystem;
    const std::string precious = dir_.file("precious.txt");
    test::writeBytes(precious, {'k', 'e', 'e', 'p'});
    const std::string copy = backupFileName(backupFolder(), "alice", 1);
    fs::create_symlink(precious, copy);
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(account(), mode);

    ASSERT_TRUE(nativeSessionFiles().copyFile(account(), copy));
    EXPECT_EQ(test::readBytes(precious), (test::Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::is_symlink(copy));
    EXPECT_EQ(test::readBytes(copy), test::Bytes(3000, 0x42));
    // The copy has the account file's permissions, not those of what was there.
    EXPECT_EQ(fs::status(copy).permissions(), mode);
}
#endif

} // namespace
} // namespace kh
