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
    CommandDef{ManageAccount, M::Account, "ManageAccount1", "&Manage Account", "", none(), -1, -1,
               R::LoggedIn, F::Account, S::Submenu},
    CommandDef{EditAccountInformation, M::ManageAccount, "EditAccountInformation1",
               "Edit Account Information", "", none(), -1, -1, R::LoggedIn, F::Account},
    CommandDef{ChangeAccountPassword, M::ManageAccount, "ChangeAccountPassword1",
               "Change Account Password", "", none(), -1, -1, R::LoggedIn, F::Account},
    CommandDef{FindInAccount, M::ManageAccount, "FindinAccount1", "Find in Account", "", ctrl('F'),
               -1, -1, R::LoggedIn, F::Search},
    CommandDef{SaveAccountData, M::Account, "SaveAccountData1", "&Save Account Data", "", ctrl('S'),
               -1, -1, R::LoggedIn, F::Session},
    CommandDef{BackupAccountData, M::Account, "BackupAccountData1", "Backup Account Data", "",
               ctrl('B'), -1, -1, R::NonEmpty, F::Session},
    CommandDef{SaveAccountAs, M::Account, "SaveAccountAs1", "Save Account &As ...", "", ctrl('D'),
               -1, -1, R::LoggedIn, F::Session},
    CommandDef{ExportAllEntriesToXml, M::Account, "ExportAllEntriesToXML1",
               "Export All Entries To XML", "", none(), -1, -1, R::NonEmpty, F::Interchange,
               S::Normal, true},
    CommandDef{ExportSelectedEntries, M::Account, "ExportSelectedEntries1",
               "Export Selected Entries", "", ctrl('M'), -1, -1, R::Current, F::Interchange},
    CommandDef{SetupNewAccount, M::Account, "SetupNewAccount1", "Setup New Account", "", none(), -1,
               -1, R::Always, F::Session, S::Normal, true},
    CommandDef{LoginExistingAccount, M::Account, "LoginExistingAccount1", "Login Existing Account",
               "", ctrl('O'), -1, -1, R::Always, F::Session},
    CommandDef{ImportExistingAccount, M::Account, "ImportExistingAccount1",
               "&Import Existing Account", "", none(), -1, -1, R::Always, F::Session},
    CommandDef{LogoutCurrentAccount, M::Account, "LogoutCurrentAccount1", "Logout Current Account",
               "", ctrl('Q'), -1, -1, R::LoggedIn, F::Session, S::Normal, true},
    CommandDef{QuitKeyhaven, M::Account, "QuitKeyhaven1", "Quit Keyhaven", "", none(), -1, -1,
               R::Always, F::Session},

    CommandDef{CopyEntryPassword, M::Operation, "CopyEntryPassword2", "&Copy Entry Password", "",
               ctrl('C'), 0, -1, R::Current, F::Clipboard},
    CommandDef{CopyTheWholeEntry, M::Operation, "CopyTheWholeEntry1", "Copy The Whole Entry", "",
               alt('C'), 1, -1, R::Current, F::Clipboard},
    CommandDef{CopyAllTheEntries, M::Operation, "CopyAllTheEntries1", "Copy All The Entries", "",
               ctrlAlt('C'), 2, -1, R::NonEmpty, F::Clipboard},
    CommandDef{CopySelectedEntries, M::Operation, "CopySelectedEntries1", "Copy Selected Entries",
               "", ctrlAlt('A'), 3, -1, R::Current, F::Clipboard},
    CommandDef{SelectAllTheEntries, M::Operation, "SelectAllTheEntries1", "Select All The Entries",
               "", ctrl('A'), 4, -1, R::NonEmpty, F::Entries},
    CommandDef{CutEntryPassword, M::Operation, "CutEntryPassword1", "Cut Entry Password", "",
               ctrl('X'), 10, -1, R::Current, F::Clipboard, S::Normal, true},
    CommandDef{CutTheWholeEntry, M::Operation, "CutTheWholeEntry1", "Cut The Whole Entry", "",
               alt('X'), 11, -1, R::Current, F::Clipboard},
    CommandDef{CutAllSelectedEntries, M::Operation, "CutAllSelectedEntries1",
               "Cut All Selected Entries", "", none(), 16, -1, R::Current, F::Clipboard},
    CommandDef{CutAllTheEntries, M::Operation, "CutAllTheEntries1", "Cut All The Entries", "",
               ctrlAlt('X'), 12, -1, R::NonEmpty, F::Clipboard},
    CommandDef{DeleteSelectedEntries,
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
    CommandDef{DeleteAllTheEntries,
               M::Operation,
               "DeleteAllTheEntries1",
               "Delete All The Entries",
               "",
               {kVkDelete, false, false, true},
               1002,
               -1,
               R::NonEmpty,
               F::Entries},
    CommandDef{ReplaceFromClipboard, M::Operation, "ReplaceFromClipboard1",
               "Replace From Clipboard", "", ctrl('R'), 101, -1, R::CurrentAndClipboard,
               F::Clipboard, S::Normal, true},
    CommandDef{ExportAllTheEntries, M::Operation, "ExportAllTheEntries1", "Export All The Entries",
               "", none(), -1, -1, R::NonEmpty, F::Interchange, S::Normal, true},
    CommandDef{ExportSelectedEntries2, M::Operation, "ExportSelectedEntries2",
               "Export Selected Entries", "", ctrl('M'), -1, -1, R::Current, F::Interchange},
    CommandDef{FindPassword, M::Operation, "FindPassword1", "&Find Password ...", "", ctrl('F'), -1,
               -1, R::LoggedIn, F::Search, S::Normal, true},
    CommandDef{FindAgain,
               M::Operation,
               "FindAgain1",
               "Find Again",
               "",
               {kVkF3, false, false, false},
               -1,
               -1,
               R::LoggedInAndSearchText,
               F::Search},

    CommandDef{NewBlankItem, M::Entries, "NewBlankItem1", "New Blank Item", "", ctrl('N'), 110, -1,
               R::LoggedIn, F::Entries},
    CommandDef{DuplicateSelectedItem, M::Entries, "DuplicateSelectedItem1",
               "Duplicate Selected Item", "", alt('N'), 111, -1, R::Current, F::Entries},
    CommandDef{PasteFromClipboard, M::Entries, "PasteFromClipboard1", "Paste From Clipboard", "",
               ctrl('V'), 100, -1, R::LoggedInAndClipboard, F::Clipboard, S::Normal, true},
    CommandDef{ImportFromXmlFile, M::Entries, "ImportFromXMLFile1", "Import From XML File", "",
               ctrl('I'), 102, -1, R::LoggedIn, F::Interchange},
    CommandDef{ImportFromClipboard, M::Entries, "ImportFromClipboard1", "Import From Clipboard", "",
               ctrlAlt('V'), 103, -1, R::LoggedInAndClipboard, F::Interchange},

    CommandDef{PasswordGuard, M::Tools, "PasswordGuard1", "&Password Guard", "", none(), -1, -1,
               R::Always, F::Tools, S::Check},
    CommandDef{SecureFileRemover, M::Tools, "SecureFileRemover1", "Secure File Remover", "", none(),
               -1, -1, R::Always, F::Tools},
    CommandDef{PasswordGenerator, M::Tools, "PasswordGenerator1", "Password &Generator", "", none(),
               -1, -1, R::Always, F::Tools},
    CommandDef{Preferences, M::Tools, "Preferrence1", "Preferrence...", "", none(), -1, -1,
               R::Always, F::Tools, S::Normal, true},
    CommandDef{SetLanguage, M::Tools, "mLanguageList", "Set &Language", "", none(), -1, -1,
               R::Always, F::Language, S::Submenu},
    CommandDef{DefaultLanguage, M::Language, "mEnglishLanguage", "&Default(English)", "", none(),
               -1, 37, R::Always, F::Language},
    CommandDef{GetMoreLanguage, M::Language, "GetMoreLanguage1", "Get &More Language", "", none(),
               -1, 12, R::Always, F::Language, S::Normal, true},
    CommandDef{HowToTranslate, M::Language, "HowToTranslate1", "How To &Translate", "", none(), -1,
               2, R::Always, F::Language},

    CommandDef{TipOfTheDay, M::Help, "TipoftheDay1", "&Tip of the Day", "", ctrl('T'), -1, -1,
               R::Always, F::Help},
    CommandDef{CheckNewVersion,
               M::Help,
               "CheckNewVersion1",
               "&Check New Version",
               "",
               {kVkF5, false, false, false},
               -1,
               -1,
               R::Always,
               F::Help},
    CommandDef{VisitOnlineFaq,
               M::Help,
               "VisitOnlineFAQ1",
               "&Visit Online FAQ",
               "",
               {kVkF1, false, false, false},
               -1,
               -1,
               R::Always,
               F::Help},
    CommandDef{AboutKeyhaven,
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

    CommandDef{EditCurrentEntry, M::ListContext, "EditCurrentEntry1", "Edit Current Entry", "",
               none(), -1, -1, R::Current, F::Entries},
    CommandDef{ContextCopyPassword, M::ListContext, "CopyEntryPassword1", "&Copy Entry &Password",
               "", none(), 0, -1, R::Current, F::Clipboard, S::Normal, true},
    CommandDef{ContextCopyTitle, M::ListContext, "CopyEntryTitle1", "Copy Entry &Title", "", none(),
               1, -1, R::Current, F::Clipboard},
    CommandDef{ContextCopyDetails, M::ListContext, "CopyEntryDetails1", "Copy Entry &Details", "",
               none(), 2, -1, R::Current, F::Clipboard},
    CommandDef{ContextCopyWholeEntry, M::ListContext, "CopyWholeEntry1", "Copy &Whole Entry", "",
               none(), 3, -1, R::Current, F::Clipboard},
    CommandDef{ContextOpenWebLocation, M::ListContext, "OpenAsWebLocation1",
               "Open As Web &Location", "", none(), 4, 12, R::CurrentLink, F::Clipboard, S::Normal,
               true},

    CommandDef{ViewLargeIcons, M::View, "LargeIcons1", "Large Icons", "", none(), 0, -1, R::Always,
               F::View, S::Radio},
    CommandDef{ViewSmallIcons, M::View, "SmallIcons1", "Small Icons", "", none(), 1, -1, R::Always,
               F::View, S::Radio},
    CommandDef{ViewList, M::View, "List1", "List", "", none(), 2, -1, R::Always, F::View, S::Radio},
    CommandDef{ViewDetails, M::View, "Details1", "Details", "", none(), 3, -1, R::Always, F::View,
               S::Radio},

    CommandDef{ToolNewAccount, M::ToolBar, "tbNewAccount", "", "Create New Account", none(), -1, -1,
               R::Always, F::Session},
    CommandDef{ToolOpenAccount, M::ToolBar, "tbOpenAccount", "", "Open Existing Account", ctrl('L'),
               -1, -1, R::Always, F::Session},
    CommandDef{ToolSaveAccount, M::ToolBar, "tbSaveAccount", "", "Save Current Account", none(), -1,
               -1, R::LoggedInAndModified, F::Session},
    CommandDef{ToolLogout, M::ToolBar, "tbLogout", "", "Logout Current Account", none(), -1, -1,
               R::LoggedIn, F::Session},
    CommandDef{ToolEditAccount, M::ToolBar, "tbEditAccount", "", "Edit Account Information", none(),
               -1, -1, R::LoggedIn, F::Account, S::Normal, true},
    CommandDef{ToolPassword, M::ToolBar, "tbPassword", "", "Change Account Password", none(), -1,
               -1, R::LoggedIn, F::Account},
    CommandDef{ToolFind, M::ToolBar, "tbFind", "", "Find Password", none(), -1, -1, R::LoggedIn,
               F::Search},
    CommandDef{ToolNewEntry, M::ToolBar, "tbNewEntry", "", "New Entry", none(), 110, -1,
               R::LoggedIn, F::Entries, S::DropDownButton, true},
    CommandDef{ToolCopy, M::ToolBar, "tbCopy", "",
               "Copy The Selected Entry Data To Clipboard / Open Web Location.", none(), 4, 22,
               R::LoggedIn, F::Clipboard, S::DropDownButton},
    CommandDef{ToolOperation, M::ToolBar, "tbOperation", "", "Cut Selected Entry", none(), 11, -1,
               R::LoggedIn, F::Clipboard, S::DropDownButton},
    CommandDef{ToolDelete, M::ToolBar, "tbDelete", "", "Delete All Selected Entries", none(), 1001,
               -1, R::LoggedIn, F::Entries},
    CommandDef{ToolUnDelete, M::ToolBar, "tbUnDelete", "", "Undelete selected entry.", none(), -1,
               -1, R::LoggedIn, F::Entries},
    CommandDef{ToolEditEntry, M::ToolBar, "tbEditEntry", "", "Edit Current Entry", none(), -1, -1,
               R::LoggedIn, F::Entries},
    CommandDef{ToolStyle, M::ToolBar, "tbStyle", "", "Change View Style", none(), -1, -1, R::Always,
               F::View, S::DropDownButton, true},
    CommandDef{ToolComment, M::ToolBar, "tbComment", "", "Show/Hide Comment Window", none(), -1, -1,
               R::Always, F::View, S::Check},
    CommandDef{ToolHelp, M::ToolBar, "tbHelp", "", "Help", none(), -1, -1, R::Always, F::Help},
};

static_assert(kCommands.size() == static_cast<std::size_t>(CommandId::Count) - 1);

constexpr bool tableInIdOrder() {
    for (std::size_t i = 0; i < kCommands.size(); ++i) {
        if (static_cast<std::size_t>(kCommands[i].id) != i + 1) return false;
    }
    return true;
}
static_assert(tableInIdOrder(), "commandDef() indexes the table by id");

} // namespace

std::span<const CommandDef> commandTable() {
    return kCommands;
}

const CommandDef& commandDef(CommandId id) {
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
    for (const CommandDef& command : kCommands) {
        if (command.shortcut == shortcut) return command.id;
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
