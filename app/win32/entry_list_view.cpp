#include "entry_list_view.h"

#include "image_ids.h"
#include "main_chrome.h"
#include "text_format.h"
#include "tfrm_main.h"
#include "win32/skin_header.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace kh {
namespace {

// A faint stripe that no one takes for a selection.
constexpr COLORREF kOddRow = RGB(243, 244, 248);
constexpr int kColumnWidths[kColumnCount] = {100, 120, 70, 100, 70};
constexpr const char* kColumnCaptions[kColumnCount] = {"Title", "What's this", "Password",
                                                       "Details", "Type"};

} // namespace

EntryListView::~EntryListView() {
    if (measureDc_) DeleteDC(measureDc_);
}

void EntryListView::attach() {
    rowIcons_.reset(main_.chrome_.rowImages());
    setup(listView(EntryView::lvPassword));
    setup(listView(EntryView::lvSub));
    main_.nbPasswords->setPageIndex(0);
}

namespace {

// The title column reads from the left, the others are centred, headers as their cells.
int columnFormat(int column) {
    return column == 0 ? LVCFMT_LEFT : LVCFMT_CENTER;
}

} // namespace

void EntryListView::setup(HWND list) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES |
                                                LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
    ListView_SetImageList(list, main_.chrome_.rowImages(), LVSIL_SMALL);
    ListView_SetImageList(list, main_.chrome_.rowImagesLarge(), LVSIL_NORMAL);
    for (int i = 0; i < kColumnCount; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = columnFormat(i);
        column.cx = main_.scale(kColumnWidths[i]);
        column.pszText = const_cast<char*>(kColumnCaptions[i]);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
    useSkinHeader(ListView_GetHeader(list));
}

void EntryListView::dpiChanged(int oldDpi) {
    for (const EntryView view : {EntryView::lvPassword, EntryView::lvSub}) {
        HWND list = listView(view);
        if (!list) continue;
        ListView_SetImageList(list, main_.chrome_.rowImages(), LVSIL_SMALL);
        ListView_SetImageList(list, main_.chrome_.rowImagesLarge(), LVSIL_NORMAL);
        rowIcons_.reset(main_.chrome_.rowImages());
        for (int i = 0; i < kColumnCount; ++i)
            ListView_SetColumnWidth(list, i,
                                    MulDiv(ListView_GetColumnWidth(list, i), main_.dpi(), oldDpi));
    }
}

HWND EntryListView::listView(EntryView list) const {
    return list == EntryView::lvSub ? main_.lvSub->handle() : main_.lvPassword->handle();
}

HWND EntryListView::visibleListView() const {
    return listView(main_.list_.visibleList());
}

void EntryListView::setColumnCaptions() {
    const Msg keys[kColumnCount] = {Msg::column0, Msg::columnuser, Msg::column1, Msg::column2,
                                    Msg::column3};
    for (HWND list : {listView(EntryView::lvPassword), listView(EntryView::lvSub)}) {
        for (int i = 0; i < kColumnCount; ++i) {
            LVCOLUMNA column{};
            // The alignment goes along: a new text alone leaves the header left-aligned
            // over centred cells on some systems.
            column.mask = LVCF_TEXT | LVCF_FMT;
            column.fmt = columnFormat(i);
            column.pszText = const_cast<char*>(main_.messages_.text(keys[i]).c_str());
            SendMessageA(list, LVM_SETCOLUMNA, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&column));
        }
    }
    showSortOrder();
}

