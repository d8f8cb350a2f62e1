// The main window's commands, routed by feature. Session commands go to the session; the
// entry commands here work on the list model; view and help commands are the window's own.
#include "tfrm_main.h"

#include "text_format.h"

#include <commctrl.h>
#include <shellapi.h>

namespace kh {
namespace {

// The maker's pages that the Help menu opens in the browser.
constexpr char kProductPage[] = "https://keyhaven.example.org/download";
constexpr char kFaqPage[] = "https://keyhaven.example.org/faq";

void openInBrowser(const char* address) {
    ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWMAXIMIZED);
}

} // namespace

void TfrmMain::runCommand(CommandId id) {
    const CommandDef& command = commandDef(id);
    switch (command.feature) {
    case Feature::Session:
        runSessionCommand(id);
        break;
    case Feature::Entries:
        runEntryCommand(id);
        break;
    case Feature::View:
        runViewCommand(id);
        break;
    case Feature::Help:
        runHelpCommand(id);
        break;
    case Feature::Language:
        runLanguageCommand(id);
        break;
    case Feature::Account:     // account password and information dialogs
    case Feature::Clipboard:   // clipboard commands and the Password Guard
    case Feature::Interchange: // XML export and import
    case Feature::Search:      // find dialog and Find Again
    case Feature::Tools:       // guard switch, file remover, generator, preferences
        // Built by the windows that own these features; counts as user activity.
        session_.isLoggedIn();
        break;
    }
    refreshLists();
}

void TfrmMain::runSessionCommand(CommandId id) {
    switch (id) {
    case CommandId::SaveAccountData:
    case CommandId::ToolSaveAccount:
        session_.saveCommand();
        break;
    case CommandId::SaveAccountAs:
        session_.saveAsCommand();
        break;
    case CommandId::BackupAccountData:
        session_.backupCommand();
        break;
    case CommandId::LogoutCurrentAccount:
    case CommandId::ToolLogout:
        session_.logoutCommand();
        break;
    case CommandId::ToolOpenAccount:
        session_.openExistingCommand();
        break;
    case CommandId::LoginExistingAccount:
        session_.loginExistingCommand();
        break;
    case CommandId::SetupNewAccount:
    case CommandId::ToolNewAccount:
        session_.newAccountCommand(false);
        break;
    case CommandId::ImportExistingAccount:
        session_.newAccountCommand(true);
        break;
    case CommandId::QuitKeyhaven:
        if (session_.quitCommand()) DestroyWindow(handle());
        break;
    default:
        break;
    }
}

void TfrmMain::runEntryCommand(CommandId id) {
    switch (id) {
    case CommandId::SelectAllTheEntries:
        selectAllCommand();
        break;
    case CommandId::DeleteSelectedEntries:
    case CommandId::ToolDelete:
        deleteCommand(1001);
        break;
    case CommandId::DeleteAllTheEntries:
        deleteCommand(1002);
        break;
    case CommandId::ToolUnDelete:
        undeleteCommand();
        break;
    default:
        // New, duplicate and edit open the entry dialogs.
        session_.isLoggedIn();
        break;
    }
}

void TfrmMain::runViewCommand(CommandId id) {
    switch (id) {
    case CommandId::ViewLargeIcons:
        setViewStyle(0);
        break;
    case CommandId::ViewSmallIcons:
        setViewStyle(1);
        break;
    case CommandId::ViewList:
        setViewStyle(2);
        break;
    case CommandId::ViewDetails:
        setViewStyle(3);
        break;
    case CommandId::ToolComment:
        toggleComment();
        break;
    case CommandId::ToolStyle:
        popupMenu("pmView", get<TControl>("tbStyle").handle());
        break;
    default:
        break;
    }
}

void TfrmMain::runHelpCommand(CommandId id) {
    switch (id) {
    case CommandId::CheckNewVersion:
        openInBrowser(kProductPage);
        break;
    case CommandId::VisitOnlineFaq:
        openInBrowser(kFaqPage);
        break;
    default:
        // Tip of the day and About show the tip window.
        break;
    }
}

void TfrmMain::selectAllCommand() {
    if (!session_.isLoggedIn()) return;
    HWND list = visibleListView();
    ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
}

void TfrmMain::deleteCommand(int tag) {
    if (!session_.isLoggedIn()) return;
    if (tag == 1002) {
        if (list_.rowCount(EntryView::lvPassword) == 0) return;
        if (!session_.askYesNo(messages_.text(Msg::warndeleteall)) || !session_.isLoggedIn()) {
            return;
        }
        list_.deleteRows(false, {});
    } else {
        const std::vector<int> selected = selectedRows();
        const std::optional<int> current = list_.currentEntry(selected);
        if (selected.empty() || !current) return;
        if (selected.size() == 1) {
            const std::string title = list_.row(EntryView::lvPassword, *current).caption;
            if (!session_.askYesNo(formatText(messages_.text(Msg::warndelete), {title}))) return;
            // The answer counts only for the entry it was asked about.
            if (!session_.isLoggedIn() || list_.currentEntry(selectedRows()) != current) return;
        } else if (!session_.askYesNo(messages_.text(Msg::warndeleteselected)) ||
                   !session_.isLoggedIn()) {
            return;
        }
        list_.deleteRows(true, selectedRows());
    }
    refreshLists();
}

void TfrmMain::undeleteCommand() {
    if (!session_.isLoggedIn()) return;
    const std::vector<int> selected = selectedRows();
    const std::optional<int> current = list_.currentEntry(selected);
    if (!current) return;
    if (list_.undeleteRow(EntryView::lvPassword, *current)) {
        session_.setModified(true);
        refreshLists();
        showRow(EntryView::lvPassword, *current);
    }
}

} // namespace kh
