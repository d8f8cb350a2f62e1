// At 144 DPI the pictures that go with the text are half as large again as at 96 DPI,
// like the text and the controls around them.
#include "main_window_fixture.h"

#include "entries_feature.h"
#include "help_feature.h"
#include "image_ids.h"
#include "tfrm_add_item.h"
#include "tfrm_tip.h"
#include "win32/image_strip.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdint>
#include <cstdlib>
#include <set>

namespace kh::test {
namespace {

class HighDpiTest : public MainWindowFixture {
  protected:
    ~HighDpiTest() override { TForm::setDpiOverride(0); }

    struct Sizes {
        SIZE wizardPicture{};
        SIZE rowIcon{};
        SIZE largeRowIcon{};
        SIZE bulb{};
    };

    static SIZE iconSize(HIMAGELIST images) {
        int width = 0;
        int height = 0;
        if (images) ImageList_GetIconSize(images, &width, &height);
        return {width, height};
    }

    Sizes picturesAt(int dpi) {
        closeWindow();
        TForm::setDpiOverride(dpi);
        openWindow();
        EXPECT_EQ(dpi, main_->scale(96));
        Sizes sizes;
        TfrmAddItem& wizard =
            dynamic_cast<EntriesFeature&>(*main_->feature(Feature::Entries)).wizard();
        EXPECT_TRUE(wizard.create());
        BITMAP picture{};
        if (wizard.picture()) GetObjectA(wizard.picture(), sizeof picture, &picture);
        sizes.wizardPicture = {picture.bmWidth, std::abs(picture.bmHeight)};
        sizes.rowIcon = iconSize(ListView_GetImageList(list(EntryView::lvPassword), LVSIL_SMALL));
        sizes.largeRowIcon =
            iconSize(ListView_GetImageList(list(EntryView::lvPassword), LVSIL_NORMAL));
        TfrmTip& tip = dynamic_cast<HelpFeature&>(*main_->feature(Feature::Help)).tipWindow();
        EXPECT_TRUE(tip.create());
        sizes.bulb = iconSize(tip.bulbImages());
        return sizes;
    }
};

TEST_F(HighDpiTest, TheWizardPictureRowIconsAndTipBulbGrowByHalfAt144Dpi) {
    const Sizes normal = picturesAt(96);
    const Sizes large = picturesAt(144);
    const struct {
        const char* what;
        SIZE at96;
        SIZE at144;
    } pictures[] = {
        {"entry wizard picture", normal.wizardPicture, large.wizardPicture},
        {"row icon", normal.rowIcon, large.rowIcon},
        {"large row icon", normal.largeRowIcon, large.largeRowIcon},
        {"tip bulb", normal.bulb, large.bulb},
    };
    for (const auto& picture : pictures) {
        EXPECT_GT(picture.at96.cx, 0) << picture.what;
        EXPECT_EQ(MulDiv(picture.at96.cx, 3, 2), picture.at144.cx) << picture.what;
        EXPECT_EQ(MulDiv(picture.at96.cy, 3, 2), picture.at144.cy) << picture.what;
    }
    EXPECT_EQ(120, normal.wizardPicture.cx);
    EXPECT_EQ(16, normal.rowIcon.cx);
    EXPECT_EQ(32, normal.bulb.cx);
}

// Scaled up smoothly: between two neighbouring colours of the picture the larger one has
// blends, not only copies of the two.
TEST_F(HighDpiTest, TheWizardPictureIsResampledNotRepeated) {
    const StripPixels at96 = loadPicturePixels(GetModuleHandleA(nullptr), IDB_WIZARD);
    ASSERT_EQ(120, at96.width);
    const StripPixels at144 = scalePicture(at96, 180, 353);
    ASSERT_EQ(180 * 353 * 4, static_cast<int>(at144.bgra.size()));
    std::set<std::uint32_t> colours96;
    std::set<std::uint32_t> colours144;
    const auto collect = [](const StripPixels& p, std::set<std::uint32_t>& into) {
        for (std::size_t i = 0; i + 3 < p.bgra.size(); i += 4) {
            EXPECT_EQ(0xFF, p.bgra[i + 3]);
            into.insert(p.bgra[i] | p.bgra[i + 1] << 8 | p.bgra[i + 2] << 16);
        }
    };
    collect(at96, colours96);
    collect(at144, colours144);
    EXPECT_GT(colours144.size(), colours96.size());
}

} // namespace
} // namespace kh::test