void EntryListView::setViewStyle(int style) {
    // The view goes through the style bits rather than LVM_SETVIEW: a list in virtual mode
    // then lays its icons out in a grid with the image list of the view (32 pixels for
    // large icons), where LVM_SETVIEW left them piled up.
    static constexpr DWORD kTypes[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    if (style < 0 || style > 3) return;
    viewStyle_ = style;
    for (HWND list : {listView(EntryView::lvPassword), listView(EntryView::lvSub)}) {
        const LONG_PTR old = GetWindowLongPtrA(list, GWL_STYLE);
        SetWindowLongPtrA(list, GWL_STYLE,
                          (old & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) |
                              static_cast<LONG_PTR>(kTypes[style]));
        if (style < 2) ListView_Arrange(list, LVA_DEFAULT);
        InvalidateRect(list, nullptr, TRUE);
    }
}

void EntryListView::sortByColumn(int column) {
    if (!main_.session_.isLoggedIn()) return;
    main_.list_.sortByColumn(column);
}

void EntryListView::listClicked() {
    Session& session = main_.session_;
    const Settings& settings = main_.settings_;
    if (!session.isLoggedIn()) return;
    if (!settings.displayPassword || settings.timeout <= 0) return;

    const EntryList& list = main_.list_;
    const std::optional<int> current = list.currentEntry();
    if (current) {
        const EntryRow& row = list.row(EntryView::lvPassword, *current);
        SecretString shown(row.caption);
        shown.append(" [");
        shown.append(row.record->data.view());
        shown.append("]");
        std::string banner(shown.view());
        main_.setBanner(banner);
        wipeString(banner);
        passwordTicks_ = 0;
        SetTimer(main_.handle(), TfrmMain::kPasswordTimer, TfrmMain::kPasswordInterval, nullptr);
        passwordShownFor_ = row.record;
    } else if (main_.bannerText() != session.accountName()) {
        main_.setBanner(session.accountName());
    }
    updateCopyImage();
}

void EntryListView::passwordTimerTick() {
    ++passwordTicks_;
    if (passwordTicks_ >= main_.settings_.timeout && main_.session_.isLoggedIn()) {
        main_.session_.setBannerText("");
        stopPasswordDisplay();
    }
}

void EntryListView::stopPasswordDisplay() {
    KillTimer(main_.handle(), TfrmMain::kPasswordTimer);
    passwordShownFor_.reset();
}

void EntryListView::rowSelectionChanged(EntryView view) {
    TNativeControl& comment = *main_.mmComment;
    const EntryList& list = main_.list_;
    if (!main_.session_.isLoggedIn()) {
        comment.setText("");
        return;
    }
    const std::vector<int> selected = list.selectedRows(view);
    // The banner never shows the password of another entry than the selected one: moving
    // on (with the arrow keys, say) takes it away.
    if (const std::shared_ptr<RowRecord> shown = passwordShownFor_.lock()) {
        const std::optional<int> current = list.currentEntry();
        if (!current || list.row(EntryView::lvPassword, *current).record != shown) {
            main_.session_.setBannerText("");
            stopPasswordDisplay();
        }
    }
    if (selected.empty()) {
        comment.setText("");
        return;
    }
    const int focused = selected.front();
    if (view == list.visibleList()) OnRowSelected(focused);
    updateCopyImage();
    if (main_.commentVisible()) {
        std::string details(list.columnText(view, focused, kColumnDetails));
        comment.setText(details);
    }
}

void EntryListView::listLostFocus() {
    Session& session = main_.session_;
    if (!session.isLoggedIn()) return;
    if (main_.bannerText() != session.accountName()) session.setBannerText("");
    main_.mmComment->setText("");
}

void EntryListView::updateCopyImage() {
    int image = images::kImgCopy;
    if (main_.settings_.openLink && main_.session_.isLoggedIn()) {
        const std::optional<int> current = main_.list_.currentEntry();
        if (current &&
            main_.list_.row(EntryView::lvPassword, *current).record->type == kEntryLink) {
            image = images::kImgOpenWeb;
        }
    }
    main_.bar_.setCopyImage(image);
}

void EntryListView::fitToColumn(HWND list, int column, char* text, int length, int capacity) {
    const int width = ListView_GetColumnWidth(list, column) - main_.scale(12);
    if (length <= 0) return;
    if (!measureDc_) measureDc_ = CreateCompatibleDC(nullptr);
    SelectGuard font(measureDc_, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
    constexpr char kEllipsis[] = "...";
    constexpr int kEllipsisLength = 3;
    SIZE whole{};
    GetTextExtentPoint32A(measureDc_, text, length, &whole);
    if (whole.cx <= width) return;
    SIZE ellipsis{};
    GetTextExtentPoint32A(measureDc_, kEllipsis, kEllipsisLength, &ellipsis);
    int fit = 0;
    GetTextExtentExPointA(measureDc_, text, length,
                          std::max(0, width - static_cast<int>(ellipsis.cx)), &fit, nullptr,
                          &whole);
    fit = std::clamp(fit, 0, std::max(0, capacity - 1 - kEllipsisLength));
    std::memcpy(text + fit, kEllipsis, kEllipsisLength + 1);
}

void EntryListView::drawRowIcon(HWND list, HDC dc, int icon, int item) {
    RECT box{};
    box.left = LVIR_ICON;
    if (!SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(item),
                      reinterpret_cast<LPARAM>(&box)) ||
        box.right - box.left < rowIcons_.width())
        return;
    const int x = box.left + (box.right - box.left - rowIcons_.width()) / 2;
    const int y = box.top + (box.bottom - box.top - rowIcons_.height()) / 2;
    // The row's own background, whatever made it (stripe, selection, system colours).
    COLORREF background = GetPixel(dc, x, y);
    if (background == CLR_INVALID) background = GetBkColor(dc);
    rowIcons_.draw(dc, icon, x, y, background);
}

std::optional<LRESULT> EntryListView::notify(NMHDR& header) {
    if (header.idFrom == kIdListPassword) return listNotify(EntryView::lvPassword, header);
    if (header.idFrom == kIdListSub) return listNotify(EntryView::lvSub, header);
    return std::nullopt;
}

LRESULT EntryListView::listNotify(EntryView view, NMHDR& header) {
    EntryList& list = main_.list_;
    switch (header.code) {
    case LVN_GETDISPINFOA: {
        auto& info = reinterpret_cast<NMLVDISPINFOA&>(header);
        LVITEMA& item = info.item;
        if (item.iItem < 0 || item.iItem >= list.rowCount(view)) return 0;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            const std::string_view text = list.columnText(view, item.iItem, item.iSubItem);
            const std::size_t n =
                std::min(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
            text.copy(item.pszText, n);
            item.pszText[n] = '\0';
            asOneLine(item.pszText, n); // line breaks and tabs would show as boxes
            // Centred columns would be clipped at both ends: a text too long for its
            // column is cut at the end with an ellipsis instead.
            if (item.iSubItem > 0 && viewStyle_ == 3)
                fitToColumn(header.hwndFrom, item.iSubItem, item.pszText, static_cast<int>(n),
                            item.cchTextMax);
        }
        // While the list paints in details view the picture is drawn after the row (see
        // NM_CUSTOMDRAW); asked at any other time, the list names it.
        if (item.mask & LVIF_IMAGE)
            item.iImage = drawingRowIcons_ ? I_IMAGENONE : list.row(view, item.iItem).icon;
        return 0;
    }
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) &&
            ((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) {
            const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
            if (!pushingSelection_) {
                if (change.iItem < 0)
                    list.selectAllRows(view, selected);
                else
                    list.setSelected(view, change.iItem, selected);
                rowSelectionChanged(view);
            }
        }
        return 0;
    }
    case LVN_ODSTATECHANGED: {
        const auto& change = reinterpret_cast<NMLVODSTATECHANGE&>(header);
        if (!pushingSelection_ && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) {
            list.setSelectedRange(view, change.iFrom, change.iTo,
                                  (change.uNewState & LVIS_SELECTED) != 0);
            rowSelectionChanged(view);
        }
        return 0;
    }
    case NM_DBLCLK:
        TForm::noteUserActivity();
        OnRowDoubleClicked();
        return 0;
    case LVN_COLUMNCLICK:
        TForm::noteUserActivity();
        sortByColumn(reinterpret_cast<NMLISTVIEW&>(header).iSubItem);
        return 0;
    case NM_CLICK:
        TForm::noteUserActivity();
        listClicked();
        return 0;
    case NM_RCLICK: {
        TForm::noteUserActivity();
        listClicked();
        POINT at{};
        GetCursorPos(&at);
        main_.bar_.popupAt(MenuId::ListContext, at);
        return 0;
    }
    case NM_KILLFOCUS:
        listLostFocus();
        return 0;
    case NM_CUSTOMDRAW: {
        auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
        switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            drawingRowIcons_ = viewStyle_ == 3 && rowIcons_.width() > 0;
            return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
        case CDDS_POSTPAINT:
            drawingRowIcons_ = false;
            return CDRF_DODEFAULT;
        case CDDS_ITEMPOSTPAINT:
            if (drawingRowIcons_)
                drawRowIcon(header.hwndFrom, draw.nmcd.hdc,
                            list.row(view, static_cast<int>(draw.nmcd.dwItemSpec)).icon,
                            static_cast<int>(draw.nmcd.dwItemSpec));
            return CDRF_DODEFAULT;
        default:
            break;
        }
        if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
            const int item = static_cast<int>(draw.nmcd.dwItemSpec);
            if (list.isSelected(view, item)) {
                // A selected row keeps its highlight also while a box has the focus.
                draw.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
                draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
                draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
            } else if (viewStyle_ == 3) {
                draw.clrTextBk = (item % 2) ? kOddRow : RGB(255, 255, 255);
            }
            return drawingRowIcons_ ? CDRF_NOTIFYPOSTPAINT : CDRF_DODEFAULT;
        }
        return CDRF_DODEFAULT;
    }
    default:
        return 0;
    }
}

