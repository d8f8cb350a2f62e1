// The small form framework every window of the program is built on: a window class per
// form registered under the form's name, controls declared once in a table, hints as
// tooltips, modal and non-modal showing of forms that are created once and reused, keys
// seen by the form before the focused control, and the per-form message font.
#pragma once

#include "translatable.h"

#include "win32/caption_fit.h"

#include "win32/gdi.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "secure_memory.h"

namespace kh {

class TForm;
class TMenu;
struct MenuItemDef;

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

// The window itself.
struct FormDesign {
    std::string className; // the form's name, e.g. "TfrmMain"; also its window class
    std::string caption;
    int clientWidth = 400; // 96-DPI units
    int clientHeight = 300;
    DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    // Keep the form's pointer in the window's extra bytes and leave GWLP_USERDATA to the
    // program (the login window carries a marker there that other instances look for).
    bool stateInExtraBytes = false;
    int extraBytes = 0; // further window bytes, from offset kFormExtraOffset
    bool centered = true;
    HICON icon = nullptr;
};

inline constexpr int kFormExtraOffset = static_cast<int>(sizeof(LONG_PTR));

struct KeyPress {
    UINT key = 0; // virtual key
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    HWND target = nullptr; // the window the key was sent to
};

template <class T> class Ctl;

class TForm : public TranslatableComponent {
  public:
    TForm(FormDesign design, std::span<const ControlDef> controls);
    ~TForm() override;
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    // Registers the window class and builds the window and its controls; does nothing
    // when the window exists. False if Windows refused the window.
    bool create(HWND owner = nullptr);
    void destroy();
    HWND handle() const { return hwnd_; }

    // Every form whose window exists, in creation order (the language refresh walks it).
    static const std::vector<TForm*>& openForms();
    // Runs once for every form right after its window and controls exist and onCreate has
    // run: the language component translates the new window here.
    static std::function<void(TForm&)>& onFormCreated();
    // Runs on every key and click a user makes in any form: the idle count of the
    // automatic logout starts again.
    static std::function<void()>& onUserActivity();
    static void noteUserActivity();
    const std::string& className() const { return design_.className; }
    // The form a window of one of the forms' classes belongs to; null for other windows.
    static TForm* fromHandle(HWND hwnd);

    // Controls. Windows bind their controls once to typed members (Ctl<T>); the lookups
    // by name are for the framework and for tests.
    TControl* control(std::string_view name) const;
    template <class T> T* find(std::string_view name) const {
        return dynamic_cast<T*>(control(name));
    }
    // A control the form's own table declares; a missing one is a design mistake.
    template <class T> T& get(std::string_view name) const {
        T* found = find<T>(name);
        if (!found) throwMissingControl(name);
        return *found;
    }
    TControl* controlOf(HWND hwnd) const;
    const std::vector<std::unique_ptr<TControl>>& controls() const { return controls_; }

    // Menus, owned by the form and walked with its controls. A bar menu is attached to
    // the window.
    TMenu& addMenu(std::string name, std::span<const MenuItemDef> items, bool menuBar = false);
    TMenu* menu(std::string_view name) const;
    // Components the form builds by hand, walked after the table's controls.
    void registerComponent(TranslatableComponent& component);

    // Lets a feature answer messages of a window it does not own (the tray's messages to
    // the main window, the requests other processes send to the login window). A hook
    // that handles the message sets the result and returns true; hooks run before the
    // form's own handler, in the order they were added.
    using MessageHook =
        std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)>;
    void addMessageHook(MessageHook hook) { messageHooks_.push_back(std::move(hook)); }

    // Showing. Forms are reused: closing hides them.
    ModalResult showModal(HWND owner = nullptr);
    void show();
    void hide();
    // Like the window's close box: asks onCloseQuery, then hides or ends the modal loop.
    void close();
    bool isModal() const { return modalLoop_; }
    bool isVisible() const;
    // While modal: a result other than None closes the form with that result.
    void setModalResult(ModalResult result) { modalResult_ = result; }
    ModalResult modalResult() const { return modalResult_; }

    // DPI and fonts.
    int dpi() const { return dpi_; }
    int scale(int units96) const { return MulDiv(units96, dpi_, 96); }
    // The system message font at the form's DPI; style bits from opt::fontMask.
    HFONT font(unsigned style = 0) const;
    HBRUSH faceBrush() const { return faceBrush_.get(); }

