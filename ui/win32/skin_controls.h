// The skinned controls: custom window classes painted with GDI in one flat palette. Each
// has a caption that a language file can replace; owners react through std::function
// callbacks.
#pragma once

#include "win32/form.h"
#include "win32/flat_images.h"
#include "win32/gdi.h"

#include <functional>
#include <string>
#include <vector>

namespace kh {

// Caption, active state and visibility; mouse tracking, focus and double-buffered
// painting shared by every skinned control. An inactive control ignores clicks and keys.
class QBaseControl : public TControl {
  public:
    QBaseControl(TForm& form, const ControlDef& def);
    ~QBaseControl() override;

    ComponentKind componentKind() const override { return ComponentKind::SkinnedControl; }
    std::string text() const override { return caption_; }
    void setText(const std::string& text) override { setCaption(text); }

    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    bool isActive() const { return active_; }
    void setActive(bool active);
    bool isHot() const { return hot_; }
    bool isPressed() const { return pressed_; }
    bool hasFocus() const;
    bool canFocus() const override;
    // Asks for a repaint.
    void repaint();

    // What a click or the control's key does; nothing while inactive.
    virtual void click();
    std::function<void()> OnClick;

  protected:
    void create(HWND parent) override;
    void applyCaptionFont() override { repaint(); }
    virtual const char* windowClass() const = 0;
    virtual bool focusable() const { return false; }
    virtual void paint(HDC dc, const RECT& client) = 0;
    // Space and Enter while focused; true when handled.
    virtual bool keyDown(UINT key);
    virtual void mouseDown(int x, int y);
    // Runs a click when the press ends over the control (see releasePress).
    virtual void mouseUp(int x, int y);
    virtual void mouseMove(int x, int y);
    virtual void mouseEnter() {}
    virtual void mouseLeave() {}
    virtual LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    // The end of a press: the capture let go and the face repainted. True when the button
    // went up over the active control that was pressed, that is, when it counts as a click.
    bool releasePress(int x, int y);

    // Drawing helpers in the skin's palette.
    void drawCaption(HDC dc, RECT area, UINT format, COLORREF color) const;
    void drawFocus(HDC dc, RECT area) const;
    int scale(int units96) const;

    std::string caption_;
    bool active_ = true;
    bool hot_ = false;
    bool pressed_ = false;

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT windowBody(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// A paint surface: the owner paints it and hears the mouse come and go.
class TPaintButton : public QBaseControl {
  public:
    using QBaseControl::QBaseControl;
    std::function<void(HDC dc, const RECT& client)> OnPaint;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;
    std::function<void(int x, int y)> OnMouseDown; // client pixels, left button

  protected:
    const char* windowClass() const override { return "TPaintButton"; }
    void paint(HDC dc, const RECT& client) override;
    void mouseDown(int x, int y) override;
    void mouseEnter() override;
    void mouseLeave() override;
};

// A push button with a modal result: clicking it closes the owning form with that result.
class QSkinButton : public QBaseControl {
  public:
    using QBaseControl::QBaseControl;
    ModalResult modalResult() const { return modalResult_; }
    void setModalResult(ModalResult result) { modalResult_ = result; }
    void click() override;

    std::optional<CaptionRoom> captionRoom() const override;

  protected:
    friend class TForm;
    const char* windowClass() const override { return "QSkinButton"; }
    bool focusable() const override { return true; }
    void paint(HDC dc, const RECT& client) override;
    bool keyDown(UINT key) override;
    void paintFace(HDC dc, const RECT& client) const;

    ModalResult modalResult_ = ModalResult::None;
};

// A button drawn from a glyph strip of equal frames: normal, hot, pressed, inactive
// (a strip with fewer frames reuses the first).
class QBitmapButton : public QSkinButton {
  public:
    using QSkinButton::QSkinButton;
    // Takes the bitmap; pixels of `transparent` (CLR_INVALID: none) show the face.
    void setGlyph(Bitmap strip, int frames, COLORREF transparent = CLR_INVALID);
    // The four faces (normal, hot, pressed, inactive) of one picture of an image list.
    void setGlyphFrom(HIMAGELIST images, int index);
    int frameShown() const;
    // The width one frame of the glyph takes on screen; 0 without a glyph.
    int glyphWidth() const;

    std::optional<CaptionRoom> captionRoom() const override;

  protected:
    const char* windowClass() const override { return "QBitmapButton"; }
    void paint(HDC dc, const RECT& client) override;

  private:
    RECT captionRect(const RECT& client) const;
    Bitmap glyph_;
    int frames_ = 1;
    COLORREF transparent_ = CLR_INVALID;
};

// A check box that toggles on a click. Setting `checked` by code raises no event.
class QCheckBox : public QBaseControl {
  public:
    QCheckBox(TForm& form, const ControlDef& def);
    bool checked() const { return checked_; }
    virtual void setChecked(bool checked);
    void click() override;
    std::function<void()> OnChange;

    std::optional<CaptionRoom> captionRoom() const override;

  protected:
    const char* windowClass() const override { return "QCheckBox"; }
    bool focusable() const override { return true; }
    void paint(HDC dc, const RECT& client) override;
    bool keyDown(UINT key) override;
    // The box the mark sits in, at the left and centred, drawn in its state's colours;
    // returns where it went.
    RECT paintBox(HDC dc, const RECT& client, int radius) const;
    void paintMark(HDC dc, const RECT& box) const;
    void paintCaptionBeside(HDC dc, const RECT& box, const RECT& client) const;
    static constexpr int kBoxSize = 14; // 96-DPI units
    bool checked_ = false;
};

// A radio box: checking one clears every other QRadioBox of the same parent window;
// a click checks it and never unchecks it.
class QRadioBox : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;
    void setChecked(bool checked) override;
    void click() override;

  protected:
    const char* windowClass() const override { return "QRadioBox"; }
    void paint(HDC dc, const RECT& client) override;
};

// Cycles the images of an image list at an interval (a window timer) while running.
class QAnimatedButton : public QBaseControl {
  public:
    using QBaseControl::QBaseControl;
    ~QAnimatedButton() override;
    // The list stays the caller's; it must outlive the button's use of it.
    void setImages(HIMAGELIST images);
    void setInterval(UINT milliseconds);
    UINT interval() const { return interval_; }
    void start();
    void stop();
    bool isRunning() const { return running_; }
    int frame() const { return frame_; }
    void setFrame(int frame);

