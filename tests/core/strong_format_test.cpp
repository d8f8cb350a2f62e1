#include "account_file.h"
#include "strong_crypto.h"
#include "strong_format.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace kh {
namespace {

using test::Bytes;

// The cheapest cost a file may carry keeps the derivations here at a few milliseconds.
constexpr StrongParameters kFast{1, 8192, 1};

Account strongAccount(std::string name = "alice", std::string password = "s3cret!",
                      StrongParameters parameters = kFast) {
    Account a;
    a.name = std::move(name);
    a.password = password;
    a.accountDescription = "My vault";
    a.passwordDescription = "the usual one";
    a.protection = AccountProtection::strongWith(parameters);
    return a;
}

AccountEntry entry(std::int32_t type, std::string title, std::string data,
                   std::string whatsThis = "", std::string description = "") {
    AccountEntry e;
    e.type = type;
    e.title = std::move(title);
    e.data = data;
    e.whatsThis = std::move(whatsThis);
    e.description = std::move(description);
    return e;
}

std::vector<AccountEntry> sampleEntries(int count) {
    std::vector<AccountEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back(entry(1 + i % 3, "Title " + std::to_string(i), "pw-" + std::to_string(i),
                                "what " + std::to_string(i), "details " + std::to_string(i)));
    return entries;
}

std::uint32_t u32At(const Bytes& b, std::size_t offset) {
    return std::uint32_t(b[offset]) | std::uint32_t(b[offset + 1]) << 8 |
           std::uint32_t(b[offset + 2]) << 16 | std::uint32_t(b[offset + 3]) << 24;
}

void setU32At(Bytes& b, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void appendU32(Bytes& b, std::uint32_t v) {
    b.resize(b.size() + 4);
    setU32At(b, b.size() - 4, v);
}

void appendText(Bytes& b, std::string_view text) {
    appendU32(b, static_cast<std::uint32_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
}

std::string asString(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

void expectSameEntries(const std::vector<AccountEntry>& got,
                       const std::vector<AccountEntry>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].type, want[i].type);
        EXPECT_EQ(got[i].title, want[i].title);
        EXPECT_EQ(got[i].whatsThis, want[i].whatsThis);
        EXPECT_EQ(got[i].data, want[i].data);
        EXPECT_EQ(got[i].description, want[i].description);
    }
}

class StrongFormatTest : public ::testing::Test {
  protected:
    std::string path() const { return dir_.file("vault.khk"); }

    void save(const Account& account, std::vector<AccountEntry>& entries) {
        ASSERT_EQ(writeAccountFile(path(), account, entries), SaveOutcome::Saved);
    }

    ReadOutcome read(LoadedAccount& loaded, std::string_view name = "alice",
                     std::string_view password = "s3cret!") {
        return readAccountFile(path(), name, password, loaded);
    }

