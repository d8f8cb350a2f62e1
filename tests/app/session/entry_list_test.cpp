#include "entry_list.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace kh {
namespace {

using test::TempDir;

// What the session hears of a list: its edits and its hourglass.
class FakeHost {
  public:
    explicit FakeHost(EntryList& list)
        : edited_(list.OnEdited.subscribe([this] {
              modified = true;
              ++modifiedCalls;
          })),
          busy_(list.OnBusy.subscribe([this](bool busy) { busyDepth += busy ? 1 : -1; })) {}

    bool modified = false;
    int modifiedCalls = 0;
    int busyDepth = 0;

  private:
    Event<>::Subscription edited_;
    Event<bool>::Subscription busy_;
};

struct Sample {
    std::int32_t type;
    std::string title;
    std::string data;
    std::string whatsThis = "";
    std::string description = "";
};

LoadedAccount loadedFrom(const std::vector<Sample>& samples) {
    LoadedAccount loaded;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        AccountEntry e;
        e.type = samples[i].type;
        e.title = samples[i].title;
        e.data = samples[i].data;
        e.whatsThis = samples[i].whatsThis;
        e.description = samples[i].description;
        e.fileOffset = static_cast<std::int64_t>(kHeaderSize + kRecordSize * i);
        loaded.entries.push_back(std::move(e));
    }
    return loaded;
}

// Every record knows where its rows are, and those rows point back at it.
void expectIndexInvariant(const EntryList& list) {
    for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i) {
        const RowRecord& rec = *list.row(EntryView::lvPassword, i).record;
        ASSERT_EQ(rec.masterIndex, i);
        if (rec.subIndex >= 0) {
            ASSERT_EQ(list.row(EntryView::lvSub, rec.subIndex).record.get(), &rec);
        }
    }
    if (list.visibleList() != EntryView::lvSub) return;
    for (int j = 0; j < list.rowCount(EntryView::lvSub); ++j) {
        const auto& rec = list.row(EntryView::lvSub, j).record;
        ASSERT_EQ(rec->subIndex, j);
        ASSERT_EQ(list.row(EntryView::lvPassword, rec->masterIndex).record, rec);
    }
}

// Two rows show and hold the same entry: texts, picture, secret, type and place in the file.
void expectSameRow(const EntryRow& expected, const EntryRow& actual) {
    EXPECT_EQ(expected.caption, actual.caption);
    EXPECT_EQ(expected.whatsThis, actual.whatsThis);
    EXPECT_EQ(expected.details, actual.details);
    EXPECT_EQ(expected.typeName, actual.typeName);
    EXPECT_EQ(expected.icon, actual.icon);
    ASSERT_TRUE(expected.record && actual.record);
    EXPECT_EQ(expected.record->data, actual.record->data);
    EXPECT_EQ(expected.record->type, actual.record->type);
    EXPECT_EQ(expected.record->fileOffset, actual.record->fileOffset);
}

const std::vector<Sample> kMixed = {
    {kEntryPassword, "Mail", "Hunter2"},
    {kEntryLink, "Bank", "b4nk", "", "https://bank.example/login"},
    {kEntryText, "Note", "2024-01-01"},
    {kEntryLink, "Shop", "shop!", "", "shop.example/cart"},
    {kEntryPassword, "Wifi", "wpa-key"},
    {kEntryLink, "Forum", "f0rum", "", "http://forum.example"},
};

class EntryListTest : public ::testing::Test {
  protected:
    // Loads as the session does: rows first, then log in and rebuild the type list.
    void loadAndLogIn(const std::vector<Sample>& samples) {
        list.setOpen(false);
        ASSERT_EQ(list.loadEntries(loadedFrom(samples)), static_cast<int>(samples.size()));
        list.setOpen(true);
        ASSERT_TRUE(list.rebuildTypeList());
    }

    std::string title(EntryView view, int index) const { return list.row(view, index).caption; }

    EntryListTest() { list.setOpen(true); }

    EntryList list;
    FakeHost host{list};
};

