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

StripPixels scaleStrip(const StripPixels& strip, int size, int target) {
    if (size <= 0 || target <= 0 || size == target || strip.bgra.empty()) return strip;
    const int count = strip.width / size;
    StripPixels out;
    out.width = count * target;
    out.height = target;
    out.bgra.assign(static_cast<std::size_t>(out.width) * out.height * 4, 0);
    const double step = static_cast<double>(size) / target;
    const auto pixel = [&](int x, int y, int channel) -> double {
        x = std::clamp(x, 0, strip.width - 1);
        y = std::clamp(y, 0, strip.height - 1);
        const std::uint8_t* p = &strip.bgra[(static_cast<std::size_t>(y) * strip.width + x) * 4];
        // Colour is interpolated premultiplied by its alpha.
        return channel == 3 ? p[3] : p[channel] * (p[3] / 255.0);
    };
    for (int image = 0; image < count; ++image) {
        for (int ty = 0; ty < target; ++ty) {
            const double sy = std::clamp((ty + 0.5) * step - 0.5, 0.0, size - 1.0);
            const int y0 = static_cast<int>(sy);
            const int y1 = std::min(y0 + 1, size - 1);
            const double fy = sy - y0;
            for (int tx = 0; tx < target; ++tx) {
                const double sx = std::clamp((tx + 0.5) * step - 0.5, 0.0, size - 1.0);
                const int x0 = static_cast<int>(sx);
                const int x1 = std::min(x0 + 1, size - 1);
                const double fx = sx - x0;
                const int base = image * size;
                double values[4];
                for (int c = 0; c < 4; ++c) {
                    const double top =
                        pixel(base + x0, y0, c) * (1 - fx) + pixel(base + x1, y0, c) * fx;
                    const double bottom =
                        pixel(base + x0, y1, c) * (1 - fx) + pixel(base + x1, y1, c) * fx;
                    values[c] = top * (1 - fy) + bottom * fy;
                }
                std::uint8_t* to =
                    &out.bgra[(static_cast<std::size_t>(ty) * out.width + image * target + tx) * 4];
                const double alpha = values[3];
                for (int c = 0; c < 3; ++c) {
                    const double straight = alpha > 0 ? values[c] * 255.0 / alpha : 0;
                    to[c] = static_cast<std::uint8_t>(std::clamp(std::lround(straight), 0L, 255L));
                }
                to[3] = static_cast<std::uint8_t>(std::clamp(std::lround(alpha), 0L, 255L));
            }
        }
    }
    return out;
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
