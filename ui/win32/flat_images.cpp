#include "win32/flat_images.h"

#include "win32/gdi.h"
#include "win32/paint_buffer.h"
#include "win32/skin_paint.h"

namespace kh {
namespace {

// Every row picture on each of a few backgrounds (plain, striped, selected) stays well
// under this; past it the oldest go, so that odd colours cannot make the cache grow.
constexpr std::size_t kMaxEntries = 96;

} // namespace

FlatImageCache::~FlatImageCache() {
    clear();
}

void FlatImageCache::clear() {
    for (const Entry& e : entries_)
        DeleteObject(e.bitmap);
    entries_.clear();
}

void FlatImageCache::reset(HIMAGELIST images) {
    clear();
    images_ = images;
    width_ = height_ = count_ = 0;
    if (images_) {
        ImageList_GetIconSize(images_, &width_, &height_);
        count_ = ImageList_GetImageCount(images_);
    }
}

HBITMAP FlatImageCache::look(int index, COLORREF background, bool inactive) {
    if (!images_ || index < 0 || index >= count_ || width_ <= 0 || height_ <= 0) return nullptr;
    for (const Entry& e : entries_)
        if (e.index == index && e.background == background && e.inactive == inactive)
            return e.bitmap;
    void* bits = nullptr;
    HBITMAP bitmap = createDib32(width_, height_, &bits);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    {
        BlitSource canvas(nullptr, bitmap);
        if (!canvas.get()) {
            DeleteObject(bitmap);
            return nullptr;
        }
        SetDCBrushColor(canvas.get(), background);
        const RECT all{0, 0, width_, height_};
        FillRect(canvas.get(), &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        ImageList_Draw(images_, index, canvas.get(), 0, 0, ILD_TRANSPARENT);
    }
    if (inactive) {
        GdiFlush();
        skin_detail::fadeToGrey(static_cast<BYTE*>(bits), width_ * height_, background);
    }
    if (entries_.size() >= kMaxEntries) {
        DeleteObject(entries_.front().bitmap);
        entries_.erase(entries_.begin());
    }
    entries_.push_back({index, background, inactive, bitmap});
    return bitmap;
}

void FlatImageCache::prepare(int index, COLORREF background, bool inactive) {
    look(index, background, inactive);
}

bool FlatImageCache::draw(HDC dc, int index, int x, int y, COLORREF background, bool inactive) {
    HBITMAP bitmap = look(index, background, inactive);
    if (!bitmap) return false;
    BlitSource source(dc, bitmap);
    BitBlt(dc, x, y, width_, height_, source.get(), 0, 0, SRCCOPY);
    return true;
}

} // namespace kh
