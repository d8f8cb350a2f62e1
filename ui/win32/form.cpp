#include "win32/form.h"

#include "win32/error_boundary.h"
#include "win32/menu.h"
#include "win32/skin_controls.h"
#include "win32/skin_theme.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace kh {

namespace {

constexpr char kContainerClass[] = "TPanel";
constexpr int kFirstAutoId = 0x7000; // control ids for rows without a command id

std::vector<TForm*>& formRegistry() {
    static std::vector<TForm*> forms;
    return forms;
}

// Ink of a few letters in a font, as drawn.
int inkOf(const LOGFONTA& font) {
    constexpr int kWidth = 160;
    constexpr int kHeight = 60;
    void* bits = nullptr;
    Bitmap bitmap(createDib32(kWidth, kHeight, &bits));
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc || !bitmap || !bits) {
        if (dc) DeleteDC(dc);
        return 0;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap.get());
    RECT all{0, 0, kWidth, kHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    LOGFONTA plain = font;
    plain.lfQuality = NONANTIALIASED_QUALITY;
    Font handle(CreateFontIndirectA(&plain));
    HGDIOBJ oldFont = SelectObject(dc, handle.get());
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 2, 2, "Wmli", 4);
    GdiFlush();
    int ink = 0;
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < kWidth * kHeight; ++i)
        if ((pixels[i] & 0xFFFFFF) != 0xFFFFFF) ++ink;
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    return ink;
}

// Whether the bold of a font is really heavier than its regular weight. The answer
// depends on the face and size alone; every form asks the same, so it is kept.
bool drawsBold(const LOGFONTA& bold) {
    static std::map<std::pair<std::string, LONG>, bool> known;
    const auto key = std::make_pair(std::string(bold.lfFaceName), bold.lfHeight);
    if (const auto found = known.find(key); found != known.end()) return found->second;
    LOGFONTA regular = bold;
    regular.lfWeight = FW_NORMAL;
    const bool heavier = inkOf(bold) * 10 >= inkOf(regular) * 12;
    known.emplace(key, heavier);
    return heavier;
}

void forgetForm(TForm* form) {
    auto& forms = formRegistry();
    forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
}

HINSTANCE moduleInstance() {
    return GetModuleHandleA(nullptr);
}

void initCommonControlsOnce() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&init) != FALSE;
    }();
    (void)done;
}

int systemDpi() {
    WindowDc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

bool isEditKind(ControlKind kind) {
    return kind == ControlKind::Edit || kind == ControlKind::MaskEdit || kind == ControlKind::Memo;
}

// Messages a child window sends to its parent, which a container passes on to the form.
bool isParentNotification(UINT msg) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
        return true;
    default:
        return false;
    }
}

std::string windowText(HWND hwnd) {
    if (!hwnd) return {};
    const int length = GetWindowTextLengthA(hwnd);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

} // namespace

char acceleratorOf(std::string_view caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') { // "&&" is a literal ampersand
            ++i;
            continue;
        }
        return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
    }
    return 0;
}

// ---- TControl ------------------------------------------------------------------------

TControl::TControl(TForm& form, const ControlDef& def)
    : form_(form), name_(def.name ? def.name : ""), kind_(def.kind),
      hint_(def.hint ? def.hint : ""), initialCaption_(def.caption ? def.caption : ""), x_(def.x),
      y_(def.y), width_(def.width), height_(def.height), style_(def.style),
      commandId_(def.commandId), options_(def.options), textColor_(def.textColor),
      maxLength_(def.maxLength) {}

TControl::~TControl() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

RECT TControl::scaledBounds() const {
    return RECT{form_.scale(x_), form_.scale(y_), form_.scale(x_ + width_),
                form_.scale(y_ + height_)};
}

bool TControl::isShowing() const {
    return hwnd_ && IsWindowVisible(hwnd_);
}

