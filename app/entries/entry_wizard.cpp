#include "entry_wizard.h"

#include "text_format.h"
#include "text_trim.h"

namespace kh {

std::int32_t typeFromButtons(bool webAccount, bool textMessage) {
    if (webAccount) return kEntryLink;
    if (textMessage) return kEntryText;
    return kEntryPassword;
}

Msg descriptionLabel(std::int32_t type) {
    switch (type) {
    case kEntryLink:
        return Msg::weblink;
    case kEntryText:
        return Msg::detailtext;
    default:
        return Msg::description;
    }
}

std::string wizardCaption(const MessageTable& messages, bool isNew, const std::string& title) {
    if (isNew) return messages.text(Msg::addnewentry);
    return formatText(messages.text(Msg::editentry), {title});
}

void EntryWizardFlow::open(EntryDraft& draft) {
    if (draft.whatsThis.empty()) draft.whatsThis = draft.title;
    page_ = kWizardWelcome;
    type_ = draft.type;
    title_.clear();
    whatsThis_.clear();
    description_.clear();
    password_.wipe();
}

WizardStep EntryWizardFlow::next(const WizardFields& fields) {
    switch (page_) {
    case kWizardWelcome: {
        const std::string_view title = trimBlanks(fields.title);
        if (title.empty()) return WizardStep::TitleMissing;
        title_ = title;
        const std::string_view whatsThis = trimBlanks(fields.whatsThis);
        whatsThis_ = whatsThis.empty() ? title : whatsThis;
        page_ = kWizardNew;
        return WizardStep::Moved;
    }
    case kWizardNew:
        type_ = fields.buttonType;
        description_ = trimBlanks(fields.description);
        // A Text entry has no password page.
        page_ = type_ == kEntryText ? kWizardFinished : kWizardPass;
        return WizardStep::Moved;
    case kWizardPass:
        if (fields.password.empty() || fields.password != fields.confirm)
            return WizardStep::PasswordMismatch;
        password_.assign(fields.password);
        page_ = kWizardFinished;
        return WizardStep::Moved;
    default:
        return WizardStep::Finish;
    }
}

void EntryWizardFlow::back() {
    if (page_ == kWizardWelcome) return;
    page_ = page_ == kWizardFinished && type_ == kEntryText ? kWizardNew : page_ - 1;
}

void EntryWizardFlow::finishInto(EntryDraft& draft, const LocalTime& now) const {
    draft.title = title_;
    draft.whatsThis = whatsThis_;
    draft.description = description_;
    draft.type = type_;
    if (type_ == kEntryText) {
        draft.data.assign(entryTimestamp(now));
    } else {
        draft.data.assign(password_.view());
    }
}

WizardKey wizardKey(unsigned key, bool ctrl, bool alt, bool shift, int page, bool inDescription) {
    if (key == kVkReturn && !alt) {
        // A plain Enter in the description field starts a new line; Ctrl+Enter moves on.
        if (page == kWizardNew && inDescription && !ctrl) return WizardKey::None;
        return WizardKey::Next;
    }
    if (key == kVkEscape && !ctrl && !alt && !shift) return WizardKey::Cancel;
    if (ctrl && !alt && !shift && (key == 'V' || key == 'P'))
        return page == kWizardPass ? WizardKey::Paste : WizardKey::None;
    if (alt && !ctrl && !shift) {
        switch (key) {
        case 'B':
            return WizardKey::Back;
        case 'C':
            return WizardKey::Cancel;
        case 'F':
        case 'N':
            return WizardKey::Next;
        default:
            break;
        }
    }
    return WizardKey::None;
}

} // namespace kh
