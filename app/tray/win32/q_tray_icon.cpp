#include "q_tray_icon.h"

#include "win32/error_boundary.h"
#include "win32/menu.h"

#include <shellapi.h>

#include <algorithm>
#include <chrono>

namespace kh {
namespace {

constexpr char kWindowClass[] = "QTrayIcon";
constexpr UINT_PTR kRetryTimer = 1;

void registerClass() {
    static const bool registered = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kWindowClass;
        return RegisterClassExA(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

QTrayIcon::QTrayIcon() {
    registerClass();
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    // A top-level window rather than a message-only one: only those hear the shell's
    // broadcast when it restarts.
    window_ = CreateWindowExA(0, kWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (window_) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&windowProc));
    }
}

QTrayIcon::~QTrayIcon() {
    remove();
    stopModifier();
    if (window_) {
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void QTrayIcon::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (visible) {
        add();
    } else {
        remove();
    }
}

void QTrayIcon::setHint(std::string_view hint) {
    hint_ = trayTip(hint);
    update();
}

SharedIcon shareIcon(HICON icon) {
    return SharedIcon(icon, [](HICON owned) {
        if (owned) DestroyIcon(owned);
    });
}

void QTrayIcon::setIcon(SharedIcon icon) {
    icon_ = std::move(icon);
    update();
}

void QTrayIcon::fill(NOTIFYICONDATAA& data) const {
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon_.get();
    if (!hint_.empty()) {
        data.uFlags |= NIF_TIP;
        const std::size_t n = std::min(hint_.size(), sizeof data.szTip - 1);
        std::copy_n(hint_.data(), n, data.szTip);
        data.szTip[n] = '\0';
    }
}

void QTrayIcon::add() {
    if (!window_ || !visible_) return;
    waitForModify();
    NOTIFYICONDATAA data{};
    fill(data);
    shown_ = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
    // Refused (no shell yet, or it is busy restarting): offered again until it is taken.
    if (shown_) {
        KillTimer(window_, kRetryTimer);
    } else {
        SetTimer(window_, kRetryTimer, kRetryInterval, nullptr);
    }
}

void QTrayIcon::update() {
    if (!shown_) return;
    Modify change{};
    fill(change.data);
    change.icon = icon_; // alive until sent, whatever the icon is changed to meanwhile
    {
        std::lock_guard lock(modifyLock_);
        pendingModify_ = std::move(change);
        if (!modifier_.joinable()) modifier_ = std::thread([this] { modifyLoop(); });
    }
    modifyWake_.notify_all();
}

void QTrayIcon::modifyLoop() {
    std::unique_lock lock(modifyLock_);
    for (;;) {
        modifyWake_.wait(lock, [this] { return stopping_ || pendingModify_.has_value(); });
        if (!pendingModify_) return; // stopping, nothing left to send
        Modify change = std::move(*pendingModify_);
        pendingModify_.reset();
        modifyBusy_ = true;
        lock.unlock();
        Shell_NotifyIconA(NIM_MODIFY, &change.data);
        change.icon.reset(); // its last owner may be this thread now
        lock.lock();
        modifyBusy_ = false;
        modifyWake_.notify_all();
    }
}

void QTrayIcon::waitForModify() {
    std::unique_lock lock(modifyLock_);
    // Bounded: a shell that hangs must not hang the program with it.
    modifyWake_.wait_for(lock, std::chrono::seconds(2),
                         [this] { return !pendingModify_ && !modifyBusy_; });
}

void QTrayIcon::stopModifier() {
    {
        std::lock_guard lock(modifyLock_);
        stopping_ = true;
    }
    modifyWake_.notify_all();
    if (modifier_.joinable()) modifier_.join();
    pendingModify_.reset();
}

void QTrayIcon::remove() {
    if (window_) KillTimer(window_, kRetryTimer);
    if (!shown_) return;
    waitForModify();
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    Shell_NotifyIconA(NIM_DELETE, &data);
    shown_ = false;
}

void QTrayIcon::popup() {
    if (!PopupMenu) return;
    POINT at{};
    GetCursorPos(&at);
    if (OnPopup) OnPopup();
    HWND owner = MenuOwner ? MenuOwner() : nullptr;
    PopupMenu->popup(owner ? owner : window_, at);
}

LRESULT CALLBACK QTrayIcon::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return guardedMessage([&] {
        auto* self = reinterpret_cast<QTrayIcon*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        return self ? self->handleMessage(msg, wParam, lParam)
                    : DefWindowProcA(hwnd, msg, wParam, lParam);
    });
}

LRESULT QTrayIcon::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kCallbackMessage) {
        const TrayMouseReaction reaction =
            trayMouseReaction(static_cast<unsigned>(lParam), RestoreOn, PopupMenuOn);
        if (reaction.restore && OnRestoreClick) OnRestoreClick();
        if (reaction.popup) popup();
        return 0;
    }
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        // A new shell knows nothing of the icon; whatever an old one kept goes first.
        remove();
        add();
        return 0;
    }
    switch (msg) {
    case WM_TIMER:
        if (wParam == kRetryTimer) {
            if (shown_) {
                KillTimer(window_, kRetryTimer);
            } else {
                add();
            }
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        return TRUE;
    default:
        break;
    }
    return DefWindowProcA(window_, msg, wParam, lParam);
}

} // namespace kh
