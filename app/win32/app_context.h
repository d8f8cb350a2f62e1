// What every feature of the program works with, and the shape of a feature's handler.
// The main window builds one context and hands it to each handler; handlers never see
// the main window's class.
#pragma once

#include "command_table.h"
#include "entry_list.h"
#include "language.h"
#include "message_table.h"
#include "password_guard.h"
#include "services.h"
#include "session.h"
#include "settings.h"
#include "win32/form.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kh {

// Where the program keeps its files; resolved once at start.
struct AppPaths {
    std::string programFolder; // ends with "\"
    std::string profileFolder; // ends with "\"; holds config.ini
};

// Command ids of the language menu's generated items (one per language file) start here.
inline constexpr UINT kLanguageCommandBase = 5000;

// One feature of the program (entries, clipboard, account, tools...): it owns its windows
// and runs the commands of the command table that name it.
class FeatureHandler {
  public:
    virtual ~FeatureHandler() = default;
    // `action` is the command whose action runs (a twin's target already resolved).
    virtual void run(CommandId action) = 0;
    // An account was opened.
    virtual void sessionStarted() {}
    // The account was logged out (by the user or the idle timer).
    virtual void sessionEnded() {}
    // Creates the feature's windows now (hidden), so that the translators' template holds
    // their texts; they are otherwise made on first use.
    virtual void createWindows() {}
    // A language is about to replace the messages (they still hold the old texts).
    virtual void languageChanging() {}
    // A language was loaded: texts that the windows do not translate themselves.
    virtual void languageLoaded() {}
};

// How the program was started (command line), and what of that is still in force.
struct StartState {
    bool startHidden = false; // "/start": sits in the notification area
    bool processMode = false; // "/Process": hidden again after the next browser request
    bool debug = false;       // "/DEBUG"
};

// Services one feature offers the others; empty until the offering feature exists.
struct FeatureServices {
    // The account wizard (new or import); none when cancelled.
    std::function<std::optional<WizardAccount>(bool import)> runAccountWizard;
    // The tip window at a tip; false when it cannot be shown now.
    std::function<bool(int index)> showTip;
    // The search text of the find dialog exists (Find Again is possible).
    std::function<bool()> searchTextExists;
    // The search start follows a row the user selects (a row of the visible list).
    std::function<void(int row)> rowSelected;
    // A double-click on a row of either list.
    std::function<void()> rowDoubleClicked;
    // The first show of the main window builds the language menu.
    std::function<void()> buildLanguageMenu;
    // A command of the language menu's generated items; false when it is not one.
    std::function<bool(UINT command)> languageCommand;
    // The preferences changed (the Settings dialog's OK): session copies and the like.
    std::function<void()> settingsChanged;
    // A browser request is being served: no warnings, no tips.
    std::function<bool()> servingBrowserRequest;
    // The global hotkey registered (HotkeyValue; a failure shows `hotkeyfailed`) or
    // unregistered; nothing at all while the Hotkey setting is off. The Settings dialog
    // takes it away while it is open, so that the hotkey field can receive that chord.
    std::function<void(bool registered)> setHotkeyRegistered;
    // The browser's context-menu entries: added when the flag and WithIE are on, removed
    // when the flag is off.
    std::function<void(bool add)> updateBrowserMenu;
    // The autorun value written when the Autorun setting is on, deleted when it is off.
    std::function<void()> applyAutorun;
};

struct AppContext {
    const AppPaths& paths;
    Session& session;
    EntryList& entries;
    Settings& settings;
    MessageTable& messages;
    QLanguage& language;
    MainWindowControl& window;
    Prompts& prompts;         // boxes owned by the main window
    FileDialogs& fileDialogs; // file dialogs owned by the main window
    Clipboard& clipboard;
    Shell& shell;
    Clock& clock;
    PasswordGuard& guard;
    FeatureServices& services;
    StartState& start;
    // The main window's handle (the owner of the dialogs it opens).
    std::function<HWND()> mainWindow;
    // Runs any command as its menu item would (one feature reaching another's command).
    std::function<void(CommandId)> runCommand;
    // Freezes the drawing of both list views for bulk work; unfreezing repaints them.
    std::function<void(bool frozen)> freezeLists;
    // Hooks into the messages of the main window and of the login window (whose window
    // other instances and the browser bridge talk to).
    std::function<void(TForm::MessageHook)> hookMainWindow;
    std::function<void(TForm::MessageHook)> hookLoginWindow;
    // Adds items (caption, command id) to the language menu.
    std::function<void(const std::vector<std::pair<std::string, UINT>>& items)> addLanguageItems;
};

} // namespace kh
