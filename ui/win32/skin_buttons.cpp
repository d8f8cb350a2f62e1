#include "win32/skin_controls.h"

#include "win32/paint_buffer.h"
#include "win32/skin_paint.h"
#include "win32/skin_theme.h"

#include <algorithm>

namespace kh {

using skin_detail::drawBox;
using skin_detail::drawInactiveImage;

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
        {
            BlitSource glyph(dc, glyph_.get());
            HDC source = glyph.get();
            const int sourceX = frameShown() * frameWidth;
            if (transparent_ != CLR_INVALID)
                TransparentBlt(dc, x, y, width, height, source, sourceX, 0, frameWidth,
                               info.bmHeight, transparent_);
            else
                StretchBlt(dc, x, y, width, height, source, sourceX, 0, frameWidth, info.bmHeight,
                           SRCCOPY);
        }
    }
    if (!caption_.empty())
        drawCaption(dc, captionRect(client), DT_LEFT | DT_VCENTER | DT_SINGLELINE, skin::kText);
    RECT focus = client;
    InflateRect(&focus, -scale(2), -scale(2));
    drawFocus(dc, focus);
}

} // namespace kh
