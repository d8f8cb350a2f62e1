// The account windows in-process: the real main window with its account feature, whose
// wizard and dialogs answer their boxes and file dialogs from the main window's script,
// and steps that run inside a modal loop.
#pragma once

#include "../win32/main_window_fixture.h"
#include "../win32/modal_steps.h"
#include "account_feature.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kh::test {

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
