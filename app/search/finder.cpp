#include "finder.h"

#include "text_format.h"

#include <algorithm>

namespace kh {

Finder::Finder(Session& session, EntryList& list, const MessageTable& messages,
               MainWindowControl& window)
    : session_(session), list_(list), messages_(messages), window_(window) {}

int Finder::findEntries(const std::optional<SearchRequest>& request) {
    if (!session_.isLoggedIn()) return -1;
    const EntryView view = list_.visibleList();
    const int count = list_.rowCount(view);
    std::vector<SearchRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const EntryRow& row = list_.row(view, i);
        rows.push_back(
            {row.caption, row.whatsThis, row.details, row.record ? &row.record->data : nullptr});
    }
    const SearchResult result = state_.findEntries(rows, request);
    if (count == 0 || !state_.hasText()) return -1;

    // Nothing found: the selection stays as the user left it.
    if (result.matches.empty() || result.last < 0) return -1;
    selecting_ = true;
    {
        // The old selection goes and the matches take its place, as one change.
        EntryList::BatchUpdate batch(list_);
        list_.selectOnly(view, result.matches.front());
        for (int match : result.matches)
            list_.setSelected(view, match, true);
    }
    selecting_ = false;

    const RowRecord* record = list_.row(view, result.last).record.get();
    const int master = view == EntryView::lvSub ? (record ? record->masterIndex : -1) : result.last;
    window_.showRow(master);
    session_.setStatusText(
        formatText(messages_.text(Msg::itemfound), {static_cast<int>(result.matches.size())}));
    return result.last;
}

Finder::DialogOutcome Finder::findFromDialog(std::string_view text, const SearchRequest& options,
                                             Prompts& prompts) {
    const std::string& caption = messages_.text(Msg::warning);
    if (text.empty()) {
        prompts.warning(caption, messages_.text(Msg::warnfindstring));
        return DialogOutcome::EmptyText;
    }
    // A text searched among the passwords may be a piece of one: it is not kept for the
    // drop-down.
    if (!options.inPassword) remember(text);
    SearchRequest request = options;
    request.text = text.substr(0, std::min(text.size(), kMaxSearchText));
    if (findEntries(request) >= 0) return DialogOutcome::Found;
    prompts.warning(caption, formatText(messages_.text(Msg::warnnotfound), {request.text}));
    return DialogOutcome::NotFound;
}

void Finder::findAgain(const std::function<void()>& openFinder) {
    if (!session_.isLoggedIn()) return;
    if (!state_.hasText()) {
        if (openFinder) openFinder();
        return;
    }
    if (findEntries() < 0)
        session_.showWarning(
            formatText(messages_.text(Msg::warnnotfound), {state_.request().text}));
}

void Finder::rowSelected(int index) {
    if (!selecting_) state_.rowSelected(index);
}

void Finder::remember(std::string_view text) {
    const auto same = std::find_if(earlier_.begin(), earlier_.end(),
                                   [&](const SecretString& s) { return s.view() == text; });
    if (same != earlier_.end()) earlier_.erase(same);
    earlier_.insert(earlier_.begin(), SecretString(text));
    if (earlier_.size() > kFindHistorySize) earlier_.resize(kFindHistorySize);
}

void Finder::forget() {
    state_ = SearchState{};
    earlier_.clear();
}

} // namespace kh