  protected:
    const char* windowClass() const override { return "QAnimatedButton"; }
    void paint(HDC dc, const RECT& client) override;
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    int imageCount() const;
    HIMAGELIST images_ = nullptr;
    UINT interval_ = 50;
    bool running_ = false;
    int frame_ = 0;
};

enum class TabOrientation { Horizontal, Vertical };

// A strip of tabs drawn by the owner. A mouse press on a tab asks OnChanging (which may
// refuse), then selects it, raises OnChange and repaints.
class QTabControl : public QBaseControl {
  public:
    using QBaseControl::QBaseControl;
    void setTabs(std::vector<std::string> tabs);
    const std::vector<std::string>& tabs() const { return tabs_; }
    int tabCount() const { return static_cast<int>(tabs_.size()); }
    int tabIndex() const { return tabIndex_; }
    // Sets the index without events; an index outside the tabs is ignored.
    void setTabIndex(int index);
    // What a press on a tab does: veto, change, event, repaint. True if it changed.
    bool selectTab(int index);
    void setOrientation(TabOrientation orientation);
    TabOrientation orientation() const { return orientation_; }
    // Extent of each tab along the strip, in 96-DPI units.
    void setTabWidth(int units96);
    int tabWidth() const { return tabWidth_; }
    int hotTab() const { return hotTab_; }
    RECT tabRect(int index) const;
    int tabAt(int x, int y) const;

    std::function<bool(int newIndex)> OnChanging; // false refuses the change
    std::function<void()> OnChange;
    std::function<void(HDC dc, int index, const RECT& area, bool selected, bool hot)> OnDrawTab;

  protected:
    const char* windowClass() const override { return "QTabControl"; }
    bool focusable() const override { return true; }
    void paint(HDC dc, const RECT& client) override;
    bool keyDown(UINT key) override;
    void mouseDown(int x, int y) override;
    void mouseMove(int x, int y) override;
    void mouseLeave() override;

  private:
    std::vector<std::string> tabs_;
    int tabIndex_ = -1;
    int hotTab_ = -1;
    int tabWidth_ = 65;
    TabOrientation orientation_ = TabOrientation::Horizontal;
};

// A flat tool bar button: an image of a shared image list and/or a caption; it can
// stay down (check style) and can have a drop-down part.
class TToolButton : public QBaseControl {
  public:
    using QBaseControl::QBaseControl;
    ComponentKind componentKind() const override { return ComponentKind::ToolButton; }
    void setImages(HIMAGELIST images);
    void setImageIndex(int index);
    int imageIndex() const { return imageIndex_; }
    bool isDown() const { return down_; }
    void setDown(bool down);
    void setDropDown(bool dropDown);
    // Drawn as under the mouse while the keyboard walks a bar of such buttons.
    void setHighlighted(bool highlighted);
    bool isHighlighted() const { return highlighted_; }
    std::function<void()> OnDropDown; // the arrow part, or the whole button without OnClick

  protected:
    const char* windowClass() const override { return "TToolButton"; }
    void paint(HDC dc, const RECT& client) override;
    void mouseUp(int x, int y) override;

  private:
    HIMAGELIST images_ = nullptr;
    // The picture as drawn in each state, blended once: a button is painted again on
    // every change of state and under the mouse.
    FlatImageCache pictures_;
    int imageIndex_ = -1;
    bool down_ = false;
    bool dropDown_ = false;
    bool highlighted_ = false;
};

} // namespace kh
