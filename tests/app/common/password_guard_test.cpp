// The Password Guard's countdown driven tick by tick: how many ticks a step takes, the
// label and picture of each step, expiry with the clipboard unchanged, replaced by another
// program or holding a long text, restart, stop, and when the main window goes to the tray.
#include "session_fakes.h"

#include <gtest/gtest.h>

#include <string>

namespace kh::test {
namespace {

class PasswordGuardTest : public ::testing::Test {
  protected:
    PasswordGuardTest() { guard.attach(window, "Guarding...\n."); }

    // Puts a text on the clipboard the way a copy command does and starts the guard.
    void copy(const std::string& text) {
        clipboard.content = text;
        guard.guardClipboard(text);
    }
    // Ticks until the count ends, at most `limit` ticks; the number of ticks it took.
    int ticksToEnd(int limit = 1000) {
        for (int tick = 1; tick <= limit; ++tick) {
            guard.tick();
            if (!guard.running()) return tick;
        }
        return -1;
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i)
            guard.tick();
    }

    GuardOptions options;
    FakeClipboard clipboard;
    FakeMainWindow main;
    FakeGuardWindow window;
    PasswordGuard guard{clipboard, main, [this] { return options; }};
};

TEST_F(PasswordGuardTest, EachGuardTimeCountsTwentyStepsAndEndsOneStepLater) {
    struct Case {
        int guardTime;
        int ticksPerStep;
    };
    // GuardTime 1 would give no tick per step and a count that never ends: one at least.
    const Case cases[] = {{20, 10}, {10, 5}, {4, 2}, {3, 1}, {2, 1}, {1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.guardTime);
        options.guardTime = c.guardTime;
        copy("secret");
        EXPECT_EQ(c.ticksPerStep, guard.ticksPerStep());
        EXPECT_EQ(21 * c.ticksPerStep, ticksToEnd());
        EXPECT_FALSE(clipboard.content.has_value()) << "emptied at the end";
        EXPECT_FALSE(window.showing);
    }
}

TEST_F(PasswordGuardTest, DefaultTimeShowsEveryPictureForOneSecondAndEmptiesAfter21Seconds) {
    copy("secret");
    EXPECT_TRUE(window.showing);
    EXPECT_EQ(1, window.shows);
    EXPECT_EQ(0, guard.step());
    EXPECT_EQ(0, window.image);
    EXPECT_EQ("Guarding...\n.", window.label);
    for (int step = 1; step <= 20; ++step) {
        SCOPED_TRACE(step);
        ticks(9);
        EXPECT_EQ(step - 1, guard.step()) << "the step moves on the tenth tick only";
        guard.tick();
        EXPECT_EQ(step, guard.step());
        EXPECT_EQ(step - 1, window.image);
        EXPECT_EQ("Guarding...\n." + std::string(static_cast<std::size_t>(step), '.'),
                  window.label);
        EXPECT_EQ("secret", clipboard.content.value_or("<none>"));
    }
    ticks(9);
    EXPECT_EQ("secret", clipboard.content.value_or("<none>")) << "20.9 s: still there";
    guard.tick();
    EXPECT_FALSE(clipboard.content.has_value()) << "21 s: emptied";
    EXPECT_FALSE(guard.running());
    EXPECT_EQ(-1, guard.step());
    EXPECT_TRUE(guard.remembered().empty()) << "the remembered text is wiped";
    EXPECT_EQ(1, window.hides);
}

TEST_F(PasswordGuardTest, AtExpiryOnlyTheGuardedTextIsRemoved) {
    const std::string longText(100, 'x');
    struct Case {
        const char* what;
        std::string copied;
        std::optional<std::string> atExpiry; // the clipboard just before the end
        bool emptied;
    };
    const Case cases[] = {
        {"unchanged", "secret", "secret", true},
        {"replaced by another program", "secret", "something else", false},
        {"emptied by another program", "secret", std::nullopt, false},
        {"longer than 79, unchanged", longText, longText, true},
        {"longer than 79, the first 79 unchanged", longText, longText.substr(0, 79) + "yz", true},
        {"longer than 79, changed within the first 79", longText, "y" + longText.substr(1), false},
    };
    options.guardTime = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clipboard.clears = 0;
        copy(c.copied);
        EXPECT_EQ(std::min<std::size_t>(c.copied.size(), 79), guard.remembered().size());
        clipboard.content = c.atExpiry;
        ASSERT_EQ(21, ticksToEnd());
        EXPECT_EQ(c.emptied ? 1 : 0, clipboard.clears);
        if (!c.emptied) {
            EXPECT_EQ(c.atExpiry, clipboard.content);
        }
    }
}

TEST_F(PasswordGuardTest, ANewCopyRestartsTheCountForTheNewTextOnly) {
    options.guardTime = 2;
    copy("first");
    ticks(15);
    EXPECT_EQ(15, guard.step());
    copy("second");
    EXPECT_EQ(0, guard.step());
    EXPECT_EQ(1, window.shows) << "the window stays up and is repainted";
    EXPECT_EQ(0, window.image);
    EXPECT_EQ("Guarding...\n.", window.label);
    EXPECT_EQ(21, ticksToEnd());
    EXPECT_FALSE(clipboard.content.has_value());

    // The old text is forgotten: back on the clipboard, it is left alone at the end.
    copy("first");
    copy("second");
    clipboard.content = "first";
    ticksToEnd();
    EXPECT_EQ("first", clipboard.content.value_or("<none>"));
}

