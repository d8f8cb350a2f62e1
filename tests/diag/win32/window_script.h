// Driving modal windows from a test: steps that run one per tick of a thread timer, inside
// whatever modal loop the code under test pumps, and access to the system's message boxes.
#pragma once

#include "ui_test_support.h"
#include "win32/form.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kh::test {

// The first visible message box of this thread; null when none is open.
inline HWND findMessageBox() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM result) -> BOOL {
            char name[16] = {};
            GetClassNameA(hwnd, name, sizeof(name));
            if (lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
            *reinterpret_cast<HWND*>(result) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The text of a message box: its longest static text (the icon's static has none).
inline std::string messageBoxText(HWND box) {
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = {};
        GetClassNameA(child, name, sizeof(name));
        if (lstrcmpiA(name, "Static") != 0) continue;
        const int length = GetWindowTextLengthA(child);
        std::string candidate(static_cast<std::size_t>(length) + 1, '\0');
        GetWindowTextA(child, candidate.data(), length + 1);
        candidate.resize(static_cast<std::size_t>(length));
        if (candidate.size() > text.size()) text = candidate;
    }
    return text;
}

// Visible top-level windows of this thread with the given class.
inline int countWindows(const char* className) {
    std::pair<const char*, int> search{className, 0};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<std::pair<const char*, int>*>(data);
            char name[64] = {};
            GetClassNameA(hwnd, name, sizeof(name));
            if (lstrcmpA(name, s->first) == 0 && IsWindowVisible(hwnd)) ++s->second;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// Runs one step per timer tick while `dialog` runs its modal loop (message boxes it opens
// included), or, without a dialog, while a message box is open. When the steps are done and
// the dialog or a box is still open, the test fails and both are closed, so a run never
// hangs.
class ModalScript {
  public:
    ModalScript(TForm& dialog, std::vector<std::function<void()>> steps)
        : dialog_(&dialog), steps_(std::move(steps)) {
        start();
    }
    explicit ModalScript(std::vector<std::function<void()>> boxSteps)
        : steps_(std::move(boxSteps)) {
        start();
    }
    ~ModalScript() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    bool finished() const { return next_ == steps_.size(); }

  private:
    void start() {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 40, &ModalScript::tick);
    }
    bool running() const { return dialog_ ? dialog_->isModal() : findMessageBox() != nullptr; }

    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalScript* self = current_;
        if (!self || self->busy_ || !self->running()) return;
        if (self->next_ < self->steps_.size()) {
            self->busy_ = true;
            self->steps_[self->next_++]();
            self->busy_ = false;
        } else if (++self->idleTicks_ > 5) {
            ADD_FAILURE() << "a window stayed open after the last step";
            if (HWND box = findMessageBox()) EndDialog(box, IDNO);
            if (self->dialog_) self->dialog_->setModalResult(ModalResult::Cancel);
        }
    }

    static inline ModalScript* current_ = nullptr;
    TForm* dialog_ = nullptr;
    std::vector<std::function<void()>> steps_;
    std::size_t next_ = 0;
    int idleTicks_ = 0;
    bool busy_ = false;
    UINT_PTR timer_ = 0;
};

} // namespace kh::test
