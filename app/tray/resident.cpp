#include "resident.h"

namespace kh {
namespace {

// Mouse messages of the icon's callback.
constexpr unsigned kLeftUp = 0x0202;
constexpr unsigned kLeftDoubleClick = 0x0203;
constexpr unsigned kRightUp = 0x0205;
constexpr unsigned kRightDoubleClick = 0x0206;
constexpr unsigned kMiddleDoubleClick = 0x0209;

class Reentry {
  public:
    explicit Reentry(bool& busy) : busy_(busy) { busy_ = true; }
    ~Reentry() { busy_ = false; }
    Reentry(const Reentry&) = delete;
    Reentry& operator=(const Reentry&) = delete;

  private:
    bool& busy_;
};

} // namespace

TrayMouseReaction trayMouseReaction(unsigned mouseMessage, TrayMouseAction restoreOn,
                                    TrayMouseAction popupOn) {
    const auto reacts = [&](TrayMouseAction action) {
        return TrayMouseReaction{restoreOn == action, popupOn == action};
    };
    switch (mouseMessage) {
    case kLeftUp:
        return reacts(TrayMouseAction::LeftClickUp);
    case kRightUp:
        return reacts(TrayMouseAction::RightClickUp);
    case kLeftDoubleClick:
    case kRightDoubleClick:
    case kMiddleDoubleClick:
        return reacts(TrayMouseAction::DoubleClick);
    default:
        return {};
    }
}

std::string trayTip(std::string_view hint) {
    if (hint.size() > 64) hint = hint.substr(0, 63);
    return std::string(hint);
}

void Resident::minimizeToTray() {
    if (busy_) return;
    Reentry guard(busy_);
    // Hidden without an icon, the program could only be reached by its hotkey.
    if (host_.iconShown()) {
        host_.hideWindow();
    } else {
        host_.minimizeWindow();
    }
    host_.loggedIn();
}

void Resident::restoreFromTray() {
    if (busy_) return;
    Reentry guard(busy_);
    if (!host_.showWindow()) return;
    if (!host_.loggedIn() && settings_.wizard && !startHidden_) host_.showLastLogin();
    startHidden_ = false;
}

void Resident::activate() {
    if (host_.windowVisible()) {
        host_.bringToFront();
    } else {
        restoreFromTray();
    }
}

void Resident::hotkeyPressed() {
    if (settings_.hotkey && !host_.windowVisible()) restoreFromTray();
}

} // namespace kh
