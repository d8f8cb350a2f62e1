#pragma once
// The program as a resident of the notification area: which clicks on its icon bring it
// back or open the icon's menu, and the rules for hiding it there and bringing it back
// (by the icon, the hotkey, or a second start handing over). Platform-free: the windows
// are reached through ResidentHost.
#include "settings.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kh {

// What a tray icon may react to (its RestoreOn and PopupMenuOn).
enum class TrayMouseAction : std::uint8_t {
    Click,
    DoubleClick, // a double click of any button
    MouseDown,
    MouseUp,
    LeftClickUp,
    LeftDoubleClick,
    RightClickUp, // the right button released
    RightDoubleClick,
    None,
};

struct TrayMouseReaction {
    bool restore = false;
    bool popup = false;
    bool operator==(const TrayMouseReaction&) const = default;
};

// The icon's callback carries a mouse message (Windows numbering: WM_LBUTTONUP...).
TrayMouseReaction trayMouseReaction(unsigned mouseMessage, TrayMouseAction restoreOn,
                                    TrayMouseAction popupOn);

// The icon's tip as it is kept: a hint longer than 64 characters keeps its first 63.
std::string trayTip(std::string_view hint);

class ResidentHost {
  public:
    virtual ~ResidentHost() = default;
    // The notification-area icon is there, so a hidden program can be found again.
    virtual bool iconShown() = 0;
    // The main window is on screen: shown and not minimised.
    virtual bool windowVisible() = 0;
    virtual void hideWindow() = 0;
    virtual void minimizeWindow() = 0;
    // Shows the main window restored and in front (its first show, when still due, runs
    // here). False when the program is ending instead.
    virtual bool showWindow() = 0;
    virtual void bringToFront() = 0;
    // Whether an account is logged in; this counts as the user's action.
    virtual bool loggedIn() = 0;
    // The login dialog for the last account file and name.
    virtual void showLastLogin() = 0;
};

class Resident {
  public:
    // `startHidden`: the program was started with "/start"; the first restore clears it.
    Resident(ResidentHost& host, const Settings& settings, bool& startHidden)
        : host_(host), settings_(settings), startHidden_(startHidden) {}

    // Hides the program in the notification area, or minimises it while there is no icon
    // to bring it back from.
    void minimizeToTray();
    // Shows it again; with nobody logged in and the Wizard setting on, the login for the
    // last account follows (not on the first restore after "/start": the first show
    // has just offered it).
    void restoreFromTray();
    // A second start handed over to this one.
    void activate();
    // The global hotkey: brings back a hidden program, and only while the Hotkey
    // setting is on.
    void hotkeyPressed();
    // minimizeToTray or restoreFromTray is running (a nested call does nothing).
    bool busy() const { return busy_; }

  private:
    ResidentHost& host_;
    const Settings& settings_;
    bool& startHidden_;
    bool busy_ = false;
};

} // namespace kh
