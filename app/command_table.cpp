#include "command_table.h"

#include <array>

namespace kh {
namespace {

constexpr std::uint8_t kVkDelete = 0x2E;
constexpr std::uint8_t kVkF1 = 0x70;
constexpr std::uint8_t kVkF3 = 0x72;
constexpr std::uint8_t kVkF5 = 0x74;

constexpr Shortcut ctrl(char key) {
    return {static_cast<std::uint8_t>(key), true, false, false};
}
constexpr Shortcut alt(char key) {
    return {static_cast<std::uint8_t>(key), false, true, false};
}
constexpr Shortcut ctrlAlt(char key) {
    return {static_cast<std::uint8_t>(key), true, true, false};
}
constexpr Shortcut none() {
    return {};
}

using enum CommandId;
using R = EnableRule;
using F = Feature;
using M = MenuId;
using S = ItemStyle;

// Menu order is table order within each menu.
constexpr std::array kCommands = {
    // id, menu, name, caption, hint, shortcut, tag, image, rule, feature, style, separator
    CommandSpec{ManageAccount, M::Account, "ManageAccount1", "&Manage Account", "", none(), -1, -1,
                R::LoggedIn, F::Account, S::Submenu},
    CommandSpec{EditAccountInformation, M::ManageAccount, "EditAccountInformation1",
                "Edit Account Information", "", none(), -1, -1, R::LoggedIn, F::Account},
    CommandSpec{ChangeAccountPassword, M::ManageAccount, "ChangeAccountPassword1",
                "Change Account Password", "", none(), -1, -1, R::LoggedIn, F::Account},
    CommandSpec{FindInAccount, M::ManageAccount, "FindinAccount1", "Find in Account", "", ctrl('F'),
                -1, -1, R::LoggedIn, F::Search},
    CommandSpec{SaveAccountData, M::Account, "SaveAccountData1", "&Save Account Data", "",
                ctrl('S'), -1, -1, R::LoggedIn, F::Session},
    CommandSpec{BackupAccountData, M::Account, "BackupAccountData1", "Backup Account Data", "",
                ctrl('B'), -1, -1, R::NonEmpty, F::Session},
    CommandSpec{SaveAccountAs, M::Account, "SaveAccountAs1", "Save Account &As ...", "", ctrl('D'),
                -1, -1, R::LoggedIn, F::Session},
    CommandSpec{ExportAllEntriesToXml, M::Account, "ExportAllEntriesToXML1",
                "Export All Entries To XML", "", none(), -1, -1, R::NonEmpty, F::Interchange,
                S::Normal, true},
    CommandSpec{ExportSelectedEntries, M::Account, "ExportSelectedEntries1",
                "Export Selected Entries", "", ctrl('M'), -1, -1, R::Current, F::Interchange},
    CommandSpec{SetupNewAccount, M::Account, "SetupNewAccount1", "Setup New Account", "", none(),
                -1, -1, R::Always, F::Session, S::Normal, true},
    CommandSpec{LoginExistingAccount, M::Account, "LoginExistingAccount1", "Login Existing Account",
                "", ctrl('O'), -1, -1, R::Always, F::Session},
    CommandSpec{ImportExistingAccount, M::Account, "ImportExistingAccount1",
                "&Import Existing Account", "", none(), -1, -1, R::Always, F::Session},
    CommandSpec{LogoutCurrentAccount, M::Account, "LogoutCurrentAccount1", "Logout Current Account",
                "", ctrl('Q'), -1, -1, R::LoggedIn, F::Session, S::Normal, true},
    CommandSpec{QuitKeyhaven, M::Account, "QuitKeyhaven1", "Quit Keyhaven", "", none(), -1, -1,
                R::Always, F::Session},

    CommandSpec{CopyEntryPassword, M::Operation, "CopyEntryPassword2", "&Copy Entry Password", "",
                ctrl('C'), 0, -1, R::Current, F::Clipboard},
    CommandSpec{CopyTheWholeEntry, M::Operation, "CopyTheWholeEntry1", "Copy The Whole Entry", "",
                alt('C'), 1, -1, R::Current, F::Clipboard},
    CommandSpec{CopyAllTheEntries, M::Operation, "CopyAllTheEntries1", "Copy All The Entries", "",
                ctrlAlt('C'), 2, -1, R::NonEmpty, F::Clipboard},
    CommandSpec{CopySelectedEntries, M::Operation, "CopySelectedEntries1", "Copy Selected Entries",
                "", ctrlAlt('A'), 3, -1, R::Current, F::Clipboard},
    CommandSpec{SelectAllTheEntries, M::Operation, "SelectAllTheEntries1", "Select All The Entries",
                "", ctrl('A'), 4, -1, R::NonEmpty, F::Entries},
    CommandSpec{CutEntryPassword, M::Operation, "CutEntryPassword1", "Cut Entry Password", "",
                ctrl('X'), 10, -1, R::Current, F::Clipboard, S::Normal, true},
    CommandSpec{CutTheWholeEntry, M::Operation, "CutTheWholeEntry1", "Cut The Whole Entry", "",
                alt('X'), 11, -1, R::Current, F::Clipboard},
    CommandSpec{CutAllSelectedEntries, M::Operation, "CutAllSelectedEntries1",
                "Cut All Selected Entries", "", none(), 16, -1, R::Current, F::Clipboard},
    CommandSpec{CutAllTheEntries, M::Operation, "CutAllTheEntries1", "Cut All The Entries", "",
                ctrlAlt('X'), 12, -1, R::NonEmpty, F::Clipboard},
    CommandSpec{DeleteSelectedEntries,
                M::Operation,
                "DeleteSelectedEntries1",
                "Delete Selected Entries",
                "",
                {kVkDelete, true, false, false},
                1001,
                -1,
                R::Current,
                F::Entries,
                S::Normal,
                true},
    CommandSpec{DeleteAllTheEntries,
                M::Operation,
                "DeleteAllTheEntries1",
                "Delete All The Entries",
                "",
                {kVkDelete, false, false, true},
                1002,
                -1,
                R::NonEmpty,
                F::Entries},
    CommandSpec{ReplaceFromClipboard, M::Operation, "ReplaceFromClipboard1",
                "Replace From Clipboard", "", ctrl('R'), 101, -1, R::CurrentAndClipboard,
                F::Clipboard, S::Normal, true},
    CommandSpec{ExportAllTheEntries, M::Operation, "ExportAllTheEntries1", "Export All The Entries",
                "", none(), -1, -1, R::NonEmpty, F::Interchange, S::Normal, true},
    CommandSpec{ExportSelectedEntries2, M::Operation, "ExportSelectedEntries2",
                "Export Selected Entries", "", ctrl('M'), -1, -1, R::Current, F::Interchange},
    CommandSpec{FindPassword, M::Operation, "FindPassword1", "&Find Password ...", "", ctrl('F'),
                -1, -1, R::LoggedIn, F::Search, S::Normal, true},
    CommandSpec{FindAgain,
                M::Operation,
                "FindAgain1",
                "Find Again",
                "",
                {kVkF3, false, false, false},
                -1,
                -1,
                R::LoggedInAndSearchText,
                F::Search},

    CommandSpec{NewBlankItem, M::Entries, "NewBlankItem1", "New Blank Item", "", ctrl('N'), 110, -1,
                R::LoggedIn, F::Entries},
    CommandSpec{DuplicateSelectedItem, M::Entries, "DuplicateSelectedItem1",
                "Duplicate Selected Item", "", alt('N'), 111, -1, R::Current, F::Entries},
    CommandSpec{PasteFromClipboard, M::Entries, "PasteFromClipboard1", "Paste From Clipboard", "",
                ctrl('V'), 100, -1, R::LoggedInAndClipboard, F::Clipboard, S::Normal, true},
    CommandSpec{ImportFromXmlFile, M::Entries, "ImportFromXMLFile1", "Import From XML File", "",
                ctrl('I'), 102, -1, R::LoggedIn, F::Interchange},
    CommandSpec{ImportFromClipboard, M::Entries, "ImportFromClipboard1", "Import From Clipboard",
                "", ctrlAlt('V'), 103, -1, R::LoggedInAndClipboard, F::Interchange},

    CommandSpec{PasswordGuard, M::Tools, "PasswordGuard1", "&Password Guard", "", none(), -1, -1,
                R::Always, F::Tools, S::Check},
    CommandSpec{SecureFileRemover, M::Tools, "SecureFileRemover1", "Secure File Remover", "",
                none(), -1, -1, R::Always, F::Tools},
    CommandSpec{PasswordGenerator, M::Tools, "PasswordGenerator1", "Password &Generator", "",
                none(), -1, -1, R::Always, F::Tools},
    CommandSpec{Preferences, M::Tools, "Preferrence1", "Preferrence...", "", none(), -1, -1,
                R::Always, F::Tools, S::Normal, true},
    CommandSpec{SetLanguage, M::Tools, "mLanguageList", "Set &Language", "", none(), -1, -1,
                R::Always, F::Language, S::Submenu},
    CommandSpec{DefaultLanguage, M::Language, "mEnglishLanguage", "&Default(English)", "", none(),
                -1, 37, R::Always, F::Language},
    CommandSpec{GetMoreLanguage, M::Language, "GetMoreLanguage1", "Get &More Language", "", none(),
                -1, 12, R::Always, F::Language, S::Normal, true},
    CommandSpec{HowToTranslate, M::Language, "HowToTranslate1", "How To &Translate", "", none(), -1,
                2, R::Always, F::Language},

    CommandSpec{TipOfTheDay, M::Help, "TipoftheDay1", "&Tip of the Day", "", ctrl('T'), -1, -1,
                R::Always, F::Help},
    CommandSpec{CheckNewVersion,
                M::Help,
                "CheckNewVersion1",
                "&Check New Version",
                "",
                {kVkF5, false, false, false},
                -1,
                -1,
                R::Always,
                F::Help},
    CommandSpec{VisitOnlineFaq,
                M::Help,
                "VisitOnlineFAQ1",
                "&Visit Online FAQ",
                "",
                {kVkF1, false, false, false},
                -1,
                -1,
                R::Always,
                F::Help},
    CommandSpec{AboutKeyhaven,
                M::Help,
                "AboutKeyhaven1",
                "&About Keyhaven",
                "",
                {kVkF1, true, false, false},
                -1,
                -1,
                R::Always,
                F::Help,
                S::Normal,
                true},

    CommandSpec{EditCurrentEntry, M::ListContext, "EditCurrentEntry1", "Edit Current Entry", "",
                none(), -1, -1, R::Current, F::Entries},
    CommandSpec{ContextCopyPassword, M::ListContext, "CopyEntryPassword1", "&Copy Entry &Password",
                "", none(), 0, -1, R::Current, F::Clipboard, S::Normal, true},
    CommandSpec{ContextCopyTitle, M::ListContext, "CopyEntryTitle1", "Copy Entry &Title", "",
                none(), 1, -1, R::Current, F::Clipboard},
    CommandSpec{ContextCopyDetails, M::ListContext, "CopyEntryDetails1", "Copy Entry &Details", "",
                none(), 2, -1, R::Current, F::Clipboard},
    CommandSpec{ContextCopyWholeEntry, M::ListContext, "CopyWholeEntry1", "Copy &Whole Entry", "",
                none(), 3, -1, R::Current, F::Clipboard},
    CommandSpec{ContextOpenWebLocation, M::ListContext, "OpenAsWebLocation1",
                "Open As Web &Location", "", none(), 4, 12, R::CurrentLink, F::Clipboard, S::Normal,
                true},

    CommandSpec{ViewLargeIcons, M::View, "LargeIcons1", "Large Icons", "", none(), 0, -1, R::Always,
                F::View, S::Radio},
    CommandSpec{ViewSmallIcons, M::View, "SmallIcons1", "Small Icons", "", none(), 1, -1, R::Always,
                F::View, S::Radio},
    CommandSpec{ViewList, M::View, "List1", "List", "", none(), 2, -1, R::Always, F::View,
                S::Radio},
    CommandSpec{ViewDetails, M::View, "Details1", "Details", "", none(), 3, -1, R::Always, F::View,
                S::Radio},

    CommandSpec{ToolNewAccount, M::ToolBar, "tbNewAccount", "", "Create New Account", none(), -1,
                -1, R::Always, F::Session},
    CommandSpec{ToolOpenAccount, M::ToolBar, "tbOpenAccount", "", "Open Existing Account",
                ctrl('L'), -1, -1, R::Always, F::Session},
    CommandSpec{ToolSaveAccount, M::ToolBar, "tbSaveAccount", "", "Save Current Account", none(),
                -1, -1, R::LoggedInAndModified, F::Session},
    CommandSpec{ToolLogout, M::ToolBar, "tbLogout", "", "Logout Current Account", none(), -1, -1,
                R::LoggedIn, F::Session},
    CommandSpec{ToolEditAccount, M::ToolBar, "tbEditAccount", "", "Edit Account Information",
                none(), -1, -1, R::LoggedIn, F::Account, S::Normal, true},
    CommandSpec{ToolPassword, M::ToolBar, "tbPassword", "", "Change Account Password", none(), -1,
                -1, R::LoggedIn, F::Account},
    CommandSpec{ToolFind, M::ToolBar, "tbFind", "", "Find Password", none(), -1, -1, R::LoggedIn,
                F::Search},
    CommandSpec{ToolNewEntry, M::ToolBar, "tbNewEntry", "", "New Entry", none(), 110, -1,
                R::LoggedIn, F::Entries, S::DropDownButton, true},
    CommandSpec{ToolCopy, M::ToolBar, "tbCopy", "",
                "Copy The Selected Entry Data To Clipboard / Open Web Location.", none(), 4, 22,
                R::LoggedIn, F::Clipboard, S::DropDownButton},
    CommandSpec{ToolOperation, M::ToolBar, "tbOperation", "", "Cut Selected Entry", none(), 11, -1,
                R::LoggedIn, F::Clipboard, S::DropDownButton},
    CommandSpec{ToolDelete, M::ToolBar, "tbDelete", "", "Delete All Selected Entries", none(), 1001,
                -1, R::LoggedIn, F::Entries},
    CommandSpec{ToolUnDelete, M::ToolBar, "tbUnDelete", "", "Undelete selected entry.", none(), -1,
                -1, R::LoggedIn, F::Entries},
    CommandSpec{ToolEditEntry, M::ToolBar, "tbEditEntry", "", "Edit Current Entry", none(), -1, -1,
                R::LoggedIn, F::Entries},
    CommandSpec{ToolStyle, M::ToolBar, "tbStyle", "", "Change View Style", none(), -1, -1,
                R::Always, F::View, S::DropDownButton, true},
    CommandSpec{ToolComment, M::ToolBar, "tbComment", "", "Show/Hide Comment Window", none(), -1,
                -1, R::Always, F::View, S::Check},
    CommandSpec{ToolHelp, M::ToolBar, "tbHelp", "", "Help", none(), -1, -1, R::Always, F::Help},
};

static_assert(kCommands.size() == static_cast<std::size_t>(CommandId::Count) - 1);

constexpr bool tableInIdOrder() {
    for (std::size_t i = 0; i < kCommands.size(); ++i) {
        if (static_cast<std::size_t>(kCommands[i].id) != i + 1) return false;
    }
    return true;
}
static_assert(tableInIdOrder(), "commandSpec() indexes the table by id");

} // namespace

std::span<const CommandSpec> commandTable() {
    return kCommands;
}

const CommandSpec& commandSpec(CommandId id) {
    return kCommands[static_cast<std::size_t>(id) - 1];
}

bool isEnabled(EnableRule rule, const CommandState& s) {
    switch (rule) {
    case EnableRule::Always:
        return true;
    case EnableRule::LoggedIn:
        return s.loggedIn;
    case EnableRule::NonEmpty:
        return s.loggedIn && s.hasRows;
    case EnableRule::Current:
        return s.loggedIn && s.current;
    case EnableRule::CurrentAndClipboard:
        return s.loggedIn && s.current && s.clipboardHasText;
    case EnableRule::LoggedInAndClipboard:
        return s.loggedIn && s.clipboardHasText;
    case EnableRule::LoggedInAndSearchText:
        return s.loggedIn && s.searchTextExists;
    case EnableRule::CurrentLink:
        return s.loggedIn && s.current && s.currentIsLink;
    case EnableRule::LoggedInAndModified:
        return s.loggedIn && s.modified;
    }
    return false;
}

std::optional<CommandId> commandForShortcut(const Shortcut& shortcut) {
    if (shortcut.key == 0) return std::nullopt;
    for (const CommandSpec& spec : kCommands) {
        if (spec.shortcut == shortcut) return spec.id;
    }
    return std::nullopt;
}

std::string shortcutText(const Shortcut& s) {
    if (s.key == 0) return {};
    std::string text;
    if (s.ctrl) text += "Ctrl+";
    if (s.alt) text += "Alt+";
    if (s.shift) text += "Shift+";
    if (s.key == kVkDelete) {
        text += "Del";
    } else if (s.key >= kVkF1 && s.key < kVkF1 + 12) {
        text += 'F';
        text += std::to_string(s.key - kVkF1 + 1);
    } else {
        text += static_cast<char>(s.key);
    }
    return text;
}

} // namespace kh
