#include "win32/skin_controls.h"

#include "win32/error_boundary.h"

#include "win32/skin_theme.h"

#include <windowsx.h>

#include <algorithm>
#include <set>

namespace kh {

namespace {

constexpr UINT_PTR kAnimationTimer = 1;

void fillRect(HDC dc, const RECT& area, COLORREF color) {
    SetDCBrushColor(dc, color);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// A rounded box in the skin's flat style: one-pixel border, flat fill.
void drawBox(HDC dc, const RECT& area, COLORREF fill, COLORREF border, int radius) {
    SelectGuard pen(dc, GetStockObject(DC_PEN));
    SelectGuard brush(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, border);
    SetDCBrushColor(dc, fill);
    RoundRect(dc, area.left, area.top, area.right, area.bottom, radius, radius);
}

bool registerSkinClass(const char* name, WNDPROC proc) {
    static std::set<std::string> registered;
    if (registered.count(name)) return true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    // A painted control is drawn for its whole size: a resize repaints it all, or what
    // was centred or right-aligned before stays behind.
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = name;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    registered.insert(name);
    return true;
}

bool pointInClient(HWND hwnd, int x, int y) {
    RECT client;
    GetClientRect(hwnd, &client);
    const POINT point{x, y};
    return PtInRect(&client, point) != FALSE;
}

// An inactive image: drawn on the face colour, then turned grey and faded towards the
// face, so it reads as unavailable whatever its colours (a plain 50% blend hardly shows
// on images with an alpha channel).
void drawInactiveImage(HDC dc, HIMAGELIST images, int index, int x, int y, int width, int height,
                       COLORREF face) {
    void* bits = nullptr;
    Bitmap dib(createDib32(width, height, &bits));
    if (!dib || !bits) return;
    HDC memory = CreateCompatibleDC(dc);
    {
        SelectGuard select(memory, dib.get());
        RECT all{0, 0, width, height};
        Brush faceBrush(CreateSolidBrush(face));
        FillRect(memory, &all, faceBrush.get());
        ImageList_Draw(images, index, memory, 0, 0, ILD_TRANSPARENT);
        GdiFlush();
        auto* pixel = static_cast<BYTE*>(bits);
        const int faceGrey =
            (GetRValue(face) * 30 + GetGValue(face) * 59 + GetBValue(face) * 11) / 100;
        for (int i = 0; i < width * height; ++i, pixel += 4) {
            const int grey = (pixel[2] * 30 + pixel[1] * 59 + pixel[0] * 11) / 100;
            const BYTE value = static_cast<BYTE>((grey * 2 + faceGrey * 3) / 5);
            pixel[0] = pixel[1] = pixel[2] = value;
        }
        BitBlt(dc, x, y, width, height, memory, 0, 0, SRCCOPY);
    }
    DeleteDC(memory);
}

} // namespace

// ---- QBaseControl --------------------------------------------------------------------

QBaseControl::QBaseControl(TForm& form, const ControlDef& def)
    : TControl(form, def), caption_(def.caption ? def.caption : ""),
      active_((def.options & opt::inactive) == 0) {}

QBaseControl::~QBaseControl() {
    if (hwnd_ && IsWindow(hwnd_)) {
        // The window must not call back into a half-destroyed object.
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
}

void QBaseControl::create(HWND parent) {
    if (!registerSkinClass(windowClass(), &QBaseControl::windowProc)) return;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | style_;
    if (!(options_ & opt::hidden)) style |= WS_VISIBLE;
    if (focusable() && !(options_ & opt::noTabStop)) style |= WS_TABSTOP;
    const RECT r = scaledBounds();
    CreateWindowExA(0, windowClass(), caption_.c_str(), style, r.left, r.top, r.right - r.left,
                    r.bottom - r.top, parent,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(commandId_)),
                    GetModuleHandleA(nullptr), this);
}

LRESULT CALLBACK QBaseControl::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    const bool done = guardedCall([&] { result = windowBody(hwnd, msg, wParam, lParam); });
    if (!done && msg == WM_NCCREATE) return FALSE;
    return result;
}

LRESULT QBaseControl::windowBody(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self =
            static_cast<QBaseControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<QBaseControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return self->handleMessage(msg, wParam, lParam);
}

LRESULT QBaseControl::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PaintDc target(hwnd_);
        RECT client;
        GetClientRect(hwnd_, &client);
        MemoryDc buffer(target.get(), client.right, client.bottom);
        FillRect(buffer.get(), &client, form_.faceBrush());
        SelectGuard font(buffer.get(), captionFont());
        SetBkMode(buffer.get(), TRANSPARENT);
        paint(buffer.get(), client);
        buffer.copyTo(target.get());
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        mouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        mouseUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSEMOVE:
        if (!hot_) {
            hot_ = true;
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
            TrackMouseEvent(&track);
            mouseEnter();
            repaint();
        }
        mouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MOUSELEAVE:
        hot_ = false;
        mouseLeave();
        repaint();
        return 0;
    case WM_CAPTURECHANGED:
        if (pressed_ && reinterpret_cast<HWND>(lParam) != hwnd_) {
            pressed_ = false;
            repaint();
        }
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        repaint();
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (form_.processKey(hwnd_, msg, wParam, lParam)) return 0;
        if (msg == WM_KEYDOWN) {
            if (active_ && isShowing()) keyDown(static_cast<UINT>(wParam));
            return 0;
        }
        break;
    case WM_CHAR:
    case WM_SYSCHAR:
        if (form_.takeSwallowedChar()) return 0;
        if (msg == WM_CHAR) return 0;
        break;
    case WM_SETTEXT:
        caption_ = lParam ? reinterpret_cast<const char*>(lParam) : "";
        repaint();
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

void QBaseControl::setCaption(std::string caption) {
    caption_ = std::move(caption);
    // The window text follows too, for accessibility tools and the test scripts.
    if (hwnd_) DefWindowProcA(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption_.c_str()));
    fitCaption();
    repaint();
}

