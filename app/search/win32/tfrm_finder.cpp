#include "tfrm_finder.h"

#include "win32/error_boundary.h"

#include <commctrl.h>

namespace kh {
namespace {

constexpr int kClientWidth = 400;
constexpr int kClientHeight = 124;
constexpr int kLeftColumn = 12;
constexpr int kRightColumn = 150;
constexpr int kBoxWidth = 134;
constexpr int kBoxHeight = 18;

ControlDef optionBox(const char* name, const char* caption, int x, int y, unsigned options = 0) {
    return {.name = name,
            .kind = ControlKind::SkinCheckBox,
            .caption = caption,
            .x = x,
            .y = y,
            .width = kBoxWidth,
            .height = kBoxHeight,
            .options = options};
}

const ControlDef kFinderControls[] = {
    {.name = "Label1",
     .kind = ControlKind::Label,
     .caption = "Find &What:",
     .x = kLeftColumn,
     .y = 17,
     .width = 76,
     .height = 16},
    // The height includes the drop-down list.
    {.name = "cbFind",
     .kind = ControlKind::ComboBox,
     .x = 90,
     .y = 13,
     .width = 196,
     .height = 160,
     .style = CBS_DROPDOWN | CBS_AUTOHSCROLL},
    optionBox("qbCase", "Case &Sensitive", kLeftColumn, 50),
    optionBox("qbTitle", "Find in Entry &Title", kLeftColumn, 74, opt::checked),
    optionBox("qbWhole", "Find in &What's this", kLeftColumn, 98),
    optionBox("qbPassword", "Find in &Password", kRightColumn, 50, opt::checked),
    optionBox("qbComment", "Find in Entry &Detail", kRightColumn, 74, opt::checked),
    optionBox("qbAll", "Find &All Matches", kRightColumn, 98),
    {.name = "sbFind",
     .kind = ControlKind::SkinButton,
     .caption = "&Find",
     .x = 300,
     .y = 12,
     .width = 88,
     .height = 26},
    {.name = "sbClose",
     .kind = ControlKind::SkinButton,
     .caption = "&Close",
     .x = 300,
     .y = 46,
     .width = 88,
     .height = 26},
};

FormDesign finderDesign() {
    return fixedDialogDesign("TfrmFinder", "Find Password", kClientWidth, kClientHeight);
}

} // namespace

TfrmFinder::TfrmFinder(Finder& finder)
    : TDialog(finderDesign(), kFinderControls), finder_(finder), ownPrompts_(ownerOf(*this)) {}

TfrmFinder::~TfrmFinder() {
    if (textEdit_ && IsWindow(textEdit_)) RemoveWindowSubclass(textEdit_, &TfrmFinder::textKeys, 0);
}

void TfrmFinder::onCreate() {
    SendMessageA(cbFind->handle(), CB_LIMITTEXT, kFindTextLimit, 0);
    // The edit inside the combo box is no control of the table: its keys are brought to
    // the form here, so that Enter, Esc, Tab and the Alt keys work while typing.
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(cbFind->handle(), &info) && info.hwndItem) {
        textEdit_ = info.hwndItem;
        SetWindowSubclass(textEdit_, &TfrmFinder::textKeys, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    sbFind->OnClick = [this] { findClick(); };
    sbClose->OnClick = [this] { closeClick(); };
}

LRESULT CALLBACK TfrmFinder::textKeys(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR data) {
    return guardedMessage([&]() -> LRESULT {
        auto* self = reinterpret_cast<TfrmFinder*>(data);
        if (self->routeKeyMessage(hwnd, msg, wParam, lParam)) return 0;
        if (msg == WM_NCDESTROY) {
            RemoveWindowSubclass(hwnd, &TfrmFinder::textKeys, 0);
            self->textEdit_ = nullptr;
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    });
}

void TfrmFinder::open(HWND owner) {
    if (isVisible()) {
        bringToFront();
        cbFind->setFocus();
        return;
    }
    // The key that opened the dialog must not type into it.
    discardPendingCharacters();
    showModeless(owner);
    cbFind->setFocus();
}

void TfrmFinder::onShow() {
    clearText();
    fillEarlierTexts();
    cbFind->setFocus();
}

void TfrmFinder::onHide() {
    clearText();
}

void TfrmFinder::clearText() {
    cbFind->wipeText();
}

void TfrmFinder::fillEarlierTexts() {
    HWND combo = cbFind->handle();
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const SecretString& text : finder_.earlierTexts())
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool TfrmFinder::listDropped() const {
    return SendMessageA(cbFind->handle(), CB_GETDROPPEDSTATE, 0, 0) != FALSE;
}

SearchRequest TfrmFinder::options() const {
    SearchRequest request;
    request.caseSensitive = qbCase->checked();
    request.inTitle = qbTitle->checked();
    request.inWhatsThis = qbWhole->checked();
    request.inPassword = qbPassword->checked();
    request.inDetail = qbComment->checked();
    request.findAll = qbAll->checked();
    return request;
}

void TfrmFinder::findClick() {
    SecretString text = cbFind->secretText();
    const Finder::DialogOutcome outcome = finder_.findFromDialog(text.view(), options(), *prompts_);
    if (outcome != Finder::DialogOutcome::Found) {
        // A text that is not found stays, selected, to be corrected or typed over.
        fillEarlierTexts();
        if (handle() && isVisible()) {
            cbFind->setSecretText(text.view());
            cbFind->setFocus();
            SendMessageA(cbFind->handle(), CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
        }
        text.wipe();
        return;
    }
    text.wipe();
    clearText();
    fillEarlierTexts();
    hide();
    // Back to the list, where the found rows are selected.
    if (HWND owner = GetWindow(handle(), GW_OWNER); owner && IsWindowVisible(owner))
        SetForegroundWindow(owner);
}

void TfrmFinder::forget() {
    if (!handle()) return;
    hide();
    clearText();
    SendMessageA(cbFind->handle(), CB_RESETCONTENT, 0, 0);
}

bool TfrmFinder::onKeyDown(const KeyPress& key) {
    // An open drop-down list takes Enter and Esc itself (choose, or close the list).
    if ((key.key == VK_RETURN || key.key == VK_ESCAPE) && listDropped()) return false;
    return TDialog::onKeyDown(key);
}

void TfrmFinder::enterPressed() {
    // Enter on the focused Close button closes; anywhere else it finds.
    if (GetFocus() == sbClose->handle()) {
        closeClick();
    } else {
        findClick();
    }
}

} // namespace kh
