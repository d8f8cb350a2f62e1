#include "tray_feature.h"

#include "app_folders.h"
#include "hotkey.h"
#include "image_ids.h"
#include "resource_ids.h"
#include "win32/image_strip.h"
#include "win32/menu.h"

#include <commctrl.h>
#include <shlobj.h>

namespace kh {

TrayFeature::TrayFeature(Session& session, Settings& settings, Event<>& settingsChanged,
                         const MessageTable& messages, StartState& start, MainWindowControl& window,
                         TForm& mainWindow, TForm& loginWindow, TMenu& menu,
                         std::function<CommandState()> state)
    : session_(session), settings_(settings), messages_(messages), window_(window),
      mainWindow_(mainWindow), menu_(menu), state_(std::move(state)),
      resident_(*this, settings, start.startHidden),
      started_(session.OnStarted.subscribe([this] { updateIcon(); })),
      ended_(session.OnEnded.subscribe([this] { updateIcon(); })),
      settingsChanged_(settingsChanged.subscribe([this] { applyAutorun(); })),
      self_(std::make_shared<TrayFeature*>(this)) {
    const int size = GetSystemMetrics(SM_CXSMICON);
    appIcon_ = shareIcon(static_cast<HICON>(LoadImageA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KEYHAVEN), IMAGE_ICON, size, size, 0)));

    stTrayIcon.setHint(messages_.text(Msg::apptitle));
    stTrayIcon.RestoreOn = TrayMouseAction::DoubleClick;
    stTrayIcon.PopupMenuOn = TrayMouseAction::RightClickUp;
    stTrayIcon.MenuOwner = [this] { return mainHandle(); };
    stTrayIcon.PopupMenu = &menu_;
    stTrayIcon.OnRestoreClick = [this] { resident_.restoreFromTray(); };
    stTrayIcon.OnPopup = [this] { menuPopup(); };
    updateIcon();
    stTrayIcon.setVisible(true);

    hookWindows(mainWindow, loginWindow);

    // What loading config.ini sets off (the settings are in by now).
    setHotkeyRegistered(true);
    applyAutorun();
    if (registerAccountFileType(registry_, executablePath()))
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

TrayFeature::~TrayFeature() {
    *self_ = nullptr;
    if (hotkeyRegistered_) UnregisterHotKey(mainHandle(), kHotkeyId);
}

void TrayFeature::hookWindows(TForm& mainWindow, TForm& loginWindow) {
    std::shared_ptr<TrayFeature*> self = self_;
    mainWindow.addMessageHook([self](UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
        TrayFeature* tray = *self;
        if (!tray) return false;
        switch (msg) {
        case WM_HOTKEY:
            if (wParam != static_cast<WPARAM>(kHotkeyId)) return false;
            tray->resident_.hotkeyPressed();
            result = 0;
            return true;
        case WM_SYSCOMMAND:
            // Every minimising goes to the tray, and coming back from a minimised window
            // (while there was no icon) is a restore from the tray.
            if ((wParam & 0xFFF0) == SC_MINIMIZE) {
                tray->resident_.minimizeToTray();
                result = 0;
                return true;
            }
            if ((wParam & 0xFFF0) == SC_RESTORE && IsIconic(tray->mainHandle())) {
                tray->resident_.restoreFromTray();
                result = 0;
                return true;
            }
            return false;
        case WM_DESTROY:
            if (tray->hotkeyRegistered_) {
                UnregisterHotKey(tray->mainHandle(), kHotkeyId);
                tray->hotkeyRegistered_ = false;
            }
            return false;
        default:
            return false;
        }
    });
    loginWindow.addMessageHook([self](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        TrayFeature* tray = *self;
        if (!tray || msg != kActivationMessage) return false;
        if (wParam != kActivationMarker || lParam != 0) return false;
        result = static_cast<LRESULT>(kActivationMarker);
        tray->resident_.activate();
        return true;
    });
}

void TrayFeature::run(CommandId action) {
    if (action == CommandId::TrayOpenKeyhaven) resident_.restoreFromTray();
}