TEST(EntryListText, HostPartAndDerivedWhatsThis) {
    struct Case {
        std::int32_t type;
        std::string title, description, expected;
    };
    const Case cases[] = {
        {kEntryLink, "t", "https://www.example.com/login?next=/home", "www.example.com"},
        {kEntryLink, "t", "www.example.com/path/page", "www.example.com"},
        {kEntryLink, "t", "http://example.com", "example.com"},
        {kEntryLink, "t", " \t\r\nhttp://example.com/a", "example.com"},
        {kEntryLink, "t", "ftp:// \thost.example/x", "host.example"},
        {kEntryLink, "t", "plainhost", "plainhost"},
        {kEntryLink, "bob@mail.example", "", "mail.example"},
        // A Link's address wins over the title, even when it gives nothing.
        {kEntryLink, "bob@mail.example", "   ", ""},
        {kEntryPassword, "bob@mail.example", "http://other.example/", "mail.example"},
        {kEntryText, "a@b@c", "", "b@c"},
        {kEntryPassword, "plain", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title + " | " + c.description);
        EXPECT_EQ(derivedWhatsThis(c.title, c.type, c.description), c.expected);

        EntryList list;
        ASSERT_TRUE(list.addEntryRow(c.title, "pw", kHeaderSize, c.type, "", c.description));
        EXPECT_EQ(list.row(EntryView::lvPassword, 0).whatsThis, c.expected);
        // A stored text is kept; a new entry is never derived.
        ASSERT_TRUE(list.addEntryRow(c.title, "pw", kHeaderSize, c.type, "given", c.description));
        EXPECT_EQ(list.row(EntryView::lvPassword, 1).whatsThis, "given");
        list.setOpen(true);
        ASSERT_TRUE(list.addEntryRow(c.title, "pw", -1, c.type, "", c.description));
        EXPECT_EQ(list.row(EntryView::lvPassword, 2).whatsThis, "");
    }
}

TEST(EntryListText, CaseInsensitiveOrderCoversWindows1252Letters) {
    EXPECT_EQ(compareTextNoCase("Hello", "hELLO"), 0);
    EXPECT_EQ(compareTextNoCase("\xC9t\xC9", "\xE9t\xE9"), 0); // É / é
    EXPECT_EQ(compareTextNoCase("\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF"), 0);
    EXPECT_NE(compareTextNoCase("\xD7", "\xF7"), 0); // multiplication and division signs
    EXPECT_LT(compareTextNoCase("apple", "Banana"), 0);
    EXPECT_LT(compareTextNoCase("ab", "ABC"), 0);
    EXPECT_GT(compareTextNoCase("b", "A"), 0);
    EXPECT_LT(compareTextNoCase("", "a"), 0);
}

TEST_F(EntryListTest, AddedRowsShowTheirStateAndNewOnesMarkTheAccount) {
    list.setOpen(false);
    const std::string longTitle(85, 'T');
    ASSERT_TRUE(list.addEntryRow(longTitle, "s", 1340, kEntryText, "w", "d"));
    EXPECT_FALSE(list.addEntryRow("New", "s", -1, kEntryPassword, "", "")); // needs a login
    EXPECT_FALSE(list.addEntryRow("", "s", 1820, kEntryPassword, "", ""));
    EXPECT_EQ(host.modifiedCalls, 0);

    list.setOpen(true);
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    EXPECT_FALSE(list.addEntryRow("", "s", -1, kEntryLink, "", ""));
    ASSERT_TRUE(list.addEntryRow(longTitle, "s3cret", -1, kEntryLink, "w", "http://x/"));
    ASSERT_TRUE(list.addEntryRow("Other", "x", -1, 9, "", ""));

    const EntryRow& loaded = list.row(EntryView::lvPassword, 0);
    EXPECT_EQ(loaded.caption, longTitle); // only new titles are cut
    EXPECT_EQ(loaded.icon, kIconText);
    EXPECT_EQ(loaded.record->fileOffset, 1340);
    EXPECT_EQ(list.columnText(EntryView::lvPassword, 0, kColumnPassword), ""); // a text entry

    const EntryRow& added = list.row(EntryView::lvPassword, 1);
    EXPECT_EQ(added.caption, longTitle.substr(0, 79));
    EXPECT_EQ(added.icon, kIconNew);
    EXPECT_EQ(added.record->fileOffset, kOffsetUnsaved);
    EXPECT_EQ(added.record->data, "s3cret");
    EXPECT_EQ(list.columnText(EntryView::lvPassword, 1, kColumnPassword), "******");
    EXPECT_EQ(list.columnText(EntryView::lvPassword, 1, kColumnDetails), "http://x/");
    EXPECT_EQ(list.columnText(EntryView::lvPassword, 1, kColumnType), "Link");
    EXPECT_EQ(list.columnText(EntryView::lvPassword, 2, kColumnType), "Unknown");
    EXPECT_EQ(list.row(EntryView::lvPassword, 2).icon, kIconNew);
    EXPECT_TRUE(host.modified);

    // Only the new Link went into the shown type list.
    ASSERT_EQ(list.rowCount(EntryView::lvSub), 1);
    EXPECT_EQ(list.row(EntryView::lvSub, 0).record, added.record);
    expectIndexInvariant(list);
}

