// The account session: login, load, save, backup copies, logout and the automatic logout.
// It owns the entry list it loads and saves. Platform-free: it reaches the world through
// small interfaces (its view in the main window, boxes, the account file dialogs, the
// login dialog, the account wizard, files) and tells of its changes through events.
#pragma once

#include "account_file.h"
#include "backup.h"
#include "entry_list.h"
#include "event.h"
#include "file_system.h"
#include "message_table.h"
#include "secure_memory.h"
#include "services.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kh {

// The settings the session works with; the main window copies them in from its settings
// after loading them and after the preferences change.
struct SessionSettings {
    int mainGuard = 20;        // minutes without action before the automatic logout; 0: never
    bool doBackup = true;      // rotating backup copies after saves
    int times = 2;             // a backup copy every this many saves
    bool quitOnClose = false;  // closing the main window ends the program
    bool remember = true;      // saves update the last file and account name
    std::string programFolder; // ends with its separator
};

// What the login dialog hands back when it closes.
struct LoginPrompt {
    enum class Choice { Login, NewAccount, Cancel };
    Choice choice = Choice::Cancel;
    std::string file;
    std::string name;
    SecretString password;
};

// A new or imported account from the account wizard.
struct WizardAccount {
    bool imported = false;
    std::string file; // may be empty for a new account
    std::string name;
    SecretString password;
    std::string passwordDescription;
    std::string accountDescription;
    // A new account's format; an imported one keeps its file's.
    AccountProtection protection = AccountProtection::strongWith();
};

// Runs work that may take seconds (a strong key derivation) off the window's thread and
// returns when it is done, the windows painting meanwhile but taking no input.
class BackgroundWork {
  public:
    virtual ~BackgroundWork() = default;
    virtual void runAndWait(const std::function<void()>& work) = 0;
};

// What the session shows in the main window.
class SessionView {
  public:
    virtual ~SessionView() = default;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setBanner(const std::string& text) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // Shows the main window if it is hidden.
    virtual void showMainWindow() = 0;
};

// The save-file dialog (account filter first, overwrite prompt) and the open-file dialog
// (account filter), starting at `start`; the chosen name, or none. `backup`: the dialog
// chooses where a backup copy goes and says so in its caption.
class AccountFileDialogs {
  public:
    virtual ~AccountFileDialogs() = default;
    virtual std::optional<std::string> saveFileDialog(const std::string& start,
                                                      bool backup = false) = 0;
    virtual std::optional<std::string> openFileDialog(const std::string& start) = 0;
};

// The login dialog.
class LoginPrompter {
  public:
    virtual ~LoginPrompter() = default;
    virtual bool loginDialogShowing() = 0;
    virtual void bringLoginDialogToFront() = 0;
    // Runs the dialog modally, prefilled with a file and a name.
    virtual LoginPrompt runLoginDialog(const std::string& file, const std::string& name) = 0;
    // For a browser request while the dialog is already open: processes window messages
    // until it has a result, is hidden or `done` says so; then what it holds (a Login
    // choice only when it holds a password, which it forgets).
    virtual LoginPrompt waitForLoginDialog(const std::function<bool()>& done) = 0;
    virtual void setLoginDialogOnTop(bool onTop) = 0;
};

// The account wizard, new or import; none when it was cancelled.
class AccountWizardPrompter {
  public:
    virtual ~AccountWizardPrompter() = default;
    virtual std::optional<WizardAccount> runAccountWizard(bool import) = 0;
};

// What the main window does when asked to close.
enum class CloseDecision { Close, Refuse, HideToTray };

class Session {
  public:
    Session(SessionView& view, Prompts& prompts, const MessageTable& messages,
            SessionSettings settings = {}, SessionFiles& files = nativeSessionFiles(),
            FileSystem& fs = nativeFileSystem());
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The windows the session opens, each offered by its feature once it exists; until
    // then (and in tests that leave them out) they count as cancelled.
    void setFileDialogs(AccountFileDialogs* dialogs) { fileDialogs_ = dialogs; }
    void setLoginPrompter(LoginPrompter* login) { login_ = login; }
    void setAccountWizard(AccountWizardPrompter* wizard) { wizard_ = wizard; }
    // Where reads and writes of the account file run; none: on the caller's thread.
    void setBackgroundWork(BackgroundWork* work) { background_ = work; }

