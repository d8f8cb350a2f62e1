#include "tfrm_edit_entry.h"

namespace kh {
namespace {

constexpr ControlDef kEditAccountControls[] = {
    {.name = "Label1",
     .kind = ControlKind::Label,
     .caption = "&Account Name:",
     .x = 14,
     .y = 12,
     .width = 330,
     .height = 16},
    {.name = "edAccountName",
     .kind = ControlKind::Edit,
     .x = 14,
     .y = 30,
     .width = 332,
     .height = 22,
     .maxLength = 150},
    {.name = "Label2",
     .kind = ControlKind::Label,
     .caption = "Description of Account's &Password:",
     .x = 14,
     .y = 62,
     .width = 330,
     .height = 16},
    {.name = "mmPasswordComment",
     .kind = ControlKind::Memo,
     .x = 14,
     .y = 80,
     .width = 332,
     .height = 52,
     .maxLength = 190},
    {.name = "Label3",
     .kind = ControlKind::Label,
     .caption = "&Description of Account Name:",
     .x = 14,
     .y = 142,
     .width = 330,
     .height = 16},
    {.name = "mmAccountComment",
     .kind = ControlKind::Memo,
     .x = 14,
     .y = 160,
     .width = 332,
     .height = 52,
     .maxLength = 190},
    {.name = "sbChange",
     .kind = ControlKind::SkinButton,
     .caption = "&Change",
     .x = 184,
     .y = 226,
     .width = 78,
     .height = 25},
    {.name = "sbCancel",
     .kind = ControlKind::SkinButton,
     .caption = "&Cancel",
     .x = 268,
     .y = 226,
     .width = 78,
     .height = 25,
     .modalResult = ModalResult::Cancel},
};

FormDesign editAccountDesign() {
    return fixedDialogDesign("TfrmEditEntry", "Edit Account", 360, 264);
}

} // namespace

TfrmEditEntry::TfrmEditEntry(const MessageTable& messages)
    : TDialog(editAccountDesign(), kEditAccountControls), messages_(messages),
      ownPrompts_(ownerOf(*this)) {}

void TfrmEditEntry::onCreate() {
    sbChange->OnClick = [this] { changeClick(); };
}

std::optional<AccountInformation> TfrmEditEntry::editAccount(const AccountInformation& current,
                                                             HWND owner) {
    if (!create(owner)) return std::nullopt;
    if (isVisible()) {
        bringToFront();
        return std::nullopt;
    }
    setText(messages_.text(Msg::editaccount));
    current_ = current;
    accepted_.reset();
    edAccountName->setText(current.name);
    mmPasswordComment->setText(current.passwordDescription);
    mmAccountComment->setText(current.accountDescription);
    const ModalResult result = execute(owner);
    clearBoxes();
    current_ = {};
    std::optional<AccountInformation> changed;
    if (result == ModalResult::Ok) changed.swap(accepted_);
    accepted_.reset();
    return changed;
}

void TfrmEditEntry::onShow() {
    edAccountName->setFocus();
    SendMessageA(edAccountName->handle(), EM_SETSEL, 0, -1);
}

void TfrmEditEntry::changeClick() {
    const AccountInformationCheck check = checkAccountInformation(
        current_, edAccountName->text(), mmPasswordComment->text(), mmAccountComment->text());
    switch (check.outcome) {
    case AccountInformationOutcome::EmptyName:
        edAccountName->setFocus();
        prompts_->warning(messages_.text(Msg::warning), messages_.text(Msg::warnaccount));
        return;
    case AccountInformationOutcome::Unchanged:
        setModalResult(ModalResult::Cancel);
        return;
    case AccountInformationOutcome::Changed:
        accepted_ = check.values;
        clearBoxes();
        setModalResult(ModalResult::Ok);
        return;
    }
}

bool TfrmEditEntry::onKeyDown(const KeyPress& key) {
    if (key.key == VK_RETURN && !key.alt) {
        // Enter is a new line in the memos; Ctrl+Enter changes from anywhere.
        const bool inMemo =
            key.target == mmPasswordComment->handle() || key.target == mmAccountComment->handle();
        if (inMemo && !key.ctrl) return false;
        changeClick();
        return true;
    }
    if (key.alt && !key.ctrl) {
        // The labels' letters lead to their boxes.
        TNativeControl* box = nullptr;
        if (key.key == 'A') box = &*edAccountName;
        if (key.key == 'P') box = &*mmPasswordComment;
        if (key.key == 'D') box = &*mmAccountComment;
        if (box) {
            box->setFocus();
            return true;
        }
    }
    return TDialog::onKeyDown(key);
}

void TfrmEditEntry::clearBoxes() {
    edAccountName->setText("");
    mmPasswordComment->setText("");
    mmAccountComment->setText("");
}

} // namespace kh
