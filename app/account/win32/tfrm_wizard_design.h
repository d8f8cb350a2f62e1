// The account wizard's design: layout constants shared with its code, and the table of its
// pages and controls (in tfrm_wizard_design.cpp).
#pragma once

#include "win32/form.h"

#include <windows.h>

#include <span>

namespace kh::wizard {

inline constexpr int kIdForgot = 301;
inline constexpr COLORREF kRed = RGB(0xD0, 0x00, 0x00);
inline constexpr COLORREF kNavy = RGB(0x00, 0x00, 0x80);
inline constexpr COLORREF kLinkGreen = RGB(0x00, 0x80, 0x00);

// Window layout in 96-DPI units: the picture strip on the left above the button bar, the
// notebook beside it.
inline constexpr int kClientWidth = 489;
inline constexpr int kClientHeight = 265;
inline constexpr int kButtonBarTop = kClientHeight - 30;

std::span<const ControlDef> controls();
FormDesign design();

} // namespace kh::wizard
