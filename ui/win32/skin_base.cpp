#include "win32/skin_controls.h"

#include "win32/error_boundary.h"
#include "win32/paint_buffer.h"
#include "win32/skin_theme.h"

#include <windowsx.h>

#include <set>
#include <string>

namespace kh {

namespace {

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
    return guardedMessage([&] { return windowBody(hwnd, msg, wParam, lParam); });
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
    if (form_.routeKeyMessage(hwnd_, msg, wParam, lParam)) return 0;
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PaintDc target(hwnd_);
        RECT client;
        GetClientRect(hwnd_, &client);
        PaintBuffer buffer(target.get(), client.right, client.bottom);
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
        if (active_ && isShowing()) keyDown(static_cast<UINT>(wParam));
        return 0;
    case WM_CHAR:
        return 0;
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

bool QBaseControl::releasePress(int x, int y) {
    if (!pressed_) return false;
    pressed_ = false;
    if (GetCapture() == hwnd_) ReleaseCapture();
    repaint();
    return active_ && pointInClient(hwnd_, x, y);
}

void QBaseControl::mouseUp(int x, int y) {
    if (releasePress(x, y)) click();
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

} // namespace kh
