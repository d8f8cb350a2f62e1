// The crash report ("crash") or the tip of the day ("tip") with sample contents, for
// looking at them (screenshots); not shipped.
#include "language.h"
#include "message_table.h"
#include "tfrm_show_bug.h"
#include "tfrm_tip.h"

#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    kh::QLanguage language;
    kh::MessageTable messages;
    if (std::string(commandLine) == "tip") {
        bool showAtStartup = true;
        kh::TfrmTip tip(language, showAtStartup);
        if (!tip.showTip(1)) return 1;
        return kh::runMessageLoop();
    }
    kh::TfrmShowBug bug(messages);
    if (!bug.create()) return 1;
    bug.showError({"List index out of bounds (12): the entry list changed while the search "
                   "was running through it, C:\\Users\\alice\\Documents\\Keyhaven\\vault.khk",
                   0x0040A1F4});
    return 0;
}
