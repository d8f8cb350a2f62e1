#include "win32/skin_controls.h"

#include "win32/skin_paint.h"
#include "win32/skin_theme.h"

#include <algorithm>

namespace kh {

using skin_detail::drawBox;

void TToolButton::setImages(HIMAGELIST images) {
    images_ = images;
    pictures_.reset(images);
    repaint();
}

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

void TToolButton::setHighlighted(bool highlighted) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    repaint();
}

void TToolButton::mouseUp(int x, int y) {
    if (!releasePress(x, y)) return;
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
    else if (active_ && (hot_ || highlighted_))
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
        const COLORREF below = GetPixel(dc, x, y);
        const COLORREF background = below != CLR_INVALID ? below : skin::kFormFace;
        pictures_.draw(dc, imageIndex_, x, y, background, !active_);
        // A button waiting for a login or a selection gets its active look ready now, so
        // that the moment it becomes available costs a copy rather than a blend.
        if (!active_) pictures_.prepare(imageIndex_, background);
        textLeft = x + width;
    }
    if (!caption_.empty()) {
        RECT text{textLeft, content.top, content.right, content.bottom};
        drawCaption(dc, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, skin::kText);
    }
}

} // namespace kh
