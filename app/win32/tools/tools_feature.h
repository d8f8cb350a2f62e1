// The Tools menu: the Password Guard switch, the Secure File Remover, the Password
// Generator and the preferences.
#pragma once

#include "app_context.h"
#include "file_remover.h"
#include "tfrm_generator.h"
#include "tfrm_setting.h"

#include <memory>
#include <string>

namespace kh {

class ToolsFeature : public FeatureHandler {
  public:
    explicit ToolsFeature(AppContext& context);
    ~ToolsFeature() override;
    void run(CommandId action) override;
    void languageLoaded() override;

    // Overwrites a file with zeros, cuts it and deletes it, after asking; an empty path
    // asks for the file first. True when it was removed; false at once while a removal
    // is running.
    bool removeFile(std::string path = {});
    // Shows the generator, or brings it to the front.
    void openGenerator();
    // The Settings dialog and what its OK sets off; true when it was confirmed.
    bool preferences();

    // The windows, each made on first use and then reused.
    TfrmGenerator& generator();
    TfrmSetting& settingsDialog();
    void createWindows() override {
        generator().create();
        settingsDialog().create();
    }

    // The remover asks for its file through the main window's open-file dialog; tests
    // answer it themselves.
    void setFileDialogs(FileDialogs& dialogs) { fileDialogs_ = &dialogs; }

  private:
    AppContext& context_;
    FileDialogs* fileDialogs_;
    FileRemover remover_;
    // Outlives this handler in the main window's cursor hook.
    std::shared_ptr<bool> removing_ = std::make_shared<bool>(false);
    std::unique_ptr<TfrmGenerator> generator_;
    std::unique_ptr<TfrmSetting> setting_;
};

} // namespace kh
