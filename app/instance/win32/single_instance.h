#pragma once
// One instance per user. The first start holds a named mutex for its whole run; a later
// start finds the running instance's login window by its class and the marker in its
// user data, asks it to come forward and ends.
#include "request_block.h"

#include <windows.h>

#include <string>

namespace kh {

// What a second start posts to the running instance's login window: the message, and the
// marker it carries as wParam (lParam 0), which the login window's answer repeats.
inline constexpr UINT kActivationMessage = 0x543;
inline constexpr WPARAM kActivationMarker = browser::kLoginWindowMarker;

// "Keyhaven" and the version: one instance per version.
std::string instanceMutexName();

// The check that runs before any window exists. True when the running instance took
// over (it was posted the activation message) and this process should end with 0;
// false for a normal start, also when the running one cannot be found or reached, and
// when it is the process that started this one (a restart).
bool handOverToRunningInstance();

} // namespace kh
