#include "settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <vector>

namespace kh {
namespace {

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// An INI file in memory that reads as the private-profile functions do (names without
// regard to case, outer blanks and one pair of quotes stripped) and logs every change.
class FakeProfileStore final : public ProfileStore {
  public:
    struct Value {
        std::string section, key, raw;
    };

    void set(std::string_view section, std::string_view key, std::string_view raw) {
        if (Value* v = find(section, key))
            v->raw = raw;
        else
            values_.push_back({std::string(section), std::string(key), std::string(raw)});
    }
    const Value* get(std::string_view section, std::string_view key) { return find(section, key); }

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback, std::size_t maxLength) override {
        const Value* v = find(section, key);
        std::string_view text = v ? trimBlanks(v->raw) : fallback;
        if (v && text.size() >= 2 && text.front() == text.back() &&
            (text.front() == '"' || text.front() == '\''))
            text = text.substr(1, text.size() - 2);
        return std::string(text.substr(0, maxLength));
    }
    int readInt(std::string_view section, std::string_view key, int fallback) override {
        const Value* v = find(section, key);
        if (v == nullptr || trimBlanks(v->raw).empty()) return fallback;
        return parseProfileInt(v->raw);
    }
    bool writeString(std::string_view section, std::string_view key,
                     std::string_view value) override {
        log.push_back(std::string(section) + "/" + std::string(key) + "=" + std::string(value));
        if (failWrites) return false;
        set(section, key, value);
        return true;
    }
    bool deleteKey(std::string_view section, std::string_view key) override {
        log.push_back("-" + std::string(section) + "/" + std::string(key));
        if (failWrites) return false;
        std::erase_if(values_, [&](const Value& v) {
            return sameName(v.section, section) && sameName(v.key, key);
        });
        return true;
    }

    std::vector<std::string> log;
    bool failWrites = false;

  private:
    Value* find(std::string_view section, std::string_view key) {
        for (Value& v : values_)
            if (sameName(v.section, section) && sameName(v.key, key)) return &v;
        return nullptr;
    }
    std::vector<Value> values_;
};

class FakeFolders final : public FolderMaker {
  public:
    bool folderExists(const std::string& folder) override { return existing.count(folder) > 0; }
    bool createFolder(const std::string& folder) override {
        created.push_back(folder);
        if (!canCreate) return false;
        existing.insert(folder);
        return true;
    }

    std::set<std::string> existing;
    std::vector<std::string> created;
    bool canCreate = true;
};

Settings changedSettings() {
    Settings s;
    s.language = "C:\\Program Files\\Keyhaven\\language\\Deutsch.lng";
    s.backupPath = "D:\\Backups\\";
    s.doBackup = false;
    s.times = 5;
    s.remember = true;
    s.dblClick = kDblClickCopyPassword;
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
    s.lockLogout = false;
    s.hotkeyValue = 0x6041; // Shift+Ctrl+A
    s.hotkey = false;
    s.tip = false;
    s.comment = true;
    s.sub = 2;
    s.last = "C:\\Vaults\\Caf\xE9.khk";
    s.lastTitle = "alice";
    s.window = {-40, 25, 900, 700};
    return s;
}

class SettingsFileTest : public ::testing::Test {
  protected:
    Settings load() { return loadSettings(store_, folders_); }

