// New, Edit, Duplicate, Paste From Clipboard and Undelete against a real session and entry
// list, with the wizard replaced by a fake user: what the wizard is opened with, what a
// finish changes, and that a finish counts only for the session (and the row) it began in.
#include "../clipboard/command_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

constexpr int kMail = 0;
constexpr int kBank = 1;
constexpr int kNote = 2;

class EntryCommandsTest : public OpenAccount {
  protected:
    // The user fills the wizard with these values and finishes it.
    void userFinishes(EntryDraft values, std::function<void()> meanwhile = nullptr) {
        editor.user = [values, meanwhile](EntryDraft& draft) {
            if (meanwhile) meanwhile();
            draft.title = values.title;
            draft.whatsThis = values.whatsThis;
            draft.description = values.description;
            draft.type = values.type;
            draft.data = values.data.view();
            return true;
        };
    }
    static EntryDraft values(const char* title, const char* whatsThis, const char* description,
                             std::int32_t type, const char* data) {
        EntryDraft draft;
        draft.title = title;
        draft.whatsThis = whatsThis;
        draft.description = description;
        draft.type = type;
        draft.data = data;
        return draft;
    }
    int rows() const { return list.rowCount(EntryView::lvPassword); }
};

TEST_F(EntryCommandsTest, NewEntryOpensAnEmptyWizardAndAddsTheRowAtTheEnd) {
    userFinishes(values("Forum", "board", "https://forum.example.net", kEntryLink, "pw-forum"));
    entryCommands.newEntry();

    ASSERT_EQ(1u, editor.openings.size());
    const FakeEditor::Opening& opened = editor.openings[0];
    EXPECT_TRUE(opened.isNew);
    EXPECT_EQ("", opened.draft.title);
    EXPECT_EQ("", opened.draft.whatsThis);
    EXPECT_EQ("", opened.draft.description);
    EXPECT_TRUE(opened.draft.data.empty());
    EXPECT_EQ(kEntryPassword, opened.draft.type);

    ASSERT_EQ(5, rows());
    const EntryRow& added = row(4);
    EXPECT_EQ("Forum", added.caption);
    EXPECT_EQ("board", added.whatsThis);
    EXPECT_EQ("https://forum.example.net", added.details);
    EXPECT_EQ("Link", added.typeName);
    EXPECT_EQ("pw-forum", data(4));
    EXPECT_EQ(kOffsetUnsaved, added.record->fileOffset);
    EXPECT_EQ(kIconNew, added.icon);
    EXPECT_TRUE(session.modified());
    EXPECT_EQ(std::vector<int>{4}, window.shownRows);
}

TEST_F(EntryCommandsTest, CancelledOrNotLoggedInChangesNothing) {
    editor.user = [](EntryDraft& draft) {
        draft.title = "typed but cancelled";
        return false;
    };
    entryCommands.newEntry();
    select(kBank);
    entryCommands.edit();
    entryCommands.duplicate();
    clipboard.content = "pasted";
    entryCommands.pasteFromClipboard();
    EXPECT_EQ(4u, editor.openings.size());
    EXPECT_EQ((Texts{"Mail", "Bank", "Note", "Shady"}), titles());
    EXPECT_EQ("pw-bank", data(kBank));
    EXPECT_FALSE(session.modified());
    EXPECT_FALSE(guard.running());

    session.endSession();
    userFinishes(values("X", "", "", kEntryPassword, "x"));
    entryCommands.newEntry();
    entryCommands.pasteFromClipboard();
    EXPECT_EQ(4u, editor.openings.size()) << "no wizard while logged out";
}

