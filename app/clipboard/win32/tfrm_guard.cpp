#include "tfrm_guard.h"

#include "image_ids.h"
#include "win32/skin_theme.h"

#include <windowsx.h>

namespace kh {
namespace {

constexpr int kClientWidth = 168;
constexpr int kClientHeight = 45;
constexpr int kStopSize = 20;
constexpr char kOldProcProperty[] = "KeyhavenGuardOldProc";

constexpr ControlDef kGuardControls[] = {
    {.name = "imGuard",
     .kind = ControlKind::PaintButton,
     .x = 2,
     .y = 2,
     .width = images::kGuardFrameSize,
     .height = images::kGuardFrameSize},
    {.name = "Label1",
     .kind = ControlKind::Label,
     .caption = "Guarding:..",
     .x = 47,
     .y = 8,
     .width = 99,
     .height = 32,
     .style = SS_NOPREFIX},
    // In the top right corner, one pixel from both edges.
    {.name = "sbStop",
     .kind = ControlKind::PaintButton,
     .hint = "Stop Guarding",
     .x = kClientWidth - 1 - kStopSize,
     .y = 1,
     .width = kStopSize,
     .height = kStopSize,
     .options = opt::handCursor},
};

FormDesign guardDesign() {
    FormDesign design;
    design.className = "TfrmGuard";
    design.caption = "Password Guard";
    design.clientWidth = kClientWidth;
    design.clientHeight = kClientHeight;
    // A thin frame and no caption bar.
    design.style = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
    // See-through, above every window, never activated, no task bar button.
    design.exStyle = WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
    design.centered = false;
    return design;
}

} // namespace

TfrmGuard::TfrmGuard(PasswordGuard& guard) : TForm(guardDesign(), kGuardControls), guard_(guard) {}

TfrmGuard::~TfrmGuard() {
    if (handle()) KillTimer(handle(), kTickTimer);
}

void TfrmGuard::onCreate() {
    SetLayeredWindowAttributes(handle(), 0, kAlpha, LWA_ALPHA);

    frames_.reset(ImageList_Create(images::kGuardFrameSize, images::kGuardFrameSize, ILC_COLOR32,
                                   images::kGuardFrameCount, 0));
    Bitmap strip(
        static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_GUARD),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (frames_ && strip) ImageList_Add(frames_.get(), strip.get(), nullptr);

    imGuard->OnPaint = [this](HDC dc, const RECT& area) { paintImage(dc, area); };
    sbStop->OnPaint = [this](HDC dc, const RECT& area) { paintStop(dc, area); };
    sbStop->OnClick = [this] { guard_.stopGuard(); };

    // The picture and the label let the mouse through to the window, so a drag can start
    // anywhere but on the stop button.
    for (HWND part : {imGuard->handle(), Label1->handle()}) {
        const auto old = SetWindowLongPtrA(part, GWLP_WNDPROC,
                                           reinterpret_cast<LONG_PTR>(&TfrmGuard::passThroughProc));
        SetPropA(part, kOldProcProperty, reinterpret_cast<HANDLE>(old));
    }
    placeAtWorkAreaEdge();
}

LRESULT CALLBACK TfrmGuard::passThroughProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto old = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kOldProcProperty));
    if (msg == WM_NCHITTEST) return HTTRANSPARENT;
    if (msg == WM_NCDESTROY) {
        RemovePropA(hwnd, kOldProcProperty);
        if (old) SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    }
    return old ? CallWindowProcA(old, hwnd, msg, wParam, lParam)
               : DefWindowProcA(hwnd, msg, wParam, lParam);
}

void TfrmGuard::placeAtWorkAreaEdge() {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT frame{};
    GetWindowRect(handle(), &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = work.right - width;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(handle(), HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

bool TfrmGuard::guardShowing() {
    return isVisible();
}

void TfrmGuard::showGuard() {
    if (!create()) return;
    timerRunning_ = SetTimer(handle(), kTickTimer, kGuardTickMs, nullptr) != 0;
    SetWindowPos(handle(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ShowWindow(handle(), SW_SHOWNOACTIVATE);
}

void TfrmGuard::hideGuard() {
    if (!handle()) return;
    KillTimer(handle(), kTickTimer);
    timerRunning_ = false;
    endDrag();
    ShowWindow(handle(), SW_HIDE);
}

void TfrmGuard::paintGuard(int image, const std::string& label) {
    if (!create()) return;
    image_ = image;
    if (Label1->text() != label) Label1->setText(label);
    imGuard->repaint();
}

std::string TfrmGuard::labelText() const {
    return Label1.bound() ? Label1->text() : std::string();
}

void TfrmGuard::paintImage(HDC dc, const RECT& area) {
    if (frames_) ImageList_Draw(frames_.get(), image_, dc, area.left, area.top, ILD_NORMAL);
}

void TfrmGuard::paintStop(HDC dc, const RECT& area) {
    const bool hot = sbStop->isHot();
    const bool pressed = sbStop->isPressed();
    Brush face(CreateSolidBrush(hot ? RGB(0xFF, 0xE8, 0xE8) : skin::kFormFace));
    FillRect(dc, &area, face.get());
    Pen border(CreatePen(PS_SOLID, 1, hot ? RGB(0xC0, 0x30, 0x30) : skin::kBorder));
    {
        SelectGuard pen(dc, border.get());
        SelectGuard brush(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, area.left, area.top, area.right, area.bottom);
    }
    // A red square: stop.
    const int inset = scale(6) + (pressed ? 1 : 0);
    RECT mark{area.left + inset, area.top + inset, area.right - inset + (pressed ? 2 : 0),
              area.bottom - inset + (pressed ? 2 : 0)};
    Brush red(CreateSolidBrush(RGB(0xC8, 0x28, 0x28)));
    FillRect(dc, &mark, red.get());
}

void TfrmGuard::startDrag(POINT client) {
    dragging_ = true;
    dragOffset_ = client;
    SetCapture(handle());
}

void TfrmGuard::dragTo(POINT client) {
    if (!dragging_) return;
    POINT screen = client;
    ClientToScreen(handle(), &screen);
    RECT frame{};
    GetWindowRect(handle(), &frame);
    POINT origin{0, 0};
    ClientToScreen(handle(), &origin);
    // Where the client area's corner goes, moved back to the frame's corner.
    const int x = screen.x - dragOffset_.x - (origin.x - frame.left);
    const int y = screen.y - dragOffset_.y - (origin.y - frame.top);
    SetWindowPos(handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmGuard::endDrag() {
    if (!dragging_) return;
    dragging_ = false;
    if (GetCapture() == handle()) ReleaseCapture();
}

LRESULT TfrmGuard::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_TIMER:
        if (wParam == kTickTimer) {
            guard_.tick();
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        startDrag({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSEMOVE:
        if (dragging_) dragTo({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        endDrag();
        return 0;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        return 0;
    default:
        break;
    }
    return TForm::handleMessage(msg, wParam, lParam);
}

} // namespace kh
