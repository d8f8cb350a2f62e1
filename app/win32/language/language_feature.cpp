#include "language_feature.h"

#include "app_folders.h"

namespace kh {
namespace {

constexpr char kLanguagePage[] = "https://keyhaven.example.org/languages";

} // namespace

LanguageFeature::LanguageFeature(AppContext& context) : context_(context) {
    context_.services.buildLanguageMenu = [this] { buildLanguageMenu(); };
    context_.services.languageCommand = [this](UINT command) { return languageCommand(command); };
}

void LanguageFeature::buildLanguageMenu() {
    const std::string folder = context_.paths.programFolder + "language\\";
    std::vector<std::pair<std::string, UINT>> items;
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
        items.emplace_back(display, kLanguageCommandBase + static_cast<UINT>(files_.size()));
        files_.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    context_.addLanguageItems(items);
}

void LanguageFeature::chooseLanguage(const std::string& path) {
    context_.settings.language = path;
    context_.language.setLanguage(path);
    HWND main = context_.mainWindow();
    if (IsWindowVisible(main))
        RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
}

bool LanguageFeature::languageCommand(UINT command) {
    if (command < kLanguageCommandBase || command >= kLanguageCommandBase + files_.size()) {
        return false;
    }
    chooseLanguage(context_.paths.programFolder + "language\\" +
                   files_[command - kLanguageCommandBase]);
    return true;
}

void LanguageFeature::run(CommandId action) {
    switch (action) {
    case CommandId::DefaultLanguage:
        chooseLanguage("");
        break;
    case CommandId::GetMoreLanguage:
        context_.shell.open(kLanguagePage, "", ShowMode::Maximized);
        break;
    case CommandId::HowToTranslate: {
        const std::string example = context_.paths.programFolder + "example.lng";
        if (fileExists(example)) context_.shell.open("notepad.exe", example, ShowMode::Maximized);
        break;
    }
    default:
        break;
    }
}

} // namespace kh