void TrayFeature::deferFirstShow(std::function<bool()> firstShow) {
    firstShow_ = std::move(firstShow);
}

void TrayFeature::setHotkeyRegistered(bool registered) {
    const Settings& settings = settings_;
    if (!settings.hotkey) return;
    HWND main = mainHandle();
    // A second registration under the same identifier would keep the old chord as well.
    if (hotkeyRegistered_) UnregisterHotKey(main, kHotkeyId);
    hotkeyRegistered_ = false;
    if (!registered) return;
    const std::optional<HotkeyChord> chord = hotkeyChord(settings.hotkeyValue);
    if (!chord) return;
    hotkeyRegistered_ = RegisterHotKey(main, kHotkeyId, chord->modifiers, chord->key) != FALSE;
    if (!hotkeyRegistered_) session_.showWarning(messages_.text(Msg::hotkeyfailed));
}

void TrayFeature::applyAutorun() {
    kh::applyAutorun(registry_, executablePath(), settings_.autorun);
}

void TrayFeature::menuPopup() {
    const CommandState state = state_();
    updateIcon();
    for (TMenuItem* item : menu_.items()) {
        if (item->isSeparator() || item->commandId() < kMenuCommandBase) continue;
        const auto id = static_cast<CommandId>(item->commandId() - kMenuCommandBase);
        item->setEnabled(isEnabled(commandDef(id).rule, state));
    }
}

SharedIcon TrayFeature::loggedInIcon() {
    if (!loggedInIcon_) {
        const int size = GetSystemMetrics(SM_CXSMICON);
        const StripPixels strip = loadStripPixels(GetModuleHandleA(nullptr), IDB_TOOLBAR16);
        if (HIMAGELIST list = imageListOf(strip, images::kMenuSize, size)) {
            loggedInIcon_ =
                shareIcon(ImageList_GetIcon(list, images::kImgTrayLoggedIn, ILD_TRANSPARENT));
            ImageList_Destroy(list);
        }
    }
    return loggedInIcon_ ? loggedInIcon_ : appIcon_;
}

void TrayFeature::updateIcon() {
    const bool loggedIn = session_.isLoggedIn();
    if (loggedIn == iconLoggedIn_ && stTrayIcon.icon()) return;
    iconLoggedIn_ = loggedIn;
    stTrayIcon.setIcon(loggedIn ? loggedInIcon() : appIcon_);
}

bool TrayFeature::iconShown() {
    return stTrayIcon.shown();
}

bool TrayFeature::windowVisible() {
    return window_.mainWindowVisible();
}

void TrayFeature::hideWindow() {
    ShowWindow(mainHandle(), SW_HIDE);
}

void TrayFeature::minimizeWindow() {
    ShowWindow(mainHandle(), SW_MINIMIZE);
}

bool TrayFeature::showWindow() {
    HWND main = mainHandle();
    if (firstShow_) {
        const std::function<bool()> firstShow = std::move(firstShow_);
        firstShow_ = nullptr;
        if (!firstShow()) {
            // A start for one account file that was not opened ends the program.
            if (IsWindow(main)) DestroyWindow(main);
            return false;
        }
    } else {
        ShowWindow(main, IsIconic(main) ? SW_RESTORE : SW_SHOW);
    }
    if (!IsWindow(main)) return false;
    SetForegroundWindow(main);
    // Keys go to the window at once: to the control that had the focus, else the first.
    HWND focus = GetFocus();
    if (!focus || focus == main || !IsChild(main, focus)) mainWindow_.focusFirst();
    return true;
}

void TrayFeature::bringToFront() {
    HWND main = mainHandle();
    // A dialog open over the main window comes forward rather than the window under it.
    HWND front = GetLastActivePopup(main);
    SetForegroundWindow(front ? front : main);
}

bool TrayFeature::loggedIn() {
    return session_.isLoggedIn();
}

void TrayFeature::showLastLogin() {
    session_.showLastLogin();
}

} // namespace kh