TEST_F(EntryListTest, TabsChooseTheVisibleListAndItsRows) {
    loadAndLogIn(kMixed);
    EXPECT_EQ(list.visibleList(), EntryView::lvPassword);
    EXPECT_EQ(list.rowCount(EntryView::lvSub), 0);

    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    EXPECT_EQ(list.visibleList(), EntryView::lvSub);
    EXPECT_EQ(list.subTag(), kEntryLink);
    ASSERT_EQ(list.rowCount(EntryView::lvSub), 3);
    EXPECT_EQ(title(EntryView::lvSub, 0), "Bank");
    EXPECT_EQ(title(EntryView::lvSub, 2), "Forum");
    EXPECT_EQ(list.row(EntryView::lvSub, 0).whatsThis, "bank.example");
    expectIndexInvariant(list);

    ASSERT_TRUE(list.chooseTypeTab(99)); // capped to the last tab
    EXPECT_EQ(list.shownType(), kEntryText);
    ASSERT_EQ(list.rowCount(EntryView::lvSub), 1);
    EXPECT_EQ(title(EntryView::lvSub, 0), "Note");

    ASSERT_TRUE(list.chooseTypeTab(kTabAll));
    EXPECT_EQ(list.visibleList(), EntryView::lvPassword);
    EXPECT_EQ(list.subTag(), -1);

    EXPECT_EQ(list.applyStoredTab(7), kTabAll);
    EXPECT_EQ(list.shownType(), kTabAll);
    EXPECT_EQ(list.applyStoredTab(1), 1);
    EXPECT_EQ(list.rowCount(EntryView::lvSub), 2);
}

TEST_F(EntryListTest, CurrentEntryFollowsTheVisibleList) {
    loadAndLogIn(kMixed);
    const std::vector<int> none;
    const std::vector<int> picks = {99, 4, 1, -3};
    EXPECT_EQ(list.currentEntry(none), std::nullopt);
    EXPECT_EQ(list.currentEntry(picks), 1); // the first valid selected row

    ASSERT_TRUE(list.chooseTypeTab(kEntryPassword));
    const std::vector<int> second = {1};
    EXPECT_EQ(list.currentEntry(second), 4); // "Wifi"
    const std::vector<int> beyond = {2};
    EXPECT_EQ(list.currentEntry(beyond), std::nullopt);

    list.setOpen(false);
    EXPECT_EQ(list.currentEntry(second), std::nullopt);
}

// Deleting in a type tab marks both lists; the save then removes the row from both and the
// rows behind it still reach their own entries, whichever tab was shown at the save.
TEST_F(EntryListTest, DeleteInTypeTabThenSaveKeepsRowsReachingTheirEntries) {
    for (bool saveOnAll : {false, true}) {
        SCOPED_TRACE(saveOnAll ? "saved while ALL shown" : "saved in the tab");
        TempDir dir;
        list.clearEntryList();
        loadAndLogIn(kMixed);
        ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
        const std::vector<int> selected = {0}; // "Bank"
        host.modified = false;
        list.deleteRows(true, selected);
        EXPECT_TRUE(host.modified);
        EXPECT_EQ(list.row(EntryView::lvSub, 0).icon, kIconDeleted);
        EXPECT_EQ(list.row(EntryView::lvPassword, 1).icon, kIconDeleted);
        EXPECT_EQ(list.row(EntryView::lvPassword, 1).record->fileOffset, kOffsetDeleted);
        EXPECT_EQ(list.row(EntryView::lvSub, 1).icon, kIconLink); // others untouched

        ASSERT_TRUE(list.chooseTypeTab(kTabAll));
        EXPECT_EQ(list.row(EntryView::lvPassword, 1).icon, kIconDeleted);
        if (!saveOnAll) {
            ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
        }

        Account account;
        account.name = "alice";
        account.password = "pw";
        std::vector<AccountEntry> entries = list.entriesForSave();
        ASSERT_EQ(writeAccountFile(dir.file("a.khk"), account, entries), SaveOutcome::Saved);
        ASSERT_TRUE(list.takeSavedOffsets(entries));

        ASSERT_EQ(list.rowCount(EntryView::lvPassword), 5);
        EXPECT_EQ(title(EntryView::lvPassword, 1), "Note");
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(list.row(EntryView::lvPassword, i).record->fileOffset,
                      static_cast<std::int64_t>(kHeaderSize + kRecordSize * i));
        if (saveOnAll) {
            ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
        }
        ASSERT_EQ(list.rowCount(EntryView::lvSub), 2);
        expectIndexInvariant(list);

        const std::vector<int> forum = {1};
        const auto current = list.currentEntry(forum);
        ASSERT_EQ(current, 4);
        EXPECT_EQ(title(EntryView::lvPassword, *current), "Forum");
        EXPECT_EQ(list.row(EntryView::lvPassword, *current).record->data, "f0rum");
        ASSERT_TRUE(list.chooseTypeTab(kTabAll));
    }
}