    FakeProfileStore store_;
    FakeFolders folders_;
};

TEST_F(SettingsFileTest, FreshProfileGivesTheDefaults) {
    const Settings s = load();
    EXPECT_EQ(s, Settings{});
    EXPECT_TRUE(s.guard);
    EXPECT_FALSE(s.minimize);
    EXPECT_EQ(s.mainGuard, 20);
    EXPECT_TRUE(s.displayPassword);
    EXPECT_EQ(s.timeout, 3);
    EXPECT_TRUE(s.doBackup);
    EXPECT_EQ(s.times, 2);
    EXPECT_EQ(s.guardTime, 20);
    EXPECT_TRUE(s.autorun && s.tip && s.hotkey && s.remember && s.wizard && s.withIE &&
                s.lockLogout);
    EXPECT_FALSE(s.quit || s.openLink || s.comment);
    EXPECT_EQ(s.hotkeyValue, 49229);
    EXPECT_EQ(s.dblClick, kDblClickEdit);
    EXPECT_EQ(s.sub, 0);
    EXPECT_TRUE(s.language.empty() && s.backupPath.empty() && s.last.empty() &&
                s.lastTitle.empty());
    EXPECT_TRUE(folders_.created.empty());
}

TEST_F(SettingsFileTest, LoadChecksReplaceValuesOutOfRange) {
    struct Case {
        const char* section;
        const char* key;
        const char* raw;
        std::function<long long(const Settings&)> field;
        long long expected;
    };
    const auto guardTime = [](const Settings& s) { return s.guardTime; };
    const auto times = [](const Settings& s) { return s.times; };
    const auto mainGuard = [](const Settings& s) { return s.mainGuard; };
    const auto timeout = [](const Settings& s) { return s.timeout; };
    const auto dblClick = [](const Settings& s) { return s.dblClick; };
    const auto hotkeyValue = [](const Settings& s) { return s.hotkeyValue; };
    const auto sub = [](const Settings& s) { return s.sub; };
    const auto guard = [](const Settings& s) { return s.guard ? 1 : 0; };
    const auto minimize = [](const Settings& s) { return s.minimize ? 1 : 0; };
    const Case cases[] = {
        {"Setting", "GuardTime", "50", guardTime, 20},
        {"Setting", "GuardTime", "0", guardTime, 20},
        {"Setting", "GuardTime", "20", guardTime, 20},
        {"Setting", "GuardTime", "7", guardTime, 7},
        {"Backup", "Times", "-1", times, 2},
        {"Backup", "Times", "0", times, 2},
        {"Backup", "Times", "9", times, 9},
        {"Setting", "MainGuard", "70000", mainGuard, 20},
        {"Setting", "MainGuard", "65535", mainGuard, 65535},
        {"Setting", "MainGuard", "-5", mainGuard, 20}, // never "off" by a negative value
        {"Setting", "MainGuard", "0", mainGuard, 0},
        {"Setting", "Timeout", "0", timeout, 3},
        {"Setting", "Timeout", "-2", timeout, 3},
        {"Setting", "Timeout", "1879048193", timeout, kTimeoutNever},
        {"Setting", "Timeout", "0x70000001", timeout, kTimeoutNever},
        {"Setting", "DblClick", "300", dblClick, 44},
        {"Setting", "DblClick", "0", dblClick, 0},
        {"Setting", "HotkeyValue", "16397", hotkeyValue, 16397},
        {"Setting", "HotkeyValue", "0x14041", hotkeyValue, 0x4041},
        {"Setting", "Sub", "7", sub, 7}, // the main window checks it against its tabs
        {"Setting", "Sub", "-1", sub, -1},
        {"Setting", "Guard", "0", guard, 0},
        {"Setting", "Guard", "yes", guard, 0}, // present but no number: 0, not the default
        {"Setting", "Guard", "", guard, 1},    // empty: the default
        {"Setting", "Minimize", "5", minimize, 1},
        {"Setting", "Minimize", "-1", minimize, 1},
        {"setting", "mINIMIZE", " 1 ", minimize, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.raw);
        FakeProfileStore store;
        store.set(c.section, c.key, c.raw);
        EXPECT_EQ(c.field(loadSettings(store, folders_)), c.expected);
    }
}

TEST_F(SettingsFileTest, TheWindowsPlaceIsTakenOnlyWholeAndWithinReason) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> keys;
        WindowBounds expected;
    };
    const Case cases[] = {
        {{{"Left", "10"}, {"Top", "20"}, {"Width", "800"}, {"Height", "600"}}, {10, 20, 800, 600}},
        {{{"Left", "-1930"}, {"Top", "5"}, {"Width", "700"}, {"Height", "500"}},
         {-1930, 5, 700, 500}},
        {{{"Left", "10"}, {"Top", "20"}, {"Width", "800"}}, {}},                  // no height
        {{{"Left", "10"}, {"Top", "20"}, {"Width", "0"}, {"Height", "600"}}, {}}, // no width
        {{{"Left", "10"}, {"Top", "20"}, {"Width", "-800"}, {"Height", "600"}}, {}},
        {{{"Left", "10"}, {"Top", "20"}, {"Width", "800"}, {"Height", "2000000"}}, {}},
        {{{"Left", "9999999"}, {"Top", "20"}, {"Width", "800"}, {"Height", "600"}}, {}},
    };
    for (const Case& c : cases) {
        FakeProfileStore store;
        for (const auto& [key, value] : c.keys)
            store.set("Window", key, value);
        const Settings s = loadSettings(store, folders_);
        EXPECT_EQ(s.window, c.expected) << c.keys.size() << " keys, Left " << c.keys[0].second;
    }
}

