#include "win32/control.h"

#include "win32/error_boundary.h"
#include "win32/form.h"
#include "win32/form_detail.h"

#include <commctrl.h>

namespace kh {

using form_detail::isEditKind;
using form_detail::isParentNotification;
using form_detail::moduleInstance;
using form_detail::windowText;

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
    return guardedMessage([&] { return subclassBody(hwnd, msg, wParam, lParam); });
}

LRESULT TNativeControl::subclassBody(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TNativeControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
    const WNDPROC old = self->oldProc_;
    if (self->form_.routeKeyMessage(hwnd, msg, wParam, lParam)) return 0;
    switch (msg) {
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

} // namespace kh
