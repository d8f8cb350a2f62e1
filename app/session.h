// The account session behind the main window: login, load, save, backup copies, logout and
// the automatic logout. Platform-free: everything it does to the world goes through
// SessionUi, SessionEntries and SessionFiles, which the main window implements and tests
// fake.
#pragma once

#include "account_file.h"
#include "backup.h"
#include "file_system.h"
#include "message_table.h"
#include "secure_memory.h"
#include "session_entries.h"

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
};

// The entry list as the session sees it: the main window implements it on its list model.

// The session's windows and boxes.
class SessionUi {
  public:
    virtual ~SessionUi() = default;
    // A Yes/No box with a warning icon and No as the default; true for Yes.
    virtual bool yesNoBox(const std::string& caption, const std::string& text) = 0;
    // Brings the main window to the front and shows a warning box.
    virtual void warningBox(const std::string& caption, const std::string& text) = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setBanner(const std::string& text) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // The save-file dialog (account filter first, overwrite prompt) and the open-file
    // dialog (account filter), starting at `start`; the chosen name, or none.
    // `backup`: the dialog chooses where a backup copy goes and says so in its caption.
    virtual std::optional<std::string> saveFileDialog(const std::string& start,
                                                      bool backup = false) = 0;
    virtual std::optional<std::string> openFileDialog(const std::string& start) = 0;
    // Login commands and the Save button on, the guard timer running, tray icon logged in.
    virtual void sessionStarted(bool modified) = 0;
    // The same off, the password display stopped, the tray icon back to the program's.
    virtual void sessionEnded() = 0;
    virtual void modifiedChanged(bool modified) = 0;
    virtual void setLogoRunning(bool running) = 0;

    // The login dialog: runs modally prefilled with a file and a name.
    virtual bool loginDialogShowing() = 0;
    virtual void bringLoginDialogToFront() = 0;
    virtual LoginPrompt runLoginDialog(const std::string& file, const std::string& name) = 0;
    // For a browser request while the dialog is already open: processes window messages
    // until it has a result, is hidden or `done` says so; then what it holds (a Login
    // choice only when it holds a password, which it forgets).
    virtual LoginPrompt waitForLoginDialog(const std::function<bool()>& done) = 0;
    virtual void setLoginDialogOnTop(bool onTop) = 0;

    // The account wizard, new or import; none when it was cancelled.
    virtual std::optional<WizardAccount> runAccountWizard(bool import) = 0;
    // Shows the main window if it is hidden.
    virtual void showMainWindow() = 0;
};

// What the main window does when asked to close.
enum class CloseDecision { Close, Refuse, HideToTray };

class Session {
  public:
    Session(SessionUi& ui, SessionEntries& entries, const MessageTable& messages,
            SessionSettings settings = {}, SessionFiles& files = nativeSessionFiles(),
            FileSystem& fs = nativeFileSystem());
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    SessionSettings& settings() { return settings_; }

    // Logged in with a name and a password.
    bool isLoggedIn() const { return loggedIn(); }
    // The user acted (a command, a click in the lists, a menu opened, a browser request):
    // the idle count that leads to the automatic logout starts again. Returns whether an
    // account is logged in.
    bool noteActivity();
    void setModified(bool modified);
    bool loginAccount(const std::string& file, const std::string& name, std::string_view password);
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

    bool askYesNo(const std::string& text);
    void showWarning(const std::string& text);
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

    // State for the main window and the settings file.
    bool modified() const { return modified_; }
    bool busy() const { return busy_; }
    const std::string& fileName() const { return fileName_; }
    const std::string& accountName() const { return accountName_; }
    const SecretString& password() const { return password_; }
    const std::string& passwordDescription() const { return passwordDescription_; }
    const std::string& accountDescription() const { return accountDescription_; }
    void setAccountTexts(std::string passwordDescription, std::string accountDescription);
    void setPassword(std::string_view password) { password_ = password; }
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
    const std::string& lastFileName() const { return lastFileName_; }
    const std::string& lastAccountName() const { return lastAccountName_; }
    void setLast(std::string file, std::string name);
    const std::string& backupFolder() const { return backupFolder_; }
    // From the setting Backup/Path; empty: decided at the first backup.
    void setBackupFolder(std::string folder);

  private:
    bool loggedIn() const;
    void runNewAccount(bool import);
    std::optional<std::string> chooseSaveFile(bool backup = false);
    // Whether the first save may replace what lies at the wizard's file name.
    bool replaceConfirmed();
    void makeBackup(const std::string& file, const std::string& name);
    const std::string& msg(Msg m) const { return messages_.text(m); }

    SessionUi& ui_;
    SessionEntries& entries_;
    const MessageTable& messages_;
    SessionSettings settings_;
    SessionFiles& files_;
    FileSystem& fs_;

    bool loggedIn_ = false;
    std::string fileName_;
    std::string accountName_;
    SecretString password_;
    std::string passwordDescription_;
    std::string accountDescription_;
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
    bool logoRunning_ = false;
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

// "Forgot Your Password?" in the login dialog and the wizard: the text to show for the
// kept file and the name box, or none when nothing is to be shown.
std::optional<std::string> forgotPasswordText(const std::string& file, std::string_view name,
                                              const MessageTable& messages);

} // namespace kh
