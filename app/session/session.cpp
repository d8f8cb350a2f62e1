#include "session.h"

#include "text_format.h"
#include "text_trim.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace kh {
Session::Session(SessionView& view, Prompts& prompts, const MessageTable& messages,
                 SessionSettings settings, SessionFiles& files, FileSystem& fs)
    : view_(view), prompts_(prompts), messages_(messages),
      edited_(entries_.OnEdited.subscribe([this] { setModified(true); })),
      listBusy_(entries_.OnBusy.subscribe([this](bool busy) { view_.setBusyCursor(busy); })),
      settings_(std::move(settings)), files_(files), fs_(fs) {}

bool Session::loggedIn() const {
    return loggedIn_ && !accountName_.empty() && !password_.empty();
}

void Session::noteActivity() {
    if (!loggedIn()) return;
    idleSeconds_ = 0;
    endLogoutWarning();
}

void Session::endLogoutWarning() {
    if (!logoutWarning_) return;
    logoutWarning_ = false;
    OnLogoutWarningEnded();
}

int Session::logoutWarningLead() const {
    constexpr int kLeadSeconds = 60;
    return std::min(kLeadSeconds, settings_.mainGuard * 60 / 2);
}

bool Session::lockLogout() {
    if (!loggedIn()) return false;
    if (busy_) {
        lockPending_ = true;
        return false;
    }
    lockPending_ = false;
    if (hasUnsavedWork()) discardedByIdle_ = formatText(msg(Msg::lockdiscarded), {accountName_});
    endSession();
    return true;
}

void Session::setModified(bool modified) {
    if (!loggedIn()) return;
    modified_ = modified;
    // "Successfully Saved!" is no longer true once the account changes again.
    if (modified && statusSaysSaved_) setStatusText("");
    OnModifiedChanged(modified);
}

void Session::setAccountTexts(std::string passwordDescription, std::string accountDescription) {
    passwordDescription_ = std::move(passwordDescription);
    accountDescription_ = std::move(accountDescription);
}

void Session::setLast(std::string file, std::string name) {
    lastFileName_ = std::move(file);
    lastAccountName_ = std::move(name);
}

void Session::setBackupFolder(std::string folder) {
    // The copies are named by appending to the folder, so it must end with a separator.
    if (!folder.empty() && folderOf(folder, files_.separators()).size() != folder.size())
        folder += files_.separator();
    backupFolder_ = std::move(folder);
}

bool Session::loginAccount(const std::string& file, const std::string& name,
                           std::string_view password) {
    return login(file, name, password) == ReadOutcome::Loaded;
}

ReadOutcome Session::login(const std::string& file, const std::string& name,
                           std::string_view password) {
    if (busy_ || loggedIn()) return ReadOutcome::NotOpened;
    crcFailures_ = 0;
    untitled_ = 0;
    if (name.empty() || file.empty() || password.empty()) return ReadOutcome::NotOpened;

    busy_ = true;
    view_.setBusyCursor(true);
    LoadedAccount loaded;
    ReadOutcome outcome = ReadOutcome::NotOpened;
    // Taken before the read: a change while it reads makes the next save ask.
    std::optional<FileFingerprint> seen = fingerprintFile(file);
    runLong([&] { outcome = readAccountFile(file, name, password, loaded); });
    if (outcome == ReadOutcome::NotOpened) {
        busy_ = false;
        view_.setBusyCursor(false);
        showWarning(formatText(msg(Msg::loadfailed), {file}));
        return outcome;
    }

    entries_.clearEntryList();
    fileName_ = file;
    fileUnconfirmed_ = false;
    if (outcome != ReadOutcome::Loaded) {
        loggedIn_ = false;
        accountName_.clear();
        password_.wipe();
        passwordDescription_.clear();
        accountDescription_.clear();
        busy_ = false;
        view_.setBusyCursor(false);
        // A mistyped password must not read like a damaged file, and a damaged strong file
        // has only its backup copies to turn to.
        const std::optional<AccountProtection> format = readAccountProtection(file);
        const Msg message = outcome == ReadOutcome::WrongCredentials ? Msg::wrongcredentials
                            : format && format->isStrong()           ? Msg::strongdamaged
                                                                     : Msg::loadfailed;
        showWarning(formatText(msg(message), {file}));
        return outcome;
    }

    accountName_ = name;
    password_ = password;
    rememberFile(std::move(seen));
    passwordDescription_ = loaded.account.passwordDescription;
    accountDescription_ = loaded.account.accountDescription;
    protection_ = loaded.account.protection;
    crcFailures_ = loaded.droppedRecords;
    // A record without a title cannot become a row and would be gone after the next
    // save: the load report says so.
    const std::size_t offered = loaded.entries.size();
    const int added = entries_.addLoadedEntries(loaded.entries);
    untitled_ = static_cast<int>(offered - static_cast<std::size_t>(std::max(added, 0)));
    loggedIn_ = true;
    entries_.setOpen(true);
    modified_ = false;
    setLast(fileName_, accountName_);
    startSession();
    entries_.rebuildTypeList();
    setStatusText(formatText(msg(Msg::loadok), {accountName_}));
    view_.setBusyCursor(false);
    busy_ = false;
    return ReadOutcome::Loaded;
}

