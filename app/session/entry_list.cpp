#include "entry_list.h"

#include "busy_cursor.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <numeric>
#include <stdexcept>
#include <utility>

namespace kh {
namespace {

// Rebuilding and sorting show the hourglass from these sizes on.
constexpr std::size_t kBusyRebuildRows = 100;
constexpr std::size_t kBusySortRows = 500;
constexpr std::size_t kTitleCut = 79;

bool isBlankOrControl(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

// Windows-1252 lower case: ASCII, the Latin-1 letters and the four extra capitals at
// 0x8A, 0x8C, 0x8E and 0x9F.
constexpr std::array<unsigned char, 256> makeFoldTable() {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<unsigned char>(i);
    for (int i = 'A'; i <= 'Z'; ++i)
        t[i] = static_cast<unsigned char>(i + 32);
    for (int i = 0xC0; i <= 0xDE; ++i)
        if (i != 0xD7) t[i] = static_cast<unsigned char>(i + 32);
    t[0x8A] = 0x9A;
    t[0x8C] = 0x9C;
    t[0x8E] = 0x9E;
    t[0x9F] = 0xFF;
    return t;
}

constexpr std::array<unsigned char, 256> kFold = makeFoldTable();

std::string_view rowText(const EntryRow& r, int column) {
    switch (column) {
    case kColumnTitle:
        return r.caption;
    case kColumnWhatsThis:
        return r.whatsThis;
    case kColumnPassword:
        // A text entry's data is a note or a date, not a password to hide.
        return r.record && r.record->type == kEntryText ? std::string_view() : kPasswordMask;
    case kColumnDetails:
        return r.details;
    case kColumnType:
        return r.typeName;
    default:
        return {};
    }
}

// The decrypted texts of a row: titles and details are as private as the secret.
void wipeRowTexts(EntryRow& r) {
    wipeString(r.caption);
    wipeString(r.whatsThis);
    wipeString(r.details);
}

void copyRowLook(const EntryRow& from, EntryRow& to) {
    to.icon = from.icon;
    to.caption = from.caption;
    to.whatsThis = from.whatsThis;
    to.details = from.details;
    to.typeName = from.typeName;
}

// Sorting a column: the first eight folded bytes of each row's text as a big-endian
// number, so that most comparisons are one integer compare. The order is exactly
// compareTextNoCase's: where two heads differ, the first differing byte (or the end of the
// shorter text, a zero against a byte) decides as the whole comparison would; where they
// are equal, so are the first eight bytes, and the rest of the texts decides.
std::uint64_t sortHead(std::string_view text) {
    std::uint64_t head = 0;
    for (std::size_t i = 0; i < 8 && i < text.size(); ++i)
        head |= std::uint64_t{kFold[static_cast<unsigned char>(text[i])]} << (56 - 8 * i);
    return head;
}

} // namespace

int typeIcon(std::int32_t type) {
    if (type == kEntryLink) return kIconLink;
    if (type == kEntryText) return kIconText;
    return kIconPassword;
}

std::string hostPart(std::string_view address) {
    std::size_t start = 0;
    while (start < address.size() && isBlankOrControl(address[start]))
        ++start;
    std::string_view rest = address.substr(start);
    const std::size_t scheme = rest.find("://");
    const std::size_t slash =
        scheme == std::string_view::npos ? rest.find('/') : rest.find('/', scheme + 3);
    std::string_view kept = rest.substr(0, slash);
    const std::size_t separator = kept.find("://");
    if (separator != std::string_view::npos) {
        kept.remove_prefix(separator + 3);
        while (!kept.empty() && isBlankOrControl(kept.front()))
            kept.remove_prefix(1);
    }
    return std::string(kept);
}

std::string derivedWhatsThis(std::string_view title, std::int32_t type,
                             std::string_view description) {
    if (type == kEntryLink && !description.empty()) return hostPart(description);
    const std::size_t at = title.find('@');
    if (at != std::string_view::npos) return std::string(title.substr(at + 1));
    return {};
}

int compareTextNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = kFold[static_cast<unsigned char>(a[i])];
        const unsigned char y = kFold[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

EntryList::EntryList(EntryTypeNames names) : names_(std::move(names)) {}

EntryList::~EntryList() {
    for (EntryRow& r : master_) {
        if (r.record) releaseRecord(*r.record);
        wipeRowTexts(r);
    }
    for (EntryRow& r : sub_)
        wipeRowTexts(r);
}

void EntryList::changed(RowsChange change) {
    if (batchDepth_ > 0) {
        if (!pendingChange_ || change > pending_) pending_ = change;
        pendingChange_ = true;
        return;
    }
    OnRowsChanged(change);
}

void EntryList::endBatch() {
    if (--batchDepth_ > 0 || !pendingChange_) return;
    pendingChange_ = false;
    OnRowsChanged(pending_);
}

void EntryList::setSelected(EntryView list, int index, bool selected) {
    if (validRow(list, index)) rows(list)[static_cast<std::size_t>(index)].selected = selected;
}

void EntryList::setSelectedRange(EntryView list, int first, int last, bool selected) {
    std::vector<EntryRow>& v = rows(list);
    if (v.empty()) return;
    first = std::max(first, 0);
    last = std::min(last, static_cast<int>(v.size()) - 1);
    for (int i = first; i <= last; ++i)
        v[static_cast<std::size_t>(i)].selected = selected;
}

void EntryList::selectAllRows(EntryView list, bool selected) {
    for (EntryRow& r : rows(list))
        r.selected = selected;
}

bool EntryList::isSelected(EntryView list, int index) const {
    return validRow(list, index) && rows(list)[static_cast<std::size_t>(index)].selected;
}

std::vector<int> EntryList::selectedRows(EntryView list) const {
    std::vector<int> selected;
    const std::vector<EntryRow>& v = rows(list);
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i].selected) selected.push_back(static_cast<int>(i));
    return selected;
}

void EntryList::selectOnly(EntryView list, int index) {
    selectAllRows(list, false);
    setSelected(list, index, true);
    changed(RowsChange::Reordered);
}

void EntryList::selectAll(EntryView list) {
    selectAllRows(list, true);
    changed(RowsChange::Reordered);
}

std::optional<int> EntryList::currentEntry() const {
    const EntryView list = visibleList();
    const std::vector<EntryRow>& v = rows(list);
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (!v[i].selected) continue;
        const int index = static_cast<int>(i);
        return currentEntry(std::span<const int>(&index, 1));
    }
    return std::nullopt;
}