    test::TempDir dir_;
};

// Reads a file the way docs/account-file.md describes it, with the wrapper's primitives
// only, and compares every byte with a payload built by hand.
TEST_F(StrongFormatTest, FileFollowsTheDocumentedLayout) {
    Account account = strongAccount("Ren\xE9", "open sesame", {2, 8192, 2});
    account.accountDescription = "About \x80";
    account.passwordDescription = "hint";
    std::vector<AccountEntry> entries = {entry(kEntryPassword, "Mail", "p\xE4ss", "who", ""),
                                         entry(-5, "T", "", "", "line 1\r\nline 2")};
    save(account, entries);
    const Bytes file = test::readBytes(path());

    const std::size_t a = 7, h = 4, headerLength = 104 + a + h;
    ASSERT_GT(file.size(), headerLength + 16);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), (Bytes{'K', 'H', 'K', '2', 13, 10, 26, 10}));
    EXPECT_EQ(u32At(file, 8), headerLength);
    EXPECT_EQ(u32At(file, 12), 1u); // format version
    EXPECT_EQ(u32At(file, 16), 1u); // Argon2id
    EXPECT_EQ(u32At(file, 20), 2u);
    EXPECT_EQ(u32At(file, 24), 8192u);
    EXPECT_EQ(u32At(file, 28), 2u);
    EXPECT_EQ(u32At(file, 64), 1u); // AES-256-GCM
    EXPECT_EQ(u32At(file, 96), a);
    EXPECT_EQ(std::string(file.begin() + 100, file.begin() + 100 + a), "About \x80");
    EXPECT_EQ(u32At(file, 100 + a), h);
    EXPECT_EQ(std::string(file.begin() + 104 + a, file.begin() + headerLength), "hint");

    const Bytes salt(file.begin() + 32, file.begin() + 64);
    const std::string secret("Ren\xE9\0open sesame", 16);
    Bytes k(64);
    ASSERT_TRUE(argon2id(Bytes(secret.begin(), secret.end()), salt, 2, 8192, 2, k));
    std::uint8_t digest[32];
    ASSERT_TRUE(sha256(Bytes(k.begin() + 32, k.end()), digest));
    EXPECT_EQ(Bytes(file.begin() + 80, file.begin() + 96), Bytes(digest, digest + 16));

    Bytes payload(file.begin() + headerLength, file.end() - 16);
    std::array<std::uint8_t, 16> tag{};
    std::copy(file.end() - 16, file.end(), tag.begin());
    ASSERT_EQ(aes256GcmOpen(std::span<const std::uint8_t, 32>(k.data(), 32),
                            std::span<const std::uint8_t, 12>(file.data() + 68, 12),
                            Bytes(file.begin(), file.begin() + headerLength), payload, tag),
              GcmOpen::Authentic);
    Bytes want;
    appendU32(want, 2);
    appendU32(want, 1);
    appendText(want, "Mail");
    appendText(want, "who");
    appendText(want, "p\xE4ss");
    appendText(want, "");
    appendU32(want, 0xFFFFFFFB);
    appendText(want, "T");
    appendText(want, "");
    appendText(want, "");
    appendText(want, "line 1\r\nline 2");
    EXPECT_EQ(payload, want);

    // Each entry's offset is where its bytes begin in the file.
    EXPECT_EQ(entries[0].fileOffset, std::int64_t(headerLength + 4));
    EXPECT_EQ(entries[1].fileOffset, std::int64_t(headerLength + 4 + 4 + 4 * 4 + 4 + 3 + 4));
}

TEST_F(StrongFormatTest, RoundTripKeepsEveryFieldAndTheProtection) {
    Account account = strongAccount();
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte.push_back(static_cast<char>(c));
    // Bytes 128-255 in the clear texts, so that the secrets' letters do not appear there.
    account.accountDescription = everyByte.substr(127, 128);
    account.passwordDescription = everyByte.substr(127, 128) + "hint";
    std::vector<AccountEntry> entries = {
        entry(kEntryPassword, everyByte.substr(0, 79), everyByte.substr(79, 79),
              everyByte.substr(158, 79), everyByte.substr(60, 191)),
        entry(kEntryLink, "Bank", "1234", "user name: bob", "https://bank.example/login"),
        entry(kEntryText, "", "", "", ""),
        entry(7, "Odd type", "x", "kept as stored", ""),
        entry(INT32_MIN, "Lowest type", "y"),
    };
    save(account, entries);

    LoadedAccount loaded;
    ASSERT_EQ(read(loaded), ReadOutcome::Loaded);
    EXPECT_EQ(loaded.account.name, "alice");
    EXPECT_EQ(loaded.account.password, "s3cret!");
    EXPECT_EQ(loaded.account.accountDescription, account.accountDescription);
    EXPECT_EQ(loaded.account.passwordDescription, account.passwordDescription);
    EXPECT_EQ(loaded.account.protection, AccountProtection::strongWith(kFast));
    EXPECT_EQ(loaded.droppedRecords, 0);
    expectSameEntries(loaded.entries, entries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(loaded.entries[i].fileOffset, entries[i].fileOffset);
        if (i > 0) {
            EXPECT_GT(entries[i].fileOffset, entries[i - 1].fileOffset);
        }
    }

    // Only the two descriptions are in clear.
    const std::string raw = asString(test::readBytes(path()));
    EXPECT_NE(raw.find(account.passwordDescription), std::string::npos);
    for (const char* secret : {"s3cret!", "alice", "1234", "Bank", "Odd type", "bank.example"})
        EXPECT_EQ(raw.find(secret), std::string::npos) << secret;

    // Saving again keeps the format and its cost, with a new salt, nonce and key check.
    LoadedAccount again;
    save(loaded.account, loaded.entries);
    const Bytes first(raw.begin(), raw.end()), second = test::readBytes(path());
    for (std::size_t offset : {32, 68, 80}) {
        const std::size_t size = offset == 32 ? 32 : offset == 68 ? 12 : 16;
        EXPECT_NE(Bytes(first.begin() + offset, first.begin() + offset + size),
                  Bytes(second.begin() + offset, second.begin() + offset + size))
            << offset;
    }
    ASSERT_EQ(read(again), ReadOutcome::Loaded);
    EXPECT_EQ(again.account.protection, AccountProtection::strongWith(kFast));
    expectSameEntries(again.entries, entries);
}

