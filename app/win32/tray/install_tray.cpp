#include "install_tray.h"

#include "tfrm_main.h"
#include "tray_feature.h"

namespace kh {

TrayFeature& installTray(TfrmMain& main) {
    auto owned = std::make_unique<TrayFeature>(main.context());
    TrayFeature& tray = *owned;

    TMenu& menu = main.addCommandMenu("pmTray", MenuId::Tray, MenuId::TrayManageAccount);
    // The window's texts were collected for translation when it was created; the menu's
    // join them now.
    for (TMenuItem* item : menu.items())
        main.language().translateWindow(item, main.className(), true);
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
