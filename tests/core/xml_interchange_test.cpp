#include "test_files.h"
#include "xml_interchange.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace kh {
namespace {

using test::TempDir;

EntryValues makeEntry(std::int32_t type, std::string title, std::string_view data,
                      std::string whatsThis = "", std::string description = "") {
    EntryValues e;
    e.type = type;
    e.title = std::move(title);
    e.data = data;
    e.whatsThis = std::move(whatsThis);
    e.description = std::move(description);
    return e;
}

std::string block(std::string_view title, std::string_view description, std::string_view type,
                  std::string_view data, std::string_view whatsThis) {
    return "<Entry>\r\n  <Title>" + std::string(title) + "</Title>\r\n  <Description>" +
           std::string(description) + "</Description>\r\n  <Type>" + std::string(type) +
           "</Type>\r\n  <Version>1</Version>\r\n  <Data>" + std::string(data) +
           "</Data>\r\n  <WhatsThis>" + std::string(whatsThis) + "</WhatsThis>\r\n</Entry>\r\n";
}

void expectSame(const EntryValues& got, const EntryValues& want) {
    EXPECT_EQ(got.type, want.type);
    EXPECT_EQ(got.title, want.title);
    EXPECT_EQ(got.whatsThis, want.whatsThis);
    EXPECT_EQ(got.data.view(), want.data.view());
    EXPECT_EQ(got.description, want.description);
}

InterchangeTexts germanTexts(bool inForce) {
    InterchangeTexts t;
    t.passwordName = "Kennwort";
    t.linkName = "Verkn\xFCpfung"; // with u umlaut
    t.textName = "Notiz";
    t.unknownName = "Unbekannt";
    t.languageInForce = inForce;
    return t;
}

TEST(EntryText, FillsTheTemplateWithValuesAsTheyAre) {
    const InterchangeTexts english;
    const EntryValues e = makeEntry(kEntryLink, "Tom & Jerry <3", " p&ss ", "why", "a\r\nb");
    EXPECT_EQ(entryText(e, english).view(),
              block("Tom & Jerry <3", "a\r\nb", "Link", " p&ss ", "why"));
    // Type names follow the texts in force; other codes show as unknown.
    EXPECT_EQ(entryText(makeEntry(kEntryPassword, "t", "d"), germanTexts(true)).view(),
              block("t", "", "Kennwort", "d", ""));
    EXPECT_EQ(entryText(makeEntry(7, "t", "d"), english).view(),
              block("t", "", "Unknown", "d", ""));
    EXPECT_EQ(typeName(0, english), "Unknown");
    EXPECT_EQ(typeName(kEntryText, germanTexts(true)), "Notiz");
}

TEST(EntryText, HostileTemplatesNeitherCrashNorLeakOtherArguments) {
    InterchangeTexts texts;
    const EntryValues e = makeEntry(kEntryText, "T", "secret", "W", "D");
    texts.itemTemplate = "%n|%s|%p";
    EXPECT_EQ(entryText(e, texts).view(), "%n|T|%p");
    texts.itemTemplate = "<Entry>%s</Entry>"; // too few placeholders: the rest is left out
    EXPECT_EQ(entryText(e, texts).view(), "<Entry>T</Entry>");
    texts.itemTemplate = "%s%s%s%s%s%s%s%s%08X";
    EXPECT_EQ(entryText(e, texts).view(), "TDText1secretW%s%s%08X");
    texts.itemTemplate = "%99999999s";
    EXPECT_EQ(entryText(e, texts).view().size(), 1024u);
}

TEST(ExportFile, RoundTripThroughAFileKeepsDataAsItIsAndTrimsTheRest) {
    const InterchangeTexts english;
    const std::vector<EntryValues> entries = {
        makeEntry(kEntryPassword, "  Mail\t", "  pass word \t", " webmail ", "\r\nline 1\r\n"),
        makeEntry(kEntryText, "Note & <more>", "", "", "x"),
    };
    const SecretString blocks = entriesText(entries, english);
    const SecretString fileText = exportFileText(blocks.view(), english);
    EXPECT_EQ(fileText.view(),
              "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n" +
                  block("  Mail\t", "\r\nline 1\r\n", "Password", "  pass word \t", " webmail ") +
                  block("Note & <more>", "x", "Text", "", ""));

    TempDir dir;
    const std::string path = dir.file("export.xml");
    ASSERT_TRUE(writeExportFile(path, fileText.view()));
    const std::optional<SecretString> read = readImportFile(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->view(), fileText.view()); // binary: the CR LF line ends stay

    const std::vector<EntryValues> imported = importText(read->view(), english);
    ASSERT_EQ(imported.size(), 2u);
    expectSame(imported[0],
               makeEntry(kEntryPassword, "Mail", "  pass word \t", "webmail", "line 1"));
    expectSame(imported[1], entries[1]);
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"export.xml"});
}

