#include "install_tray.h"

#include "tfrm_main.h"
#include "tray_feature.h"

#include <deque>
#include <string>
#include <vector>

namespace kh {
namespace {

std::vector<MenuItemDef> trayMenuItems(std::deque<std::string>& captions) {
    std::vector<MenuItemDef> items;
    const auto add = [&](const CommandDef& command, int level) {
        if (command.separatorBefore && !items.empty())
            items.push_back({.name = "", .caption = kMenuSeparator, .level = level});
        std::string& caption = captions.emplace_back(command.caption);
        if (command.shortcut.key != 0) {
            caption.push_back('\t');
            caption.append(shortcutText(command.shortcut));
        }
        items.push_back({.name = command.name.data(),
                         .caption = caption.c_str(),
                         .commandId = kTrayMenuCommandBase + static_cast<int>(command.id),
                         .tag = command.tag,
                         .imageIndex = command.image,
                         .level = level});
    };
    for (const CommandDef& command : commandTable()) {
        if (command.menu != MenuId::Tray) continue;
        add(command, 0);
        if (command.style != ItemStyle::Submenu) continue;
        for (const CommandDef& inner : commandTable())
            if (inner.menu == MenuId::TrayManageAccount) add(inner, 1);
    }
    return items;
}

// The pictures are drawn by the main window, as for its other menus.
void setMenuImages(TMenu& menu) {
    for (TMenuItem* item : menu.items()) {
        if (item->isSeparator() || item->imageIndex() < 0) continue;
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_BITMAP | MIIM_DATA;
        info.hbmpItem = HBMMENU_CALLBACK;
        info.dwItemData = static_cast<ULONG_PTR>(item->imageIndex()) + 1;
        SetMenuItemInfoA(item->parentMenu(), static_cast<UINT>(item->commandId()), FALSE, &info);
    }
}

} // namespace

TrayFeature& installTray(TfrmMain& main) {
    auto owned = std::make_unique<TrayFeature>(main.context());
    TrayFeature& tray = *owned;

    std::deque<std::string> captions;
    TMenu& menu = main.addMenu("pmTray", trayMenuItems(captions));
    for (TMenuItem* item : menu.items()) {
        if (item->isSeparator() || item->submenu()) continue;
        const auto id = static_cast<CommandId>(item->commandId() - kTrayMenuCommandBase);
        item->OnClick = [&main, id](TMenuItem&) { main.runCommand(id); };
    }
    setMenuImages(menu);
    // The window's texts were collected for translation when it was created; the menu's
    // join them now.
    main.language().translateWindow(&main, main.className(), true);
    tray.setMenu(menu);

    main.OnHideToTray = [&main] {
        if (TrayFeature* feature = trayFeature(main)) feature->resident().minimizeToTray();
    };
    main.OnRestoreFromTray = [&main] {
        if (TrayFeature* feature = trayFeature(main)) feature->resident().restoreFromTray();
    };
    main.setFeature(Feature::Tray, std::move(owned));
    return tray;
}

TrayFeature* trayFeature(TfrmMain& main) {
    return dynamic_cast<TrayFeature*>(main.feature(Feature::Tray));
}

} // namespace kh