int EntryList::addLoadedEntries(std::vector<AccountEntry>& entries) {
    BatchUpdate batch(*this);
    master_.reserve(master_.size() + entries.size());
    int added = 0;
    for (AccountEntry& entry : entries) {
        // A read entry's texts and secret move into its row: no copy to make, and none left
        // behind (the emptied entry wipes what its own buffers still hold).
        const bool took = entry.fileOffset >= 0
                              ? takeLoadedEntry(entry)
                              : addEntryRow(entry.title, entry.data.view(), entry.fileOffset,
                                            entry.type, entry.whatsThis, entry.description);
        if (took) ++added;
        entry.data.wipe();
    }
    return added;
}

bool EntryList::takeLoadedEntry(AccountEntry& entry) {
    if (entry.title.empty() || !roomForRow()) return false;
    EntryRow r;
    if (entry.whatsThis.empty())
        r.whatsThis = derivedWhatsThis(entry.title, entry.type, entry.description);
    else
        r.whatsThis = std::move(entry.whatsThis);
    r.caption = std::move(entry.title);
    r.details = std::move(entry.description);
    auto record = std::make_shared<RowRecord>();
    record->data = std::move(entry.data);
    appendRow(std::move(r), std::move(record), entry.fileOffset, entry.type);
    return true;
}

int EntryList::rowCount(EntryView list) const {
    return static_cast<int>(rows(list).size());
}

const EntryRow& EntryList::row(EntryView list, int index) const {
    if (!validRow(list, index)) throw std::out_of_range("entry list row");
    return rows(list)[static_cast<std::size_t>(index)];
}

std::string_view EntryList::columnText(EntryView list, int index, int column) const {
    if (!validRow(list, index)) return {};
    return rowText(rows(list)[static_cast<std::size_t>(index)], column);
}

bool EntryList::validRow(EntryView list, int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < rows(list).size();
}