void Session::loadReport(bool loaded) {
    if (!loaded) return;
    // What the automatic logout threw away is told once, at the next login.
    if (!discardedByIdle_.empty()) showWarning(std::exchange(discardedByIdle_, std::string()));
    if (crcFailures_ > 0) showWarning(formatText(msg(Msg::crcerror), {crcFailures_}));
    if (untitled_ > 0) showWarning(formatText(msg(Msg::untitledskipped), {untitled_}));
    const std::size_t rows = entries_.entryCount();
    if (rows > 0) setBannerText(formatText(msg(Msg::itemcount), {accountName_, rows}));
}

void Session::startSession() {
    idleSeconds_ = 0;
    sessionNumber_ = ++sessionCounter_;
    saveCounter_ = 0;
    backupNumber_ = 0;
    OnStarted();
    view_.setBanner(accountName_);
    setLogoRunning(true);
}

void Session::setLogoRunning(bool running) {
    logoRunning_ = running;
    OnLogoRunning(running);
}

void Session::endSession() {
    endLogoutWarning();
    lockPending_ = false;
    modified_ = false;
    neverSaved_ = false;
    loggedIn_ = false;
    entries_.setOpen(false);
    ++sessionCounter_;
    sessionNumber_ = 0;
    fileName_.clear();
    fileUnconfirmed_ = false;
    seenFile_.clear();
    seen_.reset();
    wipeString(accountName_);
    password_.wipe();
    wipeString(passwordDescription_);
    wipeString(accountDescription_);
    protection_ = AccountProtection{};
    saveCounter_ = 0;
    backupNumber_ = 0;
    entries_.clearEntryList();
    OnEnded();
    setStatusText(msg(Msg::prompting));
    view_.setBanner(msg(Msg::prompting));
    setLogoRunning(false);
    idleSeconds_ = -1;
}

std::optional<std::string> Session::chooseSaveFile(bool backup) {
    std::optional<std::string> chosen =
        fileDialogs_ ? fileDialogs_->saveFileDialog(fileName_, backup) : std::nullopt;
    if (chosen && chosen->empty()) chosen.reset();
    if (chosen) *chosen = withAccountExtension(*chosen);
    return chosen;
}

bool Session::saveAccount(bool logoutAfter, bool remember) {
    if (busy_) return false;
    if (!isLoggedIn() || !hasUnsavedWork()) {
        if (logoutAfter) endSession();
        return logoutAfter;
    }

    const int session = sessionNumber_;
    bool askSave = logoutAfter;
    bool needFile = fileName_.empty();
    if (!needFile) {
        if (askSave && !askYesNo(msg(Msg::querysave), DefaultButton::Yes)) {
            endSession();
            return true;
        }
        askSave = false;
        if (!replaceConfirmed()) {
            // The automatic logout may have run while the question was open.
            if (sessionNumber_ != session) return logoutAfter;
            needFile = true; // keep that file: another name, through the save dialog
        } else if (changedByAnother()) {
            const int choice =
                prompts_.choose(msg(Msg::warning), formatText(msg(Msg::filechanged), {fileName_}),
                                {msg(Msg::filechangedsave), msg(Msg::filechangedsaveas),
                                 msg(Msg::filechangedcancel)});
            if (sessionNumber_ != session) return logoutAfter;
            if (choice == 2) return false;
            needFile = choice == 1;
        }
    }
    if (needFile) {
        std::optional<std::string> chosen;
        for (;;) {
            if (askSave && !askYesNo(msg(Msg::querysave), DefaultButton::Yes)) {
                endSession();
                return true;
            }
            askSave = logoutAfter;
            chosen = chooseSaveFile();
            // The automatic logout may have run while the dialog was open: nothing to save.
            if (sessionNumber_ != session) return logoutAfter;
            if (chosen || !logoutAfter) break;
        }
        if (!chosen) return true;
        fileName_ = *chosen;
        fileUnconfirmed_ = false; // the save dialog asks before it replaces a file
    }

    busy_ = true;
    view_.setBusyCursor(true);
    // The rotating copy keeps the file as it was before this save.
    const bool backupDue = settings_.doBackup && saveCounter_ >= 0 && settings_.times >= 1 &&
                           saveCounter_ % settings_.times == 0;
    const bool backedUp = !backupDue || fs_.pathKind(fileName_) != PathKind::File ||
                          makeBackup(fileName_, accountName_);
    Account account;
    account.name = accountName_;
    account.password = password_;
    account.accountDescription = accountDescription_;
    account.passwordDescription = passwordDescription_;
    account.protection = protection_;
    std::vector<AccountEntry> rows = entries_.entriesForSave();
    SaveOutcome outcome = SaveOutcome::Failed;
    runLong([&] { outcome = writeAccountFile(fileName_, account, rows, fs_); });
    if (outcome != SaveOutcome::Saved) {
        // A file that cannot be opened for writing is as much a failed save as one that
        // breaks off: the user must learn that nothing was written.
        busy_ = false;
        view_.setBusyCursor(false);
        showWarning(formatText(msg(Msg::savefailed), {fileName_}));
        return false;
    }

    setModified(false);
    fileUnconfirmed_ = false;
    neverSaved_ = false;
    rememberFile(fingerprintFile(fileName_));
    ++saveCounter_;
    if (remember) setLast(fileName_, accountName_);
    setStatusText(msg(Msg::saveok));
    statusSaysSaved_ = true;
    view_.setBusyCursor(false);

    if (logoutAfter)
        endSession();
    else
        entries_.takeSavedOffsets(rows);
    if (!backedUp) showWarning(formatText(msg(Msg::backupfailed), {backupFolder_}));
    busy_ = false;
    return true;
}

