#pragma once
// The warning before the automatic logout of an account with unsaved changes: a small
// window above every other, with the seconds left, the plain statement that the unsaved
// changes will be lost, "Save and Stay" and "Stay Logged In". The session decides when it
// shows and when it goes (any key or click in the program ends it); this window only
// follows the session's events.
#include "message_table.h"
#include "session.h"
#include "win32/form.h"
#include "win32/skin_controls.h"

#include <string>

namespace kh {

class TfrmLogoutWarning : public TForm {
  public:
    TfrmLogoutWarning(Session& session, const MessageTable& messages);

    std::string statementText() const;
    void saveClick();
    void stayClick();

  protected:
    void onCreate() override;
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void showCountdown(int secondsLeft);

    Session& session_;
    const MessageTable& messages_;
    Event<int>::Subscription shown_;
    Event<>::Subscription ended_;
    Ctl<TNativeControl> lbStatement{*this, "lbStatement"};
    Ctl<QSkinButton> sbSave{*this, "sbSave"};
    Ctl<QSkinButton> sbStay{*this, "sbStay"};
};

} // namespace kh