TEST_F(EntryListTest, UndeleteAndChangesReachTheTwinRow) {
    loadAndLogIn(kMixed);
    ASSERT_TRUE(list.chooseTypeTab(kEntryPassword));

    EXPECT_FALSE(list.undeleteRow(EntryView::lvSub, 1)); // not deleted
    ASSERT_TRUE(list.markRowDeleted(EntryView::lvPassword, 4));
    EXPECT_FALSE(list.markRowDeleted(EntryView::lvSub, 1)); // already deleted
    EXPECT_EQ(list.row(EntryView::lvSub, 1).icon, kIconDeleted);
    ASSERT_TRUE(list.undeleteRow(EntryView::lvSub, 1));
    for (EntryView view : {EntryView::lvSub, EntryView::lvPassword}) {
        const EntryRow& r = list.row(view, view == EntryView::lvSub ? 1 : 4);
        EXPECT_EQ(r.icon, kIconNew);
        EXPECT_EQ(r.record->fileOffset, kOffsetUnsaved);
    }

    host.modified = false;
    ASSERT_TRUE(list.replaceRowData(0, "new secret"));
    EXPECT_TRUE(host.modified);
    EXPECT_EQ(list.row(EntryView::lvSub, 0).icon, kIconChanged);
    EXPECT_EQ(list.row(EntryView::lvSub, 0).record->data, "new secret");
    // Replacing keeps a saved entry's offset, and revives a deleted one as unsaved.
    EXPECT_EQ(list.row(EntryView::lvPassword, 0).record->fileOffset, 1340);
    ASSERT_TRUE(list.markRowDeleted(EntryView::lvPassword, 0));
    ASSERT_TRUE(list.replaceRowData(0, "newer secret"));
    EXPECT_EQ(list.row(EntryView::lvPassword, 0).record->fileOffset, kOffsetUnsaved);
    EXPECT_EQ(list.row(EntryView::lvSub, 0).icon, kIconChanged);

    EXPECT_FALSE(list.editRow(0, "", "x", kEntryPassword, "", "")); // would vanish on load
    ASSERT_TRUE(list.editRow(0, "Mail 2", "pw2", kEntryLink, "who", "http://mail.example/"));
    const EntryRow& sub = list.row(EntryView::lvSub, 0);
    EXPECT_EQ(sub.caption, "Mail 2");
    EXPECT_EQ(sub.whatsThis, "who");
    EXPECT_EQ(sub.typeName, "Link");
    EXPECT_EQ(sub.icon, kIconChanged);
    EXPECT_EQ(sub.record->type, kEntryLink);

    list.setOpen(false);
    EXPECT_FALSE(list.markRowChanged(4));
}