TEST_F(EntryCommandsTest, AFinishAfterTheSessionChangedIsDropped) {
    // The idle timer runs while the wizard is open: the account may log out, or log out and
    // in again, before the user presses Finish.
    const std::function<void()> sessionChanges[] = {
        [this] { session.endSession(); },
        [this] {
            session.endSession();
            login();
        },
    };
    for (const auto& change : sessionChanges) {
        if (!session.isLoggedIn()) login();
        userFinishes(values("Late", "", "", kEntryPassword, "late"), change);
        entryCommands.newEntry();
        select(kMail);
        entryCommands.duplicate();
        select(kMail);
        entryCommands.edit();
        clipboard.content = "pasted";
        entryCommands.pasteFromClipboard();
        if (session.isLoggedIn()) {
            EXPECT_EQ((Texts{"Mail", "Bank", "Note", "Shady"}), titles());
            EXPECT_EQ("pw-mail", data(kMail));
            EXPECT_FALSE(session.modified());
        }
        EXPECT_FALSE(guard.running());
    }
}

TEST_F(EntryCommandsTest, EditOpensTheCurrentEntryAndChangesItsRow) {
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    select(0); // Bank, through its copy in lvSub
    ui.banner = "Bank [pw-bank]";
    userFinishes(values("My Bank", "banking", "https://bank.example.com/new", kEntryText,
                        "2004-01-31 09:05:07"));
    entryCommands.edit();

    ASSERT_EQ(1u, editor.openings.size());
    const EntryDraft& opened = editor.openings[0].draft;
    EXPECT_FALSE(editor.openings[0].isNew);
    EXPECT_EQ("Bank", opened.title);
    EXPECT_EQ("bank", opened.whatsThis);
    EXPECT_EQ("https://bank.example.com/login", opened.description);
    EXPECT_EQ("pw-bank", std::string(opened.data.view()));
    EXPECT_EQ(kEntryLink, opened.type);

    const EntryRow& edited = row(kBank);
    EXPECT_EQ("My Bank", edited.caption);
    EXPECT_EQ("banking", edited.whatsThis);
    EXPECT_EQ("https://bank.example.com/new", edited.details);
    EXPECT_EQ("Text", edited.typeName);
    EXPECT_EQ(kEntryText, edited.record->type);
    EXPECT_EQ("2004-01-31 09:05:07", data(kBank));
    EXPECT_EQ(kOffsetUnsaved, edited.record->fileOffset);
    EXPECT_EQ(kIconChanged, edited.icon);
    const EntryRow& twin = list.row(EntryView::lvSub, 0);
    EXPECT_EQ("My Bank", twin.caption);
    EXPECT_EQ(kIconChanged, twin.icon);
    EXPECT_TRUE(session.modified());
    EXPECT_EQ(kName, ui.banner) << "the banner is back to the account name";
    EXPECT_EQ(std::vector<int>{kBank}, window.shownRows);
}

TEST_F(EntryCommandsTest, AnEditFollowsItsEntryAndIsDroppedWhenTheEntryWent) {
    // A save while the wizard is open drops a deleted row before the edited one: the edit
    // still reaches its own entry at its new place.
    list.markRowDeleted(EntryView::lvPassword, kMail);
    session.setModified(true);
    select(kBank);
    userFinishes(values("Bank 2", "b", "d", kEntryPassword, "new"),
                 [this] { ASSERT_TRUE(session.saveAccount(false, false)); });
    entryCommands.edit();
    EXPECT_EQ((Texts{"Bank 2", "Note", "Shady"}), titles());
    EXPECT_EQ("new", data(0));

    // The edited entry itself is deleted and saved away meanwhile: nothing changes.
    select(1); // Note
    userFinishes(values("Note 2", "n", "d", kEntryPassword, "new"), [this] {
        list.markRowDeleted(EntryView::lvPassword, 1);
        ASSERT_TRUE(session.saveAccount(false, false));
    });
    entryCommands.edit();
    EXPECT_EQ((Texts{"Bank 2", "Shady"}), titles());
    EXPECT_EQ("new", data(0));
    EXPECT_EQ("pw-shady", data(1));
}

