// The label of a wizard's password page that shows the password for a moment: on the
// first request it runs a timer, a second request does not extend it, and when the
// timer ends the label is wiped.
#pragma once

#include "win32/form.h"

#include <windows.h>

#include <string_view>

namespace kh {

class RevealLine {
  public:
    RevealLine(TForm& form, Ctl<TNativeControl>& label, UINT_PTR timerId, UINT interval)
        : form_(form), label_(label), timerId_(timerId), interval_(interval) {}
    RevealLine(const RevealLine&) = delete;
    RevealLine& operator=(const RevealLine&) = delete;

    void show(std::string_view secret) {
        label_->setSecretText(secret);
        if (secret.empty() || running_) return;
        running_ = SetTimer(form_.handle(), timerId_, interval_, nullptr) != 0;
    }
    void end() {
        if (running_) KillTimer(form_.handle(), timerId_);
        running_ = false;
        if (label_.bound()) label_->wipeText();
    }
    // The form's WM_TIMER: true when it was this line's timer.
    bool timerTick(WPARAM id) {
        if (id != timerId_) return false;
        end();
        return true;
    }
    bool running() const { return running_; }

  private:
    TForm& form_;
    Ctl<TNativeControl>& label_;
    UINT_PTR timerId_;
    UINT interval_;
    bool running_ = false;
};

} // namespace kh