TEST_F(EntryListTest, SortByPasswordOrdersBySecretsIgnoringCase) {
    loadAndLogIn({
        {kEntryPassword, "one", "delta"},
        {kEntryPassword, "two", "Bravo"},
        {kEntryPassword, "three", "alpha"},
        {kEntryPassword, "four", "Charlie"},
        {kEntryPassword, "five", "ALPHA2"},
    });
    ASSERT_TRUE(list.sortByColumn(kColumnPassword));
    EXPECT_EQ(list.sortColumn(), kColumnPassword);
    const char* expected[] = {"three", "five", "two", "four", "one"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(title(EntryView::lvPassword, i), expected[i]);
        EXPECT_EQ(list.columnText(EntryView::lvPassword, i, kColumnPassword), "******");
    }
    expectIndexInvariant(list);

    // The same column again turns the order round, another column starts ascending.
    ASSERT_TRUE(list.sortByColumn(kColumnPassword));
    EXPECT_TRUE(list.sortDescending());
    const char* reversed[] = {"one", "four", "two", "five", "three"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(title(EntryView::lvPassword, i), reversed[i]);
    expectIndexInvariant(list);
    ASSERT_TRUE(list.sortByColumn(kColumnPassword));
    EXPECT_FALSE(list.sortDescending());
    EXPECT_EQ(title(EntryView::lvPassword, 0), "three");
    ASSERT_TRUE(list.sortByColumn(kColumnPassword));
    ASSERT_TRUE(list.sortByColumn(kColumnTitle));
    EXPECT_FALSE(list.sortDescending());
    EXPECT_EQ(title(EntryView::lvPassword, 0), "five");

    list.setOpen(false);
    EXPECT_FALSE(list.sortByColumn(kColumnTitle));
    EXPECT_EQ(title(EntryView::lvPassword, 0), "five");
}

TEST_F(EntryListTest, SortingEitherListKeepsTheIndexInvariant) {
    std::vector<Sample> samples;
    const char* words[] = {"pear", "Apple", "fig", "banana", "Cherry", "apple", "date"};
    for (int i = 0; i < 21; ++i)
        samples.push_back({1 + i % 3, words[i % 7] + std::to_string(i % 4), words[(i * 3) % 7],
                           words[(i * 5) % 7],
                           words[(i * 2) % 7] + std::string("/") + std::to_string(i)});
    for (int column = 0; column < kColumnCount; ++column) {
        for (int tab : {kTabAll, kEntryLink}) {
            SCOPED_TRACE("column " + std::to_string(column) + ", tab " + std::to_string(tab));
            list.clearEntryList();
            loadAndLogIn(samples);
            ASSERT_TRUE(list.chooseTypeTab(tab));
            ASSERT_TRUE(list.sortByColumn(column));
            const EntryView view = list.visibleList();
            for (int i = 1; i < list.rowCount(view); ++i) {
                const auto key = [&](int r) {
                    return column == kColumnPassword ? list.row(view, r).record->data.view()
                                                     : list.columnText(view, r, column);
                };
                EXPECT_LE(compareTextNoCase(key(i - 1), key(i)), 0);
            }
            expectIndexInvariant(list);
            // Each row still pairs its texts with its own secret (details are unique).
            for (int i = 0; i < list.rowCount(view); ++i) {
                const EntryRow& r = list.row(view, i);
                const Sample& s = samples[std::stoul(r.details.substr(r.details.find('/') + 1))];
                EXPECT_EQ(r.caption, s.title);
                EXPECT_EQ(r.record->data, s.data);
                EXPECT_EQ(r.whatsThis, s.whatsThis);
                EXPECT_EQ(r.record->type, s.type);
            }
            if (view == EntryView::lvSub) {
                const std::vector<int> first = {0};
                const auto current = list.currentEntry(first);
                ASSERT_TRUE(current.has_value());
                EXPECT_EQ(list.row(EntryView::lvPassword, *current).record,
                          list.row(EntryView::lvSub, 0).record);
            }
            list.chooseTypeTab(kTabAll);
        }
    }
}

TEST_F(EntryListTest, SortOrderAndTiesMatchAStableSortByTheCaseInsensitiveOrder) {
    // Texts that agree in their first eight letters, are shorter than eight, differ only in
    // case (ties keep their order) or in Windows-1252 letters, and an empty one.
    const std::vector<std::string> texts = {"abcdefghZ",
                                            "ABCDEFGHa",
                                            "abcdefgh",
                                            "abcdefg",
                                            "abcdefgh\x01",
                                            "",
                                            "Zeta",
                                            "\xC9t\xE9",
                                            "\xE9T\xC9",
                                            "zeta",
                                            "abcdefghij",
                                            "ABCDEFGHIJ",
                                            "\x8A"
                                            "a",
                                            "\x9A",
                                            "abcdefgh",
                                            "abcdefghi+",
                                            "abcdefghi",
                                            "Ab"};
    std::vector<Sample> samples;
    for (std::size_t i = 0; i < texts.size(); ++i)
        samples.push_back({kEntryPassword, "row" + std::to_string(i), texts[i], texts[i]});
    for (const int column : {kColumnWhatsThis, kColumnPassword}) {
        for (const bool descending : {false, true}) {
            SCOPED_TRACE("column " + std::to_string(column) + (descending ? ", descending" : ""));
            std::vector<std::size_t> expected(texts.size());
            for (std::size_t i = 0; i < expected.size(); ++i)
                expected[i] = i;
            std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
                const int order = compareTextNoCase(texts[a], texts[b]);
                return descending ? order > 0 : order < 0;
            });
            // From the load order each time (the second click turns the first one round).
            list.clearEntryList();
            loadAndLogIn(samples);
            ASSERT_TRUE(list.sortByColumn(column));
            if (descending) {
                ASSERT_TRUE(list.sortByColumn(column));
            }
            ASSERT_EQ(list.sortDescending(), descending);
            for (std::size_t i = 0; i < expected.size(); ++i)
                EXPECT_EQ(title(EntryView::lvPassword, static_cast<int>(i)),
                          "row" + std::to_string(expected[i]))
                    << "position " << i;
            expectIndexInvariant(list);
        }
    }
}

