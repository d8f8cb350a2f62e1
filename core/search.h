// Finding entries by a piece of text: the program-wide request that "Find Again" repeats,
// the row where the next search begins, and the matching rules.
#pragma once

#include "secure_memory.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kh {

// Longer texts are searched as their first this many characters.
inline constexpr std::size_t kMaxSearchText = 192;

// Defaults are those of the find dialog's boxes.
struct SearchRequest {
    std::string text; // may be a piece of a password: wiped when it goes
    bool caseSensitive = false;
    bool inWhatsThis = false;
    bool inTitle = true;
    bool inPassword = true;
    bool findAll = false;
    bool inDetail = true;

    SearchRequest() = default;
    SearchRequest(const SearchRequest&) = default;
    SearchRequest(SearchRequest&&) = default;
    SearchRequest& operator=(const SearchRequest&) = default;
    SearchRequest& operator=(SearchRequest&&) = default;
    ~SearchRequest() { wipeString(text); }
};

// What the search sees of one row of the shown list. The views and the pointer must stay
// valid for the duration of the call only.
struct SearchRow {
    std::string_view title;
    std::string_view whatsThis;
    std::string_view details;
    const SecretString* secret = nullptr; // the row record's data; null without a record
};

struct SearchResult {
    int last = -1;            // the last matching row, or -1
    std::vector<int> matches; // every matching row in order; the caller selects these
};

// Windows-1252 upper case: a-z and the accented small letters; the micro sign and the
// sharp s have no single-byte capital and stay as they are.
char toUpper1252(char c);

class SearchState {
  public:
    // Searches `rows` (the list as shown) from the row after the search start to the end,
    // with `request` as the new stored request (the start then goes back to the first row)
    // or with the stored one. A start beyond the last row begins again at the first; there
    // is no other wrap-around. An empty list finds nothing and leaves the state as it is.
    SearchResult findEntries(std::span<const SearchRow> rows,
                             const std::optional<SearchRequest>& request = std::nullopt);

    // The user selected `index`: the next search begins at that row.
    void rowSelected(int index) { start_ = index < 0 ? -1 : index - 1; }

    // True when "Find Again" has something to repeat.
    bool hasText() const { return !request_.text.empty(); }
    const SearchRequest& request() const { return request_; }
    int searchStart() const { return start_; }

  private:
    SearchRequest request_;
    int start_ = -1;
};

// The one search state of the program; it lasts until the program ends, across logins.
SearchState& searchState();

} // namespace kh
