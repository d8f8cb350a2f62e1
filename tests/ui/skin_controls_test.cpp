// The skinned controls in a real form, driven by mouse and key messages.
#include "ui_test_support.h"

#include "win32/form.h"
#include "win32/skin_controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh {
namespace {

using test::click;
using test::keyDown;

const ControlDef kControls[] = {
    {.name = "sbInactive",
     .kind = ControlKind::SkinButton,
     .caption = "&Back",
     .x = 8,
     .y = 8,
     .width = 75,
     .height = 25,
     .options = opt::inactive,
     .modalResult = ModalResult::Ok},
    {.name = "cbGuard",
     .kind = ControlKind::SkinCheckBox,
     .caption = "Password &Guard",
     .x = 8,
     .y = 40,
     .width = 150,
     .height = 20},
    {.name = "rbNew",
     .kind = ControlKind::SkinRadioBox,
     .caption = "Create New Account",
     .x = 8,
     .y = 64,
     .width = 160,
     .height = 20,
     .options = opt::checked},
    {.name = "rbImport",
     .kind = ControlKind::SkinRadioBox,
     .caption = "Import Existing Account",
     .x = 8,
     .y = 88,
     .width = 160,
     .height = 20},
    {.name = "plOther", .kind = ControlKind::Panel, .x = 180, .y = 60, .width = 170, .height = 60},
    {.name = "rbOtherA",
     .kind = ControlKind::SkinRadioBox,
     .caption = "A",
     .x = 4,
     .y = 4,
     .width = 100,
     .height = 20,
     .parent = "plOther",
     .options = opt::checked},
    {.name = "rbOtherB",
     .kind = ControlKind::SkinRadioBox,
     .caption = "B",
     .x = 4,
     .y = 28,
     .width = 100,
     .height = 20,
     .parent = "plOther"},
    {.name = "mTabType",
     .kind = ControlKind::TabControl,
     .x = 8,
     .y = 130,
     .width = 65,
     .height = 270},
    {.name = "abButterFly",
     .kind = ControlKind::AnimatedButton,
     .x = 100,
     .y = 130,
     .width = 24,
     .height = 24},
    {.name = "pbCaption",
     .kind = ControlKind::PaintButton,
     .x = 140,
     .y = 130,
     .width = 200,
     .height = 23},
    {.name = "sbGlyph",
     .kind = ControlKind::BitmapButton,
     .x = 140,
     .y = 160,
     .width = 24,
     .height = 24},
    {.name = "tbStyle",
     .kind = ControlKind::ToolButton,
     .hint = "Change View Style",
     .x = 140,
     .y = 190,
     .width = 36,
     .height = 24},
};

class HostForm : public TForm {
  public:
    HostForm()
        : TForm(FormDesign{.className = "TfrmSkinHost",
                           .caption = "Skinned controls",
                           .clientWidth = 360,
                           .clientHeight = 410},
                kControls) {}
};

class SkinnedControls : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(form.create());
        form.show();
    }
    HostForm form;
};

TEST_F(SkinnedControls, InactiveButtonIgnoresClicksAndKeys) {
    auto& button = form.get<QSkinButton>("sbInactive");
    int clicks = 0;
    button.OnClick = [&] { ++clicks; };
    click(button.handle());
    keyDown(button.handle(), VK_SPACE);
    keyDown(button.handle(), VK_RETURN);
    button.click();
    EXPECT_EQ(0, clicks);
    EXPECT_EQ(ModalResult::None, form.modalResult());
    EXPECT_FALSE(button.canFocus());

    button.setActive(true);
    click(button.handle());
    keyDown(button.handle(), VK_SPACE);
    EXPECT_EQ(2, clicks);
    EXPECT_EQ(ModalResult::Ok, form.modalResult());

    // A hidden button ignores its keys as well.
    button.setVisible(false);
    keyDown(button.handle(), VK_SPACE);
    EXPECT_EQ(2, clicks);
}

