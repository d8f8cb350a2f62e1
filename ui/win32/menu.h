// Menus declared as tables: each row a menu item (name, caption with "&" and a "\t"
// shortcut text, command id, tag, image index, check or radio mark) at a depth; the rows
// after an item that are one level deeper form its submenu. Items are translatable.
#pragma once

#include "translatable.h"

#include "win32/gdi.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kh {

namespace menuopt {
inline constexpr unsigned checked = 1u << 0;
inline constexpr unsigned radio = 1u << 1; // checking one unchecks the other radio items
inline constexpr unsigned disabled = 1u << 2;
} // namespace menuopt

inline constexpr const char* kMenuSeparator = "-";

struct MenuItemDef {
    const char* name = "";
    const char* caption = ""; // "-" is a separator
    int commandId = 0;
    int tag = 0;
    int imageIndex = -1;
    int level = 0;
    unsigned options = 0;
};

class TMenu;

class TMenuItem : public TranslatableComponent {
  public:
    TMenuItem(TMenu& menu, const MenuItemDef& def, HMENU parent, UINT position);

    const std::string& name() const { return name_; }
    int commandId() const { return commandId_; }
    int tag() const { return tag_; }
    int imageIndex() const { return imageIndex_; }
    bool isSeparator() const { return caption_ == kMenuSeparator; }
    bool isRadio() const { return radio_; }
    HMENU parentMenu() const { return parent_; }
    HMENU submenu() const { return submenu_; }
    TMenu& menu() const { return menu_; }

    bool checked() const;
    void setChecked(bool checked);
    bool enabled() const;
    void setEnabled(bool enabled);

    std::function<void(TMenuItem& item)> OnClick;

    ComponentKind componentKind() const override { return ComponentKind::MenuItem; }
    std::string componentName() const override { return name_; }
    bool isVisualControl() const override { return false; }
    std::string text() const override { return caption_; }
    // Separators keep their "-".
    void setText(const std::string& text) override;
    std::string hint() const override { return {}; }
    void setHint(const std::string&) override {}
    std::vector<TranslatableComponent*> ownedComponents() override { return {}; }

  private:
    friend class TMenu;
    TMenu& menu_;
    std::string displayed() const;

    std::string name_;
    std::string caption_;  // without the shortcut
    std::string shortcut_; // "Ctrl+S": shown after a tab, never translated
    std::string shown_;    // what the menu holds
    int commandId_;
    int tag_;
    int imageIndex_;
    bool radio_;
    HMENU parent_;
    UINT position_;
    HMENU submenu_ = nullptr;
};

class TMenu {
  public:
    TMenu(std::string name, std::span<const MenuItemDef> items, bool menuBar);
    TMenu(const TMenu&) = delete;
    TMenu& operator=(const TMenu&) = delete;

    const std::string& name() const { return name_; }
    HMENU handle() const { return handle_.get() ? handle_.get() : attached_; }
    bool isMenuBar() const { return menuBar_; }
    TMenuItem* item(std::string_view name) const;
    TMenuItem* itemByCommand(int commandId) const;
    // Every item in table order, appended ones last.
    std::vector<TMenuItem*> items() const;
    // Appends an item to the submenu of `parent` (an item of this menu with a submenu);
    // null when it has none.
    TMenuItem* append(TMenuItem& parent, const MenuItemDef& def);

    // Shows the menu as a pop-up at a screen point; a chosen item is sent to the owner
    // as WM_COMMAND (which runs its OnClick when the owner is a form). Returns it.
    TMenuItem* popup(HWND owner, POINT screen);
    // Hands the menu to a window that destroys it with itself (menu bars).
    void attachTo(HWND window);

  private:
    TMenuItem& insert(HMENU parent, const MenuItemDef& def, bool withSubmenu);

    std::string name_;
    bool menuBar_;
    MenuHandle handle_;
    HMENU attached_ = nullptr;
    std::vector<std::unique_ptr<TMenuItem>> items_;
};

} // namespace kh
