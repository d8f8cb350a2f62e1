// The entry list: the in-memory store of the open account. Two lists of rows, lvPassword
// (every entry, in load or creation order until sorted) and lvSub (copies of the rows of
// the shown type), each row pointing at a record that holds the secret. The Win32 list
// views show these lists in virtual mode and keep the selection themselves, so operations
// that work on the selection take the selected indexes of the visible list.
#pragma once

#include "account_file.h"
#include "event.h"
#include "secure_memory.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kh {

enum class EntryView { lvPassword, lvSub };

// Row icons, the same in both lists.
inline constexpr int kIconPassword = 0; // saved Password entry, and any unknown type
inline constexpr int kIconLink = 1;
inline constexpr int kIconText = 2;
inline constexpr int kIconDeleted = 3;
inline constexpr int kIconNew = 4; // new or undeleted
inline constexpr int kIconChanged = 5;

// The "Password" column never shows the secret.
inline constexpr std::string_view kPasswordMask = "******";

// Columns in display order.
inline constexpr int kColumnTitle = 0;
inline constexpr int kColumnWhatsThis = 1;
inline constexpr int kColumnPassword = 2;
inline constexpr int kColumnDetails = 3;
inline constexpr int kColumnType = 4;
inline constexpr int kColumnCount = 5;

// The tab index of "ALL"; tabs 1 to 3 are the entry types of the same number.
inline constexpr int kTabAll = 0;

// Shared by the lvPassword row and its lvSub copy. fileOffset is kept at the width the
// account file reader reports, so a large file never truncates an offset.
struct RowRecord {
    SecretString data;
    std::int32_t type = kEntryPassword;
    std::int64_t fileOffset = kOffsetUnsaved;
    std::int32_t masterIndex = -1;
    std::int32_t subIndex = -1;
};

// A row's own texts. The record is shared with the twin row and is read-only for callers:
// change entries through the EntryList operations so both rows and the indexes stay right.
struct EntryRow {
    std::string caption;
    std::string whatsThis;
    std::string details;
    std::string typeName;
    int icon = kIconPassword;
    bool selected = false; // selected in its list view; moves with the row
    std::shared_ptr<RowRecord> record;

    EntryRow() = default;
    EntryRow(const EntryRow&) = default;
    EntryRow(EntryRow&&) = default;
    EntryRow& operator=(const EntryRow&) = default;
    EntryRow& operator=(EntryRow&&) = default;
    // The texts are decrypted entry fields: no released memory may keep them, also when
    // sorting or growing the list moves rows.
    ~EntryRow() {
        wipeString(caption);
        wipeString(whatsThis);
        wipeString(details);
    }
};

// What changed in the lists, from the least to the most the view has to redo.
enum class RowsChange {
    Updated,         // texts, icons or records of existing rows; no row moved
    Added,           // rows appended at the end
    Reordered,       // rows moved or dropped: the view takes the selection from the rows
    TypeListRebuilt, // lvSub refilled, or another tab shown
    Reset,           // both lists emptied
};

// The type names shown in the "Type" column, from the message table.
struct EntryTypeNames {
    std::string password = "Password";
    std::string link = "Link";
    std::string text = "Text";
    std::string unknown = "Unknown";
};

// The icon of a saved entry of this type.
int typeIcon(std::int32_t type);
// The host name of a web address: leading blanks and controls, a scheme with its "://"
// and everything from the first "/" after the host are dropped.
std::string hostPart(std::string_view address);
// The "What's this" shown for a loaded entry that stored none.
std::string derivedWhatsThis(std::string_view title, std::int32_t type,
                             std::string_view description);
// Case-insensitive order of Windows-1252 texts (letters of both halves of the code page).
int compareTextNoCase(std::string_view a, std::string_view b);

class EntryList {
  public:
    explicit EntryList(EntryTypeNames names = {});
    ~EntryList();
    EntryList(const EntryList&) = delete;
    EntryList& operator=(const EntryList&) = delete;

