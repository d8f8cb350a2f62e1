// The small form framework every window of the program is built on: a window class per
// form registered under the form's name, controls declared once in a table, hints as
// tooltips, modal and non-modal showing of forms that are created once and reused, keys
// seen by the form before the focused control, and the per-form message font.
#pragma once

#include "win32/control.h"

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

namespace kh {

class TMenu;
struct MenuItemDef;

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
    // Windows created from now on take this DPI instead of the screen's (0: the screen's
    // again), so that tests can look at them at any DPI.
    static void setDpiOverride(int dpi);
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
    // Lays the window out again at another DPI, as when Windows moves it to a screen of
    // another DPI (WM_DPICHANGED): every control's place and font, the form's own
    // pictures and measures (onDpiChanged), then the window's size, `suggested` when
    // given (in screen pixels) or the same client size in 96-DPI units otherwise.
    void changeDpi(int dpi, const RECT* suggested = nullptr);
    int scale(int units96) const { return MulDiv(units96, dpi_, 96); }
    // The system message font at the form's DPI; style bits from opt::fontMask.
    HFONT font(unsigned style = 0) const;
    HBRUSH faceBrush() const { return faceBrush_.get(); }

    // Hints.
    HWND tooltip() const { return tooltip_; }
    void updateHint(TControl& control);

    // Every window of the form (the form, its controls, a control's inner edit) hands its
    // key and character messages here first: keys go to processKey, and the character
    // after a consumed key is dropped. True when the message is done with (answer 0).
    bool routeKeyMessage(HWND target, UINT msg, WPARAM wParam, LPARAM lParam);
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
    // After a DPI change has given the controls their new places and fonts and before the
    // window takes its new size: the form's pictures and pixel measures of its own.
    virtual void onDpiChanged(int oldDpi) { (void)oldDpi; }

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
    // The window's outer size for a client area of that size, with the form's styles.
    SIZE frameSize(int clientWidth, int clientHeight) const;
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
    // An Alt+letter was taken as a command: the release of Alt that follows must not reach
    // the default window procedure, which saw Alt alone and would enter menu mode (the
    // next typed text lost, Tab dead until Esc).
    bool swallowAltUp_ = false;
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
