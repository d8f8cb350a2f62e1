#pragma once
// The password generator: a random password from up to four character classes, its
// strength for the current choices, and a copy button that puts the password on the
// clipboard under the Password Guard and closes the window. Not modal; created on first
// use and kept, with its choices, for the rest of the run. The password lives only in the
// result field and is wiped from it on copy and on close.
#include "generator.h"
#include "message_table.h"
#include "password_guard.h"
#include "services.h"
#include "win32/dialog.h"
#include "win32/gdi.h"
#include "win32/skin_controls.h"

#include <commctrl.h>

namespace kh {

class TfrmGenerator : public TDialog {
  public:
    TfrmGenerator(const MessageTable& messages, Clipboard& clipboard, PasswordGuard& guard);
    ~TfrmGenerator() override;

    // Shows the window, or brings it to the front when it is open.
    void open();
    void generateClick();
    void copyClick();
    // The strength line for the current choices, in the current language.
    void updateStrength();
    GeneratorOptions options() const;

  protected:
    void onCreate() override;
    void onShow() override;
    void onHide() override;
    // Enter generates, unless the copy button has the focus.
    void enterPressed() override;
    void onCommand(int id, int notifyCode, HWND from) override;

  private:
    const MessageTable& messages_;
    Clipboard& clipboard_;
    PasswordGuard& guard_;
    ImageList glyphs_;
    Ctl<QCheckBox> cbAZ{*this, "cbAZ"};
    Ctl<QCheckBox> cba{*this, "cba"};
    Ctl<QCheckBox> cbSpecial{*this, "cbSpecial"};
    Ctl<QCheckBox> cbDigit{*this, "cbDigit"};
    Ctl<TNativeControl> edLength{*this, "edLength"};
    Ctl<TNativeControl> edPassword{*this, "edPassword"};
    Ctl<TNativeControl> lbStrength{*this, "lbStrength"};
    Ctl<QSkinButton> sbGenerate{*this, "sbGenerate"};
    Ctl<QBitmapButton> sbCopy{*this, "sbCopy"};
};

} // namespace kh
