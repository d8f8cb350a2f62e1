// The language menu: the files in the program's language\ folder that name their language,
// English again, and the two help items for translators.
#include "app_folders.h"
#include "tfrm_main.h"

#include <shellapi.h>

namespace kh {
namespace {

constexpr char kLanguagePage[] = "https://keyhaven.example.org/languages";

} // namespace

void TfrmMain::buildLanguageMenu() {
    TMenu* tools = menu("pmTools");
    TMenuItem* list = tools ? tools->item("mLanguageList") : nullptr;
    if (!list || !list->submenu()) return;
    const std::string folder = paths_.programFolder + "language\\";
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((folder + "*.lng").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::optional<std::string> bytes = readLanguageFile(folder + name);
        const std::string display = bytes ? readLanguageDisplayName(*bytes) : std::string();
        if (display.empty()) continue; // a file that does not name its language is not offered
        const UINT id = kLanguageCommandBase + static_cast<UINT>(languageFiles_.size());
        AppendMenuA(list->submenu(), MF_STRING, id, display.c_str());
        languageFiles_.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void TfrmMain::chooseLanguage(const std::string& path) {
    settings_.language = path;
    mLanguage.setLanguage(path);
    if (IsWindowVisible(handle()))
        RedrawWindow(handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
}

bool TfrmMain::languageCommand(int id) {
    if (id < static_cast<int>(kLanguageCommandBase) ||
        id >= static_cast<int>(kLanguageCommandBase + languageFiles_.size())) {
        return false;
    }
    chooseLanguage(paths_.programFolder + "language\\" +
                   languageFiles_[static_cast<std::size_t>(id) - kLanguageCommandBase]);
    return true;
}

void TfrmMain::runLanguageCommand(CommandId id) {
    switch (id) {
    case CommandId::DefaultLanguage:
        chooseLanguage("");
        break;
    case CommandId::GetMoreLanguage:
        ShellExecuteA(nullptr, "open", kLanguagePage, nullptr, nullptr, SW_SHOWMAXIMIZED);
        break;
    case CommandId::HowToTranslate: {
        const std::string example = paths_.programFolder + "example.lng";
        if (fileExists(example)) {
            ShellExecuteA(nullptr, "open", "notepad.exe", example.c_str(), nullptr,
                          SW_SHOWMAXIMIZED);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace kh
