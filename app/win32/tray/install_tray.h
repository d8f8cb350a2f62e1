#pragma once
// Puts the tray feature into the main window: its menu pmTray among the window's menus
// (translated and drawn with them), and the window's minimise and restore handed to it.
namespace kh {

class TfrmMain;
class TrayFeature;

TrayFeature& installTray(TfrmMain& main);

// The tray feature of a main window; null before installTray.
TrayFeature* trayFeature(TfrmMain& main);

} // namespace kh
