#pragma once
// The App composes the program: it owns the models (settings, messages, language, the
// session with its entry list, the Password Guard), the platform services and every
// feature's handler, creates the windows and connects them, and runs the start-up and the
// message loop. Nothing else sees the main window as a whole.
#include "app_state.h"
#include "background_work.h"
#include "command_line.h"
#include "command_table.h"
#include "event.h"
#include "feature_handler.h"
#include "language.h"
#include "message_table.h"
#include "password_guard.h"
#include "session.h"
#include "settings.h"
#include "tfrm_main.h"
#include "win32_services.h"

#include <array>
#include <memory>
#include <string>

namespace kh {

class AccountFeature;
class BrowserFeature;
class ClipboardFeature;
class EntriesFeature;
class HelpFeature;
class InterchangeFeature;
class LanguageFeature;
class SearchFeature;
class SessionFeature;
class TfrmKeyhavenLogin;
class ToolsFeature;
class TrayFeature;

class App : public CommandRunner {
  public:
    // What the session asks of the windows, answered by someone else (tests script the
    // boxes, the account file dialogs, the login and the wizard); null: the program's own.
    struct Overrides {
        Prompts* sessionPrompts = nullptr;
        AccountFileDialogs* accountFiles = nullptr;
        LoginPrompter* login = nullptr;
        AccountWizardPrompter* wizard = nullptr;
    };

    explicit App(AppPaths paths) : App(std::move(paths), Overrides{}) {}
    App(AppPaths paths, Overrides overrides);
    ~App() override;
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Builds the program hidden: settings, the main window, the login dialog, every
    // feature, the language. False when a window could not be created.
    bool create();
    // The start after create: the command line, the crash report, the first show (or the
    // wait for it in the notification area) and the message loop; the exit code.
    int run(const CommandLine& line);
    // The first show: centred in the work area, then the login for `commandLineFile` (or
    // the last account when the Wizard setting is on). False when the program should end.
    bool firstShow(const std::string& commandLineFile);
    // Runs a command as its menu item, tool button or key does.
    void runCommand(CommandId id) override;
    // Which commands are enabled now: for the menus, the tool bar and the tray's menu.
    CommandState commandState();
    // "/UpdateIE", "/ForceIE", "/RemoveIE".
    void runBrowserAction(BrowserAction action);
    // Writes config.ini now (also done when the main window is destroyed).
    void saveSettingsFile();
    // Creates every feature's windows (hidden), for the translators' template.
    void createAllWindows();

    const AppPaths& paths() const { return paths_; }
    Session& session() { return session_; }
    EntryList& entries() { return session_.entries(); }
    Settings& settings() { return settings_; }
    // Raised when the Settings dialog stored new values.
    Event<>& settingsChanged() { return settingsChanged_; }
    MessageTable& messages() { return messages_; }
    QLanguage& language() { return language_; }
    PasswordGuard& guard() { return guard_; }
    Clipboard& clipboard() { return clipboard_; }
    StartState& startState() { return start_; }
    TfrmMain& mainWindow() { return main_; }
    TfrmKeyhavenLogin& loginDialog();

    // The handler of a feature's commands; tests may put their own in its place.
    FeatureHandler* feature(Feature feature) const;
    void setFeature(Feature feature, std::unique_ptr<FeatureHandler> handler);
    SessionFeature& sessionFeature() { return *sessionFeature_; }
    AccountFeature& accountFeature();
    EntriesFeature& entriesFeature();
    ClipboardFeature& clipboardFeature();
    InterchangeFeature& interchangeFeature();
    SearchFeature& searchFeature();
    ToolsFeature& toolsFeature();
    HelpFeature& helpFeature();
    LanguageFeature& languageFeature();
    TrayFeature& trayFeature();
    BrowserFeature& browserFeature();

  private:
    // The main window's boxes: owned by it while it is shown, a warning brings it forward.
    class MainPrompts : public Prompts {
      public:
        explicit MainPrompts(TfrmMain& main);
        bool ask(const std::string& caption, const std::string& text,
                 DefaultButton defaultButton) override;
        void warning(const std::string& caption, const std::string& text) override;
        void information(const std::string& caption, const std::string& text) override;
        int choose(const std::string& caption, const std::string& text,
                   const std::array<std::string, 3>& buttons) override;

      private:
        TfrmMain& main_;
        WindowPrompts prompts_;
    };

    void installFeatures();
    // The main window's boxes, or a test's answers to them.
    Prompts& mainPrompts() {
        return overrides_.sessionPrompts ? *overrides_.sessionPrompts : prompts_;
    }
    void applySettingsToSession();
    void languageLoaded();
    void rememberWindowBounds();
    void restoreWindowBounds();
    // The main window while it is shown (the owner of dialogs), else none.
    HWND visibleMain() const;
    template <class T> T& typed(Feature which) const;

    AppPaths paths_;
    Overrides overrides_;
    // Reads and writes of the account file, off the window's thread.
    WorkerThreadWork backgroundWork_;
    MessageTable messages_;
    QLanguage language_;
    Settings settings_;
    Event<> settingsChanged_;
    StartState start_;
    SystemClipboard clipboard_;
    SystemShell shell_;
    SystemClock clock_;
    // The session and the guard keep references to the main window, which is created
    // after them and gone before them.
    MainPrompts prompts_;
    Session session_;
    PasswordGuard guard_;
    TfrmMain main_;
    WindowFileDialogs fileDialogs_;
    SessionFeature* sessionFeature_ = nullptr; // one of features_, made first
    std::array<std::unique_ptr<FeatureHandler>, static_cast<std::size_t>(Feature::Count)> features_;
    Event<>::Subscription settingsApplied_;
    Event<>::Subscription sessionEnded_;
    Event<>::Subscription rowDoubleClicked_;
    Event<int>::Subscription rowSelected_;
    bool firstShowDone_ = false;
    bool ended_ = false;
};

} // namespace kh
