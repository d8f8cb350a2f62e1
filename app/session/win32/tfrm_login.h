#pragma once
// The login dialog: account file, name and password. It exists, hidden, for the whole
// run, and its window carries the instance marker that a second start looks for.
#include "message_table.h"
#include "request_block.h"
#include "secure_memory.h"
#include "win32/dialog.h"
#include "win32/skin_controls.h"
#include "win32_services.h"

#include <string>

namespace kh {

// What other processes find the login window by (a second start, a browser bridge).
inline constexpr LONG_PTR kInstanceMarker = browser::kLoginWindowMarker;

class TfrmKeyhavenLogin : public TDialog {
  public:
    explicit TfrmKeyhavenLogin(const MessageTable& messages);

    // Fills the boxes for a new opening: the file is kept only when it has a readable
    // account header; the password box starts empty.
    void prefill(const std::string& file, const std::string& name);
    // The three texts the dialog keeps between openings.
    const std::string& keptFile() const { return keptFile_; }
    const std::string& keptName() const { return keptName_; }
    SecretString takeKeptPassword();
    bool holdsPassword() const { return !keptPassword_.empty(); }
    // Overwrites and empties the password box.
    void clearPassword();

    void loginClick();
    void browseClick();
    void forgotClick();

    // Its boxes and file dialog belong to the dialog itself, so that closing them gives
    // the focus back to the dialog and never wakes the main window under it. Tests
    // replace them.
    void setPrompts(Prompts& prompts) { prompts_ = &prompts; }
    void setFileDialogs(FileDialogs& dialogs) { fileDialogs_ = &dialogs; }

  protected:
    void onCreate() override;
    void onShow() override;
    void enterPressed() override { loginClick(); }
    void onCommand(int id, int notifyCode, HWND from) override;

  private:
    const MessageTable& messages_;
    WindowPrompts ownPrompts_;
    WindowFileDialogs ownFileDialogs_;
    Prompts* prompts_ = &ownPrompts_;
    FileDialogs* fileDialogs_ = &ownFileDialogs_;
    Ctl<TNativeControl> edFile{*this, "edFile"};
    Ctl<TNativeControl> edAccount{*this, "edAccount"};
    Ctl<TNativeControl> edPassword{*this, "edPassword"};
    Ctl<QSkinButton> sbLogin{*this, "sbLogin"};
    Ctl<QSkinButton> sbBrowse{*this, "sbBrowse"};
    std::string keptFile_;
    std::string keptName_;
    SecretString keptPassword_;
};

} // namespace kh