TEST_F(StrongFormatTest, EmptyAccountAndDeletedEntries) {
    std::vector<AccountEntry> none;
    save(strongAccount(), none);
    EXPECT_EQ(test::readBytes(path()).size(), 104 + 8 + 13 + 4 + 16u);
    LoadedAccount loaded;
    ASSERT_EQ(read(loaded), ReadOutcome::Loaded);
    EXPECT_TRUE(loaded.entries.empty());

    std::vector<AccountEntry> entries = sampleEntries(4);
    entries[1].fileOffset = kOffsetDeleted;
    entries[3].fileOffset = 12345; // stale
    save(strongAccount(), entries);
    EXPECT_EQ(entries[1].fileOffset, kOffsetDeleted);
    ASSERT_EQ(read(loaded), ReadOutcome::Loaded);
    ASSERT_EQ(loaded.entries.size(), 3u);
    EXPECT_EQ(loaded.entries[1].title, "Title 2");
    EXPECT_EQ(loaded.entries[2].fileOffset, entries[3].fileOffset);
}

TEST_F(StrongFormatTest, DamageIsRefusedWithTheRightOutcomeAndTheFileUntouched) {
    std::vector<AccountEntry> entries = sampleEntries(3);
    save(strongAccount(), entries);
    const Bytes original = test::readBytes(path());
    const std::size_t headerLength = u32At(original, 8);
    const std::size_t hintLength = u32At(original, 100 + 8);
    ASSERT_EQ(headerLength, 104 + 8 + 13u);

    constexpr ReadOutcome kDamaged = ReadOutcome::Damaged;
    // A changed salt, cost or key check gives another key, exactly as a wrong password does.
    constexpr ReadOutcome kLikeWrongKey = ReadOutcome::WrongCredentials;
    struct Case {
        std::string what;
        std::function<void(Bytes&)> mutate;
        ReadOutcome outcome;
    };
    auto field = [](std::size_t offset, std::uint32_t value) {
        return [=](Bytes& b) { setU32At(b, offset, value); };
    };
    auto flip = [](std::size_t offset, std::uint8_t mask = 0x10) {
        return [=](Bytes& b) { b[offset] ^= mask; };
    };
    auto cut = [](std::size_t length) { return [=](Bytes& b) { b.resize(length); }; };
    std::vector<Case> cases = {
        {"header length - 1", field(8, std::uint32_t(headerLength - 1)), kDamaged},
        {"header length + 1", field(8, std::uint32_t(headerLength + 1)), kDamaged},
        {"version 0", field(12, 0), kDamaged},
        {"version 2", field(12, 2), kDamaged},
        {"key derivation 0", field(16, 0), kDamaged},
        {"key derivation 2", field(16, 2), kDamaged},
        {"iterations 0", field(20, 0), kDamaged},
        {"iterations 65", field(20, 65), kDamaged},
        {"memory 8191 KiB", field(24, 8191), kDamaged},
        {"memory 1 GiB + 1 KiB", field(24, 1048577), kDamaged},
        {"memory 4 TiB", field(24, 0xFFFFFFFF), kDamaged},
        {"lanes 0", field(28, 0), kDamaged},
        {"lanes 17", field(28, 17), kDamaged},
        {"cipher 0", field(64, 0), kDamaged},
        {"cipher 2", field(64, 2), kDamaged},
        {"description length 192", field(96, 192), kDamaged},
        {"description length past the file", field(96, 0xFFFFFFF0), kDamaged},
        {"hint length 192", field(108, 192), kDamaged},
        {"NUL in the description", [](Bytes& b) { b[102] = 0; }, kDamaged},
        {"NUL in the hint", [=](Bytes& b) { b[headerLength - 1] = 0; }, kDamaged},
        {"bytes appended", [](Bytes& b) { b.push_back(0); }, kDamaged},
        {"magic", flip(3), kDamaged}, // then it is no account file at all
        {"magic end", flip(7), kDamaged},
        {"version bit", flip(13), kDamaged},
        {"salt", flip(40), kLikeWrongKey},
        {"iterations in range", flip(20, 0x02), kLikeWrongKey},
        {"memory in range", flip(25, 0x80), kLikeWrongKey},
        {"lanes in range", flip(28, 0x04), kLikeWrongKey},
        {"key check", flip(85), kLikeWrongKey},
        {"nonce", flip(70), kDamaged},
        {"description", flip(101), kDamaged},
        {"hint", flip(headerLength - 2), kDamaged},
        {"entry count", flip(headerLength), kDamaged},
        {"payload middle", flip((headerLength + original.size()) / 2), kDamaged},
        {"last payload byte", flip(original.size() - 17), kDamaged},
        {"tag first byte", flip(original.size() - 16), kDamaged},
        {"tag last byte", flip(original.size() - 1), kDamaged},
    };
    for (std::size_t length :
         {std::size_t(0), std::size_t(7), std::size_t(8), std::size_t(12), std::size_t(100),
          std::size_t(103), std::size_t(108), headerLength - 1, headerLength, headerLength + 3,
          headerLength + 19, headerLength + 20, original.size() - 16, original.size() - 1})
        cases.push_back({"cut to " + std::to_string(length), cut(length), kDamaged});
    ASSERT_EQ(hintLength, 13u);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes damaged = original;
        c.mutate(damaged);
        test::writeBytes(path(), damaged);
        LoadedAccount loaded;
        EXPECT_EQ(read(loaded), c.outcome);
        EXPECT_TRUE(loaded.entries.empty());
        EXPECT_TRUE(loaded.account.password.empty());
        std::string hint;
        EXPECT_FALSE(checkAccountCredentials(path(), "alice", "s3cret!", hint));
        EXPECT_EQ(hint, "");
        EXPECT_EQ(test::readBytes(path()), damaged);
    }
}

