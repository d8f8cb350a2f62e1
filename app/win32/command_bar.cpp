#include "command_bar.h"

#include "image_ids.h"
#include "tfrm_main.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace kh {
namespace {

constexpr int kMenuBarHeight = 24; // in 96-DPI units
constexpr int kToolBarHeight = 32;
constexpr int kToolButtonWidth = 30;
constexpr int kDropDownExtra = 12;
constexpr int kMenuImageGap = 6; // between a menu item's picture and its text

constexpr const char* kMenuBarCaptions[] = {"&Account", "&Operation", "&Entries", "&Tools",
                                            "&Help"};
constexpr const char* kMenuBarNames[] = {"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton4",
                                         "ToolButton5"};
constexpr const char* kPopupNames[] = {"pmAccount", "pmOperation", "pmEntries", "pmTools",
                                       "pmHelp"};
// Every menu the window builds from the command table.
constexpr const char* kCommandMenus[] = {"pmAccount", "pmOperation", "pmEntries", "pmTools",
                                         "pmHelp",    "pmCopy",      "pmView"};

// The drop-down menu of a tool button with an arrow.
const char* dropDownMenu(CommandId id) {
    switch (id) {
    case CommandId::ToolNewEntry:
        return "pmEntries";
    case CommandId::ToolCopy:
        return "pmCopy";
    case CommandId::ToolOperation:
        return "pmOperation";
    default:
        return "pmView";
    }
}

} // namespace

void addCommandBarControls(std::vector<ControlDef>& defs) {
    for (int i = 0; i < 5; ++i) {
        defs.push_back({.name = kMenuBarNames[i],
                        .kind = ControlKind::ToolButton,
                        .caption = kMenuBarCaptions[i],
                        .parent = "ToolBar2",
                        .options = opt::noTabStop});
    }
    for (const CommandDef& command : commandTable()) {
        if (command.menu != MenuId::ToolBar) continue;
        defs.push_back({.name = command.name.data(),
                        .kind = ControlKind::ToolButton,
                        .hint = command.hint.data(),
                        .parent = "ToolBar1",
                        .options = opt::noTabStop});
    }
}

CommandBar::CommandBar(TfrmMain& main)
    : main_(main), ToolButton1{main, "ToolButton1"}, ToolButton2{main, "ToolButton2"},
      ToolButton3{main, "ToolButton3"}, ToolButton4{main, "ToolButton4"}, ToolButton5{
                                                                              main,
                                                                              "ToolButton5"} {}

void CommandBar::attach() {
    addCommandMenu("pmAccount", MenuId::Account, MenuId::ManageAccount);
    addCommandMenu("pmOperation", MenuId::Operation, MenuId::Operation);
    addCommandMenu("pmEntries", MenuId::Entries, MenuId::Entries);
    addCommandMenu("pmTools", MenuId::Tools, MenuId::Language);
    addCommandMenu("pmHelp", MenuId::Help, MenuId::Help);
    addCommandMenu("pmCopy", MenuId::ListContext, MenuId::ListContext);
    addCommandMenu("pmView", MenuId::View, MenuId::View);

    Ctl<TToolButton>* menuButtons[] = {&ToolButton1, &ToolButton2, &ToolButton3, &ToolButton4,
                                       &ToolButton5};
    for (int i = 0; i < 5; ++i) {
        TToolButton& button = menuButtons[i]->get();
        button.OnClick = [this, i] { openBarMenu(i); };
    }
    // The tool buttons are the command table's: each is bound once, by its command.
    for (const CommandDef& command : commandTable()) {
        if (command.menu != MenuId::ToolBar) continue;
        TToolButton& button = main_.get<TToolButton>(command.name);
        toolButtons_[command.id] = &button;
        button.setImages(main_.chrome_.toolImages());
        button.setImageIndex(command.image);
        const CommandId id = command.id;
        if (command.style == ItemStyle::DropDownButton) {
            button.setDropDown(true);
            const char* menu = dropDownMenu(id);
            button.OnDropDown = [this, menu, &button] { popupMenu(menu, button.handle()); };
        }
        if (id != CommandId::ToolStyle)
            button.OnClick = [this, id] { main_.commands_.runCommand(id); };
    }
}

