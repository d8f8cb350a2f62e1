#include "session_feature.h"

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

SessionFeature::SessionFeature(Session& session, const MessageTable& messages,
                               FileDialogs& fileDialogs, std::function<HWND()> owner,
                               std::function<std::string(CommandId)> caption,
                               std::function<void()> endProgram)
    : session_(session), fileDialogs_(fileDialogs), owner_(std::move(owner)),
      caption_(std::move(caption)), endProgram_(std::move(endProgram)), login_(messages),
      logoutWarning_(session, messages) {}

SessionFeature::~SessionFeature() = default;

void SessionFeature::run(CommandId action) {
    switch (action) {
    case CommandId::SaveAccountData:
        session_.saveCommand();
        break;
    case CommandId::SaveAccountAs:
        session_.saveAsCommand();
        break;
    case CommandId::BackupAccountData:
        session_.backupCommand();
        break;
    case CommandId::LogoutCurrentAccount:
        session_.logoutCommand();
        break;
    case CommandId::ToolOpenAccount:
        session_.openExistingCommand();
        break;
    case CommandId::LoginExistingAccount:
        session_.loginExistingCommand();
        break;
    case CommandId::SetupNewAccount:
        session_.newAccountCommand(false);
        break;
    case CommandId::ImportExistingAccount:
        session_.newAccountCommand(true);
        break;
    case CommandId::QuitKeyhaven:
        if (session_.quitCommand() && endProgram_) endProgram_();
        break;
    default:
        break;
    }
}

bool SessionFeature::loginDialogShowing() {
    return login_.isVisible();
}

void SessionFeature::bringLoginDialogToFront() {
    SetForegroundWindow(login_.handle());
}

LoginPrompt SessionFeature::runLoginDialog(const std::string& file, const std::string& name) {
    LoginPrompt prompt;
    login_.prefill(file, name);
    const ModalResult result = login_.showModal(owner_ ? owner_() : nullptr);
    login_.clearPassword();
    prompt.file = login_.keptFile();
    prompt.name = login_.keptName();
    SecretString password = login_.takeKeptPassword();
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

LoginPrompt SessionFeature::waitForLoginDialog(const std::function<bool()>& done) {
    while (login_.isVisible() && login_.modalResult() == ModalResult::None && !done()) {
        if (!processPendingMessages()) break;
        WaitMessage();
    }
    LoginPrompt prompt;
    if (login_.holdsPassword()) {
        prompt.choice = LoginPrompt::Choice::Login;
        prompt.file = login_.keptFile();
        prompt.name = login_.keptName();
        SecretString password = login_.takeKeptPassword();
        prompt.password = password.view();
        password.wipe();
    }
    return prompt;
}

void SessionFeature::setLoginDialogOnTop(bool onTop) {
    HWND login = login_.handle();
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

FileDialogRequest SessionFeature::saveRequest(const std::string& start, bool backup) const {
    FileDialogRequest request{kAccountFilter, 1, start, true, ""};
    // A backup copy is not a "Save As": its dialog is captioned as its command.
    if (backup) {
        request.title = withoutAccelerator(
            caption_ ? caption_(CommandId::BackupAccountData)
                     : std::string(commandDef(CommandId::BackupAccountData).caption));
    }
    return request;
}

std::optional<std::string> SessionFeature::saveFileDialog(const std::string& start, bool backup) {
    return fileDialogs_.saveFile(saveRequest(start, backup));
}

std::optional<std::string> SessionFeature::openFileDialog(const std::string& start) {
    return fileDialogs_.openFile({kAccountFilter, 1, start, false, ""});
}

} // namespace kh
