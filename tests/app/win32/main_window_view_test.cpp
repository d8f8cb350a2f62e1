// What a user sees of the main window and meets in the first minutes: the view styles, the
// menus' pictures and keys, hints that must not cover a menu, the banner and the comment
// window, texts that fit their columns and tabs, and the file the banner names.
#include "main_window_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace kh::test {
namespace {

class MainWindowViewTest : public MainWindowFixture {};

std::vector<POINT> itemPositions(HWND list) {
    std::vector<POINT> points;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        POINT at{};
        ListView_GetItemPosition(list, row, &at);
        points.push_back(at);
    }
    return points;
}

// No two rows closer than a picture's size in both directions: a grid, not a pile.
void expectGrid(const std::vector<POINT>& points, int spacing) {
    for (std::size_t i = 0; i < points.size(); ++i)
        for (std::size_t j = i + 1; j < points.size(); ++j)
            EXPECT_TRUE(std::abs(points[i].x - points[j].x) >= spacing ||
                        std::abs(points[i].y - points[j].y) >= spacing)
                << "rows " << i << " and " << j << " overlap";
}

TEST_F(MainWindowViewTest, IconViewsLayTheRowsOutInAGridWithTheirOwnPictures) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    for (int round = 0; round < 2; ++round) { // Small after Large must not scatter
        main_->runCommand(CommandId::ViewLargeIcons);
        pumpFor(30);
        int cx = 0, cy = 0;
        ImageList_GetIconSize(ListView_GetImageList(all, LVSIL_NORMAL), &cx, &cy);
        EXPECT_EQ(main_->scale(32), cx);
        expectGrid(itemPositions(all), main_->scale(32));

        main_->runCommand(CommandId::ViewSmallIcons);
        pumpFor(30);
        expectGrid(itemPositions(all), main_->scale(16));
    }
    main_->runCommand(CommandId::ViewDetails);
    EXPECT_EQ(LVS_REPORT, GetWindowLongPtrA(all, GWL_STYLE) & LVS_TYPEMASK);
}

