#include "command_table.h"

#include "image_ids.h"
#include "key_names.h"
#include "message_table.h"

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
using namespace images;
using R = EnableRule;
using F = Feature;
using M = MenuId;
using S = ItemStyle;

// Menu order is table order within each menu. A twin command (a tool button or a second
// menu item for the same thing) names the command whose action it runs.
// clang-format off
constexpr std::array kCommands = {
    // id, menu, name, caption, hint, shortcut, tag, image, rule, feature, style,
    // separator before, action of
    CommandDef{ManageAccount, M::Account, "ManageAccount1", "&Manage Account", "", none(), -1, kImgManageAccount, R::LoggedIn, F::Account, S::Submenu, false, None},
    CommandDef{EditAccountInformation, M::ManageAccount, "EditAccountInformation1", "&Edit Account Information", "", none(), -1, kImgEditAccount, R::LoggedIn, F::Account, S::Normal, false, None},
    CommandDef{ChangeAccountPassword, M::ManageAccount, "ChangeAccountPassword1", "&Change Account Password", "", none(), -1, kImgChangePassword, R::LoggedIn, F::Account, S::Normal, false, None},
    CommandDef{ChangeAccountProtection, M::ManageAccount, "ChangeAccountProtection1", "Account &Protection...", "", none(), -1, -1, R::LoggedIn, F::Account, S::Normal, false, None},
    CommandDef{FindInAccount, M::ManageAccount, "FindinAccount1", "&Find in Account", "", ctrl('F'), -1, kImgFind, R::LoggedIn, F::Search, S::Normal, false, FindPassword},
    CommandDef{SaveAccountData, M::Account, "SaveAccountData1", "&Save Account Data", "", ctrl('S'), -1, kImgSave, R::LoggedIn, F::Session, S::Normal, false, None},
    CommandDef{BackupAccountData, M::Account, "BackupAccountData1", "&Back Up Account Data...", "", ctrl('B'), -1, kImgBackup, R::NonEmpty, F::Session, S::Normal, false, None},
    CommandDef{SaveAccountAs, M::Account, "SaveAccountAs1", "Save Account &As...", "", ctrl('D'), -1, kImgSaveAs, R::LoggedIn, F::Session, S::Normal, false, None},
    CommandDef{ExportAllEntriesToXml, M::Account, "ExportAllEntriesToXML1", "&Export All Entries to XML...", "", none(), -1, kImgExportXml, R::NonEmpty, F::Interchange, S::Normal, true, None},
    CommandDef{ExportSelectedEntries, M::Account, "ExportSelectedEntries1", "Export Selected E&ntries...", "", ctrl('M'), -1, kImgExportXml, R::Current, F::Interchange, S::Normal, false, None},
    CommandDef{SetupNewAccount, M::Account, "SetupNewAccount1", "Set &Up New Account...", "", none(), -1, kImgNewAccount, R::Always, F::Session, S::Normal, true, None},
    CommandDef{LoginExistingAccount, M::Account, "LoginExistingAccount1", "&Log In to Existing Account...", "", ctrl('O'), -1, kImgOpenAccount, R::Always, F::Session, S::Normal, false, None},
    CommandDef{ImportExistingAccount, M::Account, "ImportExistingAccount1", "&Import Existing Account...", "", none(), -1, kImgImportXml, R::Always, F::Session, S::Normal, false, None},
    CommandDef{LogoutCurrentAccount, M::Account, "LogoutCurrentAccount1", "Log &Out of Current Account", "", ctrl('Q'), -1, kImgLogout, R::LoggedIn, F::Session, S::Normal, true, None},
    CommandDef{QuitKeyhaven, M::Account, "QuitKeyhaven1", "&Quit Keyhaven", "", none(), -1, kImgQuit, R::Always, F::Session, S::Normal, false, None},
    CommandDef{CopyEntryPassword, M::Operation, "CopyEntryPassword2", "&Copy Entry Password", "", ctrl('C'), 0, kImgCopyPassword, R::Current, F::Clipboard, S::Normal, false, ContextCopyPassword},
    CommandDef{CopyTheWholeEntry, M::Operation, "CopyTheWholeEntry1", "Copy the &Whole Entry", "", alt('C'), 1, kImgCopyWholeEntry, R::Current, F::Clipboard, S::Normal, false, None},
    CommandDef{CopyAllTheEntries, M::Operation, "CopyAllTheEntries1", "Copy &All the Entries", "", ctrlAlt('C'), 2, kImgCopy, R::NonEmpty, F::Clipboard, S::Normal, false, None},
    CommandDef{CopySelectedEntries, M::Operation, "CopySelectedEntries1", "Copy Se&lected Entries", "", ctrlAlt('A'), 3, kImgCopy, R::Current, F::Clipboard, S::Normal, false, None},
    CommandDef{SelectAllTheEntries, M::Operation, "SelectAllTheEntries1", "Select All the E&ntries", "", ctrl('A'), 4, kImgSelectAll, R::NonEmpty, F::Clipboard, S::Normal, false, None},
    CommandDef{CutEntryPassword, M::Operation, "CutEntryPassword1", "Cu&t Entry Password", "", ctrl('X'), 10, kImgCut, R::Current, F::Clipboard, S::Normal, true, None},
    CommandDef{CutTheWholeEntry, M::Operation, "CutTheWholeEntry1", "Cut the W&hole Entry", "", alt('X'), 11, kImgCut, R::Current, F::Clipboard, S::Normal, false, None},
    CommandDef{CutAllSelectedEntries, M::Operation, "CutAllSelectedEntries1", "Cut All &Selected Entries", "", none(), 16, kImgCut, R::Current, F::Clipboard, S::Normal, false, None},
    CommandDef{CutAllTheEntries, M::Operation, "CutAllTheEntries1", "C&ut All the Entries", "", ctrlAlt('X'), 12, kImgCut, R::NonEmpty, F::Clipboard, S::Normal, false, None},
    CommandDef{DeleteSelectedEntries, M::Operation, "DeleteSelectedEntries1", "&Delete Selected Entries", "", {kVkDelete, true, false, false}, 1001, kImgDelete, R::Current, F::Clipboard, S::Normal, true, None},
    CommandDef{DeleteAllTheEntries, M::Operation, "DeleteAllTheEntries1", "Delete All the Entr&ies", "", {kVkDelete, false, false, true}, 1002, kImgDeleteAll, R::NonEmpty, F::Clipboard, S::Normal, false, None},
    CommandDef{ReplaceFromClipboard, M::Operation, "ReplaceFromClipboard1", "&Replace Password from Clipboard", "", ctrl('R'), 101, kImgReplaceFromClipboard, R::CurrentAndClipboard, F::Clipboard, S::Normal, true, None},
    CommandDef{ExportAllTheEntries, M::Operation, "ExportAllTheEntries1", "E&xport All the Entries...", "", none(), -1, kImgExportXml, R::NonEmpty, F::Interchange, S::Normal, true, ExportAllEntriesToXml},
    CommandDef{ExportSelectedEntries2, M::Operation, "ExportSelectedEntries2", "Ex&port Selected Entries...", "", ctrl('M'), -1, kImgExportXml, R::Current, F::Interchange, S::Normal, false, ExportSelectedEntries},
    CommandDef{FindPassword, M::Operation, "FindPassword1", "&Find Password...", "", ctrl('F'), -1, kImgFind, R::LoggedIn, F::Search, S::Normal, true, None},
    CommandDef{FindAgain, M::Operation, "FindAgain1", "Find A&gain", "", {kVkF3, false, false, false}, -1, kImgFindAgain, R::LoggedInAndSearchText, F::Search, S::Normal, false, None},
    CommandDef{NewBlankItem, M::Entries, "NewBlankItem1", "&New Blank Item...", "", ctrl('N'), 110, kImgNewEntry, R::LoggedIn, F::Entries, S::Normal, false, None},
    CommandDef{DuplicateSelectedItem, M::Entries, "DuplicateSelectedItem1", "&Duplicate Selected Item...", "", alt('N'), 111, kImgDuplicate, R::Current, F::Entries, S::Normal, false, None},
    CommandDef{PasteFromClipboard, M::Entries, "PasteFromClipboard1", "&Paste from Clipboard...", "", ctrl('V'), 100, kImgPaste, R::LoggedInAndClipboard, F::Entries, S::Normal, true, None},
    CommandDef{ImportFromXmlFile, M::Entries, "ImportFromXMLFile1", "&Import from XML File...", "", ctrl('I'), 102, kImgImportXml, R::LoggedIn, F::Interchange, S::Normal, false, None},
    CommandDef{ImportFromOtherManager, M::Entries, "ImportFromOtherManager1", "Import From &Another Password Manager...", "", none(), -1, kImgImportXml, R::LoggedIn, F::Interchange, S::Normal, false, None},
    CommandDef{ImportFromClipboard, M::Entries, "ImportFromClipboard1", "Import from &Clipboard", "", ctrlAlt('V'), 103, kImgImportFromClipboard, R::LoggedInAndClipboard, F::Interchange, S::Normal, false, None},
    CommandDef{PasswordGuard, M::Tools, "PasswordGuard1", "&Password Guard", "", none(), -1, kImgPasswordGuard, R::Always, F::Tools, S::Check, false, None},
    CommandDef{SecureFileRemover, M::Tools, "SecureFileRemover1", "Secure File &Remover...", "", none(), -1, kImgFileRemover, R::Always, F::Tools, S::Normal, false, None},
    CommandDef{PasswordGenerator, M::Tools, "PasswordGenerator1", "Password &Generator...", "", none(), -1, kImgGenerator, R::Always, F::Tools, S::Normal, false, None},
    CommandDef{Preferences, M::Tools, "Preferrence1", "Pre&ferences...", "", none(), -1, kImgPreferences, R::Always, F::Tools, S::Normal, true, None},
    CommandDef{SetLanguage, M::Tools, "mLanguageList", "Set &Language", "", none(), -1, kImgLanguage, R::Always, F::Language, S::Submenu, false, None},
    CommandDef{DefaultLanguage, M::Language, "mEnglishLanguage", "&English (Default)", "", none(), -1, kImgDefaultLanguage, R::Always, F::Language, S::Normal, false, None},
    CommandDef{GetMoreLanguage, M::Language, "GetMoreLanguage1", "Get &More Languages", "", none(), -1, kImgOpenWeb, R::Always, F::Language, S::Normal, true, None},
    CommandDef{HowToTranslate, M::Language, "HowToTranslate1", "How to &Translate", "", none(), -1, kImgTranslate, R::Always, F::Language, S::Normal, false, None},
    CommandDef{TipOfTheDay, M::Help, "TipoftheDay1", "&Tip of the Day", "", ctrl('T'), -1, kImgTipOfTheDay, R::Always, F::Help, S::Normal, false, None},
    CommandDef{CheckNewVersion, M::Help, "CheckNewVersion1", "&Check for a New Version", "", {kVkF5, false, false, false}, -1, kImgCheckNewVersion, R::Always, F::Help, S::Normal, false, None},
    CommandDef{VisitOnlineFaq, M::Help, "VisitOnlineFAQ1", "&Visit Online FAQ", "", {kVkF1, false, false, false}, -1, kImgOnlineFaq, R::Always, F::Help, S::Normal, false, None},
    CommandDef{AboutKeyhaven, M::Help, "AboutKeyhaven1", "&About Keyhaven", "", {kVkF1, true, false, false}, -1, kImgAbout, R::Always, F::Help, S::Normal, true, None},
    CommandDef{EditCurrentEntry, M::ListContext, "EditCurrentEntry1", "&Edit Current Entry...", "", none(), -1, kImgEditEntry, R::Current, F::Entries, S::Normal, false, None},
    CommandDef{ContextCopyPassword, M::ListContext, "CopyEntryPassword1", "Copy Entry &Password", "", none(), 0, kImgCopyPassword, R::Current, F::Clipboard, S::Normal, true, None},
    CommandDef{ContextCopyTitle, M::ListContext, "CopyEntryTitle1", "Copy Entry &Title", "", none(), 1, kImgCopyTitle, R::Current, F::Clipboard, S::Normal, false, None},
    CommandDef{ContextCopyDetails, M::ListContext, "CopyEntryDetails1", "Copy Entry &Details", "", none(), 2, kImgCopyDetails, R::Current, F::Clipboard, S::Normal, false, None},
    CommandDef{ContextCopyWholeEntry, M::ListContext, "CopyWholeEntry1", "Copy &Whole Entry", "", none(), 3, kImgCopyWholeEntry, R::Current, F::Clipboard, S::Normal, false, None},
    CommandDef{ContextOpenWebLocation, M::ListContext, "OpenAsWebLocation1", "Open as Web &Location", "", none(), 4, kImgOpenWeb, R::CurrentLink, F::Clipboard, S::Normal, true, None},
    CommandDef{ViewLargeIcons, M::View, "LargeIcons1", "&Large Icons", "", none(), 0, kImgLargeIcons, R::Always, F::View, S::Radio, false, None},
    CommandDef{ViewSmallIcons, M::View, "SmallIcons1", "&Small Icons", "", none(), 1, kImgSmallIcons, R::Always, F::View, S::Radio, false, None},
    CommandDef{ViewList, M::View, "List1", "L&ist", "", none(), 2, kImgListView, R::Always, F::View, S::Radio, false, None},
    CommandDef{ViewDetails, M::View, "Details1", "&Details", "", none(), 3, kImgDetailsView, R::Always, F::View, S::Radio, false, None},
    CommandDef{ToolNewAccount, M::ToolBar, "tbNewAccount", "", "Create New Account", none(), -1, kImgNewAccount, R::Always, F::Session, S::Normal, false, SetupNewAccount},
    CommandDef{ToolOpenAccount, M::ToolBar, "tbOpenAccount", "", "Log In to Existing Account", ctrl('L'), -1, kImgOpenAccount, R::Always, F::Session, S::Normal, false, None},
    CommandDef{ToolSaveAccount, M::ToolBar, "tbSaveAccount", "", "Save Current Account", none(), -1, kImgSave, R::LoggedInAndModified, F::Session, S::Normal, false, SaveAccountData},
    CommandDef{ToolLogout, M::ToolBar, "tbLogout", "", "Log Out of Current Account", none(), -1, kImgLogout, R::LoggedIn, F::Session, S::Normal, false, LogoutCurrentAccount},
    CommandDef{ToolEditAccount, M::ToolBar, "tbEditAccount", "", "Edit Account Information", none(), -1, kImgEditAccount, R::LoggedIn, F::Account, S::Normal, true, EditAccountInformation},
    CommandDef{ToolPassword, M::ToolBar, "tbPassword", "", "Change Account Password", none(), -1, kImgChangePassword, R::LoggedIn, F::Account, S::Normal, false, ChangeAccountPassword},
    CommandDef{ToolFind, M::ToolBar, "tbFind", "", "Find Password", none(), -1, kImgFind, R::LoggedIn, F::Search, S::Normal, false, FindPassword},
    CommandDef{ToolNewEntry, M::ToolBar, "tbNewEntry", "", "New Entry", none(), 110, kImgNewEntry, R::LoggedIn, F::Entries, S::DropDownButton, true, NewBlankItem},
    CommandDef{ToolCopy, M::ToolBar, "tbCopy", "", "Copy the Selected Entry's Password to the Clipboard / Open Its Web Address", none(), 4, kImgCopy, R::LoggedIn, F::Clipboard, S::DropDownButton, false, None},
    CommandDef{ToolOperation, M::ToolBar, "tbOperation", "", "Cut Selected Entry", none(), 11, kImgCut, R::LoggedIn, F::Clipboard, S::DropDownButton, false, CutTheWholeEntry},
    CommandDef{ToolDelete, M::ToolBar, "tbDelete", "", "Delete All Selected Entries", none(), 1001, kImgDelete, R::LoggedIn, F::Clipboard, S::Normal, false, DeleteSelectedEntries},
    CommandDef{ToolUnDelete, M::ToolBar, "tbUnDelete", "", "Undelete the Selected Entries", none(), -1, kImgUndelete, R::LoggedIn, F::Entries, S::Normal, false, None},
    CommandDef{ToolEditEntry, M::ToolBar, "tbEditEntry", "", "Edit Current Entry", none(), -1, kImgEditEntry, R::LoggedIn, F::Entries, S::Normal, false, EditCurrentEntry},
    CommandDef{ToolStyle, M::ToolBar, "tbStyle", "", "Change View Style", none(), -1, kImgViewStyle, R::Always, F::View, S::DropDownButton, true, None},
    CommandDef{ToolComment, M::ToolBar, "tbComment", "", "Show or Hide the Comment Window", none(), -1, kImgComment, R::Always, F::View, S::Check, false, None},
    CommandDef{ToolHelp, M::ToolBar, "tbHelp", "", "Help", none(), -1, kImgHelp, R::Always, F::Help, S::Normal, false, TipOfTheDay},
    CommandDef{TrayOpenKeyhaven, M::Tray, "OpenApplication1", "&Open Keyhaven...", "", none(), -1, kImgOpenKeyhaven, R::Always, F::Tray, S::Normal, false, None},
    CommandDef{TrayManageAccount, M::Tray, "ManageAccount2", "&Manage Account", "", none(), -1, kImgManageAccount, R::LoggedIn, F::Account, S::Submenu, true, None},
    CommandDef{TrayEditAccountInformation, M::TrayManageAccount, "EditAccountInformation2", "&Edit Account Information", "", none(), -1, kImgEditAccount, R::LoggedIn, F::Account, S::Normal, false, EditAccountInformation},
    CommandDef{TrayChangeAccountPassword, M::TrayManageAccount, "ChangeAccountPassword2", "&Change Account Password", "", none(), -1, kImgChangePassword, R::LoggedIn, F::Account, S::Normal, false, ChangeAccountPassword},
    CommandDef{TrayFindInAccount, M::TrayManageAccount, "FindinAccount2", "&Find in Account", "", ctrl('F'), -1, kImgFind, R::LoggedIn, F::Search, S::Normal, false, FindPassword},
    CommandDef{TraySaveAccountData, M::Tray, "SaveAccountData2", "&Save Account Data", "", ctrl('S'), -1, kImgSave, R::LoggedIn, F::Session, S::Normal, false, SaveAccountData},
    CommandDef{TraySaveAccountAs, M::Tray, "SaveAccountAs2", "Save Account &As...", "", ctrl('D'), -1, kImgSaveAs, R::LoggedIn, F::Session, S::Normal, false, SaveAccountAs},
    CommandDef{TrayExportAllEntries, M::Tray, "ExportAllEntriesToXML2", "&Export All Entries to XML...", "", none(), -1, kImgExportXml, R::LoggedIn, F::Interchange, S::Normal, true, ExportAllEntriesToXml},
    CommandDef{TrayExportSelectedEntries, M::Tray, "ExportSelectedEntries3", "Export Selected E&ntries...", "", ctrl('M'), -1, kImgExportXml, R::Current, F::Interchange, S::Normal, false, ExportSelectedEntries},
    CommandDef{TraySetupNewAccount, M::Tray, "SetupNewAccount2", "Set &Up New Account...", "", none(), -1, kImgNewAccount, R::Always, F::Session, S::Normal, true, SetupNewAccount},
    CommandDef{TrayLoginExistingAccount, M::Tray, "LoginExistingAccount2", "&Log In to Existing Account...", "", ctrl('O'), -1, kImgOpenAccount, R::Always, F::Session, S::Normal, false, LoginExistingAccount},
    CommandDef{TrayImportExistingAccount, M::Tray, "ImportExistingAccount2", "&Import Existing Account...", "", none(), -1, kImgImportXml, R::Always, F::Session, S::Normal, false, ImportExistingAccount},
    CommandDef{TrayLogoutCurrentAccount, M::Tray, "LogoutCurrentAccount2", "Lo&g Out of Current Account", "", ctrl('Q'), -1, kImgLogout, R::LoggedIn, F::Session, S::Normal, true, LogoutCurrentAccount},
    CommandDef{TrayPreferences, M::Tray, "Preferrence2", "Keyhaven &Preferences...", "", none(), -1, kImgPreferences, R::Always, F::Tools, S::Normal, true, Preferences},
    CommandDef{TrayPasswordGenerator, M::Tray, "PasswordGenerator2", "Password Gene&rator...", "", none(), -1, kImgGenerator, R::Always, F::Tools, S::Normal, false, PasswordGenerator},
    CommandDef{TrayQuitKeyhaven, M::Tray, "QuitKeyhaven2", "&Quit Keyhaven", "", none(), -1, kImgQuit, R::Always, F::Session, S::Normal, true, QuitKeyhaven},
};
// clang-format on