void TControl::setVisible(bool visible) {
    if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

bool TControl::isEnabled() const {
    return hwnd_ && IsWindowEnabled(hwnd_);
}

void TControl::setEnabled(bool enabled) {
    if (hwnd_) EnableWindow(hwnd_, enabled);
}

void TControl::setBounds(int x, int y, int width, int height) {
    x_ = x;
    y_ = y;
    width_ = width;
    height_ = height;
    const RECT r = scaledBounds();
    if (!hwnd_) return;
    MoveWindow(hwnd_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    fitCaption();
}

void TControl::setBoundsPx(int x, int y, int width, int height) {
    if (!hwnd_) return;
    MoveWindow(hwnd_, x, y, width, height, TRUE);
    fitCaption();
}

HFONT TControl::captionFont() const {
    return fittedFont_ ? fittedFont_.get() : form_.font(options_ & opt::fontMask);
}

void TControl::fitCaption() {
    if (!hwnd_) return;
    const std::optional<CaptionRoom> room = captionRoom();
    if (!room) return;
    Font fitted;
    {
        WindowDc dc(hwnd_);
        if (!dc.get()) return;
        fitted = fitCaptionFont(dc.get(), form_.font(options_ & opt::fontMask), text(), *room);
    }
    if (!fitted && !fittedFont_) return;
    // The control lets go of the old font before it is deleted.
    Font old = std::exchange(fittedFont_, std::move(fitted));
    applyCaptionFont();
}

void TControl::setFocus() {
    if (hwnd_) SetFocus(hwnd_);
}

bool TControl::canFocus() const {
    if (!hwnd_ || !IsWindowVisible(hwnd_) || !IsWindowEnabled(hwnd_)) return false;
    return (GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_TABSTOP) != 0;
}

void TControl::setHint(const std::string& hint) {
    hint_ = hint;
    form_.updateHint(*this);
}

// ---- TNativeControl ------------------------------------------------------------------

ComponentKind TNativeControl::componentKind() const {
    switch (kind_) {
    case ControlKind::Label:
        return ComponentKind::Label;
    case ControlKind::StaticText:
        return ComponentKind::StaticText;
    case ControlKind::GroupBox:
        return ComponentKind::GroupBox;
    case ControlKind::Button:
        return ComponentKind::Button;
    default:
        return ComponentKind::Other;
    }
}

std::string TNativeControl::text() const {
    if (!hwnd_) return initialCaption_;
    if (kind_ == ControlKind::MaskEdit) return {};
    return windowText(hwnd_);
}

void TNativeControl::setText(const std::string& text) {
    if (!hwnd_) {
        initialCaption_ = text;
        return;
    }
    SetWindowTextA(hwnd_, text.c_str());
    fitCaption();
}

std::optional<CaptionRoom> TNativeControl::captionRoom() const {
    if (!hwnd_) return std::nullopt;
    RECT client{};
    GetClientRect(hwnd_, &client);
    CaptionRoom room{client.right, client.bottom, DT_SINGLELINE};
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE));
    switch (kind_) {
    case ControlKind::Label:
    case ControlKind::StaticText: {
        // Pictures and frames have no caption; a label that cuts with an ellipsis is
        // meant to be cut.
        const DWORD type = style & SS_TYPEMASK;
        if ((type > SS_RIGHT && type != SS_LEFTNOWORDWRAP) || (style & SS_ELLIPSISMASK))
            return std::nullopt;
        room.format = type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK | DT_EXPANDTABS;
        if (style & SS_NOPREFIX) room.format |= DT_NOPREFIX;
        if (style & SS_EDITCONTROL) room.format |= DT_EDITCONTROL;
        return room;
    }
    case ControlKind::CheckBox:
        room.width -= GetSystemMetrics(SM_CXMENUCHECK) + form_.scale(4);
        return room;
    case ControlKind::Button:
        room.width -= form_.scale(8);
        return room;
    case ControlKind::GroupBox:
        room.width -= form_.scale(16);
        return room;
    default:
        return std::nullopt;
    }
}

void TNativeControl::applyCaptionFont() {
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(captionFont()), TRUE);
}

