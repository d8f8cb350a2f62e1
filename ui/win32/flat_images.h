// Pictures of an image list blended once onto a plain background and kept, so that
// drawing one again is a single copy rather than an alpha blend each time.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <vector>

namespace kh {

class FlatImageCache {
  public:
    FlatImageCache() = default;
    ~FlatImageCache();
    FlatImageCache(const FlatImageCache&) = delete;
    FlatImageCache& operator=(const FlatImageCache&) = delete;

    // The pictures to draw from now on (null: none); what was kept goes. Call it again
    // whenever the image list is replaced, e.g. after a DPI change.
    void reset(HIMAGELIST images);
    // Draws picture `index` with its top-left corner at (x, y) as it looks on
    // `background`, greyed and faded towards it when `inactive` (how an unavailable
    // command looks); false (and nothing drawn) when there is no such picture.
    bool draw(HDC dc, int index, int x, int y, COLORREF background, bool inactive = false);
    // Makes that look ahead of its first use, so that a later paint only copies it.
    void prepare(int index, COLORREF background, bool inactive = false);
    int width() const { return width_; }
    int height() const { return height_; }

  private:
    struct Entry {
        int index;
        COLORREF background;
        bool inactive;
        HBITMAP bitmap;
    };
    void clear();
    // The kept look, made now when there is none; null when it cannot be made.
    HBITMAP look(int index, COLORREF background, bool inactive);

    HIMAGELIST images_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int count_ = 0;
    std::vector<Entry> entries_;
};

} // namespace kh
