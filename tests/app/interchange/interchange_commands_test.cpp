// Export and import against a real session, entry list and files: which rows go out, the
// save dialog and the name rule, the messages, what an export that did not reach the disk
// whole reports, the silent import failures, the guard after a clipboard import and the
// counts of entries cut or not restorable.
#include "open_vault.h"

#include "interchange_commands.h"
#include "interchange_texts.h"
#include "text_format.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kh::test {
namespace {

using namespace vault;

using Texts = std::vector<std::string>;

const std::vector<VaultRow>& sampleRows() {
    static const std::vector<VaultRow> rows = {
        {kEntryPassword, "Mail", "webmail", "pw-mail", "the mail account"},
        {kEntryLink, "Bank", "bank", " pw bank ", "https://bank.example.com/login"},
        {kEntryText, "Note", "note", "2024-05-01 10:00:00", "buy milk & <eggs>"},
        {kEntryLink, "Forum", "board", "pw-forum", "forum.example.net"},
    };
    return rows;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class InterchangeTest : public OpenVault {
  protected:
    InterchangeTest()
        : OpenVault(sampleRows()), commands(
                                       session, list, messages, clipboard, guard, dialogs,
                                       [this] { return interchangeTexts(messages, false); },
                                       [this](bool busy) { busyCalls.push_back(busy); }) {}

    std::string message(Msg msg, FormatArg arg) const {
        return formatText(messages.text(msg), {arg});
    }
    Texts titlesIn(std::string_view text) const {
        Texts all;
        for (const EntryValues& entry : importText(text, interchangeTexts(messages, false)))
            all.push_back(entry.title);
        return all;
    }

    std::vector<bool> busyCalls;
    InterchangeCommands commands;
};

TEST_F(InterchangeTest, CollectsTheShownRowsInTheirOrder) {
    struct Case {
        const char* what;
        int tab;
        std::vector<int> selected; // rows of the shown list
        bool selectedOnly;
        Texts expected;
    };
    const Case cases[] = {
        {"every row of ALL", 0, {}, false, {"Mail", "Bank", "Note", "Forum"}},
        {"every row, whatever is selected", 0, {2}, false, {"Mail", "Bank", "Note", "Forum"}},
        {"the selected rows in list order", 0, {3, 0}, true, {"Mail", "Forum"}},
        {"the rows of a type tab", 2, {}, false, {"Bank", "Forum"}},
        {"the selected row of a type tab", 2, {1}, true, {"Forum"}},
        {"nothing selected", 0, {}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(list.chooseTypeTab(c.tab));
        list.selectOnly(list.visibleList(), -1);
        for (int row : c.selected)
            list.setSelected(list.visibleList(), row, true);
        const CollectedEntries collected =
            collectEntries(list, c.selectedOnly, interchangeTexts(messages, false));
        EXPECT_EQ(c.expected, titlesIn(collected.blocks.text.view()));
        EXPECT_EQ(static_cast<int>(c.expected.size()), collected.count);
    }
}

TEST_F(InterchangeTest, DeletedRowsAndSortedRowsGoOutAsShown) {
    ASSERT_TRUE(list.markRowDeleted(EntryView::lvPassword, 1));
    ASSERT_TRUE(list.sortByColumn(kColumnTitle));
    const CollectedEntries collected =
        collectEntries(list, false, interchangeTexts(messages, false));
    EXPECT_EQ((Texts{"Bank", "Forum", "Mail", "Note"}), titlesIn(collected.blocks.text.view()));
}

TEST_F(InterchangeTest, ExportThenImportGivesTheSameEntries) {
    dialogs.answers.push_back(dir.file("out"));
    ASSERT_TRUE(commands.exportEntries(false));

    ASSERT_EQ(1u, dialogs.saves.size());
    EXPECT_EQ(kExportFilter, dialogs.saves[0].filter);
    EXPECT_EQ(2, dialogs.saves[0].filterIndex);
    EXPECT_TRUE(dialogs.saves[0].askOverwrite);
    const std::string written = dir.file("out.xml");
    const std::string text = fileText(written);
    EXPECT_EQ(0u, text.find("<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Entry>\r\n"
                            "  <Title>Mail</Title>\r\n"));
    EXPECT_EQ((Texts{"Mail", "Bank", "Note", "Forum"}), titlesIn(text));
    const std::string done = message(Msg::exportwarning, written);
    EXPECT_EQ(Texts{done}, ui.warnings);
    EXPECT_EQ(done, ui.status);
    EXPECT_FALSE(session.modified());

    dialogs.answers.push_back(written);
    EXPECT_EQ(4, commands.importXmlFile());
    ASSERT_EQ(1u, dialogs.opens.size());
    EXPECT_EQ(kImportFilter, dialogs.opens[0].filter);
    EXPECT_EQ(1, dialogs.opens[0].filterIndex);
    EXPECT_EQ((std::vector<bool>{true, false}), busyCalls);
    EXPECT_EQ("Import From XML: 4 items imported!", ui.status);
    EXPECT_TRUE(session.modified());
    ASSERT_EQ(8, list.rowCount(EntryView::lvPassword));
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const EntryRow& original = list.row(EntryView::lvPassword, i);
        const EntryRow& imported = list.row(EntryView::lvPassword, i + 4);
        EXPECT_EQ(original.caption, imported.caption);
        EXPECT_EQ(original.whatsThis, imported.whatsThis);
        EXPECT_EQ(original.details, imported.details);
        EXPECT_EQ(original.record->type, imported.record->type);
        EXPECT_EQ(original.record->data.view(), imported.record->data.view());
        EXPECT_EQ(kIconNew, imported.icon);
        EXPECT_EQ(kOffsetUnsaved, imported.record->fileOffset);
    }
}

TEST_F(InterchangeTest, AFileUnderTheNameWithXmlAddedIsReplacedOnlyWhenTheUserSaysSo) {
    const std::string existing = dir.file("out.xml");
    writeBytes(existing, Bytes{'k', 'e', 'e', 'p'});
    const std::string question = message(Msg::queryreplacefile, existing);

    dialogs.answers.push_back(dir.file("out"));
    EXPECT_FALSE(commands.exportEntries(false));
    EXPECT_EQ(Texts{question}, ui.questions);
    EXPECT_EQ("keep", fileText(existing));
    EXPECT_TRUE(ui.warnings.empty());

    ui.answers.push_back(true);
    dialogs.answers.push_back(dir.file("out"));
    EXPECT_TRUE(commands.exportEntries(false));
    EXPECT_EQ(4u, titlesIn(fileText(existing)).size());

    // A name the dialog itself asked about is not asked about again.
    dialogs.answers.push_back(existing);
    EXPECT_TRUE(commands.exportEntries(false));
    EXPECT_EQ(2u, ui.questions.size());
}

TEST_F(InterchangeTest, NothingToExportAsksAndShowsNothing) {
    const std::string status = ui.status;
    EXPECT_FALSE(commands.exportEntries(true)); // nothing selected
    EXPECT_EQ(status, ui.status);
    session.endSession();
    EXPECT_FALSE(commands.exportEntries(false));
    EXPECT_TRUE(dialogs.saves.empty());
    EXPECT_TRUE(ui.warnings.empty());
}

// The real file system, except that replacing the target keeps only half of the new file
// and still reports success, as a full disk behind a lying driver would.
class HalfWritingFileSystem : public FileSystem {
  public:
    PathKind pathKind(const std::string& path) override { return real.pathKind(path); }
    bool canWrite(const std::string& path) override { return real.canWrite(path); }
    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override {
        return real.createTempBeside(target, tempPath);
    }
    bool commitToDisk(SdrFile& file) override { return real.commitToDisk(file); }
    bool replaceFile(const std::string& source, const std::string& target) override {
        const Bytes bytes = readBytes(source);
        writeBytes(target, Bytes(bytes.begin(), bytes.begin() + bytes.size() / 2));
        return real.removeFile(source);
    }
    bool removeFile(const std::string& path) override { return real.removeFile(path); }

    FileSystem& real = nativeFileSystem();
};

TEST_F(InterchangeTest, AnExportThatDidNotReachTheDiskWholeIsReportedAsFailed) {
    HalfWritingFileSystem halfWriting;
    InterchangeCommands halfCommands(
        session, list, messages, clipboard, guard, dialogs,
        [this] { return interchangeTexts(messages, false); }, nullptr, halfWriting);
    struct Case {
        const char* what;
        InterchangeCommands& commands;
        std::string path;
    };
    const Case cases[] = {
        {"folder missing", commands, dir.file("missing") + "/out.xml"},
        {"half of the file written", halfCommands, dir.file("half.xml")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui.warnings.clear();
        dialogs.answers.push_back(c.path);
        EXPECT_FALSE(c.commands.exportEntries(false));
        const std::string failed = message(Msg::savefailed, c.path);
        EXPECT_EQ(Texts{failed}, ui.warnings);
        EXPECT_EQ(failed, ui.status);
    }
}

TEST_F(InterchangeTest, AnAccountThatLoggedOutWhileTheDialogWasOpenIsLeftAlone) {
    dialogs.whileOpen = [this] { session.endSession(); };
    dialogs.answers.push_back(dir.file("out.xml"));
    EXPECT_FALSE(commands.exportEntries(false));
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.xml")));

    ASSERT_TRUE(session.loginAccount(file, "alice", "pw-alice"));
    std::ofstream(dir.file("in.xml"), std::ios::binary)
        << "<Entry><Type>Password</Type><Title>New</Title><Data>x</Data></Entry>";
    dialogs.whileOpen = [this] { session.endSession(); };
    dialogs.answers.push_back(dir.file("in.xml"));
    EXPECT_EQ(0, commands.importXmlFile());
    EXPECT_TRUE(ui.warnings.empty());
}

// Another password manager's export: recognised from the file, added in one list change,
// and the summary names what stayed out; a file in no known format adds nothing and says why.
TEST_F(InterchangeTest, AnotherManagersExportComesInWithItsSummary) {
    const std::string path = dir.file("bitwarden.csv");
    std::ofstream(path, std::ios::binary)
        << "folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,"
           "login_password,login_totp\r\n"
           ",,login,Shop,,,0,https://shop.example/,ann,s\xC3\xA9same,\r\n"
           ",,note,Plan,\"step 1\nstep 2\",,0,,,,\r\n"
           ",,login,Bad,,,0,,bob,\xE2\x82\xAC\xE2\x98\x83,\r\n";
    int changes = 0;
    const auto watch = list.OnRowsChanged.subscribe([&changes](RowsChange) { ++changes; });
    dialogs.answers.push_back(path);
    EXPECT_EQ(2, commands.importOtherFile());
    ASSERT_EQ(1u, dialogs.opens.size());
    EXPECT_EQ(kOtherImportFilter, dialogs.opens[0].filter);
    EXPECT_EQ((std::vector<bool>{true, false}), busyCalls);
    EXPECT_EQ(1, changes);
    EXPECT_TRUE(session.modified());
    EXPECT_EQ((Texts{"Mail", "Bank", "Note", "Forum", "ann", "Plan"}), titles());
    const EntryRow& link = list.row(EntryView::lvPassword, 4);
    EXPECT_EQ(kEntryLink, link.record->type);
    EXPECT_EQ("Shop", link.whatsThis);
    EXPECT_EQ("s\xE9same", link.record->data.view());
    EXPECT_EQ("https://shop.example/", link.details);
    EXPECT_EQ("step 1\r\nstep 2", list.row(EntryView::lvPassword, 5).details);
    ASSERT_EQ(1u, ui.warnings.size());
    const std::string summary = "Import From Bitwarden CSV: 2 items imported, 1 skipped.";
    EXPECT_EQ(0u, ui.warnings[0].find(summary + "\n\nNot imported:\n- Bad: ")) << ui.warnings[0];

    std::ofstream(path, std::ios::binary) << "a;b;c\n1;2;3\n";
    dialogs.answers.push_back(path);
    EXPECT_EQ(0, commands.importOtherFile());
    EXPECT_EQ(6, list.rowCount(EntryView::lvPassword));
    ASSERT_EQ(2u, ui.warnings.size());
    EXPECT_EQ(0u, ui.warnings[1].find("This file is not in a format that Keyhaven can import."));
}

TEST_F(InterchangeTest, TheMessagesSayWhatCouldNotBeCarried) {
    // A password holding the form's own closing tag cannot come back whole.
    ASSERT_TRUE(list.addEntryRow("Tagged", "a</Data>b", kOffsetUnsaved, kEntryPassword, "", ""));
    const std::string path = dir.file("lossy.xml");
    dialogs.answers.push_back(path);
    ASSERT_TRUE(commands.exportEntries(false));
    EXPECT_EQ(Texts{message(Msg::exportwarning, path) + "\n\n" + message(Msg::exportlossy, 1)},
              ui.warnings);

    const std::string longTitle(100, 'T');
    const std::string blocks = "<Entry><Type>Password</Type><Title>" + longTitle +
                               "</Title><Data>x</Data></Entry>"
                               "<Entry><Type>Text</Type><Title>Short</Title><Data>y</Data></Entry>";
    EXPECT_EQ(2, commands.importText(blocks));
    EXPECT_EQ("Import From XML: 2 items imported! " + message(Msg::importcut, 1), ui.status);
    EXPECT_EQ(std::string(79, 'T'), list.row(EntryView::lvPassword, 5).caption);
}

TEST_F(InterchangeTest, ImportFromTheClipboardGuardsTheTextOnlyWhenEntriesCameIn) {
    guardOptions.minimize = true; // a guard start would send the window to the tray
    clipboard.content = "no entries here";
    EXPECT_EQ(0, commands.importClipboard());
    EXPECT_EQ("Import From XML: 0 items imported!", ui.status);
    EXPECT_FALSE(guard.running());

    const std::string blocks = "header<Entry><Type> link </Type><Title>Site</Title>"
                               "<Data>pw</Data></Entry>";
    clipboard.content = blocks;
    EXPECT_EQ(1, commands.importClipboard());
    EXPECT_TRUE(guard.running());
    EXPECT_EQ(std::string_view(blocks).substr(0, kClipboardTextCut), guard.remembered());
    EXPECT_TRUE(window.visible);
    EXPECT_EQ(kEntryLink, list.row(EntryView::lvPassword, 4).record->type);
}

TEST_F(InterchangeTest, UnreadableFilesImportNothingAndSayNothing) {
    writeBytes(dir.file("empty.xml"), Bytes{});
    const std::string status = ui.status;
    const std::vector<std::optional<std::string>> answers = {
        std::nullopt, dir.file("empty.xml"), dir.file("missing.xml"), dir.path().string()};
    for (const auto& answer : answers) {
        SCOPED_TRACE(answer.value_or("cancelled"));
        dialogs.answers.push_back(answer);
        EXPECT_EQ(0, commands.importXmlFile());
    }
    EXPECT_EQ(4, list.rowCount(EntryView::lvPassword));
    EXPECT_EQ(status, ui.status);
    EXPECT_TRUE(ui.warnings.empty());
    EXPECT_FALSE(session.modified());
}

TEST_F(InterchangeTest, ALargeImportChangesTheListOnce) {
    std::vector<EntryValues> entries(10000);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].title = "Entry " + std::to_string(i);
        entries[i].type = kEntryLink;
        entries[i].data = "pw";
    }
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    int changes = 0;
    const auto watch = list.OnRowsChanged.subscribe([&changes](RowsChange) { ++changes; });
    EXPECT_EQ(10000,
              commands.importText(entriesText(entries, interchangeTexts(messages, false)).view()));
    EXPECT_EQ(1, changes);
    EXPECT_EQ(10004, list.rowCount(EntryView::lvPassword));
    EXPECT_EQ(10002, list.rowCount(EntryView::lvSub)); // they joined the shown Link tab
}

} // namespace
} // namespace kh::test