void Session::rememberFile(std::optional<FileFingerprint> seen) {
    seenFile_ = fileName_;
    seen_ = std::move(seen);
}

bool Session::changedByAnother() const {
    // A file saved under another name (Save As, a backup copy) is compared with nothing.
    if (!seen_ || fileName_ != seenFile_) return false;
    const std::optional<FileFingerprint> now = fingerprintFile(fileName_);
    return now && *now != *seen_;
}

bool Session::replaceConfirmed() {
    if (!fileUnconfirmed_ || fs_.pathKind(fileName_) != PathKind::File) return true;
    if (!askYesNo(formatText(msg(Msg::queryreplacefile), {fileName_}))) return false;
    fileUnconfirmed_ = false;
    return true;
}

bool Session::makeBackup(const std::string& file, const std::string& name) {
    if (backupFolder_.empty())
        backupFolder_ = defaultBackupFolder(file, settings_.programFolder, files_);
    if (!files_.folderExists(backupFolder_) && !files_.createFolders(backupFolder_)) return false;
    backupNumber_ = backupSlot(backupFolder_, name, files_);
    return files_.copyFile(file, backupFileName(backupFolder_, name, backupNumber_));
}

void Session::logoutCommand() {
    if (!isLoggedIn()) {
        entries_.clearEntryList();
        return;
    }
    if (askYesNo(msg(Msg::querylogout))) saveAccount(true, settings_.remember);
}

bool Session::showLogin(const std::string& file, const std::string& name) {
    if (!login_) return false;
    if (login_->loginDialogShowing()) {
        login_->bringLoginDialogToFront();
        return false;
    }
    std::string keptFile = loginFileToKeep(file);
    std::string keptName = name;
    for (;;) {
        LoginPrompt result = login_->runLoginDialog(keptFile, keptName);
        if (result.choice != LoginPrompt::Choice::Login) return loginDialogClosed(result.choice);
        const ReadOutcome outcome =
            login(result.file, trimLoginName(result.name), result.password.view());
        result.password.wipe();
        // A mistyped name or password: straight back to the dialog, the name kept and the
        // password to type again.
        if (outcome == ReadOutcome::WrongCredentials && !loggedIn()) {
            keptFile = result.file;
            keptName = result.name;
            continue;
        }
        loadReport(outcome == ReadOutcome::Loaded);
        return outcome == ReadOutcome::Loaded;
    }
}

bool Session::loginDialogClosed(LoginPrompt::Choice choice) {
    switch (choice) {
    case LoginPrompt::Choice::Login:
        break;
    case LoginPrompt::Choice::NewAccount:
        view_.showMainWindow();
        newAccountCommand(false);
        return loggedIn();
    case LoginPrompt::Choice::Cancel:
        break;
    }
    return false;
}

bool Session::showLastLogin() {
    return showLogin(lastFileName_, lastAccountName_);
}