// A payload that the tag vouches for must still be well formed: built here with the file's
// own key, so that only the parser can refuse it.
TEST_F(StrongFormatTest, AuthenticPayloadsThatBreakTheLayoutAreDamaged) {
    std::vector<AccountEntry> none;
    save(strongAccount(), none);
    const Bytes original = test::readBytes(path());
    const std::size_t headerLength = u32At(original, 8);
    const Bytes header(original.begin(), original.begin() + headerLength);
    StrongKey key;
    ASSERT_TRUE(deriveStrongKey("alice", "s3cret!",
                                std::span<const std::uint8_t, 32>(original.data() + 32, 32), kFast,
                                key));

    auto oneEntry = [](std::string_view title, std::string_view whats, std::string_view data,
                       std::string_view description) {
        Bytes p;
        appendU32(p, 1);
        appendU32(p, kEntryText);
        appendText(p, title);
        appendText(p, whats);
        appendText(p, data);
        appendText(p, description);
        return p;
    };
    const std::string t79(79, 't'), t80(80, 't'), d191(191, 'd'), d192(192, 'd');
    struct Case {
        const char* what;
        Bytes payload;
        bool loads;
    };
    Bytes trailing = oneEntry("a", "b", "c", "d");
    trailing.push_back(0);
    Bytes countTooHigh = oneEntry("a", "b", "c", "d");
    setU32At(countTooHigh, 0, 2);
    Bytes countTooLow = oneEntry("a", "b", "c", "d");
    setU32At(countTooLow, 0, 0);
    Bytes hugeCount;
    appendU32(hugeCount, 0xFFFFFFFF);
    Bytes lengthPastEnd = oneEntry("a", "b", "c", "d");
    setU32At(lengthPastEnd, 8, 0x7FFFFFFF);
    const Case cases[] = {
        {"longest fields", oneEntry(t79, t79, t79, d191), true},
        {"title 80", oneEntry(t80, "", "", ""), false},
        {"what's this 80", oneEntry("", t80, "", ""), false},
        {"data 80", oneEntry("", "", t80, ""), false},
        {"description 192", oneEntry("", "", "", d192), false},
        {"NUL in the data", oneEntry("", "", std::string_view("a\0b", 3), ""), false},
        {"trailing byte", trailing, false},
        {"count too high", countTooHigh, false},
        {"count too low", countTooLow, false},
        {"count of four billion", hugeCount, false},
        {"length past the end", lengthPastEnd, false},
        {"no count", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes payload = c.payload;
        std::array<std::uint8_t, 16> tag{};
        ASSERT_TRUE(aes256GcmSeal(std::span<const std::uint8_t, 32>(key.data(), 32),
                                  std::span<const std::uint8_t, 12>(original.data() + 68, 12),
                                  header, payload, tag));
        Bytes file = header;
        file.insert(file.end(), payload.begin(), payload.end());
        file.insert(file.end(), tag.begin(), tag.end());
        test::writeBytes(path(), file);
        LoadedAccount loaded;
        EXPECT_EQ(read(loaded), c.loads ? ReadOutcome::Loaded : ReadOutcome::Damaged);
        EXPECT_EQ(loaded.entries.size(), c.loads ? 1u : 0u);
    }
}

TEST_F(StrongFormatTest, ConversionBothWaysKeepsEveryEntryByteForByte) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte.push_back(static_cast<char>(c));
    std::vector<AccountEntry> entries = sampleEntries(40);
    entries.push_back(entry(kEntryPassword, everyByte.substr(0, 79), everyByte.substr(100, 79),
                            everyByte.substr(176, 79), everyByte.substr(0, 191)));
    entries.push_back(entry(-1, "", "", "", ""));
    Account account = strongAccount("Zo\xEB", "p\xE4sswort");
    account.protection = AccountProtection::compatible();
    save(account, entries);
    const std::vector<AccountEntry> original = entries;

    const AccountProtection route[] = {AccountProtection::strongWith(kFast),
                                       AccountProtection::compatible(),
                                       AccountProtection::strongWith({2, 8192, 2})};
    for (const AccountProtection& protection : route) {
        SCOPED_TRACE(protection.isStrong() ? "to strong" : "to compatible");
        LoadedAccount loaded;
        ASSERT_EQ(read(loaded, "Zo\xEB", "p\xE4sswort"), ReadOutcome::Loaded);
        loaded.account.protection = protection;
        save(loaded.account, loaded.entries);
        EXPECT_EQ(readAccountProtection(path()), protection);

        LoadedAccount converted;
        ASSERT_EQ(read(converted, "Zo\xEB", "p\xE4sswort"), ReadOutcome::Loaded);
        EXPECT_EQ(converted.account.protection, protection);
        EXPECT_EQ(converted.account.accountDescription, "My vault");
        EXPECT_EQ(converted.account.passwordDescription, "the usual one");
        expectSameEntries(converted.entries, original);
    }
}