void EntryListView::rowsChanged(RowsChange change) {
    const EntryList& list = main_.list_;
    for (EntryView view : {EntryView::lvPassword, EntryView::lvSub}) {
        HWND handle = listView(view);
        // A new count lays out the scroll bars again, which costs a round of window
        // management: only when the count changed.
        const int count = list.rowCount(view);
        if (ListView_GetItemCount(handle) != count) setItemCount(handle, count);
        // Rows moved or went: the list view's selection is by position, the model's goes
        // with the entries, so the view takes the model's.
        if (change >= RowsChange::Reordered) pushSelection(view);
        InvalidateRect(handle, nullptr, FALSE);
    }
    if (change >= RowsChange::Reordered) showSortOrder();
}

void EntryListView::setItemCount(HWND list, int count) {
    // The list lays out and draws its scroll bars at once on a new count, and draws them
    // again with the repaint that follows; with its page's drawing held, they are drawn
    // once, with the rest of the list.
    HeldRedraw hold(IsWindowVisible(list) ? GetParent(list) : nullptr);
    ListView_SetItemCountEx(list, count, LVSICF_NOSCROLL);
}

void EntryListView::showSortOrder() {
    const EntryList& list = main_.list_;
    for (EntryView view : {EntryView::lvPassword, EntryView::lvSub}) {
        HWND header = ListView_GetHeader(listView(view));
        const bool sorted = view == list.visibleList() && view == list.sortedList();
        for (int column = 0; column < kColumnCount; ++column) {
            HDITEMA item{};
            item.mask = HDI_FORMAT;
            if (!Header_GetItem(header, column, &item)) continue;
            int format = item.fmt & ~(HDF_SORTUP | HDF_SORTDOWN);
            if (sorted && column == list.sortColumn())
                format |= list.sortDescending() ? HDF_SORTDOWN : HDF_SORTUP;
            // Each change makes the list view lay its columns out and repaint.
            if (format == item.fmt) continue;
            item.fmt = format;
            Header_SetItem(header, column, &item);
        }
    }
}

