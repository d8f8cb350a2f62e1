#include "command_table.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace kh {
namespace {

TEST(CommandTable, NamesAreUniqueAndEveryMenuItemHasACaption) {
    std::set<std::string_view> names;
    for (const CommandDef& command : commandTable()) {
        EXPECT_TRUE(names.insert(command.name).second) << command.name;
        if (command.menu == MenuId::ToolBar) {
            EXPECT_FALSE(command.hint.empty()) << command.name;
        } else {
            EXPECT_FALSE(command.caption.empty()) << command.name;
        }
        EXPECT_EQ(&commandDef(command.id), &command);
    }
}

TEST(CommandTable, AKeyRunsTheSameCommandAsEveryItemThatShowsIt) {
    // Two items show Ctrl+F and two show Ctrl+M; whichever the key picks must do the same.
    std::map<std::pair<int, int>, int> seen;
    for (const CommandDef& command : commandTable()) {
        if (command.shortcut.key == 0) continue;
        auto found = commandForShortcut(command.shortcut);
        ASSERT_TRUE(found.has_value()) << command.name;
        const CommandDef& runs = commandDef(*found);
        EXPECT_EQ(runs.feature, command.feature) << command.name;
        EXPECT_EQ(runs.tag, command.tag) << command.name;
    }
    EXPECT_EQ(commandForShortcut({'S', true, false, false}), CommandId::SaveAccountData);
    EXPECT_EQ(commandForShortcut({'C', false, true, false}), CommandId::CopyTheWholeEntry);
    EXPECT_EQ(commandForShortcut({'C', true, true, false}), CommandId::CopyAllTheEntries);
    EXPECT_EQ(commandForShortcut({'L', true, false, false}), CommandId::ToolOpenAccount);
    EXPECT_EQ(commandForShortcut({0x2E, false, false, true}), CommandId::DeleteAllTheEntries);
    EXPECT_FALSE(commandForShortcut({'S', true, false, true}).has_value());
    EXPECT_FALSE(commandForShortcut({}).has_value());
}

TEST(CommandTable, TagsOfTheSharedHandlers) {
    const std::pair<CommandId, int> cases[] = {
        {CommandId::CopyEntryPassword, 0},      {CommandId::CutAllSelectedEntries, 16},
        {CommandId::CutAllTheEntries, 12},      {CommandId::DeleteSelectedEntries, 1001},
        {CommandId::DeleteAllTheEntries, 1002}, {CommandId::ReplaceFromClipboard, 101},
        {CommandId::ImportFromClipboard, 103},  {CommandId::DuplicateSelectedItem, 111},
        {CommandId::ContextOpenWebLocation, 4}, {CommandId::ToolOperation, 11},
    };
    for (auto [id, tag] : cases)
        EXPECT_EQ(commandDef(id).tag, tag) << commandDef(id).name;
}

TEST(CommandTable, EnableRules) {
    CommandState out;
    CommandState in{.loggedIn = true};
    CommandState rows{.loggedIn = true, .hasRows = true};
    CommandState cur{.loggedIn = true, .hasRows = true, .current = true};
    CommandState link{.loggedIn = true, .hasRows = true, .current = true, .currentIsLink = true};
    CommandState clip{.loggedIn = true, .hasRows = true, .current = true, .clipboardHasText = true};
    CommandState search{.loggedIn = true, .searchTextExists = true};
    CommandState modified{.loggedIn = true, .modified = true};
    CommandState stale{.hasRows = true,
                       .current = true,
                       .clipboardHasText = true,
                       .searchTextExists = true,
                       .modified = true}; // leftovers while logged out enable nothing
    struct Case {
        EnableRule rule;
        std::vector<bool> expected; // out, in, rows, cur, link, clip, search, modified, stale
    };
    const Case cases[] = {
        {EnableRule::Always, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {EnableRule::LoggedIn, {0, 1, 1, 1, 1, 1, 1, 1, 0}},
        {EnableRule::NonEmpty, {0, 0, 1, 1, 1, 1, 0, 0, 0}},
        {EnableRule::Current, {0, 0, 0, 1, 1, 1, 0, 0, 0}},
        {EnableRule::CurrentAndClipboard, {0, 0, 0, 0, 0, 1, 0, 0, 0}},
        {EnableRule::LoggedInAndClipboard, {0, 0, 0, 0, 0, 1, 0, 0, 0}},
        {EnableRule::LoggedInAndSearchText, {0, 0, 0, 0, 0, 0, 1, 0, 0}},
        {EnableRule::CurrentLink, {0, 0, 0, 0, 1, 0, 0, 0, 0}},
        {EnableRule::LoggedInAndModified, {0, 0, 0, 0, 0, 0, 0, 1, 0}},
    };
    const CommandState states[] = {out, in, rows, cur, link, clip, search, modified, stale};
    for (const Case& c : cases) {
        for (std::size_t i = 0; i < std::size(states); ++i) {
            EXPECT_EQ(isEnabled(c.rule, states[i]), c.expected[i])
                << "rule " << static_cast<int>(c.rule) << " state " << i;
        }
    }
}

TEST(CommandTable, ShortcutTexts) {
    EXPECT_EQ(shortcutText({'S', true, false, false}), "Ctrl+S");
    EXPECT_EQ(shortcutText({'C', true, true, false}), "Ctrl+Alt+C");
    EXPECT_EQ(shortcutText({0x2E, false, false, true}), "Shift+Del");
    EXPECT_EQ(shortcutText({0x72, false, false, false}), "F3");
    EXPECT_EQ(shortcutText({0x70, true, false, false}), "Ctrl+F1");
    EXPECT_EQ(shortcutText({}), "");
}

} // namespace
} // namespace kh
