// The clipboard commands against a real session and entry list: the confirmation table
// with its "same entry" check after each answer, copy and cut with the checked write,
// delete, Replace From Clipboard, opening web addresses, and the double-click rules.
#include "command_fakes.h"

#include "text_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

constexpr int kMail = 0;
constexpr int kBank = 1;
constexpr int kNote = 2;
constexpr int kShady = 3;

class ClipboardCommandsTest : public OpenAccount {
  protected:
    std::string question(Msg msg, const std::string& title = "") {
        return formatText(messages.text(msg), {title});
    }
    bool deleted(int index) { return row(index).record->fileOffset == kOffsetDeleted; }
    int deletedCount() {
        int count = 0;
        for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i)
            count += deleted(i) ? 1 : 0;
        return count;
    }
};

TEST(WebAddresses, OnlyHttpHttpsAndFtpAreOpened) {
    const std::pair<const char*, bool> cases[] = {
        {"http://example.com", true},
        {"https://bank.example.com/login?x=1", true},
        {"ftp://files.example.com", true},
        {"HTTPS://EXAMPLE.COM", true},
        {"hTtP://example.com", true},
        {"http://", false},
        {"file:///C:/Windows/system32/calc.exe", false},
        {"C:\\Windows\\system32\\calc.exe", false},
        {"javascript:alert(1)", false},
        {"mailto:someone@example.com", false},
        {"www.example.com", false},
        {"\\\\server\\share\\run.bat", false},
        {"", false},
    };
    for (const auto& [address, openable] : cases)
        EXPECT_EQ(openable, isOpenableWebAddress(address)) << address;
}

TEST_F(ClipboardCommandsTest, ConfirmationTable) {
    struct Case {
        const char* what;
        CopyTag tag;
        std::vector<int> selected;  // rows of lvPassword
        std::optional<bool> answer; // none: no question expected
        std::string question;
        bool acts;
    };
    const std::string cutMail = question(Msg::warncut, "Mail");
    const std::string replaceMail = question(Msg::warnreplace, "Mail");
    const Case cases[] = {
        {"cut password, Yes", CopyTag::CutPassword, {kMail}, true, cutMail, true},
        {"cut password, No", CopyTag::CutPassword, {kMail}, false, cutMail, false},
        {"cut password, no entry", CopyTag::CutPassword, {}, std::nullopt, "", false},
        {"cut whole entry, Yes", CopyTag::CutWholeEntry, {kMail}, true, cutMail, true},
        {"cut whole entry, No", CopyTag::CutWholeEntry, {kMail}, false, cutMail, false},
        // Cut All Selected names only the current entry.
        {"cut selected, Yes", CopyTag::CutSelected, {kMail, kBank, kNote}, true, cutMail, true},
        {"cut selected, No", CopyTag::CutSelected, {kMail, kBank}, false, cutMail, false},
        {"cut all, Yes", CopyTag::CutAll, {}, true, question(Msg::warncutall), true},
        {"cut all, No", CopyTag::CutAll, {kBank}, false, question(Msg::warncutall), false},
        {"replace, Yes", CopyTag::Replace, {kMail}, true, replaceMail, true},
        {"replace, No", CopyTag::Replace, {kMail}, false, replaceMail, false},
        {"replace, no entry", CopyTag::Replace, {}, std::nullopt, "", false},
        {"delete one, Yes",
         CopyTag::DeleteSelected,
         {kBank},
         true,
         question(Msg::warndelete, "Bank"),
         true},
        {"delete one, No",
         CopyTag::DeleteSelected,
         {kBank},
         false,
         question(Msg::warndelete, "Bank"),
         false},
        {"delete three, Yes",
         CopyTag::DeleteSelected,
         {kMail, kBank, kNote},
         true,
         question(Msg::warndeleteselected),
         true},
        {"delete three, No",
         CopyTag::DeleteSelected,
         {kMail, kBank, kNote},
         false,
         question(Msg::warndeleteselected),
         false},
        {"delete, none selected", CopyTag::DeleteSelected, {}, std::nullopt, "", false},
        {"delete all, Yes", CopyTag::DeleteAll, {}, true, question(Msg::warndeleteall), true},
        {"delete all, No", CopyTag::DeleteAll, {}, false, question(Msg::warndeleteall), false},
        {"copy, no question", CopyTag::WholeEntry, {kMail}, std::nullopt, "", true},
        {"select all, no question", CopyTag::SelectAll, {}, std::nullopt, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui.questions.clear();
        ui.answers.clear();
        clipboard.content = "from elsewhere";
        clipboard.writes = 0;
        list.selectAllRows(EntryView::lvPassword, false);
        for (int selected : c.selected)
            list.setSelected(EntryView::lvPassword, selected, true);
        const std::vector<int> before = list.selectedRows(EntryView::lvPassword);
        if (c.answer) ui.answers.push_back(*c.answer);
        const int deletedBefore = deletedCount();
        const std::string mailData = data(kMail);

        clipboardCommands.copyEntry(c.tag);

        EXPECT_EQ(c.answer ? Texts{c.question} : Texts{}, ui.questions);
        bool acted = false;
        switch (c.tag) {
        case CopyTag::Replace:
            acted = data(kMail) != mailData;
            break;
        case CopyTag::WholeEntry:
            acted = clipboard.writes == 1;
            break;
        case CopyTag::SelectAll:
            acted = list.selectedRows(EntryView::lvPassword).size() == 4;
            break;
        default:
            acted = deletedCount() > deletedBefore;
            break;
        }
        EXPECT_EQ(c.acts, acted);
        // Put the rows back for the next case.
        for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i)
            list.undeleteRow(EntryView::lvPassword, i);
        (void)before;
    }
}