TEST_F(EntryListTest, ATabChangeReachesTheViewOnceWithTheNewTabShown) {
    loadAndLogIn(kMixed);
    struct Seen {
        RowsChange change;
        int shownType;
        int subRows;
    };
    std::vector<Seen> seen;
    const auto watch = list.OnRowsChanged.subscribe([&](RowsChange change) {
        seen.push_back({change, list.shownType(), list.rowCount(EntryView::lvSub)});
    });
    const struct {
        int tab;
        int rows;
    } steps[] = {{kEntryLink, 3}, {kEntryText, 1}, {kEntryPassword, 2}, {kTabAll, 2}};
    for (const auto& step : steps) {
        SCOPED_TRACE("tab " + std::to_string(step.tab));
        seen.clear();
        ASSERT_TRUE(list.chooseTypeTab(step.tab));
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ(RowsChange::TypeListRebuilt, seen[0].change);
        EXPECT_EQ(step.tab, seen[0].shownType);
        EXPECT_EQ(step.rows, seen[0].subRows);
    }
}

TEST_F(EntryListTest, ClearEntryListWipesEverySecret) {
    const std::string longSecret(60, 'L'); // beyond the inline buffer of a string
    loadAndLogIn({{kEntryPassword, "short", "hunter2"}, {kEntryLink, "long", longSecret}});
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    std::shared_ptr<RowRecord> shortRec = list.row(EntryView::lvPassword, 0).record;
    std::shared_ptr<RowRecord> longRec = list.row(EntryView::lvPassword, 1).record;
    const char* shortBytes = shortRec->data.data();
    const char* longBytes = longRec->data.data();

    list.clearEntryList();
    EXPECT_EQ(list.rowCount(EntryView::lvPassword), 0);
    EXPECT_EQ(list.rowCount(EntryView::lvSub), 0);
    EXPECT_TRUE(shortRec->data.empty());
    EXPECT_TRUE(longRec->data.empty());
    EXPECT_EQ(std::memcmp(shortBytes, std::string(7, '\0').data(), 7), 0);
    EXPECT_EQ(std::memcmp(longBytes, std::string(60, '\0').data(), 60), 0);
    EXPECT_EQ(longRec->masterIndex, -1);
    EXPECT_EQ(longRec->subIndex, -1);
}

TEST_F(EntryListTest, SelectionStaysWithItsEntriesThroughSortTabsAndSave) {
    loadAndLogIn(kMixed);
    std::vector<RowsChange> changes;
    const auto watch =
        list.OnRowsChanged.subscribe([&](RowsChange change) { changes.push_back(change); });
    const auto selectedTitles = [&](EntryView view) {
        std::vector<std::string> titles;
        for (int row : list.selectedRows(view))
            titles.push_back(title(view, row));
        return titles;
    };
    using Titles = std::vector<std::string>;

    list.setSelected(EntryView::lvPassword, 1, true); // Bank
    list.setSelected(EntryView::lvPassword, 4, true); // Wifi
    ASSERT_TRUE(list.sortByColumn(kColumnTitle));
    EXPECT_EQ((Titles{"Bank", "Wifi"}), selectedTitles(EntryView::lvPassword));
    EXPECT_EQ(RowsChange::Reordered, changes.back());
    EXPECT_EQ("Bank", title(EntryView::lvPassword, *list.currentEntry()));

    // A type tab shows fresh copies: nothing of the other list's selection comes along.
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    EXPECT_EQ(RowsChange::TypeListRebuilt, changes.back());
    EXPECT_TRUE(list.visibleSelection().empty());
    EXPECT_FALSE(list.currentEntry().has_value());
    list.setSelected(EntryView::lvSub, 2, true);
    const int forum = *list.currentEntry();
    EXPECT_EQ("Shop", title(EntryView::lvPassword, forum));

    // Deleting the row before it and saving moves the rows up; the selection goes along.
    list.setSelected(EntryView::lvSub, 2, false);
    list.setSelected(EntryView::lvSub, 0, true); // Bank
    list.deleteRows(true);
    list.setSelected(EntryView::lvSub, 0, false);
    list.setSelected(EntryView::lvSub, 2, true); // Shop
    std::vector<AccountEntry> written = list.entriesForSave();
    std::int64_t offset = kHeaderSize;
    for (AccountEntry& e : written)
        e.fileOffset = e.fileOffset == kOffsetDeleted ? kOffsetDeleted : (offset += kRecordSize);
    changes.clear();
    ASSERT_TRUE(list.takeSavedOffsets(written));
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(RowsChange::Reordered, changes.back());
    EXPECT_EQ((Titles{"Shop"}), selectedTitles(EntryView::lvSub));
    EXPECT_EQ("Shop", title(EntryView::lvPassword, *list.currentEntry()));
    EXPECT_EQ((Titles{"Wifi"}), selectedTitles(EntryView::lvPassword));
    expectIndexInvariant(list);
}

