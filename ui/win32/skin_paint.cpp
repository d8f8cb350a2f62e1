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
        auto* pixel = static_cast<BYTE*>(bits);
        const int faceGrey =
            (GetRValue(face) * 30 + GetGValue(face) * 59 + GetBValue(face) * 11) / 100;
        for (int i = 0; i < width * height; ++i, pixel += 4) {
            const int grey = (pixel[2] * 30 + pixel[1] * 59 + pixel[0] * 11) / 100;
            const BYTE value = static_cast<BYTE>((grey * 2 + faceGrey * 3) / 5);
            pixel[0] = pixel[1] = pixel[2] = value;
        }
        BitBlt(dc, x, y, width, height, memory, 0, 0, SRCCOPY);
    }
    DeleteDC(memory);
}

} // namespace kh::skin_detail
