#include "main_chrome.h"

#include "image_ids.h"
#include "resource_ids.h"
#include "tfrm_main.h"
#include "win32/image_strip.h"
#include "win32/paint_buffer.h"
#include "win32/skin_theme.h"

#include <commctrl.h>

#include <algorithm>

namespace kh {
namespace {

constexpr int kTabStripWidth = 62; // in 96-DPI units

constexpr COLORREF kCaptionBlue = RGB(0x10, 0x30, 0xA0);
constexpr COLORREF kBannerBlue = RGB(0x00, 0x20, 0xC0);
constexpr COLORREF kBannerBorder = RGB(128, 128, 240);
constexpr COLORREF kOlive = RGB(128, 128, 0);

HBITMAP loadChrome(int resource) {
    return static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource),
                                           IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void stretchBitmap(HDC dc, HBITMAP bitmap, const RECT& area) {
    if (!bitmap) return;
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    BlitSource source(dc, bitmap);
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top,
               source.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
}

void drawText(HDC dc, const std::string& text, RECT area, UINT format) {
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area,
              format | DT_NOPREFIX | DT_SINGLELINE);
}

// The close and minimise glyphs of the painted caption bar.
void paintGlyph(HDC dc, const RECT& r, bool close, bool hot) {
    Brush face(CreateSolidBrush(hot ? RGB(0xC8, 0xD4, 0xF4) : RGB(0xE4, 0xEA, 0xF8)));
    FillRect(dc, &r, face.get());
    Pen pen(CreatePen(PS_SOLID, 2, kCaptionBlue));
    SelectGuard guard(dc, pen.get());
    const int cx = (r.left + r.right) / 2;
    const int cy = (r.top + r.bottom) / 2;
    if (close) {
        MoveToEx(dc, cx - 4, cy - 4, nullptr);
        LineTo(dc, cx + 4, cy + 4);
        MoveToEx(dc, cx + 4, cy - 4, nullptr);
        LineTo(dc, cx - 4, cy + 4);
    } else {
        MoveToEx(dc, cx - 4, cy + 3, nullptr);
        LineTo(dc, cx + 5, cy + 3);
    }
}

} // namespace

void asOneLine(char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (text[i] == '\r' || text[i] == '\n' || text[i] == '\t') text[i] = ' ';
}

MainChrome::~MainChrome() {
    if (smallIcon_) DestroyIcon(smallIcon_);
}