void QBaseControl::setActive(bool active) {
    if (active_ == active) return;
    active_ = active;
    if (!active_) {
        pressed_ = false;
        if (hwnd_ && GetCapture() == hwnd_) ReleaseCapture();
        // An inactive control keeps no focus; the next one takes it.
        if (hasFocus()) form_.focusNext(true);
    }
    repaint();
}

bool QBaseControl::hasFocus() const {
    return hwnd_ && GetFocus() == hwnd_;
}

bool QBaseControl::canFocus() const {
    return active_ && focusable() && TControl::canFocus();
}

void QBaseControl::repaint() {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void QBaseControl::click() {
    if (!active_) return;
    TForm::noteUserActivity();
    if (OnClick) OnClick();
}

bool QBaseControl::keyDown(UINT) {
    return false;
}

void QBaseControl::mouseDown(int, int) {
    if (!active_) return;
    if (focusable()) SetFocus(hwnd_);
    pressed_ = true;
    SetCapture(hwnd_);
    repaint();
}

void QBaseControl::mouseUp(int x, int y) {
    if (!pressed_) return;
    pressed_ = false;
    if (GetCapture() == hwnd_) ReleaseCapture();
    repaint();
    if (active_ && pointInClient(hwnd_, x, y)) click();
}

void QBaseControl::mouseMove(int, int) {}

void QBaseControl::drawCaption(HDC dc, RECT area, UINT format, COLORREF color) const {
    SetTextColor(dc, active_ ? color : skin::kTextInactive);
    DrawTextA(dc, caption_.c_str(), static_cast<int>(caption_.size()), &area, format);
}

void QBaseControl::drawFocus(HDC dc, RECT area) const {
    if (!hasFocus()) return;
    SetTextColor(dc, skin::kText);
    SetBkColor(dc, RGB(0xff, 0xff, 0xff));
    DrawFocusRect(dc, &area);
}

int QBaseControl::scale(int units96) const {
    return form_.scale(units96);
}

// ---- TPaintButton --------------------------------------------------------------------

void TPaintButton::paint(HDC dc, const RECT& client) {
    if (OnPaint) OnPaint(dc, client);
}

void TPaintButton::mouseDown(int x, int y) {
    if (!active_) return;
    QBaseControl::mouseDown(x, y);
    if (OnMouseDown) OnMouseDown(x, y);
}

void TPaintButton::mouseEnter() {
    if (OnMouseEnter) OnMouseEnter();
}

void TPaintButton::mouseLeave() {
    if (OnMouseLeave) OnMouseLeave();
}

// ---- QSkinButton ---------------------------------------------------------------------

void QSkinButton::click() {
    if (!active_) return;
    // The result first, so that OnClick can still withdraw it (a failed check).
    if (modalResult_ != ModalResult::None) form_.setModalResult(modalResult_);
    if (OnClick) OnClick();
    if (hwnd_ && form_.handle())
        SendMessageA(form_.handle(), WM_COMMAND, MAKEWPARAM(commandId_, BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd_));
}

bool QSkinButton::keyDown(UINT key) {
    if (key != VK_SPACE && key != VK_RETURN) return false;
    click();
    return true;
}

void QSkinButton::paintFace(HDC dc, const RECT& client) const {
    COLORREF fill = skin::kButtonFace;
    COLORREF border = skin::kBorder;
    if (!active_) {
        fill = skin::kFaceInactive;
        border = skin::kTextInactive;
    } else if (pressed_ && hot_) {
        fill = skin::kButtonPressed;
        border = skin::kBorderHot;
    } else if (hot_ || hasFocus()) {
        fill = hot_ ? skin::kButtonHot : skin::kButtonFace;
        border = skin::kBorderHot;
    }
    drawBox(dc, client, fill, border, scale(6));
}

std::optional<CaptionRoom> QSkinButton::captionRoom() const {
    if (!hwnd_) return std::nullopt;
    RECT client{};
    GetClientRect(hwnd_, &client);
    return CaptionRoom{client.right - scale(6), client.bottom, DT_SINGLELINE};
}

void QSkinButton::paint(HDC dc, const RECT& client) {
    paintFace(dc, client);
    RECT text = client;
    if (pressed_ && hot_) OffsetRect(&text, 1, 1);
    drawCaption(dc, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, skin::kText);
    RECT focus = client;
    InflateRect(&focus, -scale(3), -scale(3));
    drawFocus(dc, focus);
}

// ---- QBitmapButton -------------------------------------------------------------------

void QBitmapButton::setGlyphFrom(HIMAGELIST images, int index) {
    int size = 0;
    int height = 0;
    if (!images || !ImageList_GetIconSize(images, &size, &height) || size <= 0) return;
    const COLORREF faces[] = {skin::kFormFace, skin::kButtonHot, skin::kButtonPressed,
                              skin::kFormFace};
    void* bits = nullptr;
    Bitmap strip(createDib32(size * 4, height, &bits));
    if (!strip) return;
    HDC dc = CreateCompatibleDC(nullptr);
    {
        SelectGuard select(dc, strip.get());
        for (int frame = 0; frame < 4; ++frame) {
            const RECT area{frame * size, 0, (frame + 1) * size, height};
            if (frame == 3) { // inactive: as an inactive tool button draws its picture
                drawInactiveImage(dc, images, index, area.left, 0, size, height, faces[frame]);
                continue;
            }
            Brush face(CreateSolidBrush(faces[frame]));
            FillRect(dc, &area, face.get());
            ImageList_Draw(images, index, dc, area.left, 0, ILD_NORMAL);
        }
    }
    DeleteDC(dc);
    setGlyph(std::move(strip), 4);
}

void QBitmapButton::setGlyph(Bitmap strip, int frames, COLORREF transparent) {
    glyph_ = std::move(strip);
    frames_ = std::max(1, frames);
    transparent_ = transparent;
    fitCaption(); // the glyph takes room from the caption
    repaint();
}

int QBitmapButton::frameShown() const {
    int frame = 0;
    if (!active_)
        frame = 3;
    else if (pressed_ && hot_)
        frame = 2;
    else if (hot_)
        frame = 1;
    return frame < frames_ ? frame : 0;
}

std::optional<CaptionRoom> QBitmapButton::captionRoom() const {
    if (!hwnd_) return std::nullopt;
    RECT client{};
    GetClientRect(hwnd_, &client);
    const RECT text = captionRect(client);
    return CaptionRoom{text.right - text.left, text.bottom - text.top, DT_SINGLELINE};
}

// Right of the glyph (which sits at the left when there is a caption).
RECT QBitmapButton::captionRect(const RECT& client) const {
    const int glyph = glyphWidth();
    const int left = client.left + scale(4) + (glyph ? glyph + scale(4) : 0);
    return RECT{left, client.top, client.right - scale(2), client.bottom};
}

int QBitmapButton::glyphWidth() const {
    BITMAP info{};
    if (!glyph_ || !GetObjectA(glyph_.get(), sizeof(info), &info)) return 0;
    return scale(info.bmWidth / frames_);
}

void QBitmapButton::paint(HDC dc, const RECT& client) {
    if (pressed_ && hot_ && active_)
        drawBox(dc, client, skin::kButtonPressed, skin::kBorderHot, scale(4));
    else if (hot_ && active_)
        drawBox(dc, client, skin::kButtonHot, skin::kBorderHot, scale(4));

    BITMAP info{};
    if (glyph_ && GetObjectA(glyph_.get(), sizeof(info), &info)) {
        const int frameWidth = info.bmWidth / frames_;
        const int width = scale(frameWidth);
        const int height = scale(info.bmHeight);
        const int x = caption_.empty() ? (client.right - width) / 2 : client.left + scale(4);
        const int y = (client.bottom - height) / 2;
        HDC source = CreateCompatibleDC(dc);
        {
            SelectGuard select(source, glyph_.get());
            const int sourceX = frameShown() * frameWidth;
            if (transparent_ != CLR_INVALID)
                TransparentBlt(dc, x, y, width, height, source, sourceX, 0, frameWidth,
                               info.bmHeight, transparent_);
            else
                StretchBlt(dc, x, y, width, height, source, sourceX, 0, frameWidth, info.bmHeight,
                           SRCCOPY);
        }
        DeleteDC(source);
    }
    if (!caption_.empty())
        drawCaption(dc, captionRect(client), DT_LEFT | DT_VCENTER | DT_SINGLELINE, skin::kText);
    RECT focus = client;
    InflateRect(&focus, -scale(2), -scale(2));
    drawFocus(dc, focus);
}

// ---- QCheckBox and QRadioBox ---------------------------------------------------------

QCheckBox::QCheckBox(TForm& form, const ControlDef& def)
    : QBaseControl(form, def), checked_((def.options & opt::checked) != 0) {}

void QCheckBox::setChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    repaint();
}

