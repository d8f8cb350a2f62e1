// A form's controls: the row of the form's table each is built from, and the standard
// controls and containers the form framework makes itself (the skinned ones are in
// skin_controls.h).
#pragma once

#include "translatable.h"

#include "win32/caption_fit.h"

#include "win32/gdi.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "secure_memory.h"

namespace kh {

class TForm;

enum class ModalResult { None, Ok, Cancel, Abort, Retry, Ignore, Yes, No, Close };

enum class ControlKind {
    // Native Win32 controls.
    Label,      // STATIC; clicks reach the form as WM_COMMAND / STN_CLICKED
    StaticText, // STATIC, translated by its own rule
    Edit,
    MaskEdit, // shows "*" for every character; its text is a secret
    Memo,     // multi-line edit
    ComboBox,
    ListView,
    GroupBox, // may contain controls
    Button,   // standard push button
    CheckBox, // standard check box
    // Containers (this framework's own plain window).
    Panel,
    Notebook, // shows one of its Page children at a time
    Page,
    // Skinned controls (ui/win32/skin_controls.h).
    PaintButton,
    SkinButton,
    BitmapButton,
    SkinCheckBox,
    SkinRadioBox,
    AnimatedButton,
    TabControl,
    ToolButton,
};

// Option bits of a control table row.
namespace opt {
inline constexpr unsigned hidden = 1u << 0;
inline constexpr unsigned inactive = 1u << 1; // skinned: inactive; native: disabled
inline constexpr unsigned checked = 1u << 2;
inline constexpr unsigned bold = 1u << 3;
inline constexpr unsigned underline = 1u << 4;
inline constexpr unsigned italic = 1u << 5;
inline constexpr unsigned large = 1u << 6; // one and a half times the message font
inline constexpr unsigned handCursor = 1u << 7;
inline constexpr unsigned readOnly = 1u << 8;
inline constexpr unsigned noTabStop = 1u << 9;
inline constexpr unsigned centered = 1u << 10; // labels: centred text
inline constexpr unsigned fontMask = bold | underline | italic | large;
} // namespace opt

inline constexpr COLORREF kDefaultColor = CLR_INVALID;

// One row of a form's control table. Geometry is in 96-DPI units inside the parent's
// client area and is scaled to the form's DPI.
struct ControlDef {
    const char* name = "";
    ControlKind kind = ControlKind::Label;
    const char* caption = "";
    const char* hint = "";
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    DWORD style = 0; // extra style bits for the Win32 class (LVS_REPORT, ES_NUMBER...)
    int commandId = 0;
    const char* parent = ""; // name of an earlier panel, page, notebook or group box
    unsigned options = 0;
    ModalResult modalResult = ModalResult::None; // skinned buttons
    COLORREF textColor = kDefaultColor;          // labels and static texts
    int maxLength = 0;                           // edits: characters the user can type
};

// A control of a form, built from its table row.
class TControl : public TranslatableComponent {
  public:
    TControl(TForm& form, const ControlDef& def);
    ~TControl() override;
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    const std::string& name() const { return name_; }
    ControlKind kind() const { return kind_; }
    HWND handle() const { return hwnd_; }
    TForm& form() const { return form_; }
    int commandId() const { return commandId_; }
    unsigned options() const { return options_; }
    COLORREF textColor() const { return textColor_; }

    // Visible on screen: this control, its parents and the form are all shown.
    bool isShowing() const;
    void setVisible(bool visible);
    bool isEnabled() const;
    void setEnabled(bool enabled);
    // In 96-DPI units of the parent's client area.
    void setBounds(int x, int y, int width, int height);
    void setBoundsPx(int x, int y, int width, int height);
    void setFocus();
    // Takes part in Tab navigation now.
    virtual bool canFocus() const;

    // The room the control gives its caption; none for controls without a caption of
    // fixed size (edits, lists, containers, tabs and tool buttons, which size their own).
    virtual std::optional<CaptionRoom> captionRoom() const { return std::nullopt; }
    // The font the caption is drawn in: the form's, or the smaller one it takes to fit.
    HFONT captionFont() const;
    // Chooses the caption's font again for its present text and size.
    void fitCaption();

    std::string componentName() const override { return name_; }
    bool isVisualControl() const override { return true; }
    std::string hint() const override { return hint_; }
    void setHint(const std::string& hint) override;
    std::vector<TranslatableComponent*> ownedComponents() override { return {}; }

  protected:
    friend class TForm;
    // Creates the window inside `parent`; geometry and font from the form.
    virtual void create(HWND parent) = 0;
    RECT scaledBounds() const;
    // Puts captionFont() into use.
    virtual void applyCaptionFont() {}

    TForm& form_;
    HWND hwnd_ = nullptr;
    std::string name_;
    ControlKind kind_;
    std::string hint_;
    std::string initialCaption_;
    int x_, y_, width_, height_;
    DWORD style_;
    int commandId_;
    unsigned options_;
    COLORREF textColor_;
    int maxLength_;
    bool toolAdded_ = false;
    Font fittedFont_; // empty while the form's font fits the caption
};

// Labels, edits, memos, lists and the other standard controls.
class TNativeControl : public TControl {
  public:
    TNativeControl(TForm& form, const ControlDef& def) : TControl(form, def) {}
    ComponentKind componentKind() const override;
    // A masked edit answers an empty text here: its content is read with secretText().
    std::string text() const override;
    void setText(const std::string& text) override;

    // The text of an edit as a secret; the copy never passes through a plain string.
    SecretString secretText() const;
    // Overwrites the edit's text before emptying it, so the old secret is not left
    // behind in the control's buffer.
    void wipeText();
    // Puts a secret into the edit, wiping what it held first; no plain copy is made.
    void setSecretText(std::string_view text);
    bool checked() const; // standard check box
    void setChecked(bool checked);
    std::optional<CaptionRoom> captionRoom() const override;

  protected:
    void create(HWND parent) override;
    void applyCaptionFont() override;

  private:
    static LRESULT CALLBACK subclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT subclassBody(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    WNDPROC oldProc_ = nullptr;
};

// Panel, notebook and page: a plain window that hands its children's notifications to
// the form, so controls on a page report exactly as controls on the form do.
class TContainer : public TControl {
  public:
    TContainer(TForm& form, const ControlDef& def) : TControl(form, def) {}
    ComponentKind componentKind() const override;
    std::string text() const override { return caption_; }
    void setText(const std::string& text) override;
    bool canFocus() const override { return false; }

    // Notebook: the pages in table order, and which one is shown.
    int pageCount() const { return static_cast<int>(pages_.size()); }
    int pageIndex() const { return pageIndex_; }
    TContainer* page(int index) const;
    // Out-of-range indexes are ignored.
    void setPageIndex(int index);

  protected:
    void create(HWND parent) override;

  private:
    friend class TForm;
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT windowBody(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    std::string caption_;
    std::vector<TContainer*> pages_;
    int pageIndex_ = -1;
};

} // namespace kh
