// The Tools menu: the Password Guard switch, the Secure File Remover, the Password
// Generator and the preferences.
#pragma once

#include "app_state.h"
#include "feature_handler.h"
#include "file_remover.h"
#include "session.h"
#include "tfrm_generator.h"
#include "tfrm_setting.h"

#include <functional>
#include <memory>
#include <string>

namespace kh {

class ToolsFeature : public FeatureHandler {
  public:
    // `settingsChanged` is raised when the Settings dialog stored new values; `hotkey` is
    // taken away while that dialog is open; `owner`: the main window while it is shown.
    ToolsFeature(Session& session, Settings& settings, Event<>& settingsChanged,
                 const MessageTable& messages, Clipboard& clipboard, PasswordGuard& guard,
                 FileDialogs& fileDialogs, HotkeyRegistration& hotkey, BusyIndicator& busy,
                 const AppPaths& paths, std::function<HWND()> owner);
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
    Session& session_;
    Settings& settings_;
    Event<>& settingsChanged_;
    const MessageTable& messages_;
    Clipboard& clipboard_;
    PasswordGuard& guard_;
    FileDialogs* fileDialogs_;
    HotkeyRegistration& hotkey_;
    BusyIndicator& busy_;
    const AppPaths& paths_;
    std::function<HWND()> owner_;
    FileRemover remover_;
    std::unique_ptr<TfrmGenerator> generator_;
    std::unique_ptr<TfrmSetting> setting_;
};

} // namespace kh