TEST_F(StrongFormatTest, PasswordChangeTakesEffectWithANewSalt) {
    std::vector<AccountEntry> entries = sampleEntries(2);
    save(strongAccount(), entries);
    const Bytes before = test::readBytes(path());
    LoadedAccount loaded;
    ASSERT_EQ(read(loaded), ReadOutcome::Loaded);
    loaded.account.password = "n3w one";
    save(loaded.account, loaded.entries);
    const Bytes after = test::readBytes(path());
    EXPECT_NE(Bytes(before.begin() + 32, before.begin() + 64),
              Bytes(after.begin() + 32, after.begin() + 64));
    EXPECT_EQ(read(loaded), ReadOutcome::WrongCredentials);
    ASSERT_EQ(read(loaded, "alice", "n3w one"), ReadOutcome::Loaded);
    EXPECT_EQ(loaded.entries.size(), 2u);
}

TEST_F(StrongFormatTest, WriterRefusesCostsOutOfRangeAndKeepsTheOldFile) {
    std::vector<AccountEntry> entries = sampleEntries(2);
    save(strongAccount(), entries);
    const Bytes before = test::readBytes(path());
    const StrongParameters refused[] = {{0, 8192, 1}, {65, 8192, 1}, {1, 8191, 1},
                                        {1, 8192, 0}, {1, 8192, 17}, {1, 1048577, 1}};
    for (const StrongParameters& p : refused) {
        SCOPED_TRACE(std::to_string(p.iterations) + "/" + std::to_string(p.memoryKiB) + "/" +
                     std::to_string(p.lanes));
        std::vector<AccountEntry> more = sampleEntries(3);
        EXPECT_EQ(writeAccountFile(path(), strongAccount("alice", "s3cret!", p), more),
                  SaveOutcome::Failed);
        EXPECT_EQ(more[0].fileOffset, kOffsetUnsaved);
    }
    std::vector<AccountEntry> more = sampleEntries(3);
    EXPECT_EQ(writeAccountFile(path(), strongAccount("alice", ""), more), SaveOutcome::Failed);
    EXPECT_EQ(writeAccountFile(path(), strongAccount("", "x"), more), SaveOutcome::Failed);
    EXPECT_EQ(test::readBytes(path()), before);
    EXPECT_EQ(dir_.listing(), std::vector<std::string>{"vault.khk"});
}