    SessionSettings& settings() { return settings_; }
    // The entries of the open account.
    EntryList& entries() { return entries_; }
    const EntryList& entries() const { return entries_; }

    // An account was opened (logged in or made new).
    Event<> OnStarted;
    // The account was logged out (by the user or the idle timer).
    Event<> OnEnded;
    Event<bool> OnModifiedChanged;
    // The logo runs while the user is active.
    Event<bool> OnLogoRunning;
    // The warning before the automatic logout of an account with unsaved changes: raised
    // when it starts and at every guard tick after, with the seconds left.
    Event<int> OnLogoutWarning;
    // The warning is over: the user acted, the changes were saved, or the logout came.
    Event<> OnLogoutWarningEnded;

    // Logged in with a name and a password. Only a query: asking is no user action.
    bool isLoggedIn() const { return loggedIn(); }
    // The user acted (a key, a click, a command, a browser request a person started):
    // the idle count that leads to the automatic logout starts again.
    void noteActivity();
    void setModified(bool modified);
    bool loginAccount(const std::string& file, const std::string& name, std::string_view password);
    // The same with what came of it: a wrong name or password is told apart from a file that
    // cannot be read.
    ReadOutcome login(const std::string& file, const std::string& name, std::string_view password);
    // After a login through the dialog or a wizard import.
    void loadReport(bool loaded);
    void startSession();
    void endSession();
    // True when the caller may go on.
    bool saveAccount(bool logoutAfter, bool remember);
    void logoutCommand();
    bool showLogin(const std::string& file, const std::string& name);
    // The login dialog for the last account used.
    bool showLastLogin();

    bool askYesNo(const std::string& text, DefaultButton defaultButton = DefaultButton::No);
    void showWarning(const std::string& text);
    // A success or a fact in a box with the information icon, and in the status bar.
    void showInformation(const std::string& text);
    void setStatusText(const std::string& text);
    void setBannerText(const std::string& text);

    void saveCommand();
    void saveAsCommand();
    void backupCommand();
    void openExistingCommand();
    void loginExistingCommand();
    void newAccountCommand(bool import);
    // Runs after every new-account command, whatever came of it (the debug start raises
    // its test error here).
    std::function<void()> OnNewAccountFinished;
    // While this says so, showWarning shows nothing (a browser request is being served:
    // a login or a save it sets off fails without a box).
    std::function<bool()> SilenceWarnings;
    // True when the program may end.
    bool quitCommand();
    CloseDecision closeQuery();
    bool queryEndSession();
    // The guard timer, every 2 seconds.
    void guardTick();
    bool logoutWarningShowing() const { return logoutWarning_; }
    // How long before the automatic logout the warning appears: a minute, or half the
    // idle time when that is shorter.
    int logoutWarningLead() const;
    // The workstation was locked or the machine is suspending: nobody is there to answer,
    // so the account is logged out at once, unsaved changes discarded as by the automatic
    // logout (and told at the next login). During a load or save it happens at the next
    // guard tick after it; true when it logged out now.
    bool lockLogout();

    // State for the main window and the settings file.
    bool modified() const { return modified_; }
    // Modified, or a new account that was never written to its file.
    bool hasUnsavedWork() const { return modified_ || neverSaved_; }
    bool busy() const { return busy_; }
    const std::string& fileName() const { return fileName_; }
    const std::string& accountName() const { return accountName_; }
    const SecretString& password() const { return password_; }
    const std::string& passwordDescription() const { return passwordDescription_; }
    const std::string& accountDescription() const { return accountDescription_; }
    void setAccountTexts(std::string passwordDescription, std::string accountDescription);
    void setPassword(std::string_view password) { password_ = password; }
    // The format the account is saved in: the file's after a login, the wizard's choice
    // for a new account.
    const AccountProtection& protection() const { return protection_; }
    // How the account is protected, in the words of the language: "compatible" or
    // "strong (Argon2id, t=3, m=65536 KiB, p=2, AES-256-GCM)".
    std::string protectionName() const;
    // A change of format, applied like a password change: at the next save (modified).
    bool changeProtection(int session, const AccountProtection& protection);
    // Manage Account's protection choice: says which protection the account has and
    // offers the other (going back to compatible warns that it is weak).
    void protectionCommand();
    // The account dialogs' results, applied to the session that opened the dialog and only
    // while it is still logged in (the automatic logout may have struck while the dialog
    // was open): the account is then modified; false and nothing changed otherwise.
    bool changePassword(int session, std::string_view password);
    bool changeAccountInformation(int session, const std::string& name,
                                  std::string passwordDescription, std::string accountDescription);
    // A new account's file came from the wizard, which neither creates nor checks it: the
    // first save asks before it replaces a file that is there.
    bool fileUnconfirmed() const { return fileUnconfirmed_; }
    int sessionNumber() const { return sessionNumber_; }
    int idleSeconds() const { return idleSeconds_; }
    int saveCounter() const { return saveCounter_; }
    int backupNumber() const { return backupNumber_; }
    int crcFailures() const { return crcFailures_; }
    // Records of the last load that had no title and so became no entry.
    int untitledRecords() const { return untitled_; }
    const std::string& lastFileName() const { return lastFileName_; }
    const std::string& lastAccountName() const { return lastAccountName_; }
    void setLast(std::string file, std::string name);
    const std::string& backupFolder() const { return backupFolder_; }
    // From the setting Backup/Path; empty: decided at the first backup.
    void setBackupFolder(std::string folder);