void EntryList::releaseRecord(RowRecord& record) {
    // Anyone still holding the record (a stale lvSub copy) sees no secret and no row.
    record.data.wipe();
    record.masterIndex = -1;
    record.subIndex = -1;
}

const std::string& EntryList::typeName(std::int32_t type) const {
    switch (type) {
    case kEntryPassword:
        return names_.password;
    case kEntryLink:
        return names_.link;
    case kEntryText:
        return names_.text;
    default:
        return names_.unknown;
    }
}

bool EntryList::addEntryRow(std::string_view title, std::string_view data, std::int64_t fileOffset,
                            std::int32_t type, std::string_view whatsThis,
                            std::string_view description) {
    if (title.empty()) return false;
    const bool isNew = fileOffset < 0;
    if (isNew && !open_) return false;
    if (!roomForRow()) return false;

    EntryRow r;
    r.caption = std::string(isNew && title.size() > kTitleCut ? title.substr(0, kTitleCut) : title);
    r.whatsThis = isNew || !whatsThis.empty() ? std::string(whatsThis)
                                              : derivedWhatsThis(title, type, description);
    r.details = std::string(description);
    auto record = std::make_shared<RowRecord>();
    record->data.assign(data);
    appendRow(std::move(r), std::move(record), fileOffset, type);
    return true;
}

bool EntryList::roomForRow() const {
    return master_.size() < static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
}

void EntryList::appendRow(EntryRow&& r, std::shared_ptr<RowRecord> record,
                          std::int64_t fileOffset, std::int32_t type) {
    const bool isNew = fileOffset < 0;
    record->type = type;
    record->fileOffset = isNew ? kOffsetUnsaved : fileOffset;
    record->masterIndex = static_cast<std::int32_t>(master_.size());
    record->subIndex = -1;

    r.typeName = typeName(type);
    r.icon = isNew ? kIconNew : typeIcon(type);
    r.record = std::move(record);
    master_.push_back(std::move(r));

    if (isNew) {
        OnEdited();
        addToTypeList(static_cast<int>(master_.size() - 1));
    }
    changed(RowsChange::Added);
}

void EntryList::addToTypeList(int index) {
    if (!validRow(EntryView::lvPassword, index)) return;
    const EntryRow& source = master_[static_cast<std::size_t>(index)];
    if (!source.record) return;
    RowRecord& record = *source.record;
    record.subIndex = -1;
    if (subTag_ != record.type) return;
    sub_.push_back(source);
    sub_.back().selected = false; // a copy is a row of its own in the other list view
    record.subIndex = static_cast<std::int32_t>(sub_.size() - 1);
    changed(RowsChange::Added);
}

bool EntryList::rebuildTypeList() {
    if (!open_) return true;
    BusyCursor busy(
        busyCursorIf(master_.size() > kBusyRebuildRows || sub_.size() > kBusyRebuildRows));
    BatchUpdate batch(*this);
    changed(RowsChange::TypeListRebuilt);
    try {
        for (EntryRow& r : sub_)
            wipeRowTexts(r);
        sub_.clear();
        sub_.reserve(static_cast<std::size_t>(
            std::count_if(master_.begin(), master_.end(), [this](const EntryRow& r) {
                return r.record && r.record->type == subTag_;
            })));
        for (std::size_t i = 0; i < master_.size(); ++i)
            addToTypeList(static_cast<int>(i));
        return true;
    } catch (const std::bad_alloc&) {
        sub_.clear();
        for (EntryRow& r : master_)
            if (r.record) r.record->subIndex = -1;
        return false;
    }
}

void EntryList::syncTwinRow(EntryView list, int index) {
    if (!open_ || !validRow(list, index)) return;
    const EntryRow& source = rows(list)[static_cast<std::size_t>(index)];
    if (!source.record || source.record->subIndex < 0) return;
    const bool fromMaster = list == EntryView::lvPassword;
    const std::int32_t twinIndex =
        fromMaster ? source.record->subIndex : source.record->masterIndex;
    const EntryView twinList = fromMaster ? EntryView::lvSub : EntryView::lvPassword;
    if (!validRow(twinList, twinIndex)) return;
    EntryRow& twin = rows(twinList)[static_cast<std::size_t>(twinIndex)];
    if (twin.record != source.record) return; // indexes out of step: never touch a stranger
    copyRowLook(source, twin);
    changed(RowsChange::Updated);
}

