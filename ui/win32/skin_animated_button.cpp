#include "win32/skin_controls.h"

#include "win32/skin_paint.h"
#include "win32/skin_theme.h"

#include <algorithm>

namespace kh {

using skin_detail::drawBox;

namespace {

constexpr UINT_PTR kAnimationTimer = 1;

} // namespace

QAnimatedButton::~QAnimatedButton() {
    stop();
}

void QAnimatedButton::setImages(HIMAGELIST images) {
    images_ = images;
    frame_ = 0;
    repaint();
}

int QAnimatedButton::imageCount() const {
    return images_ ? ImageList_GetImageCount(images_) : 0;
}

void QAnimatedButton::setInterval(UINT milliseconds) {
    interval_ = std::max<UINT>(1, milliseconds);
    if (running_ && hwnd_) SetTimer(hwnd_, kAnimationTimer, interval_, nullptr);
}

void QAnimatedButton::start() {
    if (running_ || !hwnd_) return;
    running_ = SetTimer(hwnd_, kAnimationTimer, interval_, nullptr) != 0;
}

void QAnimatedButton::stop() {
    if (!running_) return;
    if (hwnd_) KillTimer(hwnd_, kAnimationTimer);
    running_ = false;
}

void QAnimatedButton::setFrame(int frame) {
    const int count = imageCount();
    if (frame < 0 || (count > 0 && frame >= count)) return;
    frame_ = frame;
    repaint();
}

LRESULT QAnimatedButton::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == kAnimationTimer) {
        const int count = imageCount();
        if (running_ && count > 0) {
            frame_ = (frame_ + 1) % count;
            repaint();
        }
        return 0;
    }
    if (msg == WM_DESTROY) stop();
    return QBaseControl::handleMessage(msg, wParam, lParam);
}

void QAnimatedButton::paint(HDC dc, const RECT& client) {
    if (hot_ && active_) drawBox(dc, client, skin::kButtonHot, skin::kBorderHot, scale(4));
    if (imageCount() > 0) {
        int width = 0;
        int height = 0;
        ImageList_GetIconSize(images_, &width, &height);
        ImageList_Draw(images_, frame_, dc, (client.right - width) / 2,
                       (client.bottom - height) / 2, ILD_TRANSPARENT);
    } else {
        drawCaption(dc, client, DT_CENTER | DT_VCENTER | DT_SINGLELINE, skin::kAccent);
    }
}

} // namespace kh
