// The base of every dialog of the program: shown modally (execute) or modelessly (show),
// Enter for the default action and Esc for Cancel, OK only after the dialog's own checks,
// and a dialog already on screen brought to the front instead of opened twice. The form
// framework underneath gives the Tab order, Alt+letter, hints, translation at creation
// and the registry of open forms.
#pragma once

#include "win32/form.h"

#include <windows.h>

#include <string>

namespace kh {

// The design every fixed-size dialog shares: a caption with a close box, no sizing frame,
// centred on the screen. Sizes are in 96-DPI units. A dialog with an icon of its own (the
// windows that stand for the program: login, settings, generator) keeps the plain fixed
// border, since a modal dialog frame shows no icon in the caption.
FormDesign fixedDialogDesign(std::string className, std::string caption, int clientWidth,
                             int clientHeight, HICON icon = nullptr);

class TDialog : public TForm {
  public:
    using TForm::TForm;

    // Modal: creates the window on first use, disables the owner until it closes, and
    // returns the result. While it is already open it only comes to the front (None).
    ModalResult execute(HWND owner);
    // Modeless: shows it, or brings it to the front when it is on screen.
    void showModeless(HWND owner = nullptr);
    void bringToFront();

    // The default action and Cancel, as the buttons and the keys run them.
    void okClick();
    void cancelClick();

  protected:
    // The dialog's checks before OK closes it; false keeps it open (the check shows why).
    virtual bool validate() { return true; }
    // Enter runs the default action; a dialog with its own Enter rule overrides this.
    virtual void enterPressed() { okClick(); }
    virtual void escapePressed() { cancelClick(); }
    // Plain Enter and Esc; a derived dialog handles its other keys first and calls this.
    bool onKeyDown(const KeyPress& key) override;
};

} // namespace kh
