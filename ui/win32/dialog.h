// The base of every dialog of the program: shown modally (execute) or modelessly (show),
// Enter for the default action and Esc for Cancel, OK only after the dialog's own checks,
// and a dialog already on screen brought to the front instead of opened twice. The form
// framework underneath gives the Tab order, Alt+letter, hints, translation at creation
// and the registry of open forms.
#pragma once

#include "win32/form.h"

#include <string>
#include <utility>

namespace kh {

// The design most dialogs share: a fixed dialog frame with a caption and a close box,
// centred on the screen. Sizes are in 96-DPI units.
inline FormDesign fixedDialogDesign(std::string className, std::string caption, int clientWidth,
                                    int clientHeight) {
    FormDesign design;
    design.className = std::move(className);
    design.caption = std::move(caption);
    design.clientWidth = clientWidth;
    design.clientHeight = clientHeight;
    design.style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    design.exStyle = WS_EX_DLGMODALFRAME;
    design.centered = true;
    return design;
}

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
