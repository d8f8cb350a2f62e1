// The Tools windows' rules without their windows: the generator's strength figure, the
// Settings dialog's rows, its hotkey field and its backup folder browser.
#include "generator_dialog.h"
#include "settings_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace kh {
namespace {

TEST(GeneratorStrength, LengthTimesLog2OfTheChosenAlphabet) {
    const GeneratorOptions all{};
    const GeneratorOptions upperOnly{true, false, false, false};
    const GeneratorOptions digitsOnly{false, false, false, true};
    const GeneratorOptions noUpper{false, true, true, true};
    const GeneratorOptions none{false, false, false, false};
    struct Case {
        GeneratorOptions options;
        const char* length;
        int bits;
    };
    const Case cases[] = {
        {all, "15", 92},       // 15 x log2 71 = 92.2
        {upperOnly, "8", 37},  // 8 x log2 26 = 37.6
        {digitsOnly, "4", 13}, // 4 x log2 10 = 13.3
        {noUpper, "15", 82},   // 26 + 9 + 10 = 45 characters: 15 x 5.49
        {all, "abc", 86},      // no number: the generator's 14 characters
        {all, "0", 86},        //
        {all, " 20x", 122},    // the leading number, as the generator reads it
        {all, "99999", 3148},  // capped at the generator's longest password, 512
        {none, "15", 0},       // nothing can be generated
    };
    for (const Case& c : cases)
        EXPECT_EQ(strengthBits(c.options, c.length), c.bits) << c.length;
    EXPECT_EQ(usableAlphabet(all), 71);
}

TEST(HotkeyField, OnlyCtrlOrAltCombinationsAreTaken) {
    struct Case {
        std::uint8_t key;
        bool ctrl, alt, shift;
        bool accepted;
        const char* text;
    };
    const Case cases[] = {
        {'M', true, true, false, true, "Ctrl+Alt+M"},
        {'K', true, false, false, true, "Ctrl+K"},
        {0x70, false, true, true, true, "Alt+Shift+F1"},
        {0x24, true, false, true, true, "Ctrl+Shift+Home"},
        {0x65, true, true, false, true, "Ctrl+Alt+Num 5"},
        {'M', false, false, false, false, "M"},
        {'M', false, false, true, false, "Shift+M"},
        {0x7B, false, false, false, false, "F12"},
        {0x11, true, false, false, false, "Ctrl+Key 11"}, // Ctrl held alone
        {0xA4, true, true, false, false, "Ctrl+Alt+Key A4"},
        {0, true, true, false, false, ""},
    };
    for (const Case& c : cases) {
        const std::uint16_t code = hotkeyCode(c.key, c.ctrl, c.alt, c.shift);
        EXPECT_EQ(hotkeyAcceptable(code), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(hotkeyText(code), c.text);
        }
    }
    // The stored form: the default Ctrl+Alt+M is 0xC04D.
    EXPECT_EQ(hotkeyCode('M', true, true, false), kDefaultHotkey);
    EXPECT_EQ(hotkeyText(kDefaultHotkey), "Ctrl+Alt+M");
    EXPECT_EQ(hotkeyText(0x4000), "");
}

class FakeFolders final : public FolderMaker {
  public:
    std::set<std::string> existing;
    bool folderExists(const std::string& folder) override { return existing.count(folder) > 0; }
    bool createFolder(const std::string& folder) override {
        existing.insert(folder);
        return true;
    }
};

TEST(BackupBrowser, StartsAtAnExistingFolderAndPicksItsBackupSubfolder) {
    FakeFolders folders;
    folders.existing.insert("D:\\safe\\");
    EXPECT_EQ(browseStart("D:\\safe\\", folders), "D:\\safe\\");
    EXPECT_EQ(browseStart("D:\\gone\\", folders), "");
    EXPECT_EQ(browseStart("", folders), "");

    EXPECT_EQ(backupFieldFromPick("D:\\safe"), "D:\\safe\\backup\\");
    EXPECT_EQ(backupFieldFromPick("E:\\"), "E:\\backup\\");
}

RowValue shown(SettingRow row, const Settings& settings) {
    return settingRow(row).show(settings);
}

TEST(SettingsRows, AFreshProfileShowsTheDefaults) {
    const Settings fresh;
    struct Case {
        SettingRow row;
        RowValue value;
    };
    const Case cases[] = {
        {SettingRow::Guard, {true, "", 0}},
        {SettingRow::Minimize, {false, "", 0}},
        {SettingRow::MainGuard, {true, "20", 0}},
        {SettingRow::DisplayPassword, {true, "", 0}},
        {SettingRow::Timeout, {true, "3", 0}},
        {SettingRow::Backup, {true, "2", 0}},
        {SettingRow::DblClick, {false, "", kDblClickEdit}},
        {SettingRow::OpenLink, {false, "", 0}},
        {SettingRow::Autorun, {true, "", 0}},
        {SettingRow::Tip, {true, "", 0}},
        {SettingRow::Hotkey, {true, "Ctrl+Alt+M", kDefaultHotkey}},
        {SettingRow::Remember, {true, "", 0}},
        {SettingRow::Wizard, {true, "", 0}},
        {SettingRow::WithIE, {true, "", 0}},
        {SettingRow::Quit, {false, "", 0}},
        {SettingRow::LockLogout, {true, "", 0}},
    };
    ASSERT_EQ(std::size(cases), settingRows().size());
    for (const Case& c : cases)
        EXPECT_EQ(shown(c.row, fresh), c.value) << settingRow(c.row).keys;
}

// Shows every row and stores it back, as OK does with untouched controls.
Settings storedUntouched(const Settings& settings) {
    Settings stored = settings;
    for (const SettingRowDef& row : settingRows())
        row.store(row.show(settings), stored);
    return stored;
}

TEST(SettingsRows, OkWithUntouchedControlsKeepsEveryValue) {
    Settings changed;
    changed.guard = false;
    changed.minimize = true;
    changed.mainGuard = 0;
    changed.displayPassword = false;
    changed.timeout = kTimeoutNever;
    changed.doBackup = false;
    changed.times = 7;
    changed.dblClick = kDblClickCopyPassword;
    changed.openLink = true;
    changed.autorun = false;
    changed.tip = false;
    changed.hotkey = false;
    changed.hotkeyValue = hotkeyCode(0x70, false, true, false);
    changed.remember = false;
    changed.wizard = false;
    changed.withIE = false;
    changed.quit = true;
    changed.lockLogout = false;
    for (const Settings& settings : {Settings{}, changed})
        EXPECT_EQ(storedUntouched(settings), settings);

    // Values the dialog cannot show come back in the form it can.
    Settings odd;
    odd.dblClick = 9;
    odd.mainGuard = -5;
    EXPECT_EQ(storedUntouched(odd).dblClick, kDblClickEdit);
    EXPECT_EQ(storedUntouched(odd).mainGuard, 0);
}

TEST(SettingsRows, EachRowStoresItsOwnSettingOnly) {
    const Settings before;
    std::set<std::string> changedSomething;
    for (const SettingRowDef& row : settingRows()) {
        RowValue value = row.show(before);
        value.checked = !value.checked;
        value.choice = row.row == SettingRow::DblClick ? kDblClickNothing : value.choice;
        Settings after = before;
        row.store(value, after);
        EXPECT_NE(after, before) << row.keys << " stores nothing";
        // Storing every other row untouched on top changes nothing more.
        for (const SettingRowDef& other : settingRows())
            if (other.row != row.row) other.store(other.show(before), after);
        Settings expected = before;
        row.store(value, expected);
        EXPECT_EQ(after, expected) << "another row overwrote " << row.keys;
    }
}

TEST(SettingsRows, NumberFieldsAndChoicesAsOkStoresThem) {
    struct Case {
        SettingRow row;
        RowValue value;
        std::function<bool(const Settings&)> holds;
        const char* what;
    };
    const Case cases[] = {
        {SettingRow::MainGuard,
         {true, " 45 ", 0},
         [](auto& s) { return s.mainGuard == 45; },
         "45 minutes"},
        {SettingRow::MainGuard,
         {true, "abc", 0},
         [](auto& s) { return s.mainGuard == 20; },
         "letters give 20"},
        {SettingRow::MainGuard,
         {false, "45", 0},
         [](auto& s) { return s.mainGuard == 0; },
         "unchecked: never"},
        {SettingRow::Timeout,
         {false, "10", 0},
         [](auto& s) { return s.timeout == 1879048193; },
         "unchecked: never hide"},
        {SettingRow::Timeout,
         {true, "0", 0},
         [](auto& s) { return s.timeout == 3; },
         "0 seconds give 3"},
        {SettingRow::Backup,
         {false, "-1", 0},
         [](auto& s) { return !s.doBackup && s.times == 2; },
         "times read even when unchecked"},
        {SettingRow::DblClick,
         {false, "", kDblClickCopyPassword},
         [](auto& s) { return s.dblClick == kDblClickCopyPassword; },
         "copy password"},
        {SettingRow::Hotkey,
         {true, "", hotkeyCode('K', true, false, true)},
         [](auto& s) { return s.hotkey && s.hotkeyValue == 0x604B; },
         "Ctrl+Shift+K"},
    };
    for (const Case& c : cases) {
        Settings settings;
        settingRow(c.row).store(c.value, settings);
        EXPECT_TRUE(c.holds(settings)) << c.what;
    }
}

} // namespace
} // namespace kh
