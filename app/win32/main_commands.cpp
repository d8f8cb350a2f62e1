// How a command reaches its feature, the window's own view commands, and what features
// may ask of the main window (tray, showing a row).
#include "tfrm_main.h"

#include <commctrl.h>

namespace kh {

void TfrmMain::runCommand(CommandId id) {
    // Every command counts as the user's action while an account is open.
    session_.noteActivity();
    const CommandId action = actionOf(id);
    const CommandDef& command = commandDef(action);
    if (command.feature == Feature::View) {
        runViewCommand(action);
    } else if (FeatureHandler* handler = feature(command.feature)) {
        handler->run(action);
    }
    if (handle()) updateToolButtons();
}

void TfrmMain::runViewCommand(CommandId action) {
    switch (action) {
    case CommandId::ViewLargeIcons:
        setViewStyle(0);
        break;
    case CommandId::ViewSmallIcons:
        setViewStyle(1);
        break;
    case CommandId::ViewList:
        setViewStyle(2);
        break;
    case CommandId::ViewDetails:
        setViewStyle(3);
        break;
    case CommandId::ToolComment:
        toggleComment();
        break;
    case CommandId::ToolStyle:
        popupMenu("pmView", get<TControl>("tbStyle").handle());
        break;
    default:
        break;
    }
}

bool TfrmMain::mainWindowVisible() {
    return IsWindowVisible(handle()) != FALSE && !IsIconic(handle());
}

void TfrmMain::hideToTray() {
    if (OnHideToTray) {
        OnHideToTray();
        return;
    }
    // Without a notification-area icon hiding would leave no way back.
    ShowWindow(handle(), SW_MINIMIZE);
}

void TfrmMain::restoreFromTray() {
    if (OnRestoreFromTray) {
        OnRestoreFromTray();
        return;
    }
    ShowWindow(handle(), IsIconic(handle()) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(handle());
}

void TfrmMain::addLanguageItems(const std::vector<std::pair<std::string, UINT>>& items) {
    TMenu* tools = menu("pmTools");
    TMenuItem* list = tools ? tools->item("mLanguageList") : nullptr;
    if (!list || !list->submenu()) return;
    for (const auto& [caption, id] : items)
        AppendMenuA(list->submenu(), MF_STRING, id, caption.c_str());
}

} // namespace kh
