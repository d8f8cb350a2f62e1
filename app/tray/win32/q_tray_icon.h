#pragma once
// QTrayIcon: the program's icon in the notification area. It owns a hidden window that
// receives the icon's callback message and the shell's "TaskbarCreated" broadcast (the
// icon is added again when the shell restarts), and it keeps trying to add the icon while
// the shell refuses it, so the program can tell whether hiding is safe.
#include "resident.h"

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace kh {

class TMenu;

class QTrayIcon {
  public:
    static constexpr UINT kCallbackMessage = 0x49D;
    static constexpr UINT kIconId = 1;
    // How often a refused icon is offered again.
    static constexpr UINT kRetryInterval = 5000;

    QTrayIcon();
    ~QTrayIcon();
    QTrayIcon(const QTrayIcon&) = delete;
    QTrayIcon& operator=(const QTrayIcon&) = delete;

    bool visible() const { return visible_; }
    void setVisible(bool visible);
    const std::string& hint() const { return hint_; }
    void setHint(std::string_view hint);
    // A copy of `icon` is kept.
    void setIcon(HICON icon);
    HICON icon() const { return icon_; }
    // The icon is in the notification area now.
    bool shown() const { return shown_; }

    TrayMouseAction RestoreOn = TrayMouseAction::DoubleClick;
    TrayMouseAction PopupMenuOn = TrayMouseAction::None;
    TMenu* PopupMenu = nullptr;
    // The window the menu belongs to: it receives the chosen item.
    std::function<HWND()> MenuOwner;
    // A mouse action asked to bring the program back.
    std::function<void()> OnRestoreClick;
    // The menu is about to open.
    std::function<void()> OnPopup;

    // Opens the menu at the cursor.
    void popup();
    // The hidden window (tests send it the callback message).
    HWND handle() const { return window_; }

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void fill(NOTIFYICONDATAA& data) const;
    void add();
    void update();
    void remove();
    // Changes of a shown icon reach the shell from a thread of their own: the shell's tray
    // answers a change only once it has taken it in (milliseconds, in another process),
    // and a login should not wait for that. Only the newest change is sent; adding and
    // removing the icon wait until it has been.
    void modifyLoop();
    void waitForModify();
    void stopModifier();

    HWND window_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool visible_ = false;
    bool shown_ = false;
    std::string hint_;
    HICON icon_ = nullptr;

    std::mutex modifyLock_;
    std::condition_variable modifyWake_;
    std::optional<NOTIFYICONDATAA> pendingModify_; // its icon is a copy the thread destroys
    bool modifyBusy_ = false;
    bool stopping_ = false;
    std::thread modifier_;
};

} // namespace kh