void QCheckBox::click() {
    if (!active_) return;
    setChecked(!checked_);
    if (OnChange) OnChange();
    QBaseControl::click();
}

bool QCheckBox::keyDown(UINT key) {
    if (key != VK_SPACE) return false;
    click();
    return true;
}

void QCheckBox::paintMark(HDC dc, const RECT& box) const {
    const COLORREF color = active_ ? skin::kAccent : skin::kTextInactive;
    Pen pen(CreatePen(PS_SOLID, std::max(2, scale(2)), color));
    SelectGuard select(dc, pen.get());
    const int w = box.right - box.left;
    const POINT mark[3] = {{box.left + w * 2 / 9, box.top + w / 2},
                           {box.left + w * 4 / 9, box.top + w * 3 / 4 - 1},
                           {box.left + w * 7 / 9, box.top + w / 4}};
    Polyline(dc, mark, 3);
}

std::optional<CaptionRoom> QCheckBox::captionRoom() const {
    if (!hwnd_) return std::nullopt;
    RECT client{};
    GetClientRect(hwnd_, &client);
    return CaptionRoom{client.right - 1 - scale(14) - scale(6), client.bottom, DT_SINGLELINE};
}

// The caption right of the box, with the focus rectangle around the text alone.
void QCheckBox::paintCaptionBeside(HDC dc, const RECT& box, const RECT& client) const {
    RECT text{box.right + scale(6), client.top, client.right, client.bottom};
    drawCaption(dc, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, skin::kText);
    if (hasFocus()) {
        RECT measured = text;
        DrawTextA(dc, caption_.c_str(), static_cast<int>(caption_.size()), &measured,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_CALCRECT);
        const int height = measured.bottom - measured.top;
        RECT focus{text.left - 2, (client.bottom - height) / 2 - 1, measured.right + 2,
                   (client.bottom + height) / 2 + 1};
        drawFocus(dc, focus);
    }
}

