#include "app.h"

#include "account_feature.h"
#include "app_folders.h"
#include "browser_feature.h"
#include "clipboard_feature.h"
#include "crash_reporter.h"
#include "entries_feature.h"
#include "help_feature.h"
#include "interchange_feature.h"
#include "interchange_texts.h"
#include "language_feature.h"
#include "profile_store.h"
#include "search_feature.h"
#include "session_feature.h"
#include "text_format.h"
#include "tfrm_login.h"
#include "tfrm_show_bug.h"
#include "tools_feature.h"
#include "tray_feature.h"
#include "win32/error_boundary.h"

#include <wtsapi32.h>

#include <cstdint>
#include <cstdlib>

namespace kh {
namespace {

// The error a "/DEBUG" start raises once, to show that the crash report works.
[[noreturn]] __attribute__((noinline)) void raiseDebugTestError() {
    throw AddressedError("Debug Application!\nCheck is the debug window running correctly!",
                         reinterpret_cast<std::uintptr_t>(
                             __builtin_extract_return_addr(__builtin_return_address(0))));
}

} // namespace

App::MainPrompts::MainPrompts(TfrmMain& main)
    : main_(main), prompts_([&main] {
          // Boxes of a hidden main window have no owner, or they would be hidden too.
          return IsWindowVisible(main.handle()) ? main.handle() : nullptr;
      }) {}

bool App::MainPrompts::ask(const std::string& caption, const std::string& text,
                           DefaultButton defaultButton) {
    return prompts_.ask(caption, text, defaultButton);
}

void App::MainPrompts::warning(const std::string& caption, const std::string& text) {
    if (IsWindowVisible(main_.handle())) SetForegroundWindow(main_.handle());
    prompts_.warning(caption, text);
}

void App::MainPrompts::information(const std::string& caption, const std::string& text) {
    if (IsWindowVisible(main_.handle())) SetForegroundWindow(main_.handle());
    prompts_.information(caption, text);
}

int App::MainPrompts::choose(const std::string& caption, const std::string& text,
                             const std::array<std::string, 3>& buttons) {
    if (IsWindowVisible(main_.handle())) SetForegroundWindow(main_.handle());
    return prompts_.choose(caption, text, buttons);
}

App::App(AppPaths paths, Overrides overrides)
    : paths_(std::move(paths)), overrides_(overrides), prompts_(main_),
      session_(main_, overrides_.sessionPrompts ? *overrides_.sessionPrompts : prompts_, messages_),
      guard_(clipboard_, main_,
             [this] {
                 return GuardOptions{settings_.guard, settings_.guardTime, settings_.minimize};
             }),
      main_(session_, settings_, messages_, *this, [this] { return commandState(); }),
      fileDialogs_([this] { return visibleMain(); }) {}

App::~App() {
    // The framework's hooks must not reach this object once it is gone (a window made
    // later, as in a test that outlives this App, would call into freed memory).
    TForm::onFormCreated() = nullptr;
    TForm::onUserActivity() = nullptr;
    // The handlers' windows go before the models they show.
    rowSelected_.reset();
    rowDoubleClicked_.reset();
    for (auto& feature : features_)
        feature.reset();
    session_.entries().clearEntryList();
}

HWND App::visibleMain() const {
    HWND main = main_.handle();
    return main && IsWindowVisible(main) ? main : nullptr;
}

TfrmKeyhavenLogin& App::loginDialog() {
    return sessionFeature_->loginDialog();
}

FeatureHandler* App::feature(Feature which) const {
    return features_[static_cast<std::size_t>(which)].get();
}

void App::setFeature(Feature which, std::unique_ptr<FeatureHandler> handler) {
    if (which == Feature::Session) sessionFeature_ = dynamic_cast<SessionFeature*>(handler.get());
    features_[static_cast<std::size_t>(which)] = std::move(handler);
}

template <class T> T& App::typed(Feature which) const {
    return dynamic_cast<T&>(*feature(which));
}

AccountFeature& App::accountFeature() {
    return typed<AccountFeature>(Feature::Account);
}
EntriesFeature& App::entriesFeature() {
    return typed<EntriesFeature>(Feature::Entries);
}
ClipboardFeature& App::clipboardFeature() {
    return typed<ClipboardFeature>(Feature::Clipboard);
}
InterchangeFeature& App::interchangeFeature() {
    return typed<InterchangeFeature>(Feature::Interchange);
}
SearchFeature& App::searchFeature() {
    return typed<SearchFeature>(Feature::Search);
}
ToolsFeature& App::toolsFeature() {
    return typed<ToolsFeature>(Feature::Tools);
}
HelpFeature& App::helpFeature() {
    return typed<HelpFeature>(Feature::Help);
}
LanguageFeature& App::languageFeature() {
    return typed<LanguageFeature>(Feature::Language);
}
TrayFeature& App::trayFeature() {
    return typed<TrayFeature>(Feature::Tray);
}
BrowserFeature& App::browserFeature() {
    return typed<BrowserFeature>(Feature::Browser);
}

void App::applySettingsToSession() {
    SessionSettings& s = session_.settings();
    s.mainGuard = settings_.mainGuard;
    s.doBackup = settings_.doBackup;
    s.times = settings_.times;
    s.quitOnClose = settings_.quit;
    s.remember = settings_.remember;
    s.programFolder = paths_.programFolder;
}

bool App::create() {
    Win32ProfileStore store(paths_.profileFolder + kSettingsFileName);
    settings_ = loadSettings(store, win32Folders());
    applySettingsToSession();
    // The Settings dialog's OK: the session takes its copies, and config.ini is written at
    // once (a crash or a power cut must not cost the user the choices just made).
    settingsApplied_ = settingsChanged_.subscribe([this] {
        applySettingsToSession();
        saveSettingsFile();
    });
    // A logout takes the guarded secret off the clipboard with the account.
    sessionEnded_ = session_.OnEnded.subscribe([this] { guard_.clearGuarded(); });
    session_.setLast(settings_.last, settings_.lastTitle);
    session_.setBackupFolder(settings_.backupPath);

    // Every window is translated once its controls exist, with its class name as section.
    TForm::onFormCreated() = [this](TForm& form) {
        language_.translateWindow(&form, form.className(), true);
    };
    // Keys and clicks in any window of the program count as the user's action.
    TForm::onUserActivity() = [this] { session_.noteActivity(); };

    if (!main_.create()) return false;
    // The end of the main window is the end of the run: config.ini is written then, and
    // also when Windows ends the user's session.
    // A locked workstation or a sleeping machine leaves no account open behind it.
    WTSRegisterSessionNotification(main_.handle(), NOTIFY_FOR_THIS_SESSION);
    main_.addMessageHook([this](UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
        if ((msg == WM_WTSSESSION_CHANGE && wParam == WTS_SESSION_LOCK) ||
            (msg == WM_POWERBROADCAST && wParam == PBT_APMSUSPEND)) {
            if (settings_.lockLogout) session_.lockLogout();
            result = TRUE;
            return true;
        }
        if (msg == WM_QUERYENDSESSION) {
            const bool allowed = session_.queryEndSession();
            if (allowed) {
                rememberWindowBounds();
                saveSettingsFile();
            }
            result = allowed ? TRUE : FALSE;
            return true;
        }
        if (msg == WM_DESTROY && !ended_) {
            ended_ = true;
            guard_.clearGuarded();
            rememberWindowBounds();
            WTSUnRegisterSessionNotification(main_.handle());
            saveSettingsFile();
            PostQuitMessage(0);
        }
        return false;
    });

    restoreWindowBounds();
    installFeatures();
    if (!sessionFeature_->create()) return false;

    // The language: English messages enter the template, then the chosen file or
    // default.lng is loaded.
    messages_.addDefaultsTo(language_);
    language_.OnLanguageLoaded = [this](QLanguage&) { languageLoaded(); };
    if (!settings_.language.empty() && fileExists(settings_.language)) {
        language_.setLanguage(settings_.language);
    } else if (fileExists(paths_.programFolder + "default.lng")) {
        language_.setLanguage(paths_.programFolder + "default.lng");
    }
    return true;
}

void App::installFeatures() {
    const auto mainHandle = [this] { return main_.handle(); };
    const auto owner = [this] { return visibleMain(); };
    const auto texts = [this] {
        return interchangeTexts(messages_, !language_.language().empty());
    };
    CommandBar& bar = main_.commandBar();

    auto session = std::make_unique<SessionFeature>(
        session_, messages_, fileDialogs_, owner,
        [&bar](CommandId id) { return bar.commandCaption(id); },
        [this] { DestroyWindow(main_.handle()); });
    sessionFeature_ = session.get();
    session_.setFileDialogs(overrides_.accountFiles ? overrides_.accountFiles : session.get());
    session_.setLoginPrompter(overrides_.login ? overrides_.login : session.get());
    session_.setBackgroundWork(&backgroundWork_);
    features_[static_cast<std::size_t>(Feature::Session)] = std::move(session);
    TfrmKeyhavenLogin& login = sessionFeature_->loginDialog();

    setFeature(Feature::Entries,
               std::make_unique<EntriesFeature>(session_, messages_, clipboard_, guard_, clock_,
                                                main_, mainHandle));
    auto clipboard = std::make_unique<ClipboardFeature>(session_, settings_, messages_, clipboard_,
                                                        guard_, shell_, main_, texts, *this);
    rowDoubleClicked_ = main_.lists().OnRowDoubleClicked.subscribe(
        [feature = clipboard.get()] { feature->rowDoubleClicked(); });
    setFeature(Feature::Clipboard, std::move(clipboard));
    auto account = std::make_unique<AccountFeature>(session_, messages_, clipboard_, guard_, owner);
    session_.setAccountWizard(overrides_.wizard ? overrides_.wizard : account.get());
    setFeature(Feature::Account, std::move(account));
    setFeature(Feature::Interchange,
               std::make_unique<InterchangeFeature>(session_, messages_, clipboard_, guard_,
                                                    fileDialogs_, texts, main_));
    auto search = std::make_unique<SearchFeature>(session_, messages_, main_, mainHandle);
    rowSelected_ = main_.lists().OnRowSelected.subscribe(
        [feature = search.get()](int row) { feature->rowSelected(row); });
    setFeature(Feature::Search, std::move(search));

    // The tray comes before the tools, whose Settings dialog takes its hotkey away.
    TMenu& trayMenu = bar.addCommandMenu("pmTray", MenuId::Tray, MenuId::TrayManageAccount);
    // The window's texts were collected for translation when it was created; the menu's
    // join them now.
    for (TMenuItem* item : trayMenu.items())
        language_.translateWindow(item, main_.className(), true);
    auto tray = std::make_unique<TrayFeature>(session_, settings_, settingsChanged_, messages_,
                                              start_, main_, main_, login, trayMenu,
                                              [this] { return commandState(); });
    TrayFeature& trayRef = *tray;
    main_.OnHideToTray = [&trayRef] { trayRef.resident().minimizeToTray(); };
    main_.OnRestoreFromTray = [&trayRef] { trayRef.resident().restoreFromTray(); };
    setFeature(Feature::Tray, std::move(tray));

    setFeature(Feature::Tools, std::make_unique<ToolsFeature>(
                                   session_, settings_, settingsChanged_, messages_, clipboard_,
                                   guard_, fileDialogs_, trayRef, main_, paths_, owner));
    auto language = std::make_unique<LanguageFeature>(paths_, settings_, language_, shell_,
                                                      mainPrompts(), messages_, bar, mainHandle);
    setFeature(Feature::Language, std::move(language));
    setFeature(Feature::Browser,
               std::make_unique<BrowserFeature>(session_, settings_, settingsChanged_, messages_,
                                                paths_, start_, main_, *sessionFeature_, login));
    setFeature(Feature::Help, std::make_unique<HelpFeature>(language_, settings_.tip, shell_,
                                                            mainPrompts(), messages_, [this] {
                                                                return feature(Feature::Browser) &&
                                                                       browserFeature().serving();
                                                            }));
}

void App::createAllWindows() {
    for (auto& handler : features_)
        if (handler) handler->createWindows();
}

CommandState App::commandState() {
    CommandState state;
    const EntryList& list = session_.entries();
    state.loggedIn = session_.isLoggedIn();
    state.hasRows = list.rowCount(EntryView::lvPassword) > 0;
    const std::optional<int> current = state.loggedIn ? list.currentEntry() : std::nullopt;
    state.current = current.has_value();
    state.currentIsLink =
        current && list.row(EntryView::lvPassword, *current).record->type == kEntryLink;
    state.clipboardHasText = clipboard_.hasText();
    state.searchTextExists = feature(Feature::Search) && searchFeature().searchTextExists();
    state.modified = session_.modified();
    return state;
}

void App::runCommand(CommandId id) {
    // Every command counts as the user's action while an account is open.
    session_.noteActivity();
    const CommandId action = actionOf(id);
    const CommandDef& command = commandDef(action);
    if (command.feature == Feature::View) {
        main_.runViewCommand(action);
    } else if (FeatureHandler* handler = feature(command.feature)) {
        handler->run(action);
    }
    if (main_.handle()) main_.commandBar().updateToolButtons();
}

void App::languageLoaded() {
    // Features see the texts of the language that is going first (the browser entries
    // are withdrawn under their old captions), then the new ones.
    for (auto& handler : features_)
        if (handler) handler->languageChanging();
    const bool showedLoginHint = main_.statusText() == messages_.text(Msg::loginhint);
    messages_.refreshFrom(language_);
    session_.entries().setTypeNames({messages_.text(Msg::passwordtext),
                                     messages_.text(Msg::linktext), messages_.text(Msg::texttext),
                                     messages_.text(Msg::unknowntext)});
    // Every window that exists takes the new texts (windows made later are translated
    // when they are created).
    for (TForm* form : TForm::openForms())
        language_.translateWindow(form, form->className(), false);
    for (auto& handler : features_)
        if (handler) handler->languageLoaded();
    main_.languageLoaded(showedLoginHint);
}

// The main window's normal place (also while it is minimised or in the tray), as Windows
// keeps it.
void App::rememberWindowBounds() {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(main_.handle(), &placement)) return;
    const RECT& r = placement.rcNormalPosition;
    if (r.right <= r.left || r.bottom <= r.top) return;
    settings_.window = {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The place of the last run, unless no screen shows any of it any more (a monitor
// was taken away): the window then opens centred, as on a first start.
void App::restoreWindowBounds() {
    const WindowBounds& b = settings_.window;
    if (!b.known()) return;
    const RECT r{b.left, b.top, b.left + b.width, b.top + b.height};
    if (!MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) return;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(main_.handle(), &placement)) return;
    placement.rcNormalPosition = r;
    placement.showCmd = IsWindowVisible(main_.handle()) ? SW_SHOWNORMAL : SW_HIDE;
    SetWindowPlacement(main_.handle(), &placement);
}

void App::saveSettingsFile() {
    settings_.last = session_.lastFileName();
    settings_.lastTitle = session_.lastAccountName();
    settings_.backupPath = session_.backupFolder();
    settings_.language = language_.language();
    Win32ProfileStore store(paths_.profileFolder + kSettingsFileName);
    saveSettings(store, settings_);
}

void App::runBrowserAction(BrowserAction action) {
    BrowserFeature& browser = browserFeature();
    switch (action) {
    case BrowserAction::Update:
        browser.updateMenu(true); // added only while WithIE is on
        break;
    case BrowserAction::Force:
        settings_.withIE = true;
        browser.updateMenu(true);
        break;
    case BrowserAction::Remove:
        browser.updateMenu(false);
        break;
    case BrowserAction::None:
        break;
    }
}

bool App::firstShow(const std::string& commandLineFile) {
    if (firstShowDone_) return true;
    firstShowDone_ = true;
    languageFeature().buildLanguageMenu();

    HWND main = main_.handle();
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT window{};
    GetWindowRect(main, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    SetWindowPos(main, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(main, SW_SHOWNORMAL);
    UpdateWindow(main);

    // Started for the browser: its request brings up the login when it needs one.
    if (start_.processMode) return true;
    if (session_.isLoggedIn()) return true;
    const bool fromCommandLine = !commandLineFile.empty();

    const std::string file = fromCommandLine ? commandLineFile : session_.lastFileName();
    // The last account name belongs to the last file only.
    const std::string name = file == session_.lastFileName() ? session_.lastAccountName() : "";
    if (fromCommandLine || settings_.wizard) {
        if (!file.empty() && fileExists(file)) {
            session_.showLogin(file, name);
            // A start for one account file that is not opened ends the program.
            if (fromCommandLine && !session_.isLoggedIn()) {
                if (session_.quitCommand()) return false;
            }
        } else {
            session_.newAccountCommand(false);
        }
    }
    if (settings_.tip) {
        std::srand(GetTickCount());
        helpFeature().showTip(std::rand());
    }
    return true;
}

int App::run(const CommandLine& line) {
    // The crash report window lives for the whole run; from here on an error that escapes
    // a command, a window procedure or a timer is shown there instead of ending the program.
    TfrmShowBug bugWindow(messages_);
    bugWindow.create();
    CrashReporter reporter(bugWindow, [] { PostQuitMessage(0); });
    reporter.install();

    start_.startHidden = line.startHidden;
    start_.processMode = line.processMode;
    start_.debug = line.debug;
    if (line.browserAction != BrowserAction::None) {
        runBrowserAction(line.browserAction);
        // The windows go the normal way, so the settings are written.
        DestroyWindow(main_.handle());
        loginDialog().destroy();
        return 0;
    }
    session_.OnNewAccountFinished = [this] {
        if (!start_.debug) return;
        start_.debug = false;
        raiseDebugTestError();
    };
    if (start_.debug) {
        session_.showWarning(
            formatText("EXE: %s\nPROFILE:%s", {paths_.programFolder, paths_.profileFolder}));
    }

    const std::string file = line.accountFile;
    TrayFeature& tray = trayFeature();
    if (start_.startHidden) {
        // In the notification area; the first show waits for the first restore. Without an
        // icon there the program would be out of reach, so it waits minimised instead.
        tray.deferFirstShow([this, file] { return firstShow(file); });
        if (!tray.trayIcon().shown()) ShowWindow(main_.handle(), SW_SHOWMINNOACTIVE);
    } else {
        // The first show's commands (the login, the wizard) may raise errors like any
        // command: they go to the crash report.
        bool keepRunning = true;
        guardedCall([&] { keepRunning = firstShow(file); });
        if (!keepRunning && IsWindow(main_.handle())) DestroyWindow(main_.handle());
    }
    const int code = runMessageLoop();
    reporter.applicationEnding();
    if (IsWindow(main_.handle())) DestroyWindow(main_.handle());
    // A new instance only once this one's windows are gone (the login window carries the
    // marker a second start looks for) and its icon with them, so that it does not hand
    // over to the ending one.
    loginDialog().destroy();
    setFeature(Feature::Tray, nullptr);
    reporter.restartIfRequested();
    return code;
}

} // namespace kh
