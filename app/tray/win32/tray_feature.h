#pragma once
// The program as a resident of the notification area: the icon (stTrayIcon) and its menu
// pmTray, hiding there and coming back by the icon, the global hotkey or a second start,
// and what loading the settings registers with the system (the hotkey, the autorun
// value, the account file type).
#include "app_state.h"
#include "feature_handler.h"
#include "q_tray_icon.h"
#include "resident.h"
#include "session.h"
#include "single_instance.h"
#include "win32/form.h"
#include "win32/menu.h"
#include "win32_registry.h"

#include <functional>
#include <memory>

namespace kh {

class TrayFeature : public FeatureHandler, public HotkeyRegistration, private ResidentHost {
  public:
    // `mainWindow` is hidden and shown here and receives the hotkey; `loginWindow` receives
    // a second start's activation message; `menu` is pmTray, whose items run their
    // commands; `state` says which of them are enabled; `settingsChanged` brings the
    // autorun value in step.
    TrayFeature(Session& session, Settings& settings, Event<>& settingsChanged,
                const MessageTable& messages, StartState& start, MainWindowControl& window,
                TForm& mainWindow, TForm& loginWindow, TMenu& menu,
                std::function<CommandState()> state);
    ~TrayFeature() override;

    void run(CommandId action) override;
    // The tray tip is the program's title in the language of the moment.
    void languageLoaded() override { stTrayIcon.setHint(messages_.text(Msg::apptitle)); }

    Resident& resident() { return resident_; }
    QTrayIcon& trayIcon() { return stTrayIcon; }
    // The main window's first show waits for the first restore (a start with "/start").
    void deferFirstShow(std::function<bool()> firstShow);
    // The hotkey as the Hotkey and HotkeyValue settings say; nothing while Hotkey is off.
    void setHotkeyRegistered(bool registered) override;
    bool hotkeyRegistered() const { return hotkeyRegistered_; }
    // Before pmTray opens: its items enabled for the session's state.
    void menuPopup();
    // The icon follows the session: the logged-in picture while an account is open.
    void updateIcon();
    bool showsLoggedInIcon() const { return iconLoggedIn_; }
    // The autorun value written when the Autorun setting is on, deleted when it is off.
    void applyAutorun();

  private:
    bool iconShown() override;
    bool windowVisible() override;
    void hideWindow() override;
    void minimizeWindow() override;
    bool showWindow() override;
    void bringToFront() override;
    bool loggedIn() override;
    void showLastLogin() override;

    void hookWindows(TForm& mainWindow, TForm& loginWindow);
    SharedIcon loggedInIcon();
    HWND mainHandle() const { return mainWindow_.handle(); }

    Session& session_;
    Settings& settings_;
    const MessageTable& messages_;
    MainWindowControl& window_;
    TForm& mainWindow_;
    TMenu& menu_;
    std::function<CommandState()> state_;
    QTrayIcon stTrayIcon;
    Resident resident_;
    Win32Registry registry_;
    std::function<bool()> firstShow_;
    bool hotkeyRegistered_ = false;
    bool iconLoggedIn_ = false;
    SharedIcon appIcon_;
    SharedIcon loggedInIcon_;
    Event<>::Subscription started_, ended_, settingsChanged_;
    // The hooks outlive the feature on windows that outlive it; they find it through here.
    std::shared_ptr<TrayFeature*> self_;
};

} // namespace kh