    // Hints.
    HWND tooltip() const { return tooltip_; }
    void updateHint(TControl& control);

    // Keys arriving at any control of the form pass here first. True when consumed.
    bool processKey(HWND target, UINT msg, WPARAM wParam, LPARAM lParam);
    // The character message that follows a consumed key is dropped.
    bool takeSwallowedChar();
    // Tab navigation between the controls that can take the focus, in table order.
    bool focusNext(bool forward);
    bool focusFirst();
    // Alt+letter: clicks the active, visible skinned control whose caption has "&letter".
    bool pressAccelerator(UINT key);

    // TranslatableComponent: the window, its caption, everything it owns.
    ComponentKind componentKind() const override { return ComponentKind::Window; }
    std::string componentName() const override { return design_.className; }
    bool isVisualControl() const override { return false; }
    std::string text() const override;
    void setText(const std::string& text) override;
    std::string hint() const override { return {}; }
    void setHint(const std::string&) override {}
    std::vector<TranslatableComponent*> ownedComponents() override;

  protected:
    // The form's message handler; overrides handle what they need and pass the rest to
    // TForm::handleMessage, which does the framework's part and DefWindowProc.
    virtual LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // After the controls exist.
    virtual void onCreate() {}
    // Keys before the focused control and before Tab and Alt+letter; true consumes.
    virtual bool onKeyDown(const KeyPress& key);
    // WM_COMMAND from controls and menus (after a menu item's OnClick).
    virtual void onCommand(int id, int notifyCode, HWND from);
    virtual LRESULT onNotify(NMHDR& header);
    virtual bool onCloseQuery() { return true; }
    virtual void onShow() {}
    virtual void onHide() {}
    virtual void onResize(int width, int height);

  private:
    template <class T> friend class Ctl;
    struct Binding {
        const char* name;
        std::function<bool(TControl*)> bind;
    };
    void addBinding(const char* name, std::function<bool(TControl*)> bind) {
        bindings_.push_back({name, std::move(bind)});
    }
    void resolveBindings();

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    [[noreturn]] static void throwMissingControl(std::string_view name);
    bool registerWindowClass() const;
    std::unique_ptr<TControl> makeControl(const ControlDef& def);
    void prepareShow();
    LRESULT controlColor(HDC dc, HWND control, bool editColors);

    FormDesign design_;
    std::vector<ControlDef> table_;
    std::vector<std::unique_ptr<TControl>> controls_;
    std::vector<std::unique_ptr<TMenu>> menus_;
    std::vector<TranslatableComponent*> extra_;
    std::vector<Binding> bindings_;
    std::vector<MessageHook> messageHooks_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    HWND lastFocus_ = nullptr;
    int dpi_ = 96;
    mutable std::map<unsigned, Font> fonts_;
    Brush faceBrush_;
    Brush windowBrush_;
    bool modalLoop_ = false;
    bool swallowChar_ = false;
    ModalResult modalResult_ = ModalResult::None;
};

// A control of a form's table as a typed member of the form's class. It is looked up once,
// when the form's window is created; a missing control or one of another kind stops the
// creation with an error, so every window test catches a wrong name at once.
template <class T> class Ctl {
  public:
    Ctl(TForm& form, const char* name) : name_(name) {
        form.addBinding(name, [this](TControl* control) {
            control_ = dynamic_cast<T*>(control);
            return control_ != nullptr;
        });
    }
    Ctl(const Ctl&) = delete;
    Ctl& operator=(const Ctl&) = delete;

    T* operator->() const { return &get(); }
    T& operator*() const { return get(); }
    T& get() const {
        if (!control_)
            throw std::logic_error(std::string("control used before its form exists: ") + name_);
        return *control_;
    }
    bool bound() const { return control_ != nullptr; }
    const char* name() const { return name_; }

  private:
    const char* name_;
    T* control_ = nullptr;
};

// The character after the first single "&" of a caption, upper-cased; 0 when none.
char acceleratorOf(std::string_view caption);

// Drops the character messages waiting in this thread's queue: a key that opens a menu or
// a dialog must not also type its character into it.
void discardPendingCharacters();

// The program's message loop (keys need no translation step: the forms see them first).
int runMessageLoop();
// Handles every message waiting for this thread; false once WM_QUIT was seen (it is
// posted again for the outer loop).
bool processPendingMessages();

} // namespace kh
