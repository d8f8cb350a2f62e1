#include "tfrm_wizard.h"

#include "image_ids.h"
#include "session.h"
#include "text_trim.h"
#include "win32/skin_theme.h"

#include <commctrl.h>

namespace kh {
namespace {

constexpr int kIdForgot = 301;
constexpr COLORREF kRed = RGB(0xD0, 0x00, 0x00);
constexpr COLORREF kNavy = RGB(0x00, 0x00, 0x80);
constexpr COLORREF kLinkGreen = RGB(0x00, 0x80, 0x00);

// Window layout in 96-DPI units: the picture strip on the left above the button bar, the
// notebook beside it.
constexpr int kClientWidth = 489;
constexpr int kClientHeight = 265;
constexpr int kButtonBarTop = kClientHeight - 30;

constexpr ControlDef kWizardControls[] = {
    {.name = "nbWizard",
     .kind = ControlKind::Notebook,
     .x = images::kWizardPictureWidth,
     .y = 0,
     .width = kClientWidth - images::kWizardPictureWidth,
     .height = kButtonBarTop},
    // Pages in index order: 0 Welcome, 1 Finished, 2 Import, 3 NewAccount, 4 Password,
    // 5 Comment.
    {.name = "Welcome",
     .kind = ControlKind::Page,
     .width = 369,
     .height = 235,
     .parent = "nbWizard"},
    {.name = "Finished",
     .kind = ControlKind::Page,
     .width = 369,
     .height = 235,
     .parent = "nbWizard"},
    {.name = "Import",
     .kind = ControlKind::Page,
     .width = 369,
     .height = 235,
     .parent = "nbWizard"},
    {.name = "NewAccount",
     .kind = ControlKind::Page,
     .width = 369,
     .height = 235,
     .parent = "nbWizard"},
    {.name = "Password",
     .kind = ControlKind::Page,
     .width = 369,
     .height = 235,
     .parent = "nbWizard"},
    {.name = "Comment",
     .kind = ControlKind::Page,
     .width = 369,
     .height = 235,
     .parent = "nbWizard"},

    // 0 Welcome
    {.name = "Label1",
     .kind = ControlKind::Label,
     .caption = "Keyhaven Account Wizard",
     .x = 12,
     .y = 12,
     .width = 345,
     .height = 18,
     .parent = "Welcome",
     .options = opt::bold},
    {.name = "Label2",
     .kind = ControlKind::Label,
     .caption = "This will help you to setup a new account. Each account means a different user "
                "or a different user identify.",
     .x = 12,
     .y = 38,
     .width = 345,
     .height = 30,
     .parent = "Welcome"},
    {.name = "Label3",
     .kind = ControlKind::Label,
     .caption = "In each user account, you can add multiple entries (up to 10240 entries).",
     .x = 12,
     .y = 72,
     .width = 345,
     .height = 30,
     .parent = "Welcome"},
    {.name = "Label4",
     .kind = ControlKind::Label,
     .caption = "If it's the first time for you to use Keyhaven, please choose 'Create New "
                "Account' to create a new account. If you've created a user account before, you "
                "can choose 'Import User Account'.",
     .x = 12,
     .y = 106,
     .width = 345,
     .height = 56,
     .parent = "Welcome"},
    {.name = "rbNew",
     .kind = ControlKind::SkinRadioBox,
     .caption = "Create New Account",
     .x = 24,
     .y = 164,
     .width = 250,
     .height = 20,
     .parent = "Welcome",
     .options = opt::checked},
    {.name = "rbImport",
     .kind = ControlKind::SkinRadioBox,
     .caption = "Import Existing Account",
     .x = 24,
     .y = 186,
     .width = 250,
     .height = 20,
     .parent = "Welcome"},
    {.name = "Label5",
     .kind = ControlKind::Label,
     .caption = "Click 'Next' to continue.",
     .x = 12,
     .y = 214,
     .width = 345,
     .height = 16,
     .parent = "Welcome",
     .options = opt::bold},

    // 1 Finished
    {.name = "Label6",
     .kind = ControlKind::Label,
     .caption = "Finished",
     .x = 12,
     .y = 12,
     .width = 345,
     .height = 18,
     .parent = "Finished",
     .options = opt::bold},
    {.name = "Label7",
     .kind = ControlKind::Label,
     .caption = "Congratulations! All information about the new account has been obtained. "
                "Press the 'Finish' button to finish the account creating.",
     .x = 12,
     .y = 38,
     .width = 345,
     .height = 44,
     .parent = "Finished"},
    {.name = "Label8",
     .kind = ControlKind::Label,
     .caption = "Remember:",
     .x = 12,
     .y = 84,
     .width = 345,
     .height = 16,
     .parent = "Finished",
     .options = opt::bold,
     .textColor = kRed},
    {.name = "Label9",
     .kind = ControlKind::Label,
     .caption = "You should: Remember your account name/password, and keep the account file as "
                "secret (We recommend you place the file into the directory you used to store "
                "private data).",
     .x = 12,
     .y = 102,
     .width = 345,
     .height = 44,
     .parent = "Finished"},
    {.name = "Label10",
     .kind = ControlKind::Label,
     .caption = "Keyhaven would: Keep your other passwords securly. No people can access the "
                "passwords unless he/she provide the correct Account Name and Account Password.",
     .x = 12,
     .y = 150,
     .width = 345,
     .height = 44,
     .parent = "Finished",
     .textColor = kNavy},
    {.name = "Label11",
     .kind = ControlKind::Label,
     .caption = "Click 'Finish' to finish the job.",
     .x = 12,
     .y = 212,
     .width = 345,
     .height = 16,
     .parent = "Finished",
     .options = opt::bold},

    // 2 Import
    {.name = "Label12",
     .kind = ControlKind::Label,
     .caption = "Import User Account",
     .x = 12,
     .y = 12,
     .width = 345,
     .height = 18,
     .parent = "Import",
     .options = opt::bold},
    {.name = "Label13",
     .kind = ControlKind::Label,
     .caption = "Input file name or select the file from hard disk. The file was created by "
                "'Keyhaven' in past times.",
     .x = 12,
     .y = 34,
     .width = 345,
     .height = 28,
     .parent = "Import"},
    {.name = "edImportFile",
     .kind = ControlKind::Edit,
     .x = 12,
     .y = 66,
     .width = 263,
     .height = 22,
     .parent = "Import"},
    {.name = "sbBrowseImport",
     .kind = ControlKind::SkinButton,
     .caption = "Browse",
     .x = 283,
     .y = 65,
     .width = 74,
     .height = 24,
     .parent = "Import"},
    {.name = "Label14",
     .kind = ControlKind::Label,
     .caption = "Account Name:",
     .x = 12,
     .y = 100,
     .width = 82,
     .height = 16,
     .parent = "Import"},
    {.name = "edImportAccount",
     .kind = ControlKind::Edit,
     .x = 95,
     .y = 97,
     .width = 262,
     .height = 22,
     .parent = "Import",
     .maxLength = 150},
    {.name = "GroupBox1",
     .kind = ControlKind::GroupBox,
     .caption = "Account Password",
     .x = 12,
     .y = 126,
     .width = 345,
     .height = 104,
     .parent = "Import"},
    {.name = "Label15",
     .kind = ControlKind::Label,
     .caption = "Please input the password of the account here:",
     .x = 10,
     .y = 18,
     .width = 325,
     .height = 16,
     .parent = "GroupBox1"},
    {.name = "edImportPassword",
     .kind = ControlKind::MaskEdit,
     .x = 10,
     .y = 36,
     .width = 190,
     .height = 22,
     .parent = "GroupBox1",
     .maxLength = 75},
    {.name = "lbForgot",
     .kind = ControlKind::Label,
     .caption = "Forgot your password?",
     .x = 210,
     .y = 39,
     .width = 125,
     .height = 16,
     .commandId = kIdForgot,
     .parent = "GroupBox1",
     .options = opt::underline | opt::handCursor,
     .textColor = kLinkGreen},
    {.name = "Label16",
     .kind = ControlKind::Label,
     .caption = "Note: The password here is the password you used to create the exist account, "
                "if the new input password does not match the old one, the import process will "
                "fail!",
     .x = 10,
     .y = 62,
     .width = 325,
     .height = 40,
     .parent = "GroupBox1",
     .textColor = kRed},

    // 3 NewAccount
    {.name = "Label17",
     .kind = ControlKind::Label,
     .caption = "Create New Account",
     .x = 12,
     .y = 12,
     .width = 345,
     .height = 18,
     .parent = "NewAccount",
     .options = opt::bold},
    {.name = "Label18",
     .kind = ControlKind::Label,
     .caption = "The account name identifies a new account. Each account can have multiple "
                "entries. ",
     .x = 12,
     .y = 34,
     .width = 345,
     .height = 28,
     .parent = "NewAccount"},
    {.name = "Label19",
     .kind = ControlKind::Label,
     .caption = "Account Name:",
     .x = 12,
     .y = 70,
     .width = 82,
     .height = 16,
     .parent = "NewAccount"},
    {.name = "edAccountName",
     .kind = ControlKind::Edit,
     .x = 95,
     .y = 67,
     .width = 262,
     .height = 22,
     .parent = "NewAccount",
     .maxLength = 150},
    {.name = "Label20",
     .kind = ControlKind::Label,
     .caption = "Account File: ",
     .x = 12,
     .y = 99,
     .width = 82,
     .height = 16,
     .parent = "NewAccount"},
    {.name = "edAccountFile",
     .kind = ControlKind::Edit,
     .x = 95,
     .y = 96,
     .width = 180,
     .height = 22,
     .parent = "NewAccount"},
    {.name = "sbSave",
     .kind = ControlKind::SkinButton,
     .caption = "Browse",
     .x = 283,
     .y = 95,
     .width = 74,
     .height = 24,
     .parent = "NewAccount"},
    {.name = "Label21",
     .kind = ControlKind::Label,
     .caption = "Eg: D:\\MYPASS.KHK. If no path is supplied here, you will be prompted when you "
                "save the account data first time.",
     .x = 95,
     .y = 122,
     .width = 262,
     .height = 40,
     .parent = "NewAccount"},
    {.name = "Label22",
     .kind = ControlKind::Label,
     .caption = "Account        Description:",
     .x = 12,
     .y = 166,
     .width = 80,
     .height = 30,
     .parent = "NewAccount"},
    {.name = "mmAccountComment",
     .kind = ControlKind::Memo,
     .x = 95,
     .y = 164,
     .width = 262,
     .height = 40,
     .parent = "NewAccount",
     .maxLength = 190},
    {.name = "Label23",
     .kind = ControlKind::Label,
     .caption = "Note: Description is available to the people who can access your account "
                "file. It's useful when you forgot the Name.",
     .x = 12,
     .y = 205,
     .width = 345,
     .height = 28,
     .parent = "NewAccount"},

    // 4 Password
    {.name = "Label24",
     .kind = ControlKind::Label,
     .caption = "Password",
     .x = 12,
     .y = 12,
     .width = 345,
     .height = 18,
     .parent = "Password",
     .options = opt::bold},
    {.name = "Label25",
     .kind = ControlKind::Label,
     .caption = "Here you can set the password of your new account.",
     .x = 12,
     .y = 36,
     .width = 345,
     .height = 16,
     .parent = "Password"},
    {.name = "Label26",
     .kind = ControlKind::Label,
     .caption = "After the account is created, you can add  other password to the account, what "
                "you have to remember is only the account password.",
     .x = 12,
     .y = 56,
     .width = 345,
     .height = 44,
     .parent = "Password"},
    {.name = "Label27",
     .kind = ControlKind::Label,
     .caption = "Password:",
     .x = 12,
     .y = 115,
     .width = 70,
     .height = 16,
     .parent = "Password"},
    {.name = "edPassword",
     .kind = ControlKind::MaskEdit,
     .x = 85,
     .y = 112,
     .width = 200,
     .height = 22,
     .parent = "Password",
     .maxLength = 75},
    {.name = "Label28",
     .kind = ControlKind::Label,
     .caption = "Comfirm:",
     .x = 12,
     .y = 146,
     .width = 70,
     .height = 16,
     .parent = "Password"},
    {.name = "edComfirm",
     .kind = ControlKind::MaskEdit,
     .x = 85,
     .y = 143,
     .width = 200,
     .height = 22,
     .parent = "Password",
     .maxLength = 75},
    {.name = "sbPaste",
     .kind = ControlKind::BitmapButton,
     .hint = "Paste From Clipboard.",
     .x = 292,
     .y = 111,
     .width = 24,
     .height = 24,
     .parent = "Password"},
    {.name = "sbView",
     .kind = ControlKind::BitmapButton,
     .hint = "View Password",
     .x = 292,
     .y = 142,
     .width = 24,
     .height = 24,
     .parent = "Password"},
    // Shows a password for a moment: never translated, "&" shown as it is.
    {.name = "stClipboard",
     .kind = ControlKind::StaticText,
     .x = 12,
     .y = 206,
     .width = 345,
     .height = 18,
     .style = SS_NOPREFIX,
     .parent = "Password",
     .options = opt::centered,
     .textColor = kNavy},

    // 5 Comment
    {.name = "Label29",
     .kind = ControlKind::Label,
     .caption = "Attention",
     .x = 12,
     .y = 12,
     .width = 345,
     .height = 18,
     .parent = "Comment",
     .options = opt::bold},
    {.name = "Label30",
     .kind = ControlKind::Label,
     .caption = "After the account is created, you can add multiple entries into it. All the "
                "entries in the account are stored encrypted.   If you forgot your account "
                "password, there's no direct way to obtain the Account's Password and the "
                "entries.",
     .x = 12,
     .y = 34,
     .width = 345,
     .height = 58,
     .parent = "Comment"},
    {.name = "Label31",
     .kind = ControlKind::Label,
     .caption = "Please add some description of the Account's Password here to help yourself "
                "remember it:",
     .x = 12,
     .y = 94,
     .width = 345,
     .height = 28,
     .parent = "Comment"},
    {.name = "mmComment",
     .kind = ControlKind::Memo,
     .x = 12,
     .y = 124,
     .width = 345,
     .height = 46,
     .parent = "Comment",
     .maxLength = 190},
    {.name = "Label32",
     .kind = ControlKind::Label,
     .caption = "This description is available only when you provide correct Account Name. "
                "Please make the comment as obscure as possible. If you are sure you can "
                "remember the password, no comment is strongly recommended.",
     .x = 12,
     .y = 174,
     .width = 345,
     .height = 58,
     .parent = "Comment"},

    // The button bar.
    {.name = "sbBack",
     .kind = ControlKind::SkinButton,
     .caption = "&Back",
     .x = 240,
     .y = kButtonBarTop + 4,
     .width = 78,
     .height = 23,
     .options = opt::inactive},
    {.name = "sbNext",
     .kind = ControlKind::SkinButton,
     .caption = "&Next",
     .x = 322,
     .y = kButtonBarTop + 4,
     .width = 78,
     .height = 23},
    {.name = "sbCancel",
     .kind = ControlKind::SkinButton,
     .caption = "&Cancel",
     .x = 405,
     .y = kButtonBarTop + 4,
     .width = 78,
     .height = 23,
     .modalResult = ModalResult::Cancel},
};

FormDesign wizardDesign() {
    return fixedDialogDesign("TfrmWizard", "Keyhaven Account Wizard", kClientWidth, kClientHeight);
}

} // namespace

TfrmWizard::TfrmWizard(const MessageTable& messages, Clipboard& clipboard, PasswordGuard& guard)
    : TDialog(wizardDesign(), kWizardControls), messages_(messages), clipboard_(clipboard),
      guard_(guard), flow_(messages), ownPrompts_(ownerOf(*this)), ownFileDialogs_(ownerOf(*this)) {
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
