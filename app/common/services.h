// The small interfaces through which the program's logic reaches the platform and the other
// features: boxes, file dialogs, the clipboard, the shell, the clock, the hourglass, the
// main window's place on the screen, the commands and the global hotkey. Their Win32
// implementations are in common/win32 and win32/; tests fake them.
#pragma once

#include "command_table.h"
#include "secure_memory.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kh {

// Which button of a question Enter presses.
enum class DefaultButton { No, Yes };

// Message boxes owned by one window: closing a box gives the focus back to that window
// and never activates another one.
class Prompts {
  public:
    virtual ~Prompts() = default;
    // Yes/No with a warning icon; true for Yes. No is the default button unless the
    // question protects the user's work (then Enter keeps it).
    virtual bool ask(const std::string& caption, const std::string& text,
                     DefaultButton defaultButton) = 0;
    bool yesNo(const std::string& caption, const std::string& text) {
        return ask(caption, text, DefaultButton::No);
    }
    // A warning box with an OK button.
    virtual void warning(const std::string& caption, const std::string& text) = 0;
    // A box that reports a success or a fact, with the information icon and an OK button.
    virtual void information(const std::string& caption, const std::string& text) = 0;
    // A warning with three buttons of the given captions, the first the default; 0, 1 or
    // 2 for the button pressed, 2 also when the box was closed otherwise.
    virtual int choose(const std::string& caption, const std::string& text,
                       const std::array<std::string, 3>& buttons) = 0;
};

struct FileDialogRequest {
    std::string filter;      // "Keyhaven Files|*.khk|All Files|*.*"
    int filterIndex = 1;     // 1-based, as the dialog counts
    std::string initialName; // full path or bare name; may be empty
    bool askOverwrite = false;
    std::string title; // empty: the system's own caption
};

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    virtual std::optional<std::string> saveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> openFile(const FileDialogRequest& request) = 0;
    // A folder, starting at `start` when it exists.
    virtual std::optional<std::string> chooseFolder(const std::string& title,
                                                    const std::string& start) = 0;
};

// The system clipboard, plain text only. Texts the program puts there are marked to stay
// out of clipboard history and cloud synchronisation.
class Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual bool hasText() = 0;
    // The whole text; none when the clipboard holds no text or cannot be opened.
    virtual std::optional<SecretString> text() = 0;
    // False when the clipboard cannot be opened or written.
    virtual bool setText(std::string_view text) = 0;
    // Empties the clipboard; false when it cannot be opened.
    virtual bool clear() = 0;
};

enum class ShowMode { Normal, Maximized };

class Shell {
  public:
    virtual ~Shell() = default;
    // Opens a document, an address or a program the way the shell's "open" verb does;
    // true when the shell reported success.
    virtual bool open(const std::string& target, const std::string& parameters, ShowMode mode) = 0;
};

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime localTime() = 0;
};

// The hourglass over the program's windows while long work runs on the window's thread.
class BusyIndicator {
  public:
    virtual ~BusyIndicator() = default;
    virtual void setBusy(bool busy) = 0;
};

// Runs any command as its menu item would (one feature reaching another's command).
class CommandRunner {
  public:
    virtual ~CommandRunner() = default;
    virtual void runCommand(CommandId id) = 0;
};

// The global hotkey as the settings say (registered) or taken away (not registered).
class HotkeyRegistration {
  public:
    virtual ~HotkeyRegistration() = default;
    virtual void setHotkeyRegistered(bool registered) = 0;
};

// What features may ask of the main window without knowing it.
class MainWindowControl {
  public:
    virtual ~MainWindowControl() = default;
    virtual bool mainWindowVisible() = 0;
    // Sends the program to the notification area (or minimises it when there is none).
    virtual void hideToTray() = 0;
    // Brings the program back from the notification area.
    virtual void restoreFromTray() = 0;
    // Scrolls a row and its twin into view.
    virtual void showRow(int masterRow) = 0;
};

} // namespace kh
