#include "tfrm_wizard.h"

#include "tfrm_wizard_design.h"

#include "image_ids.h"
#include "session.h"
#include "text_trim.h"
#include "win32/skin_theme.h"

#include <commctrl.h>

namespace kh {

using namespace wizard;
TfrmWizard::TfrmWizard(const MessageTable& messages, Clipboard& clipboard, PasswordGuard& guard)
    : TDialog(wizard::design(), wizard::controls()), messages_(messages), clipboard_(clipboard),
      guard_(guard), flow_(messages), ownPrompts_(ownerOf(*this)), ownFileDialogs_(ownerOf(*this)) {
    flow_.setBackgroundWork(&background_);
}

void TfrmWizard::onCreate() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    picture_.reset(static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDB_WIZARD), IMAGE_BITMAP, 0, 0, 0)));
    glyphs_.reset(ImageList_Create(images::kMenuSize, images::kMenuSize, ILC_COLOR32, 0, 0));
    Bitmap strip(static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(IDB_TOOLBAR16),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (glyphs_ && strip) ImageList_Add(glyphs_.get(), strip.get(), nullptr);
    sbPaste->setGlyphFrom(glyphs_.get(), images::kImgPaste);
    sbView->setGlyphFrom(glyphs_.get(), images::kImgFind);

    sbNext->OnClick = [this] { nextClick(); };
    sbBack->OnClick = [this] { backClick(); };
    sbBrowseImport->OnClick = [this] { browseImportClick(); };
    sbSave->OnClick = [this] { browseSaveClick(); };
    sbPaste->OnClick = [this] { pasteClick(); };
    sbView->OnClick = [this] { viewClick(); };
}

std::optional<WizardAccount> TfrmWizard::runAccountWizard(bool import, HWND owner) {
    if (!create(owner)) return std::nullopt;
    if (isVisible()) {
        bringToFront();
        return std::nullopt;
    }
    flow_.start(import);
    showPage();
    const ModalResult result = execute(owner);
    // However it closed: nothing typed stays in the window.
    revealLine_.end();
    emptyFields();
    WizardAccount taken = flow_.takeResults();
    if (result != ModalResult::Ok || !flow_.finished()) return std::nullopt;
    return taken;
}

void TfrmWizard::onShow() {
    (flow_.newMode() ? rbNew : rbImport)->setChecked(true);
    cbStrong->setChecked(true); // every run starts with the recommended protection
    emptyFields();
    revealLine_.end();
    (flow_.newMode() ? rbNew : rbImport)->setFocus();
}

void TfrmWizard::emptyFields() {
    for (TNativeControl* control :
         {&*edImportFile, &*edImportAccount, &*edImportPassword, &*edAccountName, &*edAccountFile,
          &*mmAccountComment, &*edPassword, &*edComfirm, &*mmComment})
        control->wipeText();
}

void TfrmWizard::refreshButtons() {
    if (!handle()) return;
    sbBack->setActive(flow_.backActive());
    sbNext->setCaption(flow_.nextCaption());
}

void TfrmWizard::showPage() {
    nbWizard->setPageIndex(static_cast<int>(flow_.page()));
    refreshButtons();
    if (!isVisible()) return;
    if (TNativeControl* first = field(flow_.firstField())) {
        first->setFocus();
        return;
    }
    // The focus must not stay behind on a page that is no longer shown: it goes to the
    // page's choice or field, or else to Next.
    TControl* focused = controlOf(GetFocus());
    if (focused && focused->isShowing()) return;
    switch (flow_.page()) {
    case AccountWizardPage::Welcome:
        (rbNew->checked() ? rbNew : rbImport)->setFocus();
        break;
    case AccountWizardPage::Comment:
        mmComment->setFocus();
        break;
    default:
        sbNext->setFocus();
        break;
    }
}

TNativeControl* TfrmWizard::field(AccountWizardField which) {
    switch (which) {
    case AccountWizardField::None:
        return nullptr;
    case AccountWizardField::ImportFile:
        return &*edImportFile;
    case AccountWizardField::ImportAccount:
        return &*edImportAccount;
    case AccountWizardField::ImportPassword:
        return &*edImportPassword;
    case AccountWizardField::AccountName:
        return &*edAccountName;
    case AccountWizardField::AccountFile:
        return &*edAccountFile;
    case AccountWizardField::AccountComment:
        return &*mmAccountComment;
    case AccountWizardField::Password:
        return &*edPassword;
    case AccountWizardField::Confirm:
        return &*edComfirm;
    case AccountWizardField::Comment:
        return &*mmComment;
    }
    return nullptr;
}

bool TfrmWizard::newChosen() {
    return rbNew->checked();
}

bool TfrmWizard::strongChosen() {
    return cbStrong->checked();
}

std::string TfrmWizard::text(AccountWizardField which) {
    TNativeControl* control = field(which);
    return control ? control->text() : std::string();
}