void CommandBar::addCommandItem(const CommandDef& command, int level,
                                std::vector<MenuItemDef>& out) {
    if (command.separatorBefore && !out.empty()) {
        out.push_back({.name = "", .caption = kMenuSeparator, .level = level});
    }
    // The caption text lives in menuCaptions_ while the menu is built.
    std::string& caption = menuCaptions_.emplace_back(command.caption);
    if (command.shortcut.key != 0) {
        caption.push_back('\t');
        caption.append(shortcutText(command.shortcut, main_.messages_));
    }
    out.push_back({.name = command.name.data(),
                   .caption = caption.c_str(),
                   .commandId = kMenuCommandBase + static_cast<int>(command.id),
                   .tag = command.tag,
                   .imageIndex = command.image,
                   .level = level,
                   .options = command.style == ItemStyle::Radio ? menuopt::radio : 0u});
}

TMenu& CommandBar::addCommandMenu(const char* name, MenuId menuId, MenuId submenuOf) {
    std::vector<MenuItemDef> items;
    for (const CommandDef& command : commandTable()) {
        if (command.menu != menuId) continue;
        addCommandItem(command, 0, items);
        if (command.style != ItemStyle::Submenu) continue;
        for (const CommandDef& inner : commandTable()) {
            if (inner.menu == submenuOf) addCommandItem(inner, 1, items);
        }
        // The language files found at the first show are listed after this line.
        if (submenuOf == MenuId::Language) {
            items.push_back({.name = "", .caption = kMenuSeparator, .level = 1});
        }
    }
    TMenu& menu = main_.addMenu(name, items);
    for (TMenuItem* item : menu.items()) {
        if (item->isSeparator() || item->commandId() < kMenuCommandBase) continue;
        const auto id = static_cast<CommandId>(item->commandId() - kMenuCommandBase);
        if (commandDef(id).style == ItemStyle::Submenu) continue;
        item->OnClick = [this, id](TMenuItem&) { main_.commands_.runCommand(id); };
    }
    setMenuImages(menu);
    return menu;
}

void CommandBar::setMenuImages(TMenu& menu) {
    // The pictures are drawn by the window (HBMMENU_CALLBACK): with their transparency,
    // a gap before the text, and greyed when the item is disabled.
    for (TMenuItem* item : menu.items()) {
        if (item->isSeparator() || item->imageIndex() < 0) continue;
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_BITMAP | MIIM_DATA;
        info.hbmpItem = HBMMENU_CALLBACK;
        info.dwItemData = static_cast<ULONG_PTR>(item->imageIndex()) + 1;
        if (item->submenu()) {
            // A submenu item is found by its position.
            const int count = GetMenuItemCount(item->parentMenu());
            for (int i = 0; i < count; ++i) {
                if (GetSubMenu(item->parentMenu(), i) == item->submenu()) {
                    SetMenuItemInfoA(item->parentMenu(), static_cast<UINT>(i), TRUE, &info);
                }
            }
        } else {
            SetMenuItemInfoA(item->parentMenu(), static_cast<UINT>(item->commandId()), FALSE,
                             &info);
        }
    }
}

bool CommandBar::measureMenuImage(MEASUREITEMSTRUCT& measure) {
    if (measure.CtlType != ODT_MENU || measure.itemData == 0) return false;
    measure.itemWidth = static_cast<UINT>(main_.scale(images::kMenuSize + kMenuImageGap));
    measure.itemHeight = static_cast<UINT>(main_.scale(images::kMenuSize + 2));
    return true;
}

