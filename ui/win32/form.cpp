#include "win32/form.h"

#include "win32/error_boundary.h"
#include "win32/form_detail.h"
#include "win32/menu.h"
#include "win32/skin_theme.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace kh {

using form_detail::isEditKind;
using form_detail::moduleInstance;
using form_detail::systemDpi;
using form_detail::windowText;

namespace {

constexpr int kFirstAutoId = 0x7000; // control ids for rows without a command id
constexpr UINT kWmDpiChanged = 0x02E0; // WM_DPICHANGED, which older headers lack

std::vector<TForm*>& formRegistry() {
    static std::vector<TForm*> forms;
    return forms;
}

void forgetForm(TForm* form) {
    auto& forms = formRegistry();
    forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
}

void initCommonControlsOnce() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&init) != FALSE;
    }();
    (void)done;
}

} // namespace

TForm::TForm(FormDesign design, std::span<const ControlDef> controls)
    : design_(std::move(design)), table_(controls.begin(), controls.end()),
      faceBrush_(CreateSolidBrush(skin::kFormFace)),
      windowBrush_(CreateSolidBrush(GetSysColor(COLOR_WINDOW))) {}

TForm::~TForm() {
    destroy();
    forgetForm(this);
}

void TForm::setDpiOverride(int dpi) {
    form_detail::dpiOverride() = dpi;
}

const std::vector<TForm*>& TForm::openForms() {
    return formRegistry();
}

std::function<void(TForm&)>& TForm::onFormCreated() {
    static std::function<void(TForm&)> hook;
    return hook;
}

std::function<void()>& TForm::onUserActivity() {
    static std::function<void()> hook;
    return hook;
}

void TForm::noteUserActivity() {
    if (onUserActivity()) onUserActivity()();
}

void TForm::destroy() {
    forgetForm(this);
    if (hwnd_) DestroyWindow(hwnd_); // the controls' windows and the tooltip go with it
    hwnd_ = nullptr;
    tooltip_ = nullptr;
    controls_.clear();
}

bool TForm::registerWindowClass() const {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(moduleInstance(), design_.className.c_str(), &existing)) return true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &TForm::windowProc;
    wc.hInstance = moduleInstance();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = design_.icon;
    wc.lpszClassName = design_.className.c_str();
    wc.cbWndExtra =
        design_.stateInExtraBytes ? kFormExtraOffset + std::max(0, design_.extraBytes) : 0;
    return RegisterClassExA(&wc) != 0;
}

TForm* TForm::fromHandle(HWND hwnd) {
    if (!hwnd || !IsWindow(hwnd)) return nullptr;
    // Only windows of the forms' own classes carry a form pointer.
    if (GetClassLongPtrA(hwnd, GCLP_WNDPROC) != reinterpret_cast<ULONG_PTR>(&TForm::windowProc))
        return nullptr;
    if (GetClassLongPtrA(hwnd, GCL_CBWNDEXTRA) >= static_cast<ULONG_PTR>(kFormExtraOffset))
        return reinterpret_cast<TForm*>(GetWindowLongPtrA(hwnd, 0));
    return reinterpret_cast<TForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK TForm::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Nothing may unwind through the system's dispatch: errors go to the program's handler.
    return guardedMessage([&] {
        TForm* form =
            msg == WM_NCCREATE
                ? static_cast<TForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams)
                : fromHandle(hwnd);
        if (msg == WM_NCCREATE && form) {
            form->hwnd_ = hwnd;
            if (form->design_.stateInExtraBytes)
                SetWindowLongPtrA(hwnd, 0, reinterpret_cast<LONG_PTR>(form));
            else
                SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        }
        if (!form) return DefWindowProcA(hwnd, msg, wParam, lParam);
        return form->dispatch(msg, wParam, lParam);
    });
}

LRESULT TForm::dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    for (const MessageHook& hook : messageHooks_) {
        LRESULT result = 0;
        if (hook(msg, wParam, lParam, result)) return result;
    }
    if (msg == WM_NCDESTROY) {
        const LRESULT result = handleMessage(msg, wParam, lParam);
        if (design_.stateInExtraBytes)
            SetWindowLongPtrA(hwnd_, 0, 0);
        else
            SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        forgetForm(this);
        hwnd_ = nullptr;
        tooltip_ = nullptr;
        return result;
    }
    return handleMessage(msg, wParam, lParam);
}

