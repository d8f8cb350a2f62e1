// What the session asks of the main window: boxes, dialogs, banner and status texts, the
// state of the tool bar, and the entry list model behind the two list views.
#include "system_dialogs.h"
#include "tfrm_login.h"
#include "tfrm_main.h"

#include <commctrl.h>

namespace kh {
namespace {

constexpr char kAccountFilter[] = "Keyhaven Files|*.khk|XML Files|*.xml|All Files|*.*";

// Opening and saving account files share one filter; the open dialog also lists XML.
HWND ownerOf(HWND main) {
    return IsWindowVisible(main) ? main : nullptr;
}

} // namespace

bool TfrmMain::yesNoBox(const std::string& caption, const std::string& text) {
    return kh::yesNoBox(ownerOf(handle()), text, caption);
}

void TfrmMain::warningBox(const std::string& caption, const std::string& text) {
    if (IsWindowVisible(handle())) SetForegroundWindow(handle());
    kh::warningBox(ownerOf(handle()), text, caption);
}

void TfrmMain::setStatusText(const std::string& text) {
    status_ = text;
    if (TControl* bar = control("StatusBar1")) InvalidateRect(bar->handle(), nullptr, FALSE);
}

void TfrmMain::setBanner(const std::string& text) {
    secureWipe(banner_.data(), banner_.size()); // it may have shown a password
    banner_ = text;
    if (TControl* banner = control("pbAccount")) InvalidateRect(banner->handle(), nullptr, FALSE);
}

void TfrmMain::setBusyCursor(bool busy) {
    SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

std::optional<std::string> TfrmMain::saveFileDialog(const std::string& start) {
    return kh::saveFileDialog(ownerOf(handle()), {kAccountFilter, 1, start, true});
}

std::optional<std::string> TfrmMain::openFileDialog(const std::string& start) {
    return kh::openFileDialog(ownerOf(handle()), {kAccountFilter, 1, start, false});
}

void TfrmMain::sessionStarted(bool) {
    SetTimer(handle(), kGuardTimer, kGuardInterval, nullptr);
    updateToolButtons();
    InvalidateRect(get<TControl>("pbAccount").handle(), nullptr, FALSE);
}

void TfrmMain::sessionEnded() {
    KillTimer(handle(), kPasswordTimer);
    get<TNativeControl>("mmComment").setText("");
    refreshLists();
    InvalidateRect(get<TControl>("pbAccount").handle(), nullptr, FALSE);
}

void TfrmMain::modifiedChanged(bool) {
    updateToolButtons();
}

void TfrmMain::setLogoRunning(bool running) {
    auto& logo = get<QAnimatedButton>("abButterFly");
    if (running) {
        logo.start();
    } else {
        logo.stop();
    }
}

bool TfrmMain::loginDialogShowing() {
    return login_ && login_->isVisible();
}

void TfrmMain::bringLoginDialogToFront() {
    if (login_) SetForegroundWindow(login_->handle());
}

LoginPrompt TfrmMain::runLoginDialog(const std::string& file, const std::string& name) {
    LoginPrompt prompt;
    login_->prefill(file, name);
    const ModalResult result = login_->showModal(IsWindowVisible(handle()) ? handle() : nullptr);
    login_->clearPassword();
    prompt.file = login_->keptFile();
    prompt.name = login_->keptName();
    SecretString password = login_->takeKeptPassword();
    switch (result) {
    case ModalResult::Ok:
        prompt.choice = LoginPrompt::Choice::Login;
        prompt.password = password.view();
        break;
    case ModalResult::Yes:
        prompt.choice = LoginPrompt::Choice::NewAccount;
        break;
    default:
        prompt.choice = LoginPrompt::Choice::Cancel;
        break;
    }
    password.wipe();
    return prompt;
}

LoginPrompt TfrmMain::waitForLoginDialog(const std::function<bool()>& done) {
    while (login_->isVisible() && login_->modalResult() == ModalResult::None && !done()) {
        if (!processPendingMessages()) break;
        WaitMessage();
    }
    LoginPrompt prompt;
    if (login_->holdsPassword()) {
        prompt.choice = LoginPrompt::Choice::Login;
        prompt.file = login_->keptFile();
        prompt.name = login_->keptName();
        SecretString password = login_->takeKeptPassword();
        prompt.password = password.view();
        password.wipe();
    }
    return prompt;
}

void TfrmMain::setLoginDialogOnTop(bool onTop) {
    SetWindowPos(login_->handle(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::optional<WizardAccount> TfrmMain::runAccountWizard(bool) {
    // The account wizard is a window of its own, not built yet: nothing is created.
    return std::nullopt;
}

void TfrmMain::showMainWindow() {
    if (!IsWindowVisible(handle())) ShowWindow(handle(), SW_SHOWNORMAL);
}

void TfrmMain::clearEntries() {
    for (EntryView view : {EntryView::lvPassword, EntryView::lvSub}) {
        ListView_SetItemState(listView(view), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    }
    list_.clearEntryList();
    refreshLists();
}

void TfrmMain::addLoadedEntries(std::vector<AccountEntry>& entries) {
    for (AccountEntry& entry : entries) {
        list_.addEntryRow(entry.title, entry.data.view(), entry.fileOffset, entry.type,
                          entry.whatsThis, entry.description);
        entry.data.wipe();
    }
    // The login rebuilds the type list next, which refreshes both list views once.
}

std::vector<AccountEntry> TfrmMain::entriesToWrite() {
    return list_.entriesForSave();
}

void TfrmMain::normalizeAfterSave(std::span<const AccountEntry> written) {
    const std::vector<const RowRecord*> master = selectedRecords(EntryView::lvPassword);
    const std::vector<const RowRecord*> sub = selectedRecords(EntryView::lvSub);
    list_.takeSavedOffsets(written);
    refreshLists();
    // Rows of deleted entries are gone; the others keep their selection.
    reselect(EntryView::lvPassword, master);
    reselect(EntryView::lvSub, sub);
}

std::size_t TfrmMain::rowCount() const {
    return static_cast<std::size_t>(list_.rowCount(EntryView::lvPassword));
}

bool TfrmMain::rebuildTypeList() {
    // lvSub gets new rows: nothing of the old selection applies to them.
    ListView_SetItemState(listView(EntryView::lvSub), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const bool rebuilt = list_.rebuildTypeList();
    refreshLists();
    applyCommentRule();
    return rebuilt;
}

} // namespace kh
