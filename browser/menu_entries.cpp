#include "menu_entries.h"

#include "pages.h"
#include "text_trim.h"

namespace kh::browser {

MenuCaptions menuCaptions(const MessageTable& messages) {
    return {messages.text(Msg::ieget), messages.text(Msg::iegenerate), messages.text(Msg::iesave)};
}

std::string menuKeyName(std::string_view caption) {
    std::string name;
    name.reserve(caption.size());
    for (const char c : caption) {
        if (c == '\\')
            name.push_back('/');
        else if (isBlankOrControl(c))
            name.push_back(' ');
        else
            name.push_back(c);
    }
    // An empty name would address the menu-extension key itself.
    return std::string(trimBlanks(name));
}

std::vector<MenuEntry> menuEntries(std::string_view programFolder, const MenuCaptions& captions) {
    const std::string folder(programFolder);
    return {
        {menuKeyName(captions.get), folder + std::string(kGetPage)},
        {menuKeyName(captions.generate), folder + std::string(kGeneratePage)},
        {menuKeyName(captions.save), folder + std::string(kSavePage)},
    };
}

std::vector<std::string> menuKeysToRemove(const MenuCaptions& captions) {
    return {menuKeyName(captions.get), menuKeyName(captions.save), menuKeyName(captions.generate)};
}

void registerMenuEntries(MenuRegistry& registry, std::string_view programFolder,
                         const MenuCaptions& captions, bool withIE) {
    if (!withIE) return;
    try {
        const std::unique_ptr<MenuExtKey> key = registry.openMenuExt(true);
        if (!key) return;
        for (const MenuEntry& entry : menuEntries(programFolder, captions))
            if (!entry.keyName.empty()) key->writeEntry(entry.keyName, entry.page, kMenuContexts);
    } catch (...) {
        // The browser menu is a convenience; failing to register it must not stop the
        // program.
    }
}

void removeMenuEntries(MenuRegistry& registry, const MenuCaptions& captions) {
    try {
        const std::unique_ptr<MenuExtKey> key = registry.openMenuExt(false);
        if (!key) return;
        for (const std::string& name : menuKeysToRemove(captions))
            if (!name.empty()) key->deleteEntry(name);
    } catch (...) {
    }
}

} // namespace kh::browser