SecretString TNativeControl::secretText() const {
    SecretString text;
    if (!hwnd_) return text;
    const int length = GetWindowTextLengthA(hwnd_);
    if (length <= 0) return text;
    text.resize(static_cast<std::size_t>(length) + 1);
    const int got = GetWindowTextA(hwnd_, &text[0], length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

void TNativeControl::wipeText() {
    if (!hwnd_) return;
    const int length = GetWindowTextLengthA(hwnd_);
    if (length > 0) {
        // Same length, so the edit rewrites its buffer in place.
        const std::string filler(static_cast<std::size_t>(length), ' ');
        SetWindowTextA(hwnd_, filler.c_str());
    }
    SetWindowTextA(hwnd_, "");
}

void TNativeControl::setSecretText(std::string_view text) {
    wipeText();
    if (!hwnd_) return;
    const SecretString copy(text); // the window wants a terminated text
    SetWindowTextA(hwnd_, copy.c_str());
}

bool TNativeControl::checked() const {
    return hwnd_ && SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TNativeControl::setChecked(bool checked) {
    if (hwnd_) SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TNativeControl::create(HWND parent) {
    const char* windowClass = "STATIC";
    DWORD style = WS_CHILD | style_;
    DWORD exStyle = 0;
    switch (kind_) {
    case ControlKind::Label:
    case ControlKind::StaticText:
        style |= SS_NOTIFY | ((options_ & opt::centered) ? SS_CENTER : SS_LEFT);
        break;
    case ControlKind::Edit:
    case ControlKind::MaskEdit:
        windowClass = "EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        if (kind_ == ControlKind::MaskEdit) style |= ES_PASSWORD;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::Memo:
        windowClass = "EDIT";
        style |= WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::ComboBox:
        windowClass = "COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL;
        if ((style_ & 0x3) == 0) style |= CBS_DROPDOWNLIST;
        break;
    case ControlKind::ListView:
        windowClass = WC_LISTVIEWA;
        style |= WS_TABSTOP;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case ControlKind::GroupBox:
        windowClass = "BUTTON";
        style |= BS_GROUPBOX;
        break;
    case ControlKind::Button:
        windowClass = "BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
    case ControlKind::CheckBox:
        windowClass = "BUTTON";
        style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
    default:
        break;
    }
    if (options_ & opt::noTabStop) style &= ~static_cast<DWORD>(WS_TABSTOP);
    if (!(options_ & opt::hidden)) style |= WS_VISIBLE;
    if (options_ & opt::inactive) style |= WS_DISABLED;
    if ((options_ & opt::readOnly) && isEditKind(kind_)) style |= ES_READONLY;

    const RECT r = scaledBounds();
    hwnd_ = CreateWindowExA(exStyle, windowClass, initialCaption_.c_str(), style, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(commandId_)),
                            moduleInstance(), nullptr);
    if (!hwnd_) return;
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.font(options_ & opt::fontMask)),
                 FALSE);
    if (kind_ == ControlKind::MaskEdit) SendMessageA(hwnd_, EM_SETPASSWORDCHAR, '*', 0);
    if (isEditKind(kind_) && maxLength_ > 0) SendMessageA(hwnd_, EM_LIMITTEXT, maxLength_, 0);
    if (kind_ == ControlKind::CheckBox && (options_ & opt::checked)) setChecked(true);
    // Subclassed so that keys reach the form first; native controls leave their user
    // data to the application, so it holds the control object.
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    oldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&subclassProc)));
}

LRESULT CALLBACK TNativeControl::subclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    guardedCall([&] { result = subclassBody(hwnd, msg, wParam, lParam); });
    return result;
}

LRESULT TNativeControl::subclassBody(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TNativeControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
    const WNDPROC old = self->oldProc_;
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (self->form_.processKey(hwnd, msg, wParam, lParam)) return 0;
        break;
    case WM_CHAR:
    case WM_SYSCHAR:
        if (self->form_.takeSwallowedChar()) return 0;
        break;
    case WM_SETCURSOR:
        if (self->options_ & opt::handCursor) {
            SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
            return TRUE;
        }
        break;
    case WM_ERASEBKGND:
        // A group box paints only its frame; the form clips its children, so the inside
        // would stay unpainted.
        if (self->kind_ == ControlKind::GroupBox) {
            RECT client;
            GetClientRect(hwnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, self->form_.faceBrush());
            return 1;
        }
        break;
    case WM_NCDESTROY: {
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return CallWindowProcA(old, hwnd, msg, wParam, lParam);
    }
    default:
        // Controls inside a group box report to the group box; the form should hear them.
        if (self->kind_ == ControlKind::GroupBox && isParentNotification(msg) &&
            self->form_.handle())
            return SendMessageA(self->form_.handle(), msg, wParam, lParam);
        break;
    }
    return CallWindowProcA(old, hwnd, msg, wParam, lParam);
}