// A menu item's picture drawn as the menu asks for it, on white.
std::vector<COLORREF> drawnPicture(ScriptedMain& main, UINT state) {
    HMENU menu = main.menu("pmAccount")->handle();
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_BITMAP | MIIM_DATA | MIIM_ID;
    EXPECT_TRUE(GetMenuItemInfoA(menu, 1, TRUE, &info)); // "&Save Account Data"
    EXPECT_EQ(HBMMENU_CALLBACK, info.hbmpItem);

    MEASUREITEMSTRUCT measure{ODT_MENU, 0, info.wID, 0, 0, info.dwItemData};
    SendMessageA(main.handle(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
    const int size = main.scale(16);
    EXPECT_GE(static_cast<int>(measure.itemWidth), size + main.scale(4)); // a gap before the text

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT area{0, 0, size, size};
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DRAWITEMSTRUCT draw{
        ODT_MENU, 0,    info.wID,       ODA_DRAWENTIRE, state, reinterpret_cast<HWND>(menu),
        dc,       area, info.dwItemData};
    SendMessageA(main.handle(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return pixels;
}

TEST_F(MainWindowViewTest, MenuPicturesKeepTheirTransparencyAndGreyOutWhenDisabled) {
    openWindow();
    const auto count = [](const std::vector<COLORREF>& pixels, auto rule) {
        int n = 0;
        for (COLORREF c : pixels)
            n += rule(GetRValue(c), GetGValue(c), GetBValue(c)) ? 1 : 0;
        return n;
    };
    const std::vector<COLORREF> enabled = drawnPicture(*main_, 0);
    const std::vector<COLORREF> disabled = drawnPicture(*main_, ODS_GRAYED | ODS_DISABLED);
    const auto dark = [](int r, int g, int b) { return r + g + b < 60; };
    const auto white = [](int r, int g, int b) { return r == 255 && g == 255 && b == 255; };
    const auto coloured = [](int r, int g, int b) {
        return std::abs(r - g) > 24 || std::abs(g - b) > 24 || std::abs(r - b) > 24;
    };
    // The background shows through around the picture: no black square behind it.
    EXPECT_GT(count(enabled, white), 0);
    EXPECT_LT(count(enabled, dark), static_cast<int>(enabled.size()) / 4);
    EXPECT_GT(count(enabled, coloured), 0);
    // Disabled: grey, never in colour.
    EXPECT_EQ(0, count(disabled, coloured));
    EXPECT_NE(enabled, disabled);
}

TEST_F(MainWindowViewTest, AltLetterOpensItsMenuWithoutRunningOneOfItsItems) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    SetFocus(all);
    int menusOpened = 0;
    main_->addMessageHook([&](UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == WM_INITMENUPOPUP) ++menusOpened;
        return false;
    });
    // The character Windows queues behind Alt+A: "Save Account &As" would take it as its
    // mnemonic if it reached the menu.
    PostMessageA(all, WM_SYSCHAR, 'a', 1 | (1L << 29));
    const UINT_PTR timer =
        SetTimer(nullptr, 0, 150, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
    SendMessageA(all, WM_SYSKEYDOWN, 'A', 1 | (1L << 29));
    KillTimer(nullptr, timer);
    EXPECT_EQ(1, menusOpened);
    EXPECT_TRUE(main_->dialogStarts.empty()); // no save dialog was opened
}

TEST_F(MainWindowViewTest, TheWindowOpensWhereItWasLeftUnlessNoScreenShowsThatPlace) {
    openWindow();
    RECT first{};
    GetWindowRect(main_->handle(), &first);
    const RECT moved{first.left + 37, first.top + 21, first.right + 37 + 60,
                     first.bottom + 21 + 40};
    SetWindowPos(main_->handle(), nullptr, moved.left, moved.top, moved.right - moved.left,
                 moved.bottom - moved.top, SWP_NOZORDER | SWP_NOACTIVATE);
    closeWindow();

    openWindow();
    RECT again{};
    GetWindowRect(main_->handle(), &again);
    EXPECT_EQ(moved.left, again.left);
    EXPECT_EQ(moved.top, again.top);
    EXPECT_EQ(moved.right, again.right);
    EXPECT_EQ(moved.bottom, again.bottom);
    // Kept also when the program ends from the tray.
    ShowWindow(main_->handle(), SW_HIDE);
    closeWindow();
    openWindow();
    GetWindowRect(main_->handle(), &again);
    EXPECT_EQ(moved.left, again.left);
    closeWindow();

    // A place no monitor shows (a second screen taken away): centred as at a first start.
    writeConfig("Window", "Left", "20000");
    writeConfig("Window", "Top", "20000");
    openWindow();
    GetWindowRect(main_->handle(), &again);
    EXPECT_EQ(first.left, again.left);
    EXPECT_EQ(first.top, again.top);
}

TEST_F(MainWindowViewTest, TheSystemMenuOffersNoMaximize) {
    openWindow();
    HMENU system = GetSystemMenu(main_->handle(), FALSE);
    ASSERT_NE(nullptr, system);
    const UINT state = GetMenuState(system, SC_MAXIMIZE, MF_BYCOMMAND);
    EXPECT_TRUE(state == static_cast<UINT>(-1) || (state & (MF_GRAYED | MF_DISABLED)))
        << "Maximize state " << state;
    EXPECT_FALSE(GetWindowLongPtrA(main_->handle(), GWL_STYLE) & WS_MAXIMIZEBOX);
}

TEST_F(MainWindowViewTest, TheMenuButtonsWorkAsAMenuBarFromTheKeyboard) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    SetFocus(all);
    const char* buttons[] = {"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton4",
                             "ToolButton5"};
    const auto highlighted = [&] {
        std::string names;
        for (const char* name : buttons)
            if (main_->get<TToolButton>(name).isHighlighted()) names += name;
        return names;
    };
    // Alt alone (or F10) asks the window for its menu: the first button lights up.
    SendMessageA(main_->handle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
    EXPECT_EQ("ToolButton1", highlighted());
    press(all, VK_RIGHT);
    EXPECT_EQ("ToolButton2", highlighted());
    press(all, VK_LEFT);
    press(all, VK_LEFT);
    EXPECT_EQ("ToolButton5", highlighted()) << "round from the first to the last";
    press(all, VK_ESCAPE);
    EXPECT_EQ("", highlighted());
    SendMessageA(main_->handle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
    SendMessageA(main_->handle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
    EXPECT_EQ("", highlighted()) << "Alt again leaves the bar";

    // Down opens the highlighted menu; Right inside it moves to the next menu.
    std::vector<HMENU> opened;
    main_->addMessageHook([&](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT&) {
        if (msg == WM_INITMENUPOPUP && HIWORD(lParam) == FALSE)
            opened.push_back(reinterpret_cast<HMENU>(wParam));
        return false;
    });
    static HWND target = nullptr;
    target = main_->handle();
    const UINT_PTR right = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        PostMessageA(target, WM_KEYDOWN, VK_RIGHT, 1);
    });
    const UINT_PTR end = SetTimer(nullptr, 0, 700, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        EndMenu();
    });
    SendMessageA(main_->handle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
    press(all, VK_DOWN);
    KillTimer(nullptr, right);
    KillTimer(nullptr, end);
    ASSERT_GE(opened.size(), 2u);
    EXPECT_EQ(main_->menu("pmAccount")->handle(), opened[0]);
    EXPECT_EQ(main_->menu("pmOperation")->handle(), opened.back());
    EXPECT_EQ("", highlighted()) << "a closed menu ends the bar";
}

TEST_F(MainWindowViewTest, AMenuPutsTheHintsAway) {
    openWindow();
    HWND tip = main_->tooltip();
    ASSERT_NE(nullptr, tip);
    static std::vector<UINT>* seen = nullptr;
    std::vector<UINT> messages;
    seen = &messages;
    static WNDPROC original = nullptr;
    original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        tip, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (seen && (m == TTM_POP || (m == TTM_ACTIVATE && w == FALSE))) seen->push_back(m);
            return CallWindowProcA(original, h, m, w, l);
        })));
    SendMessageA(main_->handle(), WM_ENTERMENULOOP, TRUE, 0);
    SetWindowLongPtrA(tip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    seen = nullptr;
    EXPECT_EQ((std::vector<UINT>{TTM_POP, TTM_ACTIVATE}), messages);
    SendMessageA(main_->handle(), WM_EXITMENULOOP, TRUE, 0);
}