TEST_F(ClipboardCommandsTest, AYesCountsOnlyForTheSameEntryOfTheSameSession) {
    struct Case {
        const char* what;
        CopyTag tag;
        std::vector<int> selected;
        std::function<void()> whileAsking;
        bool acts;
    };
    const auto selectBank = [this] { select(kBank); };
    const auto addSelection = [this] { list.setSelected(EntryView::lvPassword, kNote, true); };
    const auto logout = [this] { session.endSession(); };
    const Case cases[] = {
        {"cut: another entry became current", CopyTag::CutPassword, {kMail}, selectBank, false},
        {"cut: the same entry, more selected", CopyTag::CutPassword, {kMail}, addSelection, true},
        {"cut: logged out meanwhile", CopyTag::CutWholeEntry, {kMail}, logout, false},
        {"cut selected: another entry", CopyTag::CutSelected, {kMail, kNote}, selectBank, false},
        {"replace: another entry", CopyTag::Replace, {kMail}, selectBank, false},
        {"replace: logged out", CopyTag::Replace, {kMail}, logout, false},
        {"delete one: another entry", CopyTag::DeleteSelected, {kMail}, selectBank, false},
        {"delete one: logged out", CopyTag::DeleteSelected, {kMail}, logout, false},
        {"delete several: logged out", CopyTag::DeleteSelected, {kMail, kNote}, logout, false},
        {"delete all: logged out", CopyTag::DeleteAll, {}, logout, false},
        {"cut all: logged out", CopyTag::CutAll, {}, logout, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!session.isLoggedIn()) login();
        clipboard.content = "replacement";
        list.selectAllRows(EntryView::lvPassword, false);
        for (int selected : c.selected)
            list.setSelected(EntryView::lvPassword, selected, true);
        ui.answers = {true};
        ui.whileAsking = c.whileAsking;
        const std::string mailData = data(kMail);
        const std::size_t questions = ui.questions.size();

        clipboardCommands.copyEntry(c.tag);

        EXPECT_EQ(questions + 1, ui.questions.size());
        if (!session.isLoggedIn()) {
            EXPECT_EQ(0, list.rowCount(EntryView::lvPassword)) << "the list went with the account";
            EXPECT_FALSE(c.acts);
            continue;
        }
        const bool acted = c.tag == CopyTag::Replace ? data(kMail) != mailData : deletedCount() > 0;
        EXPECT_EQ(c.acts, acted);
        for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i)
            list.undeleteRow(EntryView::lvPassword, i);
    }
}

