#include "win32/form.h"

#include "win32/error_boundary.h"
#include "win32/form_detail.h"
#include "win32/menu.h"
#include "win32/skin_controls.h"
#include "win32/skin_theme.h"

#include <stdexcept>
#include <utility>

namespace kh {

using form_detail::isParentNotification;
using form_detail::moduleInstance;

namespace {

constexpr char kContainerClass[] = "TPanel";

} // namespace

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
    return guardedMessage([&] { return windowBody(hwnd, msg, wParam, lParam); });
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
    if (self->form_.routeKeyMessage(hwnd, msg, wParam, lParam)) return 0;
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
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- The form's table and the components it owns ------------------------------------

void TForm::resolveBindings() {
    for (const Binding& binding : bindings_) {
        if (!binding.bind(control(binding.name))) throwMissingControl(binding.name);
    }
}

void TForm::throwMissingControl(std::string_view name) {
    throw std::logic_error("form has no control named " + std::string(name) +
                           " (or it is of another kind)");
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

} // namespace kh