// Whatever the control, a press is a click only when the button goes up over it, and
// afterwards the control holds neither the mouse capture nor its pressed face.
TEST_F(SkinnedControls, PressIsAClickOnlyWhenReleasedOverTheControl) {
    enum class Release { Inside, Outside, WithoutPress };
    struct Case {
        const char* control;
        Release release;
        int clicks;
    };
    const Case cases[] = {
        {"sbGlyph", Release::Inside, 1},       {"sbGlyph", Release::Outside, 0},
        {"sbGlyph", Release::WithoutPress, 0}, {"cbGuard", Release::Inside, 1},
        {"cbGuard", Release::Outside, 0},      {"tbStyle", Release::Inside, 1},
        {"tbStyle", Release::Outside, 0},      {"tbStyle", Release::WithoutPress, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.control) + " released " +
                     (c.release == Release::Inside    ? "inside"
                      : c.release == Release::Outside ? "outside"
                                                      : "without a press"));
        auto& control = form.get<QBaseControl>(c.control);
        const HWND hwnd = control.handle();
        int clicks = 0;
        control.OnClick = [&] { ++clicks; };
        RECT client;
        GetClientRect(hwnd, &client);
        const LPARAM inside = MAKELPARAM(4, 4);
        const LPARAM outside = MAKELPARAM(client.right + 10, 4);
        if (c.release != Release::WithoutPress) {
            SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, inside);
            EXPECT_TRUE(control.isPressed());
            EXPECT_EQ(hwnd, GetCapture());
        }
        SendMessageA(hwnd, WM_LBUTTONUP, 0, c.release == Release::Outside ? outside : inside);
        EXPECT_EQ(c.clicks, clicks);
        EXPECT_FALSE(control.isPressed());
        EXPECT_NE(hwnd, GetCapture());
        control.OnClick = nullptr;
    }
}

TEST_F(SkinnedControls, CheckBoxTogglesOnEveryClick) {
    auto& box = form.get<QCheckBox>("cbGuard");
    int changes = 0;
    box.OnChange = [&] { ++changes; };
    EXPECT_FALSE(box.checked());
    click(box.handle());
    EXPECT_TRUE(box.checked());
    keyDown(box.handle(), VK_SPACE);
    EXPECT_FALSE(box.checked());
    EXPECT_EQ(2, changes);
    box.setActive(false);
    click(box.handle());
    EXPECT_FALSE(box.checked());
}

TEST_F(SkinnedControls, RadioBoxClearsOnlyItsSiblingsAndNeverUnchecksOnClick) {
    auto& newAccount = form.get<QRadioBox>("rbNew");
    auto& import = form.get<QRadioBox>("rbImport");
    auto& otherA = form.get<QRadioBox>("rbOtherA");
    auto& otherB = form.get<QRadioBox>("rbOtherB");

    click(import.handle());
    EXPECT_TRUE(import.checked());
    EXPECT_FALSE(newAccount.checked());
    EXPECT_TRUE(otherA.checked()); // another parent: untouched

    click(import.handle());
    EXPECT_TRUE(import.checked());

    newAccount.setChecked(true);
    EXPECT_FALSE(import.checked());

    click(otherB.handle());
    EXPECT_TRUE(otherB.checked());
    EXPECT_FALSE(otherA.checked());
    EXPECT_TRUE(newAccount.checked());
}

