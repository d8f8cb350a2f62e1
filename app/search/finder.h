// Finding entries in the shown list: the search that the find dialog starts and Find Again
// repeats, the found rows selected and scrolled into view, the start of the next search
// moved by the user's selection, and the earlier texts of the dialog's drop-down. All of
// it belongs to the open account and is forgotten when it logs out.
#pragma once

#include "entry_list.h"
#include "message_table.h"
#include "search.h"
#include "secure_memory.h"
#include "services.h"
#include "session.h"

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace kh {

// The find dialog takes at most this many characters.
inline constexpr int kFindTextLimit = 250;
// Earlier texts kept for the dialog's drop-down.
inline constexpr std::size_t kFindHistorySize = 10;

class Finder {
  public:
    Finder(Session& session, EntryList& list, const MessageTable& messages,
           MainWindowControl& window);

    // Searches the visible list with a new request, or with the stored one when there is
    // none. The matches become the list's selection and the last one is scrolled into
    // view; returns its index, or -1.
    int findEntries(const std::optional<SearchRequest>& request = std::nullopt);

    enum class DialogOutcome { EmptyText, NotFound, Found };
    // The dialog's Find: `text` with the flags of `options`. An empty text or no match is
    // told in a box of the dialog's own.
    DialogOutcome findFromDialog(std::string_view text, const SearchRequest& options,
                                 Prompts& prompts);
    // F3: the stored search again from after its last match, or `openFinder` when there
    // is no search text yet.
    void findAgain(const std::function<void()>& openFinder);

    // The user selected row `index` of the visible list: the next search begins there.
    void rowSelected(int index);
    bool hasText() const { return state_.hasText(); }
    const SearchState& state() const { return state_; }
    // Newest first.
    const std::vector<SecretString>& earlierTexts() const { return earlier_; }
    // The account logged out: its search text, search start and earlier texts go.
    void forget();

  private:
    void remember(std::string_view text);

    Session& session_;
    EntryList& list_;
    const MessageTable& messages_;
    MainWindowControl& window_;
    SearchState state_;
    std::vector<SecretString> earlier_;
    bool selecting_ = false; // the search's own selection must not move its start
};

} // namespace kh
