// The tip window: its design and texts, which tip showTip opens, Previous and Next by
// button and key, tips from a language collected once, the "Show at startup" box editing
// the setting, the ways to close it, and no tip while a browser request is served.
#include "language.h"
#include "tfrm_tip.h"
#include "win32/skin_controls.h"
#include "window_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace kh::test {
namespace {

class TipWindowTest : public ::testing::Test {
  protected:
    // As the program does: every form is translated once its controls exist.
    void SetUp() override {
        TForm::onFormCreated() = [this](TForm& form) {
            language_.translateWindow(&form, form.className(), true);
        };
    }
    void TearDown() override {
        tip_.reset();
        TForm::onFormCreated() = nullptr;
    }

    TfrmTip& tip() {
        if (!tip_)
            tip_ =
                std::make_unique<TfrmTip>(language_, showAtStartup_, [this] { return serving_; });
        return *tip_;
    }
    HWND control(const char* name) { return tip().get<TControl>(name).handle(); }
    std::string shownTip() { return windowText(control("stTip")); }
    std::string tipText(int index) { return tip().tips().tips()[static_cast<std::size_t>(index)]; }

    QLanguage language_;
    bool showAtStartup_ = true;
    bool serving_ = false;
    std::unique_ptr<TfrmTip> tip_;
};

TEST_F(TipWindowTest, DesignTextsEnterTheLanguage) {
    ASSERT_TRUE(tip().showTip(0));
    HWND hwnd = tip().handle();
    EXPECT_EQ(hwnd, FindWindowA("TfrmTip", nullptr));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ("Tip of the Day", windowText(hwnd));
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(tip().scale(342), client.right);
    EXPECT_EQ(tip().scale(187), client.bottom);
    const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ("https://keyhaven.example.org", windowText(control("stLink")));
    EXPECT_EQ("Did you know ...", windowText(control("Label1")));

    const std::vector<std::string>* lines = language_.defaultTemplate();
    ASSERT_NE(nullptr, lines);
    for (const char* line :
         {"TfrmTip = Tip of the Day", "TfrmTip.Label1 = Did you know ...",
          "TfrmTip.cbStartup = &Show at startup", "TfrmTip.sbPrevious = &Previous",
          "TfrmTip.sbNext = &Next", "TfrmTip.sbClose = &Close"})
        EXPECT_NE(lines->end(), std::find(lines->begin(), lines->end(), line)) << line;
}

TEST_F(TipWindowTest, ShowTipOpensTheWrappedIndexAndSwitchesAnOpenWindow) {
    const std::pair<int, int> cases[] = {{1, 1}, {20, 2}, {-1, 8}, {9, 0}, {-12, 6}};
    for (const auto& [index, shown] : cases) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(tip().showTip(index));
        EXPECT_EQ(9, tip().tips().count());
        EXPECT_EQ(shown, tip().tips().current());
        EXPECT_EQ(tipText(shown), shownTip());
        EXPECT_TRUE(tip().isVisible());
        EXPECT_EQ(1, countWindows("TfrmTip"));
    }
}

TEST_F(TipWindowTest, PreviousAndNextWrapBothWaysByButtonAndKey) {
    ASSERT_TRUE(tip().showTip(0));
    enum class Press { Previous, Next, AltP, AltN };
    const std::pair<Press, int> steps[] = {
        {Press::Previous, 8}, {Press::Next, 0}, {Press::AltN, 1},
        {Press::AltP, 0},     {Press::AltP, 8}, {Press::AltN, 0},
    };
    for (const auto& [press, shown] : steps) {
        switch (press) {
        case Press::Previous:
            click(control("sbPrevious"));
            break;
        case Press::Next:
            click(control("sbNext"));
            break;
        case Press::AltP:
            altKey(control("sbClose"), 'P');
            break;
        case Press::AltN:
            altKey(control("sbClose"), 'N');
            break;
        }
        EXPECT_EQ(shown, tip().tips().current());
        EXPECT_EQ(tipText(shown), shownTip());
    }
    EXPECT_TRUE(tip().isVisible());
}

