// Captions that fit their controls: a label, button or check box has a fixed size, and a
// translated caption (or the same caption at another DPI, where fonts do not scale in
// step with the geometry) can be wider than it. Such a caption takes the largest smaller
// font, down to three quarters of the control's own, in which it fits.
#pragma once

#include "win32/gdi.h"

#include <windows.h>

#include <string_view>

namespace kh {

// The pixels a caption can take inside its control and how the control draws it.
struct CaptionRoom {
    int width = 0;
    int height = 0;
    UINT format = DT_SINGLELINE; // DrawText flags: DT_SINGLELINE or DT_WORDBREAK, prefixes
};

// How many pixels `text` drawn in `font` reaches beyond `room`, across or down; 0 fits.
int captionOverflow(HDC dc, HFONT font, std::string_view text, const CaptionRoom& room);

// The font for `text` in `room`: empty while `base` fits, else the largest smaller one
// that fits, or the smallest allowed when none does.
Font fitCaptionFont(HDC dc, HFONT base, std::string_view text, const CaptionRoom& room);

// The same room at another DPI, as the form scales its controls.
CaptionRoom scaleRoom(const CaptionRoom& room, int fromDpi, int toDpi);

} // namespace kh