bool TForm::create(HWND owner) {
    if (hwnd_) return true;
    initCommonControlsOnce();
    if (!registerWindowClass()) return false;
    dpi_ = systemDpi();
    fonts_.clear();

    const SIZE frame = frameSize(scale(design_.clientWidth), scale(design_.clientHeight));
    const int width = frame.cx;
    const int height = frame.cy;
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    if (design_.centered) {
        RECT work{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        x = work.left + std::max(0L, (work.right - work.left - width) / 2);
        y = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    }
    CreateWindowExA(design_.exStyle, design_.className.c_str(), design_.caption.c_str(),
                    design_.style & ~static_cast<DWORD>(WS_VISIBLE), x, y, width, height, owner,
                    nullptr, moduleInstance(), this);
    if (!hwnd_) return false;
    // Under per-monitor awareness a window takes the DPI of the screen it opens on, which
    // need not be the system's.
    if (const int own = form_detail::windowDpi(hwnd_); own > 0 && own != dpi_ &&
                                                       form_detail::dpiOverride() == 0) {
        dpi_ = own;
        fonts_.clear();
        const SIZE scaled = frameSize(scale(design_.clientWidth), scale(design_.clientHeight));
        SetWindowPos(hwnd_, nullptr, 0, 0, scaled.cx, scaled.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }

    tooltip_ =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, moduleInstance(), nullptr);
    if (tooltip_) SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, scale(400));

    int autoId = kFirstAutoId;
    for (const ControlDef& def : table_) {
        std::unique_ptr<TControl> control = makeControl(def);
        if (control->commandId_ == 0) control->commandId_ = autoId++;
        HWND parent = hwnd_;
        TControl* parentControl = nullptr;
        if (def.parent && *def.parent) {
            parentControl = this->control(def.parent);
            if (!parentControl || !parentControl->handle()) throwMissingControl(def.parent);
            parent = parentControl->handle();
        }
        control->create(parent);
        control->fitCaption();
        // Windows stacks a new child below its older siblings; a later row of the table
        // lies on top, as it does in the designer (buttons on a painted caption bar).
        if (control->handle())
            SetWindowPos(control->handle(), HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        auto* container = dynamic_cast<TContainer*>(parentControl);
        if (container && container->kind() == ControlKind::Notebook &&
            def.kind == ControlKind::Page)
            container->pages_.push_back(static_cast<TContainer*>(control.get()));
        controls_.push_back(std::move(control));
        if (!controls_.back()->hint_.empty()) updateHint(*controls_.back());
    }
    for (auto& control : controls_) {
        auto* notebook = dynamic_cast<TContainer*>(control.get());
        if (notebook && notebook->kind() == ControlKind::Notebook) notebook->setPageIndex(0);
    }
    for (auto& menu : menus_)
        if (menu->isMenuBar()) menu->attachTo(hwnd_);
    resolveBindings();
    formRegistry().push_back(this);
    onCreate();
    if (onFormCreated()) onFormCreated()(*this);
    return true;
}

std::string TForm::text() const {
    return hwnd_ ? windowText(hwnd_) : design_.caption;
}

void TForm::setText(const std::string& text) {
    design_.caption = text;
    if (hwnd_) SetWindowTextA(hwnd_, text.c_str());
}

void TForm::updateHint(TControl& control) {
    if (!tooltip_ || !control.hwnd_) return;
    TOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE; // accepted by every common-controls version
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = hwnd_;
    info.uId = reinterpret_cast<UINT_PTR>(control.hwnd_);
    info.lpszText = control.hint_.data();
    if (control.hint_.empty()) {
        if (control.toolAdded_)
            SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
        control.toolAdded_ = false;
    } else if (control.toolAdded_) {
        SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
    } else {
        control.toolAdded_ =
            SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
    }
}

bool TForm::isVisible() const {
    return hwnd_ && IsWindowVisible(hwnd_);
}

void TForm::prepareShow() {
    onShow();
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    HWND focus = GetFocus();
    if (!focus || !IsChild(hwnd_, focus)) focusFirst();
}

void TForm::show() {
    if (!create()) return;
    prepareShow();
}

void TForm::hide() {
    if (!hwnd_ || !IsWindowVisible(hwnd_)) return;
    ShowWindow(hwnd_, SW_HIDE);
    onHide();
}

void TForm::close() {
    if (!hwnd_) return;
    if (modalLoop_) {
        // The modal loop asks onCloseQuery before it ends.
        if (modalResult_ == ModalResult::None) modalResult_ = ModalResult::Cancel;
        return;
    }
    if (onCloseQuery()) hide();
}

ModalResult TForm::showModal(HWND owner) {
    if (!create(owner)) return ModalResult::None;
    if (modalLoop_) { // already open: bring it forward
        SetForegroundWindow(hwnd_);
        return ModalResult::None;
    }
    if (owner) SetWindowLongPtrA(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    discardPendingCharacters();
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    modalResult_ = ModalResult::None;
    modalLoop_ = true;
    prepareShow();

    bool quit = false;
    WPARAM quitCode = 0;
    MSG msg;
    while (true) {
        if (modalResult_ != ModalResult::None) {
            if (onCloseQuery()) break;
            modalResult_ = ModalResult::None;
        }
        if (!hwnd_ || !IsWindowVisible(hwnd_)) { // hidden or destroyed from inside
            if (modalResult_ == ModalResult::None) modalResult_ = ModalResult::Cancel;
            break;
        }
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            quit = got == 0;
            quitCode = msg.wParam;
            if (modalResult_ == ModalResult::None) modalResult_ = ModalResult::Cancel;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    modalLoop_ = false;
    // Re-enable the owner before hiding, so that Windows activates it and not some other
    // program's window.
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    if (hwnd_ && IsWindowVisible(hwnd_)) {
        ShowWindow(hwnd_, SW_HIDE);
        onHide();
    }
    if (owner && IsWindowVisible(owner)) SetActiveWindow(owner);
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
    return modalResult_;
}

void TForm::onCommand(int, int, HWND) {}

LRESULT TForm::onNotify(NMHDR&) {
    return 0;
}

void TForm::onResize(int, int) {}

void TForm::changeDpi(int dpi, const RECT* suggested) {
    if (!hwnd_ || dpi <= 0) return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int oldDpi = dpi_;
    // Redrawing is held while everything moves (a hidden window stays hidden: turning
    // redrawing back on shows a window).
    const bool visible = IsWindowVisible(hwnd_) != FALSE;
    if (dpi != oldDpi) {
        // The old fonts live until every control has taken its new one.
        const std::map<unsigned, Font> oldFonts = std::exchange(fonts_, {});
        dpi_ = dpi;
        if (visible) SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
        for (const auto& control : controls_) {
            if (!control->hwnd_) continue;
            const RECT r = control->scaledBounds();
            MoveWindow(control->hwnd_, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
            control->fitCaption();
            control->applyCaptionFont();
        }
        if (tooltip_) SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, scale(400));
        onDpiChanged(oldDpi);
    }
    if (suggested) {
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        const SIZE frame = frameSize(MulDiv(client.right, dpi, oldDpi),
                                     MulDiv(client.bottom, dpi, oldDpi));
        SetWindowPos(hwnd_, nullptr, 0, 0, frame.cx, frame.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    if (dpi == oldDpi) return;
    // A size that did not change sends no WM_SIZE: the form lays itself out all the same.
    GetClientRect(hwnd_, &client);
    onResize(client.right, client.bottom);
    if (!visible) return;
    SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

SIZE TForm::frameSize(int clientWidth, int clientHeight) const {
    const bool hasBar =
        std::any_of(menus_.begin(), menus_.end(), [](const auto& m) { return m->isMenuBar(); });
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, design_.style, hasBar, design_.exStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

LRESULT TForm::controlColor(HDC dc, HWND child, bool editColors) {
    const TControl* control = controlOf(child);
    if (editColors || (control && isEditKind(control->kind_))) {
        // Edits, read-only ones included, keep the window colour.
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(windowBrush_.get());
    }
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, skin::kFormFace);
    COLORREF color = skin::kText;
    if (control && control->textColor_ != kDefaultColor) color = control->textColor_;
    if (control && !IsWindowEnabled(child)) color = skin::kTextInactive;
    SetTextColor(dc, color);
    return reinterpret_cast<LRESULT>(faceBrush_.get());
}

LRESULT TForm::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (routeKeyMessage(hwnd_, msg, wParam, lParam)) return 0;
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd_, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, faceBrush_.get());
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return controlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), false);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return controlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), true);
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (lParam == 0 && code == 0) {
            for (const auto& menu : menus_) {
                TMenuItem* item = menu->itemByCommand(id);
                if (item && item->OnClick) {
                    item->OnClick(*item);
                    break;
                }
            }
        }
        onCommand(id, code, reinterpret_cast<HWND>(lParam));
        return 0;
    }
    case WM_NOTIFY:
        return onNotify(*reinterpret_cast<NMHDR*>(lParam));
    case WM_ACTIVATE:
        // Give the focus back to the control that had it when the form was left.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
        } else if (lastFocus_ && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_) &&
                   IsChild(hwnd_, lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_SIZE:
        onResize(LOWORD(lParam), HIWORD(lParam));
        break;
    case kWmDpiChanged:
        changeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_ENTERMENULOOP:
        // A hint left standing would cover the menu's first item.
        if (tooltip_) {
            SendMessageA(tooltip_, TTM_POP, 0, 0);
            SendMessageA(tooltip_, TTM_ACTIVATE, FALSE, 0);
        }
        break;
    case WM_EXITMENULOOP:
        if (tooltip_) SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
        break;
    case WM_CLOSE:
        close();
        return 0;
    default:
        break;
    }
    return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

int runMessageLoop() {
    MSG msg;
    while (true) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) return -1;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool processPendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

} // namespace kh