    // What the list views display.
    int rowCount(EntryView list) const;
    const EntryRow& row(EntryView list, int index) const;
    std::string_view columnText(EntryView list, int index, int column) const;
    // lvSub while a type tab is shown, otherwise lvPassword.
    EntryView visibleList() const {
        return shownType_ > kTabAll ? EntryView::lvSub : EntryView::lvPassword;
    }
    int shownType() const { return shownType_; }
    // lvSub's tag: the type it copies, -1 while "ALL" is shown.
    int subTag() const { return subTag_; }
    // The column last sorted by, -1 before the first sort, and whether that sort ran from
    // the last to the first.
    int sortColumn() const { return sortColumn_; }
    bool sortDescending() const { return sortDescending_; }
    EntryView sortedList() const { return sortList_; }

    // Whether an account is open: the session says so. A closed list takes no new
    // entries and no edits, and sorts and rebuilds nothing.
    void setOpen(bool open) { open_ = open; }
    bool isOpen() const { return open_; }

    // Raised once after every change (once per batch inside a BatchUpdate), so the view
    // follows the model without being asked by each command.
    Event<RowsChange> OnRowsChanged;
    // The user changed the account's entries (added, edited, deleted, undeleted): the
    // session marks the account modified.
    Event<> OnEdited;
    // A bulk change over many rows starts (true) or ends (false): the hourglass.
    Event<bool> OnBusy;

    // Holds the change event back until the outermost batch ends, then raises it once
    // with the largest change seen.
    class BatchUpdate {
      public:
        explicit BatchUpdate(EntryList& list) : list_(list) { ++list_.batchDepth_; }
        ~BatchUpdate() { list_.endBatch(); }
        BatchUpdate(const BatchUpdate&) = delete;
        BatchUpdate& operator=(const BatchUpdate&) = delete;

      private:
        EntryList& list_;
    };

    // The selection of each list, kept with the rows so that it follows its entries
    // through sorting, purging and saving. The view reports the user's changes here.
    void setSelected(EntryView list, int index, bool selected);
    void setSelectedRange(EntryView list, int first, int last, bool selected);
    void selectAllRows(EntryView list, bool selected);
    bool isSelected(EntryView list, int index) const;
    std::vector<int> selectedRows(EntryView list) const;
    std::vector<int> visibleSelection() const { return selectedRows(visibleList()); }
    // Selects exactly one row of a list, or every row; the view follows.
    void selectOnly(EntryView list, int index);
    void selectAll(EntryView list);
    // The lvPassword row of the first selected row of the visible list, if any.
    std::optional<int> currentEntry() const;

    // Appends an entry to lvPassword; true if a row was added (it is the last row). A file
    // offset >= 0 loads a saved entry and needs no login; -1 adds a new entry.
    bool addEntryRow(std::string_view title, std::string_view data, std::int64_t fileOffset,
                     std::int32_t type, std::string_view whatsThis, std::string_view description);
    // Copies lvPassword row `index` into lvSub when its type is the shown one.
    void addToTypeList(int index);
    // Refills lvSub for its tag; false only if the rebuild failed (lvSub is then empty).
    bool rebuildTypeList();
    // Copies a row's icon and texts to its copy in the other list.
    void syncTwinRow(EntryView list, int index);
    // Drops deleted rows from lvSub and gives saved rows their type icon back.
    void purgeTypeList();
    // Marks a row of either list deleted (icon 3); true if it was not deleted before. An
    // edit of the open account, as is every change below that returns true.
    bool markRowDeleted(EntryView list, int index);
    // Revives a deleted row as unsaved (icon 4); true if it was deleted.
    bool undeleteRow(EntryView list, int index);
    // Revives the deleted rows among `selected` (rows of the visible list) in one change;
    // returns the lvPassword row of the first revived one, or none.
    std::optional<int> undeleteRows(std::span<const int> selected);
    // Marks every row of the visible list deleted, or only the selected ones.
    void deleteRows(bool selectedOnly, std::span<const int> selected);
    void deleteRows(bool selectedOnly) { deleteRows(selectedOnly, visibleSelection()); }
    // After a successful save: deleted rows are released, saved rows get their type icon.
    void normalizeAfterSave();
    // Wipes every secret and every decrypted text and empties both lists (logout, before
    // a load).
    void clearEntryList();
    // The lvPassword row of the first selected row of the visible list, if any.
    std::optional<int> currentEntry(std::span<const int> selected) const;

