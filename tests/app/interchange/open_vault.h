// A logged-in account without windows, for the export, import and find logic: the real
// Session and EntryList over a private account file, and fakes of what they reach of the
// world (boxes, file dialogs, clipboard, main window, the guard's window).
#pragma once

#include "../../support/test_files.h"
#include "account_file.h"
#include "entry_list.h"
#include "message_table.h"
#include "password_guard.h"
#include "services.h"
#include "session.h"
#include "session_fakes.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Its own namespace: other test folders of the same program have fakes of these names.
namespace kh::test::vault {

using test::FakeClipboard;
using test::FakeSessionUi;

// File dialogs and a dialog's own boxes: answers from a queue, requests recorded.
class FakeDialogs : public FileDialogs, public Prompts {
  public:
    std::deque<std::optional<std::string>> answers; // Cancel when empty
    std::vector<FileDialogRequest> saves, opens;
    std::vector<std::string> warnings, infos;
    std::function<void()> whileOpen; // runs (once) while the next dialog is open

    std::optional<std::string> saveFile(const FileDialogRequest& request) override {
        saves.push_back(request);
        return answer();
    }
    std::optional<std::string> openFile(const FileDialogRequest& request) override {
        opens.push_back(request);
        return answer();
    }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        ADD_FAILURE() << "no folder is chosen here";
        return std::nullopt;
    }
    bool ask(const std::string&, const std::string& text, DefaultButton) override {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    int choose(const std::string&, const std::string& text,
               const std::array<std::string, 3>&) override {
        ADD_FAILURE() << "unexpected choice: " << text;
        return 2;
    }
    void warning(const std::string& caption, const std::string& text) override {
        EXPECT_EQ("Hint", caption);
        warnings.push_back(text);
    }
    void information(const std::string& caption, const std::string& text) override {
        EXPECT_EQ("Keyhaven", caption);
        infos.push_back(text);
    }

  private:
    std::optional<std::string> answer() {
        if (whileOpen) std::exchange(whileOpen, nullptr)();
        if (answers.empty()) return std::nullopt;
        std::optional<std::string> next = answers.front();
        answers.pop_front();
        return next;
    }
};

class FakeMainWindow : public MainWindowControl {
  public:
    bool visible = true;
    std::vector<int> shownRows;
    bool mainWindowVisible() override { return visible; }
    void hideToTray() override { visible = false; }
    void restoreFromTray() override { visible = true; }
    void showRow(int masterRow) override { shownRows.push_back(masterRow); }
};

class FakeGuardWindow : public GuardWindow {
  public:
    bool showing = false;
    bool guardShowing() override { return showing; }
    void showGuard() override { showing = true; }
    void hideGuard() override { showing = false; }
    void paintGuard(int, const std::string&) override {}
};

struct VaultRow {
    std::int32_t type;
    const char* title;
    const char* whatsThis;
    const char* data;
    const char* description;
};

// Logged in to an account file holding `rows` (saved, so their file offsets are >= 0).
class OpenVault : public ::testing::Test {
  protected:
    explicit OpenVault(const std::vector<VaultRow>& rows)
        : session(ui, ui, messages), list(session.entries()),
          guard(clipboard, window, [this] { return guardOptions; }) {
        guard.attach(guardWindow, "Guarding...\n.");
        file = dir.file("vault.khk");
        Account account;
        account.name = "alice";
        account.password = "pw-alice";
        std::vector<AccountEntry> entries;
        for (const VaultRow& row : rows) {
            AccountEntry& entry = entries.emplace_back();
            entry.type = row.type;
            entry.title = row.title;
            entry.whatsThis = row.whatsThis;
            entry.data = row.data;
            entry.description = row.description;
        }
        EXPECT_EQ(SaveOutcome::Saved, writeAccountFile(file, account, entries));
        EXPECT_TRUE(session.loginAccount(file, "alice", "pw-alice"));
    }

    std::vector<std::string> titles(EntryView view = EntryView::lvPassword) const {
        std::vector<std::string> all;
        for (int i = 0; i < list.rowCount(view); ++i)
            all.push_back(list.row(view, i).caption);
        return all;
    }
    std::vector<std::string> selectedTitles() const {
        std::vector<std::string> all;
        for (int i : list.visibleSelection())
            all.push_back(list.row(list.visibleList(), i).caption);
        return all;
    }
    std::vector<std::string> titlesOf(const std::vector<int>& rows,
                                      EntryView view = EntryView::lvPassword) const {
        std::vector<std::string> all;
        for (int i : rows)
            all.push_back(list.row(view, i).caption);
        return all;
    }

    TempDir dir;
    std::string file;
    MessageTable messages;
    FakeSessionUi ui;
    Session session;
    EntryList& list;
    FakeClipboard clipboard;
    FakeMainWindow window;
    FakeGuardWindow guardWindow;
    FakeDialogs dialogs;
    GuardOptions guardOptions;
    PasswordGuard guard;
};

} // namespace kh::test::vault