TEST_F(MainWindowViewTest, AResizedBannerIsPaintedWhole) {
    openWindow();
    pumpFor(50);
    HWND banner = main_->get<TControl>("pbAccount").handle();
    ValidateRect(banner, nullptr);
    RECT r{};
    GetWindowRect(banner, &r);
    MapWindowPoints(nullptr, GetParent(banner), reinterpret_cast<POINT*>(&r), 2);
    MoveWindow(banner, r.left, r.top, r.right - r.left + 80, r.bottom - r.top, TRUE);
    RECT dirty{};
    ASSERT_TRUE(GetUpdateRect(banner, &dirty, FALSE));
    EXPECT_EQ(0, dirty.left); // not only the strip that was added
}

TEST_F(MainWindowViewTest, TheCommentWindowStartsAsTheSettingSaysAndTogglesAtOnce) {
    writeConfig("Setting", "Comment", "1");
    openWindow();
    auto& comment = main_->get<TControl>("mmComment");
    const auto height = [&] {
        RECT r{};
        GetWindowRect(comment.handle(), &r);
        return r.bottom - r.top;
    };
    EXPECT_TRUE(main_->commentVisible());
    EXPECT_TRUE(IsWindowVisible(comment.handle()));
    EXPECT_EQ(main_->scale(46), height());
    EXPECT_TRUE(main_->get<TToolButton>("tbComment").isDown());

    main_->runCommand(CommandId::ToolComment);
    EXPECT_FALSE(IsWindowVisible(comment.handle()));
    EXPECT_FALSE(main_->get<TToolButton>("tbComment").isDown());
    main_->runCommand(CommandId::ToolComment);
    EXPECT_TRUE(IsWindowVisible(comment.handle()));
    EXPECT_EQ(main_->scale(46), height());
}

TEST_F(MainWindowViewTest, TextsTooLongForTheirColumnOrTabEndWithAnEllipsis) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    ListView_SetColumnWidth(all, kColumnDetails, main_->scale(70));
    const std::string shown = cell(all, 1, kColumnDetails); // https://bank.example.org/login
    ASSERT_GT(shown.size(), 3u);
    EXPECT_EQ("...", shown.substr(shown.size() - 3));
    EXPECT_EQ(
        0u, std::string("https://bank.example.org/login").find(shown.substr(0, shown.size() - 3)));
    EXPECT_EQ("Webmail", cell(all, 0, kColumnDetails)); // a text that fits stays whole

    // The bold caption of a selected tab fits its tab.
    HDC dc = GetDC(main_->handle());
    HGDIOBJ old = SelectObject(dc, main_->font(opt::bold));
    SIZE caption{};
    GetTextExtentPoint32A(dc, "Password", 8, &caption);
    SelectObject(dc, old);
    ReleaseDC(main_->handle(), dc);
    RECT tabs{};
    GetClientRect(main_->get<TControl>("mTabType").handle(), &tabs);
    EXPECT_GE(tabs.right, caption.cx + main_->scale(8));
}

