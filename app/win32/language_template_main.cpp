// kh_language_template.exe OUT: writes the translators' template of this build's windows
// and messages to OUT. The build runs it (under Wine) to make example.lng.
#include "app.h"
#include "language_template.h"

#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kh_language_template OUT\n");
        return 2;
    }
    // A folder of its own: no config.ini, no default.lng, no language chosen by anybody.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "kh-language-template\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    kh::App app(kh::AppPaths{folder, folder});
    if (!app.create()) {
        std::fprintf(stderr, "the main window was not created\n");
        return 1;
    }
    const std::string text = kh::languageTemplateFile(app);
    DestroyWindow(app.mainWindow().handle());
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(text.data(), 1, text.size(), out) != text.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
