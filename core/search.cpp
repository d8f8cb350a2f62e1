#include "search.h"

#include <algorithm>
#include <array>
#include <limits>

namespace kh {

namespace {

constexpr std::array<unsigned char, 256> makeUpperTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<unsigned char>(c);
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = static_cast<unsigned char>(c - 0x20);
    for (int c = 0xE0; c <= 0xFE; ++c)
        if (c != 0xF7) table[c] = static_cast<unsigned char>(c - 0x20); // 0xF7 is the division sign
    table[0x9A] = 0x8A;                                                 // s caron
    table[0x9C] = 0x8C;                                                 // oe
    table[0x9E] = 0x8E;                                                 // z caron
    table[0xFF] = 0x9F;                                                 // y diaeresis
    return table;
}

constexpr std::array<unsigned char, 256> kUpper = makeUpperTable();

unsigned char upper(char c) {
    return kUpper[static_cast<unsigned char>(c)];
}

// `needle` is already upper case. Compares in place rather than upper-casing a copy of
// the field, so no copy of a password is left behind and 10,000 rows cost no allocation.
bool containsFolded(std::string_view field, std::string_view needle) {
    if (needle.size() > field.size()) return false;
    const unsigned char first = static_cast<unsigned char>(needle[0]);
    const std::size_t lastStart = field.size() - needle.size();
    for (std::size_t i = 0; i <= lastStart; ++i) {
        if (upper(field[i]) != first) continue;
        std::size_t j = 1;
        while (j < needle.size() && upper(field[i + j]) == static_cast<unsigned char>(needle[j]))
            ++j;
        if (j == needle.size()) return true;
    }
    return false;
}

class Matcher {
  public:
    explicit Matcher(const SearchRequest& request) : request_(request) {
        if (!request.caseSensitive) {
            needle_.resize(request.text.size());
            std::transform(request.text.begin(), request.text.end(), needle_.begin(), toUpper1252);
        }
    }

    bool matches(std::string_view field) const {
        if (request_.caseSensitive) return field.find(request_.text) != std::string_view::npos;
        return containsFolded(field, needle_);
    }

    // Fields in the order the list shows them; the first match decides.
    bool matches(const SearchRow& row) const {
        if (request_.inTitle && matches(row.title)) return true;
        if (request_.inWhatsThis && matches(row.whatsThis)) return true;
        if (request_.inPassword && row.secret != nullptr && !row.secret->empty() &&
            matches(row.secret->view()))
            return true;
        return request_.inDetail && matches(row.details);
    }

  private:
    const SearchRequest& request_;
    std::string needle_;
};

} // namespace

char toUpper1252(char c) {
    return static_cast<char>(upper(c));
}

SearchResult SearchState::findEntries(std::span<const SearchRow> rows,
                                      const std::optional<SearchRequest>& request) {
    SearchResult result;
    if (rows.empty()) return result;
    if (request) {
        start_ = -1;
        request_ = *request;
        if (request_.text.size() > kMaxSearchText) request_.text.resize(kMaxSearchText);
    }
    if (request_.text.empty()) return result;

    // Row indexes are ints like the list's; a list this long does not exist in practice.
    const std::size_t count =
        std::min(rows.size(), static_cast<std::size_t>(std::numeric_limits<int>::max()));
    std::size_t first = start_ < 0 ? 0 : static_cast<std::size_t>(start_) + 1;
    if (first >= count) first = 0;

    const Matcher matcher(request_);
    for (std::size_t i = first; i < count; ++i) {
        if (!matcher.matches(rows[i])) continue;
        const int index = static_cast<int>(i);
        start_ = index;
        result.last = index;
        result.matches.push_back(index);
        if (!request_.findAll) break;
    }
    return result;
}

SearchState& searchState() {
    static SearchState state;
    return state;
}

} // namespace kh
