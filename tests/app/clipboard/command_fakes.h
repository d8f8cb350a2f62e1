// An open account for the clipboard and entry commands, without windows: the real Session
// and EntryList over a private account file, with fakes of what they reach of the world
// (boxes, clipboard, shell, main window, the guard's window and the entry wizard).
#pragma once

#include "../../support/test_files.h"
#include "account_file.h"
#include "clipboard_commands.h"
#include "entry_commands.h"
#include "entry_list.h"
#include "interchange_texts.h"
#include "message_table.h"
#include "password_guard.h"
#include "session.h"
#include "session_fakes.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kh::test {

// The entry wizard: records what it was opened with, then runs `user` on the draft (the
// user's typing and Finish or Cancel).
class FakeEditor : public EntryEditor {
  public:
    struct Opening {
        EntryDraft draft;
        bool isNew = false;
    };
    std::vector<Opening> openings;
    std::function<bool(EntryDraft&)> user = [](EntryDraft&) { return false; };

    bool editEntryValues(EntryDraft& draft, bool isNew) override {
        openings.push_back({draft, isNew});
        return user(draft);
    }
};

struct SampleRow {
    std::int32_t type;
    const char* title;
    const char* whatsThis;
    const char* data;
    const char* description;
};

inline const std::vector<SampleRow>& sampleRows() {
    static const std::vector<SampleRow> rows = {
        {kEntryPassword, "Mail", "webmail", "pw-mail", "the mail account"},
        {kEntryLink, "Bank", "bank", "pw-bank", "https://bank.example.com/login"},
        {kEntryText, "Note", "note", "2024-05-01 10:00:00", "buy milk"},
        {kEntryLink, "Shady", "shady", "pw-shady", "file:///C:/Windows/system32/calc.exe"},
    };
    return rows;
}

inline constexpr char kName[] = "alice";
inline constexpr char kPassword[] = "pw-alice";

// A logged-in account with the sample rows (saved, so their file offsets are >= 0).
class OpenAccount : public ::testing::Test {
  protected:
    OpenAccount()
        : session(ui, ui, messages), list(session.entries()),
          guard(clipboard, window,
                [this] {
                    return GuardOptions{settings.guard, settings.guardTime, settings.minimize};
                }),
          clipboardCommands(session, list, settings, messages, clipboard, guard, shell, window,
                            [this] { return interchangeTexts(messages, false); }),
          entryCommands(session, list, clipboard, guard, window, &editor) {
        guard.attach(guardWindow, "Guarding...\n.");
        file = dir.file("vault.khk");
        Account account;
        account.name = kName;
        account.password = kPassword;
        std::vector<AccountEntry> entries;
        for (const SampleRow& row : sampleRows()) {
            AccountEntry& entry = entries.emplace_back();
            entry.type = row.type;
            entry.title = row.title;
            entry.whatsThis = row.whatsThis;
            entry.data = row.data;
            entry.description = row.description;
        }
        EXPECT_EQ(SaveOutcome::Saved, writeAccountFile(file, account, entries));
        login();
    }

    void login() { ASSERT_TRUE(session.loginAccount(file, kName, kPassword)); }

    // Selects exactly this row of the visible list.
    void select(int row) { list.selectOnly(list.visibleList(), row); }

    const EntryRow& row(int index) const { return list.row(EntryView::lvPassword, index); }
    std::string data(int index) const { return std::string(row(index).record->data.view()); }
    std::vector<std::string> titles() const {
        std::vector<std::string> all;
        for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i)
            all.push_back(row(i).caption);
        return all;
    }
    // The entry text form of a row, as the copy commands put it on the clipboard.
    std::string wholeEntry(int index) const {
        EntryValues values;
        values.type = row(index).record->type;
        values.title = row(index).caption;
        values.whatsThis = row(index).whatsThis;
        values.data = row(index).record->data.view();
        values.description = row(index).details;
        return std::string(entryText(values, interchangeTexts(messages, false)).view());
    }

    TempDir dir;
    std::string file;
    MessageTable messages;
    Settings settings;
    FakeSessionUi ui;
    Session session;
    EntryList& list;
    FakeClipboard clipboard;
    FakeShell shell;
    FakeMainWindow window;
    FakeGuardWindow guardWindow;
    FakeEditor editor;
    PasswordGuard guard;
    ClipboardCommands clipboardCommands;
    EntryCommands entryCommands;
};

} // namespace kh::test
