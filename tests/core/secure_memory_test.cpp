#define KH_HEAP_SCAN_ALLOCATOR // this binary's operators new and delete
#include "heap_scan.h"

#include "account_file.h"
#include "secure_memory.h"
#include "test_files.h"
#include "text_codec.h"
#include "xml_interchange.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace kh {
namespace {

using test::FreedMemoryWatch;

TEST(SecretString, CopiesMovesAndComparesLikeAString) {
    SecretString a("short");
    SecretString b(std::string(100, 'x'));
    SecretString c = a;
    EXPECT_EQ(c, a);
    SecretString d = std::move(b);
    EXPECT_EQ(d.view(), std::string(100, 'x'));
    EXPECT_TRUE(b.empty()); // NOLINT(bugprone-use-after-move): a moved-from secret is empty
    c = std::move(d);
    EXPECT_EQ(c.size(), 100u);
    c.append("yz");
    EXPECT_EQ(c.view().substr(98), "xxyz");
}

TEST(SecretString, WipeClearsTheInlineBuffer) {
    // Short texts live inside the object; wipe() must zero that storage too.
    SecretString s("hunter2");
    const char* storage = s.data();
    s.wipe();
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(std::memcmp(storage, "\0\0\0\0\0\0\0", 7), 0);
}

TEST(WipedBytes, ClearZeroes) {
    WipedBytes<16> key;
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = std::uint8_t(i + 1);
    key.clear();
    for (std::size_t i = 0; i < key.size(); ++i)
        EXPECT_EQ(key[i], 0);
}

// Keeps the optimiser from dropping an allocation whose use it can see through.
template <class T> void escape(T* object) {
    __asm__ __volatile__("" : : "r"(object) : "memory");
}

// The part every form of the marker secrets shares (Windows-1252 and UTF-8 alike).
constexpr std::string_view kMarker = "KH-MARKER-7c1e-";
// Longer than any inline string buffer, and with letters that grow in UTF-8 by more than
// a quarter: 15 + 24 bytes stored, 15 + 48 in UTF-8.
const std::string kSecretData = std::string(kMarker) + std::string(24, '\xE9');
const std::string kSecretPassword = std::string(kMarker) + "pw-" + std::string(20, '\xFC');

TEST(FreedMemoryWatch, FindsAnUnwipedCopyAndNotAWipedOne) {
    FreedMemoryWatch watch({kMarker, "never there"});
    auto* plain = new std::string(kSecretData);
    escape(plain);
    delete plain;
    EXPECT_EQ(watch.blocksWithNeedle(), 1u);
    auto* secret = new SecretString(kSecretData);
    escape(secret);
    delete secret;
    EXPECT_EQ(watch.blocksWithNeedle(), 1u);
    EXPECT_GE(watch.releasedBlocks(), 4u);
    EXPECT_NE(watch.report().find("needle 0 at 0: [needle 0]\\xE9\\xE9"), std::string::npos)
        << watch.report();

    watch.stop();
    auto* late = new std::string(kSecretData);
    escape(late);
    delete late;
    EXPECT_EQ(watch.blocksWithNeedle(), 1u);
}

// An account is loaded, its secret shown, exported, imported again and saved, and all of
// it dropped: none of the released memory may still hold the secrets.
TEST(SecretCopies, LoadingShowingAndDroppingAnAccountLeaveNoCopyBehind) {
    test::TempDir dir;
    const std::string path = dir.file("vault.khk");
    {
        Account account;
        account.name = "alice";
        account.password = kSecretPassword;
        std::vector<AccountEntry> entries(2);
        entries[0].title = "Mail";
        entries[0].data = kSecretData;
        entries[1].title = "Other";
        entries[1].data = "x";
        ASSERT_EQ(writeAccountFile(path, account, entries), SaveOutcome::Saved);
    }

    FreedMemoryWatch watch({kMarker});
    {
        LoadedAccount loaded;
        ASSERT_EQ(readAccountFile(path, "alice", kSecretPassword, loaded), ReadOutcome::Loaded);
        ASSERT_EQ(loaded.entries.size(), 2u);
        EXPECT_EQ(loaded.entries[0].data, kSecretData);

        // Shown as the command line shows it: in UTF-8, wiped after use.
        std::string shown = windows1252ToUtf8(loaded.entries[0].data.view());
        EXPECT_EQ(shown.size(), kMarker.size() + 48);
        secureWipe(shown.data(), shown.capacity());

        std::vector<EntryValues> values(loaded.entries.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i].title = loaded.entries[i].title;
            values[i].data = loaded.entries[i].data;
        }
        const InterchangeTexts english;
        const ExportBlocks blocks = exportBlocks(values, english);
        EXPECT_EQ(blocks.notRestorable, 0);
        const ImportedBlocks back = importBlocks(blocks.text.view(), english);
        ASSERT_EQ(back.entries.size(), 2u);
        EXPECT_EQ(back.entries[0].data, kSecretData);

        for (const EntryValues& v : back.entries) {
            AccountEntry& entry = loaded.entries.emplace_back();
            entry.title = v.title;
            entry.data = v.data;
        }
        EXPECT_EQ(writeAccountFile(path, loaded.account, loaded.entries), SaveOutcome::Saved);
    }
    watch.stop();
    EXPECT_GT(watch.releasedBlocks(), 10u);
    EXPECT_EQ(watch.blocksWithNeedle(), 0u) << watch.report();
}

} // namespace
} // namespace kh
