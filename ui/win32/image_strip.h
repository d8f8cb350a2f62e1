// Strips of equal square 32-bit pictures with straight alpha (the program's bitmap
// resources), turned into image lists at the size a window's DPI asks for, and greyed
// copies for disabled items.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <vector>

namespace kh {

// Pixels of a strip, BGRA rows top-down, straight alpha.
struct StripPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;
};

// Each `size`-pixel picture of the strip resampled to `target` pixels (bilinear, on
// premultiplied colour so transparent edges do not darken).
StripPixels scaleStrip(const StripPixels& strip, int size, int target);
// The whole picture resampled to `width` x `height` (bilinear, as above).
StripPixels scalePicture(const StripPixels& picture, int width, int height);
// Grey, half as opaque: how a disabled item's picture looks.
StripPixels greyedStrip(const StripPixels& strip);

// The resource's pixels; empty when it is not a 32-bit bitmap.
StripPixels loadStripPixels(HINSTANCE module, int resource);
// Any bitmap resource's pixels; a picture without alpha (24-bit) comes fully opaque.
StripPixels loadPicturePixels(HINSTANCE module, int resource);
// A 32-bit DIB section holding the pixels; null when there are none.
HBITMAP bitmapOf(const StripPixels& pixels);
// An image list of the strip's pictures at `target` pixels (the resource holds them at
// `size`); null when the resource is missing.
HIMAGELIST imageListOf(const StripPixels& strip, int size, int target);

} // namespace kh