void EntryListView::pushSelection(EntryView view) {
    const EntryList& list = main_.list_;
    HWND handle = listView(view);
    pushingSelection_ = true;
    const std::vector<int> selected = list.selectedRows(view);
    const int count = list.rowCount(view);
    // One call for the whole list, then one per row that differs from it.
    if (count > 0 && static_cast<int>(selected.size()) * 2 > count) {
        ListView_SetItemState(handle, -1, LVIS_SELECTED, LVIS_SELECTED);
        for (int row = 0; row < count; ++row)
            if (!list.isSelected(view, row)) ListView_SetItemState(handle, row, 0, LVIS_SELECTED);
    } else {
        // Clearing a virtual list visits every row, so it runs only when a row is selected;
        // the focus (which stayed at a position, now another entry's) goes as well.
        if (ListView_GetSelectedCount(handle) > 0)
            ListView_SetItemState(handle, -1, 0, LVIS_SELECTED);
        const int focused = ListView_GetNextItem(handle, -1, LVNI_FOCUSED);
        if (focused >= 0) ListView_SetItemState(handle, focused, 0, LVIS_FOCUSED);
        for (int row : selected)
            ListView_SetItemState(handle, row, LVIS_SELECTED, LVIS_SELECTED);
    }
    pushingSelection_ = false;
    if (view == list.visibleList()) rowSelectionChanged(view);
}

void EntryListView::showRow(int masterRow) {
    const EntryList& list = main_.list_;
    if (masterRow < 0 || masterRow >= list.rowCount(EntryView::lvPassword)) return;
    const RowRecord* record = list.row(EntryView::lvPassword, masterRow).record.get();
    ListView_EnsureVisible(listView(EntryView::lvPassword), masterRow, FALSE);
    if (record && record->subIndex >= 0 && record->subIndex < list.rowCount(EntryView::lvSub))
        ListView_EnsureVisible(listView(EntryView::lvSub), record->subIndex, FALSE);
}

} // namespace kh
