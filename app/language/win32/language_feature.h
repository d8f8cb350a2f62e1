// The language menu: the files in the program's language\ folder that name their
// language, English again, and the two help items for translators.
#pragma once

#include "app_state.h"
#include "feature_handler.h"
#include "language.h"
#include "message_table.h"
#include "services.h"
#include "settings.h"

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kh {

// Command ids of the language menu's generated items (one per language file) start here.
inline constexpr UINT kLanguageCommandBase = 5000;

// One language file's item of the language menu.
struct LanguageMenuItem {
    std::string caption; // the language's own name
    UINT commandId = 0;
    std::function<void()> choose;   // a click on it
    std::function<bool()> isChosen; // ticked while it is the language in force
};

// Where the language menu takes the items of the language files.
class LanguageMenu {
  public:
    virtual ~LanguageMenu() = default;
    // Adds the items after the menu's fixed ones, with the menu's picture for languages.
    virtual void addLanguageItems(std::vector<LanguageMenuItem> items) = 0;
};

class LanguageFeature : public FeatureHandler {
  public:
    // `mainWindow`: repainted whole after a language change.
    LanguageFeature(const AppPaths& paths, Settings& settings, QLanguage& language, Shell& shell,
                    Prompts& prompts, const MessageTable& messages, LanguageMenu& menu,
                    std::function<HWND()> mainWindow);
    void run(CommandId action) override;

    // Lists language\*.lng under the language menu (at the first show).
    void buildLanguageMenu();
    // Loads a language file (an empty path brings English back) and keeps the choice.
    void chooseLanguage(const std::string& path);
    // The language in force is English (no language file chosen).
    bool englishChosen() const { return settings_.language.empty(); }
    // The bare file names listed, in menu order.
    const std::vector<std::string>& languageFiles() const { return files_; }

  private:
    const AppPaths& paths_;
    Settings& settings_;
    QLanguage& language_;
    Shell& shell_;
    Prompts& prompts_;
    const MessageTable& messages_;
    LanguageMenu& menu_;
    std::function<HWND()> mainWindow_;
    std::vector<std::string> files_;
    bool built_ = false;
};

} // namespace kh