bool Session::askYesNo(const std::string& text, DefaultButton defaultButton) {
    const int session = sessionNumber_;
    const bool yes = prompts_.ask(msg(Msg::warning), text, defaultButton);
    return yes && sessionNumber_ == session;
}

void Session::showWarning(const std::string& text) {
    if (SilenceWarnings && SilenceWarnings()) return;
    setStatusText(text);
    prompts_.warning(msg(Msg::warning), text);
}

void Session::showInformation(const std::string& text) {
    if (SilenceWarnings && SilenceWarnings()) return;
    setStatusText(text);
    prompts_.information(msg(Msg::apptitle), text);
}

void Session::setStatusText(const std::string& text) {
    statusSaysSaved_ = false;
    view_.setStatusText(text);
}

void Session::setBannerText(const std::string& text) {
    view_.setBanner(text.empty() && loggedIn() ? accountName_ : text);
}

void Session::saveCommand() {
    if (isLoggedIn()) saveAccount(false, settings_.remember);
}

void Session::saveAsCommand() {
    if (!isLoggedIn()) return;
    const int session = sessionNumber_;
    const std::optional<std::string> chosen = chooseSaveFile();
    if (!chosen || sessionNumber_ != session || !loggedIn()) return;
    fileName_ = *chosen;
    fileUnconfirmed_ = false;
    setModified(true);
    saveAccount(false, settings_.remember);
}

void Session::backupCommand() {
    if (!isLoggedIn()) return;
    const int session = sessionNumber_;
    const std::optional<std::string> chosen = chooseSaveFile(true);
    if (!chosen || sessionNumber_ != session || !loggedIn()) return;
    // A copy over the file it copies would be no copy at all (and the account's own file
    // would then hold a save the user did not ask for).
    if (*chosen == fileName_ || files_.sameFile(*chosen, fileName_)) {
        showWarning(msg(Msg::backupsame));
        return;
    }

    const std::string ownFile = fileName_;
    const bool wasModified = modified_;
    const bool wasNeverSaved = neverSaved_;
    const bool ownFileUnconfirmed = fileUnconfirmed_;
    // The copy's save must not stand for the account's own file.
    const std::string seenFile = seenFile_;
    const std::optional<FileFingerprint> seen = seen_;
    fileName_ = *chosen;
    fileUnconfirmed_ = false; // the save dialog asked about the copy's file
    setModified(true);
    saveCounter_ = -1; // a copy on request is no save of the account: no rotating backup
    saveAccount(false, false);
    if (loggedIn() && sessionNumber_ == session) {
        fileName_ = ownFile;
        fileUnconfirmed_ = ownFileUnconfirmed;
        seenFile_ = seenFile;
        seen_ = seen;
        // The account's own file is as it was, whether or not the copy was written.
        neverSaved_ = wasNeverSaved;
        setModified(wasModified);
        setLast(fileName_, accountName_);
        saveCounter_ = 1;
    }
}

void Session::openExistingCommand() {
    if (isLoggedIn()) logoutCommand();
    if (!loggedIn()) showLastLogin();
}

void Session::loginExistingCommand() {
    logoutCommand();
    if (loggedIn()) return;
    const std::optional<std::string> chosen =
        fileDialogs_ ? fileDialogs_->openFileDialog("") : std::nullopt;
    if (chosen && !chosen->empty()) showLogin(*chosen, "");
}

void Session::newAccountCommand(bool import) {
    runNewAccount(import);
    if (OnNewAccountFinished) OnNewAccountFinished();
}

void Session::runNewAccount(bool import) {
    if (busy_) return;
    if (isLoggedIn()) logoutCommand();
    if (loggedIn()) return;
    std::optional<WizardAccount> account =
        wizard_ ? wizard_->runAccountWizard(import) : std::nullopt;
    if (!account || account->name.empty() || account->password.empty()) return;
    if (account->imported) {
        const bool loaded = loginAccount(account->file, account->name, account->password.view());
        loadReport(loaded);
        return;
    }
    // A browser request may have logged in while the wizard was open.
    if (loggedIn() || busy_) return;
    loggedIn_ = true;
    entries_.setOpen(true);
    fileName_ = account->file;
    fileUnconfirmed_ = !fileName_.empty();
    accountName_ = account->name;
    password_ = account->password;
    passwordDescription_ = account->passwordDescription;
    accountDescription_ = account->accountDescription;
    protection_ = account->protection;
    neverSaved_ = true;
    setModified(true);
    setStatusText("");
    startSession();
}

bool Session::changePassword(int session, std::string_view password) {
    if (session != sessionNumber_ || !loggedIn() || password.empty()) return false;
    password_ = password;
    setModified(true);
    return true;
}

