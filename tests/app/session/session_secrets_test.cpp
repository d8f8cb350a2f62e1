#define KH_HEAP_SCAN_ALLOCATOR // this binary's operators new and delete
#include "../support/heap_scan.h"

// A session with its entry list, as the program runs it: logging in, showing entries,
// sorting, changing one and logging out must leave no copy of a secret or of a decrypted
// text in the memory the program gives back.
#include "entry_list.h"
#include "session.h"
#include "session_fakes.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh {
namespace {

using test::FakeSessionUi;
using test::FreedMemoryWatch;

// Each marker is one decrypted field; every one is longer than a string's inline buffer
// in one entry and shorter in another, so both ways a string keeps its text are covered.
constexpr char kTitle[] = "TitleMarker-7Q";
constexpr char kWhat[] = "WhatMarker-8R";
constexpr char kDetail[] = "DetailMarker-9S";
constexpr char kSecret[] = "SecretMarker-1T";
constexpr char kAccountText[] = "AccountMarker-2U";
constexpr char kPasswordText[] = "HintMarker-3V";

TEST(SessionSecrets, LoginShowSortEditAndLogoutLeaveNoDecryptedTextBehind) {
    test::TempDir dir;
    const std::string file = dir.file("vault.khk");
    {
        Account account;
        account.name = "alice";
        account.password = "pw";
        account.accountDescription = std::string(kAccountText) + " of the vault";
        account.passwordDescription = kPasswordText;
        std::vector<AccountEntry> entries;
        for (int i = 0; i < 40; ++i) {
            AccountEntry& e = entries.emplace_back();
            e.type = 1 + i % 3;
            const std::string tail = i % 2 ? std::string(30, 'x') : std::string();
            e.title = kTitle + std::to_string(i) + tail;
            e.whatsThis = kWhat + tail;
            e.description = kDetail + tail;
            e.data = kSecret + tail;
        }
        ASSERT_EQ(SaveOutcome::Saved, writeAccountFile(file, account, entries));
    }

    FakeSessionUi ui; // answers No to every question
    MessageTable messages;
    Session session(ui, ui, messages);
    EntryList& list = session.entries();

    FreedMemoryWatch watch({kTitle, kWhat, kDetail, kSecret, kAccountText, kPasswordText});
    ASSERT_TRUE(session.loginAccount(file, "alice", "pw"));
    for (int i = 0; i < list.rowCount(EntryView::lvPassword); ++i)
        for (int column = 0; column < kColumnCount; ++column)
            (void)list.columnText(EntryView::lvPassword, i, column);
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    ASSERT_TRUE(list.sortByColumn(kColumnTitle));
    ASSERT_TRUE(list.chooseTypeTab(0));
    ASSERT_TRUE(list.sortByColumn(kColumnPassword));
    list.setSelected(EntryView::lvPassword, 3, true);
    ASSERT_TRUE(list.editRow(3, "Changed", "new secret", kEntryPassword, "w", "d"));
    session.endSession();
    watch.stop();

    EXPECT_GT(watch.releasedBlocks(), 40u);
    EXPECT_EQ(0u, watch.blocksWithNeedle()) << watch.report();
}

} // namespace
} // namespace kh