TEST(ProfileInt, ReadsTheLeadingNumberAsTheProfileApiDoes) {
    const std::pair<const char*, int> cases[] = {
        {"12", 12},         {"  42", 42},       {"+7", 7},
        {"-3", -3},         {"0x1F", 31},       {"0X1F", 0},
        {"0o17", 15},       {"0b101", 5},       {"12abc", 12},
        {"abc", 0},         {"1 2", 1},         {"-", 0},
        {"0x", 0},          {"4294967295", -1}, {"4294967296", 0},
        {"0xffffffff", -1}, {"\t9", 9},         {"0x70000001", 0x70000001},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parseProfileInt(text), expected) << '"' << text << '"';
}

TEST_F(SettingsFileTest, BackupPathGetsItsBackslashAndIsCreated) {
    store_.set("Backup", "Path", "E:\\kh\\bak");
    EXPECT_EQ(load().backupPath, "E:\\kh\\bak\\");
    EXPECT_EQ(folders_.created, std::vector<std::string>{"E:\\kh\\bak\\"});

    // An existing folder is left alone, and one that cannot be made is still the setting.
    folders_.created.clear();
    EXPECT_EQ(load().backupPath, "E:\\kh\\bak\\");
    EXPECT_TRUE(folders_.created.empty());

    FakeFolders stuck;
    stuck.canCreate = false;
    store_.set("Backup", "Path", "F:\\x\\");
    EXPECT_EQ(loadSettings(store_, stuck).backupPath, "F:\\x\\");
}

TEST_F(SettingsFileTest, LastAccountIsReadOnlyWhenRemembered) {
    store_.set("Account", "Last", "C:\\v.khk");
    store_.set("Account", "LastTitle", "bob");
    Settings s = load();
    EXPECT_EQ(s.last, "C:\\v.khk");
    EXPECT_EQ(s.lastTitle, "bob");

    store_.set("Setting", "Remember", "0");
    s = load();
    EXPECT_FALSE(s.remember);
    EXPECT_TRUE(s.last.empty());
    EXPECT_TRUE(s.lastTitle.empty());
}

TEST_F(SettingsFileTest, SaveWritesEveryKeyInTheFileOrder) {
    ASSERT_TRUE(saveSettings(store_, changedSettings()));
    const std::vector<std::string> expected = {
        "Setting/Comment=1",
        "Account/Last=C:\\Vaults\\Caf\xE9.khk",
        "Account/LastTitle=alice",
        "Backup/Path=D:\\Backups\\",
        "Backup/DoBackup=0",
        "Backup/Times=5",
        "Setting/Language=C:\\Program Files\\Keyhaven\\language\\Deutsch.lng",
        "Setting/Tip=0",
        "Setting/Wizard=0",
        "Setting/Autorun=0",
        "Setting/Quit=1",
        "Setting/LockLogout=0",
        "Setting/Hotkey=0",
        "Setting/HotkeyValue=24641",
        "Setting/DisplayPassword=0",
        "Setting/Timeout=1879048193",
        "Setting/MainGuard=0",
        "Setting/Guard=0",
        "Setting/GuardTime=7",
        "Setting/Minimize=1",
        "Setting/Remember=1",
        "Setting/DblClick=2",
        "Setting/OpenLink=1",
        "Setting/WithIE=0",
        "Setting/Sub=2",
        "Window/Left=-40",
        "Window/Top=25",
        "Window/Width=900",
        "Window/Height=700",
    };
    EXPECT_EQ(store_.log, expected);
}

