#include "language_feature.h"

#include "app_folders.h"
#include "text_format.h"

namespace kh {
namespace {

constexpr char kLanguagePage[] = "https://keyhaven.example.org/languages";

} // namespace

LanguageFeature::LanguageFeature(const AppPaths& paths, Settings& settings, QLanguage& language,
                                 Shell& shell, Prompts& prompts, const MessageTable& messages,
                                 LanguageMenu& menu, std::function<HWND()> mainWindow)
    : paths_(paths), settings_(settings), language_(language), shell_(shell), prompts_(prompts),
      messages_(messages), menu_(menu), mainWindow_(std::move(mainWindow)) {}

void LanguageFeature::buildLanguageMenu() {
    if (built_) return;
    built_ = true;
    const std::string folder = paths_.programFolder + "language\\";
    std::vector<LanguageMenuItem> items;
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
        const std::string path = folder + name;
        items.push_back(
            {display, kLanguageCommandBase + static_cast<UINT>(files_.size()),
             [this, path] { chooseLanguage(path); },
             [this, path] { return lstrcmpiA(settings_.language.c_str(), path.c_str()) == 0; }});
        files_.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    menu_.addLanguageItems(std::move(items));
}

void LanguageFeature::chooseLanguage(const std::string& path) {
    settings_.language = path;
    language_.setLanguage(path);
    HWND main = mainWindow_ ? mainWindow_() : nullptr;
    if (IsWindowVisible(main))
        RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME);
}

void LanguageFeature::run(CommandId action) {
    switch (action) {
    case CommandId::DefaultLanguage:
        chooseLanguage("");
        break;
    case CommandId::GetMoreLanguage:
        if (!shell_.open(kLanguagePage, "", ShowMode::Maximized))
            prompts_.warning(messages_.text(Msg::warning),
                             formatText(messages_.text(Msg::browserfailed), {kLanguagePage}));
        break;
    case CommandId::HowToTranslate: {
        const std::string example = paths_.programFolder + "example.lng";
        if (fileExists(example)) shell_.open("notepad.exe", example, ShowMode::Maximized);
        break;
    }
    default:
        break;
    }
}

} // namespace kh
