// Drawing helpers the skinned controls share, in the skin's flat style.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace kh::skin_detail {

void fillRect(HDC dc, const RECT& area, COLORREF color);

// A rounded box in the skin's flat style: one-pixel border, flat fill.
void drawBox(HDC dc, const RECT& area, COLORREF fill, COLORREF border, int radius);

// An inactive image: drawn on the face colour, then turned grey and faded towards the
// face, so it reads as unavailable whatever its colours (a plain 50% blend hardly shows
// on images with an alpha channel).
// Turns 32-bit pixels (BGRA) drawn on `face` into that inactive look in place.
void fadeToGrey(BYTE* bgra, int pixelCount, COLORREF face);

void drawInactiveImage(HDC dc, HIMAGELIST images, int index, int x, int y, int width, int height,
                       COLORREF face);

} // namespace kh::skin_detail