void EntryList::purgeTypeList() {
    if (visibleList() != EntryView::lvSub || sub_.empty()) return;
    BusyCursor busy(busyCursorIf(true));
    // One pass from the front keeps the survivors in order without quadratic erasing.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < sub_.size(); ++i) {
        EntryRow& r = sub_[i];
        if (!r.record || r.record->fileOffset == kOffsetDeleted) {
            if (r.record) r.record->subIndex = -1;
            wipeRowTexts(r);
            continue;
        }
        if (r.record->fileOffset >= 0) r.icon = typeIcon(r.record->type);
        r.record->subIndex = static_cast<std::int32_t>(kept);
        if (kept != i) sub_[kept] = std::move(r);
        ++kept;
    }
    sub_.erase(sub_.begin() + static_cast<std::ptrdiff_t>(kept), sub_.end());
    changed(RowsChange::Reordered);
}

bool EntryList::markRowDeleted(EntryView list, int index) {
    if (!validRow(list, index)) return false;
    EntryRow& r = rows(list)[static_cast<std::size_t>(index)];
    if (!r.record || r.record->fileOffset == kOffsetDeleted) return false;
    r.record->fileOffset = kOffsetDeleted;
    r.icon = kIconDeleted;
    syncTwinRow(list, index);
    changed(RowsChange::Updated);
    // A bulk delete tells of its edit once, at its end.
    if (open_ && batchDepth_ == 0) OnEdited();
    return true;
}

bool EntryList::undeleteRow(EntryView list, int index) {
    if (!validRow(list, index)) return false;
    EntryRow& r = rows(list)[static_cast<std::size_t>(index)];
    if (!r.record || r.record->fileOffset != kOffsetDeleted) return false;
    // Written again at the next save as if it were new.
    r.record->fileOffset = kOffsetUnsaved;
    r.icon = kIconNew;
    syncTwinRow(list, index);
    changed(RowsChange::Updated);
    if (open_ && batchDepth_ == 0) OnEdited();
    return true;
}

std::optional<int> EntryList::undeleteRows(std::span<const int> selected) {
    std::optional<int> first;
    {
        BatchUpdate batch(*this);
        const EntryView list = visibleList();
        for (int index : selected) {
            if (!validRow(list, index)) continue;
            const RowRecord* record = rows(list)[static_cast<std::size_t>(index)].record.get();
            if (!record) continue;
            const int master = record->masterIndex;
            if (undeleteRow(EntryView::lvPassword, master) && !first) first = master;
        }
    }
    if (first && open_) OnEdited();
    return first;
}

void EntryList::deleteRows(bool selectedOnly, std::span<const int> selected) {
    if (master_.empty()) return;
    BatchUpdate batch(*this);
    const EntryView list = visibleList();
    const std::size_t count = rows(list).size();
    std::vector<char> chosen(count, selectedOnly ? 0 : 1);
    for (int s : selected)
        if (s >= 0 && static_cast<std::size_t>(s) < count) chosen[static_cast<std::size_t>(s)] = 1;
    for (std::size_t i = count; i-- > 0;)
        if (chosen[i]) markRowDeleted(list, static_cast<int>(i));
    if (open_) OnEdited();
}

void EntryList::normalizeAfterSave() {
    BatchUpdate batch(*this);
    purgeTypeList();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < master_.size(); ++i) {
        EntryRow& r = master_[i];
        if (!r.record || r.record->fileOffset == kOffsetDeleted) {
            if (r.record) releaseRecord(*r.record);
            wipeRowTexts(r);
            continue;
        }
        if (r.record->fileOffset >= 0) r.icon = typeIcon(r.record->type);
        r.record->masterIndex = static_cast<std::int32_t>(kept);
        if (kept != i) master_[kept] = std::move(r);
        ++kept;
    }
    master_.erase(master_.begin() + static_cast<std::ptrdiff_t>(kept), master_.end());
    changed(RowsChange::Reordered);
}

