// Off-screen drawing for paint handlers without a device context made per paint.
//
// A control that paints through a memory bitmap (so that it does not flicker) used to make
// a memory DC and a bitmap for every WM_PAINT and throw them away after the copy. Making a
// DC is not free: under Wine's X11 driver every new DC also takes display-server resources,
// and it cost more than the whole drawing of a tool button. The UI thread now keeps one
// surface and lends it to one paint at a time. A paint that starts while the surface is
// lent (a paint inside a paint) or that is larger than the shared surface may grow to gets
// a surface of its own for that paint, as before.
//
// Only for painting a window of the calling thread: the surface is compatible with the
// first window DC it was made for.
#pragma once

#include <windows.h>

#include <memory>

#include "win32/gdi.h"

namespace kh {

class PaintBuffer {
  public:
    // A surface of at least width x height pixels. Its DC is in the default state, its
    // pixels are whatever the last paint left: the caller paints the whole area.
    PaintBuffer(HDC target, int width, int height) noexcept;
    PaintBuffer(const PaintBuffer&) = delete;
    PaintBuffer& operator=(const PaintBuffer&) = delete;
    ~PaintBuffer();

    HDC get() const noexcept { return dc_; }
    // Copies the painted width x height area to the target.
    void copyTo(HDC target, int x = 0, int y = 0) const noexcept;
    // True when the surface is the thread's shared one (for tests).
    bool shared() const noexcept { return shared_; }

    // The largest area (in pixels) the shared surface grows to; larger paints get their own.
    static constexpr long long kMaxSharedPixels = 1920LL * 1200LL;

  private:
    HDC dc_ = nullptr;
    int width_;
    int height_;
    bool shared_ = false;
    int savedState_ = 0;
    std::unique_ptr<MemoryDc> own_;
};

// A memory DC with a bitmap selected, for one blit from that bitmap or a short drawing into
// it (its colours and objects are the caller's to set). Borrows the UI thread's scratch DC
// the same way, so a glyph, background or picture blit costs no new DC.
class BlitSource {
  public:
    BlitSource(HDC compatible, HBITMAP bitmap) noexcept;
    BlitSource(const BlitSource&) = delete;
    BlitSource& operator=(const BlitSource&) = delete;
    ~BlitSource();

    HDC get() const noexcept { return dc_; }

  private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    bool shared_ = false;
};

} // namespace kh
