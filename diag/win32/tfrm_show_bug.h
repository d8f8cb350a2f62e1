#pragma once
// The crash report window: the address and message of an error that nothing handled, a
// report with the system description to read or to mail, and the choice between going on
// and ending the program, optionally starting it again. Created once and reused.
#include "win32/dialog.h"
#include "win32/error_boundary.h"
#include "win32/gdi.h"
#include "win32/skin_controls.h"

#include <cstdint>
#include <string>

namespace kh {

class MessageTable;

class TfrmShowBug : public TDialog {
  public:
    // The message table gives the mail's closing line (`warnplease`).
    explicit TfrmShowBug(const MessageTable& messages);

    // Builds the report and shows the window modally. Returns how it was closed: Cancel
    // (Continue, Esc, close box) or Abort (Terminate confirmed; restart() tells whether to
    // start again). An error raised while the window is open only replaces the one shown,
    // and the call returns None at once; so does any failure inside, which is swallowed.
    ModalResult showError(const ApplicationError& error);
    // An error the program cannot go on after: the same report without Continue. Returns
    // when the window closes, also when it was open already (it then runs the loop itself).
    ModalResult showFatalError(const ApplicationError& error);

    const std::string& report() const { return report_; }
    std::uintptr_t errorAddress() const { return address_; }
    const std::string& errorMessage() const { return message_; }
    // The restart box as it was when Terminate was confirmed; cleared by each new error.
    bool restart() const { return restart_; }
    bool showsFatalError() const { return fatal_; }

    void viewReportClick();
    void sendReportClick();
    void terminateClick();

  protected:
    void onCreate() override;
    void onShow() override;
    // Enter presses the focused button; Esc presses Continue (nothing without it).
    void enterPressed() override;
    void escapePressed() override;
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void fill(const ApplicationError& error, bool fatal);
    void paint(HDC dc);

    const MessageTable& messages_;
    Ctl<TNativeControl> lbAddress{*this, "lbAddress"};
    Ctl<TNativeControl> lbMessage{*this, "lbMessage"};
    Ctl<QSkinButton> sbView{*this, "sbView"};
    Ctl<QSkinButton> sbSend{*this, "sbSend"};
    Ctl<QCheckBox> cbRestart{*this, "cbRestart"};
    Ctl<QSkinButton> sbContinue{*this, "sbContinue"};
    Ctl<QSkinButton> sbTerminate{*this, "sbTerminate"};
    Bitmap banner_;
    std::string report_;
    std::uintptr_t address_ = 0;
    std::string message_;
    bool restart_ = false;
    bool fatal_ = false;
};

} // namespace kh
