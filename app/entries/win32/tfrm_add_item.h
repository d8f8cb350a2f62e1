#pragma once
// The entry wizard: title and what's-this, description and type, the password twice, and
// a last page to finish. Created on first use and reused; every opening fills all of its
// fields, and every closing empties its password fields and forgets the password. The
// page flow and the checks are EntryWizardFlow's (app/entry_wizard.h); this window shows
// them.
#include "entry_commands.h"
#include "entry_wizard.h"
#include "message_table.h"
#include "password_guard.h"
#include "reveal_line.h"
#include "services.h"
#include "win32/dialog.h"
#include "win32/gdi.h"
#include "win32/skin_controls.h"
#include "win32_services.h"

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace kh {

class TfrmAddItem : public TDialog, public EntryEditor {
  public:
    TfrmAddItem(const MessageTable& messages, Clipboard& clipboard, PasswordGuard& guard,
                Clock& clock, std::function<HWND()> owner);
    ~TfrmAddItem() override;

    // EntryEditor: the seven steps of editEntryValues.
    bool editEntryValues(EntryDraft& draft, bool isNew) override;

    // The buttons, as a click runs them.
    void nextClick();
    void backClick();
    void pasteClick();
    void viewClick();

    const EntryWizardFlow& flow() const { return flow_; }
    int page() const { return flow_.page(); }
    // The side picture as drawn (pixels); null before the window exists.
    HBITMAP picture() const { return picture_.get(); }
    bool clipboardTimerRunning() const { return revealLine_.running(); }
    // Its boxes belong to the wizard; tests answer them.
    void setPrompts(Prompts& prompts) { prompts_ = &prompts; }

    static constexpr UINT_PTR kClipboardTimer = 1; // Timer1
    static constexpr UINT kClipboardInterval = 2000;

  protected:
    void onCreate() override;
    void onDpiChanged(int oldDpi) override;
    void loadPicture();
    void onShow() override;
    void onHide() override;
    bool onKeyDown(const KeyPress& key) override;
    void enterPressed() override { nextClick(); }
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void showPage(int page);
    void focusPage();
    void setType(std::int32_t type);
    void typeClicked();
    void wipePasswordFields();
    void paintPicture(HDC dc, const RECT& area);

    const MessageTable& messages_;
    Clipboard& clipboard_;
    PasswordGuard& guard_;
    Clock& clock_;
    std::function<HWND()> owner_;
    WindowPrompts ownPrompts_;
    Prompts* prompts_ = &ownPrompts_;
    EntryWizardFlow flow_;
    Bitmap picture_;

    Ctl<TPaintButton> Image1{*this, "Image1"};
    Ctl<TContainer> nbWizard{*this, "nbWizard"};
    Ctl<TNativeControl> StaticText1{*this, "StaticText1"};
    Ctl<TNativeControl> edTitle{*this, "edTitle"};
    Ctl<TNativeControl> edWhat{*this, "edWhat"};
    Ctl<TNativeControl> StaticText5{*this, "StaticText5"};
    Ctl<TNativeControl> mmComment{*this, "mmComment"};
    Ctl<QRadioBox> rbPassword{*this, "rbPassword"};
    Ctl<QRadioBox> rbWebAddress{*this, "rbWebAddress"};
    Ctl<QRadioBox> rbText{*this, "rbText"};
    Ctl<TNativeControl> edPassword{*this, "edPassword"};
    Ctl<TNativeControl> edComfirm{*this, "edComfirm"};
    Ctl<QSkinButton> sbPaste{*this, "sbPaste"};
    Ctl<QSkinButton> sbView{*this, "sbView"};
    Ctl<TNativeControl> stClipboard{*this, "stClipboard"};
    RevealLine revealLine_{*this, stClipboard, kClipboardTimer, kClipboardInterval};
    Ctl<QSkinButton> sbBack{*this, "sbBack"};
    Ctl<QSkinButton> sbNext{*this, "sbNext"};
    Ctl<QSkinButton> sbCancel{*this, "sbCancel"};
};

} // namespace kh
