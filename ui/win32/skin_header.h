// The column header of a list view painted in the skin's flat style.
#pragma once

#include <windows.h>

namespace kh {

// Takes over the painting of a header control: a flat face with a line under it and
// between the columns, each column's text in its alignment (cut with "..." when it is too
// wide) and the sort arrow its HDF_SORTUP / HDF_SORTDOWN format asks for. Clicks, sizing and
// dragging stay the control's own; only the look is ours. The system's themed header costs
// several times as much to paint, on every repaint of the list.
void useSkinHeader(HWND header);

// Paints the header into `dc` as it appears on screen (for tests and printing).
void paintSkinHeader(HWND header, HDC dc);

} // namespace kh
