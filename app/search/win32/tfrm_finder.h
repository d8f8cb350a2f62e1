#pragma once
// The find dialog: the text to find (with the earlier texts of this session in its
// drop-down) and the fields to look in. Not modal; created on first use and reused, so
// the option boxes keep their states from one use to the next. Every showing and every
// closing empties the text.
#include "finder.h"
#include "win32/dialog.h"
#include "win32/skin_controls.h"
#include "win32_services.h"

namespace kh {

class TfrmFinder : public TDialog {
  public:
    explicit TfrmFinder(Finder& finder);
    ~TfrmFinder() override;

    // Shows the dialog with an empty text, or brings it to the front when it is open.
    void open(HWND owner);
    void findClick();
    void closeClick() { cancelClick(); }
    // The account logged out: the dialog closes, its text and earlier texts go.
    void forget();

    // The flags of the option boxes, for a new request.
    SearchRequest options() const;
    // Its boxes belong to the dialog; tests answer them.
    void setPrompts(Prompts& prompts) { prompts_ = &prompts; }

  protected:
    void onCreate() override;
    void onShow() override;
    void onHide() override;
    bool onKeyDown(const KeyPress& key) override;
    void enterPressed() override;

  private:
    static LRESULT CALLBACK textKeys(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data);
    void fillEarlierTexts();
    void clearText();
    bool listDropped() const;

    Finder& finder_;
    WindowPrompts ownPrompts_;
    Prompts* prompts_ = &ownPrompts_;
    HWND textEdit_ = nullptr; // the edit inside cbFind

    Ctl<TNativeControl> cbFind{*this, "cbFind"};
    Ctl<QCheckBox> qbCase{*this, "qbCase"};
    Ctl<QCheckBox> qbTitle{*this, "qbTitle"};
    Ctl<QCheckBox> qbWhole{*this, "qbWhole"};
    Ctl<QCheckBox> qbPassword{*this, "qbPassword"};
    Ctl<QCheckBox> qbComment{*this, "qbComment"};
    Ctl<QCheckBox> qbAll{*this, "qbAll"};
    Ctl<QSkinButton> sbFind{*this, "sbFind"};
    Ctl<QSkinButton> sbClose{*this, "sbClose"};
};

} // namespace kh
