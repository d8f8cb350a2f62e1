#include "tfrm_tip.h"

#include "image_ids.h"
#include "language.h"
#include "win32/error_boundary.h"
#include "win32/skin_controls.h"
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
    FormDesign design;
    design.className = "TfrmTip";
    design.caption = "Tip of the Day";
    design.clientWidth = 342;
    design.clientHeight = 187;
    design.style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    design.exStyle = WS_EX_DLGMODALFRAME;
    design.centered = true;
    return design;
}

} // namespace

TfrmTip::TfrmTip(QLanguage& language, bool& showAtStartup,
                 std::function<bool()> servingBrowserRequest)
    : TForm(tipDesign(), kTipControls), language_(language), showAtStartup_(showAtStartup),
      servingBrowserRequest_(std::move(servingBrowserRequest)) {}

void TfrmTip::onCreate() {
    bulb_.reset(
        ImageList_Create(images::kTipPictureSize, images::kTipPictureSize, ILC_COLOR32, 1, 0));
    Bitmap picture(
        static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TIP),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (bulb_ && picture) ImageList_Add(bulb_.get(), picture.get(), nullptr);

    get<QSkinButton>("sbPrevious").OnClick = [this] { guardedCall([this] { previousClick(); }); };
    get<QSkinButton>("sbNext").OnClick = [this] { guardedCall([this] { nextClick(); }); };
    get<QSkinButton>("sbClose").OnClick = [this] { close(); };
    auto& startup = get<QCheckBox>("cbStartup");
    startup.OnChange = [this, &startup] { showAtStartup_ = startup.checked(); };

    language_.translateWindow(this, className(), true);
    // Collected once: a later change of language retranslates the window, not the tips.
    tips_ = TipList::fromLanguage(language_);
}

void TfrmTip::onShow() {
    get<QSkinButton>("sbNext").setFocus();
}

bool TfrmTip::showTip(int index) {
    if (servingBrowserRequest_ && servingBrowserRequest_()) return false;
    try {
        if (!create()) return false;
        if (!tips_.select(index)) return false;
        displayTip();
        if (isVisible())
            SetForegroundWindow(handle());
        else
            show();
        return true;
    } catch (...) {
        return false;
    }
}

void TfrmTip::displayTip() {
    if (tips_.count() == 0) return;
    get<TNativeControl>("stTip").setText(tips_.currentText());
    get<QCheckBox>("cbStartup").setChecked(showAtStartup_);
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

bool TfrmTip::press(const char* name) {
    auto& control = get<QBaseControl>(name);
    if (!control.isActive() || !control.isShowing()) return false;
    control.click();
    return true;
}

// The keys work whatever a language made of the captions.
bool TfrmTip::onKeyDown(const KeyPress& key) {
    if (key.ctrl) return false;
    if (!key.alt) {
        if (key.key != VK_RETURN && key.key != VK_ESCAPE) return false;
        press("sbClose");
        return true;
    }
    switch (key.key) {
    case 'C':
        return press("sbClose");
    case 'N':
        return press("sbNext");
    case 'P':
        return press("sbPrevious");
    case 'S':
        return press("cbStartup");
    default:
        return false;
    }
}

void TfrmTip::onCommand(int id, int notifyCode, HWND from) {
    if (id == kIdLink && notifyCode == STN_CLICKED) {
        guardedCall([this] { linkClick(); });
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