TEST_F(ClipboardCommandsTest, CopyPutsTheFieldOnTheClipboardUnderTheGuard) {
    struct Case {
        ContextTag tag;
        std::string expected;
    };
    select(kMail);
    const Case cases[] = {
        {ContextTag::Password, "pw-mail"},         {ContextTag::Title, "Mail"},
        {ContextTag::Details, "the mail account"}, {ContextTag::WholeEntry, wholeEntry(kMail)},
        {ContextTag::OpenLink, "pw-mail"}, // not a Link: the password
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.tag));
        guard.stopGuard();
        clipboard.content.reset();
        ui.status = "old status";
        clipboardCommands.copyEntryPassword(c.tag, false);
        EXPECT_EQ(c.expected, clipboard.content.value_or("<none>"));
        EXPECT_TRUE(guard.running());
        EXPECT_EQ(c.expected.substr(0, 79), std::string(guard.remembered()));
        EXPECT_EQ("Entry Mail has been copied to the Clipboard!", ui.status);
    }
    EXPECT_TRUE(shell.opened.empty());
}

TEST_F(ClipboardCommandsTest, CopyNeedsAnEntryAndAGoodWrite) {
    clipboard.content = "theirs";
    ui.status = "old status";
    clipboardCommands.copyEntryPassword(ContextTag::Password, false);
    EXPECT_EQ("", ui.status) << "the status is emptied first";
    EXPECT_EQ(0, clipboard.writes);

    select(kMail);
    clipboard.garbles = true;
    clipboardCommands.copyEntryPassword(ContextTag::Password, false);
    EXPECT_FALSE(guard.running()) << "read back different: no guard";
    EXPECT_EQ("", ui.status);

    clipboard.garbles = false;
    clipboard.locked = true;
    clipboardCommands.copyEntryPassword(ContextTag::Password, false);
    EXPECT_FALSE(guard.running());

    clipboard.locked = false;
    session.endSession();
    clipboardCommands.copyEntryPassword(ContextTag::Password, false);
    EXPECT_FALSE(guard.running()) << "logged out";
}

TEST_F(ClipboardCommandsTest, OpenLinkOpensOnlyWebAddressesAndHidesTheMainWindow) {
    select(kBank);
    clipboardCommands.copyEntryPassword(ContextTag::OpenLink, false);
    EXPECT_EQ(Texts{"https://bank.example.com/login"}, shell.opened);
    EXPECT_EQ(ShowMode::Maximized, shell.modes.at(0));
    EXPECT_EQ(1, window.hides);
    EXPECT_EQ(0, clipboard.writes) << "opening puts nothing on the clipboard";

    // Anything else in a Details text is refused with the warnweblink message.
    select(kShady);
    clipboardCommands.copyEntryPassword(ContextTag::OpenLink, false);
    EXPECT_EQ(1u, shell.opened.size());
    const std::string warning =
        formatText(messages.text(Msg::warnweblink), {"file:///C:/Windows/system32/calc.exe"});
    EXPECT_EQ(Texts{warning}, ui.warnings);
    EXPECT_EQ(warning, ui.status);
    EXPECT_EQ(1, window.hides);

    // The shell refuses: the main window stays, and the user learns why nothing opened.
    window.visible = true;
    shell.succeeds = false;
    select(kBank);
    clipboardCommands.copyEntryPassword(ContextTag::OpenLink, false);
    EXPECT_EQ(2u, shell.opened.size());
    EXPECT_EQ(1, window.hides);
    ASSERT_EQ(2u, ui.warnings.size());
    EXPECT_EQ("No web browser could be started to open https://bank.example.com/login.",
              ui.warnings.back());
}

TEST_F(ClipboardCommandsTest, TheCopyButtonOpensALinkOnlyWithOpenLink) {
    select(kBank);
    settings.openLink = false;
    clipboardCommands.copyEntryPassword(ContextTag::OpenLink, true);
    EXPECT_EQ("pw-bank", clipboard.content.value_or("<none>"));
    EXPECT_TRUE(shell.opened.empty());

    settings.openLink = true;
    clipboardCommands.copyEntryPassword(ContextTag::OpenLink, true);
    EXPECT_EQ(Texts{"https://bank.example.com/login"}, shell.opened);

    // The menu item opens whatever OpenLink says.
    settings.openLink = false;
    clipboardCommands.copyEntryPassword(ContextTag::OpenLink, false);
    EXPECT_EQ(2u, shell.opened.size());
}

