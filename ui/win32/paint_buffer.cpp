#include "win32/paint_buffer.h"

#include <algorithm>

namespace kh {
namespace {

// The surfaces one thread lends out; released when the thread ends.
struct SharedSurfaces {
    HDC buffer = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ originalBitmap = nullptr;
    int width = 0;
    int height = 0;
    bool bufferLent = false;

    HDC source = nullptr;
    bool sourceLent = false;

    SharedSurfaces() = default;
    SharedSurfaces(const SharedSurfaces&) = delete;
    SharedSurfaces& operator=(const SharedSurfaces&) = delete;
    ~SharedSurfaces() {
        if (buffer) {
            SelectObject(buffer, originalBitmap);
            DeleteDC(buffer);
        }
        if (bitmap) DeleteObject(bitmap);
        if (source) DeleteDC(source);
    }

    // Makes the buffer at least width x height; false when it cannot.
    bool reserve(HDC target, int w, int h) {
        if (!buffer) {
            buffer = CreateCompatibleDC(target);
            if (!buffer) return false;
        }
        if (bitmap && w <= width && h <= height) return true;
        const int newWidth = std::max(w, width);
        const int newHeight = std::max(h, height);
        HBITMAP grown = CreateCompatibleBitmap(target, newWidth, newHeight);
        if (!grown) return false;
        HGDIOBJ previous = SelectObject(buffer, grown);
        if (!originalBitmap) originalBitmap = previous;
        if (bitmap) DeleteObject(bitmap);
        bitmap = grown;
        width = newWidth;
        height = newHeight;
        return true;
    }
};

SharedSurfaces& surfaces() {
    thread_local SharedSurfaces shared;
    return shared;
}

} // namespace

PaintBuffer::PaintBuffer(HDC target, int width, int height) noexcept
    : width_(std::max(width, 1)), height_(std::max(height, 1)) {
    SharedSurfaces& shared = surfaces();
    const bool fits = static_cast<long long>(width_) * height_ <= kMaxSharedPixels;
    if (fits && !shared.bufferLent && shared.reserve(target, width_, height_)) {
        savedState_ = SaveDC(shared.buffer);
        if (savedState_ != 0) {
            shared.bufferLent = true;
            shared_ = true;
            dc_ = shared.buffer;
            return;
        }
    }
    own_ = std::make_unique<MemoryDc>(target, width_, height_);
    dc_ = own_->get();
}

PaintBuffer::~PaintBuffer() {
    if (!shared_) return;
    SharedSurfaces& shared = surfaces();
    RestoreDC(shared.buffer, savedState_);
    shared.bufferLent = false;
}

void PaintBuffer::copyTo(HDC target, int x, int y) const noexcept {
    BitBlt(target, x, y, width_, height_, dc_, 0, 0, SRCCOPY);
}

BlitSource::BlitSource(HDC compatible, HBITMAP bitmap) noexcept {
    SharedSurfaces& shared = surfaces();
    if (!shared.sourceLent) {
        if (!shared.source) shared.source = CreateCompatibleDC(compatible);
        if (shared.source) {
            shared.sourceLent = true;
            shared_ = true;
            dc_ = shared.source;
        }
    }
    if (!dc_) dc_ = CreateCompatibleDC(compatible);
    if (dc_) previous_ = SelectObject(dc_, bitmap);
}

BlitSource::~BlitSource() {
    if (!dc_) return;
    SelectObject(dc_, previous_);
    if (shared_)
        surfaces().sourceLent = false;
    else
        DeleteDC(dc_);
}

} // namespace kh
