#include "win32/skin_controls.h"

#include "win32/skin_paint.h"
#include "win32/skin_theme.h"

#include <algorithm>

namespace kh {

using skin_detail::drawBox;

QCheckBox::QCheckBox(TForm& form, const ControlDef& def)
    : QBaseControl(form, def), checked_((def.options & opt::checked) != 0) {}

void QCheckBox::setChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    repaint();
}

void QCheckBox::click() {
    if (!active_) return;
    setChecked(!checked_);
    if (OnChange) OnChange();
    QBaseControl::click();
}

bool QCheckBox::keyDown(UINT key) {
    if (key != VK_SPACE) return false;
    click();
    return true;
}

void QCheckBox::paintMark(HDC dc, const RECT& box) const {
    const COLORREF color = active_ ? skin::kAccent : skin::kTextInactive;
    Pen pen(CreatePen(PS_SOLID, std::max(2, scale(2)), color));
    SelectGuard select(dc, pen.get());
    const int w = box.right - box.left;
    const POINT mark[3] = {{box.left + w * 2 / 9, box.top + w / 2},
                           {box.left + w * 4 / 9, box.top + w * 3 / 4 - 1},
                           {box.left + w * 7 / 9, box.top + w / 4}};
    Polyline(dc, mark, 3);
}

std::optional<CaptionRoom> QCheckBox::captionRoom() const {
    if (!hwnd_) return std::nullopt;
    RECT client{};
    GetClientRect(hwnd_, &client);
    return CaptionRoom{client.right - 1 - scale(kBoxSize) - scale(6), client.bottom, DT_SINGLELINE};
}

// The caption right of the box, with the focus rectangle around the text alone.
void QCheckBox::paintCaptionBeside(HDC dc, const RECT& box, const RECT& client) const {
    RECT text{box.right + scale(6), client.top, client.right, client.bottom};
    drawCaption(dc, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE, skin::kText);
    if (hasFocus()) {
        RECT measured = text;
        DrawTextA(dc, caption_.c_str(), static_cast<int>(caption_.size()), &measured,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_CALCRECT);
        const int height = measured.bottom - measured.top;
        RECT focus{text.left - 2, (client.bottom - height) / 2 - 1, measured.right + 2,
                   (client.bottom + height) / 2 + 1};
        drawFocus(dc, focus);
    }
}

RECT QCheckBox::paintBox(HDC dc, const RECT& client, int radius) const {
    const int size = scale(kBoxSize);
    const int top = (client.bottom - size) / 2;
    const RECT box{client.left + 1, top, client.left + 1 + size, top + size};
    const COLORREF border = !active_ ? skin::kTextInactive
                            : hot_   ? skin::kBorderHot
                                     : skin::kBorder;
    drawBox(dc, box, active_ ? skin::kButtonFace : skin::kFaceInactive, border, radius);
    return box;
}

void QCheckBox::paint(HDC dc, const RECT& client) {
    const RECT box = paintBox(dc, client, scale(3));
    if (checked_) paintMark(dc, box);

    paintCaptionBeside(dc, box, client);
}

void QRadioBox::setChecked(bool checked) {
    QCheckBox::setChecked(checked);
    if (!checked || !hwnd_) return;
    // Siblings are the radio boxes that share this one's parent window.
    HWND parent = GetParent(hwnd_);
    for (HWND sibling = GetWindow(parent, GW_CHILD); sibling;
         sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        if (sibling == hwnd_) continue;
        char name[32] = {};
        GetClassNameA(sibling, name, sizeof(name));
        if (lstrcmpA(name, "QRadioBox") != 0) continue;
        auto* other = reinterpret_cast<QRadioBox*>(GetWindowLongPtrA(sibling, GWLP_USERDATA));
        if (other) other->QCheckBox::setChecked(false);
    }
}

void QRadioBox::click() {
    if (!active_) return;
    if (!checked_) {
        setChecked(true);
        if (OnChange) OnChange();
    }
    QBaseControl::click();
}

void QRadioBox::paint(HDC dc, const RECT& client) {
    const int size = scale(kBoxSize);
    const RECT box = paintBox(dc, client, size); // as round as it is large
    if (checked_) {
        RECT dot = box;
        InflateRect(&dot, -size * 3 / 10, -size * 3 / 10);
        const COLORREF color = active_ ? skin::kAccent : skin::kTextInactive;
        drawBox(dc, dot, color, color, size);
    }
    paintCaptionBeside(dc, box, client);
}

} // namespace kh
