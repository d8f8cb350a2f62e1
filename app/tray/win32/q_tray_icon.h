#pragma once
// QTrayIcon: the program's icon in the notification area. It owns a hidden window that
// receives the icon's callback message and the shell's "TaskbarCreated" broadcast (the
// icon is added again when the shell restarts), and it keeps trying to add the icon while
// the shell refuses it, so the program can tell whether hiding is safe.
#include "resident.h"

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>

namespace kh {

class TMenu;

// An icon handle with shared owners; destroyed when the last one lets it go. The tray icon
// and the thread that hands its changes to the shell hold it, so a change costs no copy of
// the icon (a copy took a millisecond under Wine, two per login).
using SharedIcon = std::shared_ptr<std::remove_pointer_t<HICON>>;
// Takes ownership of `icon` (null stays null).
SharedIcon shareIcon(HICON icon);

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
    void setIcon(SharedIcon icon);
    HICON icon() const { return icon_.get(); }
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
    SharedIcon icon_;

    // A change for the shell, with the icon it names kept alive until it is sent.
    struct Modify {
        NOTIFYICONDATAA data;
        SharedIcon icon;
    };
    std::mutex modifyLock_;
    std::condition_variable modifyWake_;
    std::optional<Modify> pendingModify_;
    bool modifyBusy_ = false;
    bool stopping_ = false;
    std::thread modifier_;
};

} // namespace kh
