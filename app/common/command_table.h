#pragma once
// Every command of the main window in one table: its menu item or tool button, its
// shortcut, its tag for the shared handlers, when its item is enabled, and the feature
// file that runs it. The window builds its menus, tool bar and key map from this table.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kh {

class MessageTable;

enum class CommandId : std::uint16_t {
    None = 0,
    // Account menu
    ManageAccount,
    EditAccountInformation,
    ChangeAccountPassword,
    ChangeAccountProtection,
    FindInAccount,
    SaveAccountData,
    BackupAccountData,
    SaveAccountAs,
    ExportAllEntriesToXml,
    ExportSelectedEntries,
    SetupNewAccount,
    LoginExistingAccount,
    ImportExistingAccount,
    LogoutCurrentAccount,
    QuitKeyhaven,
    // Operation menu
    CopyEntryPassword,
    CopyTheWholeEntry,
    CopyAllTheEntries,
    CopySelectedEntries,
    SelectAllTheEntries,
    CutEntryPassword,
    CutTheWholeEntry,
    CutAllSelectedEntries,
    CutAllTheEntries,
    DeleteSelectedEntries,
    DeleteAllTheEntries,
    ReplaceFromClipboard,
    ExportAllTheEntries,
    ExportSelectedEntries2,
    FindPassword,
    FindAgain,
    // Entries menu
    NewBlankItem,
    DuplicateSelectedItem,
    PasteFromClipboard,
    ImportFromXmlFile,
    ImportFromOtherManager,
    ImportFromClipboard,
    // Tools menu
    PasswordGuard,
    SecureFileRemover,
    PasswordGenerator,
    Preferences,
    SetLanguage,
    DefaultLanguage,
    GetMoreLanguage,
    HowToTranslate,
    // Help menu
    TipOfTheDay,
    CheckNewVersion,
    VisitOnlineFaq,
    AboutKeyhaven,
    // List context menu (also the drop-down of tbCopy)
    EditCurrentEntry,
    ContextCopyPassword,
    ContextCopyTitle,
    ContextCopyDetails,
    ContextCopyWholeEntry,
    ContextOpenWebLocation,
    // View menu (drop-down of tbStyle)
    ViewLargeIcons,
    ViewSmallIcons,
    ViewList,
    ViewDetails,
    // Command tool bar
    ToolNewAccount,
    ToolOpenAccount,
    ToolSaveAccount,
    ToolLogout,
    ToolEditAccount,
    ToolPassword,
    ToolFind,
    ToolNewEntry,
    ToolCopy,
    ToolOperation,
    ToolDelete,
    ToolUnDelete,
    ToolEditEntry,
    ToolStyle,
    ToolComment,
    ToolHelp,
    // Notification-area menu (pmTray)
    TrayOpenKeyhaven,
    TrayManageAccount,
    TrayEditAccountInformation,
    TrayChangeAccountPassword,
    TrayFindInAccount,
    TraySaveAccountData,
    TraySaveAccountAs,
    TrayExportAllEntries,
    TrayExportSelectedEntries,
    TraySetupNewAccount,
    TrayLoginExistingAccount,
    TrayImportExistingAccount,
    TrayLogoutCurrentAccount,
    TrayPreferences,
    TrayPasswordGenerator,
    TrayQuitKeyhaven,
    Count
};

enum class MenuId : std::uint8_t {
    Account,
    ManageAccount,
    Operation,
    Entries,
    Tools,
    Language,
    Help,
    ListContext,
    View,
    ToolBar,
    Tray,
    TrayManageAccount,
};

// The state the enable rules look at, gathered when a menu opens.
struct CommandState {
    bool loggedIn = false;
    bool hasRows = false; // lvPassword has at least one row
    bool current = false; // currentEntry is not none
    bool currentIsLink = false;
    bool clipboardHasText = false;
    bool searchTextExists = false;
    bool modified = false;
};

enum class EnableRule : std::uint8_t {
    Always,
    LoggedIn,
    NonEmpty, // logged in and lvPassword has rows
    Current,  // a current entry (implies logged in)
    CurrentAndClipboard,
    LoggedInAndClipboard,
    LoggedInAndSearchText,
    CurrentLink,
    LoggedInAndModified,
};

// Which handler runs a command; the main window hands each to its feature's handler.
enum class Feature : std::uint8_t {
    Session,
    Account,
    Entries,
    Clipboard,
    Interchange,
    Search,
    Tools,
    Language,
    Help,
    View,
    Tray,
    Browser,
    Count
};

// The codes of the shared handler of the Operation and Entries menus.
enum class CopyTag : int {
    Password = 0,
    WholeEntry = 1,
    AllEntries = 2,
    SelectedEntries = 3,
    SelectAll = 4,
    CutPassword = 10,
    CutWholeEntry = 11,
    CutAll = 12,
    CutSelected = 16,
    Paste = 100,
    Replace = 101,
    ImportXmlFile = 102,
    ImportClipboard = 103,
    NewBlank = 110,
    Duplicate = 111,
    DeleteSelected = 1001,
    DeleteAll = 1002,
};

// The codes of the shared handler of the list context menu and tbCopy.
enum class ContextTag : int {
    Password = 0,
    Title = 1,
    Details = 2,
    WholeEntry = 3,
    OpenLink = 4,
};

// A key chord with Windows virtual-key codes (kept numeric so the table stays portable).
struct Shortcut {
    std::uint8_t key = 0; // 0: none
    bool ctrl = false;
    bool alt = false;
    bool shift = false;
    bool operator==(const Shortcut&) const = default;
};

enum class ItemStyle : std::uint8_t { Normal, Submenu, Check, Radio, DropDownButton };

struct CommandDef {
    CommandId id;
    MenuId menu;
    std::string_view name;    // component name, the language file's key below TfrmMain
    std::string_view caption; // menu caption (empty for tool buttons)
    std::string_view hint;    // tool-button hint
    Shortcut shortcut;
    int tag;   // code for the shared handlers; -1 none
    int image; // image index; -1 none
    EnableRule rule;
    Feature feature;
    ItemStyle style = ItemStyle::Normal;
    bool separatorBefore = false;
    // A twin runs this command's action; None: its own.
    CommandId actionOf = CommandId::None;
};

// Menu items of commands carry this plus the command's id.
inline constexpr int kMenuCommandBase = 100;

std::span<const CommandDef> commandTable();
const CommandDef& commandDef(CommandId id);
// The command whose action `id` runs: itself, or the command it is a twin of.
CommandId actionOf(CommandId id);
bool isEnabled(EnableRule rule, const CommandState& state);
// The command a key chord runs, whatever the menus' enable rules say.
std::optional<CommandId> commandForShortcut(const Shortcut& shortcut);
// "Ctrl+Alt+C", "Shift+Del", "F3": the text shown after a menu caption.
std::string shortcutText(const Shortcut& shortcut);
// The same in the language of `messages` ("Strg+Alt+C", "Umschalt+Entf").
std::string shortcutText(const Shortcut& shortcut, const MessageTable& messages);

} // namespace kh
