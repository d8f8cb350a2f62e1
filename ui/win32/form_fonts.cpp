#include "win32/form.h"

#include "win32/form_detail.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>

namespace kh {

using form_detail::systemDpi;

namespace {

// Ink of a few letters in a font, as drawn.
int inkOf(const LOGFONTA& font) {
    constexpr int kWidth = 160;
    constexpr int kHeight = 60;
    void* bits = nullptr;
    Bitmap bitmap(createDib32(kWidth, kHeight, &bits));
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc || !bitmap || !bits) {
        if (dc) DeleteDC(dc);
        return 0;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap.get());
    RECT all{0, 0, kWidth, kHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    LOGFONTA plain = font;
    plain.lfQuality = NONANTIALIASED_QUALITY;
    Font handle(CreateFontIndirectA(&plain));
    HGDIOBJ oldFont = SelectObject(dc, handle.get());
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 2, 2, "Wmli", 4);
    GdiFlush();
    int ink = 0;
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < kWidth * kHeight; ++i)
        if ((pixels[i] & 0xFFFFFF) != 0xFFFFFF) ++ink;
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    return ink;
}

// Whether the bold of a font is really heavier than its regular weight. The answer
// depends on the face and size alone; every form asks the same, so it is kept.
bool drawsBold(const LOGFONTA& bold) {
    static std::map<std::pair<std::string, LONG>, bool> known;
    const auto key = std::make_pair(std::string(bold.lfFaceName), bold.lfHeight);
    if (const auto found = known.find(key); found != known.end()) return found->second;
    LOGFONTA regular = bold;
    regular.lfWeight = FW_NORMAL;
    const bool heavier = inkOf(bold) * 10 >= inkOf(regular) * 12;
    known.emplace(key, heavier);
    return heavier;
}

} // namespace

HFONT TForm::font(unsigned style) const {
    style &= opt::fontMask;
    auto found = fonts_.find(style);
    if (found != fonts_.end()) return found->second.get();
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTA font{};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        font = metrics.lfMessageFont;
        // The system gives the font at the system DPI; the form may be on another one.
        font.lfHeight = MulDiv(font.lfHeight, dpi_, systemDpi());
    } else {
        font.lfHeight = -MulDiv(9, dpi_, 72);
        font.lfCharSet = DEFAULT_CHARSET;
        lstrcpyA(font.lfFaceName, "Tahoma");
    }
    if (font.lfHeight == 0) font.lfHeight = -MulDiv(9, dpi_, 72);
    if (style & opt::bold) font.lfWeight = FW_BOLD;
    if (style & opt::underline) font.lfUnderline = TRUE;
    if (style & opt::italic) font.lfItalic = TRUE;
    if (style & opt::large) font.lfHeight = font.lfHeight * 3 / 2;
    font.lfQuality = CLEARTYPE_QUALITY;
    Font created(CreateFontIndirectA(&font));
    if ((style & opt::bold) && !drawsBold(font)) {
        // Some installations carry a bold face that is drawn like the regular one at
        // larger sizes (only wider spaced); a face with a real bold keeps captions bold.
        lstrcpyA(font.lfFaceName, "Arial");
        created.reset(CreateFontIndirectA(&font));
    }
    HFONT handle = created.get();
    fonts_.emplace(style, std::move(created));
    return handle;
}

} // namespace kh
