// Keyhaven.exe: hands over to a running instance, or checks the cipher, resolves the
// program and profile folders, builds the main window and the login dialog, reads the
// command line and runs the message loop.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include "app_folders.h"
#include "command_line.h"
#include "crash_reporter.h"
#include "instance/single_instance.h"
#include "self_test.h"
#include "text_format.h"
#include "tfrm_login.h"
#include "tfrm_main.h"
#include "tfrm_show_bug.h"
#include "tray/install_tray.h"
#include "tray/tray_feature.h"
#include "win32/error_boundary.h"

#include <cstdint>
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

// The error a "/DEBUG" start raises once, to show that the crash report works.
[[noreturn]] __attribute__((noinline)) void raiseDebugTestError() {
    throw kh::AddressedError("Debug Application!\nCheck is the debug window running correctly!",
                             reinterpret_cast<std::uintptr_t>(
                                 __builtin_extract_return_addr(__builtin_return_address(0))));
}

// "/UpdateIE", "/ForceIE", "/RemoveIE": the browser's menu entries, then the end.
void runBrowserAction(kh::TfrmMain& main, kh::BrowserAction action) {
    const auto& update = main.context().services.updateBrowserMenu;
    switch (action) {
    case kh::BrowserAction::Update:
        if (update) update(true); // added only while WithIE is on
        break;
    case kh::BrowserAction::Force:
        main.settings().withIE = true;
        if (update) update(true);
        break;
    case kh::BrowserAction::Remove:
        if (update) update(false);
        break;
    case kh::BrowserAction::None:
        break;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before any window exists: a second start only brings the running one forward.
    if (kh::handOverToRunningInstance()) return 0;

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
    kh::StartState& start = main.startState();
    start.startHidden = line.startHidden;
    start.processMode = line.processMode;
    start.debug = line.debug;
    if (line.browserAction != kh::BrowserAction::None) {
        runBrowserAction(main, line.browserAction);
        // The windows go the normal way, so the settings are written.
        DestroyWindow(main.handle());
        main.loginDialog().destroy();
        return 0;
    }
    main.session().OnNewAccountFinished = [&start] {
        if (!start.debug) return;
        start.debug = false;
        raiseDebugTestError();
    };
    if (start.debug) {
        main.session().showWarning(
            kh::formatText("EXE: %s\nPROFILE:%s", {paths.programFolder, paths.profileFolder}));
    }

    const std::string file = line.accountFile;
    kh::TrayFeature* tray = kh::trayFeature(main);
    if (start.startHidden && tray) {
        // In the notification area; the first show waits for the first restore. Without an
        // icon there the program would be out of reach, so it waits minimised instead.
        tray->deferFirstShow([&main, file] { return main.firstShow(file); });
        if (!tray->trayIcon().shown()) ShowWindow(main.handle(), SW_SHOWMINNOACTIVE);
    } else {
        // The first show's commands (the login, the wizard) may raise errors like any
        // command: they go to the crash report.
        bool keepRunning = true;
        kh::guardedCall([&] { keepRunning = main.firstShow(file); });
        if (!keepRunning && IsWindow(main.handle())) DestroyWindow(main.handle());
    }
    const int code = kh::runMessageLoop();
    reporter.applicationEnding();
    if (IsWindow(main.handle())) DestroyWindow(main.handle());
    // A new instance only once this one's windows are gone (the login window carries the
    // marker a second start looks for) and its icon with them, so that it does not hand
    // over to the ending one.
    main.loginDialog().destroy();
    main.setFeature(kh::Feature::Tray, nullptr);
    reporter.restartIfRequested();
    return code;
}
