// The Windows side of the browser integration: the bridge's memory, the menu-extension
// key in HKEY_CURRENT_USER, and the calls the program makes at start-up, in Settings and
// on a language change.
#pragma once

#include "menu_entries.h"
#include "pages.h"
#include "request_server.h"

#include <windows.h>

#include <string>

namespace kh::browser {

// The running program's login window: a window of class kLoginWindowClass carrying
// kLoginWindowMarker in its user data; null when there is none.
HWND findLoginWindow();

// OpenProcess with kProcessMemoryAccess for processes of this user only; reads and writes
// of blocks that mayTouchBlock allows, after VirtualQueryEx, without changing any page's
// protection.
class WindowsProcessMemory : public ProcessMemory {
  public:
    std::unique_ptr<BridgeProcess> open(std::uint32_t processId) override;
};

// HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt.
class WindowsMenuRegistry : public MenuRegistry {
  public:
    std::unique_ptr<MenuExtKey> openMenuExt(bool create) override;
};

// The program's calls; the program folder ends with "\".
void registerMenuEntries(const std::string& programFolder, const MenuCaptions& captions,
                         bool withIE);
void removeMenuEntries(const MenuCaptions& captions);
inline int buildPages(const std::string& programFolder, const MessageTable& messages) {
    return buildProgramPages(programFolder, messages);
}

} // namespace kh::browser