bool Session::changeProtection(int session, const AccountProtection& protection) {
    if (session != sessionNumber_ || !loggedIn()) return false;
    if (protection == protection_) return true;
    protection_ = protection;
    setModified(true);
    return true;
}

void Session::protectionCommand() {
    if (!isLoggedIn()) return;
    const int session = sessionNumber_;
    if (protection_.isStrong()) {
        if (askYesNo(formatText(msg(Msg::protectionstrong), {protectionName()})))
            changeProtection(session, AccountProtection::compatible());
        return;
    }
    if (askYesNo(msg(Msg::protectioncompatible), DefaultButton::Yes))
        changeProtection(session, AccountProtection::strongWith());
}

std::string Session::protectionName() const {
    if (!protection_.isStrong()) return msg(Msg::protectionnamecompatible);
    const StrongParameters& p = protection_.strong;
    return formatText(msg(Msg::protectionnamestrong), {p.iterations, p.memoryKiB, p.lanes});
}

void Session::runLong(const std::function<void()>& work) {
    if (background_)
        background_->runAndWait(work);
    else
        work();
}

bool Session::changeAccountInformation(int session, const std::string& name,
                                       std::string passwordDescription,
                                       std::string accountDescription) {
    if (session != sessionNumber_ || !loggedIn() || name.empty()) return false;
    wipeString(accountName_);
    accountName_ = name;
    wipeString(passwordDescription_);
    passwordDescription_ = std::move(passwordDescription);
    wipeString(accountDescription_);
    accountDescription_ = std::move(accountDescription);
    setModified(true);
    setBannerText(accountName_);
    return true;
}

bool Session::quitCommand() {
    if (isLoggedIn() && hasUnsavedWork()) {
        if (askYesNo(msg(Msg::queryquit))) saveAccount(true, settings_.remember);
        if (isLoggedIn()) return false;
    }
    return true;
}

CloseDecision Session::closeQuery() {
    if (!settings_.quitOnClose) return CloseDecision::HideToTray;
    return quitCommand() ? CloseDecision::Close : CloseDecision::Refuse;
}

bool Session::queryEndSession() {
    return quitCommand();
}

void Session::guardTick() {
    if (busy_ || idleSeconds_ < 0 || !loggedIn()) return;
    if (lockPending_) {
        lockLogout();
        return;
    }
    idleSeconds_ += 2;
    const int limit = settings_.mainGuard * 60;
    if (settings_.mainGuard > 0 && idleSeconds_ >= limit) {
        if (hasUnsavedWork())
            discardedByIdle_ =
                formatText(msg(Msg::idlediscarded), {settings_.mainGuard, accountName_});
        endSession();
        return;
    }
    // Only unsaved work is worth a warning; a save meanwhile ends it.
    if (settings_.mainGuard > 0 && hasUnsavedWork() &&
        idleSeconds_ >= limit - logoutWarningLead()) {
        logoutWarning_ = true;
        OnLogoutWarning(limit - idleSeconds_);
    } else {
        endLogoutWarning();
    }
    if (idleSeconds_ > 6 && logoRunning_) {
        setLogoRunning(false);
    } else if (idleSeconds_ < 4 && !logoRunning_) {
        setLogoRunning(true);
    }
}

std::string withAccountExtension(const std::string& chosen) {
    const std::size_t folderEnd = chosen.find_last_of("\\/:");
    const std::size_t dot = chosen.rfind('.');
    if (dot != std::string::npos && (folderEnd == std::string::npos || dot > folderEnd)) {
        std::string extension = chosen.substr(dot);
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (extension == ".khk") return chosen;
    }
    return chosen + ".khk";
}

std::string trimLoginName(std::string_view name) {
    return std::string(trimBlanks(name));
}

std::string loginFileToKeep(const std::string& file) {
    std::string description;
    return !file.empty() && readAccountDescription(file, description) ? file : std::string();
}

ForgotAnswer forgotPasswordText(const std::string& file, std::string_view name,
                                const MessageTable& messages) {
    if (file.empty()) return {messages.text(Msg::warnimport)};
    std::string description;
    if (!readAccountDescription(file, description))
        return {formatText(messages.text(Msg::warnaccess), {file})};
    const std::string trimmed = trimLoginName(name);
    if (trimmed.empty())
        return {formatText(messages.text(Msg::warnforgotaccount), {description}), true};
    if (!readPasswordDescription(file, trimmed, description))
        return {formatText(messages.text(Msg::unknownaccount), {trimmed})};
    return {formatText(messages.text(Msg::warnforgot), {trimmed, description}), true};
}

} // namespace kh