TEST_F(SettingsFileTest, SavedSettingsLoadBackUnchanged) {
    for (Settings s : {Settings{}, changedSettings()}) {
        FakeProfileStore store;
        FakeFolders folders;
        folders.existing.insert(s.backupPath);
        ASSERT_TRUE(saveSettings(store, s));
        EXPECT_EQ(loadSettings(store, folders), s);
    }
}

TEST_F(SettingsFileTest, RememberOffForgetsTheKnownLastAccountOnSave) {
    store_.set("Account", "Last", "C:\\old.khk");
    store_.set("Account", "LastTitle", "old");
    Settings s = changedSettings();
    s.remember = false;
    ASSERT_TRUE(saveSettings(store_, s));
    EXPECT_EQ(store_.get("Account", "Last"), nullptr);
    EXPECT_EQ(store_.get("Account", "LastTitle"), nullptr);
}

TEST_F(SettingsFileTest, UnknownLastAccountAndEmptyTextsOnSave) {
    store_.set("Account", "Last", "C:\\old.khk");
    store_.set("Account", "LastTitle", "old");
    store_.set("Backup", "Path", "C:\\b\\");
    store_.set("Setting", "Language", "C:\\x.lng");
    for (const bool remember : {true, false}) {
        Settings s; // no last account known this run; no backup folder or language
        s.remember = remember;
        ASSERT_TRUE(saveSettings(store_, s));
        ASSERT_NE(store_.get("Account", "Last"), nullptr);
        EXPECT_EQ(store_.get("Account", "Last")->raw, "C:\\old.khk");
        EXPECT_EQ(store_.get("Account", "LastTitle")->raw, "old");
        EXPECT_EQ(store_.get("Backup", "Path"), nullptr);
        EXPECT_EQ(store_.get("Setting", "Language"), nullptr);
    }
}

TEST_F(SettingsFileTest, TextsComeBackAsTheyWereDespiteTheReadersTrimming) {
    const std::pair<std::string, std::string> cases[] = {
        {" alice ", " alice "},
        {"\"quoted\"", "\"quoted\""},
        {"'single'", "'single'"},
        {"it's", "it's"},
        // A line break would start a new key in the file: only the first line is kept.
        {"bob\r\nMainGuard=0", "bob"},
        {"eve\nTimeout=1879048193", "eve"},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        FakeProfileStore store;
        Settings s;
        s.last = "C:\\v.khk";
        s.lastTitle = name;
        ASSERT_TRUE(saveSettings(store, s));
        for (const std::string& line : store.log)
            EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        const Settings back = loadSettings(store, folders_);
        EXPECT_EQ(back.lastTitle, expected);
        EXPECT_EQ(back.mainGuard, 20);
        EXPECT_EQ(back.timeout, 3);
    }
}

TEST_F(SettingsFileTest, FailedWritesAreReportedAfterTryingEveryKey) {
    store_.failWrites = true;
    EXPECT_FALSE(saveSettings(store_, changedSettings()));
    EXPECT_EQ(store_.log.size(), 29u);
}

TEST(SettingsDialogRules, NumberFields) {
    const std::pair<const char*, int> cases[] = {
        {"15", 15},
        {"  15 ", 15},
        {"\t-3", -3},
        {"+4", 4},
        {"", 0},
        {"   ", 0},
        {"abc", 0},
        {"12abc", 0},
        {"1 2", 0},
        {"0x10", 0},
        {"-", 0},
        {"2147483647", 2147483647},
        {"2147483648", 0},
        {"-2147483648", -2147483647 - 1},
        {"99999999999999999999", 0},
    };
    for (const auto& [field, expected] : cases)
        EXPECT_EQ(parseNumberField(field), expected) << '"' << field << '"';
}

TEST(SettingsDialogRules, LogoutMinutes) {
    EXPECT_EQ(mainGuardFromDialog(true, "45"), 45);
    EXPECT_EQ(mainGuardFromDialog(true, " 65535 "), 65535);
    for (const char* bad : {"0", "abc", "", "-1", "65536"})
        EXPECT_EQ(mainGuardFromDialog(true, bad), 20) << bad;
    EXPECT_EQ(mainGuardFromDialog(false, "45"), 0);

    const CheckedNumber on = mainGuardControls(45);
    EXPECT_TRUE(on.checked);
    EXPECT_EQ(on.field, "45");
    const CheckedNumber off = mainGuardControls(0);
    EXPECT_FALSE(off.checked);
    EXPECT_EQ(off.field, "20");
}

