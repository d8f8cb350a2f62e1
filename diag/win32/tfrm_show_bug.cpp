#include "tfrm_show_bug.h"

#include "crash_report.h"
#include "image_ids.h"
#include "message_table.h"
#include "system_facts.h"

#include <shellapi.h>

namespace kh {
namespace {

constexpr int kClientWidth = 463;
constexpr int kClientHeight = 157;
constexpr int kBannerHeight = 45;
constexpr int kBarHeight = 37;

constexpr ControlDef kShowBugControls[] = {
    {.name = "Label1",
     .kind = ControlKind::Label,
     .caption = "Address:",
     .x = 8,
     .y = 52,
     .width = 52,
     .height = 16},
    {.name = "lbAddress",
     .kind = ControlKind::Label,
     .caption = "0xFFFFFFFF",
     .x = 62,
     .y = 52,
     .width = 240,
     .height = 16,
     .style = SS_NOPREFIX},
    {.name = "Label2",
     .kind = ControlKind::Label,
     .caption = "Message:",
     .x = 8,
     .y = 70,
     .width = 52,
     .height = 16},
    // Messages are free text: no "&" prefixes, long words broken like an edit does.
    {.name = "lbMessage",
     .kind = ControlKind::Label,
     .caption = "Message",
     .x = 62,
     .y = 70,
     .width = 393,
     .height = 49,
     .style = SS_NOPREFIX | SS_EDITCONTROL},
    {.name = "sbView",
     .kind = ControlKind::SkinButton,
     .caption = "&View report",
     .x = 6,
     .y = 126,
     .width = 82,
     .height = 25},
    {.name = "sbSend",
     .kind = ControlKind::SkinButton,
     .caption = "&Send report",
     .x = 92,
     .y = 126,
     .width = 82,
     .height = 25},
    {.name = "cbRestart",
     .kind = ControlKind::SkinCheckBox,
     .caption = "&Restart Application",
     .x = 180,
     .y = 128,
     .width = 128,
     .height = 21},
    {.name = "sbContinue",
     .kind = ControlKind::SkinButton,
     .caption = "&Continue",
     .x = 312,
     .y = 126,
     .width = 70,
     .height = 25,
     .modalResult = ModalResult::Cancel},
    {.name = "sbTerminate",
     .kind = ControlKind::SkinButton,
     .caption = "&Terminate",
     .x = 386,
     .y = 126,
     .width = 71,
     .height = 25},
};

FormDesign showBugDesign() {
    return fixedDialogDesign("TfrmShowBug", "Oops", kClientWidth, kClientHeight);
}

// The window that was active when the error came: the report is modal to it.
HWND activeOwner(HWND self) {
    HWND active = GetActiveWindow();
    if (!active || active == self || !IsWindowVisible(active) || !IsWindowEnabled(active))
        return nullptr;
    return active;
}

} // namespace

TfrmShowBug::TfrmShowBug(const MessageTable& messages)
    : TDialog(showBugDesign(), kShowBugControls), messages_(messages) {}

void TfrmShowBug::onCreate() {
    banner_.reset(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr),
                                                  MAKEINTRESOURCEA(IDB_CRASH_BANNER), IMAGE_BITMAP,
                                                  0, 0, LR_CREATEDIBSECTION)));
    sbView->OnClick = [this] { viewReportClick(); };
    sbSend->OnClick = [this] { sendReportClick(); };
    sbTerminate->OnClick = [this] { terminateClick(); };
}

void TfrmShowBug::fill(const ApplicationError& error, bool fatal) {
    address_ = error.address;
    message_ = error.message;
    report_ = crashReportText(systemDescription(), address_, message_);
    lbAddress->setText(crashAddressText(address_));
    lbMessage->setText(message_);
    fatal_ = fatal;
    sbContinue->setActive(!fatal);
    restart_ = false;
}

ModalResult TfrmShowBug::showError(const ApplicationError& error) {
    try {
        if (!create()) return ModalResult::None;
        // The fatal error stays in view: the program ends once it is closed.
        if (fatal_ && isModal()) return ModalResult::None;
        fill(error, false);
        if (isModal()) return ModalResult::None; // the open window now shows this error
        return showModal(activeOwner(handle()));
    } catch (...) {
        return ModalResult::None;
    }
}

ModalResult TfrmShowBug::showFatalError(const ApplicationError& error) {
    try {
        if (!create()) return ModalResult::None;
        fill(error, true);
        if (!isModal()) return showModal(activeOwner(handle()));
        // The code under the open window's loop cannot go on, so this loop serves the
        // window until it is closed.
        setModalResult(ModalResult::None);
        MSG msg;
        while (modalResult() == ModalResult::None && isVisible()) {
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0 || got == -1) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return modalResult() == ModalResult::None ? ModalResult::Cancel : modalResult();
    } catch (...) {
        return ModalResult::None;
    }
}

void TfrmShowBug::onShow() {
    (sbContinue->isActive() ? sbContinue : sbTerminate)->setFocus();
}

void TfrmShowBug::viewReportClick() {
    try {
        MessageBoxA(handle(), report_.c_str(), "", MB_OK);
    } catch (...) {
    }
}

void TfrmShowBug::sendReportClick() {
    try {
        const std::string link = bugReportLink(report_, messages_.text(Msg::warnplease));
        ShellExecuteA(handle(), "open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    } catch (...) {
    }
}

void TfrmShowBug::terminateClick() {
    try {
        if (MessageBoxA(handle(), "Are you sure to Terminate Application?", "Terminate",
                        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
            return;
        restart_ = cbRestart->checked();
        setModalResult(ModalResult::Abort);
    } catch (...) {
    }
}

void TfrmShowBug::enterPressed() {
    if (auto* button = dynamic_cast<QSkinButton*>(controlOf(GetFocus()))) button->click();
}

void TfrmShowBug::escapePressed() {
    sbContinue->click(); // nothing while a fatal error is shown
}

void TfrmShowBug::paint(HDC dc) {
    RECT client{};
    GetClientRect(handle(), &client);
    const RECT banner{0, 0, client.right, scale(kBannerHeight)};
    BITMAP info{};
    if (banner_ && GetObjectA(banner_.get(), sizeof(info), &info)) {
        HDC source = CreateCompatibleDC(dc);
        {
            SelectGuard select(source, banner_.get());
            SetStretchBltMode(dc, HALFTONE);
            StretchBlt(dc, banner.left, banner.top, banner.right, banner.bottom, source, 0, 0,
                       info.bmWidth, info.bmHeight, SRCCOPY);
        }
        DeleteDC(source);
    }
    const RECT bar{0, scale(kClientHeight - kBarHeight), client.right, client.bottom};
    FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
}

LRESULT TfrmShowBug::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PaintDc dc(handle());
        paint(dc.get());
        return 0;
    }
    return TForm::handleMessage(msg, wParam, lParam);
}

} // namespace kh
