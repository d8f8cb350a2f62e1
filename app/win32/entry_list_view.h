#pragma once
// The main window's two list views (lvPassword: every entry; lvSub: the entries of the
// shown type) in virtual mode over the session's entry list: their columns, rows, icons and
// selection, sorting and view styles, the comment window's text and the banner's password
// display after a click.
#include "entry_list.h"
#include "event.h"
#include "win32/flat_images.h"

#include <windows.h>

#include <memory>
#include <optional>

namespace kh {

class TfrmMain;

class EntryListView {
  public:
    // The control ids of the two list views.
    static constexpr int kIdListPassword = 2001;
    static constexpr int kIdListSub = 2002;

    explicit EntryListView(TfrmMain& main) : main_(main) {}
    ~EntryListView();
    EntryListView(const EntryListView&) = delete;
    EntryListView& operator=(const EntryListView&) = delete;

    // The user selected a row of the visible list (its index there).
    Event<int> OnRowSelected;
    // A double-click on a row of either list.
    Event<> OnRowDoubleClicked;

    // Columns and pictures of both list views.
    void attach();
    // The window moved to another DPI: the pictures of the present DPI, and the columns
    // keep their widths in 96-DPI units.
    void dpiChanged(int oldDpi);
    // The Win32 list view that shows a list, and the visible one.
    HWND listView(EntryView list) const;
    HWND visibleListView() const;
    // A notification of one of the list views; none when it came from another control.
    std::optional<LRESULT> notify(NMHDR& header);
    // The model changed: item counts, the selection when rows moved, the page and tab of
    // the shown type, the tool bar.
    void rowsChanged(RowsChange change);
    void setColumnCaptions();
    void setViewStyle(int style);
    int viewStyle() const { return viewStyle_; }
    // Scrolls a row and its twin into view.
    void showRow(int masterRow);
    // The banner's password display: one tick of its timer, and its end.
    void passwordTimerTick();
    void stopPasswordDisplay();
    // tbCopy opens a link while the current entry is one (and the settings say so).
    void updateCopyImage();

  private:
    LRESULT listNotify(EntryView list, NMHDR& header);
    void setup(HWND list);
    void sortByColumn(int column);
    // Clicking a list row: the banner shows the current entry's password for a while.
    void listClicked();
    void rowSelectionChanged(EntryView list);
    void listLostFocus();
    void pushSelection(EntryView list);
    // A new row count for a list view, its scroll bars drawn only with its next paint.
    void setItemCount(HWND list, int count);
    // The header's arrow at the column the visible list is sorted by.
    void showSortOrder();
    // Cuts the row text in `text` (`length` characters, room for `capacity` with the
    // terminator) to the column's width with "..." at the end when it is wider.
    void fitToColumn(HWND list, int column, char* text, int length, int capacity);
    // Row `item`'s picture in its place in details view, on the row's background.
    void drawRowIcon(HWND list, HDC dc, int icon, int item);

    TfrmMain& main_;
    int passwordTicks_ = 0;
    std::weak_ptr<RowRecord> passwordShownFor_; // whose password the banner shows
    int viewStyle_ = 3;                         // Details
    bool pushingSelection_ = false;
    HDC measureDc_ = nullptr; // for fitting column texts
    // The row pictures in details view, drawn by us from pictures blended once per
    // background: the list view's own drawing blends every picture's alpha on every paint.
    FlatImageCache rowIcons_;
    bool drawingRowIcons_ = false; // a paint in details view is under way
};

} // namespace kh
