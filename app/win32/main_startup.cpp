// The first show of the main window: centred in the work area, then the login for the
// account named on the command line or, with the Wizard setting on, the last one. It runs
// at start, or at the first restore from the notification area after a start with
// "/start".
#include "app_folders.h"
#include "tfrm_main.h"

#include <cstdlib>

namespace kh {
bool TfrmMain::firstShow(const std::string& commandLineFile) {
    if (firstShowDone_) return true;
    firstShowDone_ = true;
    if (services_.buildLanguageMenu) services_.buildLanguageMenu();

    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT window{};
    GetWindowRect(handle(), &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    SetWindowPos(handle(), nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(handle(), SW_SHOWNORMAL);
    UpdateWindow(handle());

    // Started for the browser: its request brings up the login when it needs one.
    if (start_.processMode) return true;
    if (session_.noteActivity()) return true;
    const bool fromCommandLine = !commandLineFile.empty();

    const std::string file = fromCommandLine ? commandLineFile : session_.lastFileName();
    // The last account name belongs to the last file only.
    const std::string name = file == session_.lastFileName() ? session_.lastAccountName() : "";
    if (fromCommandLine || settings_.wizard) {
        if (!file.empty() && fileExists(file)) {
            session_.showLogin(file, name);
            // A start for one account file that is not opened ends the program.
            if (fromCommandLine && !session_.isLoggedIn()) {
                if (session_.quitCommand()) return false;
            }
        } else {
            session_.newAccountCommand(false);
        }
    }
    if (settings_.tip && services_.showTip) {
        std::srand(GetTickCount());
        services_.showTip(std::rand());
    }
    return true;
}

} // namespace kh