void EntryList::clearEntryList() {
    for (std::size_t i = master_.size(); i-- > 0;) {
        if (master_[i].record) releaseRecord(*master_[i].record);
        wipeRowTexts(master_[i]);
    }
    // lvSub may still hold copies of rows released by a save while "ALL" was shown.
    for (EntryRow& r : sub_)
        wipeRowTexts(r);
    sub_.clear();
    master_.clear();
    // The next account starts unsorted: its first click sorts ascending.
    sortColumn_ = -1;
    sortDescending_ = false;
    changed(RowsChange::Reset);
}

std::optional<int> EntryList::currentEntry(std::span<const int> selected) const {
    if (!open_) return std::nullopt;
    const EntryView list = visibleList();
    std::optional<int> first;
    for (int s : selected)
        if (validRow(list, s) && (!first || s < *first)) first = s;
    if (!first) return std::nullopt;
    const EntryRow& r = rows(list)[static_cast<std::size_t>(*first)];
    if (!r.record) return std::nullopt;
    if (list == EntryView::lvPassword) return first;
    const RowRecord& record = *r.record;
    if (record.subIndex < 0 || !validRow(EntryView::lvPassword, record.masterIndex))
        return std::nullopt;
    if (master_[static_cast<std::size_t>(record.masterIndex)].record != r.record)
        return std::nullopt;
    return record.masterIndex;
}

bool EntryList::chooseTypeTab(int index) {
    index = std::clamp(index, kTabAll, static_cast<int>(kEntryText));
    if (index == kTabAll) {
        if (visibleList() == EntryView::lvSub) {
            subTag_ = -1;
            shownType_ = kTabAll;
            changed(RowsChange::TypeListRebuilt);
        }
        return true;
    }
    // The rebuild and the new tab reach the view as one change, with the tab already set.
    BatchUpdate batch(*this);
    const int previousTag = subTag_;
    subTag_ = index;
    if (!rebuildTypeList()) {
        subTag_ = previousTag;
        return false;
    }
    shownType_ = index;
    changed(RowsChange::TypeListRebuilt);
    return true;
}

int EntryList::applyStoredTab(int storedTab) {
    if (storedTab < kTabAll || storedTab > kEntryText) storedTab = kTabAll;
    if (storedTab > kTabAll && !chooseTypeTab(storedTab)) return shownType_;
    return storedTab;
}

bool EntryList::sortByColumn(int column) {
    if (!open_) return false;
    if (column < 0 || column >= kColumnCount) return false;
    const EntryView list = visibleList();
    // The same column clicked again in the same list turns the order round.
    sortDescending_ = column == sortColumn_ && list == sortList_ && !sortDescending_;
    sortColumn_ = column;
    sortList_ = list;
    std::vector<EntryRow>& v = rows(list);

    // Sort positions by keys taken once, then move each row once. The heads are the first
    // bytes of the texts, secrets when sorting by password: wiped, and kept out of the
    // sort's own buffers, which hold positions only.
    std::vector<std::string_view> texts(v.size());
    std::vector<std::uint64_t> heads(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (column != kColumnPassword)
            texts[i] = rowText(v[i], column);
        else if (v[i].record)
            texts[i] = v[i].record->data.view();
        heads[i] = sortHead(texts[i]);
    }
    std::vector<std::size_t> order(v.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const bool descending = sortDescending_;
    std::stable_sort(order.begin(), order.end(),
                     [&texts, &heads, descending](std::size_t a, std::size_t b) {
                         int sign = 0;
                         if (heads[a] != heads[b]) {
                             sign = heads[a] < heads[b] ? -1 : 1;
                         } else {
                             const std::string_view x = texts[a], y = texts[b];
                             sign = compareTextNoCase(x.substr(std::min<std::size_t>(8, x.size())),
                                                      y.substr(std::min<std::size_t>(8, y.size())));
                         }
                         return descending ? sign > 0 : sign < 0;
                     });
    secureWipe(heads.data(), heads.size() * sizeof(std::uint64_t));
    std::vector<EntryRow> sorted;
    sorted.reserve(v.size());
    for (std::size_t i : order)
        sorted.push_back(std::move(v[i]));
    v = std::move(sorted);

    BusyCursor busy(busyCursorIf(v.size() > kBusySortRows));
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (!v[i].record) continue;
        RowRecord& record = *v[i].record;
        if (list == EntryView::lvPassword) {
            record.masterIndex = static_cast<std::int32_t>(i);
            // The copies in lvSub are rebuilt at the next tab change.
            record.subIndex = -1;
        } else {
            record.subIndex = validRow(EntryView::lvPassword, record.masterIndex)
                                  ? static_cast<std::int32_t>(i)
                                  : -1;
        }
    }
    changed(RowsChange::Reordered);
    return true;
}