void QCheckBox::paint(HDC dc, const RECT& client) {
    const int size = scale(14);
    const int top = (client.bottom - size) / 2;
    const RECT box{client.left + 1, top, client.left + 1 + size, top + size};
    const COLORREF border = !active_ ? skin::kTextInactive
                            : hot_   ? skin::kBorderHot
                                     : skin::kBorder;
    drawBox(dc, box, active_ ? skin::kButtonFace : skin::kFaceInactive, border, scale(3));
    if (checked_) paintMark(dc, box);

    paintCaptionBeside(dc, box, client);
}

void QRadioBox::setChecked(bool checked) {
    QCheckBox::setChecked(checked);
    if (!checked || !hwnd_) return;
    // Siblings are the radio boxes that share this one's parent window.
    HWND parent = GetParent(hwnd_);
    for (HWND sibling = GetWindow(parent, GW_CHILD); sibling;
         sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        if (sibling == hwnd_) continue;
        char name[32] = {};
        GetClassNameA(sibling, name, sizeof(name));
        if (lstrcmpA(name, "QRadioBox") != 0) continue;
        auto* other = reinterpret_cast<QRadioBox*>(GetWindowLongPtrA(sibling, GWLP_USERDATA));
        if (other) other->QCheckBox::setChecked(false);
    }
}