TEST_F(PasswordGuardTest, StopHidesTheWindowAndLeavesTheClipboardAlone) {
    copy("secret");
    ticks(55);
    guard.stopGuard();
    EXPECT_FALSE(guard.running());
    EXPECT_FALSE(window.showing);
    EXPECT_TRUE(guard.remembered().empty());
    ticks(500);
    EXPECT_EQ("secret", clipboard.content.value_or("<none>"));
    EXPECT_EQ(0, clipboard.clears);
    guard.stopGuard(); // a second stop finds nothing to do
    EXPECT_EQ(1, window.hides);
}

TEST_F(PasswordGuardTest, AnEmptyTextStopsARunningCount) {
    copy("secret");
    guard.guardClipboard("");
    EXPECT_FALSE(guard.running());
    EXPECT_FALSE(window.showing);
    ticks(500);
    EXPECT_EQ("secret", clipboard.content.value_or("<none>"));
}

TEST_F(PasswordGuardTest, GuardOffStartsNothingButARunningCountStillEnds) {
    options.guard = false;
    copy("secret");
    EXPECT_FALSE(guard.running());
    EXPECT_EQ(0, window.shows);

    options.guard = true;
    options.guardTime = 2;
    copy("secret");
    options.guard = false; // the Tools menu item, while the count runs
    EXPECT_EQ(21, ticksToEnd());
    EXPECT_FALSE(clipboard.content.has_value());
}

TEST_F(PasswordGuardTest, MinimizeSendsTheMainWindowToTheTrayUnlessTheMarkIsSet) {
    struct Case {
        const char* what;
        bool guardOn;
        bool minimize;
        bool visible;
        bool mark;
        int hides;
        bool markAfter;
    };
    const Case cases[] = {
        {"Minimize on", true, true, true, false, 1, false},
        {"Minimize off", true, false, true, false, 0, false},
        {"main window already hidden", true, true, false, false, 0, false},
        {"the text came from the clipboard", true, true, true, true, 0, false},
        {"Guard off: the mark stays", false, true, true, true, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        guard.stopGuard();
        options.guard = c.guardOn;
        options.minimize = c.minimize;
        main.visible = c.visible;
        main.hides = 0;
        if (c.mark) guard.keepMainWindow();
        copy("secret");
        EXPECT_EQ(c.hides, main.hides);
        EXPECT_EQ(c.markAfter, guard.keepsMainWindow());
    }
}

TEST_F(PasswordGuardTest, EveryStopClearsTheMark) {
    // The wizard's paste button with no text on the clipboard: mark, then a stop.
    guard.keepMainWindow();
    guard.guardClipboard("");
    EXPECT_FALSE(guard.keepsMainWindow());
    options.minimize = true;
    copy("secret");
    EXPECT_EQ(1, main.hides) << "the next copy hides the main window again";

    guard.keepMainWindow();
    guard.stopGuard();
    EXPECT_FALSE(guard.keepsMainWindow());
}

TEST_F(PasswordGuardTest, TheWindowIsCreatedOnFirstUseWithThePrefixOfThatMoment) {
    PasswordGuard fresh(clipboard, main, [this] { return options; });
    FakeGuardWindow created;
    int factoryCalls = 0;
    std::string prefix = "Watching\n";
    fresh.setWindowFactory([&]() -> PasswordGuard::CreatedWindow {
        ++factoryCalls;
        return {&created, prefix};
    });
    fresh.stopGuard();
    EXPECT_EQ(0, factoryCalls) << "a stop creates nothing";
    fresh.guardClipboard("secret");
    EXPECT_EQ(1, factoryCalls);
    EXPECT_TRUE(created.showing);
    EXPECT_EQ("Watching\n", created.label);
    prefix = "changed language";
    options.guardTime = 2; // a step a tick
    fresh.guardClipboard("other");
    fresh.tick();
    EXPECT_EQ(1, factoryCalls);
    EXPECT_EQ("Watching\n.", created.label);

    fresh.detach(); // the window is gone: nothing uses it any more
    fresh.guardClipboard("third");
    fresh.tick();
    EXPECT_EQ(1, factoryCalls);
}

TEST(ClipboardAccess, CommandsTakeTheFirst79CharactersAndCheckWhatTheyWrite) {
    FakeClipboard clipboard;
    EXPECT_FALSE(clipboardText(clipboard)) << "no text";
    clipboard.content = "";
    EXPECT_FALSE(clipboardText(clipboard)) << "an empty text counts as none";
    clipboard.content = std::string(100, 'a');
    EXPECT_EQ(std::string(79, 'a'), std::string(clipboardText(clipboard)->view()));

    EXPECT_TRUE(writeClipboardChecked(clipboard, "pw"));
    EXPECT_EQ("pw", clipboard.content);
    clipboard.garbles = true;
    EXPECT_FALSE(writeClipboardChecked(clipboard, "pw")) << "read back different";
    clipboard.garbles = false;
    clipboard.locked = true;
    EXPECT_FALSE(writeClipboardChecked(clipboard, "pw")) << "cannot be opened";

    clipboard.locked = false;
    clipboard.content = "pw";
    clearIfUnchanged(clipboard, "other");
    EXPECT_EQ("pw", clipboard.content);
    clearIfUnchanged(clipboard, "pw");
    EXPECT_FALSE(clipboard.content);
}

} // namespace
} // namespace kh::test