TEST_F(TipWindowTest, TipsComeFromTheLanguageInForceWhenTheWindowIsCreated) {
    language_.loadTranslation({"Tip12 = From a language;second line", "TfrmTip = Tipp des Tages",
                               "TfrmTip.sbNext = &Weiter"});
    ASSERT_TRUE(tip().showTip(-1));
    EXPECT_EQ(10, tip().tips().count());
    EXPECT_EQ("From a language\nsecond line", shownTip());
    EXPECT_EQ("Tipp des Tages", windowText(tip().handle()));
    EXPECT_EQ("&Weiter", tip().get<QSkinButton>("sbNext").caption());
    // The keys stay whatever the captions became.
    altKey(control("sbClose"), 'N');
    EXPECT_EQ(0, tip().tips().current());

    // Collected once: another language does not change the list...
    language_.loadTranslation({"Tip13 = Later"});
    ASSERT_TRUE(tip().showTip(0));
    EXPECT_EQ(10, tip().tips().count());
    // ...until a new window collects them again.
    tip().destroy();
    EXPECT_EQ(0, tip().tips().count());
    ASSERT_TRUE(tip().showTip(-1));
    EXPECT_EQ(10, tip().tips().count());
    EXPECT_EQ("Later", shownTip());
}

TEST_F(TipWindowTest, ShowAtStartupEditsTheSettingAndFollowsIt) {
    ASSERT_TRUE(tip().showTip(0));
    auto& box = tip().get<QCheckBox>("cbStartup");
    EXPECT_TRUE(box.checked());
    click(box.handle());
    EXPECT_FALSE(showAtStartup_);
    altKey(control("sbNext"), 'S');
    EXPECT_TRUE(showAtStartup_);
    EXPECT_TRUE(box.checked());

    showAtStartup_ = false; // changed elsewhere: the next tip shows the setting
    click(control("sbNext"));
    EXPECT_FALSE(box.checked());
}

TEST_F(TipWindowTest, EnterEscAltCAndCloseHideTheWindowAndKeepTheTips) {
    enum class Way { Enter, Escape, AltC, CloseButton, CloseBox };
    for (Way way : {Way::Enter, Way::Escape, Way::AltC, Way::CloseButton, Way::CloseBox}) {
        SCOPED_TRACE(static_cast<int>(way));
        ASSERT_TRUE(tip().showTip(3));
        HWND focus = control("sbNext");
        switch (way) {
        case Way::Enter:
            keyDown(focus, VK_RETURN);
            break;
        case Way::Escape:
            keyDown(focus, VK_ESCAPE);
            break;
        case Way::AltC:
            altKey(focus, 'C');
            break;
        case Way::CloseButton:
            click(control("sbClose"));
            break;
        case Way::CloseBox:
            SendMessageA(tip().handle(), WM_CLOSE, 0, 0);
            break;
        }
        EXPECT_FALSE(tip().isVisible());
        EXPECT_TRUE(IsWindow(tip().handle()));
        EXPECT_EQ(3, tip().tips().current()) << "Enter on Next must close, not step";
        EXPECT_EQ(9, tip().tips().count());
    }
}

TEST_F(TipWindowTest, NoTipWhileABrowserRequestIsServed) {
    serving_ = true;
    EXPECT_FALSE(tip().showTip(1));
    EXPECT_EQ(nullptr, tip().handle());
    serving_ = false;
    EXPECT_TRUE(tip().showTip(1));
    EXPECT_EQ(1, tip().tips().current());
}

// The label is fixed in size; a long tip takes a smaller font rather than losing its end,
// and a short one after it gets the message font back.
TEST_F(TipWindowTest, EveryDefaultTipFitsItsLabel) {
    // A language's tip may be longer than any of ours.
    language_.loadTranslation(
        {"Tip12 = What is the Password Guard (in the 'Tools' menu)?;;Sometimes you need to copy "
         "a password from Keyhaven to other applications, for example when you log in to a "
         "forum. If the Password Guard is enabled, Keyhaven will remove the password from the "
         "Clipboard after 20 seconds have passed, otherwise the password will stay in the "
         "Clipboard until you copy some other data to the Clipboard."});
    ASSERT_TRUE(tip().showTip(0));
    HWND label = control("stTip");
    RECT box{};
    GetClientRect(label, &box);
    bool someTipNeededASmallerFont = false;
    for (int index = 0; index < tip().tips().count(); ++index) {
        SCOPED_TRACE(index);
        ASSERT_TRUE(tip().showTip(index));
        const auto labelFont = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
        someTipNeededASmallerFont |= labelFont != tip().font();
        HDC dc = GetDC(label);
        HGDIOBJ old = SelectObject(dc, labelFont);
        const std::string text = shownTip();
        RECT need{0, 0, box.right, 0};
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &need,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
        SelectObject(dc, old);
        ReleaseDC(label, dc);
        EXPECT_LE(need.bottom, box.bottom);
    }
    EXPECT_TRUE(someTipNeededASmallerFont); // else this shows nothing
    ASSERT_TRUE(tip().showTip(0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(tip().font()), SendMessageA(label, WM_GETFONT, 0, 0));
}

} // namespace
} // namespace kh::test
