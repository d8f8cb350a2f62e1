#include "tfrm_login.h"

#include "resource_ids.h"
#include "session.h"
#include "text_trim.h"

namespace kh {
namespace {

constexpr int kIdForgot = 301;
constexpr COLORREF kLinkGreen = RGB(0x00, 0x80, 0x00);

constexpr ControlDef kLoginControls[] = {
    {.name = "Label1",
     .kind = ControlKind::Label,
     .caption = "Account File:",
     .x = 16,
     .y = 14,
     .width = 200,
     .height = 16},
    {.name = "edFile",
     .kind = ControlKind::Edit,
     .x = 16,
     .y = 32,
     .width = 250,
     .height = 22,
     .options = opt::readOnly},
    {.name = "sbBrowse",
     .kind = ControlKind::SkinButton,
     .caption = "&Browse",
     .hint = "Choose the account file",
     .x = 274,
     .y = 31,
     .width = 80,
     .height = 24},
    {.name = "Label2",
     .kind = ControlKind::Label,
     .caption = "Account Name:",
     .x = 16,
     .y = 64,
     .width = 200,
     .height = 16},
    {.name = "edAccount",
     .kind = ControlKind::Edit,
     .x = 16,
     .y = 82,
     .width = 338,
     .height = 22,
     .maxLength = 150},
    {.name = "Label3",
     .kind = ControlKind::Label,
     .caption = "Password:",
     .x = 16,
     .y = 114,
     .width = 200,
     .height = 16},
    {.name = "edPassword",
     .kind = ControlKind::MaskEdit,
     .x = 16,
     .y = 132,
     .width = 338,
     .height = 22,
     .maxLength = 75},
    {.name = "lbForgot",
     .kind = ControlKind::Label,
     .caption = "Forgot Your Password?",
     .x = 16,
     .y = 162,
     .width = 180,
     .height = 16,
     .commandId = kIdForgot,
     .options = opt::underline | opt::handCursor,
     .textColor = kLinkGreen},
    {.name = "sbNew",
     .kind = ControlKind::SkinButton,
     .caption = "&New Account",
     .hint = "Create New Account",
     .x = 16,
     .y = 192,
     .width = 110,
     .height = 26,
     .modalResult = ModalResult::Yes},
    {.name = "sbLogin",
     .kind = ControlKind::SkinButton,
     .caption = "&Login",
     .x = 182,
     .y = 192,
     .width = 80,
     .height = 26},
    {.name = "sbCancel",
     .kind = ControlKind::SkinButton,
     .caption = "&Cancel",
     .x = 274,
     .y = 192,
     .width = 80,
     .height = 26,
     .modalResult = ModalResult::Cancel},
};

FormDesign loginDesign() {
    FormDesign design =
        fixedDialogDesign(browser::kLoginWindowClass, "Welcome To Keyhaven", 370, 232,
                          LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KEYHAVEN)));
    // GWLP_USERDATA carries the instance marker.
    design.stateInExtraBytes = true;
    return design;
}

} // namespace

TfrmKeyhavenLogin::TfrmKeyhavenLogin(const MessageTable& messages)
    : TDialog(loginDesign(), kLoginControls), messages_(messages), ownPrompts_(ownerOf(*this)),
      ownFileDialogs_(ownerOf(*this)) {}

void TfrmKeyhavenLogin::onCreate() {
    SetWindowLongPtrA(handle(), GWLP_USERDATA, kInstanceMarker);
    sbLogin->OnClick = [this] { loginClick(); };
    sbBrowse->OnClick = [this] { browseClick(); };
}

void TfrmKeyhavenLogin::prefill(const std::string& file, const std::string& name) {
    clearPassword();
    keptPassword_.wipe();
    keptName_ = name;
    edAccount->setText(name);
    keptFile_ = loginFileToKeep(file);
    edFile->setText(keptFile_);
}

SecretString TfrmKeyhavenLogin::takeKeptPassword() {
    SecretString password(keptPassword_.view());
    keptPassword_.wipe();
    return password;
}

void TfrmKeyhavenLogin::clearPassword() {
    edPassword->wipeText();
}

void TfrmKeyhavenLogin::onShow() {
    const std::string name = edAccount->text();
    (trimBlanks(name).empty() ? edAccount : edPassword)->setFocus();
}

void TfrmKeyhavenLogin::loginClick() {
    SecretString typed = edPassword->secretText();
    if (typed.empty()) {
        edPassword->setFocus();
        return;
    }
    keptName_ = trimLoginName(edAccount->text());
    keptPassword_ = typed.view();
    typed.wipe();
    setModalResult(ModalResult::Ok);
}

void TfrmKeyhavenLogin::browseClick() {
    const std::optional<std::string> chosen = fileDialogs_->openFile(
        {"Keyhaven Files|*.khk|XML Files|*.xml|All Files|*.*", 1, keptFile_, false, ""});
    if (chosen) prefill(*chosen, "");
}

void TfrmKeyhavenLogin::forgotClick() {
    if (!keptFile_.empty()) keptName_ = trimLoginName(edAccount->text());
    const ForgotAnswer answer = forgotPasswordText(keptFile_, edAccount->text(), messages_);
    if (answer.found)
        prompts_->information(messages_.text(Msg::apptitle), answer.text);
    else
        prompts_->warning(messages_.text(Msg::warning), answer.text);
}

void TfrmKeyhavenLogin::onCommand(int id, int notifyCode, HWND from) {
    if (id == kIdForgot && notifyCode == STN_CLICKED) {
        forgotClick();
        return;
    }
    TForm::onCommand(id, notifyCode, from);
}

} // namespace kh
