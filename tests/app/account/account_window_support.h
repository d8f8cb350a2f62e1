// The account windows in-process: the real main window with its account feature, whose
// wizard and dialogs answer their boxes and file dialogs from the main window's script,
// and steps that run inside a modal loop.
#pragma once

#include "account/account_feature.h"
#include "../win32/main_window_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kh::test {

// Runs one step per tick of a thread timer, so the steps happen inside the modal loop of
// the window under test. A window still open after the last step fails the test and is
// cancelled, so a run never hangs.
class ModalSteps {
  public:
    ModalSteps(TForm& window, std::vector<std::function<void()>> steps)
        : window_(window), steps_(std::move(steps)) {
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
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalSteps* self = current_;
        if (!self || !self->window_.isModal() || self->running_) return;
        if (self->next_ < self->steps_.size()) {
            self->running_ = true; // a step may open a modal loop of its own
            self->steps_[self->next_++]();
            self->running_ = false;
        } else if (++self->idleTicks_ > 5) {
            ADD_FAILURE() << "the window stayed open after the last step";
            self->window_.setModalResult(ModalResult::Cancel);
        }
    }

    static inline ModalSteps* current_ = nullptr;
    TForm& window_;
    std::vector<std::function<void()>> steps_;
    std::size_t next_ = 0;
    int idleTicks_ = 0;
    bool running_ = false;
    UINT_PTR timer_ = 0;
};

class AccountWindowTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        openWindow();
        main_->realAccountWizard = true;
        feature_ = dynamic_cast<AccountFeature*>(main_->feature(Feature::Account));
        ASSERT_NE(feature_, nullptr);
        feature_->wizard().setPrompts(main_->dialogs);
        feature_->wizard().setFileDialogs(main_->dialogs);
        feature_->changePasswordDialog().setPrompts(main_->dialogs);
        feature_->accountDialog().setPrompts(main_->dialogs);
    }

    TfrmWizard& wizard() { return feature_->wizard(); }
    TfrmChangePassword& passwordDialog() { return feature_->changePasswordDialog(); }
    TfrmEditEntry& accountDialog() { return feature_->accountDialog(); }

    static TNativeControl& box(TForm& form, const char* name) {
        return form.get<TNativeControl>(name);
    }
    static HWND handleOf(TForm& form, const char* name) {
        return form.get<TControl>(name).handle();
    }
    static std::string secretOf(TForm& form, const char* name) {
        return std::string(box(form, name).secretText().view());
    }
    // A key with Ctrl held, as the focused control receives it.
    static void ctrlKey(HWND target, UINT key) { press(target, key, true); }

    AccountFeature* feature_ = nullptr;
};

} // namespace kh::test
