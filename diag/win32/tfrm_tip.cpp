#include "tfrm_tip.h"

#include "win32/image_strip.h"

#include "image_ids.h"
#include "language.h"
#include "win32/skin_theme.h"

#include <shellapi.h>

namespace kh {
namespace {

constexpr int kIdLink = 401;

// Frames drawn on the form: the outer one around the link, picture, heading and tip; the
// inner one around the tip.
constexpr RECT kOuterFrame{6, 3, 336, 157};
constexpr RECT kInnerFrame{11, 52, 331, 155};
constexpr POINT kBulbAt{14, 19};

constexpr ControlDef kTipControls[] = {
    {.name = "stLink",
     .kind = ControlKind::StaticText,
     .caption = kHomePage,
     .x = 12,
     .y = 6,
     .width = 220,
     .height = 14,
     .commandId = kIdLink,
     .options = opt::underline | opt::handCursor | opt::noTabStop,
     .textColor = skin::kAccent},
    {.name = "Label1",
     .kind = ControlKind::Label,
     .caption = "Did you know ...",
     .x = 50,
     .y = 24,
     .width = 242,
     .height = 24,
     .options = opt::bold | opt::large | opt::centered},
    {.name = "stTip",
     .kind = ControlKind::StaticText,
     .x = 15,
     .y = 55,
     .width = 312,
     .height = 98,
     .style = SS_NOPREFIX | SS_EDITCONTROL},
    {.name = "cbStartup",
     .kind = ControlKind::SkinCheckBox,
     .caption = "&Show at startup",
     .x = 8,
     .y = 161,
     .width = 106,
     .height = 22},
    {.name = "sbPrevious",
     .kind = ControlKind::SkinButton,
     .caption = "&Previous",
     .x = 118,
     .y = 160,
     .width = 70,
     .height = 24},
    {.name = "sbNext",
     .kind = ControlKind::SkinButton,
     .caption = "&Next",
     .x = 192,
     .y = 160,
     .width = 70,
     .height = 24},
    {.name = "sbClose",
     .kind = ControlKind::SkinButton,
     .caption = "&Close",
     .x = 266,
     .y = 160,
     .width = 70,
     .height = 24},
};

FormDesign tipDesign() {
    return fixedDialogDesign("TfrmTip", "Tip of the Day", 342, 187);
}

} // namespace

TfrmTip::TfrmTip(QLanguage& language, bool& showAtStartup,
                 std::function<bool()> servingBrowserRequest)
    : TDialog(tipDesign(), kTipControls), language_(language), showAtStartup_(showAtStartup),
      servingBrowserRequest_(std::move(servingBrowserRequest)) {}

void TfrmTip::loadBulb() {
    // The bulb at the window's DPI.
    bulb_.reset(imageListOf(loadPicturePixels(GetModuleHandleA(nullptr), IDB_TIP),
                            images::kTipPictureSize, scale(images::kTipPictureSize)));
}

void TfrmTip::onDpiChanged(int) {
    loadBulb();
}

void TfrmTip::onCreate() {
    loadBulb();

    sbPrevious->OnClick = [this] { previousClick(); };
    sbNext->OnClick = [this] { nextClick(); };
    sbClose->OnClick = [this] { close(); };
    cbStartup->OnChange = [this] { showAtStartup_ = cbStartup->checked(); };
    // Collected once: a later change of language retranslates the window, not the tips.
    tips_ = TipList::fromLanguage(language_);
}

void TfrmTip::onShow() {
    sbNext->setFocus();
}

bool TfrmTip::showTip(int index) {
    if (servingBrowserRequest_ && servingBrowserRequest_()) return false;
    try {
        if (!create()) return false;
        if (!tips_.select(index)) return false;
        displayTip();
        showModeless();
        return isVisible();
    } catch (...) {
        return false;
    }
}

bool TfrmTip::showAbout(const std::string& line) {
    if (!showTip(0)) return false;
    stTip->setText(tips_.currentText() + "\n\n" + line);
    return true;
}

void TfrmTip::displayTip() {
    if (tips_.count() == 0) return;
    // The label has a fixed size and no scroll bar; a tip longer than it holds at the
    // message font takes a smaller one (the framework fits every caption).
    stTip->setText(tips_.currentText());
    cbStartup->setChecked(showAtStartup_);
}

void TfrmTip::previousClick() {
    tips_.step(-1);
    displayTip();
}

void TfrmTip::nextClick() {
    tips_.step(1);
    displayTip();
}

void TfrmTip::linkClick() {
    ShellExecuteA(handle(), "open", kHomePage, nullptr, nullptr, SW_SHOWMAXIMIZED);
}

bool TfrmTip::press(QBaseControl& control) {
    if (!control.isActive() || !control.isShowing()) return false;
    control.click();
    return true;
}

bool TfrmTip::onKeyDown(const KeyPress& key) {
    if (!key.alt || key.ctrl) return TDialog::onKeyDown(key);
    switch (key.key) {
    case 'C':
        return press(*sbClose);
    case 'N':
        return press(*sbNext);
    case 'P':
        return press(*sbPrevious);
    case 'S':
        return press(*cbStartup);
    default:
        return false;
    }
}

void TfrmTip::onCommand(int id, int notifyCode, HWND from) {
    if (id == kIdLink && notifyCode == STN_CLICKED) {
        linkClick();
        return;
    }
    TForm::onCommand(id, notifyCode, from);
}

void TfrmTip::paint(HDC dc) {
    Pen pen(CreatePen(PS_SOLID, 1, skin::kBorder));
    SelectGuard selectPen(dc, pen.get());
    SelectGuard selectBrush(dc, GetStockObject(NULL_BRUSH));
    for (const RECT& frame : {kOuterFrame, kInnerFrame})
        Rectangle(dc, scale(frame.left), scale(frame.top), scale(frame.right), scale(frame.bottom));
    if (bulb_) ImageList_Draw(bulb_.get(), 0, dc, scale(kBulbAt.x), scale(kBulbAt.y), ILD_NORMAL);
}

LRESULT TfrmTip::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PaintDc dc(handle());
        paint(dc.get());
        return 0;
    }
    case WM_DESTROY:
        tips_.clear(); // a new window collects them again
        break;
    default:
        break;
    }
    return TForm::handleMessage(msg, wParam, lParam);
}

} // namespace kh
