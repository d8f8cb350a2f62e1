#include "tfrm_add_item.h"

#include "win32/image_strip.h"

#include "image_ids.h"
#include "win32/skin_theme.h"

#include <algorithm>

namespace kh {
namespace {

constexpr int kClientWidth = 500;
constexpr int kClientHeight = 300;
constexpr int kPictureHeight = 258; // above the button bar
constexpr int kPageLeft = 128;
constexpr int kPageWidth = kClientWidth - kPageLeft;
constexpr int kTextLeft = 8;
constexpr int kTextWidth = kPageWidth - 2 * kTextLeft;
constexpr int kButtonTop = 267;
constexpr int kEditLimit = 75;
constexpr int kCommentLimit = 190;

constexpr ControlDef heading(const char* name, const char* caption, const char* page) {
    return {.name = name,
            .kind = ControlKind::Label,
            .caption = caption,
            .x = kTextLeft,
            .y = 10,
            .width = kTextWidth,
            .height = 24,
            .parent = page,
            .options = opt::bold | opt::large,
            .textColor = skin::kAccent};
}

constexpr ControlDef text(const char* name, const char* caption, const char* page, int y,
                          int height) {
    return {.name = name,
            .kind = ControlKind::Label,
            .caption = caption,
            .x = kTextLeft,
            .y = y,
            .width = kTextWidth,
            .height = height,
            .style = SS_NOPREFIX,
            .parent = page};
}

constexpr ControlDef page(const char* name) {
    return {.name = name,
            .kind = ControlKind::Page,
            .caption = name,
            .width = kPageWidth,
            .height = kPictureHeight,
            .parent = "nbWizard"};
}

constexpr ControlDef button(const char* name, const char* caption, int x) {
    return {.name = name,
            .kind = ControlKind::SkinButton,
            .caption = caption,
            .x = x,
            .y = kButtonTop,
            .width = 80,
            .height = 25};
}

// Tab order is table order: the fields of each page first, then the buttons.
constexpr ControlDef kWizardControls[] = {
    {.name = "Image1",
     .kind = ControlKind::PaintButton,
     .width = images::kWizardPictureWidth,
     .height = kPictureHeight},
    {.name = "nbWizard",
     .kind = ControlKind::Notebook,
     .x = kPageLeft,
     .width = kPageWidth,
     .height = kPictureHeight},
    page("Welcome"),
    page("New"),
    page("Pass"),
    page("Finished"),

    // Page 0: title and what's this.
    {.name = "StaticText1",
     .kind = ControlKind::StaticText,
     .caption = "Add New Entry",
     .x = kTextLeft,
     .y = 10,
     .width = kTextWidth,
     .height = 24,
     .style = SS_NOPREFIX | SS_ENDELLIPSIS,
     .parent = "Welcome",
     .options = opt::bold | opt::large,
     .textColor = skin::kAccent},
    text("Label1", "This wizard adds a new entry to the account or edits an existing one.",
         "Welcome", 40, 28),
    {.name = "edTitle",
     .kind = ControlKind::Edit,
     .x = kTextLeft,
     .y = 72,
     .width = kTextWidth,
     .height = 22,
     .parent = "Welcome",
     .maxLength = kEditLimit},
    text("Label2",
         "The title stands for this entry in the \"Title\" column. For a \"Web Account\" it should "
         "be the login name, e.g. \"someone@example.com\" or \"someone\".",
         "Welcome", 98, 44),
    text("Label3",
         "Describe in one sentence what this entry is, e.g. Webmail Account (left empty, the list "
         "shows a text made from the title):",
         "Welcome", 144, 44),
    {.name = "edWhat",
     .kind = ControlKind::Edit,
     .x = kTextLeft,
     .y = 190,
     .width = kTextWidth,
     .height = 22,
     .parent = "Welcome",
     .maxLength = kEditLimit},
    text("Label4", "Press Next to continue.", "Welcome", 234, 16),

    // Page 1: description and type.
    heading("Label5", "Detailed Message", "New"),
    text("Label6", "Here you can type detailed information about the entry.", "New", 40, 16),
    {.name = "StaticText5",
     .kind = ControlKind::StaticText,
     .caption = "Entry Description (e.g. Password of a Credit Card):",
     .x = kTextLeft,
     .y = 62,
     .width = kTextWidth,
     .height = 16,
     .style = SS_NOPREFIX,
     .parent = "New"},
    {.name = "mmComment",
     .kind = ControlKind::Memo,
     .x = kTextLeft,
     .y = 80,
     .width = kTextWidth,
     .height = 78,
     .parent = "New",
     .maxLength = kCommentLimit},
    text("Label7", "Which type of data will be stored in this entry:", "New", 166, 16),
    {.name = "rbPassword",
     .kind = ControlKind::SkinRadioBox,
     .caption = "Private Password",
     .x = 24,
     .y = 186,
     .width = 200,
     .height = 20,
     .parent = "New"},
    {.name = "rbWebAddress",
     .kind = ControlKind::SkinRadioBox,
     .caption = "Web Account",
     .x = 24,
     .y = 208,
     .width = 200,
     .height = 20,
     .parent = "New"},
    {.name = "rbText",
     .kind = ControlKind::SkinRadioBox,
     .caption = "Text Message",
     .x = 24,
     .y = 230,
     .width = 200,
     .height = 20,
     .parent = "New"},

    // Page 2: the password twice.
    heading("Label8", "Password", "Pass"),
    text("Label9", "Set the password to be stored in the entry.", "Pass", 40, 16),
    text("Label10",
         "Type the password twice, in 'Password' and in 'Confirm': both must match exactly. "
         "'Paste' takes the password from the Clipboard.",
         "Pass", 62, 44),
    {.name = "Label11",
     .kind = ControlKind::Label,
     .caption = "Password:",
     .x = kTextLeft,
     .y = 122,
     .width = 70,
     .height = 16,
     .parent = "Pass"},
    {.name = "edPassword",
     .kind = ControlKind::MaskEdit,
     .x = 80,
     .y = 119,
     .width = 196,
     .height = 22,
     .parent = "Pass",
     .maxLength = kEditLimit},
    {.name = "Label12",
     .kind = ControlKind::Label,
     .caption = "Confirm:",
     .x = kTextLeft,
     .y = 154,
     .width = 70,
     .height = 16,
     .parent = "Pass"},
    {.name = "edComfirm",
     .kind = ControlKind::MaskEdit,
     .x = 80,
     .y = 151,
     .width = 196,
     .height = 22,
     .parent = "Pass",
     .maxLength = kEditLimit},
    // Tab goes from the password to its confirmation, then to the buttons beside them.
    {.name = "sbPaste",
     .kind = ControlKind::SkinButton,
     .caption = "Paste",
     .hint = "Paste From Clipboard.",
     .x = 284,
     .y = 118,
     .width = 72,
     .height = 24,
     .parent = "Pass"},
    {.name = "sbView",
     .kind = ControlKind::SkinButton,
     .caption = "View",
     .hint = "View Password",
     .x = 284,
     .y = 150,
     .width = 72,
     .height = 24,
     .parent = "Pass"},
    {.name = "stClipboard",
     .kind = ControlKind::StaticText,
     .x = kTextLeft,
     .y = 232,
     .width = kTextWidth,
     .height = 18,
     .style = SS_NOPREFIX | SS_ENDELLIPSIS,
     .parent = "Pass",
     .textColor = RGB(0xB0, 0x20, 0x20)},

    // Page 3: finish.
    heading("Label13", "Finish", "Finished"),
    text("Label14", "Congratulations! Everything the new entry needs has been entered.", "Finished",
         48, 30),
    text("Label15", "Press 'Finish' to finish.", "Finished", 86, 16),

    // The button bar under a line.
    {.name = "Bevel1",
     .kind = ControlKind::Label,
     .x = 0,
     .y = kPictureHeight,
     .width = kClientWidth,
     .height = 2,
     .style = SS_ETCHEDHORZ},
    button("sbBack", "&Back", 236),
    button("sbNext", "&Next", 320),
    button("sbCancel", "&Cancel", 410),
};

FormDesign wizardDesign() {
    return fixedDialogDesign("TfrmAddItem", "Add New Entry", kClientWidth, kClientHeight);
}

// Puts a secret into an edit without passing it through a plain string.
} // namespace

TfrmAddItem::TfrmAddItem(const MessageTable& messages, Clipboard& clipboard, PasswordGuard& guard,
                         Clock& clock, std::function<HWND()> owner)
    : TDialog(wizardDesign(), kWizardControls), messages_(messages), clipboard_(clipboard),
      guard_(guard), clock_(clock), owner_(std::move(owner)), ownPrompts_(ownerOf(*this)) {}

TfrmAddItem::~TfrmAddItem() {
    flow_.forgetPassword();
    if (handle()) wipePasswordFields();
}

void TfrmAddItem::loadPicture() {
    // The side picture at the window's DPI, resampled smoothly rather than blown up.
    picture_.reset(bitmapOf(scalePicture(loadPicturePixels(GetModuleHandleA(nullptr), IDB_WIZARD),
                                         scale(images::kWizardPictureWidth),
                                         scale(images::kWizardPictureHeight))));
}

void TfrmAddItem::onDpiChanged(int) {
    loadPicture();
}

void TfrmAddItem::onCreate() {
    loadPicture();
    Image1->OnPaint = [this](HDC dc, const RECT& area) { paintPicture(dc, area); };
    sbBack->OnClick = [this] { backClick(); };
    sbNext->OnClick = [this] { nextClick(); };
    sbCancel->OnClick = [this] { cancelClick(); };
    sbPaste->OnClick = [this] { pasteClick(); };
    sbView->OnClick = [this] { viewClick(); };
    for (QRadioBox* type : {&*rbPassword, &*rbWebAddress, &*rbText})
        type->OnChange = [this] { typeClicked(); };
    rbPassword->setChecked(true);
}

void TfrmAddItem::paintPicture(HDC dc, const RECT& area) {
    if (!picture_) return;
    BITMAP info{};
    GetObjectA(picture_.get(), sizeof info, &info);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, picture_.get());
    const int width = area.right - area.left;
    const int height = std::min<int>(info.bmHeight, area.bottom - area.top);
    BitBlt(dc, area.left, area.top, width, height, source, 0, 0, SRCCOPY);
    // Below the picture its last row goes on, so the gradient reaches the button bar.
    if (area.bottom - area.top > height)
        StretchBlt(dc, area.left, area.top + height, width, area.bottom - area.top - height, source,
                   0, info.bmHeight - 1, info.bmWidth, 1, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

bool TfrmAddItem::editEntryValues(EntryDraft& draft, bool isNew) {
    // 1. Already open: it only comes to the front.
    if (isModal()) {
        bringToFront();
        return false;
    }
    if (!create(owner_ ? owner_() : nullptr)) return false;
    // 2. and 3. Every field filled, page 0.
    flow_.open(draft);
    edTitle->setText(draft.title);
    edWhat->setText(draft.whatsThis);
    mmComment->setText(draft.description);
    edPassword->setSecretText(draft.data.view());
    edComfirm->setSecretText(draft.data.view());
    revealLine_.end();
    QRadioBox& checked = draft.type == kEntryLink   ? *rbWebAddress
                         : draft.type == kEntryText ? *rbText
                                                    : *rbPassword;
    checked.setChecked(true);
    StaticText5->setText(messages_.text(descriptionLabel(draft.type)));
    showPage(kWizardWelcome);
    // 4. Caption and heading.
    const std::string caption = wizardCaption(messages_, isNew, draft.title);
    setText(caption);
    StaticText1->setText(caption);
    // 5. Modal.
    const bool finished = execute(owner_ ? owner_() : nullptr) == ModalResult::Ok;
    // 6. and 7. The values go back only when finished; the password never stays.
    if (finished) flow_.finishInto(draft, clock_.localTime());
    flow_.forgetPassword();
    wipePasswordFields();
    return finished;
}

void TfrmAddItem::showPage(int page) {
    nbWizard->setPageIndex(page);
    sbBack->setActive(flow_.backEnabled());
    sbNext->setCaption(messages_.text(flow_.nextCaption()));
    if (isVisible()) focusPage();
}

void TfrmAddItem::focusPage() {
    switch (flow_.page()) {
    case kWizardWelcome:
        edTitle->setFocus();
        break;
    case kWizardNew:
        mmComment->setFocus();
        SendMessageA(mmComment->handle(), EM_SETSEL, 0, -1);
        break;
    case kWizardPass:
        edPassword->setFocus();
        break;
    default:
        sbNext->setFocus();
        break;
    }
}

void TfrmAddItem::onShow() {
    focusPage();
}

void TfrmAddItem::onHide() {
    revealLine_.end();
    wipePasswordFields();
}

void TfrmAddItem::nextClick() {
    const std::string title = edTitle->text();
    const std::string whatsThis = edWhat->text();
    const std::string description = mmComment->text();
    SecretString password = edPassword->secretText();
    SecretString confirm = edComfirm->secretText();
    WizardFields fields;
    fields.title = title;
    fields.whatsThis = whatsThis;
    fields.description = description;
    fields.buttonType = typeFromButtons(rbWebAddress->checked(), rbText->checked());
    fields.password = password.view();
    fields.confirm = confirm.view();
    const WizardStep step = flow_.next(fields);
    password.wipe();
    confirm.wipe();
    switch (step) {
    case WizardStep::Moved:
        showPage(flow_.page());
        break;
    case WizardStep::Finish:
        okClick();
        break;
    case WizardStep::TitleMissing:
        edTitle->setFocus();
        prompts_->warning(messages_.text(Msg::warning), messages_.text(Msg::warntitle));
        break;
    case WizardStep::PasswordMismatch:
        prompts_->warning(messages_.text(Msg::warning), messages_.text(Msg::warnpasswordmismatch));
        break;
    }
}

void TfrmAddItem::backClick() {
    if (!flow_.backEnabled()) return;
    flow_.back();
    showPage(flow_.page());
}

void TfrmAddItem::typeClicked() {
    setType(typeFromButtons(rbWebAddress->checked(), rbText->checked()));
}

void TfrmAddItem::setType(std::int32_t type) {
    flow_.chooseType(type);
    StaticText5->setText(messages_.text(descriptionLabel(type)));
}

void TfrmAddItem::pasteClick() {
    // The text came from the clipboard: the main window stays where it is.
    guard_.keepMainWindow();
    std::optional<SecretString> text = clipboardText(clipboard_);
    if (!text) {
        wipePasswordFields();
        guard_.guardClipboard(""); // stops a running count
        return;
    }
    edPassword->setSecretText(text->view());
    edComfirm->setSecretText(text->view());
    guard_.guardClipboard(text->view());
    revealLine_.show(text->view());
    text->wipe();
}

void TfrmAddItem::viewClick() {
    SecretString password = edPassword->secretText();
    revealLine_.show(password.view());
    password.wipe();
}

void TfrmAddItem::wipePasswordFields() {
    edPassword->wipeText();
    edComfirm->wipeText();
}

bool TfrmAddItem::onKeyDown(const KeyPress& key) {
    const bool inDescription = GetFocus() == mmComment->handle();
    switch (wizardKey(key.key, key.ctrl, key.alt, key.shift, flow_.page(), inDescription)) {
    case WizardKey::Next:
        nextClick();
        return true;
    case WizardKey::Back:
        backClick();
        return true;
    case WizardKey::Cancel:
        cancelClick();
        return true;
    case WizardKey::Paste:
        pasteClick();
        return true;
    case WizardKey::None:
        break;
    }
    return false;
}

LRESULT TfrmAddItem::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && revealLine_.timerTick(wParam)) return 0;
    return TDialog::handleMessage(msg, wParam, lParam);
}

} // namespace kh