TEST_F(ClipboardCommandsTest, CopyAllAndSelectedTakeTheVisibleList) {
    clipboardCommands.copyEntry(CopyTag::AllEntries);
    EXPECT_EQ(wholeEntry(0) + wholeEntry(1) + wholeEntry(2) + wholeEntry(3),
              clipboard.content.value_or("<none>"));
    EXPECT_TRUE(guard.running());

    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    clipboardCommands.copyEntry(CopyTag::AllEntries);
    EXPECT_EQ(wholeEntry(kBank) + wholeEntry(kShady), clipboard.content.value_or("<none>"));
    select(1); // the second Link
    clipboardCommands.copyEntry(CopyTag::SelectedEntries);
    EXPECT_EQ(wholeEntry(kShady), clipboard.content.value_or("<none>"));
    clipboardCommands.copyEntry(CopyTag::WholeEntry);
    EXPECT_EQ(wholeEntry(kShady), clipboard.content.value_or("<none>"));

    ASSERT_TRUE(list.chooseTypeTab(kEntryText));
    clipboardCommands.copyEntry(CopyTag::SelectAll);
    EXPECT_EQ((std::vector<int>{0}), list.selectedRows(EntryView::lvSub));
    list.selectAllRows(EntryView::lvSub, false);
    clipboard.writes = 0;
    clipboardCommands.copyEntry(CopyTag::SelectedEntries);
    EXPECT_EQ(0, clipboard.writes) << "nothing selected: nothing copied";
}

TEST_F(ClipboardCommandsTest, CutDeletesOnlyAfterAGoodWrite) {
    struct Case {
        const char* what;
        CopyTag tag;
        std::vector<int> selected;
        std::string text;
        std::vector<int> deleted;
    };
    const Case cases[] = {
        {"password", CopyTag::CutPassword, {kBank}, "pw-bank", {kBank}},
        {"whole entry", CopyTag::CutWholeEntry, {kBank}, wholeEntry(kBank), {kBank}},
        {"selected",
         CopyTag::CutSelected,
         {kMail, kNote},
         wholeEntry(kMail) + wholeEntry(kNote),
         {kMail, kNote}},
        {"all",
         CopyTag::CutAll,
         {},
         wholeEntry(0) + wholeEntry(1) + wholeEntry(2) + wholeEntry(3),
         {0, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        for (bool writeFails : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (writeFails ? ", write fails" : ""));
            guard.stopGuard();
            for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i)
                list.undeleteRow(EntryView::lvPassword, i);
            session.setModified(false);
            list.selectAllRows(EntryView::lvPassword, false);
            for (int selected : c.selected)
                list.setSelected(EntryView::lvPassword, selected, true);
            clipboard.content = "theirs";
            clipboard.garbles = writeFails;
            ui.answers = {true};

            clipboardCommands.copyEntry(c.tag);

            std::vector<int> deletedRows;
            for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i)
                if (deleted(i)) deletedRows.push_back(i);
            EXPECT_EQ(writeFails ? std::vector<int>{} : c.deleted, deletedRows);
            EXPECT_EQ(!writeFails, session.modified());
            EXPECT_EQ(!writeFails, guard.running());
            if (!writeFails) {
                EXPECT_EQ(c.text, clipboard.content.value_or("<none>"));
                EXPECT_EQ(kIconDeleted, row(c.deleted.front()).icon);
            }
        }
    }
    // Locked by another program: nothing is deleted.
    for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i)
        list.undeleteRow(EntryView::lvPassword, i);
    clipboard.garbles = false;
    clipboard.locked = true;
    select(kMail);
    ui.answers = {true};
    clipboardCommands.copyEntry(CopyTag::CutWholeEntry);
    EXPECT_FALSE(deleted(kMail));
}