SecretString TfrmWizard::secret(AccountWizardField which) {
    TNativeControl* control = field(which);
    return control ? control->secretText() : SecretString();
}

void TfrmWizard::showProblem(const AccountWizardProblem& problem) {
    if (TNativeControl* control = field(problem.focus)) control->setFocus();
    if (!problem.message.empty()) prompts_->warning(messages_.text(Msg::warning), problem.message);
}

void TfrmWizard::nextClick() {
    const std::optional<AccountWizardProblem> problem = flow_.next(*this);
    if (flow_.finished()) {
        setModalResult(ModalResult::Ok);
        return;
    }
    if (problem) {
        showProblem(*problem);
        return;
    }
    showPage();
}

void TfrmWizard::backClick() {
    flow_.back();
    showPage();
}

void TfrmWizard::browseImportClick() {
    const std::optional<std::string> chosen =
        fileDialogs_->openFile({"XML File|*.xml|Keyhaven Files|*.khk|All Files|*.*", 2,
                                std::string(trimBlanks(edImportFile->text())), false, ""});
    if (chosen) edImportFile->setText(*chosen);
}

void TfrmWizard::browseSaveClick() {
    const std::optional<std::string> chosen = fileDialogs_->saveFile(
        {"Keyhaven Files|*.khk|XML Files|*.xml|All Files|*.*", 1, flow_.results().file, true, ""});
    if (chosen && !chosen->empty()) edAccountFile->setText(withAccountExtension(*chosen));
}

void TfrmWizard::forgotClick() {
    if (const std::optional<AccountWizardProblem> shown = flow_.forgot(*this)) showProblem(*shown);
}

void TfrmWizard::pasteClick() {
    std::optional<SecretString> pasted = clipboardText(clipboard_);
    const SecretString text = pasted ? std::move(*pasted) : SecretString();
    // An empty clipboard empties both fields.
    edPassword->setSecretText(text.view());
    edComfirm->setSecretText(text.view());
    // The text came from the clipboard: the guard clears it later and leaves the main
    // window where it is.
    guard_.keepMainWindow();
    guard_.guardClipboard(text.view());
    revealLine_.show(text.view());
}

void TfrmWizard::viewClick() {
    const SecretString typed = edPassword->secretText();
    revealLine_.show(typed.view());
}

void TfrmWizard::timer1Timer() {
    revealLine_.end();
}

bool TfrmWizard::press(QBaseControl& button) {
    if (!button.isActive() || !button.isShowing()) return false;
    button.click();
    return true;
}

bool TfrmWizard::onKeyDown(const KeyPress& key) {
    if (key.key == VK_RETURN && !key.alt) {
        // A description memo takes Enter as a new line; Ctrl+Enter goes on from there.
        const bool inMemo =
            key.target == mmAccountComment->handle() || key.target == mmComment->handle();
        if (inMemo && !key.ctrl) return false;
        press(*sbNext);
        return true;
    }
    if (key.key == VK_ESCAPE && !key.alt && !key.ctrl) {
        press(*sbCancel);
        return true;
    }
    if (key.ctrl && !key.alt && (key.key == 'V' || key.key == 'P') &&
        flow_.page() == AccountWizardPage::Password) {
        press(*sbPaste);
        return true;
    }
    if (key.alt && !key.ctrl) {
        switch (key.key) {
        case 'B':
            return press(*sbBack);
        case 'C':
            return press(*sbCancel);
        case 'F':
        case 'N':
            return press(*sbNext);
        default:
            break;
        }
    }
    return false;
}

void TfrmWizard::onCommand(int id, int notifyCode, HWND from) {
    if (id == kIdForgot && notifyCode == STN_CLICKED) {
        forgotClick();
        return;
    }
    TDialog::onCommand(id, notifyCode, from);
}

void TfrmWizard::paint(HDC dc) {
    const int stripWidth = scale(images::kWizardPictureWidth);
    const int stripHeight = scale(images::kWizardPictureHeight);
    if (picture_) {
        HDC source = CreateCompatibleDC(dc);
        {
            SelectGuard select(source, picture_.get());
            SetStretchBltMode(dc, HALFTONE);
            StretchBlt(dc, 0, 0, stripWidth, stripHeight, source, 0, 0, images::kWizardPictureWidth,
                       images::kWizardPictureHeight, SRCCOPY);
        }
        DeleteDC(source);
    }
    // The line along the top of the button bar.
    RECT client{};
    GetClientRect(handle(), &client);
    RECT line{0, scale(kButtonBarTop), client.right, scale(kButtonBarTop) + 2};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
}

LRESULT TfrmWizard::handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PaintDc dc(handle());
        paint(dc.get());
        return 0;
    }
    case WM_TIMER:
        if (wParam == kTimer1) {
            timer1Timer();
            return 0;
        }
        break;
    default:
        break;
    }
    return TDialog::handleMessage(msg, wParam, lParam);
}

} // namespace kh
