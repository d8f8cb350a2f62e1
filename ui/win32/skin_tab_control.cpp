#include "win32/skin_controls.h"

#include "win32/skin_paint.h"
#include "win32/skin_theme.h"

#include <algorithm>

namespace kh {

using skin_detail::fillRect;

void QTabControl::setTabs(std::vector<std::string> tabs) {
    tabs_ = std::move(tabs);
    if (tabIndex_ >= tabCount()) tabIndex_ = tabCount() - 1;
    if (tabIndex_ < 0 && !tabs_.empty()) tabIndex_ = 0;
    hotTab_ = -1;
    repaint();
}

void QTabControl::setTabIndex(int index) {
    if (index < 0 || index >= tabCount()) return;
    tabIndex_ = index;
    repaint();
}

bool QTabControl::selectTab(int index) {
    if (index < 0 || index >= tabCount() || index == tabIndex_) return false;
    if (OnChanging && !OnChanging(index)) return false;
    tabIndex_ = index;
    if (OnChange) OnChange();
    repaint();
    return true;
}

void QTabControl::setOrientation(TabOrientation orientation) {
    orientation_ = orientation;
    repaint();
}

void QTabControl::setTabWidth(int units96) {
    tabWidth_ = std::max(1, units96);
    repaint();
}

RECT QTabControl::tabRect(int index) const {
    RECT client{};
    if (hwnd_) GetClientRect(hwnd_, &client);
    const int extent = scale(tabWidth_);
    if (orientation_ == TabOrientation::Vertical)
        return RECT{client.left, index * extent, client.right, (index + 1) * extent};
    return RECT{index * extent, client.top, (index + 1) * extent, client.bottom};
}

int QTabControl::tabAt(int x, int y) const {
    const POINT point{x, y};
    for (int i = 0; i < tabCount(); ++i) {
        const RECT r = tabRect(i);
        if (PtInRect(&r, point)) return i;
    }
    return -1;
}

void QTabControl::mouseDown(int x, int y) {
    if (!active_) return;
    SetFocus(hwnd_);
    const int index = tabAt(x, y);
    if (index >= 0) selectTab(index);
}

void QTabControl::mouseMove(int x, int y) {
    const int index = tabAt(x, y);
    if (index == hotTab_) return;
    hotTab_ = index;
    repaint();
}

void QTabControl::mouseLeave() {
    hotTab_ = -1;
}

bool QTabControl::keyDown(UINT key) {
    const bool vertical = orientation_ == TabOrientation::Vertical;
    if (key == (vertical ? VK_UP : VK_LEFT)) {
        selectTab(tabIndex_ - 1);
        return true;
    }
    if (key == (vertical ? VK_DOWN : VK_RIGHT)) {
        selectTab(tabIndex_ + 1);
        return true;
    }
    return false;
}

void QTabControl::paint(HDC dc, const RECT& client) {
    fillRect(dc, client, skin::kTabFace);
    const bool vertical = orientation_ == TabOrientation::Vertical;
    for (int i = 0; i < tabCount(); ++i) {
        const RECT r = tabRect(i);
        const bool selected = i == tabIndex_;
        const bool hot = i == hotTab_ && active_;
        if (selected) {
            fillRect(dc, r, skin::kTabSelected);
            RECT bar = r;
            if (vertical)
                bar.right = bar.left + scale(3);
            else
                bar.top = bar.bottom - scale(3);
            fillRect(dc, bar, active_ ? skin::kAccent : skin::kTextInactive);
        } else if (hot) {
            fillRect(dc, r, skin::kButtonHot);
        }
        RECT line = r;
        if (vertical)
            line.top = line.bottom - 1;
        else
            line.left = line.right - 1;
        fillRect(dc, line, skin::kBorder);

        if (OnDrawTab) {
            OnDrawTab(dc, i, r, selected, hot);
        } else {
            const std::string& text = tabs_[static_cast<std::size_t>(i)];
            RECT area = r;
            SetTextColor(dc, !active_   ? skin::kTextInactive
                             : selected ? skin::kAccent
                                        : skin::kText);
            DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
        }
        if (selected) {
            RECT focus = r;
            InflateRect(&focus, -scale(4), -scale(4));
            drawFocus(dc, focus);
        }
    }
}

} // namespace kh
