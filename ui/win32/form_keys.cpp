#include "win32/form.h"

#include "win32/form_detail.h"
#include "win32/skin_controls.h"

#include <cctype>

namespace kh {

using form_detail::isEditKind;

char acceleratorOf(std::string_view caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') { // "&&" is a literal ampersand
            ++i;
            continue;
        }
        return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
    }
    return 0;
}

bool TForm::onKeyDown(const KeyPress&) {
    return false;
}

bool TForm::routeKeyMessage(HWND target, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return processKey(target, msg, wParam, lParam);
    case WM_CHAR:
    case WM_SYSCHAR:
        return takeSwallowedChar();
    default:
        return false;
    }
}

bool TForm::processKey(HWND target, UINT msg, WPARAM wParam, LPARAM lParam) {
    swallowChar_ = false;
    const UINT key = static_cast<UINT>(wParam);
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU) return false;
    noteUserActivity();
    KeyPress press;
    press.key = key;
    press.shift = GetKeyState(VK_SHIFT) < 0;
    press.ctrl = GetKeyState(VK_CONTROL) < 0;
    press.alt = msg == WM_SYSKEYDOWN ? (lParam & (1L << 29)) != 0 : GetKeyState(VK_MENU) < 0;
    press.target = target;

    bool consumed = onKeyDown(press);
    if (!consumed && key == VK_TAB && !press.ctrl && !press.alt) consumed = focusNext(!press.shift);
    if (!consumed && press.alt && !press.ctrl) consumed = pressAccelerator(key);
    swallowChar_ = consumed;
    return consumed;
}

bool TForm::takeSwallowedChar() {
    const bool swallow = swallowChar_;
    swallowChar_ = false;
    return swallow;
}

bool TForm::focusNext(bool forward) {
    std::vector<TControl*> order;
    for (const auto& control : controls_)
        if (control->canFocus()) order.push_back(control.get());
    if (order.empty()) return false;
    HWND focus = GetFocus();
    int current = -1;
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i]->hwnd_ == focus || IsChild(order[i]->hwnd_, focus))
            current = static_cast<int>(i);
    const int count = static_cast<int>(order.size());
    int next;
    if (current < 0)
        next = forward ? 0 : count - 1;
    else
        next = (current + (forward ? 1 : count - 1)) % count;
    TControl* target = order[static_cast<std::size_t>(next)];
    target->setFocus();
    if (isEditKind(target->kind_)) SendMessageA(target->hwnd_, EM_SETSEL, 0, -1);
    return true;
}

bool TForm::focusFirst() {
    for (const auto& control : controls_) {
        if (control->canFocus()) {
            control->setFocus();
            return true;
        }
    }
    return false;
}

bool TForm::pressAccelerator(UINT key) {
    if (key > 0xFF) return false;
    const char wanted = static_cast<char>(std::toupper(static_cast<int>(key)));
    for (const auto& control : controls_) {
        auto* skinned = dynamic_cast<QBaseControl*>(control.get());
        if (!skinned || !skinned->isActive() || !skinned->isShowing()) continue;
        if (acceleratorOf(skinned->caption()) != wanted) continue;
        skinned->click();
        return true;
    }
    return false;
}

void discardPendingCharacters() {
    MSG msg;
    for (UINT character : {WM_CHAR, WM_DEADCHAR, WM_SYSCHAR, WM_SYSDEADCHAR}) {
        while (PeekMessageA(&msg, nullptr, character, character, PM_REMOVE)) {
        }
    }
}

} // namespace kh