  private:
    bool loggedIn() const;
    void runNewAccount(bool import);
    // What the login dialog's other buttons lead to: a new account, or nothing.
    bool loginDialogClosed(LoginPrompt::Choice choice);
    std::optional<std::string> chooseSaveFile(bool backup = false);
    // Whether the first save may replace what lies at the wizard's file name.
    bool replaceConfirmed();
    // Remembers what the account's file is now (after a load or a save), so that a later
    // save notices a change another program made meanwhile.
    void rememberFile(std::optional<FileFingerprint> seen);
    // The account's file is no longer the one loaded or last saved (and not gone).
    bool changedByAnother() const;
    // The rotating copy of `file` before a save replaces it; false when it failed.
    bool makeBackup(const std::string& file, const std::string& name);
    void setLogoRunning(bool running);
    void endLogoutWarning();
    const std::string& msg(Msg m) const { return messages_.text(m); }
    void runLong(const std::function<void()>& work);

    SessionView& view_;
    Prompts& prompts_;
    AccountFileDialogs* fileDialogs_ = nullptr;
    LoginPrompter* login_ = nullptr;
    AccountWizardPrompter* wizard_ = nullptr;
    BackgroundWork* background_ = nullptr;
    const MessageTable& messages_;
    EntryList entries_;
    Event<>::Subscription edited_;
    Event<bool>::Subscription listBusy_;
    SessionSettings settings_;
    SessionFiles& files_;
    FileSystem& fs_;

    bool loggedIn_ = false;
    std::string fileName_;
    std::string accountName_;
    SecretString password_;
    std::string passwordDescription_;
    std::string accountDescription_;
    AccountProtection protection_;
    bool modified_ = false;
    bool busy_ = false;
    int sessionCounter_ = 0;
    int sessionNumber_ = 0;
    int idleSeconds_ = -1;
    int saveCounter_ = 0;
    int backupNumber_ = 0;
    std::string lastFileName_;
    std::string lastAccountName_;
    std::string backupFolder_;
    int crcFailures_ = 0;
    int untitled_ = 0;
    bool neverSaved_ = false;
    bool statusSaysSaved_ = false;
    // The notice of changes the automatic logout discarded, for the next login.
    std::string discardedByIdle_;
    bool logoRunning_ = false;
    bool logoutWarning_ = false;
    bool lockPending_ = false;
    // The account's file as loaded or last saved: which name, and what it was then.
    std::string seenFile_;
    std::optional<FileFingerprint> seen_;
    bool fileUnconfirmed_ = false;
};

// The account file name for a name chosen in the save-file dialog: ".khk" appended unless
// it already ends so (in any letter case).
std::string withAccountExtension(const std::string& chosen);

// The account name as the login dialog keeps it: blanks and control characters cut at
// both ends.
std::string trimLoginName(std::string_view name);

// The file the login dialog keeps: only one with a readable account header.
std::string loginFileToKeep(const std::string& file);

// "Forgot Your Password?" in the login dialog and the wizard: what to show for the kept
// file and the name box; it always says something.
struct ForgotAnswer {
    std::string text;
    bool found = false; // a stored description (information), else what stands in the way
};
ForgotAnswer forgotPasswordText(const std::string& file, std::string_view name,
                                const MessageTable& messages);

} // namespace kh
