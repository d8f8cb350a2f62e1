#include "tfrm_generator.h"

#include "generator_dialog.h"
#include "image_ids.h"
#include "resource_ids.h"
#include "text_format.h"
#include "win32/skin_theme.h"

namespace kh {
namespace {

constexpr ControlDef kGeneratorControls[] = {
    {.name = "cbAZ",
     .kind = ControlKind::SkinCheckBox,
     .caption = "Capital letters A - Z",
     .x = 16,
     .y = 14,
     .width = 152,
     .height = 20,
     .options = opt::checked},
    {.name = "cba",
     .kind = ControlKind::SkinCheckBox,
     .caption = "Small letters a - z",
     .x = 180,
     .y = 14,
     .width = 152,
     .height = 20,
     .options = opt::checked},
    {.name = "cbSpecial",
     .kind = ControlKind::SkinCheckBox,
     .caption = "Symbols # - +",
     .x = 16,
     .y = 38,
     .width = 152,
     .height = 20,
     .options = opt::checked},
    {.name = "cbDigit",
     .kind = ControlKind::SkinCheckBox,
     .caption = "Digits 0 - 9",
     .x = 180,
     .y = 38,
     .width = 152,
     .height = 20,
     .options = opt::checked},
    {.name = "lbLength",
     .kind = ControlKind::Label,
     .caption = "Password Length:",
     .x = 16,
     .y = 73,
     .width = 110,
     .height = 16},
    {.name = "edLength",
     .kind = ControlKind::Edit,
     .caption = "15",
     .x = 130,
     .y = 70,
     .width = 56,
     .height = 22,
     .maxLength = 6},
    {.name = "edPassword",
     .kind = ControlKind::Edit,
     .x = 16,
     .y = 104,
     .width = 286,
     .height = 24,
     .options = opt::readOnly},
    {.name = "sbCopy",
     .kind = ControlKind::BitmapButton,
     .hint = "Copy the password to the Clipboard",
     .x = 306,
     .y = 103,
     .width = 26,
     .height = 26},
    {.name = "lbStrength",
     .kind = ControlKind::Label,
     .x = 16,
     .y = 134,
     .width = 316,
     .height = 16},
    {.name = "sbGenerate",
     .kind = ControlKind::SkinButton,
     .caption = "&Generate",
     .x = 222,
     .y = 162,
     .width = 110,
     .height = 28},
};

FormDesign generatorDesign() {
    FormDesign design =
        fixedDialogDesign("TfrmGenerator", "Password Generator", 348, 202,
                          LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KEYHAVEN)));
    design.style |= WS_MINIMIZEBOX;
    return design;
}

} // namespace

TfrmGenerator::TfrmGenerator(const MessageTable& messages, Clipboard& clipboard,
                             PasswordGuard& guard)
    : TDialog(generatorDesign(), kGeneratorControls), messages_(messages), clipboard_(clipboard),
      guard_(guard) {}

// The program may end with a password on show: the edit's buffer is released with the
// window, so it is overwritten first.
TfrmGenerator::~TfrmGenerator() {
    if (handle() && edPassword.bound()) edPassword->wipeText();
}

void TfrmGenerator::onCreate() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    glyphs_.reset(ImageList_Create(images::kMenuSize, images::kMenuSize, ILC_COLOR32, 0, 0));
    Bitmap strip(static_cast<HBITMAP>(LoadImageA(instance, MAKEINTRESOURCEA(IDB_TOOLBAR16),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (glyphs_ && strip) ImageList_Add(glyphs_.get(), strip.get(), nullptr);
    sbCopy->setGlyphFrom(glyphs_.get(), images::kImgCopy);

    sbGenerate->OnClick = [this] { generateClick(); };
    sbCopy->OnClick = [this] { copyClick(); };
    for (QCheckBox* box : {&*cbAZ, &*cba, &*cbSpecial, &*cbDigit})
        box->OnChange = [this] { updateStrength(); };
    // The strength line is filled when the window shows: a figure, nothing to translate.
}

void TfrmGenerator::open() {
    showModeless(nullptr);
}

void TfrmGenerator::onShow() {
    // The strength is a figure of the choices, not a text to translate: it is shown anew
    // whatever a language put into its label.
    updateStrength();
    sbGenerate->setFocus();
}

void TfrmGenerator::onHide() {
    edPassword->wipeText();
}

GeneratorOptions TfrmGenerator::options() const {
    return {cbAZ->checked(), cba->checked(), cbSpecial->checked(), cbDigit->checked()};
}

void TfrmGenerator::generateClick() {
    // With no class chosen the result keeps what it shows; the strength line says why.
    const int length = parseGeneratorLength(edLength->text());
    std::optional<SecretString> password = generatePassword(options(), length);
    if (!password) {
        updateStrength();
        MessageBeep(MB_ICONWARNING);
        return;
    }
    // A length the generator could not take as typed shows as the one it used.
    const std::string used = std::to_string(length);
    if (edLength->text() != used) edLength->setText(used);
    edPassword->setSecretText(password->view());
}

void TfrmGenerator::copyClick() {
    SecretString password = edPassword->secretText();
    if (password.empty()) return;
    if (!writeClipboardChecked(clipboard_, password.view())) return;
    // The window stays, with the password, for another copy or another password.
    guard_.guardClipboard(password.view());
    password.wipe();
}

void TfrmGenerator::updateStrength() {
    if (!lbStrength.bound()) return;
    if (usableAlphabet(options()) == 0) {
        lbStrength->setText(messages_.text(Msg::generatornoclass));
        return;
    }
    lbStrength->setText(formatText(messages_.text(Msg::generatorstrength),
                                   {strengthBits(options(), edLength->text())}));
}

void TfrmGenerator::enterPressed() {
    if (GetFocus() == sbCopy->handle())
        copyClick();
    else
        generateClick();
}

void TfrmGenerator::onCommand(int id, int notifyCode, HWND from) {
    if (from && edLength.bound() && from == edLength->handle() && notifyCode == EN_CHANGE)
        updateStrength();
    TDialog::onCommand(id, notifyCode, from);
}

} // namespace kh