static_assert(kCommands.size() == static_cast<std::size_t>(CommandId::Count) - 1);

constexpr bool tableInIdOrder() {
    for (std::size_t i = 0; i < kCommands.size(); ++i) {
        if (static_cast<std::size_t>(kCommands[i].id) != i + 1) return false;
    }
    return true;
}
static_assert(tableInIdOrder(), "commandDef() indexes the table by id");

constexpr bool twinsRunTheirFeature() {
    for (const CommandDef& command : kCommands) {
        if (command.actionOf == CommandId::None) continue;
        const CommandDef& target = kCommands[static_cast<std::size_t>(command.actionOf) - 1];
        if (target.actionOf != CommandId::None || target.feature != command.feature) return false;
    }
    return true;
}
static_assert(twinsRunTheirFeature(), "a twin runs a command of its own feature directly");

} // namespace

std::span<const CommandDef> commandTable() {
    return kCommands;
}

const CommandDef& commandDef(CommandId id) {
    return kCommands[static_cast<std::size_t>(id) - 1];
}

CommandId actionOf(CommandId id) {
    const CommandDef& command = commandDef(id);
    return command.actionOf == CommandId::None ? id : command.actionOf;
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

std::string shortcutText(const Shortcut& s, const MessageTable& messages) {
    return keyChordText(s.key, s.ctrl, s.alt, s.shift, messages);
}

std::string shortcutText(const Shortcut& s) {
    static const MessageTable english;
    return shortcutText(s, english);
}

} // namespace kh