TEST_F(StrongFormatTest, PartialReadersNeedNoKeyForTheClearTexts) {
    std::vector<AccountEntry> entries;
    save(strongAccount("bob", "x"), entries);
    std::string text = "stale";
    EXPECT_TRUE(readAccountDescription(path(), text));
    EXPECT_EQ(text, "My vault");
    // The name is part of the key: without the password any name gets the hint.
    for (const char* name : {"bob", "Bob", "someone else"}) {
        text = "stale";
        EXPECT_TRUE(readPasswordDescription(path(), name, text)) << name;
        EXPECT_EQ(text, "the usual one");
    }
    EXPECT_FALSE(readPasswordDescription(path(), "", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(checkAccountCredentials(path(), "bob", "x", text));
    EXPECT_EQ(text, "the usual one");
    for (const auto& [name, password] :
         {std::pair{"Bob", "x"}, std::pair{"bob", "X"}, std::pair{"bob", ""}, std::pair{"", "x"}}) {
        text = "stale";
        EXPECT_FALSE(checkAccountCredentials(path(), name, password, text)) << name << password;
        EXPECT_EQ(text, "");
    }
}

TEST_F(StrongFormatTest, ProtectionIsReadFromTheHeaderAlone) {
    std::vector<AccountEntry> entries = sampleEntries(1);
    save(strongAccount("alice", "s3cret!", {5, 9000, 3}), entries);
    EXPECT_EQ(readAccountProtection(path()), AccountProtection::strongWith({5, 9000, 3}));
    Account compatible = strongAccount();
    compatible.protection = AccountProtection::compatible();
    save(compatible, entries);
    EXPECT_EQ(readAccountProtection(path()), AccountProtection::compatible());
    test::writeBytes(path(), Bytes(2000, 0x41));
    EXPECT_EQ(readAccountProtection(path()), std::nullopt);
    EXPECT_EQ(readAccountProtection(dir_.file("missing.khk")), std::nullopt);
}

TEST(StrongPayload, ParserRefusesWhatTheWriterNeverWrites) {
    // The writer's own output parses back to the same entries at the same offsets.
    std::vector<AccountEntry> entries = sampleEntries(5);
    entries[2].fileOffset = kOffsetDeleted;
    std::vector<std::uint8_t, WipingAllocator<std::uint8_t>> payload;
    std::vector<std::int64_t> offsets;
    ASSERT_TRUE(encodeStrongPayload(entries, 1000, payload, offsets));
    std::vector<AccountEntry> parsed;
    ASSERT_TRUE(parseStrongPayload({payload.data(), payload.size()}, 1000, parsed));
    ASSERT_EQ(parsed.size(), 4u);
    EXPECT_EQ(offsets[0], 1004);
    EXPECT_EQ(offsets[2], kOffsetDeleted);
    EXPECT_EQ(parsed[2].title, "Title 3");
    EXPECT_EQ(parsed[2].fileOffset, offsets[3]);

    // Every shorter prefix is refused, and leaves no entries behind.
    for (std::size_t length = 0; length < payload.size(); ++length) {
        parsed = sampleEntries(1);
        EXPECT_FALSE(parseStrongPayload({payload.data(), length}, 1000, parsed)) << length;
        EXPECT_TRUE(parsed.empty());
    }
}

} // namespace
} // namespace kh
