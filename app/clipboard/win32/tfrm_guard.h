#pragma once
// The Password Guard's window: a small see-through panel at the right edge of the screen
// that shows the countdown after a copy. It floats above every window, never takes the
// focus and has no task bar button; it can be dragged by any of its parts, and its stop
// button ends the count without touching the clipboard. The count itself is
// PasswordGuard's; this window only shows it and drives it with its 100 ms timer.
#include "password_guard.h"
#include "win32/form.h"
#include "win32/gdi.h"
#include "win32/skin_controls.h"

#include <windows.h>

#include <string>

namespace kh {

class TfrmGuard : public TForm, public GuardWindow {
  public:
    explicit TfrmGuard(PasswordGuard& guard);
    ~TfrmGuard() override;

    // GuardWindow
    bool guardShowing() override;
    void showGuard() override;
    void hideGuard() override;
    void paintGuard(int image, const std::string& label) override;

    int imageShown() const { return image_; }
    std::string labelText() const;
    bool timerRunning() const { return timerRunning_; }

    static constexpr UINT_PTR kTickTimer = 1;
    static constexpr int kAlpha = 180;

  protected:
    void onCreate() override;
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    void placeAtWorkAreaEdge();
    void paintImage(HDC dc, const RECT& area);
    void paintStop(HDC dc, const RECT& area);
    void startDrag(POINT client);
    void dragTo(POINT client);
    void endDrag();
    static LRESULT CALLBACK passThroughProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    PasswordGuard& guard_;
    Ctl<TPaintButton> imGuard{*this, "imGuard"};
    Ctl<TNativeControl> Label1{*this, "Label1"};
    Ctl<TPaintButton> sbStop{*this, "sbStop"};
    ImageList frames_;
    int image_ = 0;
    bool timerRunning_ = false;
    bool dragging_ = false;
    POINT dragOffset_{}; // the pointer's place on the window while dragging
};

} // namespace kh
