// config.ini through the real private-profile functions, and the two folders, on Windows.
#include "app_folders.h"
#include "profile_store.h"
#include "settings.h"
#include "test_files.h"

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace kh {
namespace {

using test::TempDir;

std::string fileText(const std::string& path) {
    const test::Bytes bytes = test::readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeText(const std::string& path, std::string_view text) {
    test::writeBytes(path, test::Bytes(text.begin(), text.end()));
}

std::string keyName(std::size_t i) {
    std::string key = "k";
    key += std::to_string(i);
    return key;
}

bool contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

Settings changedSettings(const std::string& backupFolder) {
    Settings s;
    s.language = "C:\\Program Files\\Keyhaven\\language\\Fran\xE7"
                 "ais.lng";
    s.backupPath = backupFolder;
    s.doBackup = false;
    s.times = 5;
    s.dblClick = kDblClickNothing;
    s.openLink = true;
    s.withIE = false;
    s.displayPassword = false;
    s.timeout = kTimeoutNever;
    s.mainGuard = 0;
    s.guard = false;
    s.guardTime = 7;
    s.minimize = true;
    s.wizard = false;
    s.autorun = false;
    s.quit = true;
    s.hotkeyValue = 0xA041; // Shift+Alt+A
    s.hotkey = false;
    s.tip = false;
    s.comment = true;
    s.sub = 2;
    s.last = "C:\\Vaults\\Caf\xE9.khk";
    s.lastTitle = " bob ";
    return s;
}

class ConfigFileTest : public ::testing::Test {
  protected:
    std::string configPath() const { return dir_.file("config.ini"); }

    TempDir dir_;
    Win32ProfileStore store_{dir_.file("config.ini")};
};

TEST_F(ConfigFileTest, MissingFileGivesTheDefaults) {
    EXPECT_EQ(loadSettings(store_, win32Folders()), Settings{});
}

TEST_F(ConfigFileTest, RoundTripCreatesTheBackupFolderOnLoad) {
    // Two missing levels: the load makes both.
    const std::string backup = dir_.file("bak") + "\\deep\\";
    const Settings saved = changedSettings(backup);
    ASSERT_TRUE(saveSettings(store_, saved));
    ASSERT_FALSE(win32Folders().folderExists(backup));

    EXPECT_EQ(loadSettings(store_, win32Folders()), saved);
    EXPECT_TRUE(win32Folders().folderExists(backup));

    // Sections appear in the order they are first written.
    const std::string text = fileText(configPath());
    const std::size_t setting = text.find("[Setting]");
    const std::size_t account = text.find("[Account]");
    const std::size_t backupSection = text.find("[Backup]");
    ASSERT_NE(backupSection, std::string::npos);
    EXPECT_LT(setting, account);
    EXPECT_LT(account, backupSection);
    EXPECT_TRUE(contains(text, "Timeout=1879048193"));
    EXPECT_TRUE(contains(text, "HotkeyValue=41025"));
    EXPECT_TRUE(contains(text, "LastTitle=\" bob \""));
}

TEST_F(ConfigFileTest, EmptyTextsAndForgottenAccountAreDeleted) {
    ASSERT_TRUE(saveSettings(store_, changedSettings(dir_.file("b") + "\\")));
    Settings s = changedSettings("");
    s.language.clear();
    s.remember = false;
    ASSERT_TRUE(saveSettings(store_, s));

    const std::string text = fileText(configPath());
    for (const char* gone : {"Last=", "LastTitle=", "Path=", "Language="})
        EXPECT_FALSE(contains(text, gone)) << gone << " in\n" << text;
    EXPECT_TRUE(contains(text, "Remember=0"));
    const Settings back = loadSettings(store_, win32Folders());
    EXPECT_TRUE(back.backupPath.empty());
    EXPECT_TRUE(back.language.empty());
}

TEST_F(ConfigFileTest, HandWrittenFileWithOddSpacing) {
    writeText(configPath(), "; written by hand\r\n"
                            "\r\n"
                            "[setting]\r\n"
                            "  GuardTime = 50   \r\n"
                            "mainguard=\t70000\r\n"
                            "Timeout= 0x10\r\n"
                            "DblClick=300\r\n"
                            "Guard =0\r\n"
                            "Tip=  no\r\n"
                            "Remember = 1\r\n"
                            "Language = \"C:\\lang\\ x.lng \"  \r\n"
                            "Sub=7\r\n"
                            "\r\n"
                            "[BACKUP]\n"
                            "Times=-1\n"
                            "DoBackup=\n"
                            "[Account]\n"
                            "Last=  C:\\v\\my vault.khk\n"
                            "LastTitle='ann'\n");
    const Settings s = loadSettings(store_, win32Folders());
    EXPECT_EQ(s.guardTime, 20);
    EXPECT_EQ(s.mainGuard, 20);
    EXPECT_EQ(s.timeout, 16);
    EXPECT_EQ(s.dblClick, 44);
    EXPECT_FALSE(s.guard);
    EXPECT_FALSE(s.tip);
    EXPECT_EQ(s.language, "C:\\lang\\ x.lng ");
    EXPECT_EQ(s.sub, 7);
    EXPECT_EQ(s.times, 2);
    EXPECT_TRUE(s.doBackup); // empty value: the default
    EXPECT_EQ(s.last, "C:\\v\\my vault.khk");
    EXPECT_EQ(s.lastTitle, "ann");
}

TEST_F(ConfigFileTest, IntegerReadingMatchesTheSystem) {
    const char* values[] = {"12",   "  42",  "+7",   "-3",    "0x1F",       "0X1F",
                            "0o17", "0b101", "12ab", "abc",   "1 2",        "-",
                            "0x",   "-0x10", "\t9",  "65536", "4294967295", "1879048193"};
    std::string text = "[T]\r\n";
    for (std::size_t i = 0; i < std::size(values); ++i)
        text += keyName(i) + "=" + values[i] + "\r\n";
    writeText(configPath(), text);
    for (std::size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(store_.readInt("T", keyName(i), -99), parseProfileInt(values[i]))
            << '"' << values[i] << '"';
    EXPECT_EQ(store_.readInt("T", "missing", -99), -99);
}

TEST_F(ConfigFileTest, LongTextsAreCutAndLineBreaksCannotAddKeys) {
    Settings s;
    s.language = "C:\\" + std::string(1200, 'x');
    s.mainGuard = 15;
    s.last = "C:\\v.khk";
    s.lastTitle = "bob\r\n[Setting]\r\nMainGuard=0";
    ASSERT_TRUE(saveSettings(store_, s));
    EXPECT_FALSE(contains(fileText(configPath()), "MainGuard=0"));

    const Settings back = loadSettings(store_, win32Folders());
    EXPECT_EQ(back.language.size(), kMaxLanguagePath);
    EXPECT_EQ(back.mainGuard, 15);
    EXPECT_EQ(back.lastTitle, "bob");
}

TEST_F(ConfigFileTest, WritesFailWhenTheFolderIsMissing) {
    Win32ProfileStore nowhere(dir_.file("gone") + "\\config.ini");
    EXPECT_FALSE(saveSettings(nowhere, Settings{}));
    EXPECT_EQ(loadSettings(nowhere, win32Folders()), Settings{});
}

TEST(AppFolders, ProgramFolderHoldsThisExecutable) {
    const std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    char self[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    EXPECT_EQ(std::string(self).rfind(folder, 0), 0u);
}

TEST(AppFolders, ProfileFolderIsKeyhavenInApplicationData) {
    const std::string appData = appDataFolder();
    ASSERT_FALSE(appData.empty());
    const std::string folder = profileFolder(programFolder());
    EXPECT_EQ(folder, withTrailingBackslash(appData) + "Keyhaven\\");
    EXPECT_TRUE(win32Folders().folderExists(folder));
}

TEST(AppFolders, CreateFolderMakesEveryMissingLevel) {
    TempDir dir;
    Win32FolderMaker folders;
    for (const std::string& folder :
         {dir.file("a") + "\\b\\c\\", dir.file("d") + "/e/f", dir.file("g") + "\\h"}) {
        SCOPED_TRACE(folder);
        EXPECT_FALSE(folders.folderExists(folder));
        EXPECT_TRUE(folders.createFolder(folder));
        EXPECT_TRUE(folders.folderExists(folder));
        EXPECT_TRUE(folders.createFolder(folder)); // already there
    }
    // A file in the way.
    writeText(dir.file("file"), "x");
    EXPECT_FALSE(folders.folderExists(dir.file("file")));
    EXPECT_FALSE(folders.createFolder(dir.file("file") + "\\sub\\"));
}

} // namespace
} // namespace kh
