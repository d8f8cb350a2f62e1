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
#include <map>
#include <set>
#include <string>

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

// What a window looks like at one DPI: its client size, and every control's place in its
// parent and the height of the font it draws with.
struct Layout {
    SIZE window{};
    SIZE client{};
    std::map<std::string, RECT> places;
    std::map<std::string, LONG> fontHeights;
    SIZE rowIcon{};
};

Layout layoutOf(const TForm& form) {
    Layout layout;
    RECT r{};
    GetWindowRect(form.handle(), &r);
    layout.window = {r.right - r.left, r.bottom - r.top};
    GetClientRect(form.handle(), &r);
    layout.client = {r.right, r.bottom};
    for (const auto& control : form.controls()) {
        HWND hwnd = control->handle();
        if (!hwnd) continue;
        RECT place{};
        GetWindowRect(hwnd, &place);
        MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&place), 2);
        layout.places[control->name()] = place;
        LOGFONTA font{};
        HFONT handle = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
        if (!handle) handle = control->captionFont();
        if (handle && GetObjectA(handle, sizeof font, &font)) layout.fontHeights[control->name()] = font.lfHeight;
    }
    return layout;
}

class DpiChangeTest : public HighDpiTest {
  protected:
    // Every window of the program, created at `dpi`.
    std::vector<TForm*> formsAt(int dpi) {
        closeWindow();
        TForm::setDpiOverride(dpi);
        openWindow();
        for (int f = 0; f < static_cast<int>(Feature::Count); ++f)
            if (FeatureHandler* handler = main_->feature(static_cast<Feature>(f)))
                handler->createWindows();
        return TForm::openForms();
    }
};

// A window that moves to a screen of another DPI looks as one made there: Windows sends
// WM_DPICHANGED with the size it suggests, and every control takes the place and font it
// has in a window created at that DPI, the pictures included.
TEST_F(DpiChangeTest, EveryWindowMovedTo144DpiIsLaidOutAsOneMadeThere) {
    std::map<std::string, Layout> made;
    for (TForm* form : formsAt(144)) made[form->className()] = layoutOf(*form);
    const SIZE rowIcons144 = iconSize(ListView_GetImageList(list(EntryView::lvPassword), LVSIL_SMALL));
    ASSERT_GE(made.size(), 10u);

    const std::vector<TForm*> forms = formsAt(96);
    ASSERT_EQ(made.size(), forms.size());
    for (TForm* form : forms) {
        SCOPED_TRACE(form->className());
        const Layout& there = made.at(form->className());
        RECT r{};
        GetWindowRect(form->handle(), &r);
        RECT suggested{r.left, r.top, r.left + there.window.cx, r.top + there.window.cy};
        SendMessageA(form->handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144),
                     reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(144, form->dpi());
        const Layout moved = layoutOf(*form);
        EXPECT_EQ(there.client.cx, moved.client.cx);
        EXPECT_EQ(there.client.cy, moved.client.cy);
        for (const auto& [name, place] : there.places) {
            const RECT& now = moved.places.at(name);
            // Within two pixels: Wine sizes an etched line itself when it is made, by its
            // frame, but not when it is moved.
            const bool same = std::abs(place.left - now.left) <= 2 &&
                              std::abs(place.top - now.top) <= 2 &&
                              std::abs(place.right - now.right) <= 2 &&
                              std::abs(place.bottom - now.bottom) <= 2;
            EXPECT_TRUE(same)
                << name << ": made at 144 DPI " << place.left << "," << place.top << " "
                << place.right - place.left << "x" << place.bottom - place.top << ", moved there "
                << now.left << "," << now.top << " " << now.right - now.left << "x"
                << now.bottom - now.top;
        }
        EXPECT_EQ(there.fontHeights, moved.fontHeights);
    }
    const SIZE rowIcons = iconSize(ListView_GetImageList(list(EntryView::lvPassword), LVSIL_SMALL));
    EXPECT_EQ(rowIcons144.cx, rowIcons.cx);
    TfrmTip& tip = dynamic_cast<HelpFeature&>(*main_->feature(Feature::Help)).tipWindow();
    EXPECT_EQ(MulDiv(32, 3, 2), iconSize(tip.bulbImages()).cx);
    TfrmAddItem& wizard = dynamic_cast<EntriesFeature&>(*main_->feature(Feature::Entries)).wizard();
    BITMAP picture{};
    ASSERT_TRUE(wizard.picture() && GetObjectA(wizard.picture(), sizeof picture, &picture));
    EXPECT_EQ(180, picture.bmWidth);
}

} // namespace
} // namespace kh::test
