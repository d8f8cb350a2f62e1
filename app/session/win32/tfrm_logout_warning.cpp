#include "tfrm_logout_warning.h"

#include "text_format.h"

namespace kh {
namespace {

constexpr int kClientWidth = 330;
constexpr int kClientHeight = 112;
// Room for the longer captions of other languages.
constexpr int kButtonWidth = 140;

constexpr ControlDef kLogoutWarningControls[] = {
    {.name = "lbStatement",
     .kind = ControlKind::Label,
     .x = 12,
     .y = 10,
     .width = kClientWidth - 24,
     .height = 56,
     .style = SS_NOPREFIX},
    {.name = "sbSave",
     .kind = ControlKind::SkinButton,
     .caption = "&Save and Stay",
     .x = kClientWidth - 12 - 2 * kButtonWidth - 8,
     .y = 76,
     .width = kButtonWidth,
     .height = 25},
    {.name = "sbStay",
     .kind = ControlKind::SkinButton,
     .caption = "S&tay Logged In",
     .x = kClientWidth - 12 - kButtonWidth,
     .y = 76,
     .width = kButtonWidth,
     .height = 25},
};

FormDesign logoutWarningDesign() {
    FormDesign design;
    design.className = "TfrmLogoutWarning";
    design.caption = "Automatic Logout";
    design.clientWidth = kClientWidth;
    design.clientHeight = kClientHeight;
    design.style = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    // Above every window, and without a task bar button of its own.
    design.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    return design;
}

} // namespace

TfrmLogoutWarning::TfrmLogoutWarning(Session& session, const MessageTable& messages)
    : TForm(logoutWarningDesign(), kLogoutWarningControls), session_(session), messages_(messages),
      shown_(session.OnLogoutWarning.subscribe([this](int left) { showCountdown(left); })),
      ended_(session.OnLogoutWarningEnded.subscribe([this] { hide(); })) {}

void TfrmLogoutWarning::onCreate() {
    sbSave->OnClick = [this] { saveClick(); };
    sbStay->OnClick = [this] { stayClick(); };
}

void TfrmLogoutWarning::showCountdown(int secondsLeft) {
    if (!create()) return;
    lbStatement->setText(
        formatText(messages_.text(Msg::logoutwarning), {session_.accountName(), secondsLeft}));
    if (isVisible()) return;
    // Shown without taking the focus: whatever the user types next goes where it went,
    // and that key ends the warning.
    SetWindowPos(handle(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ShowWindow(handle(), SW_SHOWNOACTIVATE);
}

std::string TfrmLogoutWarning::statementText() const {
    return lbStatement.bound() ? lbStatement->text() : std::string();
}

void TfrmLogoutWarning::saveClick() {
    // The click already counts as the user's action; said again for callers without the
    // program's activity hook.
    session_.noteActivity();
    hide();
    session_.saveCommand();
}

void TfrmLogoutWarning::stayClick() {
    session_.noteActivity();
    hide();
}

LRESULT TfrmLogoutWarning::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Closing the window is staying: the count starts again.
    if (msg == WM_CLOSE) {
        stayClick();
        return 0;
    }
    return TForm::handleMessage(msg, wParam, lParam);
}

} // namespace kh
