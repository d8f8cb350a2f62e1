#include "hotkey.h"

namespace kh {

std::optional<HotkeyChord> hotkeyChord(std::uint16_t code) {
    HotkeyChord chord;
    chord.key = code & 0xFFu;
    if (chord.key == 0) return std::nullopt;
    if (code & 0x8000u) chord.modifiers |= kHotkeyAlt;
    if (code & 0x4000u) chord.modifiers |= kHotkeyControl;
    if (code & 0x2000u) chord.modifiers |= kHotkeyShift;
    return chord;
}

} // namespace kh
