#pragma once
// The main window's command bar, all of it from the command table: the menu buttons with
// their drop-down menus, the command tool bar, the list's context menu and the view menu
// (pictures drawn by the window, items enabled by the commands' rules), the shortcut keys,
// and the language menu's items for the language files.
#include "command_table.h"
#include "language_feature.h"
#include "win32/form.h"
#include "win32/menu.h"
#include "win32/skin_controls.h"

#include <windows.h>

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kh {

class TfrmMain;

class CommandBar : public LanguageMenu {
  public:
    explicit CommandBar(TfrmMain& main);
    CommandBar(const CommandBar&) = delete;
    CommandBar& operator=(const CommandBar&) = delete;

    // The menus and the tool bar's buttons.
    void attach();
    // The tool buttons take the pictures the chrome holds now (after a DPI change).
    void refreshImages();
    // A popup menu of the command table's items for `menuId` (those of `submenuOf` below
    // its submenu item), with their pictures, each running its command.
    TMenu& addCommandMenu(const char* name, MenuId menuId, MenuId submenuOf);
    // Opens the drop-down of a menu below a control, or a menu at a screen point.
    void popupMenu(const char* menuName, HWND below);

    // The menu buttons used from the keyboard as a menu bar: F10 or Alt alone highlights
    // the first; Left and Right move, also between open menus; Down, Up or Enter opens;
    // a letter opens the menu it marks; Esc or any other key leaves.
    void beginKeyboardMenu();
    void endKeyboardMenu();
    bool keyboardMenuActive() const { return highlighted_ >= 0; }
    // A key while the bar is highlighted; true when it was the bar's.
    bool keyboardMenuKey(const KeyPress& key);
    // The item and menu the open menu has selected (WM_MENUSELECT).
    void menuSelected(UINT flags, HMENU menu);
    // Left or Right inside an open menu of the bar: true when it moves to the next menu.
    bool menuArrow(UINT key);
    void popupAt(MenuId menu, POINT screen);
    // Runs the command of a shortcut key; false when the chord has none.
    bool runShortcut(const KeyPress& key);
    // The key names of the menu items' shortcuts in the current language.
    void refreshShortcutTexts();
    // A command's caption as its menu item shows it (translated), without its shortcut.
    std::string commandCaption(CommandId id) const;

    // Places the menu bar and the tool bar from `top` on; returns the height they take.
    int layout(int width, int top);
    // The enabled state of the tool buttons and the banner's hint.
    void updateToolButtons();
    void setCopyImage(int image);
    // The window of a tool-bar command's button.
    HWND toolButton(CommandId id) const;
    void setToolButtonDown(CommandId id, bool down);
    // Window messages for the menus: the pictures, and the items' state before a menu opens.
    bool measureMenuImage(MEASUREITEMSTRUCT& measure);
    bool drawMenuImage(const DRAWITEMSTRUCT& draw);
    void updateMenuState(HMENU menu);

    // LanguageMenu
    void addLanguageItems(std::vector<LanguageMenuItem> items) override;

  private:
    // Opens the menu of button `index`, then of its neighbours while Left or Right moves.
    void openBarMenu(int index);
    TToolButton& menuButton(int index);
    void highlight(int index);

    int highlighted_ = -1;       // the highlighted menu button, -1: none
    HMENU openMenu_ = nullptr;   // the bar's menu that is open
    HMENU activeMenu_ = nullptr; // the menu or submenu that has the selection
    bool selectionOpensSubmenu_ = false;
    int menuStep_ = 0; // set by Left (-1) or Right (+1) inside an open menu

    void addCommandItem(const CommandDef& command, int level, std::vector<MenuItemDef>& out);
    void setMenuImages(TMenu& menu);

    TfrmMain& main_;
    Ctl<TToolButton> ToolButton1;
    Ctl<TToolButton> ToolButton2;
    Ctl<TToolButton> ToolButton3;
    Ctl<TToolButton> ToolButton4;
    Ctl<TToolButton> ToolButton5;
    std::map<CommandId, TToolButton*> toolButtons_;
    std::deque<std::string> menuCaptions_; // storage behind the menu tables
    std::vector<std::pair<TMenuItem*, std::function<bool()>>> languageItems_;
};

// The main window's control table entries of the command bar: the two bars, the menu
// buttons and one button per tool-bar command.
void addCommandBarControls(std::vector<ControlDef>& defs);

} // namespace kh
