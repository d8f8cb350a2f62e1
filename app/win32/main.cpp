// Keyhaven.exe: hands over to a running instance, or checks the cipher, resolves the
// program and profile folders, builds the App and runs it.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include "app.h"
#include "app_folders.h"
#include "command_line.h"
#include "self_test.h"
#include "single_instance.h"

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

    kh::App app(paths);
    if (!app.create()) return 1;
    return app.run(kh::parseCommandLine(commandLineArguments()));
}
