// The one palette every form and skinned control paints with, so that all windows look
// alike: a light flat face, blue accents, grey for what cannot be used.
#pragma once

#include <windows.h>

namespace kh::skin {

inline constexpr COLORREF kFormFace = RGB(0xf4, 0xf6, 0xfa);
inline constexpr COLORREF kButtonFace = RGB(0xff, 0xff, 0xff);
inline constexpr COLORREF kButtonHot = RGB(0xe3, 0xee, 0xfb);
inline constexpr COLORREF kButtonPressed = RGB(0xc6, 0xda, 0xf3);
inline constexpr COLORREF kBorder = RGB(0x9a, 0xa8, 0xbd);
inline constexpr COLORREF kBorderHot = RGB(0x3b, 0x78, 0xc8);
inline constexpr COLORREF kAccent = RGB(0x22, 0x5c, 0xb0);
inline constexpr COLORREF kText = RGB(0x1c, 0x22, 0x2c);
inline constexpr COLORREF kTextInactive = RGB(0xa0, 0xa6, 0xb0);
inline constexpr COLORREF kFaceInactive = RGB(0xee, 0xef, 0xf1);
inline constexpr COLORREF kTabFace = RGB(0xe6, 0xeb, 0xf3);
inline constexpr COLORREF kTabSelected = RGB(0xff, 0xff, 0xff);

} // namespace kh::skin
