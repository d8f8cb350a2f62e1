// The language menu: the files in the program's language\ folder that name their
// language, English again, and the two help items for translators.
#pragma once

#include "app_state.h"
#include "feature_handler.h"
#include "language.h"
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

// Where the language menu takes the items of the language files.
class LanguageMenu {
  public:
    virtual ~LanguageMenu() = default;
    // Adds items (caption, command id) after the menu's fixed ones.
    virtual void addLanguageItems(const std::vector<std::pair<std::string, UINT>>& items) = 0;
};

class LanguageFeature : public FeatureHandler {
  public:
    // `mainWindow`: repainted whole after a language change.
    LanguageFeature(const AppPaths& paths, Settings& settings, QLanguage& language, Shell& shell,
                    LanguageMenu& menu, std::function<HWND()> mainWindow);
    void run(CommandId action) override;

    // Lists language\*.lng under the language menu (at the first show).
    void buildLanguageMenu();
    // Loads a language file (an empty path brings English back) and keeps the choice.
    void chooseLanguage(const std::string& path);
    // A command of the generated items; false when it is not one.
    bool languageCommand(UINT command);
    // The bare file names listed, in menu order.
    const std::vector<std::string>& languageFiles() const { return files_; }

  private:
    const AppPaths& paths_;
    Settings& settings_;
    QLanguage& language_;
    Shell& shell_;
    LanguageMenu& menu_;
    std::function<HWND()> mainWindow_;
    std::vector<std::string> files_;
};

} // namespace kh
