#include "caption_fit.h"

#include <algorithm>

namespace kh {

int captionOverflow(HDC dc, HFONT font, std::string_view text, const CaptionRoom& room) {
    SelectGuard select(dc, font);
    RECT need{0, 0, room.width, 0};
    DrawTextA(dc, text.data(), static_cast<int>(text.size()), &need, room.format | DT_CALCRECT);
    const bool wraps = (room.format & DT_SINGLELINE) == 0;
    return std::max<int>({0, static_cast<int>(need.right) - room.width,
                          wraps ? static_cast<int>(need.bottom) - room.height : 0});
}

Font fitCaptionFont(HDC dc, HFONT base, std::string_view text, const CaptionRoom& room) {
    Font fitted;
    if (text.empty() || captionOverflow(dc, base, text, room) == 0) return fitted;
    LOGFONTA face{};
    if (!GetObjectA(base, sizeof face, &face)) return fitted;
    const bool cellHeight = face.lfHeight > 0;
    const int full = cellHeight ? face.lfHeight : -face.lfHeight;
    for (int height = full - 1; height > 0 && height * 4 >= full * 3; --height) {
        LOGFONTA attempt = face;
        attempt.lfHeight = cellHeight ? height : -height;
        attempt.lfWidth = 0;
        Font candidate(CreateFontIndirectA(&attempt));
        if (!candidate) break;
        fitted = std::move(candidate);
        if (captionOverflow(dc, fitted.get(), text, room) == 0) break;
    }
    return fitted;
}

CaptionRoom scaleRoom(const CaptionRoom& room, int fromDpi, int toDpi) {
    return {MulDiv(room.width, toDpi, fromDpi), MulDiv(room.height, toDpi, fromDpi), room.format};
}

} // namespace kh
