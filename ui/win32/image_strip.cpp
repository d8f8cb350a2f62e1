#include "win32/image_strip.h"

#include "win32/gdi.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kh {

StripPixels loadStripPixels(HINSTANCE module, int resource) {
    StripPixels out;
    Bitmap bitmap(static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    DIBSECTION section{};
    if (!bitmap || GetObjectA(bitmap.get(), sizeof section, &section) != sizeof section ||
        section.dsBm.bmBitsPixel != 32 || !section.dsBm.bmBits)
        return out;
    out.width = section.dsBm.bmWidth;
    out.height = std::abs(section.dsBm.bmHeight);
    out.bgra.resize(static_cast<std::size_t>(out.width) * out.height * 4);
    const bool bottomUp = section.dsBm.bmHeight > 0;
    const auto* from = static_cast<const std::uint8_t*>(section.dsBm.bmBits);
    for (int y = 0; y < out.height; ++y) {
        const int row = bottomUp ? out.height - 1 - y : y;
        std::memcpy(&out.bgra[static_cast<std::size_t>(y) * out.width * 4],
                    from + static_cast<std::ptrdiff_t>(row) * section.dsBm.bmWidthBytes,
                    static_cast<std::size_t>(out.width) * 4);
    }
    return out;
}

namespace {

// Resamples the `fromW` x `fromH` picture at column `fromX` of `from` into the `toW` x `toH`
// picture at column `toX` of `to` (bilinear, on premultiplied colour so that transparent
// edges do not darken).
void resample(const StripPixels& from, int fromX, int fromW, int fromH, StripPixels& to, int toX,
              int toW, int toH) {
    const double stepX = static_cast<double>(fromW) / toW;
    const double stepY = static_cast<double>(fromH) / toH;
    const auto pixel = [&](int x, int y, int channel) -> double {
        x = std::clamp(x, 0, from.width - 1);
        y = std::clamp(y, 0, from.height - 1);
        const std::uint8_t* p = &from.bgra[(static_cast<std::size_t>(y) * from.width + x) * 4];
        return channel == 3 ? p[3] : p[channel] * (p[3] / 255.0);
    };
    for (int ty = 0; ty < toH; ++ty) {
        const double sy = std::clamp((ty + 0.5) * stepY - 0.5, 0.0, fromH - 1.0);
        const int y0 = static_cast<int>(sy);
        const int y1 = std::min(y0 + 1, fromH - 1);
        const double fy = sy - y0;
        for (int tx = 0; tx < toW; ++tx) {
            const double sx = std::clamp((tx + 0.5) * stepX - 0.5, 0.0, fromW - 1.0);
            const int x0 = static_cast<int>(sx);
            const int x1 = std::min(x0 + 1, fromW - 1);
            const double fx = sx - x0;
            double values[4];
            for (int c = 0; c < 4; ++c) {
                const double top =
                    pixel(fromX + x0, y0, c) * (1 - fx) + pixel(fromX + x1, y0, c) * fx;
                const double bottom =
                    pixel(fromX + x0, y1, c) * (1 - fx) + pixel(fromX + x1, y1, c) * fx;
                values[c] = top * (1 - fy) + bottom * fy;
            }
            std::uint8_t* out = &to.bgra[(static_cast<std::size_t>(ty) * to.width + toX + tx) * 4];
            const double alpha = values[3];
            for (int c = 0; c < 3; ++c) {
                const double straight = alpha > 0 ? values[c] * 255.0 / alpha : 0;
                out[c] = static_cast<std::uint8_t>(std::clamp(std::lround(straight), 0L, 255L));
            }
            out[3] = static_cast<std::uint8_t>(std::clamp(std::lround(alpha), 0L, 255L));
        }
    }
}

} // namespace

StripPixels scaleStrip(const StripPixels& strip, int size, int target) {
    if (size <= 0 || target <= 0 || size == target || strip.bgra.empty()) return strip;
    const int count = strip.width / size;
    StripPixels out;
    out.width = count * target;
    out.height = target;
    out.bgra.assign(static_cast<std::size_t>(out.width) * out.height * 4, 0);
    for (int image = 0; image < count; ++image)
        resample(strip, image * size, size, std::min(size, strip.height), out, image * target,
                 target, target);
    return out;
}

StripPixels scalePicture(const StripPixels& picture, int width, int height) {
    if (width <= 0 || height <= 0 || picture.bgra.empty() ||
        (width == picture.width && height == picture.height))
        return picture;
    StripPixels out;
    out.width = width;
    out.height = height;
    out.bgra.assign(static_cast<std::size_t>(width) * height * 4, 0);
    resample(picture, 0, picture.width, picture.height, out, 0, width, height);
    return out;
}

StripPixels loadPicturePixels(HINSTANCE module, int resource) {
    StripPixels out = loadStripPixels(module, resource);
    if (!out.bgra.empty()) return out;
    // A picture without alpha: its pixels as 32-bit rows, fully opaque.
    Bitmap bitmap(static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(resource), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap.get(), sizeof info, &info) || info.bmWidth <= 0 ||
        info.bmHeight == 0)
        return out;
    const int width = info.bmWidth;
    const int height = std::abs(info.bmHeight);
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * height * 4);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height; // top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap.get(), 0, static_cast<UINT>(height), bgra.data(),
                               &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) return out;
    for (std::size_t i = 3; i < bgra.size(); i += 4)
        bgra[i] = 0xFF;
    out.width = width;
    out.height = height;
    out.bgra = std::move(bgra);
    return out;
}

HBITMAP bitmapOf(const StripPixels& pixels) {
    if (pixels.bgra.empty()) return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = createDib32(pixels.width, pixels.height, &bits);
    if (bitmap && bits) std::memcpy(bits, pixels.bgra.data(), pixels.bgra.size());
    return bitmap;
}

StripPixels greyedStrip(const StripPixels& strip) {
    StripPixels out = strip;
    for (std::size_t i = 0; i + 3 < out.bgra.size(); i += 4) {
        std::uint8_t* p = &out.bgra[i];
        const int grey = (p[0] * 11 + p[1] * 59 + p[2] * 30) / 100;
        // Lighter and fainter than the picture itself.
        const auto light = static_cast<std::uint8_t>(128 + grey / 2);
        p[0] = p[1] = p[2] = light;
        p[3] = static_cast<std::uint8_t>(p[3] / 2);
    }
    return out;
}

HIMAGELIST imageListOf(const StripPixels& strip, int size, int target) {
    if (strip.bgra.empty() || size <= 0) return nullptr;
    const StripPixels scaled = scaleStrip(strip, size, target);
    void* bits = nullptr;
    Bitmap bitmap(createDib32(scaled.width, scaled.height, &bits));
    if (!bitmap || !bits) return nullptr;
    std::memcpy(bits, scaled.bgra.data(), scaled.bgra.size());
    HIMAGELIST list = ImageList_Create(target, target, ILC_COLOR32, 8, 8);
    if (list) ImageList_Add(list, bitmap.get(), nullptr);
    return list;
}

} // namespace kh