TEST_F(EntryListTest, BulkWorkRaisesOneChangeAndClearingWipesTheTexts) {
    std::vector<RowsChange> changes;
    const auto watch =
        list.OnRowsChanged.subscribe([&](RowsChange change) { changes.push_back(change); });
    std::vector<AccountEntry> entries = loadedFrom(kMixed).entries;
    entries[2].title.clear(); // an entry that cannot be a row
    list.setOpen(false);
    EXPECT_EQ(5, list.addLoadedEntries(entries));
    EXPECT_EQ((std::vector<RowsChange>{RowsChange::Added}), changes);
    for (const AccountEntry& e : entries)
        EXPECT_TRUE(e.data.empty()); // the loaded copies of the secrets are gone

    list.setOpen(true);
    list.selectAll(EntryView::lvPassword);
    changes.clear();
    list.deleteRows(true);
    EXPECT_EQ((std::vector<RowsChange>{RowsChange::Updated}), changes);

    const EntryRow& first = list.row(EntryView::lvPassword, 0);
    const char* caption = first.caption.data();
    const std::size_t length = first.caption.size();
    list.clearEntryList();
    EXPECT_EQ(RowsChange::Reset, changes.back());
    // The title's bytes are zeros now (the short title lives inside the row's own string).
    EXPECT_EQ(std::string(length, '\0'), std::string(caption, length));
}

// The login moves each read entry into its row; the rows must be exactly those a copy
// makes, long texts (heap buffers) and a what's-this derived from the moved title included.
TEST(EntryListLoad, MovedEntriesGiveTheRowsACopyGives) {
    const std::string longTitle = "Personal mail account at work@mail.example.org";
    const std::vector<Sample> samples = {
        {kEntryPassword, longTitle, std::string(300, 's'), "", "a description long enough"},
        {kEntryLink, "Bank of a long name, online", "b4nk", "",
         "https://bank.example/login?session=long-enough-to-be-on-the-heap"},
        {kEntryText, "Note", "short", "given what's this, long enough", ""},
        {7, "Unknown type of entry with a long title", "x", "", ""},
        {kEntryPassword, "", "no title, no row", "", ""},
    };
    EntryList copied;
    copied.setOpen(false);
    const int copiedRows = copied.loadEntries(loadedFrom(samples));

    EntryList moved;
    moved.setOpen(false);
    std::vector<AccountEntry> entries = loadedFrom(samples).entries;
    const int movedRows = moved.addLoadedEntries(entries);

    ASSERT_EQ(4, copiedRows);
    ASSERT_EQ(copiedRows, movedRows);
    for (int i = 0; i < copiedRows; ++i) {
        SCOPED_TRACE(i);
        expectSameRow(copied.row(EntryView::lvPassword, i), moved.row(EntryView::lvPassword, i));
        EXPECT_EQ(i, moved.row(EntryView::lvPassword, i).record->masterIndex);
    }
    EXPECT_EQ("mail.example.org", moved.row(EntryView::lvPassword, 0).whatsThis);
    // What the rows took is no longer in the read entries.
    for (const AccountEntry& e : entries)
        EXPECT_TRUE(e.data.empty());
    EXPECT_TRUE(entries[0].title.empty());
    EXPECT_TRUE(entries[1].description.empty());
}

