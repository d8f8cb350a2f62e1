#pragma once
// The tip of the day: one tip at a time, Previous and Next wrapping around, and the box
// that decides whether a tip opens at start-up. Modeless; closing only hides it.
#include "tip_list.h"
#include "win32/dialog.h"
#include "win32/gdi.h"
#include "win32/skin_controls.h"

#include <functional>

namespace kh {

class QLanguage;

class TfrmTip : public TDialog {
  public:
    // The tips come from `language` (the window's texts are translated at creation like
    // every form's). `showAtStartup` is the Tip setting, which the check box edits directly.
    // `servingBrowserRequest` tells whether a browser request is being served; no tip opens
    // then.
    TfrmTip(QLanguage& language, bool& showAtStartup,
            std::function<bool()> servingBrowserRequest = {});

    // Shows the tip at `index` (wrapped into the list; negative counts from the end),
    // creating the window at the first call, which collects the tips from the language in
    // force. Brings an open window to the front. False while a browser request is served,
    // when there are no tips, or when the window cannot be shown.
    bool showTip(int index);
    // About: the first tip with a line under it (the program's name, version and build).
    bool showAbout(const std::string& line);

    const TipList& tips() const { return tips_; }
    // The bulb's image list; null before the window exists.
    HIMAGELIST bulbImages() const { return bulb_.get(); }

    void previousClick();
    void nextClick();
    void linkClick();

  protected:
    void onCreate() override;
    void onDpiChanged(int oldDpi) override;
    void loadBulb();
    void onShow() override;
    // Alt+C, Alt+N, Alt+P and Alt+S whatever a language made of the captions.
    bool onKeyDown(const KeyPress& key) override;
    // Enter and Esc press Close.
    void enterPressed() override { press(*sbClose); }
    void escapePressed() override { press(*sbClose); }
    void onCommand(int id, int notifyCode, HWND from) override;
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void displayTip();
    static bool press(QBaseControl& control);
    void paint(HDC dc);

    QLanguage& language_;
    bool& showAtStartup_;
    std::function<bool()> servingBrowserRequest_;
    TipList tips_;
    ImageList bulb_;
    Ctl<TNativeControl> stTip{*this, "stTip"};
    Ctl<QCheckBox> cbStartup{*this, "cbStartup"};
    Ctl<QSkinButton> sbPrevious{*this, "sbPrevious"};
    Ctl<QSkinButton> sbNext{*this, "sbNext"};
    Ctl<QSkinButton> sbClose{*this, "sbClose"};
};

} // namespace kh