TEST_F(MainWindowViewTest, TheBannerNamesTheOpenAccountFileAndBackupsHaveTheirOwnCaption) {
    openWindow();
    auto& banner = main_->get<TControl>("pbAccount");
    EXPECT_EQ("", banner.hint());
    login();
    // The file and how it is protected (the sample account is in the compatible format).
    EXPECT_EQ(accountFile_ + " - compatible", banner.hint());
    EXPECT_EQ("Back Up Account Data...", main_->accountSaveRequest(accountFile_, true).title);
    EXPECT_EQ("", main_->accountSaveRequest(accountFile_, false).title);
    main_->session().endSession();
    EXPECT_EQ("", banner.hint());
}

TEST_F(MainWindowViewTest, LineBreaksAndTabsInATextShowAsSpacesInTheList) {
    Account account;
    account.name = kAccountName;
    account.password = kAccountPassword;
    AccountEntry entry;
    entry.type = kEntryText;
    entry.title = std::string("Two\tlines");
    entry.data = std::string("x");
    entry.description = std::string("first line\r\nsecond line");
    std::vector<AccountEntry> entries{entry};
    ASSERT_EQ(SaveOutcome::Saved, writeAccountFile(accountFile_, account, entries));
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    ASSERT_EQ(1, rowCount(all));
    for (const int style : {3, 2}) { // Details (centred, fitted) and List
        SCOPED_TRACE(style);
        main_->setViewStyle(style);
        EXPECT_EQ("Two lines", cell(all, 0, 0));
        EXPECT_EQ("first line  second line", cell(all, 0, kColumnDetails));
    }
}

// In details view the program draws each row's picture itself, on the row's own
// background (plain, striped or selected), where the list view leaves room for it.
TEST_F(MainWindowViewTest, EachRowShowsItsPictureOnItsOwnBackground) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    ASSERT_GE(rowCount(all), 3);
    const int iconBefore = icon(all, 0);
    ASSERT_GE(iconBefore, 0);
    ListView_SetItemState(all, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(all, 2, LVIS_SELECTED, LVIS_SELECTED);
    pumpFor(30);

    RECT client{};
    GetClientRect(all, &client);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    // As a paint does: the background erased, then the rows.
    SetDCBrushColor(dc, ListView_GetBkColor(all));
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SendMessageA(all, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    int size = 0;
    int unused = 0;
    ImageList_GetIconSize(ListView_GetImageList(all, LVSIL_SMALL), &size, &unused);
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        RECT box{};
        ASSERT_TRUE(ListView_GetItemRect(all, row, &box, LVIR_ICON));
        ASSERT_GE(box.right - box.left, size);
        const int x = box.left + (box.right - box.left - size) / 2;
        const int y = box.top + (box.bottom - box.top - size) / 2;
        // The picture's transparent corner shows what the list painted there (its own
        // background, or the row's): never a box of another colour.
        const COLORREF beside = GetPixel(dc, box.right + 1, (box.top + box.bottom) / 2);
        const COLORREF corner = GetPixel(dc, x, y);
        EXPECT_TRUE(corner == beside || corner == ListView_GetBkColor(all))
            << std::hex << corner << " beside " << beside;
        if (row == 2) {
            EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), beside);
        }
        // The picture itself: coloured pixels, not the background.
        int coloured = 0;
        for (int py = y; py < y + size; ++py)
            for (int px = x; px < x + size; ++px) {
                const COLORREF c = GetPixel(dc, px, py);
                coloured += std::abs(GetRValue(c) - GetBValue(c)) > 40;
            }
        EXPECT_GT(coloured, size);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    // Asked outside a paint, the list still names each row's picture.
    EXPECT_EQ(iconBefore, icon(all, 0));
}

} // namespace
} // namespace kh::test
