#include "win32/image_strip.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kh {
namespace {

// Two 4-pixel pictures side by side: an opaque red square with a transparent border, and
// a fully opaque blue one.
StripPixels twoPictures() {
    StripPixels strip;
    strip.width = 8;
    strip.height = 4;
    strip.bgra.assign(8 * 4 * 4, 0);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            std::uint8_t* p = &strip.bgra[(static_cast<std::size_t>(y) * 8 + x) * 4];
            if (x >= 4) {
                p[0] = 255, p[3] = 255; // blue
            } else if (x >= 1 && x <= 2 && y >= 1 && y <= 2) {
                p[2] = 255, p[3] = 255; // red, inside a transparent frame
            }
        }
    }
    return strip;
}

const std::uint8_t* at(const StripPixels& s, int x, int y) {
    return &s.bgra[(static_cast<std::size_t>(y) * s.width + x) * 4];
}

TEST(ImageStrip, ScalingKeepsEachPictureInItsPlaceWithItsTransparency) {
    const StripPixels scaled = scaleStrip(twoPictures(), 4, 6);
    ASSERT_EQ(12, scaled.width);
    ASSERT_EQ(6, scaled.height);
    // Corners stay transparent, the centre keeps its colour at full strength: no dark
    // fringe from mixing with the transparent black around it.
    EXPECT_EQ(0, at(scaled, 0, 0)[3]);
    EXPECT_EQ(0, at(scaled, 5, 5)[3]);
    EXPECT_EQ(255, at(scaled, 2, 2)[2]);
    EXPECT_GT(at(scaled, 2, 2)[3], 200);
    // The second picture does not bleed into the first and stays solid blue.
    for (int y = 0; y < 6; ++y) {
        EXPECT_EQ(255, at(scaled, 6, y)[0]);
        EXPECT_EQ(255, at(scaled, 11, y)[3]);
        EXPECT_EQ(0, at(scaled, 5, y)[0]) << y;
    }
    // The same size is returned as it was.
    EXPECT_EQ(twoPictures().bgra, scaleStrip(twoPictures(), 4, 4).bgra);
}

TEST(ImageStrip, GreyedPicturesHaveNoColourAndHalfTheOpacity) {
    const StripPixels grey = greyedStrip(twoPictures());
    for (int x = 0; x < 8; ++x) {
        const std::uint8_t* p = at(grey, x, 1);
        EXPECT_EQ(p[0], p[1]);
        EXPECT_EQ(p[1], p[2]);
    }
    EXPECT_EQ(127, at(grey, 5, 0)[3]);
    EXPECT_EQ(0, at(grey, 0, 0)[3]);
}

} // namespace
} // namespace kh