TEST_F(EntryCommandsTest, EditAndDuplicateNeedACurrentEntry) {
    list.selectAllRows(EntryView::lvPassword, false);
    entryCommands.edit();
    entryCommands.duplicate();
    EXPECT_TRUE(editor.openings.empty());
}

TEST_F(EntryCommandsTest, DuplicateOpensACopyAsNewAndAddsItWithoutScrolling) {
    select(kNote);
    editor.user = [](EntryDraft& draft) {
        draft.title += " copy";
        return true;
    };
    entryCommands.duplicate();
    ASSERT_EQ(1u, editor.openings.size());
    EXPECT_TRUE(editor.openings[0].isNew);
    EXPECT_EQ("Note", editor.openings[0].draft.title);
    EXPECT_EQ(kEntryText, editor.openings[0].draft.type);
    ASSERT_EQ(5, rows());
    EXPECT_EQ("Note copy", row(4).caption);
    EXPECT_EQ("note", row(4).whatsThis);
    EXPECT_EQ("2024-05-01 10:00:00", data(4));
    EXPECT_EQ(kIconNew, row(4).icon);
    EXPECT_EQ("Note", row(kNote).caption) << "the original stays";
    EXPECT_TRUE(window.shownRows.empty());
}

TEST_F(EntryCommandsTest, PasteFromClipboardOpensTheFirst79CharactersAndGuardsThem) {
    settings.minimize = true;
    clipboard.content = std::string(100, 'c');
    editor.user = [](EntryDraft& draft) {
        draft.title = "Pasted";
        return true;
    };
    entryCommands.pasteFromClipboard();
    ASSERT_EQ(1u, editor.openings.size());
    const std::string first79(79, 'c');
    EXPECT_EQ(first79, std::string(editor.openings[0].draft.data.view()));
    EXPECT_TRUE(editor.openings[0].isNew);
    EXPECT_EQ("", editor.openings[0].draft.title);
    ASSERT_EQ(5, rows());
    EXPECT_EQ(first79, data(4));
    EXPECT_EQ(std::vector<int>{4}, window.shownRows);
    EXPECT_TRUE(session.modified());
    EXPECT_TRUE(guard.running());
    EXPECT_EQ(first79, std::string(guard.remembered()));
    EXPECT_EQ(0, window.hides) << "the text came from the clipboard";
    EXPECT_EQ(std::string(100, 'c'), clipboard.content);

    clipboard.content = "";
    entryCommands.pasteFromClipboard();
    clipboard.content.reset();
    entryCommands.pasteFromClipboard();
    EXPECT_EQ(1u, editor.openings.size()) << "no clipboard text: no wizard";
}

TEST_F(EntryCommandsTest, UndeleteRevivesTheCurrentEntryAsUnsaved) {
    list.markRowDeleted(EntryView::lvPassword, kBank);
    select(kBank);
    entryCommands.undelete();
    EXPECT_EQ(kOffsetUnsaved, row(kBank).record->fileOffset);
    EXPECT_EQ(kIconNew, row(kBank).icon);
    EXPECT_EQ(std::vector<int>{kBank}, window.shownRows);

    select(kMail); // not deleted: stays as it is
    entryCommands.undelete();
    EXPECT_GE(row(kMail).record->fileOffset, 0);
    EXPECT_EQ(kIconPassword, row(kMail).icon);
}

TEST_F(EntryCommandsTest, UndeleteRevivesEverySelectedDeletedEntryInOneChange) {
    session.setModified(false);
    list.selectAll(EntryView::lvPassword);
    list.deleteRows(true);
    int modifiedEvents = 0;
    const auto watch = session.OnModifiedChanged.subscribe([&](bool) { ++modifiedEvents; });
    entryCommands.undelete();
    for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kOffsetUnsaved, row(i).record->fileOffset);
        EXPECT_EQ(kIconNew, row(i).icon);
    }
    EXPECT_EQ(1, modifiedEvents);
    EXPECT_TRUE(session.modified());
}

} // namespace
} // namespace kh::test
