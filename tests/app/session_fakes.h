// Fakes of what an open account reaches of the world, for tests without windows: the main
// window's boxes and texts, and the system clipboard.
#pragma once

#include "secure_memory.h"
#include "services.h"
#include "session.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kh::test {

// The main window's boxes and texts: Yes/No answers from a queue, everything recorded.
class FakeSessionUi : public SessionUi {
  public:
    std::deque<bool> answers;          // No when empty
    std::function<void()> whileAsking; // runs (once) while the next box is open
    std::vector<std::string> questions, warnings;
    std::string status, banner;
    bool modified = false;

    bool yesNoBox(const std::string& caption, const std::string& text) override {
        EXPECT_EQ("Hint", caption);
        questions.push_back(text);
        if (whileAsking) std::exchange(whileAsking, nullptr)();
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void warningBox(const std::string& caption, const std::string& text) override {
        EXPECT_EQ("Hint", caption);
        warnings.push_back(text);
    }
    void setStatusText(const std::string& text) override { status = text; }
    void setBanner(const std::string& text) override { banner = text; }
    void setBusyCursor(bool) override {}
    std::optional<std::string> saveFileDialog(const std::string&, bool) override {
        return std::nullopt;
    }
    std::optional<std::string> openFileDialog(const std::string&) override { return std::nullopt; }
    void sessionStarted(bool isModified) override { modified = isModified; }
    void sessionEnded() override { modified = false; }
    void modifiedChanged(bool isModified) override { modified = isModified; }
    void setLogoRunning(bool) override {}
    bool loginDialogShowing() override { return false; }
    void bringLoginDialogToFront() override {}
    LoginPrompt runLoginDialog(const std::string&, const std::string&) override { return {}; }
    LoginPrompt waitForLoginDialog(const std::function<bool()>&) override { return {}; }
    void setLoginDialogOnTop(bool) override {}
    std::optional<WizardAccount> runAccountWizard(bool) override { return std::nullopt; }
    void showMainWindow() override {}
};

// The system clipboard: plain text or none; it can be locked by another program, or hand
// back something else than what was written.
class FakeClipboard : public Clipboard {
  public:
    std::optional<std::string> content;
    bool locked = false;
    bool garbles = false; // what is written reads back different
    int writes = 0, clears = 0;

    bool hasText() override { return content && !content->empty(); }
    std::optional<SecretString> text() override {
        if (locked || !content) return std::nullopt;
        return SecretString(*content);
    }
    bool setText(std::string_view text) override {
        if (locked) return false;
        ++writes;
        content = std::string(text) + (garbles ? "?" : "");
        return true;
    }
    bool clear() override {
        if (locked) return false;
        ++clears;
        content.reset();
        return true;
    }
};

} // namespace kh::test