TEST_F(ClipboardCommandsTest, DeleteMarksTheRowsOfTheVisibleList) {
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    list.selectAllRows(EntryView::lvSub, true);
    ui.answers = {true};
    clipboardCommands.copyEntry(CopyTag::DeleteSelected);
    EXPECT_EQ(Texts{question(Msg::warndeleteselected)}, ui.questions);
    EXPECT_TRUE(deleted(kBank));
    EXPECT_TRUE(deleted(kShady));
    EXPECT_FALSE(deleted(kMail));
    EXPECT_EQ(kIconDeleted, list.row(EntryView::lvSub, 0).icon) << "the twin follows";
    EXPECT_TRUE(session.modified());

    ASSERT_TRUE(list.chooseTypeTab(kEntryText));
    ui.answers = {true};
    clipboardCommands.copyEntry(CopyTag::DeleteAll);
    EXPECT_TRUE(deleted(kNote));
    EXPECT_FALSE(deleted(kMail)) << "all the entries of the visible list";
}

TEST_F(ClipboardCommandsTest, ReplaceTakesTheClipboardTextIntoTheCurrentEntry) {
    settings.minimize = true;
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    select(0); // Bank
    const std::int64_t offset = row(kBank).record->fileOffset;
    ASSERT_GE(offset, 0);
    clipboard.content = std::string(90, 'n');
    ui.answers = {true};
    clipboardCommands.copyEntry(CopyTag::Replace);

    const std::string replaced(79, 'n');
    EXPECT_EQ(replaced, data(kBank));
    EXPECT_EQ(offset, row(kBank).record->fileOffset) << "the file offset is kept";
    EXPECT_EQ(kIconChanged, row(kBank).icon);
    EXPECT_EQ(kIconChanged, list.row(EntryView::lvSub, 0).icon);
    EXPECT_TRUE(session.modified());
    EXPECT_EQ(std::vector<int>{kBank}, window.shownRows);
    EXPECT_EQ("Bank [" + replaced + "]", ui.banner);
    EXPECT_TRUE(guard.running());
    EXPECT_EQ(replaced, std::string(guard.remembered()));
    EXPECT_EQ(0, window.hides) << "the text came from the clipboard: the window stays";
    EXPECT_EQ(std::string(90, 'n'), clipboard.content) << "the clipboard is not rewritten";

    // No text: nothing happens after the question.
    clipboard.content.reset();
    ui.answers = {true};
    clipboardCommands.copyEntry(CopyTag::Replace);
    EXPECT_EQ(replaced, data(kBank));
}

TEST_F(ClipboardCommandsTest, DoubleClickRules) {
    struct Case {
        const char* what;
        bool openLink;
        std::uint8_t dblClick;
        int row;
        std::string clipboardBefore;
        int edits;
        std::string clipboardAfter; // "<none>": emptied
        int opened;
    };
    const Case cases[] = {
        {"edit: the entry's password leaves the clipboard", false, kDblClickEdit, kMail, "pw-mail",
         1, "<none>", 0},
        {"edit: another text stays", false, kDblClickEdit, kMail, "theirs", 1, "theirs", 0},
        {"copy the password", false, kDblClickCopyPassword, kMail, "theirs", 0, "pw-mail", 0},
        {"nothing", false, kDblClickNothing, kMail, "theirs", 0, "theirs", 0},
        {"OpenLink on a Link opens it", true, kDblClickEdit, kBank, "theirs", 0, "theirs", 1},
        {"OpenLink on a Link that is no web address", true, kDblClickEdit, kShady, "theirs", 0,
         "theirs", 0},
        {"OpenLink on a Password entry: the DblClick action", true, kDblClickCopyPassword, kMail,
         "theirs", 0, "pw-mail", 0},
        {"no current entry", true, kDblClickEdit, -1, "theirs", 0, "theirs", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings.openLink = c.openLink;
        settings.dblClick = c.dblClick;
        if (c.row >= 0)
            select(c.row);
        else
            list.selectAllRows(EntryView::lvPassword, false);
        clipboard.content = c.clipboardBefore;
        shell.opened.clear();
        int edits = 0;
        clipboardCommands.doubleClick([&] { ++edits; });
        EXPECT_EQ(c.edits, edits);
        EXPECT_EQ(c.clipboardAfter, clipboard.content.value_or("<none>"));
        EXPECT_EQ(c.opened, static_cast<int>(shell.opened.size()));
    }
}

} // namespace
} // namespace kh::test