void MainChrome::attach() {
    loadImages();
    TfrmMain& m = main_;
    m.pbCaption->OnPaint = [this](HDC dc, const RECT& r) { paintCaption(dc, r); };
    m.pbCaption->OnMouseDown = [&m](int, int) {
        ReleaseCapture();
        SendMessageA(m.handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    };
    TPaintButton& close = *m.sbClose;
    close.OnPaint = [&close](HDC dc, const RECT& r) { paintGlyph(dc, r, true, close.isHot()); };
    close.OnClick = [&m] { PostMessageA(m.handle(), WM_CLOSE, 0, 0); };
    TPaintButton& minimize = *m.sbMinimize;
    minimize.OnPaint = [&minimize](HDC dc, const RECT& r) {
        paintGlyph(dc, r, false, minimize.isHot());
    };
    minimize.OnClick = [&m] { m.hideToTray(); };
    m.abButterFly->setImages(logoImages_.get());
    m.abButterFly->setInterval(50);
    m.pbAccount->OnPaint = [this](HDC dc, const RECT& r) { paintBanner(dc, r); };
    m.StatusBar1->OnPaint = [this](HDC dc, const RECT& r) { paintStatus(dc, r); };
    m.mTabType->OnDrawTab = [this](HDC dc, int index, const RECT& area, bool selected, bool hot) {
        drawTab(dc, index, area, selected, hot);
    };
}

void MainChrome::reloadImages() {
    loadImages();
    main_.abButterFly->setImages(logoImages_.get());
}

void MainChrome::loadImages() {
    // Every picture at the size the window's DPI asks for.
    HINSTANCE module = GetModuleHandleA(nullptr);
    const auto strip = [&](int resource, int size) {
        return imageListOf(loadStripPixels(module, resource), size, main_.scale(size));
    };
    toolImages_.reset(strip(IDB_TOOLBAR, images::kToolbarSize));
    const StripPixels menuStrip = loadStripPixels(module, IDB_TOOLBAR16);
    menuImages_.reset(imageListOf(menuStrip, images::kMenuSize, main_.scale(images::kMenuSize)));
    menuImagesGreyed_.reset(
        imageListOf(greyedStrip(menuStrip), images::kMenuSize, main_.scale(images::kMenuSize)));
    rowImages_.reset(strip(IDB_ROWS, images::kRowSmallSize));
    rowImagesLarge_.reset(strip(IDB_ROWS32, images::kRowLargeSize));
    tabImages_.reset(strip(IDB_TABS, images::kTabImageSize));
    logoImages_.reset(strip(IDB_LOGO, images::kLogoFrameSize));
    chromeFrame_.reset(loadChrome(IDB_CHROME_FRAME));
    chromeCaption_.reset(loadChrome(IDB_CHROME_CAPTION));
    chromeBanner_.reset(loadChrome(IDB_CHROME_BANNER));
    chromeStatus_.reset(loadChrome(IDB_CHROME_STATUS));
    smallIcon_ = static_cast<HICON>(
        LoadImageA(module, MAKEINTRESOURCEA(IDI_KEYHAVEN), IMAGE_ICON, 16, 16, 0));
    // The status bar takes its colour from the frame's bottom-left pixel.
    if (chromeFrame_) {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(dc, chromeFrame_.get());
        BITMAP info{};
        GetObjectA(chromeFrame_.get(), sizeof info, &info);
        const COLORREF pixel = GetPixel(dc, 0, info.bmHeight - 1);
        if (pixel != CLR_INVALID) statusColor_ = pixel;
        SelectObject(dc, old);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
}

int MainChrome::tabStripWidth() {
    int widest = 0;
    HDC dc = GetDC(main_.handle());
    {
        SelectGuard font(dc, main_.font(opt::bold));
        for (const std::string& tab : main_.mTabType->tabs()) {
            SIZE size{};
            GetTextExtentPoint32A(dc, tab.c_str(), static_cast<int>(tab.size()), &size);
            widest = std::max(widest, static_cast<int>(size.cx));
        }
    }
    ReleaseDC(main_.handle(), dc);
    return std::max(main_.scale(kTabStripWidth), widest + main_.scale(12));
}

void MainChrome::paintCaption(HDC dc, const RECT& r) {
    stretchBitmap(dc, chromeCaption_.get(), r);
    if (!chromeCaption_) FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    const int iconSize = main_.scale(16);
    if (smallIcon_) {
        DrawIconEx(dc, 1, (r.bottom - iconSize) / 2, smallIcon_, iconSize, iconSize, 0, nullptr,
                   DI_NORMAL);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kCaptionBlue);
    SelectGuard font(dc, main_.font(opt::bold));
    RECT area = r;
    area.left = main_.scale(19);
    drawText(dc, main_.text(), area, DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
}

void MainChrome::paintBanner(HDC dc, const RECT& r) {
    stretchBitmap(dc, chromeBanner_.get(), r);
    if (!chromeBanner_) FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
    Brush border(CreateSolidBrush(kBannerBorder));
    FrameRect(dc, &r, border.get());
    const bool loggedIn = main_.session_.isLoggedIn();
    const int iconSize = main_.scale(16);
    ImageList_Draw(menuImages_.get(), loggedIn ? images::kImgLoggedIn : images::kImgLoggedOut, dc,
                   main_.scale(4), (r.bottom - iconSize) / 2, ILD_TRANSPARENT);
    SetBkMode(dc, TRANSPARENT);
    Font bannerFont(CreateFontA(-MulDiv(10, main_.dpi(), 72), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                                DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0, "Tahoma"));
    {
        SelectGuard font(dc, bannerFont.get());
        SetTextColor(dc, kBannerBlue);
        RECT area = r;
        area.left = main_.scale(24);
        area.right -= main_.scale(4);
        drawText(dc, main_.banner_, area, DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
    }
    if (!loggedIn) {
        SelectGuard font(dc, main_.font(opt::bold));
        SetTextColor(dc, kOlive);
        RECT area = r;
        area.right -= main_.scale(4);
        drawText(dc, main_.messages_.text(Msg::slogan), area, DT_RIGHT | DT_VCENTER);
    }
}

void MainChrome::paintStatus(HDC dc, const RECT& r) {
    Brush face(CreateSolidBrush(statusColor_));
    FillRect(dc, &r, face.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, skin::kText);
    SelectGuard font(dc, main_.font());
    RECT area = r;
    area.left = main_.scale(5);
    // One line: a message written for a box shows its line breaks as spaces here.
    std::string line = main_.status_;
    asOneLine(line.data(), line.size());
    drawText(dc, line, area, DT_LEFT | DT_VCENTER | DT_END_ELLIPSIS);
}

void MainChrome::paintFrame() {
    HWND hwnd = main_.handle();
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    RECT window{};
    GetWindowRect(hwnd, &window);
    OffsetRect(&window, -window.left, -window.top);
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    RECT outer{};
    GetWindowRect(hwnd, &outer);
    OffsetRect(&client, origin.x - outer.left, origin.y - outer.top);
    ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    if (chromeFrame_) {
        stretchBitmap(dc, chromeFrame_.get(), window);
    } else {
        FillRect(dc, &window, GetSysColorBrush(COLOR_ACTIVEBORDER));
    }
    Brush edge(CreateSolidBrush(kBannerBorder));
    FrameRect(dc, &window, edge.get());
    ReleaseDC(hwnd, dc);
}

void MainChrome::drawTab(HDC dc, int index, const RECT& area, bool selected, bool hot) {
    Brush face(CreateSolidBrush(selected ? RGB(255, 255, 255) : skin::kFormFace));
    FillRect(dc, &area, face.get());
    const int size = main_.scale(images::kTabImageSize);
    const int imageIndex = index < images::kTabImageCount ? index : 0;
    const int cx = (area.left + area.right) / 2 + main_.scale(2) + ((hot && !selected) ? 1 : 0);
    const int cy = (area.top + area.bottom) / 2 - main_.scale(3) + ((hot && !selected) ? 1 : 0);
    const int top = cy - size / 2 - main_.scale(6);
    ImageList_Draw(tabImages_.get(), imageIndex, dc, cx - size / 2, top, ILD_TRANSPARENT);
    const auto& tabs = main_.mTabType->tabs();
    if (index < static_cast<int>(tabs.size())) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, selected ? kCaptionBlue : skin::kText);
        SelectGuard font(dc, main_.font(selected ? opt::bold : 0));
        RECT text = area;
        text.top = top + size + main_.scale(2);
        DrawTextA(dc, tabs[index].c_str(), -1, &text,
                  DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    if (selected) {
        Brush mark(CreateSolidBrush(kCaptionBlue));
        RECT bar{area.left, area.top, area.left + main_.scale(3), area.bottom};
        FillRect(dc, &bar, mark.get());
    }
}

} // namespace kh
