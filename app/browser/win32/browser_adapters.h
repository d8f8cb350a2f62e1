// What the browser requests need of the program, on the program's own objects: the entry
// list and session as the store of logins, the session and login dialog as the prompt.
#pragma once

#include "app_state.h"
#include "entry_list.h"
#include "request_server.h"
#include "session.h"

#include <windows.h>

#include <functional>

namespace kh {

// Stored logins are the rows of lvPassword with their records.
class EntryLoginStore : public browser::LoginStore {
  public:
    explicit EntryLoginStore(Session& session) : session_(session), entries_(session.entries()) {}

    bool isLoggedIn() override { return session_.isLoggedIn(); }
    std::size_t rowCount() const override;
    std::optional<browser::StoredRow> row(std::size_t index) const override;
    bool replaceData(std::size_t index, std::string_view data) override;
    bool addLink(std::string_view title, std::string_view data, std::string_view whatsThis,
                 std::string_view description) override;
    bool hasFileName() const override { return !session_.fileName().empty(); }
    // As the Save command does it: the last account is remembered when Remember is on.
    bool saveNow() override { return session_.saveAccount(false, session_.settings().remember); }

  private:
    Session& session_;
    EntryList& entries_;
};

// The login on demand: the session's login dialog and the main window's place.
class SessionLoginUi : public browser::LoginUi {
  public:
    SessionLoginUi(Session& session, LoginPrompter& login, MainWindowControl& window,
                   StartState& start)
        : session_(session), login_(login), window_(window), start_(start) {}

    bool isLoggedIn() override { return session_.isLoggedIn(); }
    bool loginDialogOnScreen() override { return login_.loginDialogShowing(); }
    void waitForLoginDialog() override;
    void completePendingLogin() override;
    void setLoginStayOnTop(bool onTop) override;
    void showLoginForLastAccount() override;
    void endProcessMode() override;

  private:
    Session& session_;
    LoginPrompter& login_;
    MainWindowControl& window_;
    StartState& start_;
    // What the dialog held when the wait ended; its password is gone as soon as it is used.
    LoginPrompt held_;
};

} // namespace kh
