// What the session asks of the main window: boxes, dialogs, banner and status texts, the
// state of the tool bar, and the entry list model behind the two list views.
#include "tfrm_login.h"
#include "tfrm_main.h"

#include <commctrl.h>

namespace kh {
namespace {

// Opening and saving account files share one filter; the open dialog also lists XML.
constexpr char kAccountFilter[] = "Keyhaven Files|*.khk|XML Files|*.xml|All Files|*.*";

std::string withoutAccelerator(std::string caption) {
    std::string out;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] != '&') continue;
        if (caption[i] == '\t') break;
        out += caption[i];
    }
    return out;
}

} // namespace

bool TfrmMain::yesNoBox(const std::string& caption, const std::string& text) {
    return prompts_.yesNo(caption, text);
}

void TfrmMain::warningBox(const std::string& caption, const std::string& text) {
    if (IsWindowVisible(handle())) SetForegroundWindow(handle());
    prompts_.warning(caption, text);
}

void TfrmMain::setStatusText(const std::string& text) {
    status_ = text;
    if (TControl* bar = control("StatusBar1")) InvalidateRect(bar->handle(), nullptr, FALSE);
}

void TfrmMain::setBanner(const std::string& text) {
    wipeString(banner_); // it may have shown a password
    banner_ = text;
    if (TControl* banner = control("pbAccount")) InvalidateRect(banner->handle(), nullptr, FALSE);
}

void TfrmMain::setBusyCursor(bool busy) {
    SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

FileDialogRequest TfrmMain::accountSaveRequest(const std::string& start, bool backup) const {
    FileDialogRequest request{kAccountFilter, 1, start, true, ""};
    // A backup copy is not a "Save As": its dialog is captioned as its command.
    if (backup) {
        const TMenu* account = menu("pmAccount");
        const TMenuItem* item = account ? account->item("BackupAccountData1") : nullptr;
        request.title = withoutAccelerator(
            item ? item->text() : std::string(commandDef(CommandId::BackupAccountData).caption));
    }
    return request;
}

std::optional<std::string> TfrmMain::saveFileDialog(const std::string& start, bool backup) {
    return fileDialogs_.saveFile(accountSaveRequest(start, backup));
}

std::optional<std::string> TfrmMain::openFileDialog(const std::string& start) {
    return fileDialogs_.openFile({kAccountFilter, 1, start, false, ""});
}

void TfrmMain::sessionStarted(bool) {
    SetTimer(handle(), kGuardTimer, kGuardInterval, nullptr);
    updateToolButtons();
    InvalidateRect(get<TControl>("pbAccount").handle(), nullptr, FALSE);
    for (auto& feature : features_)
        if (feature) feature->sessionStarted();
}

void TfrmMain::sessionEnded() {
    KillTimer(handle(), kPasswordTimer);
    get<TNativeControl>("mmComment").setText("");
    updateToolButtons();
    InvalidateRect(get<TControl>("pbAccount").handle(), nullptr, FALSE);
    for (auto& feature : features_)
        if (feature) feature->sessionEnded();
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
    HWND login = login_->handle();
    if (onTop) {
        SetWindowPos(login, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
    // An owned window can stay topmost through its owner: leave the owner out while the
    // topmost state goes.
    const HWND owner = GetWindow(login, GW_OWNER);
    if (owner) SetWindowLongPtrA(login, GWLP_HWNDPARENT, 0);
    SetWindowPos(login, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (owner) SetWindowLongPtrA(login, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

std::optional<WizardAccount> TfrmMain::runAccountWizard(bool import) {
    if (!services_.runAccountWizard) return std::nullopt;
    return services_.runAccountWizard(import);
}

void TfrmMain::showMainWindow() {
    if (!IsWindowVisible(handle())) ShowWindow(handle(), SW_SHOWNORMAL);
}

} // namespace kh
