// Keyhaven.exe: checks the cipher, resolves the program and profile folders, builds the
// main window and the login dialog, reads the command line and runs the message loop.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include "app_folders.h"
#include "command_line.h"
#include "crash_reporter.h"
#include "self_test.h"
#include "text_format.h"
#include "tfrm_login.h"
#include "tfrm_main.h"
#include "tfrm_show_bug.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i) {
        const int size = WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? static_cast<std::size_t>(size) : 1u, '\0');
        WideCharToMultiByte(CP_ACP, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
        arg.resize(arg.find('\0'));
        args.push_back(std::move(arg));
    }
    LocalFree(wide);
    return args;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Never touch an account file with a cipher that gives wrong answers.
    if (!kh::cryptoSelfTest()) {
        MessageBoxA(nullptr, "Keyhaven cannot start: the cipher self-test failed.", "Keyhaven",
                    MB_OK | MB_ICONERROR);
        return 2;
    }

    kh::AppPaths paths;
    paths.programFolder = kh::programFolder();
    paths.profileFolder = kh::profileFolder(paths.programFolder);

    kh::TfrmMain main(paths);
    if (!main.createMain()) return 1;

    // The crash report window lives for the whole run; from here on an error that escapes
    // a command, a window procedure or a timer is shown there instead of ending the program.
    kh::TfrmShowBug bugWindow(main.messages());
    bugWindow.create();
    kh::CrashReporter reporter(bugWindow, [] { PostQuitMessage(0); });
    reporter.install();

    const kh::CommandLine line = kh::parseCommandLine(commandLineArguments());
    if (line.browserAction != kh::BrowserAction::None) {
        // The browser menu entries come with the browser integration; the windows are
        // still destroyed the normal way so the settings are written.
        DestroyWindow(main.handle());
        return 0;
    }
    // "/start" would leave the program in the notification area; until that icon exists
    // the window is shown, or there would be no way to reach it.
    if (line.debug) {
        main.session().showWarning(
            kh::formatText("EXE: %s\nPROFILE:%s", {paths.programFolder, paths.profileFolder}));
    }
    if (!main.firstShow(line.accountFile)) {
        if (IsWindow(main.handle())) DestroyWindow(main.handle());
    }
    const int code = kh::runMessageLoop();
    reporter.applicationEnding();
    if (IsWindow(main.handle())) DestroyWindow(main.handle());
    // A new instance only once this one's windows are gone, so that it does not hand over
    // to them.
    main.loginDialog().destroy();
    reporter.restartIfRequested();
    return code;
}
