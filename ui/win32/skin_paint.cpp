#include "win32/skin_paint.h"

#include "win32/gdi.h"

namespace kh::skin_detail {

void fillRect(HDC dc, const RECT& area, COLORREF color) {
    SetDCBrushColor(dc, color);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void drawBox(HDC dc, const RECT& area, COLORREF fill, COLORREF border, int radius) {
    SelectGuard pen(dc, GetStockObject(DC_PEN));
    SelectGuard brush(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, border);
    SetDCBrushColor(dc, fill);
    RoundRect(dc, area.left, area.top, area.right, area.bottom, radius, radius);
}

void fadeToGrey(BYTE* bgra, int pixelCount, COLORREF face) {
    const int faceGrey = (GetRValue(face) * 30 + GetGValue(face) * 59 + GetBValue(face) * 11) / 100;
    for (int i = 0; i < pixelCount; ++i, bgra += 4) {
        const int grey = (bgra[2] * 30 + bgra[1] * 59 + bgra[0] * 11) / 100;
        bgra[0] = bgra[1] = bgra[2] = static_cast<BYTE>((grey * 2 + faceGrey * 3) / 5);
    }
}

void drawInactiveImage(HDC dc, HIMAGELIST images, int index, int x, int y, int width, int height,
                       COLORREF face) {
    void* bits = nullptr;
    Bitmap dib(createDib32(width, height, &bits));
    if (!dib || !bits) return;
    HDC memory = CreateCompatibleDC(dc);
    {
        SelectGuard select(memory, dib.get());
        RECT all{0, 0, width, height};
        Brush faceBrush(CreateSolidBrush(face));
        FillRect(memory, &all, faceBrush.get());
        ImageList_Draw(images, index, memory, 0, 0, ILD_TRANSPARENT);
        GdiFlush();
        fadeToGrey(static_cast<BYTE*>(bits), width * height, face);
        BitBlt(dc, x, y, width, height, memory, 0, 0, SRCCOPY);
    }
    DeleteDC(memory);
}

} // namespace kh::skin_detail
