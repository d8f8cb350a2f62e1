// The Password Guard: after a copy it counts down in a small floating window and then
// empties the clipboard, unless another program has put something else there meanwhile.
// The countdown is driven by the window's 100 ms timer through tick(), so tests run it
// without waiting.
#pragma once

#include "secure_memory.h"
#include "services.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kh {

// Commands take at most this much of the clipboard's text (the size of a secret).
inline constexpr std::size_t kClipboardTextCut = 79;
inline constexpr int kGuardImageCount = 20;
inline constexpr unsigned kGuardTickMs = 100;

// The clipboard's text as commands read it: its first 79 characters; none when the
// clipboard holds no text or an empty one.
std::optional<SecretString> clipboardText(Clipboard& clipboard);
// Puts the text on the clipboard, reads the whole clipboard text back and succeeds only
// when it is the same.
bool writeClipboardChecked(Clipboard& clipboard, std::string_view text);
// Empties the clipboard when its first 79 characters are exactly `text`.
void clearIfUnchanged(Clipboard& clipboard, std::string_view text);

// The floating countdown window.
class GuardWindow {
  public:
    virtual ~GuardWindow() = default;
    virtual bool guardShowing() = 0;
    // On top of all other windows without taking the focus; the 100 ms timer runs.
    virtual void showGuard() = 0;
    // Hidden; the timer stops.
    virtual void hideGuard() = 0;
    // Shows countdown picture `image` (0 to 19) and the label.
    virtual void paintGuard(int image, const std::string& label) = 0;
};

struct GuardOptions {
    bool guard = true;  // the Guard setting
    int guardTime = 20; // seconds
    bool minimize = false;
};

class PasswordGuard {
  public:
    PasswordGuard(Clipboard& clipboard, MainWindowControl& main,
                  std::function<GuardOptions()> options);

    // The window comes to life on first use: the factory creates it and gives the label
    // prefix, which is taken once, when the window is created.
    struct CreatedWindow {
        GuardWindow* window = nullptr;
        std::string labelPrefix;
    };
    void setWindowFactory(std::function<CreatedWindow()> factory) { factory_ = std::move(factory); }
    // A window that exists already (tests), with its label prefix.
    void attach(GuardWindow& window, std::string labelPrefix);
    // The window goes away before the guard (the program's end): the count stops and no
    // window is used or created afterwards.
    void detach();

    // Callers that took the text from the clipboard themselves leave the main window where
    // it is: the next start does not hide it.
    void keepMainWindow() { keepMainWindow_ = true; }
    bool keepsMainWindow() const { return keepMainWindow_; }

    // Starts (or restarts) the countdown on a text.
    void guardClipboard(std::string_view text);
    // Hides the countdown; the clipboard keeps what it holds. Clears the keep-main-window
    // mark, also when no count was running.
    void stopGuard();
    // One 100 ms tick of the window's timer.
    void tick();

    bool running() const { return step_ >= 0; }
    int step() const { return step_; }
    int ticksPerStep() const { return ticksPerStep_; }
    const std::string& label() const { return label_; }
    // The text the count ends with: the first 79 characters of the guarded text.
    std::string_view remembered() const { return remembered_.view(); }
    // The picture shown now: step - 1 while counting, otherwise the first.
    int image() const { return step_ >= 1 && step_ <= kGuardImageCount ? step_ - 1 : 0; }

  private:
    void repaint();

    Clipboard& clipboard_;
    MainWindowControl& main_;
    std::function<GuardOptions()> options_;
    GuardWindow* window_ = nullptr;
    std::function<CreatedWindow()> factory_;
    std::string labelPrefix_ = "Guarding...\n.";
    std::string label_;
    SecretString remembered_;
    int step_ = -1;
    int ticks_ = 0;
    int ticksPerStep_ = 0;
    bool keepMainWindow_ = false;
};

} // namespace kh