TEST(SettingsDialogRules, HidePasswordSeconds) {
    EXPECT_EQ(timeoutFromDialog(true, "10"), 10);
    EXPECT_EQ(timeoutFromDialog(true, "0"), 3);
    EXPECT_EQ(timeoutFromDialog(true, "x"), 3);

    // Unchecking stores "never"; reopened, the box is unchecked and the field shows 3.
    const int never = timeoutFromDialog(false, "10");
    EXPECT_EQ(never, 1879048193);
    const CheckedNumber reopened = timeoutControls(never);
    EXPECT_FALSE(reopened.checked);
    EXPECT_EQ(reopened.field, "3");

    const CheckedNumber shown = timeoutControls(10);
    EXPECT_TRUE(shown.checked);
    EXPECT_EQ(shown.field, "10");
    EXPECT_FALSE(timeoutControls(0x70000000).checked);
}

TEST(SettingsDialogRules, BackupTimesAndDoubleClick) {
    EXPECT_EQ(timesFromDialog("4"), 4);
    EXPECT_EQ(timesFromDialog("0"), 2);
    EXPECT_EQ(timesFromDialog("-7"), 2);
    EXPECT_EQ(dblClickChoice(0), kDblClickNothing);
    EXPECT_EQ(dblClickChoice(2), kDblClickCopyPassword);
    for (const int other : {1, 3, 44, 255})
        EXPECT_EQ(dblClickChoice(static_cast<std::uint8_t>(other)), kDblClickEdit);
}

TEST(SettingsDialogRules, SetBackupFolder) {
    FakeFolders folders;
    EXPECT_EQ(backupFolderFromField("   ", "C:\\Apps\\Keyhaven\\", folders),
              "C:\\Apps\\Keyhaven\\backup\\");
    EXPECT_EQ(backupFolderFromField("  D:\\safe  ", "C:\\Apps\\Keyhaven\\", folders), "D:\\safe\\");
    EXPECT_EQ(backupFolderFromField("D:\\safe\\", "C:\\Apps\\Keyhaven\\", folders), "D:\\safe\\");
    // Each folder is created once, when it is missing.
    EXPECT_EQ(folders.created,
              (std::vector<std::string>{"C:\\Apps\\Keyhaven\\backup\\", "D:\\safe\\"}));
}

TEST(ProfileFolder, ApplicationDataPlusKeyhavenElseTheProgramFolder) {
    const std::string program = "C:\\Apps\\Keyhaven\\";
    {
        FakeFolders folders;
        folders.existing.insert("C:\\Users\\ann\\AppData\\Roaming");
        EXPECT_EQ(resolveProfileFolder("C:\\Users\\ann\\AppData\\Roaming", program, folders),
                  "C:\\Users\\ann\\AppData\\Roaming\\Keyhaven\\");
        EXPECT_EQ(folders.created,
                  std::vector<std::string>{"C:\\Users\\ann\\AppData\\Roaming\\Keyhaven\\"});
        // Already there: used as it is.
        folders.created.clear();
        EXPECT_EQ(resolveProfileFolder("C:\\Users\\ann\\AppData\\Roaming", program, folders),
                  "C:\\Users\\ann\\AppData\\Roaming\\Keyhaven\\");
        EXPECT_TRUE(folders.created.empty());
    }
    {
        FakeFolders folders;
        folders.existing.insert("D:\\");
        EXPECT_EQ(resolveProfileFolder("D:\\", program, folders), "D:\\Keyhaven\\");
    }
    {
        FakeFolders folders; // the shell gave a folder that does not exist
        EXPECT_EQ(resolveProfileFolder("C:\\gone", program, folders), program);
        EXPECT_TRUE(folders.created.empty());
        EXPECT_EQ(resolveProfileFolder("", program, folders), program);
    }
    {
        FakeFolders folders;
        folders.existing.insert("C:\\ro");
        folders.canCreate = false;
        EXPECT_EQ(resolveProfileFolder("C:\\ro", program, folders), program);
    }
}

} // namespace
} // namespace kh
