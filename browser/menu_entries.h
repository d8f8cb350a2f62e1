// The browser's context-menu entries: one sub-key per entry under the menu-extension key,
// named by the entry's caption and pointing at a page in the program folder.
#pragma once

#include "message_table.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kh::browser {

struct MenuCaptions {
    std::string get;      // ieget
    std::string generate; // iegenerate
    std::string save;     // iesave
};
MenuCaptions menuCaptions(const MessageTable& messages);

// HKEY_CURRENT_USER, created when missing.
inline constexpr char kMenuExtKey[] = "Software\\Microsoft\\Internet Explorer\\MenuExt";
// Offer the entries on form controls only.
inline constexpr std::uint32_t kMenuContexts = 4;

// The sub-key name for a caption. A "\" would make nested keys that removal by caption
// never reaches, and control characters (a ";" of a language file becomes a line break)
// do not belong in a menu: both become harmless characters. Empty when nothing usable
// remains, and such an entry is neither written nor removed.
std::string menuKeyName(std::string_view caption);

struct MenuEntry {
    std::string keyName;
    std::string page; // program folder + page file name
};
// Get, Generate, Save: the order they are written in.
std::vector<MenuEntry> menuEntries(std::string_view programFolder, const MenuCaptions& captions);
// Get, Save, Generate: the order they are removed in.
std::vector<std::string> menuKeysToRemove(const MenuCaptions& captions);

// The opened menu-extension key; closed when the object goes away.
class MenuExtKey {
  public:
    virtual ~MenuExtKey() = default;
    // Creates or opens the sub-key and sets its default value (REG_SZ, `page`) and
    // `Contexts` (REG_DWORD). Failures are silent.
    virtual void writeEntry(std::string_view keyName, std::string_view page,
                            std::uint32_t contexts) = 0;
    virtual void deleteEntry(std::string_view keyName) = 0;
};

class MenuRegistry {
  public:
    virtual ~MenuRegistry() = default;
    // The menu-extension key, created when `create` is set; null when it cannot be opened.
    virtual std::unique_ptr<MenuExtKey> openMenuExt(bool create) = 0;
};

// Writes the three entries when `withIE` is on; nothing otherwise. Never fails aloud.
void registerMenuEntries(MenuRegistry& registry, std::string_view programFolder,
                         const MenuCaptions& captions, bool withIE);
// Deletes the three entries, whatever the setting says. Never fails aloud.
void removeMenuEntries(MenuRegistry& registry, const MenuCaptions& captions);

} // namespace kh::browser