TEST_F(EntryListTest, SaveAndLoadRoundTripThroughTheAccountFile) {
    TempDir dir;
    loadAndLogIn({{kEntryLink, "Bank", "b4nk", "", "https://bank.example/login"}});
    ASSERT_TRUE(list.addEntryRow("Mail", "p\xE4ss", -1, kEntryPassword, "Webmail", "notes"));
    ASSERT_TRUE(list.addEntryRow("Gone", "x", -1, kEntryText, "", ""));
    ASSERT_TRUE(list.markRowDeleted(EntryView::lvPassword, 2));
    ASSERT_TRUE(list.addEntryRow("Odd", "y", -1, 7, "", ""));

    Account account;
    account.name = "alice";
    account.password = "pw";
    std::vector<AccountEntry> entries = list.entriesForSave();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[2].fileOffset, kOffsetDeleted);
    ASSERT_EQ(writeAccountFile(dir.file("a.khk"), account, entries), SaveOutcome::Saved);

    // A list that changed meanwhile does not take offsets meant for other rows.
    std::vector<AccountEntry> shorter(entries.begin(), entries.end() - 1);
    EXPECT_FALSE(list.takeSavedOffsets(shorter));
    ASSERT_TRUE(list.takeSavedOffsets(entries));
    ASSERT_EQ(list.rowCount(EntryView::lvPassword), 3);
    const int icons[] = {kIconLink, kIconPassword, kIconPassword};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list.row(EntryView::lvPassword, i).icon, icons[i]);

    LoadedAccount loaded;
    ASSERT_EQ(readAccountFile(dir.file("a.khk"), "alice", "pw", loaded), ReadOutcome::Loaded);
    EntryList reloaded;
    ASSERT_EQ(reloaded.loadEntries(loaded), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        expectSameRow(list.row(EntryView::lvPassword, i), reloaded.row(EntryView::lvPassword, i));
    }
    // The derived text was written back as the stored one.
    EXPECT_EQ(loaded.entries[0].whatsThis, "bank.example");
}

TEST_F(EntryListTest, LanguageLoadRenamesTheTypeColumn) {
    loadAndLogIn(kMixed);
    ASSERT_TRUE(list.chooseTypeTab(kEntryText));
    list.setTypeNames({"Kennwort", "Verweis", "Notiz", "Unbekannt"});
    EXPECT_EQ(list.columnText(EntryView::lvPassword, 0, kColumnType), "Kennwort");
    EXPECT_EQ(list.columnText(EntryView::lvPassword, 1, kColumnType), "Verweis");
    EXPECT_EQ(list.columnText(EntryView::lvSub, 0, kColumnType), "Notiz");
    ASSERT_TRUE(list.addEntryRow("X", "", -1, 42, "", ""));
    EXPECT_EQ(list.columnText(EntryView::lvPassword, 6, kColumnType), "Unbekannt");
}

// Load, tab rebuild, sort and the purge of a save at the largest account size in use.
TEST(EntryListScale, TenThousandRowsStayLinear) {
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::time_point from) {
        return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
    };
    constexpr int kRows = 10240;
    std::vector<Sample> samples;
    samples.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
        samples.push_back({1 + i % 3, "Entry " + std::to_string((i * 7919) % kRows),
                           "secret" + std::to_string(i), "",
                           "site" + std::to_string(i) + ".example"});
    const LoadedAccount loaded = loadedFrom(samples);

    EntryList list;
    FakeHost host(list);
    auto start = Clock::now();
    ASSERT_EQ(list.loadEntries(loaded), kRows);
    const double loadMs = ms(start);

    list.setOpen(true);
    start = Clock::now();
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    const double rebuildMs = ms(start);
    ASSERT_EQ(list.rowCount(EntryView::lvSub), (kRows + 1) / 3);

    start = Clock::now();
    ASSERT_TRUE(list.sortByColumn(kColumnTitle));
    const double sortSubMs = ms(start);
    expectIndexInvariant(list);

    ASSERT_TRUE(list.chooseTypeTab(kTabAll));
    start = Clock::now();
    ASSERT_TRUE(list.sortByColumn(kColumnPassword));
    const double sortAllMs = ms(start);
    for (int i = 1; i < kRows; ++i)
        ASSERT_LE(compareTextNoCase(list.row(EntryView::lvPassword, i - 1).record->data.view(),
                                    list.row(EntryView::lvPassword, i).record->data.view()),
                  0);
    expectIndexInvariant(list);
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));

    list.deleteRows(false, {});
    start = Clock::now();
    list.normalizeAfterSave();
    const double purgeMs = ms(start);
    EXPECT_EQ(list.rowCount(EntryView::lvSub), 0);
    EXPECT_EQ(list.rowCount(EntryView::lvPassword), kRows - (kRows + 1) / 3);
    EXPECT_EQ(host.busyDepth, 0);
    expectIndexInvariant(list);

    std::cout << "entry list at " << kRows << " rows: load " << loadMs << " ms, rebuild "
              << rebuildMs << " ms, sort lvSub " << sortSubMs << " ms, sort lvPassword "
              << sortAllMs << " ms, save purge " << purgeMs << " ms\n";
}

} // namespace
} // namespace kh
