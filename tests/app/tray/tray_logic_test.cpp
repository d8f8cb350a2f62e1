// The resident program's rules without windows: the hotkey code, which clicks on the icon
// restore or open its menu, the tip, hiding and bringing back (with the "/start" and
// no-icon cases), and the registry values of the file type and the autorun.
#include "hotkey.h"
#include "registration.h"
#include "resident.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace kh {
namespace {

TEST(Hotkey, ShortcutCodeToModifiersAndKey) {
    struct Case {
        std::uint16_t code;
        std::optional<HotkeyChord> chord;
    };
    const Case cases[] = {
        {0xC04D, HotkeyChord{kModAlt | kModControl, 0x4D}}, // the default: Ctrl+Alt+M
        {0x2070, HotkeyChord{kModShift, 0x70}},
        {0xE041, HotkeyChord{kModAlt | kModControl | kModShift, 0x41}},
        {0x0041, HotkeyChord{0, 0x41}},
        {0x1041, HotkeyChord{0, 0x41}}, // other high bits are no modifier
        {0xC000, std::nullopt},         // no key: nothing is registered
        {0x0000, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hotkeyChord(c.code), c.chord) << std::hex << c.code;
}

TEST(TrayIcon, MouseMessagesAgainstRestoreOnAndPopupMenuOn) {
    using A = TrayMouseAction;
    constexpr unsigned kMove = 0x200, kLeftDown = 0x201, kLeftUp = 0x202, kLeftDouble = 0x203,
                       kRightDown = 0x204, kRightUp = 0x205, kRightDouble = 0x206,
                       kMiddleDouble = 0x209;
    struct Case {
        unsigned message;
        A restoreOn, popupOn;
        TrayMouseReaction reaction;
    };
    const Case cases[] = {
        // The program's choice: a double click of any button restores, the right button
        // released opens the menu.
        {kLeftDouble, A::DoubleClick, A::RightClickUp, {true, false}},
        {kRightDouble, A::DoubleClick, A::RightClickUp, {true, false}},
        {kMiddleDouble, A::DoubleClick, A::RightClickUp, {true, false}},
        {kRightUp, A::DoubleClick, A::RightClickUp, {false, true}},
        {kLeftUp, A::DoubleClick, A::RightClickUp, {false, false}},
        {kRightDown, A::DoubleClick, A::RightClickUp, {false, false}},
        {kLeftDown, A::DoubleClick, A::RightClickUp, {false, false}},
        {kMove, A::DoubleClick, A::RightClickUp, {false, false}},
        // Other settings of the component.
        {kLeftUp, A::LeftClickUp, A::None, {true, false}},
        {kLeftUp, A::None, A::LeftClickUp, {false, true}},
        {kRightDouble, A::None, A::DoubleClick, {false, true}},
        {kRightUp, A::RightClickUp, A::RightClickUp, {true, true}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trayMouseReaction(c.message, c.restoreOn, c.popupOn), c.reaction)
            << std::hex << c.message;
    }
}

TEST(TrayIcon, ALongHintKeepsItsFirst63Characters) {
    const std::pair<std::size_t, std::size_t> cases[] = {
        {0, 0}, {63, 63}, {64, 64}, {65, 63}, {200, 63}};
    for (auto [length, kept] : cases)
        EXPECT_EQ(trayTip(std::string(length, 'k')).size(), kept) << length;
}

// The windows as the rules see them; every call is logged.
class FakeHost : public ResidentHost {
  public:
    bool icon = true;
    bool visible = false;
    bool loggedInNow = false;
    bool showSucceeds = true;
    std::function<void()> duringShow; // runs inside showWindow
    std::function<void()> duringLogin;
    std::vector<std::string> calls;

    bool iconShown() override { return icon; }
    bool windowVisible() override { return visible; }
    void hideWindow() override {
        calls.push_back("hide");
        visible = false;
    }
    void minimizeWindow() override {
        calls.push_back("minimize");
        visible = false;
    }
    bool showWindow() override {
        calls.push_back("show");
        visible = showSucceeds;
        if (duringShow) duringShow();
        return showSucceeds;
    }
    void bringToFront() override { calls.push_back("front"); }
    bool loggedIn() override { return loggedInNow; }
    void showLastLogin() override {
        calls.push_back("login");
        if (duringLogin) duringLogin();
    }
};

class ResidentTest : public ::testing::Test {
  protected:
    using Calls = std::vector<std::string>;
    FakeHost host;
    Settings settings;
    bool startHidden = false;
    Resident resident{host, settings, startHidden};
};

TEST_F(ResidentTest, RestoreOffersTheLoginOnlyWhenNobodyIsLoggedInAndWizardIsOn) {
    struct Case {
        bool loggedIn, wizard;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {false, true, {"show", "login"}},
        {true, true, {"show"}},
        {false, false, {"show"}},
    };
    for (const Case& c : cases) {
        host.calls.clear();
        host.loggedInNow = c.loggedIn;
        settings.wizard = c.wizard;
        resident.restoreFromTray();
        EXPECT_EQ(host.calls, c.calls) << c.loggedIn << c.wizard;
    }
}

TEST_F(ResidentTest, TheFirstRestoreAfterAHiddenStartLeavesTheLoginToTheFirstShow) {
    startHidden = true;
    resident.restoreFromTray();
    EXPECT_EQ(host.calls, (Calls{"show"}));
    EXPECT_FALSE(startHidden);
    resident.minimizeToTray();
    resident.restoreFromTray();
    EXPECT_EQ(host.calls, (Calls{"show", "hide", "show", "login"}));
}

TEST_F(ResidentTest, NothingFollowsARestoreThatEndedTheProgram) {
    host.showSucceeds = false;
    resident.restoreFromTray();
    EXPECT_EQ(host.calls, (Calls{"show"}));
}

TEST_F(ResidentTest, WithoutAnIconTheProgramIsMinimisedNeverHidden) {
    host.visible = true;
    host.icon = false;
    resident.minimizeToTray();
    host.icon = true;
    host.visible = true;
    resident.minimizeToTray();
    EXPECT_EQ(host.calls, (Calls{"minimize", "hide"}));
}

TEST_F(ResidentTest, HidingAndRestoringDoNothingWhileEitherRuns) {
    // The login dialog of a restore is open when the hotkey, a second start, another
    // restore or a minimise arrive.
    host.duringLogin = [&] {
        host.visible = false; // say the window went behind something and is not visible
        resident.hotkeyPressed();
        resident.activate();
        resident.restoreFromTray();
        resident.minimizeToTray();
        EXPECT_TRUE(resident.busy());
    };
    resident.restoreFromTray();
    EXPECT_EQ(host.calls, (Calls{"show", "login"}));
    EXPECT_FALSE(resident.busy());
}

TEST_F(ResidentTest, HotkeyRestoresOnlyAHiddenProgramAndOnlyWhileEnabled) {
    struct Case {
        bool hotkey, visible;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {true, false, {"show", "login"}},
        {true, true, {}},
        {false, false, {}},
    };
    for (const Case& c : cases) {
        host.calls.clear();
        settings.hotkey = c.hotkey;
        host.visible = c.visible;
        resident.hotkeyPressed();
        EXPECT_EQ(host.calls, c.calls) << c.hotkey << c.visible;
    }
}

TEST_F(ResidentTest, ASecondStartBringsAVisibleProgramToFrontAndRestoresAHiddenOne) {
    host.visible = true;
    resident.activate();
    host.visible = false;
    resident.activate();
    EXPECT_EQ(host.calls, (Calls{"front", "show", "login"}));
}

// The registry as a map of (hive, key, value name) to data; keys exist when listed.
class FakeRegistry : public Registry {
  public:
    std::map<std::tuple<Hive, std::string, std::string>, std::string> values;
    std::vector<std::pair<Hive, std::string>> keys;
    bool readOnly = false;
    int writes = 0;

    bool hasKey(Hive hive, std::string_view key) const {
        for (const auto& [h, k] : keys)
            if (h == hive && k == key) return true;
        return false;
    }
    std::optional<std::string> readString(Hive hive, std::string_view key,
                                          std::string_view name) override {
        auto found = values.find({hive, std::string(key), std::string(name)});
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
    bool writeString(Hive hive, std::string_view key, std::string_view name, std::string_view value,
                     bool create) override {
        if (readOnly) return false;
        if (!hasKey(hive, key)) {
            if (!create) return false;
            keys.emplace_back(hive, std::string(key));
        }
        ++writes;
        values[{hive, std::string(key), std::string(name)}] = std::string(value);
        return true;
    }
    bool deleteValue(Hive hive, std::string_view key, std::string_view name) override {
        values.erase({hive, std::string(key), std::string(name)});
        return true;
    }
};

constexpr char kExe[] = "C:\\Program Files\\Keyhaven\\Keyhaven.exe";
const std::string kType = "Software\\Classes\\Keyhaven.Account";

TEST(Registration, TheAccountFileTypeIsWrittenForTheCurrentUser) {
    FakeRegistry registry;
    EXPECT_TRUE(registerAccountFileType(registry, kExe));
    using Values = std::map<std::tuple<Hive, std::string, std::string>, std::string>;
    const auto user = [](std::string key) { return std::make_tuple(Hive::CurrentUser, key, ""); };
    EXPECT_EQ(registry.values, (Values{
                                   {user("Software\\Classes\\.khk"), "Keyhaven.Account"},
                                   {user(kType), "Keyhaven Account File"},
                                   {user(kType + "\\DefaultIcon"), std::string(kExe) + ",1"},
                                   {user(kType + "\\shell"), "Open"},
                                   {user(kType + "\\shell\\Open\\Command"),
                                    "\"C:\\Program Files\\Keyhaven\\Keyhaven.exe\" \"%1\""},
                               }));
}

TEST(Registration, ATypeThatNamesThisProgramIsLeftAsItIs) {
    FakeRegistry registry;
    registerAccountFileType(registry, kExe);
    // A user's own open command survives the next start, even when the icon's path
    // differs in letter case only.
    registry.values[{Hive::CurrentUser, kType + "\\shell\\Open\\Command", ""}] = "custom";
    registry.values[{Hive::CurrentUser, kType + "\\DefaultIcon", ""}] =
        "c:\\program files\\keyhaven\\KEYHAVEN.EXE,1";
    registry.writes = 0;
    EXPECT_FALSE(registerAccountFileType(registry, kExe));
    EXPECT_EQ(registry.writes, 1); // ".khk" only
    EXPECT_EQ((registry.values[{Hive::CurrentUser, kType + "\\shell\\Open\\Command", ""}]),
              "custom");

    // A moved program writes the type again.
    EXPECT_TRUE(registerAccountFileType(registry, "D:\\Keyhaven.exe"));
    EXPECT_EQ((registry.values[{Hive::CurrentUser, kType + "\\shell\\Open\\Command", ""}]),
              "\"D:\\Keyhaven.exe\" \"%1\"");
}

TEST(Registration, AutorunWritesTheUsersRunValueAndRemovesItEverywhere) {
    FakeRegistry registry;
    const std::tuple<Hive, std::string, std::string> user{Hive::CurrentUser, kRunKey, "Keyhaven"};
    const std::tuple<Hive, std::string, std::string> machine{Hive::LocalMachine, kRunKey,
                                                             "Keyhaven"};
    // The Run key belongs to the system: a missing one is not made.
    applyAutorun(registry, kExe, true);
    EXPECT_TRUE(registry.values.empty());

    registry.keys = {{Hive::CurrentUser, kRunKey}, {Hive::LocalMachine, kRunKey}};
    applyAutorun(registry, kExe, true);
    EXPECT_EQ(registry.values[user], "\"C:\\Program Files\\Keyhaven\\Keyhaven.exe\" /start");

    registry.values[machine] = "\"C:\\old\\Keyhaven.exe\" /start"; // an older install's
    applyAutorun(registry, kExe, false);
    EXPECT_TRUE(registry.values.empty());
}

} // namespace
} // namespace kh