bool EntryList::markRowChanged(int index) {
    if (!open_ || !validRow(EntryView::lvPassword, index)) return false;
    EntryRow& r = master_[static_cast<std::size_t>(index)];
    if (!r.record) return false;
    r.record->fileOffset = kOffsetUnsaved;
    r.icon = kIconChanged;
    syncTwinRow(EntryView::lvPassword, index);
    OnEdited();
    changed(RowsChange::Updated);
    return true;
}

bool EntryList::replaceRowData(int index, std::string_view data) {
    if (!open_ || !validRow(EntryView::lvPassword, index)) return false;
    EntryRow& r = master_[static_cast<std::size_t>(index)];
    if (!r.record) return false;
    r.record->data.assign(data);
    // A saved entry keeps its file offset; only a deleted one comes back as unsaved, so
    // the password just put into it is not thrown away by the next save.
    if (r.record->fileOffset != kOffsetDeleted) {
        r.icon = kIconChanged;
        syncTwinRow(EntryView::lvPassword, index);
        OnEdited();
        changed(RowsChange::Updated);
        return true;
    }
    return markRowChanged(index);
}

bool EntryList::editRow(int index, std::string_view title, std::string_view data, std::int32_t type,
                        std::string_view whatsThis, std::string_view description) {
    // The loader skips records without a title, so such an entry would vanish at the
    // next login.
    if (title.empty()) return false;
    if (!open_ || !validRow(EntryView::lvPassword, index)) return false;
    EntryRow& r = master_[static_cast<std::size_t>(index)];
    if (!r.record) return false;
    wipeRowTexts(r); // the old texts go as private as they came
    r.caption = std::string(title.substr(0, kTitleCut));
    r.whatsThis = std::string(whatsThis);
    r.details = std::string(description);
    r.typeName = typeName(type);
    r.record->data.assign(data);
    r.record->type = type;
    return markRowChanged(index);
}

void EntryList::setTypeNames(EntryTypeNames names) {
    names_ = std::move(names);
    for (std::vector<EntryRow>* list : {&master_, &sub_})
        for (EntryRow& r : *list)
            if (r.record) r.typeName = typeName(r.record->type);
    changed(RowsChange::Updated);
}

int EntryList::loadEntries(const LoadedAccount& loaded) {
    BatchUpdate batch(*this);
    master_.reserve(master_.size() + loaded.entries.size());
    int added = 0;
    for (const AccountEntry& e : loaded.entries)
        if (addEntryRow(e.title, e.data.view(), e.fileOffset, e.type, e.whatsThis, e.description))
            ++added;
    return added;
}

std::vector<AccountEntry> EntryList::entriesForSave() const {
    std::vector<AccountEntry> entries;
    entries.reserve(master_.size());
    for (const EntryRow& r : master_) {
        AccountEntry& e = entries.emplace_back();
        e.title = r.caption;
        e.whatsThis = r.whatsThis;
        e.description = r.details;
        if (r.record) {
            e.type = r.record->type;
            e.data = r.record->data.view();
            e.fileOffset = r.record->fileOffset;
        } else {
            e.fileOffset = kOffsetDeleted; // no entry behind the row: nothing to write
        }
    }
    return entries;
}

bool EntryList::takeSavedOffsets(std::span<const AccountEntry> written) {
    if (written.size() != master_.size()) return false;
    for (std::size_t i = 0; i < written.size(); ++i)
        if (written[i].title != master_[i].caption) return false;
    for (std::size_t i = 0; i < written.size(); ++i)
        if (master_[i].record) master_[i].record->fileOffset = written[i].fileOffset;
    normalizeAfterSave();
    return true;
}

} // namespace kh
