// Fakes of what an open account reaches of the world, for tests without windows: the
// session's windows and boxes, the system clipboard and shell, the main window's place on
// the screen and the Password Guard's window.
#pragma once

#include "password_guard.h"
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

// Everything the session reaches of the windows: its view in the main window, the boxes,
// the account file dialogs, the login dialog and the account wizard. Answers come from
// queues (No, Cancel when empty), everything shown is recorded; attach() also records what
// the session tells through its events.
class FakeSessionUi : public SessionView,
                      public Prompts,
                      public AccountFileDialogs,
                      public LoginPrompter,
                      public AccountWizardPrompter {
  public:
    std::deque<bool> answers; // Yes/No boxes, No when empty
    std::deque<int> choices;  // three-button boxes, the last when empty
    std::vector<std::string> choiceTexts;
    std::function<void()> whileAsking;                // runs (once) while the next box is open
    std::deque<std::optional<std::string>> saveFiles; // save dialogs, cancel when empty
    std::deque<std::optional<std::string>> openFiles;
    std::deque<LoginPrompt> logins; // login dialogs, Cancel when empty
    std::optional<WizardAccount> wizard;
    std::function<void()> whenBusy; // runs when the hourglass comes on

    std::vector<std::string> questions, warnings, infos, saveDialogStarts, loginFiles, loginNames;
    std::vector<DefaultButton> defaults; // of each question
    std::vector<bool> backupDialogs;     // per save dialog: opened for a backup copy
    std::string status, banner;
    bool busyCursor = false, modified = false, started = false, logo = false;
    bool loginShowing = false, onTop = false, mainShown = false;
    int wizardRuns = 0;

    // Offers the dialogs to the session and records its events.
    void attach(Session& session) {
        session.setFileDialogs(this);
        session.setLoginPrompter(this);
        session.setAccountWizard(this);
        subscriptions_.started = session.OnStarted.subscribe([this, &session] {
            started = true;
            modified = session.modified();
        });
        subscriptions_.ended = session.OnEnded.subscribe([this] {
            started = false;
            modified = false;
        });
        subscriptions_.modified =
            session.OnModifiedChanged.subscribe([this](bool isModified) { modified = isModified; });
        subscriptions_.logo =
            session.OnLogoRunning.subscribe([this](bool running) { logo = running; });
    }

    bool ask(const std::string& caption, const std::string& text,
             DefaultButton defaultButton) override {
        EXPECT_EQ(caption, "Hint");
        questions.push_back(text);
        defaults.push_back(defaultButton);
        if (whileAsking) std::exchange(whileAsking, nullptr)();
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    int choose(const std::string& caption, const std::string& text,
               const std::array<std::string, 3>&) override {
        EXPECT_EQ(caption, "Hint");
        choiceTexts.push_back(text);
        if (choices.empty()) return 2;
        const int choice = choices.front();
        choices.pop_front();
        return choice;
    }
    void warning(const std::string& caption, const std::string& text) override {
        EXPECT_EQ(caption, "Hint");
        EXPECT_EQ(status, text); // the status bar says it too
        warnings.push_back(text);
    }
    void information(const std::string& caption, const std::string& text) override {
        EXPECT_EQ(caption, "Keyhaven");
        EXPECT_EQ(status, text);
        infos.push_back(text);
    }
    void setStatusText(const std::string& text) override { status = text; }
    void setBanner(const std::string& text) override { banner = text; }
    void setBusyCursor(bool busy) override {
        busyCursor = busy;
        if (busy && whenBusy) std::exchange(whenBusy, nullptr)();
    }
    void showMainWindow() override { mainShown = true; }
    std::optional<std::string> saveFileDialog(const std::string& start,
                                              bool backup = false) override {
        backupDialogs.push_back(backup);
        saveDialogStarts.push_back(start);
        return pop(saveFiles);
    }
    std::optional<std::string> openFileDialog(const std::string&) override {
        return pop(openFiles);
    }
    bool loginDialogShowing() override { return loginShowing; }
    void bringLoginDialogToFront() override {}
    LoginPrompt runLoginDialog(const std::string& file, const std::string& name) override {
        loginFiles.push_back(file);
        loginNames.push_back(name);
        if (logins.empty()) return {};
        LoginPrompt result = std::move(logins.front());
        logins.pop_front();
        return result;
    }
    LoginPrompt waitForLoginDialog(const std::function<bool()>&) override {
        return runLoginDialog("", "");
    }
    void setLoginDialogOnTop(bool top) override { onTop = top; }
    std::optional<WizardAccount> runAccountWizard(bool) override {
        ++wizardRuns;
        return std::exchange(wizard, std::nullopt);
    }

  private:
    static std::optional<std::string> pop(std::deque<std::optional<std::string>>& q) {
        if (q.empty()) return std::nullopt;
        std::optional<std::string> v = q.front();
        q.pop_front();
        return v;
    }
    struct {
        Event<>::Subscription started, ended;
        Event<bool>::Subscription modified, logo;
    } subscriptions_;
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

class FakeShell : public Shell {
  public:
    bool succeeds = true;
    std::vector<std::string> opened;
    std::vector<ShowMode> modes;
    bool open(const std::string& target, const std::string& parameters, ShowMode mode) override {
        EXPECT_EQ("", parameters);
        opened.push_back(target);
        modes.push_back(mode);
        return succeeds;
    }
};

class FakeMainWindow : public MainWindowControl {
  public:
    bool visible = true;
    int hides = 0, restores = 0;
    std::vector<int> shownRows;
    bool mainWindowVisible() override { return visible; }
    void hideToTray() override {
        ++hides;
        visible = false;
    }
    void restoreFromTray() override {
        ++restores;
        visible = true;
    }
    void showRow(int masterRow) override { shownRows.push_back(masterRow); }
};

class FakeGuardWindow : public GuardWindow {
  public:
    bool showing = false;
    int shows = 0, hides = 0, paints = 0;
    int image = -1;
    std::string label;
    bool guardShowing() override { return showing; }
    void showGuard() override {
        ++shows;
        showing = true;
    }
    void hideGuard() override {
        ++hides;
        showing = false;
    }
    void paintGuard(int shownImage, const std::string& shownLabel) override {
        ++paints;
        image = shownImage;
        label = shownLabel;
    }
};

} // namespace kh::test