// ---- TContainer ----------------------------------------------------------------------

ComponentKind TContainer::componentKind() const {
    // Notebook pages keep their design texts; panels are translated.
    return kind_ == ControlKind::Panel ? ComponentKind::Panel : ComponentKind::Other;
}

void TContainer::setText(const std::string& text) {
    caption_ = text;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

TContainer* TContainer::page(int index) const {
    if (index < 0 || index >= pageCount()) return nullptr;
    return pages_[static_cast<std::size_t>(index)];
}

void TContainer::setPageIndex(int index) {
    if (index < 0 || index >= pageCount()) return;
    pageIndex_ = index;
    // Show the new page before hiding the old one, so the focus has somewhere to go.
    pages_[static_cast<std::size_t>(index)]->setVisible(true);
    for (int i = 0; i < pageCount(); ++i)
        if (i != index) pages_[static_cast<std::size_t>(i)]->setVisible(false);
}

void TContainer::create(HWND parent) {
    static const bool registered = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &TContainer::windowProc;
        wc.hInstance = moduleInstance();
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.lpszClassName = kContainerClass;
        return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    (void)registered;
    caption_ = initialCaption_;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | style_;
    if (!(options_ & opt::hidden)) style |= WS_VISIBLE;
    const RECT r = scaledBounds();
    hwnd_ = CreateWindowExA(WS_EX_CONTROLPARENT, kContainerClass, "", style, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(commandId_)),
                            moduleInstance(), this);
}

LRESULT CALLBACK TContainer::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    const bool done = guardedCall([&] { result = windowBody(hwnd, msg, wParam, lParam); });
    if (!done && msg == WM_NCCREATE) return FALSE;
    return result;
}

