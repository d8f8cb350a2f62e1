#include "win32/skin_header.h"

#include "win32/form_detail.h"
#include "win32/gdi.h"
#include "win32/paint_buffer.h"
#include "win32/skin_paint.h"
#include "win32/skin_theme.h"

#include <commctrl.h>

#include <algorithm>

namespace kh {
namespace {

constexpr COLORREF kColumnLine = RGB(0xd5, 0xdb, 0xe5);
// The header class's own window procedure, the same for every header.
WNDPROC gHeaderProc = nullptr;

int scaled(int value, int dpi) {
    return MulDiv(value, dpi, USER_DEFAULT_SCREEN_DPI);
}

// A filled triangle pointing up (ascending) or down, centred on (cx, cy).
void drawSortArrow(HDC dc, int cx, int cy, int half, bool up) {
    const int rise = std::max(2, half / 2 + 1);
    const POINT upward[3] = {{cx - half, cy + rise / 2}, {cx + half, cy + rise / 2},
                             {cx, cy + rise / 2 - rise - 1}};
    const POINT downward[3] = {{cx - half, cy - rise / 2}, {cx + half, cy - rise / 2},
                               {cx, cy - rise / 2 + rise + 1}};
    SelectGuard pen(dc, GetStockObject(DC_PEN));
    SelectGuard brush(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, skin::kAccent);
    SetDCBrushColor(dc, skin::kAccent);
    Polygon(dc, up ? upward : downward, 3);
}

void paintItems(HWND header, HDC dc, const RECT& client) {
    const int dpi = form_detail::windowDpi(header);
    skin_detail::fillRect(dc, client, skin::kFormFace);
    RECT bottom = client;
    bottom.top = std::max(client.top, client.bottom - 1);
    skin_detail::fillRect(dc, bottom, skin::kBorder);

    SelectGuard font(dc, reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, skin::kText);
    const int padding = scaled(6, dpi);
    const int arrowRoom = scaled(12, dpi);
    const int count = Header_GetItemCount(header);
    for (int i = 0; i < count; ++i) {
        RECT item{};
        if (!Header_GetItemRect(header, i, &item) || item.right <= item.left) continue;
        wchar_t text[260] = {};
        HDITEMW info{};
        info.mask = HDI_TEXT | HDI_FORMAT;
        info.pszText = text;
        info.cchTextMax = static_cast<int>(std::size(text));
        if (!SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i),
                          reinterpret_cast<LPARAM>(&info)))
            continue;

        RECT line{item.right - 1, item.top + scaled(3, dpi), item.right,
                  item.bottom - scaled(3, dpi)};
        skin_detail::fillRect(dc, line, kColumnLine);

        RECT label{item.left + padding, item.top, item.right - padding, item.bottom - 1};
        const bool sorted = (info.fmt & (HDF_SORTUP | HDF_SORTDOWN)) != 0;
        if (sorted && label.right - label.left > arrowRoom) {
            label.right -= arrowRoom;
            drawSortArrow(dc, label.right + arrowRoom / 2, (item.top + item.bottom) / 2,
                          std::max(3, scaled(4, dpi)), (info.fmt & HDF_SORTUP) != 0);
        }
        UINT align = DT_LEFT;
        if ((info.fmt & HDF_JUSTIFYMASK) == HDF_CENTER) align = DT_CENTER;
        if ((info.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT) align = DT_RIGHT;
        if (label.right > label.left)
            DrawTextW(dc, text, -1, &label,
                      align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
}

// A plain replacement of the window procedure rather than SetWindowSubclass: the list view
// sends its header many messages on every paint, and the subclass chain looks itself up in
// the window's properties on each one, which is a round trip to the window server on some
// systems.
LRESULT CALLBACK headerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        // A header asked to paint into a given device context (wParam) does just that.
        if (wParam) {
            paintSkinHeader(hwnd, reinterpret_cast<HDC>(wParam));
        } else {
            PaintDc target(hwnd);
            RECT client{};
            GetClientRect(hwnd, &client);
            PaintBuffer buffer(target.get(), client.right, client.bottom);
            paintItems(hwnd, buffer.get(), client);
            buffer.copyTo(target.get());
        }
        return 0;
    case WM_PRINTCLIENT:
        paintSkinHeader(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
    default:
        break;
    }
    return CallWindowProcW(gHeaderProc, hwnd, msg, wParam, lParam);
}

} // namespace

void useSkinHeader(HWND header) {
    if (!header) return;
    const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(header, GWLP_WNDPROC));
    if (current == &headerProc) return;
    if (!gHeaderProc) gHeaderProc = current;
    if (current != gHeaderProc) return; // someone else's procedure: leave it alone
    SetWindowLongPtrW(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&headerProc));
    InvalidateRect(header, nullptr, TRUE);
}

void paintSkinHeader(HWND header, HDC dc) {
    RECT client{};
    GetClientRect(header, &client);
    paintItems(header, dc, client);
}

} // namespace kh