class TabStrip : public SkinnedControls {
  protected:
    void SetUp() override {
        SkinnedControls::SetUp();
        tabs().setOrientation(TabOrientation::Vertical);
        tabs().setTabWidth(65);
        tabs().setTabs({"ALL", "Password", "Link", "Text"});
        tabs().OnChanging = [this](int index) {
            asked.push_back(index);
            return index != refuse;
        };
        tabs().OnChange = [this] { changedTo.push_back(tabs().tabIndex()); };
    }
    QTabControl& tabs() { return form.get<QTabControl>("mTabType"); }
    void pressTab(int index) {
        const RECT r = tabs().tabRect(index);
        test::clickAt(tabs().handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    int refuse = -1;
    std::vector<int> asked;
    std::vector<int> changedTo;
};

TEST_F(TabStrip, PressAsksThenChangesAndAVetoKeepsTheTab) {
    EXPECT_EQ(0, tabs().tabIndex());
    pressTab(2);
    EXPECT_EQ(2, tabs().tabIndex());
    refuse = 3;
    pressTab(3);
    EXPECT_EQ(2, tabs().tabIndex());
    pressTab(1);
    EXPECT_EQ((std::vector<int>{2, 3, 1}), asked);
    EXPECT_EQ((std::vector<int>{2, 1}), changedTo);

    // Vertical strip: tabs are stacked, each 65 units high.
    const RECT second = tabs().tabRect(1);
    EXPECT_EQ(form.scale(65), second.top);
    EXPECT_EQ(form.scale(130), second.bottom);
}

TEST_F(TabStrip, IndexOutsideTheTabsIsIgnored) {
    tabs().setTabIndex(3);
    EXPECT_EQ(3, tabs().tabIndex());
    for (int index : {4, 7, -1}) {
        tabs().setTabIndex(index);
        EXPECT_FALSE(tabs().selectTab(index));
        EXPECT_EQ(3, tabs().tabIndex());
    }
    EXPECT_TRUE(asked.empty());
}

TEST_F(TabStrip, OwnerDrawsEveryTab) {
    std::vector<int> drawn;
    tabs().OnDrawTab = [&](HDC, int index, const RECT&, bool selected, bool) {
        drawn.push_back(selected ? index + 100 : index);
    };
    UpdateWindow(tabs().handle()); // paints what is pending
    drawn.clear();
    RedrawWindow(tabs().handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ((std::vector<int>{100, 1, 2, 3}), drawn);
}

TEST_F(SkinnedControls, AnimatedButtonAdvancesWithTimeAndStops) {
    ImageList images(ImageList_Create(16, 16, ILC_COLOR24, 22, 0));
    ASSERT_TRUE(ImageList_SetImageCount(images.get(), 22));
    auto& logo = form.get<QAnimatedButton>("abButterFly");
    logo.setImages(images.get());
    logo.setInterval(20);
    test::pumpFor(100);
    EXPECT_EQ(0, logo.frame()); // not started

    logo.start();
    EXPECT_TRUE(logo.isRunning());
    test::pumpFor(300);
    const int moved = logo.frame();
    EXPECT_GT(moved, 1);

    logo.stop();
    EXPECT_FALSE(logo.isRunning());
    test::pumpFor(150);
    EXPECT_EQ(moved, logo.frame());

    // The cycle wraps at the end of the list.
    logo.setFrame(21);
    logo.start();
    test::pumpFor(60);
    logo.stop();
    EXPECT_LT(logo.frame(), 21);
    logo.setImages(nullptr);
}

TEST_F(SkinnedControls, PaintButtonReportsPaintingAndTheMouse) {
    auto& caption = form.get<TPaintButton>("pbCaption");
    std::vector<std::string> events;
    caption.OnPaint = [&](HDC, const RECT& area) {
        events.push_back("paint " + std::to_string(area.right));
    };
    caption.OnMouseEnter = [&] { events.push_back("enter"); };
    caption.OnMouseLeave = [&] { events.push_back("leave"); };
    caption.OnMouseDown = [&](int x, int y) {
        events.push_back("down " + std::to_string(x) + "," + std::to_string(y));
    };
    UpdateWindow(caption.handle());
    events.clear();
    RedrawWindow(caption.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    SendMessageA(caption.handle(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 5));
    SendMessageA(caption.handle(), WM_MOUSEMOVE, 0, MAKELPARAM(12, 5));
    SendMessageA(caption.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 5));
    SendMessageA(caption.handle(), WM_LBUTTONUP, 0, MAKELPARAM(12, 5));
    SendMessageA(caption.handle(), WM_MOUSELEAVE, 0, 0);
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ("paint " + std::to_string(form.scale(200)), events[0]);
    EXPECT_EQ("enter", events[1]);
    EXPECT_EQ("down 12,5", events[2]);
    EXPECT_EQ("leave", events.back());
}

TEST_F(SkinnedControls, BitmapButtonShowsTheFrameOfItsState) {
    auto& glyph = form.get<QBitmapButton>("sbGlyph");
    {
        WindowDc screen(nullptr);
        glyph.setGlyph(Bitmap(CreateCompatibleBitmap(screen.get(), 64, 16)), 4);
    }
    EXPECT_EQ(0, glyph.frameShown());
    SendMessageA(glyph.handle(), WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    EXPECT_EQ(1, glyph.frameShown());
    SendMessageA(glyph.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    EXPECT_EQ(2, glyph.frameShown());
    SendMessageA(glyph.handle(), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    glyph.setActive(false);
    EXPECT_EQ(3, glyph.frameShown());
    // A strip with fewer frames falls back to the first.
    {
        WindowDc screen(nullptr);
        glyph.setGlyph(Bitmap(CreateCompatibleBitmap(screen.get(), 32, 16)), 2);
    }
    EXPECT_EQ(0, glyph.frameShown());
}

TEST_F(SkinnedControls, ToolButtonRunsItsClickOrItsDropDown) {
    auto& tool = form.get<TToolButton>("tbStyle");
    EXPECT_EQ(ComponentKind::ToolButton, tool.componentKind());
    int clicks = 0;
    int drops = 0;
    tool.OnDropDown = [&] { ++drops; };
    click(tool.handle()); // no OnClick: the whole button opens the menu
    tool.OnClick = [&] { ++clicks; };
    tool.setDropDown(true);
    click(tool.handle());
    RECT client;
    GetClientRect(tool.handle(), &client);
    test::clickAt(tool.handle(), client.right - 3, 4);
    EXPECT_EQ(1, clicks);
    EXPECT_EQ(2, drops);
}

} // namespace
} // namespace kh
