#include "search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kh {
namespace {

struct StoredEntry {
    std::string title;
    std::string whatsThis;
    std::string details;
    std::optional<SecretString> secret; // none: a row without a record
};

// Entries as the list keeps them, with the row views the search takes.
class Rows {
  public:
    explicit Rows(std::vector<StoredEntry> entries) : entries_(std::move(entries)) {
        for (const StoredEntry& e : entries_)
            rows_.push_back({e.title, e.whatsThis, e.details, e.secret ? &*e.secret : nullptr});
    }
    std::span<const SearchRow> rows() const { return rows_; }

  private:
    std::vector<StoredEntry> entries_;
    std::vector<SearchRow> rows_;
};

SearchRequest requestFor(std::string text) {
    SearchRequest request;
    request.text = std::move(text);
    return request;
}

std::vector<StoredEntry> titled(std::vector<std::string> titles) {
    std::vector<StoredEntry> entries;
    for (std::string& title : titles)
        entries.push_back({std::move(title), "", "", SecretString("pw")});
    return entries;
}

TEST(Search, DefaultsLookAtTitlePasswordAndDetailsButNotWhatsThis) {
    const Rows list({
        {"Mail", "home", "imap server", SecretString("s3cret-Key")},
        {"Bank", "kestrel", "", SecretString("x")},
        {"Notes", "", "", std::nullopt},
    });
    const struct {
        const char* text;
        int found;
    } cases[] = {{"cret-k", 0}, {"imap", 0}, {"bank", 1}, {"kestrel", -1}, {"note", 2}, {"zz", -1}};
    for (const auto& c : cases) {
        SearchState state;
        EXPECT_EQ(state.findEntries(list.rows(), requestFor(c.text)).last, c.found) << c.text;
    }
}

TEST(Search, EachFieldIsSearchedOnlyWithItsFlag) {
    const Rows list({{"alpha", "bravo", "charlie", SecretString("delta")}});
    using Flag = bool SearchRequest::*;
    const struct {
        const char* text;
        Flag flag;
    } cases[] = {{"alpha", &SearchRequest::inTitle},
                 {"bravo", &SearchRequest::inWhatsThis},
                 {"delta", &SearchRequest::inPassword},
                 {"charlie", &SearchRequest::inDetail}};
    for (const auto& c : cases) {
        SearchRequest request = requestFor(c.text);
        request.inTitle = request.inWhatsThis = request.inPassword = request.inDetail = false;
        SearchState state;
        EXPECT_EQ(state.findEntries(list.rows(), request).last, -1) << c.text;
        request.*c.flag = true;
        EXPECT_EQ(state.findEntries(list.rows(), request).last, 0) << c.text;
    }
}

TEST(Search, FindAgainMovesThroughMatchesWithoutWrappingAround) {
    const Rows list(titled({"a", "key 1", "b", "key 2", "key 3", "c"}));
    SearchState state;
    EXPECT_EQ(state.findEntries(list.rows(), requestFor("KEY")).last, 1);
    EXPECT_EQ(state.findEntries(list.rows()).last, 3);
    const SearchResult third = state.findEntries(list.rows());
    EXPECT_EQ(third.last, 4);
    EXPECT_EQ(third.matches, std::vector<int>{4});
    // Past the last match nothing is found, again and again, although row 1 matches.
    for (int i = 0; i < 3; ++i) {
        const SearchResult none = state.findEntries(list.rows());
        EXPECT_EQ(none.last, -1);
        EXPECT_TRUE(none.matches.empty());
    }
    // Selecting a row makes the next search begin at it.
    state.rowSelected(3);
    EXPECT_EQ(state.findEntries(list.rows()).last, 3);
    state.rowSelected(0);
    EXPECT_EQ(state.findEntries(list.rows()).last, 1);
    // A new request starts from the top again.
    EXPECT_EQ(state.findEntries(list.rows(), requestFor("key")).last, 1);
}

TEST(Search, OnlyAStartBeyondTheLastRowBeginsAgainAtTheFirst) {
    const Rows list(titled({"key", "a", "key"}));
    SearchState state;
    EXPECT_EQ(state.findEntries(list.rows(), requestFor("key")).last, 0);
    EXPECT_EQ(state.findEntries(list.rows()).last, 2);
    EXPECT_EQ(state.findEntries(list.rows()).last, 0); // the start was past the end

    // A list that became shorter than the start behaves the same.
    state.rowSelected(9);
    EXPECT_EQ(state.findEntries(list.rows()).last, 0);
}

TEST(Search, FindAllReportsEveryMatchToTheEndAndFindAgainContinuesAfterIt) {
    const Rows list(titled({"key", "a", "key", "b", "key", "c"}));
    SearchRequest request = requestFor("key");
    request.findAll = true;
    SearchState state;
    const SearchResult all = state.findEntries(list.rows(), request);
    EXPECT_EQ(all.matches, (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(all.last, 4);
    EXPECT_EQ(state.searchStart(), 4);
    EXPECT_EQ(state.findEntries(list.rows()).last, -1);
    state.rowSelected(1);
    EXPECT_EQ(state.findEntries(list.rows()).matches, (std::vector<int>{2, 4}));
}

TEST(Search, EmptyTextOrEmptyListFindsNothing) {
    const Rows list(titled({"key"}));
    SearchState state;
    EXPECT_EQ(state.findEntries(list.rows()).last, -1); // nothing stored yet
    EXPECT_EQ(state.findEntries(list.rows(), requestFor("")).last, -1);
    EXPECT_FALSE(state.hasText());

    // An empty list leaves the stored request and the start as they were.
    ASSERT_EQ(state.findEntries(list.rows(), requestFor("key")).last, 0);
    EXPECT_EQ(state.findEntries({}, requestFor("other")).last, -1);
    EXPECT_EQ(state.request().text, "key");
    EXPECT_EQ(state.searchStart(), 0);
}

TEST(Search, LongTextIsSearchedAsItsFirst192Characters) {
    const std::string prefix(kMaxSearchText, 'q');
    const Rows list(titled({"x" + prefix + "y"}));
    SearchState state;
    EXPECT_EQ(state.findEntries(list.rows(), requestFor(prefix + "12345678")).last, 0);
    EXPECT_EQ(state.request().text, prefix);
}

TEST(Search, UpperCasesWithWindows1252Rules) {
    int changed = 0;
    for (int c = 0; c < 256; ++c)
        changed += toUpper1252(static_cast<char>(c)) != static_cast<char>(c) ? 1 : 0;
    EXPECT_EQ(changed, 26 + 30 + 4); // a-z, 0xE0-0xFE without 0xF7, the four specials

    const struct {
        unsigned char in, out;
    } cases[] = {{'a', 'A'},   {'z', 'Z'},   {'A', 'A'},   {'{', '{'},   {0xE0, 0xC0},
                 {0xE9, 0xC9}, {0xFE, 0xDE}, {0xF7, 0xF7}, {0xC9, 0xC9}, {0x9A, 0x8A},
                 {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}, {0xB5, 0xB5}, {0xDF, 0xDF}};
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<unsigned char>(toUpper1252(static_cast<char>(c.in))), c.out)
            << int(c.in);
}

TEST(Search, CaseFoldingFindsAccentedCapitalsUnlessCaseSensitive) {
    const Rows list(titled({"plain", "CAF\xC9 NOIR", "caf\xE9 au lait"}));
    SearchRequest request = requestFor("caf\xE9");
    request.findAll = true;
    SearchState state;
    EXPECT_EQ(state.findEntries(list.rows(), request).matches, (std::vector<int>{1, 2}));
    request.caseSensitive = true;
    EXPECT_EQ(state.findEntries(list.rows(), request).matches, std::vector<int>{2});
    request.text = "CAF";
    EXPECT_EQ(state.findEntries(list.rows(), request).matches, std::vector<int>{1});
}

// Random fields over a small alphabet with mixed case: the in-place folded match must agree
// with upper-casing both texts and searching.
TEST(Search, FoldedMatchAgreesWithUpperCasedSubstringSearch) {
    const std::string alphabet = "aAbB\xE9\xC9\xFF\x9F";
    std::mt19937 rng(42);
    auto randomText = [&](std::size_t maxLength) {
        std::string text(rng() % (maxLength + 1), ' ');
        for (char& c : text)
            c = alphabet[rng() % alphabet.size()];
        return text;
    };
    auto upper = [](std::string text) {
        for (char& c : text)
            c = toUpper1252(c);
        return text;
    };
    for (int i = 0; i < 3000; ++i) {
        const std::string field = randomText(12);
        std::string needle = randomText(4);
        if (needle.empty()) needle = "a";
        const Rows list({{field, "", "", std::nullopt}});
        SearchState state;
        const bool expected = upper(field).find(upper(needle)) != std::string::npos;
        EXPECT_EQ(state.findEntries(list.rows(), requestFor(needle)).last == 0, expected)
            << field << " / " << needle;
    }
}

TEST(Search, FindAllOverAFullListOfTenThousandRows) {
    std::vector<StoredEntry> entries;
    for (int i = 0; i < 10240; ++i)
        entries.push_back({"entry " + std::to_string(i), "", "details of the entry",
                           SecretString(i % 1000 == 999 ? "Needle!" : "haystack")});
    const Rows list(std::move(entries));
    SearchRequest request = requestFor("needle");
    request.findAll = true;
    SearchState state;
    const SearchResult result = state.findEntries(list.rows(), request);
    ASSERT_EQ(result.matches.size(), 10u);
    EXPECT_EQ(result.matches.front(), 999);
    EXPECT_EQ(result.last, 9999);
}

} // namespace
} // namespace kh
