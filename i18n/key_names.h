// Names of keys (Windows virtual-key codes) as the current language shows them after a
// menu caption and in the hotkey field: "Ctrl+Alt+C", "Shift+Del"; "Strg+Entf" in German.
#pragma once

#include <cstdint>
#include <string>

namespace kh {

class MessageTable;

// The name of one key: letters and digits as themselves, named keys from the messages.
std::string keyName(std::uint8_t key, const MessageTable& messages);
// A chord in the order Windows shows it: Ctrl, Alt, Shift, then the key; empty for key 0.
std::string keyChordText(std::uint8_t key, bool ctrl, bool alt, bool shift,
                         const MessageTable& messages);

} // namespace kh