struct BlockCase {
    const char* name;
    std::string text;
    bool accepted;
    EntryValues expected = {};
};

void PrintTo(const BlockCase& c, std::ostream* os) {
    *os << c.name;
}

class ImportBlock : public ::testing::TestWithParam<BlockCase> {};

TEST_P(ImportBlock, ReadsOrRejects) {
    const BlockCase& c = GetParam();
    const std::vector<EntryValues> got = importText(c.text, InterchangeTexts{});
    ASSERT_EQ(got.size(), c.accepted ? 1u : 0u);
    if (c.accepted) expectSame(got[0], c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, ImportBlock,
    ::testing::Values(
        BlockCase{"DataEndsAtTheFirstClosingTag", block("T", "", "Password", "ab</Data>cd", ""),
                  true, makeEntry(kEntryPassword, "T", "ab")},
        BlockCase{"TypeInAnyCaseWithBlanks", block("T", "", " lInK ", "d", ""), true,
                  makeEntry(kEntryLink, "T", "d")},
        BlockCase{"TrimsBlanksAndControlCharacters",
                  block("\x01\t T \r\n",
                        " \x1F"
                        "D ",
                        "\ttext\r\n", " d ", "\x7F W "),
                  true, makeEntry(kEntryText, "T", " d ", "\x7F W", "D")},
        BlockCase{"WithoutWhatsThisOrDescriptionOrVersion",
                  "<Entry><Data>d</Data><Title>T</Title><Type>Text</Type></Entry>", true,
                  makeEntry(kEntryText, "T", "d")},
        BlockCase{"WhatsThisOpenedButNotClosedIsIgnored",
                  "<Entry><Title>T</Title><Type>Text</Type><Data></Data><WhatsThis>w</Entry>", true,
                  makeEntry(kEntryText, "T", "")},
        BlockCase{"ElementsAfterTheFirstOccurrenceAreIgnored",
                  "<Entry><Title>A</Title><Title>B</Title><Type>Link</Type><Type>Text</Type>"
                  "<Data>1</Data><Data>2</Data></Entry>",
                  true, makeEntry(kEntryLink, "A", "1")},
        BlockCase{"DescriptionOpenedButNotClosed",
                  "<Entry><Title>T</Title><Description>d<Type>Text</Type><Data>d</Data></Entry>",
                  false},
        BlockCase{"UnknownType", block("T", "", "Unknown", "d", ""), false},
        BlockCase{"EmptyType", block("T", "", "  ", "d", ""), false},
        BlockCase{"NoType", "<Entry><Title>T</Title><Data>d</Data></Entry>", false},
        BlockCase{"BlankTitle", block(" \t\r\n", "", "Text", "d", ""), false},
        BlockCase{"TitleClosedOnlyBeforeItOpens",
                  "<Entry></Title><Title>T<Type>Text</Type><Data>d</Data></Entry>", false},
        BlockCase{"NoData", "<Entry><Title>T</Title><Type>Text</Type><Data>d</Entry>", false},
        BlockCase{"TagsAreCaseSensitive",
                  "<Entry><title>T</title><Type>Text</Type>"
                  "<Data>d</Data></Entry>",
                  false},
        BlockCase{"ElementsOutsideTheBlockDoNotCount",
                  "<Title>T</Title><Entry><Type>Text</Type><Data>d</Data></Entry>", false},
        BlockCase{"BlockNeverClosed", "<Entry><Title>T</Title><Type>Text</Type><Data>d</Data>",
                  false}),
    [](const ::testing::TestParamInfo<BlockCase>& p) { return std::string(p.param.name); });

TEST(ImportText, LanguageTypeNamesCountOnlyWhileTheLanguageIsInForce) {
    const std::string text = block("A", "", "kennwort", "1", "") +
                             block("B", "", "VERKN\xDCPFUNG", "2", "") + // capital U umlaut
                             block("C", "", "Password", "3", "") + block("D", "", "notiz", "4", "");
    const std::vector<EntryValues> inForce = importText(text, germanTexts(true));
    ASSERT_EQ(inForce.size(), 4u);
    EXPECT_EQ(inForce[0].type, kEntryPassword);
    EXPECT_EQ(inForce[1].type, kEntryLink);
    EXPECT_EQ(inForce[2].type, kEntryPassword); // English names always count
    EXPECT_EQ(inForce[3].type, kEntryText);

    const std::vector<EntryValues> without = importText(text, germanTexts(false));
    ASSERT_EQ(without.size(), 1u);
    EXPECT_EQ(without[0].title, "C");
}

TEST(ImportText, EnglishAndLanguageNamesAreTriedTypeByType) {
    // A language whose word for Password is the English "Link": Password is tried first.
    InterchangeTexts texts;
    texts.passwordName = "Link";
    texts.linkName = "Password";
    texts.languageInForce = true;
    const std::vector<EntryValues> got =
        importText(block("A", "", "link", "1", "") + block("B", "", "password", "2", ""), texts);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, kEntryPassword);
    EXPECT_EQ(got[1].type, kEntryPassword);
}