    // A click on a type tab; false if the change was refused.
    bool chooseTypeTab(int index);
    // The stored tab at window creation; returns the valid value (0 to 3) to keep.
    int applyStoredTab(int storedTab);
    // Sorts the visible list by a column (0 to 4), the other way round when it was sorted by
    // that column last; false when not logged in or no column.
    bool sortByColumn(int column);

    // The edit and replace commands on lvPassword row `index`: the row becomes changed
    // (icon 5, unsaved) in both lists and the account modified.
    bool markRowChanged(int index);
    bool replaceRowData(int index, std::string_view data);
    bool editRow(int index, std::string_view title, std::string_view data, std::int32_t type,
                 std::string_view whatsThis, std::string_view description);

    // New type names after a language load; the "Type" column of every row follows.
    void setTypeNames(EntryTypeNames names);
    const std::string& typeName(std::int32_t type) const;

    // Adds loaded entries as rows, in order, inside one list update; wipes their secrets
    // and returns how many became rows (an entry without a title cannot be one).
    int addLoadedEntries(std::vector<AccountEntry>& entries);
    // Every entry, those marked deleted included.
    std::size_t entryCount() const { return master_.size(); }

    // Fills lvPassword from a read account (call clearEntryList first, and
    // rebuildTypeList once the session is logged in); returns the rows added.
    int loadEntries(const LoadedAccount& loaded);
    // The lvPassword rows in order for writeAccountFile, deleted ones included.
    std::vector<AccountEntry> entriesForSave() const;
    // Takes the file offsets a successful writeAccountFile set into `written` (as given by
    // entriesForSave) and runs normalizeAfterSave; false if the list no longer matches.
    bool takeSavedOffsets(std::span<const AccountEntry> written);

  private:
    // The hourglass while the object lives, when `busy`.
    std::function<void(bool)> busyCursorIf(bool busy) {
        if (!busy) return nullptr;
        return [this](bool on) { OnBusy(on); };
    }
    std::vector<EntryRow>& rows(EntryView list) {
        return list == EntryView::lvSub ? sub_ : master_;
    }
    const std::vector<EntryRow>& rows(EntryView list) const {
        return list == EntryView::lvSub ? sub_ : master_;
    }
    bool validRow(EntryView list, int index) const;
    // False once the list holds as many rows as an index can count.
    bool roomForRow() const;
    // The last step of every added row, given its texts and a record holding its secret:
    // the rest of the record, type name and picture, the twin row of a new entry, and the
    // change reported.
    void appendRow(EntryRow&& r, std::shared_ptr<RowRecord> record, std::int64_t fileOffset,
                   std::int32_t type);
    // A read entry (fileOffset >= 0) moved into a new row; false without a title.
    bool takeLoadedEntry(AccountEntry& entry);
    void releaseRecord(RowRecord& record);
    void renumberSubIndexes();
    void changed(RowsChange change);
    void endBatch();

    EntryTypeNames names_;
    bool open_ = false;
    std::vector<EntryRow> master_; // lvPassword
    std::vector<EntryRow> sub_;    // lvSub
    int shownType_ = kTabAll;
    int subTag_ = -1;
    int sortColumn_ = -1;
    bool sortDescending_ = false;
    EntryView sortList_ = EntryView::lvPassword;
    int batchDepth_ = 0;
    bool pendingChange_ = false;
    RowsChange pending_ = RowsChange::Updated;
};

} // namespace kh