void QRadioBox::click() {
    if (!active_) return;
    if (!checked_) {
        setChecked(true);
        if (OnChange) OnChange();
    }
    QBaseControl::click();
}

void QRadioBox::paint(HDC dc, const RECT& client) {
    const int size = scale(14);
    const int top = (client.bottom - size) / 2;
    const RECT box{client.left + 1, top, client.left + 1 + size, top + size};
    const COLORREF border = !active_ ? skin::kTextInactive
                            : hot_   ? skin::kBorderHot
                                     : skin::kBorder;
    drawBox(dc, box, active_ ? skin::kButtonFace : skin::kFaceInactive, border, size);
    if (checked_) {
        RECT dot = box;
        InflateRect(&dot, -size * 3 / 10, -size * 3 / 10);
        const COLORREF color = active_ ? skin::kAccent : skin::kTextInactive;
        drawBox(dc, dot, color, color, size);
    }
    paintCaptionBeside(dc, box, client);
}

// ---- QAnimatedButton -----------------------------------------------------------------

QAnimatedButton::~QAnimatedButton() {
    stop();
}

void QAnimatedButton::setImages(HIMAGELIST images) {
    images_ = images;
    frame_ = 0;
    repaint();
}

int QAnimatedButton::imageCount() const {
    return images_ ? ImageList_GetImageCount(images_) : 0;
}

void QAnimatedButton::setInterval(UINT milliseconds) {
    interval_ = std::max<UINT>(1, milliseconds);
    if (running_ && hwnd_) SetTimer(hwnd_, kAnimationTimer, interval_, nullptr);
}

void QAnimatedButton::start() {
    if (running_ || !hwnd_) return;
    running_ = SetTimer(hwnd_, kAnimationTimer, interval_, nullptr) != 0;
}

void QAnimatedButton::stop() {
    if (!running_) return;
    if (hwnd_) KillTimer(hwnd_, kAnimationTimer);
    running_ = false;
}

