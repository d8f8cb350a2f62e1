// The session's windows and commands: the login dialog (which exists, hidden, for the whole
// run: other instances and browser bridges talk to its window), the account file dialogs,
// and save, save as, backup, logout, open and login, new account, import and quit.
#pragma once

#include "feature_handler.h"
#include "session.h"
#include "tfrm_login.h"
#include "tfrm_logout_warning.h"

#include <windows.h>

#include <functional>
#include <string>

namespace kh {

class SessionFeature : public FeatureHandler, public LoginPrompter, public AccountFileDialogs {
  public:
    // `owner`: the main window while it is shown (the owner of the dialogs); `caption`: a
    // command's caption as its menu shows it; `endProgram`: what Quit does once the session
    // lets the program end.
    SessionFeature(Session& session, const MessageTable& messages, FileDialogs& fileDialogs,
                   std::function<HWND()> owner, std::function<std::string(CommandId)> caption,
                   std::function<void()> endProgram);
    ~SessionFeature() override;

    // The warning window is made at once, so that the language component knows it.
    bool create() { return login_.create() && logoutWarning_.create(); }
    void run(CommandId action) override;
    TfrmKeyhavenLogin& loginDialog() { return login_; }
    TfrmLogoutWarning& logoutWarning() { return logoutWarning_; }

    // LoginPrompter
    bool loginDialogShowing() override;
    void bringLoginDialogToFront() override;
    LoginPrompt runLoginDialog(const std::string& file, const std::string& name) override;
    LoginPrompt waitForLoginDialog(const std::function<bool()>& done) override;
    void setLoginDialogOnTop(bool onTop) override;

    // AccountFileDialogs
    std::optional<std::string> saveFileDialog(const std::string& start,
                                              bool backup = false) override;
    std::optional<std::string> openFileDialog(const std::string& start) override;
    // The save dialog's request: for a save, or for a backup copy.
    FileDialogRequest saveRequest(const std::string& start, bool backup) const;

  private:
    Session& session_;
    FileDialogs& fileDialogs_;
    std::function<HWND()> owner_;
    std::function<std::string(CommandId)> caption_;
    std::function<void()> endProgram_;
    TfrmKeyhavenLogin login_;
    TfrmLogoutWarning logoutWarning_;
};

} // namespace kh
