// Owners for the GDI and USER handles the forms and controls use: each releases its handle
// the way Windows wants it released, exactly once.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <utility>

namespace kh {

// A font, brush, pen or bitmap; DeleteObject on release.
template <class Handle> class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) noexcept : handle_(handle) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    ~GdiObject() { reset(); }

    void reset(Handle handle = nullptr) noexcept {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }
    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

  private:
    Handle handle_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;

// Selects an object into a DC for the life of the guard.
class SelectGuard {
  public:
    SelectGuard(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(SelectObject(dc, object)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() { SelectObject(dc_, old_); }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// GetDC / ReleaseDC.
class WindowDc {
  public:
    explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    HDC get() const noexcept { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// Holds a visible window's drawing (WM_SETREDRAW) while its children are changed, then
// invalidates it whole, frames and children included, so that it is drawn once, with the
// next paint. Some controls draw parts at once on every change (a list view its themed
// scroll bars, at each new row count or size), and again with the paint that follows. A
// hidden window is left alone: turning its drawing back on would show it.
class HeldRedraw {
  public:
    explicit HeldRedraw(HWND hwnd) noexcept : hwnd_(hwnd && IsWindowVisible(hwnd) ? hwnd : nullptr) {
        if (hwnd_) SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
    }
    HeldRedraw(const HeldRedraw&) = delete;
    HeldRedraw& operator=(const HeldRedraw&) = delete;
    ~HeldRedraw() {
        if (!hwnd_) return;
        SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(hwnd_, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }

  private:
    HWND hwnd_;
};

// BeginPaint / EndPaint.
class PaintDc {
  public:
    explicit PaintDc(HWND hwnd) noexcept : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { EndPaint(hwnd_, &ps_); }
    HDC get() const noexcept { return dc_; }

  private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// An off-screen bitmap compatible with a target DC; controls draw into it and copy the
// result in one blit, so repaints do not flicker.
class MemoryDc {
  public:
    MemoryDc(HDC target, int width, int height) noexcept
        : dc_(CreateCompatibleDC(target)),
          bitmap_(CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1)),
          old_(SelectObject(dc_, bitmap_.get())), width_(width), height_(height) {}
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    HDC get() const noexcept { return dc_; }
    void copyTo(HDC target, int x = 0, int y = 0) const noexcept {
        BitBlt(target, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
    }

  private:
    HDC dc_;
    Bitmap bitmap_;
    HGDIOBJ old_;
    int width_;
    int height_;
};

// A top-down 32-bit DIB section of the given size; `bits` receives its pixels (BGRA).
inline HBITMAP createDib32(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// ImageList_Destroy on release.
class ImageList {
  public:
    ImageList() = default;
    explicit ImageList(HIMAGELIST handle) noexcept : handle_(handle) {}
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;
    ImageList(ImageList&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    ImageList& operator=(ImageList&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    ~ImageList() { reset(); }
    void reset(HIMAGELIST handle = nullptr) noexcept {
        if (handle_) ImageList_Destroy(handle_);
        handle_ = handle;
    }
    HIMAGELIST get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

  private:
    HIMAGELIST handle_ = nullptr;
};

// DestroyMenu on release (a menu attached to a window is destroyed by the window instead;
// release() hands it over).
class MenuHandle {
  public:
    MenuHandle() = default;
    explicit MenuHandle(HMENU handle) noexcept : handle_(handle) {}
    MenuHandle(const MenuHandle&) = delete;
    MenuHandle& operator=(const MenuHandle&) = delete;
    MenuHandle(MenuHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    MenuHandle& operator=(MenuHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    ~MenuHandle() { reset(); }
    void reset(HMENU handle = nullptr) noexcept {
        if (handle_) DestroyMenu(handle_);
        handle_ = handle;
    }
    HMENU get() const noexcept { return handle_; }
    HMENU release() noexcept { return std::exchange(handle_, nullptr); }

  private:
    HMENU handle_ = nullptr;
};

} // namespace kh
