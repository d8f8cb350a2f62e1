// The language menu: the files in the program's language\ folder that name their
// language, English again, and the two help items for translators.
#pragma once

#include "app_context.h"

#include <string>
#include <vector>

namespace kh {

class LanguageFeature : public FeatureHandler {
  public:
    explicit LanguageFeature(AppContext& context);
    void run(CommandId action) override;

    // Lists language\*.lng under the language menu (at the first show).
    void buildLanguageMenu();
    // Loads a language file (an empty path brings English back) and keeps the choice.
    void chooseLanguage(const std::string& path);
    // The bare file names listed, in menu order.
    const std::vector<std::string>& languageFiles() const { return files_; }

  private:
    bool languageCommand(UINT command);

    AppContext& context_;
    std::vector<std::string> files_;
};

} // namespace kh
