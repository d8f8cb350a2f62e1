// The entry wizard's logic as tables: the page paths forward and back, the title, what's
// this and password checks, the keys, the texts that follow the page and the type, and the
// values a finished wizard hands back.
#include "entry_wizard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh {
namespace {

// One press of Next or Back with what the fields hold at that moment.
struct Press {
    enum Kind { Next, Back } kind = Next;
    WizardFields fields = {};
    WizardStep step = WizardStep::Moved; // for Next
    int page = 0;                        // shown afterwards
};

WizardFields titled(std::string_view title, std::string_view whatsThis = "") {
    WizardFields fields;
    fields.title = title;
    fields.whatsThis = whatsThis;
    return fields;
}

WizardFields typed(std::int32_t type, std::string_view description = "") {
    WizardFields fields;
    fields.buttonType = type;
    fields.description = description;
    return fields;
}

WizardFields passwords(std::string_view password, std::string_view confirm) {
    WizardFields fields;
    fields.password = password;
    fields.confirm = confirm;
    return fields;
}

Press next(WizardFields fields, int page, WizardStep step = WizardStep::Moved) {
    return {Press::Next, fields, step, page};
}
Press back(int page) {
    return {Press::Back, {}, WizardStep::Moved, page};
}

TEST(EntryWizardFlow, PagePaths) {
    struct Case {
        const char* what;
        std::int32_t openedType;
        std::vector<Press> presses;
    };
    const Case cases[] = {
        {"Password: 0 1 2 3, finish",
         kEntryPassword,
         {next(titled("Mail"), 1), next(typed(kEntryPassword), 2), next(passwords("pw", "pw"), 3),
          next({}, 3, WizardStep::Finish)}},
        {"Link: the same path",
         kEntryPassword,
         {next(titled("Bank"), 1), next(typed(kEntryLink), 2), next(passwords("pw", "pw"), 3)}},
        {"Text skips the password page both ways",
         kEntryPassword,
         {next(titled("Note"), 1), next(typed(kEntryText), 3), back(1), back(0),
          next(titled("Note"), 1), next(typed(kEntryText), 3), next({}, 3, WizardStep::Finish)}},
        {"Back from the last page of a Password entry walks through the password page",
         kEntryText,
         {next(titled("Mail"), 1), next(typed(kEntryPassword), 2), next(passwords("a", "a"), 3),
          back(2), back(1), back(0), back(0)}},
        {"a Text entry changed to Password gets the password page",
         kEntryText,
         {next(titled("Note"), 1), next(typed(kEntryText), 3), back(1),
          next(typed(kEntryPassword), 2)}},
        {"empty title",
         kEntryPassword,
         {next(titled(""), 0, WizardStep::TitleMissing),
          next(titled(" \t "), 0, WizardStep::TitleMissing), next(titled(" x "), 1)}},
        {"empty or different passwords",
         kEntryPassword,
         {next(titled("Mail"), 1), next(typed(kEntryLink), 2),
          next(passwords("", ""), 2, WizardStep::PasswordMismatch),
          next(passwords("pw", ""), 2, WizardStep::PasswordMismatch),
          next(passwords("pw", "pW"), 2, WizardStep::PasswordMismatch),
          next(passwords("pw", "pw "), 2, WizardStep::PasswordMismatch),
          next(passwords(" pw ", " pw "), 3)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EntryWizardFlow flow;
        EntryDraft draft;
        draft.type = c.openedType;
        flow.open(draft);
        EXPECT_EQ(kWizardWelcome, flow.page());
        for (std::size_t i = 0; i < c.presses.size(); ++i) {
            SCOPED_TRACE(i);
            const Press& press = c.presses[i];
            if (press.kind == Press::Next) {
                EXPECT_EQ(press.step, flow.next(press.fields));
            } else {
                flow.back();
            }
            EXPECT_EQ(press.page, flow.page());
            EXPECT_EQ(press.page != kWizardWelcome, flow.backEnabled());
            EXPECT_EQ(press.page == kWizardFinished ? Msg::buttonfinish : Msg::buttonnext,
                      flow.nextCaption());
        }
    }
}

TEST(EntryWizardFlow, TakesTrimmedTextsAndTheUntrimmedPassword) {
    struct Case {
        const char* what;
        std::string title, whatsThis, description;
        std::int32_t type;
        std::string password;
        std::string keptTitle, keptWhatsThis, keptDescription, keptData;
    };
    const LocalTime finished{2004, 1, 31, 9, 5, 7};
    const Case cases[] = {
        {"a what's-this of blanks becomes the title", "  Mail ", " \t ", " mail account \r\n",
         kEntryPassword, " p w ", "Mail", "Mail", "mail account", " p w "},
        {"a Link keeps its address", "Bank", "my bank", "https://bank.example.com ", kEntryLink,
         "pw", "Bank", "my bank", "https://bank.example.com", "pw"},
        {"a Text entry's data is the time of finishing", "Note", "", "line 1\r\nline 2", kEntryText,
         "", "Note", "Note", "line 1\r\nline 2", "2004-01-31 09:05:07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EntryWizardFlow flow;
        EntryDraft draft;
        flow.open(draft);
        ASSERT_EQ(WizardStep::Moved, flow.next(titled(c.title, c.whatsThis)));
        ASSERT_EQ(WizardStep::Moved, flow.next(typed(c.type, c.description)));
        if (c.type != kEntryText) {
            ASSERT_EQ(WizardStep::Moved, flow.next(passwords(c.password, c.password)));
        }
        ASSERT_EQ(WizardStep::Finish, flow.next({}));
        flow.finishInto(draft, finished);
        EXPECT_EQ(c.keptTitle, draft.title);
        EXPECT_EQ(c.keptWhatsThis, draft.whatsThis);
        EXPECT_EQ(c.keptDescription, draft.description);
        EXPECT_EQ(c.type, draft.type);
        EXPECT_EQ(c.keptData, std::string(draft.data.view()));
        flow.forgetPassword();
        EXPECT_TRUE(flow.password().empty());
    }
}

TEST(EntryWizardFlow, OpeningDefaultsWhatsThisAndForgetsTheLastOpening) {
    EntryWizardFlow flow;
    EntryDraft first;
    flow.open(first);
    flow.next(titled("Old"));
    flow.next(typed(kEntryLink));
    flow.next(passwords("old-pw", "old-pw"));
    ASSERT_EQ(kWizardFinished, flow.page());

    EntryDraft draft;
    draft.title = "Bank";
    draft.type = kEntryText;
    flow.open(draft);
    EXPECT_EQ("Bank", draft.whatsThis) << "an empty what's-this is the title";
    EXPECT_EQ(kWizardWelcome, flow.page());
    EXPECT_EQ(kEntryText, flow.type());
    EXPECT_TRUE(flow.password().empty());
    EXPECT_TRUE(flow.title().empty());

    draft.whatsThis = "kept";
    flow.open(draft);
    EXPECT_EQ("kept", draft.whatsThis);
}

TEST(EntryWizardFlow, TypeButtonsAndDescriptionLabel) {
    struct Case {
        bool web, text;
        std::int32_t type;
        Msg label;
    };
    const Case cases[] = {
        {false, false, kEntryPassword, Msg::description},
        {true, false, kEntryLink, Msg::weblink},
        {false, true, kEntryText, Msg::detailtext},
        {true, true, kEntryLink, Msg::weblink},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.type, typeFromButtons(c.web, c.text));
        EXPECT_EQ(c.label, descriptionLabel(c.type));
    }
    EXPECT_EQ(Msg::description, descriptionLabel(7)) << "any other type";

    EntryWizardFlow flow;
    EntryDraft draft;
    flow.open(draft);
    flow.chooseType(kEntryText); // a click changes the held type at once
    EXPECT_EQ(kEntryText, flow.type());
}

TEST(EntryWizardFlow, CaptionsGoThroughTheSafeFormatter) {
    const MessageTable messages;
    EXPECT_EQ("Add New Entry", wizardCaption(messages, true, "Bank"));
    EXPECT_EQ("Edit Entry: Bank!", wizardCaption(messages, false, "Bank"));
    EXPECT_EQ("Edit Entry: 100%s %d!", wizardCaption(messages, false, "100%s %d"));
    EXPECT_EQ("2004-01-31 09:05:07", entryTimestamp({2004, 1, 31, 9, 5, 7}));
    EXPECT_EQ("2026-12-10 23:59:00", entryTimestamp({2026, 12, 10, 23, 59, 0}));
}

TEST(EntryWizardFlow, Keys) {
    constexpr unsigned kEnter = kVkReturn;
    constexpr unsigned kEsc = kVkEscape;
    struct Case {
        const char* what;
        unsigned key;
        bool ctrl, alt, shift;
        int page;
        bool inDescription;
        WizardKey action;
    };
    const Case cases[] = {
        {"Enter", kEnter, false, false, false, kWizardWelcome, false, WizardKey::Next},
        {"Enter on the password page", kEnter, false, false, false, kWizardPass, false,
         WizardKey::Next},
        {"Enter on the last page", kEnter, false, false, false, kWizardFinished, false,
         WizardKey::Next},
        {"Enter on page 1 outside the description", kEnter, false, false, false, kWizardNew, false,
         WizardKey::Next},
        {"Enter in the description: a new line", kEnter, false, false, false, kWizardNew, true,
         WizardKey::None},
        {"Shift+Enter in the description: a new line", kEnter, false, false, true, kWizardNew, true,
         WizardKey::None},
        {"Ctrl+Enter in the description", kEnter, true, false, false, kWizardNew, true,
         WizardKey::Next},
        {"Esc", kEsc, false, false, false, kWizardPass, false, WizardKey::Cancel},
        {"Ctrl+V on the password page", 'V', true, false, false, kWizardPass, false,
         WizardKey::Paste},
        {"Ctrl+P on the password page", 'P', true, false, false, kWizardPass, false,
         WizardKey::Paste},
        {"Ctrl+V elsewhere is the field's own paste", 'V', true, false, false, kWizardWelcome,
         false, WizardKey::None},
        {"Ctrl+P elsewhere", 'P', true, false, false, kWizardNew, true, WizardKey::None},
        {"Alt+B", 'B', false, true, false, kWizardPass, false, WizardKey::Back},
        {"Alt+C", 'C', false, true, false, kWizardWelcome, false, WizardKey::Cancel},
        {"Alt+F", 'F', false, true, false, kWizardFinished, false, WizardKey::Next},
        {"Alt+N", 'N', false, true, false, kWizardWelcome, false, WizardKey::Next},
        {"Alt+N in the description", 'N', false, true, false, kWizardNew, true, WizardKey::Next},
        {"a letter", 'N', false, false, false, kWizardWelcome, false, WizardKey::None},
        {"Ctrl+N", 'N', true, false, false, kWizardWelcome, false, WizardKey::None},
        {"Tab", 0x09, false, false, false, kWizardWelcome, false, WizardKey::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.action, wizardKey(c.key, c.ctrl, c.alt, c.shift, c.page, c.inDescription))
            << c.what;
}

} // namespace
} // namespace kh