bool CommandBar::drawMenuImage(const DRAWITEMSTRUCT& draw) {
    if (draw.CtlType != ODT_MENU || draw.itemData == 0) return false;
    const int image = static_cast<int>(draw.itemData) - 1;
    const bool disabled = (draw.itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
    const int size = main_.scale(images::kMenuSize);
    const int top = draw.rcItem.top + (draw.rcItem.bottom - draw.rcItem.top - size) / 2;
    ImageList_Draw(disabled ? main_.chrome_.menuImagesGreyed() : main_.chrome_.menuImages(), image,
                   draw.hDC, draw.rcItem.left, top, ILD_TRANSPARENT);
    return true;
}

void CommandBar::popupMenu(const char* menuName, HWND below) {
    TMenu* menu = main_.menu(menuName);
    if (!menu) return;
    RECT r{};
    GetWindowRect(below, &r);
    menu->popup(main_.handle(), POINT{r.left, r.bottom});
}

namespace {

// The bar whose menu is open: the message filter of the menu's loop passes it Left and
// Right (the loop itself would only beep at them in a menu of its own).
CommandBar* gOpenBar = nullptr;

LRESULT CALLBACK barMenuFilter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_MENU && gOpenBar) {
        const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
        if (msg.message == WM_KEYDOWN && (msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT) &&
            gOpenBar->menuArrow(static_cast<UINT>(msg.wParam)))
            return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

constexpr int kMenuButtonCount = static_cast<int>(std::size(kPopupNames));

} // namespace

TToolButton& CommandBar::menuButton(int index) {
    Ctl<TToolButton>* buttons[] = {&ToolButton1, &ToolButton2, &ToolButton3, &ToolButton4,
                                   &ToolButton5};
    return buttons[index]->get();
}

void CommandBar::highlight(int index) {
    for (int i = 0; i < kMenuButtonCount; ++i)
        menuButton(i).setHighlighted(i == index);
    highlighted_ = index;
}

void CommandBar::beginKeyboardMenu() {
    highlight(0);
}

void CommandBar::endKeyboardMenu() {
    highlight(-1);
}

bool CommandBar::keyboardMenuKey(const KeyPress& key) {
    if (highlighted_ < 0) return false;
    if (key.ctrl || key.shift) {
        endKeyboardMenu();
        return false;
    }
    switch (key.key) {
    case VK_LEFT:
        highlight((highlighted_ + kMenuButtonCount - 1) % kMenuButtonCount);
        return true;
    case VK_RIGHT:
        highlight((highlighted_ + 1) % kMenuButtonCount);
        return true;
    case VK_DOWN:
    case VK_UP:
    case VK_RETURN:
        openBarMenu(highlighted_);
        return true;
    case VK_ESCAPE:
    case VK_F10:
        endKeyboardMenu();
        return true;
    default:
        break;
    }
    // A letter opens the menu whose caption marks it.
    if (key.key <= 0xFF && std::isalnum(static_cast<int>(key.key))) {
        const char wanted = static_cast<char>(std::toupper(static_cast<int>(key.key)));
        for (int i = 0; i < kMenuButtonCount; ++i) {
            if (acceleratorOf(menuButton(i).caption()) == wanted) {
                openBarMenu(i);
                return true;
            }
        }
        return true; // a letter of no menu stays in the bar, as in a menu bar
    }
    endKeyboardMenu();
    return false;
}

void CommandBar::menuSelected(UINT flags, HMENU menu) {
    if (!openMenu_) return;
    activeMenu_ = menu;
    selectionOpensSubmenu_ = (flags & MF_POPUP) != 0;
}

bool CommandBar::menuArrow(UINT key) {
    if (!openMenu_) return false;
    // Left closes an open submenu first and Right opens the selected one: only from the
    // bar's own menu do they move to the neighbour.
    if (key == VK_LEFT && activeMenu_ && activeMenu_ != openMenu_) return false;
    if (key == VK_RIGHT && selectionOpensSubmenu_) return false;
    menuStep_ = key == VK_LEFT ? -1 : 1;
    EndMenu();
    return true;
}

void CommandBar::openBarMenu(int index) {
    menuStep_ = 0;
    while (index >= 0) {
        TMenu* menu = main_.menu(kPopupNames[index]);
        if (!menu) break;
        highlight(index);
        const int step = menuStep_;
        menuStep_ = 0;
        openMenu_ = menu->handle();
        activeMenu_ = openMenu_;
        selectionOpensSubmenu_ = false;
        HHOOK hook = SetWindowsHookExA(WH_MSGFILTER, barMenuFilter, nullptr, GetCurrentThreadId());
        CommandBar* outer = gOpenBar;
        gOpenBar = this;
        RECT r{};
        GetWindowRect(menuButton(index).handle(), &r);
        // A step to a neighbour opens its menu with the first item selected, as a menu bar
        // does (the menu's loop takes the key from the queue).
        if (step != 0) PostMessageA(main_.handle(), WM_KEYDOWN, VK_DOWN, 1);
        menu->popup(main_.handle(), POINT{r.left, r.bottom});
        gOpenBar = outer;
        if (hook) UnhookWindowsHookEx(hook);
        openMenu_ = nullptr;
        activeMenu_ = nullptr;
        if (menuStep_ == 0 || !IsWindow(main_.handle())) break;
        index = (index + menuStep_ + kMenuButtonCount) % kMenuButtonCount;
    }
    if (IsWindow(main_.handle())) highlight(-1);
}

void CommandBar::popupAt(MenuId menuId, POINT screen) {
    const char* name = menuId == MenuId::View ? "pmView" : "pmCopy";
    if (TMenu* menu = main_.menu(name)) menu->popup(main_.handle(), screen);
}

bool CommandBar::runShortcut(const KeyPress& key) {
    if (key.key > 0xFF) return false;
    const Shortcut chord{static_cast<std::uint8_t>(key.key), key.ctrl, key.alt, key.shift};
    const std::optional<CommandId> id = commandForShortcut(chord);
    if (!id) return false;
    main_.commands_.runCommand(*id);
    return true;
}

std::string CommandBar::commandCaption(CommandId id) const {
    const CommandDef& command = commandDef(id);
    for (const char* name : kCommandMenus) {
        const TMenu* menu = main_.menu(name);
        if (const TMenuItem* item = menu ? menu->item(command.name) : nullptr) return item->text();
    }
    return std::string(command.caption);
}

void CommandBar::updateMenuState(HMENU menuHandle) {
    const CommandState state = main_.state_();
    for (auto& [item, isChosen] : languageItems_)
        if (item->parentMenu() == menuHandle) item->setChecked(isChosen && isChosen());
    for (const char* name : kCommandMenus) {
        TMenu* menu = main_.menu(name);
        if (!menu) continue;
        for (TMenuItem* item : menu->items()) {
            if (item->parentMenu() != menuHandle || item->isSeparator() ||
                item->commandId() < kMenuCommandBase ||
                item->commandId() >= kMenuCommandBase + static_cast<int>(CommandId::Count)) {
                continue;
            }
            const auto id = static_cast<CommandId>(item->commandId() - kMenuCommandBase);
            const CommandDef& command = commandDef(id);
            item->setEnabled(isEnabled(command.rule, state));
            if (id == CommandId::PasswordGuard) item->setChecked(main_.settings_.guard);
            if (id == CommandId::DefaultLanguage)
                item->setChecked(main_.settings_.language.empty());
            if (command.menu == MenuId::View)
                item->setChecked(command.tag == main_.lists_.viewStyle());
        }
    }
}

void CommandBar::refreshImages() {
    for (const auto& [id, button] : toolButtons_)
        button->setImages(main_.chrome_.toolImages());
}

void CommandBar::updateToolButtons() {
    if (toolButtons_.empty()) return;
    // The banner's hint tells which account file is open and how it is protected (as it
    // will be saved).
    const Session& session = main_.session_;
    TPaintButton& banner = *main_.pbAccount;
    std::string hint;
    if (session.isLoggedIn()) {
        hint = session.fileName().empty() ? std::string() : session.fileName() + " - ";
        hint += session.protectionName();
    }
    if (banner.hint() != hint) banner.setHint(hint);
    const CommandState state = main_.state_();
    for (const auto& [id, button] : toolButtons_)
        button->setActive(isEnabled(commandDef(id).rule, state));
}

void CommandBar::setCopyImage(int image) {
    if (auto copy = toolButtons_.find(CommandId::ToolCopy); copy != toolButtons_.end())
        copy->second->setImageIndex(image);
}

HWND CommandBar::toolButton(CommandId id) const {
    const auto button = toolButtons_.find(id);
    return button != toolButtons_.end() ? button->second->handle() : nullptr;
}

void CommandBar::setToolButtonDown(CommandId id, bool down) {
    if (const auto button = toolButtons_.find(id); button != toolButtons_.end())
        button->second->setDown(down);
}

int CommandBar::layout(int width, int top) {
    int y = top;
    const int menuBar = main_.scale(kMenuBarHeight);
    main_.ToolBar2->setBoundsPx(0, y, width, menuBar);
    int bx = main_.scale(2);
    HDC dc = GetDC(main_.handle());
    {
        SelectGuard font(dc, main_.font());
        for (Ctl<TToolButton>* ctl :
             {&ToolButton1, &ToolButton2, &ToolButton3, &ToolButton4, &ToolButton5}) {
            TToolButton& b = ctl->get();
            SIZE extent{};
            std::string text = b.caption();
            text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
            GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            const int bw = extent.cx + main_.scale(16);
            b.setBoundsPx(bx, main_.scale(1), bw, menuBar - main_.scale(2));
            bx += bw;
        }
    }
    ReleaseDC(main_.handle(), dc);
    y += menuBar;

    const int toolBar = main_.scale(kToolBarHeight);
    main_.ToolBar1->setBoundsPx(0, y, width, toolBar);
    bx = main_.scale(2);
    for (const CommandDef& command : commandTable()) {
        if (command.menu != MenuId::ToolBar) continue;
        if (command.separatorBefore) bx += main_.scale(6);
        const int bw = main_.scale(
            kToolButtonWidth + (command.style == ItemStyle::DropDownButton ? kDropDownExtra : 0));
        toolButtons_.at(command.id)->setBoundsPx(bx, main_.scale(1), bw, toolBar - main_.scale(2));
        bx += bw + main_.scale(1);
    }
    y += toolBar;
    return y - top;
}

void CommandBar::refreshShortcutTexts() {
    for (const char* name : {"pmAccount", "pmOperation", "pmEntries", "pmTools", "pmHelp", "pmCopy",
                             "pmView", "pmTray"}) {
        TMenu* menu = main_.menu(name);
        if (!menu) continue;
        for (TMenuItem* item : menu->items()) {
            const int id = item->commandId() - kMenuCommandBase;
            if (item->isSeparator() || id <= 0 || id >= static_cast<int>(CommandId::Count))
                continue;
            const Shortcut& shortcut = commandDef(static_cast<CommandId>(id)).shortcut;
            if (shortcut.key != 0) item->setShortcutText(shortcutText(shortcut, main_.messages_));
        }
    }
}

void CommandBar::addLanguageItems(std::vector<LanguageMenuItem> items) {
    TMenu* tools = main_.menu("pmTools");
    TMenuItem* list = tools ? tools->item("mLanguageList") : nullptr;
    if (!list || !list->submenu()) return;
    const int picture = commandDef(CommandId::SetLanguage).image;
    for (LanguageMenuItem& language : items) {
        // The caption is the language's own name: nothing to translate, so no name.
        TMenuItem* item = tools->append(*list, {.name = "",
                                                .caption = language.caption.c_str(),
                                                .commandId = static_cast<int>(language.commandId),
                                                .imageIndex = picture,
                                                .options = menuopt::radio});
        if (!item) continue;
        item->OnClick = [choose = std::move(language.choose)](TMenuItem&) { choose(); };
        languageItems_.emplace_back(item, std::move(language.isChosen));
    }
    setMenuImages(*tools);
}

} // namespace kh