LRESULT TContainer::windowBody(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TContainer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (isParentNotification(msg) && self->form_.handle())
        return SendMessageA(self->form_.handle(), msg, wParam, lParam);
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, self->form_.faceBrush());
        return 1;
    }
    case WM_PAINT: {
        PaintDc paint(hwnd);
        if (self->kind_ == ControlKind::Panel && !self->caption_.empty()) {
            RECT client;
            GetClientRect(hwnd, &client);
            SelectGuard font(paint.get(), self->form_.font(self->options_ & opt::fontMask));
            SetBkMode(paint.get(), TRANSPARENT);
            SetTextColor(paint.get(),
                         self->textColor_ == kDefaultColor ? skin::kText : self->textColor_);
            DrawTextA(paint.get(), self->caption_.c_str(), static_cast<int>(self->caption_.size()),
                      &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (self->form_.processKey(hwnd, msg, wParam, lParam)) return 0;
        break;
    case WM_CHAR:
    case WM_SYSCHAR:
        if (self->form_.takeSwallowedChar()) return 0;
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- TForm ---------------------------------------------------------------------------

TForm::TForm(FormDesign design, std::span<const ControlDef> controls)
    : design_(std::move(design)), table_(controls.begin(), controls.end()),
      faceBrush_(CreateSolidBrush(skin::kFormFace)),
      windowBrush_(CreateSolidBrush(GetSysColor(COLOR_WINDOW))) {}

TForm::~TForm() {
    destroy();
    forgetForm(this);
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

void TForm::resolveBindings() {
    for (const Binding& binding : bindings_) {
        if (!binding.bind(control(binding.name))) throwMissingControl(binding.name);
    }
}

void TForm::destroy() {
    forgetForm(this);
    if (hwnd_) DestroyWindow(hwnd_); // the controls' windows and the tooltip go with it
    hwnd_ = nullptr;
    tooltip_ = nullptr;
    controls_.clear();
}

void TForm::throwMissingControl(std::string_view name) {
    throw std::logic_error("form has no control named " + std::string(name) +
                           " (or it is of another kind)");
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
    LRESULT result = 0;
    const bool done = guardedCall([&] {
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
        if (!form) {
            result = DefWindowProcA(hwnd, msg, wParam, lParam);
            return;
        }
        result = form->dispatch(msg, wParam, lParam);
    });
    if (!done && msg == WM_NCCREATE) return FALSE;
    return result;
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

    const bool hasBar =
        std::any_of(menus_.begin(), menus_.end(), [](const auto& m) { return m->isMenuBar(); });
    RECT frame{0, 0, scale(design_.clientWidth), scale(design_.clientHeight)};
    AdjustWindowRectEx(&frame, design_.style, hasBar, design_.exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
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

std::unique_ptr<TControl> TForm::makeControl(const ControlDef& def) {
    switch (def.kind) {
    case ControlKind::Panel:
    case ControlKind::Notebook:
    case ControlKind::Page:
        return std::make_unique<TContainer>(*this, def);
    case ControlKind::PaintButton:
        return std::make_unique<TPaintButton>(*this, def);
    case ControlKind::SkinButton: {
        auto button = std::make_unique<QSkinButton>(*this, def);
        button->setModalResult(def.modalResult);
        return button;
    }
    case ControlKind::BitmapButton: {
        auto button = std::make_unique<QBitmapButton>(*this, def);
        button->setModalResult(def.modalResult);
        return button;
    }
    case ControlKind::SkinCheckBox:
        return std::make_unique<QCheckBox>(*this, def);
    case ControlKind::SkinRadioBox:
        return std::make_unique<QRadioBox>(*this, def);
    case ControlKind::AnimatedButton:
        return std::make_unique<QAnimatedButton>(*this, def);
    case ControlKind::TabControl:
        return std::make_unique<QTabControl>(*this, def);
    case ControlKind::ToolButton:
        return std::make_unique<TToolButton>(*this, def);
    default:
        return std::make_unique<TNativeControl>(*this, def);
    }
}

TControl* TForm::control(std::string_view name) const {
    for (const auto& control : controls_)
        if (control->name_ == name) return control.get();
    return nullptr;
}

TControl* TForm::controlOf(HWND hwnd) const {
    if (!hwnd) return nullptr;
    for (const auto& control : controls_)
        if (control->hwnd_ == hwnd) return control.get();
    return nullptr;
}

TMenu& TForm::addMenu(std::string name, std::span<const MenuItemDef> items, bool menuBar) {
    menus_.push_back(std::make_unique<TMenu>(std::move(name), items, menuBar));
    TMenu& menu = *menus_.back();
    if (menuBar && hwnd_) {
        menu.attachTo(hwnd_);
        DrawMenuBar(hwnd_);
    }
    return menu;
}

TMenu* TForm::menu(std::string_view name) const {
    for (const auto& menu : menus_)
        if (menu->name() == name) return menu.get();
    return nullptr;
}

void TForm::registerComponent(TranslatableComponent& component) {
    extra_.push_back(&component);
}

std::vector<TranslatableComponent*> TForm::ownedComponents() {
    std::vector<TranslatableComponent*> owned;
    for (const auto& control : controls_)
        owned.push_back(control.get());
    for (const auto& menu : menus_)
        for (TMenuItem* item : menu->items())
            owned.push_back(item);
    owned.insert(owned.end(), extra_.begin(), extra_.end());
    return owned;
}

std::string TForm::text() const {
    return hwnd_ ? windowText(hwnd_) : design_.caption;
}

void TForm::setText(const std::string& text) {
    design_.caption = text;
    if (hwnd_) SetWindowTextA(hwnd_, text.c_str());
}

HFONT TForm::font(unsigned style) const {
    style &= opt::fontMask;
    auto found = fonts_.find(style);
    if (found != fonts_.end()) return found->second.get();
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTA font{};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        font = metrics.lfMessageFont;
        // The system gives the font at the system DPI; the form may be on another one.
        font.lfHeight = MulDiv(font.lfHeight, dpi_, systemDpi());
    } else {
        font.lfHeight = -MulDiv(9, dpi_, 72);
        font.lfCharSet = DEFAULT_CHARSET;
        lstrcpyA(font.lfFaceName, "Tahoma");
    }
    if (font.lfHeight == 0) font.lfHeight = -MulDiv(9, dpi_, 72);
    if (style & opt::bold) font.lfWeight = FW_BOLD;
    if (style & opt::underline) font.lfUnderline = TRUE;
    if (style & opt::italic) font.lfItalic = TRUE;
    if (style & opt::large) font.lfHeight = font.lfHeight * 3 / 2;
    font.lfQuality = CLEARTYPE_QUALITY;
    Font created(CreateFontIndirectA(&font));
    if ((style & opt::bold) && !drawsBold(font)) {
        // Some installations carry a bold face that is drawn like the regular one at
        // larger sizes (only wider spaced); a face with a real bold keeps captions bold.
        lstrcpyA(font.lfFaceName, "Arial");
        created.reset(CreateFontIndirectA(&font));
    }
    HFONT handle = created.get();
    fonts_.emplace(style, std::move(created));
    return handle;
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

bool TForm::onKeyDown(const KeyPress&) {
    return false;
}

void TForm::onCommand(int, int, HWND) {}

LRESULT TForm::onNotify(NMHDR&) {
    return 0;
}

void TForm::onResize(int, int) {}

bool TForm::processKey(HWND target, UINT msg, WPARAM wParam, LPARAM lParam) {
    swallowChar_ = false;
    const UINT key = static_cast<UINT>(wParam);
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU) return false;
    noteUserActivity();
    KeyPress press;
    press.key = key;
    press.shift = GetKeyState(VK_SHIFT) < 0;
    press.ctrl = GetKeyState(VK_CONTROL) < 0;
    press.alt = msg == WM_SYSKEYDOWN ? (lParam & (1L << 29)) != 0 : GetKeyState(VK_MENU) < 0;
    press.target = target;

    bool consumed = onKeyDown(press);
    if (!consumed && key == VK_TAB && !press.ctrl && !press.alt) consumed = focusNext(!press.shift);
    if (!consumed && press.alt && !press.ctrl) consumed = pressAccelerator(key);
    swallowChar_ = consumed;
    return consumed;
}

bool TForm::takeSwallowedChar() {
    const bool swallow = swallowChar_;
    swallowChar_ = false;
    return swallow;
}

bool TForm::focusNext(bool forward) {
    std::vector<TControl*> order;
    for (const auto& control : controls_)
        if (control->canFocus()) order.push_back(control.get());
    if (order.empty()) return false;
    HWND focus = GetFocus();
    int current = -1;
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i]->hwnd_ == focus || IsChild(order[i]->hwnd_, focus))
            current = static_cast<int>(i);
    const int count = static_cast<int>(order.size());
    int next;
    if (current < 0)
        next = forward ? 0 : count - 1;
    else
        next = (current + (forward ? 1 : count - 1)) % count;
    TControl* target = order[static_cast<std::size_t>(next)];
    target->setFocus();
    if (isEditKind(target->kind_)) SendMessageA(target->hwnd_, EM_SETSEL, 0, -1);
    return true;
}

bool TForm::focusFirst() {
    for (const auto& control : controls_) {
        if (control->canFocus()) {
            control->setFocus();
            return true;
        }
    }
    return false;
}

bool TForm::pressAccelerator(UINT key) {
    if (key > 0xFF) return false;
    const char wanted = static_cast<char>(std::toupper(static_cast<int>(key)));
    for (const auto& control : controls_) {
        auto* skinned = dynamic_cast<QBaseControl*>(control.get());
        if (!skinned || !skinned->isActive() || !skinned->isShowing()) continue;
        if (acceleratorOf(skinned->caption()) != wanted) continue;
        skinned->click();
        return true;
    }
    return false;
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
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (processKey(hwnd_, msg, wParam, lParam)) return 0;
        break;
    case WM_CHAR:
    case WM_SYSCHAR:
        if (takeSwallowedChar()) return 0;
        break;
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

void discardPendingCharacters() {
    MSG msg;
    for (UINT character : {WM_CHAR, WM_DEADCHAR, WM_SYSCHAR, WM_SYSDEADCHAR}) {
        while (PeekMessageA(&msg, nullptr, character, character, PM_REMOVE)) {
        }
    }
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
