#include "win32/menu.h"

#include "win32/form.h"

#include <cctype>

namespace kh {

namespace {

void setItemState(HMENU menu, UINT position, UINT mask, UINT value) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE;
    if (!GetMenuItemInfoA(menu, position, TRUE, &info)) return;
    info.fState = (info.fState & ~mask) | value;
    SetMenuItemInfoA(menu, position, TRUE, &info);
}

UINT itemState(HMENU menu, UINT position) {
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE;
    return GetMenuItemInfoA(menu, position, TRUE, &info) ? info.fState : 0;
}

} // namespace

TMenuItem::TMenuItem(TMenu& menu, const MenuItemDef& def, HMENU parent, UINT position)
    : menu_(menu), name_(def.name), caption_(def.caption), commandId_(def.commandId), tag_(def.tag),
      imageIndex_(def.imageIndex), radio_((def.options & menuopt::radio) != 0), parent_(parent),
      position_(position) {
    // The shortcut shown after a tab is no text to translate: a language replaces the
    // caption before it and the shortcut stays.
    const std::size_t tab = caption_.find('\t');
    if (tab != std::string::npos) {
        shortcut_ = caption_.substr(tab + 1);
        caption_.resize(tab);
    }
    shown_ = displayed();
}

std::string TMenuItem::displayed() const {
    return shortcut_.empty() ? caption_ : caption_ + "\t" + shortcut_;
}

bool TMenuItem::checked() const {
    return (itemState(parent_, position_) & MFS_CHECKED) != 0;
}

void TMenuItem::setChecked(bool checked) {
    if (checked && radio_) {
        // One radio item of a menu level is checked at a time.
        for (TMenuItem* other : menu_.items())
            if (other != this && other->radio_ && other->parent_ == parent_)
                setItemState(parent_, other->position_, MFS_CHECKED, 0);
    }
    setItemState(parent_, position_, MFS_CHECKED, checked ? MFS_CHECKED : 0);
}

bool TMenuItem::enabled() const {
    return (itemState(parent_, position_) & MFS_DISABLED) == 0;
}

void TMenuItem::setEnabled(bool enabled) {
    setItemState(parent_, position_, MFS_DISABLED, enabled ? 0 : MFS_DISABLED);
}

void TMenuItem::setText(const std::string& text) {
    if (isSeparator()) return;
    caption_ = text;
    shown_ = displayed();
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = shown_.data();
    info.cch = static_cast<UINT>(shown_.size());
    SetMenuItemInfoA(parent_, position_, TRUE, &info);
}

TMenu::TMenu(std::string name, std::span<const MenuItemDef> items, bool menuBar)
    : name_(std::move(name)), menuBar_(menuBar),
      handle_(menuBar ? CreateMenu() : CreatePopupMenu()) {
    // The open menu of each depth while walking the table.
    std::vector<HMENU> levels{handle_.get()};
    for (const MenuItemDef& def : items) {
        std::size_t level = def.level < 0 ? 0 : static_cast<std::size_t>(def.level);
        if (level >= levels.size()) level = levels.size() - 1; // a skipped level joins the deepest
        levels.resize(level + 1);
        // An item followed by deeper rows opens a submenu.
        const bool hasSubmenu =
            (&def + 1) < items.data() + items.size() && (&def + 1)->level > def.level;
        TMenuItem& item = insert(levels.back(), def, hasSubmenu);
        if (item.submenu_) levels.push_back(item.submenu_);
    }
}

TMenuItem& TMenu::insert(HMENU parent, const MenuItemDef& def, bool withSubmenu) {
    const UINT position = static_cast<UINT>(GetMenuItemCount(parent));
    auto item = std::make_unique<TMenuItem>(*this, def, parent, position);
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    if (item->isSeparator()) {
        info.fMask = MIIM_FTYPE;
        info.fType = MFT_SEPARATOR;
    } else {
        info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_FTYPE;
        info.fType = item->radio_ ? MFT_RADIOCHECK : 0;
        info.wID = static_cast<UINT>(def.commandId);
        info.dwTypeData = item->shown_.data();
        info.cch = static_cast<UINT>(item->shown_.size());
        info.fState = ((def.options & menuopt::checked) ? MFS_CHECKED : 0) |
                      ((def.options & menuopt::disabled) ? MFS_DISABLED : 0);
    }
    if (withSubmenu && !item->isSeparator()) {
        item->submenu_ = CreatePopupMenu();
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = item->submenu_;
    }
    InsertMenuItemA(parent, position, TRUE, &info);
    items_.push_back(std::move(item));
    return *items_.back();
}

TMenuItem* TMenu::append(TMenuItem& parent, const MenuItemDef& def) {
    if (&parent.menu() != this || !parent.submenu()) return nullptr;
    return &insert(parent.submenu(), def, false);
}

TMenuItem* TMenu::item(std::string_view name) const {
    for (const auto& item : items_)
        if (item->name_ == name) return item.get();
    return nullptr;
}

TMenuItem* TMenu::itemByCommand(int commandId) const {
    if (commandId == 0) return nullptr;
    for (const auto& item : items_)
        if (item->commandId_ == commandId && !item->isSeparator()) return item.get();
    return nullptr;
}

std::vector<TMenuItem*> TMenu::items() const {
    std::vector<TMenuItem*> result;
    result.reserve(items_.size());
    for (const auto& item : items_)
        result.push_back(item.get());
    return result;
}

TMenuItem* TMenu::popup(HWND owner, POINT screen) {
    // A key that opened the menu has left its character in the queue; the menu would
    // take it as the mnemonic of one of its items and run that at once.
    discardPendingCharacters();
    // The owner must be the foreground window or the menu does not close when the user
    // clicks elsewhere.
    SetForegroundWindow(owner);
    const int chosen = static_cast<int>(
        TrackPopupMenu(handle(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON,
                       screen.x, screen.y, 0, owner, nullptr));
    PostMessageA(owner, WM_NULL, 0, 0);
    TMenuItem* item = itemByCommand(chosen);
    if (item) SendMessageA(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return item;
}

void TMenu::attachTo(HWND window) {
    HMENU menu = handle();
    if (!SetMenu(window, menu)) return;
    attached_ = menu;
    handle_.release();
}

} // namespace kh