TEST(ImportText, SkipsGarbageAndMalformedBlocksBetweenGoodOnes) {
    std::string text = "\xEF\xBB\xBFjunk </Entry> <?xml ?>\r\n" + block("A", "", "Text", "1", "");
    text += "<Entry><Title>broken</Entry>";
    text += std::string_view("\0\xFF garbage", 10);
    // A stray opening tag starts a block that runs to the next closing tag.
    text += "<Entry><Entry>" + block("B", "", "Link", "2", "");
    text += "trailing <Entry>" + block("C", "", "Text", "3", "");
    text += "<Entry><Title>D</Title><Type>Text</Type><Data>4</Data>"; // never closed
    const std::vector<EntryValues> got = importText(text, InterchangeTexts{});
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].title, "A");
    EXPECT_EQ(got[1].title, "B");
    EXPECT_EQ(got[2].title, "C");
    EXPECT_TRUE(importText("", InterchangeTexts{}).empty());
}

TEST(ImportText, TenThousandBlocksTakeWellUnderASecond) {
    const InterchangeTexts english;
    std::vector<EntryValues> entries;
    for (int i = 0; i < 10000; ++i)
        entries.push_back(makeEntry(1 + i % 3, "Title " + std::to_string(i),
                                    "secret " + std::to_string(i), "w", "d"));
    const SecretString text = exportFileText(entriesText(entries, english).view(), english);

    const auto start = std::chrono::steady_clock::now();
    const std::vector<EntryValues> got = importText(text.view(), english);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(got.size(), entries.size());
    expectSame(got[9999], entries[9999]);
    // Generous: only a search that starts over for every block comes near it.
    EXPECT_LT(elapsed, std::chrono::seconds(1));
}

struct NameCase {
    const char* chosen;
    const char* expected;
};

