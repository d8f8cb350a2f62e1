// Steps that run inside the modal loop of a window under test, one per tick of a thread
// timer. A window still open after the last step fails the test and is cancelled, so a
// run never hangs.
#pragma once

#include "win32/form.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace kh::test {

class ModalSteps {
  public:
    // What a step that waits in a loop of its own (a box, a nested login) means for the
    // steps after it.
    enum class Nested {
        Wait,      // they run once that step has returned
        RunInside, // they run inside its loop while the window is on screen
    };

    ModalSteps(TForm& window, std::vector<std::function<void()>> steps,
               Nested nested = Nested::Wait)
        : window_(window), steps_(std::move(steps)), nested_(nested) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 30, &ModalSteps::tick);
    }
    ~ModalSteps() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    ModalSteps(const ModalSteps&) = delete;
    ModalSteps& operator=(const ModalSteps&) = delete;

    bool finished() const { return next_ == steps_.size(); }

  private:
    bool ready() const {
        if (nested_ == Nested::RunInside) return window_.isVisible();
        return window_.isModal() && !running_;
    }

    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalSteps* self = current_;
        if (!self || !self->ready()) return;
        if (self->next_ < self->steps_.size()) {
            self->running_ = true;
            self->steps_[self->next_++]();
            self->running_ = false;
        } else if (++self->idleTicks_ > 20) {
            ADD_FAILURE() << "the window stayed open after the last step";
            self->window_.setModalResult(ModalResult::Cancel);
        }
    }

    static inline ModalSteps* current_ = nullptr;
    TForm& window_;
    std::vector<std::function<void()>> steps_;
    Nested nested_;
    std::size_t next_ = 0;
    int idleTicks_ = 0;
    bool running_ = false;
    UINT_PTR timer_ = 0;
};

} // namespace kh::test
