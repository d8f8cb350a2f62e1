#include "hotkey.h"

namespace kh {

std::optional<HotkeyChord> hotkeyChord(std::uint16_t code) {
    HotkeyChord chord;
    chord.key = code & 0xFFu;
    if (chord.key == 0) return std::nullopt;
    if (code & kHotkeyAlt) chord.modifiers |= kModAlt;
    if (code & kHotkeyCtrl) chord.modifiers |= kModControl;
    if (code & kHotkeyShift) chord.modifiers |= kModShift;
    return chord;
}

} // namespace kh