void QAnimatedButton::setFrame(int frame) {
    const int count = imageCount();
    if (frame < 0 || (count > 0 && frame >= count)) return;
    frame_ = frame;
    repaint();
}

LRESULT QAnimatedButton::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == kAnimationTimer) {
        const int count = imageCount();
        if (running_ && count > 0) {
            frame_ = (frame_ + 1) % count;
            repaint();
        }
        return 0;
    }
    if (msg == WM_DESTROY) stop();
    return QBaseControl::handleMessage(msg, wParam, lParam);
}

void QAnimatedButton::paint(HDC dc, const RECT& client) {
    if (hot_ && active_) drawBox(dc, client, skin::kButtonHot, skin::kBorderHot, scale(4));
    if (imageCount() > 0) {
        int width = 0;
        int height = 0;
        ImageList_GetIconSize(images_, &width, &height);
        ImageList_Draw(images_, frame_, dc, (client.right - width) / 2,
                       (client.bottom - height) / 2, ILD_TRANSPARENT);
    } else {
        drawCaption(dc, client, DT_CENTER | DT_VCENTER | DT_SINGLELINE, skin::kAccent);
    }
}

// ---- QTabControl ---------------------------------------------------------------------

void QTabControl::setTabs(std::vector<std::string> tabs) {
    tabs_ = std::move(tabs);
    if (tabIndex_ >= tabCount()) tabIndex_ = tabCount() - 1;
    if (tabIndex_ < 0 && !tabs_.empty()) tabIndex_ = 0;
    hotTab_ = -1;
    repaint();
}

void QTabControl::setTabIndex(int index) {
    if (index < 0 || index >= tabCount()) return;
    tabIndex_ = index;
    repaint();
}

bool QTabControl::selectTab(int index) {
    if (index < 0 || index >= tabCount() || index == tabIndex_) return false;
    if (OnChanging && !OnChanging(index)) return false;
    tabIndex_ = index;
    if (OnChange) OnChange();
    repaint();
    return true;
}

void QTabControl::setOrientation(TabOrientation orientation) {
    orientation_ = orientation;
    repaint();
}

void QTabControl::setTabWidth(int units96) {
    tabWidth_ = std::max(1, units96);
    repaint();
}

RECT QTabControl::tabRect(int index) const {
    RECT client{};
    if (hwnd_) GetClientRect(hwnd_, &client);
    const int extent = scale(tabWidth_);
    if (orientation_ == TabOrientation::Vertical)
        return RECT{client.left, index * extent, client.right, (index + 1) * extent};
    return RECT{index * extent, client.top, (index + 1) * extent, client.bottom};
}

int QTabControl::tabAt(int x, int y) const {
    const POINT point{x, y};
    for (int i = 0; i < tabCount(); ++i) {
        const RECT r = tabRect(i);
        if (PtInRect(&r, point)) return i;
    }
    return -1;
}

void QTabControl::mouseDown(int x, int y) {
    if (!active_) return;
    SetFocus(hwnd_);
    const int index = tabAt(x, y);
    if (index >= 0) selectTab(index);
}

void QTabControl::mouseMove(int x, int y) {
    const int index = tabAt(x, y);
    if (index == hotTab_) return;
    hotTab_ = index;
    repaint();
}

void QTabControl::mouseLeave() {
    hotTab_ = -1;
}

bool QTabControl::keyDown(UINT key) {
    const bool vertical = orientation_ == TabOrientation::Vertical;
    if (key == (vertical ? VK_UP : VK_LEFT)) {
        selectTab(tabIndex_ - 1);
        return true;
    }
    if (key == (vertical ? VK_DOWN : VK_RIGHT)) {
        selectTab(tabIndex_ + 1);
        return true;
    }
    return false;
}