TEST(ExportFileName, AppendsXmlUnlessTheNameHasThatExtension) {
    const NameCase cases[] = {
        {"export", "export.xml"},
        {"export.xml", "export.xml"},
        {"C:\\Docs\\Export.XmL", "C:\\Docs\\Export.XmL"},
        {"vault.khk", "vault.khk.xml"},
        {"export.xml.bak", "export.xml.bak.xml"},
        {"export.", "export..xml"},
        {"C:\\my.files\\export", "C:\\my.files\\export.xml"},
        {"/home/u/.config.d/export", "/home/u/.config.d/export.xml"},
        {"D:\\a.xml\\b", "D:\\a.xml\\b.xml"},
        {"D:export", "D:export.xml"},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(exportFileName(c.chosen), c.expected) << c.chosen;
}

// Wraps the real file system and fails its n-th operation (every file-system call and
// every write, flush and close of the file being written).
class FailingFileSystem final : public FileSystem {
  public:
    explicit FailingFileSystem(int failAt) : failAt_(failAt) {}
    bool failedOnce() const { return failed_; }

    bool fail() {
        if (operations_++ != failAt_) return false;
        failed_ = true;
        return true;
    }

    PathKind pathKind(const std::string& path) override { return real().pathKind(path); }
    bool canWrite(const std::string& path) override { return !fail() && real().canWrite(path); }
    std::unique_ptr<SdrFile> createTempBeside(const std::string& target,
                                              std::string& tempPath) override {
        if (fail()) return nullptr;
        auto file = real().createTempBeside(target, tempPath);
        if (!file) return nullptr;
        // The real object stays alive inside: it holds the temporary file's lock.
        return std::make_unique<FailingFile>(*this, std::move(file));
    }
    bool commitToDisk(SdrFile& file) override { return !fail() && real().commitToDisk(file); }
    bool replaceFile(const std::string& source, const std::string& target) override {
        return !fail() && real().replaceFile(source, target);
    }
    bool removeFile(const std::string& path) override { return real().removeFile(path); }

  private:
    class FailingFile final : public SdrFile {
      public:
        FailingFile(FailingFileSystem& fs, std::unique_ptr<SdrFile> real)
            : fs_(fs), real_(std::move(real)) {
            attach(real_->release(), true);
        }
        long long write(const void* buffer, long long length, long long position) override {
            if (fs_.fail()) return length / 2; // short, as on a full disk
            return SdrFile::write(buffer, length, position);
        }
        bool flush() override { return !fs_.fail() && SdrFile::flush(); }
        bool close() override {
            const bool closed = SdrFile::close();
            return !fs_.fail() && closed;
        }

      private:
        FailingFileSystem& fs_;
        std::unique_ptr<SdrFile> real_;
    };

    static FileSystem& real() { return nativeFileSystem(); }

    int failAt_;
    int operations_ = 0;
    bool failed_ = false;
};

TEST(WriteExportFile, AFailureAtAnyPointKeepsTheOldFileAndLeavesNoTrace) {
    TempDir dir;
    const std::string path = dir.file("out.xml");
    ASSERT_TRUE(writeExportFile(path, "old\r\n"));
    const std::string fresh =
        "<?xml ?>\r\n" + block("T", "", "Text", std::string_view("\0\xFF", 2), "");

    int failures = 0;
    for (int failAt = 0;; ++failAt) {
        SCOPED_TRACE(failAt);
        ASSERT_LT(failAt, 20) << "the write never got through";
        FailingFileSystem fs(failAt);
        const bool written = writeExportFile(path, fresh, fs);
        EXPECT_EQ(dir.listing(), std::vector<std::string>{"out.xml"});
        if (!fs.failedOnce()) {
            ASSERT_TRUE(written);
            break;
        }
        ++failures;
        EXPECT_FALSE(written);
        EXPECT_EQ(test::readBytes(path), test::Bytes({'o', 'l', 'd', '\r', '\n'}));
    }
    EXPECT_GE(failures, 7); // check, create, write, flush, commit, close, replace
    const test::Bytes bytes = test::readBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), fresh);
}

TEST(WriteExportFile, RefusesAFolderAndAMissingFolder) {
    TempDir dir;
    EXPECT_FALSE(writeExportFile(dir.path().string(), "x"));
    EXPECT_FALSE(writeExportFile(dir.file("missing") + "/out.xml", "x"));
    EXPECT_FALSE(writeExportFile("", "x"));
    EXPECT_TRUE(dir.listing().empty());
}

#ifndef _WIN32
TEST(WriteExportFile, ThroughALinkWritesTheFileItLeadsToAndKeepsTheLink) {
    TempDir dir;
    const std::string real = dir.file("real.xml");
    const std::string link = dir.file("link.xml");
    ASSERT_TRUE(writeExportFile(real, "old"));
    std::filesystem::create_symlink("real.xml", link);
    ASSERT_TRUE(writeExportFile(link, "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(test::readBytes(real), test::Bytes({'n', 'e', 'w'}));
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"link.xml", "real.xml"}));
}
#endif

