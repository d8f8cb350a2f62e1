#pragma once
// The program as a resident of the notification area: the icon (stTrayIcon) and its menu
// pmTray, hiding there and coming back by the icon, the global hotkey or a second start,
// and what loading the settings registers with the system (the hotkey, the autorun
// value, the account file type).
#include "app_context.h"
#include "instance/single_instance.h"
#include "q_tray_icon.h"
#include "resident.h"
#include "win32_registry.h"

#include <functional>
#include <memory>

namespace kh {

class TrayFeature : public FeatureHandler, private ResidentHost {
  public:
    explicit TrayFeature(AppContext& context);
    ~TrayFeature() override;

    void run(CommandId action) override;
    void sessionStarted() override;
    void sessionEnded() override;

    Resident& resident() { return resident_; }
    QTrayIcon& trayIcon() { return stTrayIcon; }
    // pmTray: a menu of the main window, which runs its items.
    void setMenu(TMenu& menu);
    // The main window's first show waits for the first restore (a start with "/start").
    void deferFirstShow(std::function<bool()> firstShow);
    // The hotkey as the Hotkey and HotkeyValue settings say; nothing while Hotkey is off.
    void setHotkeyRegistered(bool registered);
    bool hotkeyRegistered() const { return hotkeyRegistered_; }
    // Before pmTray opens: its items enabled for the session's state.
    void menuPopup();
    // The icon follows the session: the logged-in picture while an account is open.
    void updateIcon();
    bool showsLoggedInIcon() const { return iconLoggedIn_; }

  private:
    bool iconShown() override;
    bool windowVisible() override;
    void hideWindow() override;
    void minimizeWindow() override;
    bool showWindow() override;
    void bringToFront() override;
    bool loggedIn() override;
    void showLastLogin() override;

    void hookWindows();
    void applyAutorun();
    HICON loggedInIcon();

    AppContext& context_;
    QTrayIcon stTrayIcon;
    Resident resident_;
    Win32Registry registry_;
    TMenu* menu_ = nullptr;
    std::function<bool()> firstShow_;
    bool hotkeyRegistered_ = false;
    bool iconLoggedIn_ = false;
    HICON appIcon_ = nullptr;
    HICON loggedInIcon_ = nullptr;
    // The hooks outlive the feature on windows that outlive it; they find it through here.
    std::shared_ptr<TrayFeature*> self_;
};

} // namespace kh
