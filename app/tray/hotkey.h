#pragma once
// The global hotkey: the 16-bit shortcut code of the HotkeyValue setting (low byte the
// virtual key, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt) as the system's hotkey
// registration takes it.
#include <cstdint>
#include <optional>

namespace kh {

// The identifier the program registers its hotkey under.
inline constexpr int kHotkeyId = 0xB001;

// Bits of the shortcut code above the virtual-key byte.
inline constexpr std::uint16_t kHotkeyShift = 0x2000;
inline constexpr std::uint16_t kHotkeyCtrl = 0x4000;
inline constexpr std::uint16_t kHotkeyAlt = 0x8000;

// Modifier bits of RegisterHotKey.
inline constexpr unsigned kModAlt = 1;
inline constexpr unsigned kModControl = 2;
inline constexpr unsigned kModShift = 4;

struct HotkeyChord {
    unsigned modifiers = 0;
    unsigned key = 0; // virtual-key code
    bool operator==(const HotkeyChord&) const = default;
};

// None when the code names no key (low byte 0): nothing is registered then.
std::optional<HotkeyChord> hotkeyChord(std::uint16_t code);

} // namespace kh
