#include "win32/dialog.h"

#include <utility>

namespace kh {

FormDesign fixedDialogDesign(std::string className, std::string caption, int clientWidth,
                             int clientHeight, HICON icon) {
    FormDesign design;
    design.className = std::move(className);
    design.caption = std::move(caption);
    design.clientWidth = clientWidth;
    design.clientHeight = clientHeight;
    design.style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    design.exStyle = icon ? 0 : WS_EX_DLGMODALFRAME;
    design.centered = true;
    design.icon = icon;
    return design;
}

ModalResult TDialog::execute(HWND owner) {
    if (isModal()) {
        bringToFront();
        return ModalResult::None;
    }
    return showModal(owner);
}

void TDialog::showModeless(HWND owner) {
    if (!create(owner)) return;
    if (isVisible()) {
        bringToFront();
        return;
    }
    show();
}

void TDialog::bringToFront() {
    if (!handle()) return;
    if (IsIconic(handle())) ShowWindow(handle(), SW_RESTORE);
    SetForegroundWindow(handle());
}

void TDialog::okClick() {
    if (!validate()) return;
    if (isModal()) {
        setModalResult(ModalResult::Ok);
    } else {
        hide();
    }
}

void TDialog::cancelClick() {
    if (isModal()) {
        setModalResult(ModalResult::Cancel);
    } else {
        hide();
    }
}

bool TDialog::onKeyDown(const KeyPress& key) {
    if (key.ctrl || key.alt || key.shift) return false;
    if (key.key == VK_RETURN) {
        enterPressed();
        return true;
    }
    if (key.key == VK_ESCAPE) {
        escapePressed();
        return true;
    }
    return false;
}

} // namespace kh