void QTabControl::paint(HDC dc, const RECT& client) {
    fillRect(dc, client, skin::kTabFace);
    const bool vertical = orientation_ == TabOrientation::Vertical;
    for (int i = 0; i < tabCount(); ++i) {
        const RECT r = tabRect(i);
        const bool selected = i == tabIndex_;
        const bool hot = i == hotTab_ && active_;
        if (selected) {
            fillRect(dc, r, skin::kTabSelected);
            RECT bar = r;
            if (vertical)
                bar.right = bar.left + scale(3);
            else
                bar.top = bar.bottom - scale(3);
            fillRect(dc, bar, active_ ? skin::kAccent : skin::kTextInactive);
        } else if (hot) {
            fillRect(dc, r, skin::kButtonHot);
        }
        RECT line = r;
        if (vertical)
            line.top = line.bottom - 1;
        else
            line.left = line.right - 1;
        fillRect(dc, line, skin::kBorder);

        if (OnDrawTab) {
            OnDrawTab(dc, i, r, selected, hot);
        } else {
            const std::string& text = tabs_[static_cast<std::size_t>(i)];
            RECT area = r;
            SetTextColor(dc, !active_   ? skin::kTextInactive
                             : selected ? skin::kAccent
                                        : skin::kText);
            DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        }
        if (selected) {
            RECT focus = r;
            InflateRect(&focus, -scale(4), -scale(4));
            drawFocus(dc, focus);
        }
    }
}

// ---- TToolButton ---------------------------------------------------------------------

void TToolButton::setImageIndex(int index) {
    imageIndex_ = index;
    repaint();
}

void TToolButton::setDown(bool down) {
    down_ = down;
    repaint();
}

void TToolButton::setDropDown(bool dropDown) {
    dropDown_ = dropDown;
    repaint();
}

void TToolButton::mouseUp(int x, int y) {
    if (!pressed_) return;
    pressed_ = false;
    if (GetCapture() == hwnd_) ReleaseCapture();
    repaint();
    if (!active_ || !pointInClient(hwnd_, x, y)) return;
    RECT client;
    GetClientRect(hwnd_, &client);
    const bool onArrow = dropDown_ && x >= client.right - scale(12);
    if ((onArrow || !OnClick) && OnDropDown)
        OnDropDown();
    else
        click();
}

void TToolButton::paint(HDC dc, const RECT& client) {
    if (active_ && ((pressed_ && hot_) || down_))
        drawBox(dc, client, skin::kButtonPressed, skin::kBorderHot, scale(4));
    else if (active_ && hot_)
        drawBox(dc, client, skin::kButtonHot, skin::kBorderHot, scale(4));

    RECT content = client;
    if (dropDown_) {
        content.right -= scale(12);
        const int cx = content.right + scale(6);
        const int cy = client.bottom / 2;
        const int half = std::max(2, scale(3));
        const POINT arrow[3] = {{cx - half, cy - 1}, {cx + half, cy - 1}, {cx, cy - 1 + half}};
        SelectGuard pen(dc, GetStockObject(DC_PEN));
        SelectGuard brush(dc, GetStockObject(DC_BRUSH));
        const COLORREF color = active_ ? skin::kText : skin::kTextInactive;
        SetDCPenColor(dc, color);
        SetDCBrushColor(dc, color);
        Polygon(dc, arrow, 3);
    }
    int textLeft = content.left;
    if (images_ && imageIndex_ >= 0 && imageIndex_ < ImageList_GetImageCount(images_)) {
        int width = 0;
        int height = 0;
        ImageList_GetIconSize(images_, &width, &height);
        const int x = caption_.empty() ? (content.right - width) / 2 : content.left + scale(3);
        const int y = (content.bottom - height) / 2;
        if (active_) {
            ImageList_Draw(images_, imageIndex_, dc, x, y, ILD_TRANSPARENT);
        } else {
            drawInactiveImage(dc, images_, imageIndex_, x, y, width, height,
                              GetPixel(dc, x, y) != CLR_INVALID ? GetPixel(dc, x, y)
                                                                : skin::kFormFace);
        }
        textLeft = x + width;
    }
    if (!caption_.empty()) {
        RECT text{textLeft, content.top, content.right, content.bottom};
        drawCaption(dc, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, skin::kText);
    }
}

} // namespace kh