TEST(ImportBlocks, CountsTheEntriesWhoseTextsTheAccountFileCannotHold) {
    const InterchangeTexts english;
    const std::string n79(79, 'n'), n80(80, 'n'), n191(191, 'd'), n192(192, 'd');
    const struct {
        const char* name;
        std::string text;
        bool cut;
    } cases[] = {
        {"every field at its limit", block(n79, n191, "Text", n79, n79), false},
        {"data of 89 bytes", block("t", "", "Password", std::string(89, 'p'), ""), true},
        {"data of 80 bytes", block("t", "", "Password", n80, ""), true},
        {"title of 80", block(n80, "", "Link", "", ""), true},
        {"what's this of 80", block("t", "", "Link", "", n80), true},
        {"details of 192", block("t", n192, "Text", "", ""), true},
        {"a NUL inside the data", block("t", "", "Text", std::string_view("a\0b", 3), ""), true},
    };
    std::string all;
    int cut = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ImportedBlocks one = importBlocks(c.text, english);
        ASSERT_EQ(one.entries.size(), 1u);
        EXPECT_EQ(one.cut, c.cut ? 1 : 0);
        EXPECT_EQ(fitsAccountFile(one.entries[0]), !c.cut);
        all += c.text;
        cut += c.cut ? 1 : 0;
    }
    const ImportedBlocks together = importBlocks(all, english);
    EXPECT_EQ(together.entries.size(), std::size(cases));
    EXPECT_EQ(together.cut, cut);
    // The values themselves are not cut here; that stays the account's business.
    EXPECT_EQ(together.entries[1].data.size(), 89u);
}

TEST(ExportBlocks, CountsTheEntriesThatWouldNotComeBackIntact) {
    const InterchangeTexts english;
    const struct {
        const char* name;
        EntryValues entry;
        bool comesBack;
    } cases[] = {
        {"plain", makeEntry(kEntryPassword, "Mail", "pw", "why", "details"), true},
        {"markup that is not the form's",
         makeEntry(kEntryLink, "Tom & <Co>", "<b>", "", "a < b > c"), true},
        {"blanks around the data", makeEntry(kEntryText, "Note", "  pw  "), true},
        {"tags of the form in the data", makeEntry(kEntryPassword, "Shop", "p<Type>x</Data>9"),
         false},
        {"data tags in the title", makeEntry(kEntryPassword, "Shop <Data>hunter2</Data>", "real"),
         false},
        {"a type tag in the details",
         makeEntry(kEntryPassword, "Shop", "pw", "", "<Type>Link</Type>"), false},
        {"the end of the block in the title", makeEntry(kEntryText, "a</Entry>", "x"), false},
        {"a closing tag in what's this", makeEntry(kEntryText, "t", "x", "w</WhatsThis>"), false},
        {"a type of its own", makeEntry(7, "Odd", "x"), false},
        {"no title", makeEntry(kEntryText, "", "x"), false},
        {"blanks around the title", makeEntry(kEntryText, " Padded", "x"), false},
    };
    std::vector<EntryValues> entries;
    int lost = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<EntryValues> one = {c.entry};
        const ExportBlocks blocks = exportBlocks(one, english);
        EXPECT_EQ(blocks.text.view(), entryText(c.entry, english).view());
        EXPECT_EQ(blocks.notRestorable, c.comesBack ? 0 : 1);
        entries.push_back(c.entry);
        lost += c.comesBack ? 0 : 1;
    }
    const ExportBlocks all = exportBlocks(entries, english);
    EXPECT_EQ(all.text.view(), entriesText(entries, english).view());
    EXPECT_EQ(all.notRestorable, lost);
    // What the count predicts is what an import of the whole text finds.
    const std::vector<EntryValues> back = importText(all.text.view(), english);
    int intact = 0;
    for (const EntryValues& e : back)
        for (const auto& c : cases)
            if (c.comesBack && e.title == c.entry.title && e.data == c.entry.data &&
                e.type == c.entry.type && e.whatsThis == c.entry.whatsThis &&
                e.description == c.entry.description)
                ++intact;
    EXPECT_EQ(intact, static_cast<int>(std::size(cases)) - lost);

    // Translated type names come back while their language is in force.
    const std::vector<EntryValues> german = {makeEntry(kEntryPassword, "t", "d")};
    EXPECT_EQ(exportBlocks(german, germanTexts(true)).notRestorable, 0);
}

TEST(ReadImportFile, NothingForAMissingEmptyOrNonRegularFile) {
    TempDir dir;
    test::writeBytes(dir.file("empty.xml"), {});
    EXPECT_FALSE(readImportFile(dir.file("empty.xml")));
    EXPECT_FALSE(readImportFile(dir.file("missing.xml")));
    EXPECT_FALSE(readImportFile(dir.path().string()));
    EXPECT_FALSE(readImportFile(""));
}

} // namespace
} // namespace kh
