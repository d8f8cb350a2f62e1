#include "password_guard.h"

#include <algorithm>

namespace kh {

std::optional<SecretString> clipboardText(Clipboard& clipboard) {
    std::optional<SecretString> text = clipboard.text();
    if (!text || text->empty()) return std::nullopt;
    if (text->size() > kClipboardTextCut) {
        SecretString cut(text->view().substr(0, kClipboardTextCut));
        text->wipe();
        return cut;
    }
    return text;
}

bool writeClipboardChecked(Clipboard& clipboard, std::string_view text) {
    if (!clipboard.setText(text)) return false;
    std::optional<SecretString> back = clipboard.text();
    const bool same = back && back->view() == text;
    if (back) back->wipe();
    return same;
}

void clearIfUnchanged(Clipboard& clipboard, std::string_view text) {
    std::optional<SecretString> now = clipboardText(clipboard);
    if (now && now->view() == text) clipboard.clear();
    if (now) now->wipe();
}

PasswordGuard::PasswordGuard(Clipboard& clipboard, MainWindowControl& main,
                             std::function<GuardOptions()> options)
    : clipboard_(clipboard), main_(main), options_(std::move(options)) {}

void PasswordGuard::attach(GuardWindow& window, std::string labelPrefix) {
    window_ = &window;
    labelPrefix_ = std::move(labelPrefix);
}

void PasswordGuard::detach() {
    step_ = -1;
    remembered_.wipe();
    window_ = nullptr;
    factory_ = nullptr;
}

void PasswordGuard::guardClipboard(std::string_view text) {
    const GuardOptions options = options_();
    if (!options.guard) return;
    if (options.guardTime < 0 || text.empty()) {
        stopGuard();
        return;
    }
    if (!window_ && factory_) {
        CreatedWindow created = factory_();
        if (created.window) attach(*created.window, std::move(created.labelPrefix));
    }
    step_ = 0;
    ticks_ = 0;
    // A short guard time would give less than one tick per picture and the count would
    // never move: every picture stays at least one tick.
    ticksPerStep_ = std::max(1, options.guardTime * 10 / kGuardImageCount);
    if (options.minimize && main_.mainWindowVisible() && !keepMainWindow_) main_.hideToTray();
    remembered_.assign(text.substr(0, kClipboardTextCut));
    label_ = labelPrefix_;
    if (window_) {
        // A running count simply starts again for the new text.
        const bool showing = window_->guardShowing();
        repaint();
        if (!showing) window_->showGuard();
    }
    keepMainWindow_ = false;
}

void PasswordGuard::stopGuard() {
    // A stop that finds no count still clears the mark: the wizard's paste button sets it
    // and then stops the guard when the clipboard holds no text, and a mark left behind
    // would keep the next copy from hiding the main window.
    keepMainWindow_ = false;
    if (step_ < 0) return;
    step_ = -1;
    ticks_ = 0;
    remembered_.wipe();
    if (window_) window_->hideGuard();
}

void PasswordGuard::tick() {
    if (step_ < 0 || ticksPerStep_ <= 0 || options_().guardTime <= 0) return;
    ++ticks_;
    if (ticks_ % ticksPerStep_ != 0) return;
    ++step_;
    if (step_ > kGuardImageCount) {
        clearIfUnchanged(clipboard_, remembered_.view());
        stopGuard();
        return;
    }
    label_ = labelPrefix_ + std::string(static_cast<std::size_t>(step_), '.');
    repaint();
}

void PasswordGuard::repaint() {
    if (window_) window_->paintGuard(image(), label_);
}

} // namespace kh
