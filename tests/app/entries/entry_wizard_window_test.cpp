// The entry wizard (TfrmAddItem) built for real and driven with window messages under
// Wine: its design, every page forward and both ways back, each failing check with its
// box, the keys, paste and view with the clipboard line, what it hands back, and the
// commands that open it from the main window.
#include "../../diag/win32/window_script.h"
#include "../clipboard/command_fakes.h"
#include "../win32/main_window_fixture.h"
#include "entries_feature.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;
using Step = std::function<void()>;

class FixedClock : public Clock {
  public:
    LocalTime localTime() override { return {2004, 1, 31, 9, 5, 7}; }
};

std::string textOf(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// Ctrl held in this thread's keyboard state for one key.
void ctrlKey(HWND target, UINT key) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
    SendMessageA(target, WM_KEYDOWN, key, 1);
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
}

class EntryWizardWindowTest : public ::testing::Test {
  protected:
    EntryWizardWindowTest() { guard.attach(guardWindow, "Guarding...\n."); }

    HWND control(const char* name) { return wizard.get<TControl>(name).handle(); }
    template <class T> T& get(const char* name) { return wizard.get<T>(name); }
    void type(const char* field, const std::string& text) {
        SetWindowTextA(control(field), text.c_str());
    }
    void press(const char* button) { click(control(button)); }
    bool checked(const char* radio) { return get<QRadioBox>(radio).checked(); }

    // Runs the wizard on a draft with the given steps; the result of editEntryValues.
    bool run(EntryDraft& draft, bool isNew, std::vector<Step> steps) {
        wizard.create();
        ModalScript script(wizard, std::move(steps));
        const bool finished = wizard.editEntryValues(draft, isNew);
        EXPECT_TRUE(script.finished()) << "the wizard closed before the last step";
        return finished;
    }

    // The box the last step opened: its caption, owner and text; then it is closed.
    Step expectBox(const std::string& text) {
        return [this, text] {
            HWND box = findMessageBox();
            ASSERT_NE(nullptr, box) << "no box for: " << text;
            EXPECT_EQ("Hint", textOf(box));
            EXPECT_EQ(text, messageBoxText(box));
            EXPECT_EQ(wizard.handle(), GetWindow(box, GW_OWNER)) << "the wizard owns its box";
            EndDialog(box, IDOK);
        };
    }
    Step expectPage(int page) {
        return [this, page] {
            EXPECT_EQ(page, wizard.page());
            EXPECT_EQ(page, get<TContainer>("nbWizard").pageIndex());
        };
    }

    MessageTable messages;
    SystemClipboard clipboard;
    FakeMainWindow main;
    FakeGuardWindow guardWindow;
    GuardOptions options;
    PasswordGuard guard{clipboard, main, [this] { return options; }};
    FixedClock clock;
    TfrmAddItem wizard{messages, clipboard, guard, clock, [] { return HWND(nullptr); }};
};

TEST_F(EntryWizardWindowTest, DesignPagesControlsLimitsAndTexts) {
    ASSERT_TRUE(wizard.create());
    EXPECT_EQ(wizard.handle(), FindWindowA("TfrmAddItem", nullptr));
    auto& notebook = get<TContainer>("nbWizard");
    ASSERT_EQ(4, notebook.pageCount());
    const char* pages[] = {"Welcome", "New", "Pass", "Finished"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(pages[i], notebook.page(i)->name());

    const std::pair<const char*, int> limits[] = {
        {"edTitle", 75}, {"edWhat", 75}, {"mmComment", 190}, {"edPassword", 75}, {"edComfirm", 75}};
    for (const auto& [name, limit] : limits)
        EXPECT_EQ(limit, SendMessageA(control(name), EM_GETLIMITTEXT, 0, 0)) << name;
    for (const char* masked : {"edPassword", "edComfirm"}) {
        EXPECT_EQ('*', SendMessageA(control(masked), EM_GETPASSWORDCHAR, 0, 0)) << masked;
        EXPECT_TRUE(GetWindowLongPtrA(control(masked), GWL_STYLE) & ES_PASSWORD);
    }
    EXPECT_TRUE(GetWindowLongPtrA(control("mmComment"), GWL_STYLE) & ES_MULTILINE);
    EXPECT_EQ("Paste From Clipboard.", get<TControl>("sbPaste").hint());
    EXPECT_EQ("View Password", get<TControl>("sbView").hint());
    EXPECT_EQ("Private Password", get<QRadioBox>("rbPassword").caption());
    EXPECT_EQ("Web Account", get<QRadioBox>("rbWebAddress").caption());
    EXPECT_EQ("Text Message", get<QRadioBox>("rbText").caption());
    EXPECT_TRUE(checked("rbPassword"));
    EXPECT_EQ("&Back", get<QSkinButton>("sbBack").caption());
    EXPECT_EQ("&Cancel", get<QSkinButton>("sbCancel").caption());
    EXPECT_EQ("", textOf(control("stClipboard")));
    EXPECT_EQ(2000u, TfrmAddItem::kClipboardInterval);

    // The fixed texts of the pages, and neutral examples.
    Texts all;
    for (const auto& c : wizard.controls())
        if (c->kind() == ControlKind::Label) all.push_back(textOf(c->handle()));
    for (const char* fixed :
         {"This wizard adds a new entry to the account or edits an existing one.",
          "Press Next to continue.", "Detailed Message",
          "Here you can type detailed information about the entry.",
          "Which type of data will be stored in this entry:", "Password",
          "Set the password to be stored in the entry.", "Password:", "Confirm:", "Finish",
          "Congratulations! Everything the new entry needs has been entered.",
          "Press 'Finish' to finish."})
        EXPECT_NE(all.end(), std::find(all.begin(), all.end(), fixed)) << fixed;
    const std::string note = textOf(control("Label2"));
    EXPECT_NE(std::string::npos, note.find("example.com")) << note;

    // The picture at the left.
    RECT picture{};
    GetWindowRect(control("Image1"), &picture);
    EXPECT_EQ(wizard.scale(120), picture.right - picture.left);
}

TEST_F(EntryWizardWindowTest, NewPasswordEntryThroughEveryPage) {
    EntryDraft draft;
    const bool finished =
        run(draft, true,
            {
                [&] {
                    EXPECT_EQ("Add New Entry", textOf(wizard.handle()));
                    EXPECT_EQ("Add New Entry", textOf(control("StaticText1")));
                    EXPECT_FALSE(get<QSkinButton>("sbBack").isActive());
                    EXPECT_EQ("&Next", get<QSkinButton>("sbNext").caption());
                    EXPECT_EQ(control("edTitle"), GetFocus());
                    type("edTitle", "  Mail  ");
                    type("edWhat", "");
                    press("sbNext");
                },
                expectPage(kWizardNew),
                [&] {
                    EXPECT_EQ(control("mmComment"), GetFocus());
                    EXPECT_TRUE(get<QSkinButton>("sbBack").isActive());
                    EXPECT_EQ("Input Entry Description (ie: Password of Credit Card):",
                              textOf(control("StaticText5")));
                    type("mmComment", " webmail ");
                    press("sbNext");
                },
                expectPage(kWizardPass),
                [&] {
                    EXPECT_EQ(control("edPassword"), GetFocus());
                    type("edPassword", " pw 1 ");
                    type("edComfirm", " pw 1 ");
                    press("sbNext");
                },
                expectPage(kWizardFinished),
                [&] {
                    EXPECT_EQ("&Finish", get<QSkinButton>("sbNext").caption());
                    press("sbNext");
                },
            });
    EXPECT_TRUE(finished);
    EXPECT_EQ("Mail", draft.title);
    EXPECT_EQ("Mail", draft.whatsThis);
    EXPECT_EQ("webmail", draft.description);
    EXPECT_EQ(kEntryPassword, draft.type);
    EXPECT_EQ(" pw 1 ", std::string(draft.data.view()));
    EXPECT_EQ(0, GetWindowTextLengthA(control("edPassword"))) << "wiped on closing";
    EXPECT_EQ(0, GetWindowTextLengthA(control("edComfirm")));
    EXPECT_TRUE(wizard.flow().password().empty());
    EXPECT_FALSE(wizard.isVisible());
}

TEST_F(EntryWizardWindowTest, TextEntrySkipsThePasswordPageBothWaysAndGetsTheTime) {
    EntryDraft draft;
    const bool finished =
        run(draft, true,
            {
                [&] {
                    type("edTitle", "Note");
                    press("sbNext");
                },
                [&] {
                    click(control("rbText"));
                    EXPECT_EQ("Input Detailed Message:", textOf(control("StaticText5")))
                        << "the label follows the type at once";
                    click(control("rbWebAddress"));
                    EXPECT_EQ(messages.text(Msg::weblink), textOf(control("StaticText5")));
                    click(control("rbText"));
                    type("mmComment", "line 1\r\nline 2");
                    press("sbNext");
                },
                expectPage(kWizardFinished),
                [&] { press("sbBack"); },
                expectPage(kWizardNew),
                [&] { press("sbBack"); },
                expectPage(kWizardWelcome),
                [&] { press("sbNext"); },
                [&] { press("sbNext"); },
                expectPage(kWizardFinished),
                [&] { press("sbNext"); },
            });
    EXPECT_TRUE(finished);
    EXPECT_EQ(kEntryText, draft.type);
    EXPECT_EQ("line 1\r\nline 2", draft.description);
    EXPECT_EQ("2004-01-31 09:05:07", std::string(draft.data.view()));
}

TEST_F(EntryWizardWindowTest, EachFailingCheckShowsItsBoxAndBackWalksThePasswordPage) {
    EntryDraft draft;
    const bool finished =
        run(draft, true,
            {
                // A step that opens a box only queues the click: the box runs its loop after it.
                [&] {
                    type("edTitle", "   ");
                    postClick(control("sbNext"));
                },
                expectBox("Please input entry title!"),
                expectPage(kWizardWelcome),
                [&] {
                    type("edTitle", "Bank");
                    press("sbNext");
                },
                [&] {
                    click(control("rbWebAddress"));
                    press("sbNext");
                },
                [&] { postClick(control("sbNext")); }, // both empty
                expectBox("Password mismatch!"),
                [&] {
                    type("edPassword", "one");
                    type("edComfirm", "One");
                    postClick(control("sbNext"));
                },
                expectBox("Password mismatch!"),
                expectPage(kWizardPass),
                [&] {
                    type("edComfirm", "one");
                    press("sbNext");
                },
                expectPage(kWizardFinished),
                [&] { press("sbBack"); },
                expectPage(kWizardPass),
                [&] { press("sbBack"); },
                expectPage(kWizardNew),
                [&] { press("sbBack"); },
                expectPage(kWizardWelcome),
                [&] { press("sbCancel"); },
            });
    EXPECT_FALSE(finished);
    EXPECT_EQ("", draft.title) << "a cancelled wizard gives nothing back";
}

TEST_F(EntryWizardWindowTest, EditShowsTheEntryAndCancelChangesNothing) {
    const struct {
        std::int32_t type;
        const char* radio;
        Msg label;
    } cases[] = {{kEntryPassword, "rbPassword", Msg::description},
                 {kEntryLink, "rbWebAddress", Msg::weblink},
                 {kEntryText, "rbText", Msg::detailtext},
                 {9, "rbPassword", Msg::description}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        EntryDraft draft;
        draft.title = "Bank";
        draft.description = "https://bank.example.com";
        draft.data = "pw-bank";
        draft.type = c.type;
        const bool finished =
            run(draft, false, {[&] {
                    EXPECT_EQ("Edit Entry: Bank!", textOf(wizard.handle()));
                    EXPECT_EQ("Edit Entry: Bank!", textOf(control("StaticText1")));
                    EXPECT_EQ("Bank", textOf(control("edTitle")));
                    EXPECT_EQ("Bank", textOf(control("edWhat")))
                        << "what's this defaults to the title";
                    EXPECT_EQ("https://bank.example.com", textOf(control("mmComment")));
                    EXPECT_EQ("pw-bank", textOf(control("edPassword")));
                    EXPECT_EQ("pw-bank", textOf(control("edComfirm")));
                    EXPECT_TRUE(checked(c.radio));
                    EXPECT_EQ(messages.text(c.label), textOf(control("StaticText5")));
                    EXPECT_EQ(kWizardWelcome, wizard.page());
                    keyDown(control("edTitle"), VK_ESCAPE);
                }});
        EXPECT_FALSE(finished);
        EXPECT_EQ("pw-bank", std::string(draft.data.view()));
        EXPECT_EQ(c.type, draft.type);
        EXPECT_EQ(0, GetWindowTextLengthA(control("edPassword")));
    }
}

TEST_F(EntryWizardWindowTest, Keys) {
    EntryDraft draft;
    const bool finished = run(
        draft, true,
        {
            [&] {
                type("edTitle", "Keys");
                keyDown(control("edTitle"), VK_RETURN); // Enter: Next
            },
            expectPage(kWizardNew),
            [&] {
                HWND memo = control("mmComment");
                SetWindowTextA(memo, "first");
                SendMessageA(memo, EM_SETSEL, 5, 5);
                keyDown(memo, VK_RETURN);
                SendMessageA(memo, WM_CHAR, '\r', 1);
                SendMessageA(memo, WM_CHAR, 'x', 1);
                EXPECT_EQ("first\r\nx", textOf(memo)) << "a plain Enter adds a line";
                EXPECT_EQ(kWizardNew, wizard.page());
                altKey(memo, 'B');
            },
            expectPage(kWizardWelcome), [&] { altKey(control("edTitle"), 'N'); },
            [&] { ctrlKey(control("mmComment"), VK_RETURN); }, // Ctrl+Enter moves on
            expectPage(kWizardPass),
            [&] {
                clipboard.setText("from-the-clipboard");
                ctrlKey(control("edPassword"), 'V');
                EXPECT_EQ("from-the-clipboard", textOf(control("edPassword")));
                EXPECT_EQ("from-the-clipboard", textOf(control("edComfirm")));
                clipboard.setText("second");
                ctrlKey(control("edComfirm"), 'P');
                EXPECT_EQ("second", textOf(control("edPassword")));
                altKey(control("edPassword"), 'F');
            },
            expectPage(kWizardFinished), [&] { altKey(control("sbNext"), 'C'); }, // Alt+C: Cancel
        });
    EXPECT_FALSE(finished);

    // Alt+F on the last page finishes; Esc cancels.
    EntryDraft text;
    EXPECT_TRUE(run(text, true,
                    {
                        [&] {
                            type("edTitle", "T");
                            altKey(control("edTitle"), 'F');
                        },
                        [&] {
                            click(control("rbText"));
                            altKey(control("mmComment"), 'N');
                        },
                        [&] { altKey(control("sbNext"), 'F'); },
                    }));
    EntryDraft escaped;
    EXPECT_FALSE(run(escaped, true, {[&] { keyDown(control("edWhat"), VK_ESCAPE); }}));
}

TEST_F(EntryWizardWindowTest, PasteAndViewShowTheTextForTwoSeconds) {
    EntryDraft draft;
    run(draft, true,
        {
            [&] {
                type("edTitle", "P");
                press("sbNext");
            },
            [&] { press("sbNext"); },
            [&] {
                clipboard.setText(std::string(100, 'k'));
                press("sbPaste");
                const std::string first79(79, 'k');
                EXPECT_EQ(first79, textOf(control("edPassword")));
                EXPECT_EQ(first79, textOf(control("edComfirm")));
                EXPECT_EQ(first79, textOf(control("stClipboard")));
                EXPECT_TRUE(wizard.clipboardTimerRunning());
                EXPECT_TRUE(guard.running());
                EXPECT_EQ(first79, std::string(guard.remembered()));
                SendMessageA(wizard.handle(), WM_TIMER, TfrmAddItem::kClipboardTimer, 0);
                EXPECT_EQ("", textOf(control("stClipboard"))) << "Timer1 empties the line";
                EXPECT_FALSE(wizard.clipboardTimerRunning());

                type("edPassword", "typed");
                press("sbView");
                EXPECT_EQ("typed", textOf(control("stClipboard")));
                EXPECT_TRUE(wizard.clipboardTimerRunning());

                // No text on the clipboard: the fields are emptied and the guard stops.
                clipboard.clear();
                press("sbPaste");
                EXPECT_EQ("", textOf(control("edPassword")));
                EXPECT_EQ("", textOf(control("edComfirm")));
                EXPECT_FALSE(guard.running());
                press("sbCancel");
            },
        });
    EXPECT_EQ("", textOf(control("stClipboard"))) << "closing empties the line";
    EXPECT_FALSE(wizard.clipboardTimerRunning());
}

TEST_F(EntryWizardWindowTest, ASecondOpeningOnlyBringsTheWizardToTheFront) {
    EntryDraft draft;
    EntryDraft second;
    second.title = "Other";
    bool secondResult = true;
    run(draft, true,
        {
            [&] {
                type("edTitle", "First");
                secondResult = wizard.editEntryValues(second, false);
                EXPECT_EQ("First", textOf(control("edTitle"))) << "nothing changes";
                EXPECT_EQ("Add New Entry", textOf(wizard.handle()));
                press("sbCancel");
            },
        });
    EXPECT_FALSE(secondResult);
    EXPECT_EQ("Other", second.title);
}

// The commands open the program's own wizard from the main window.
class EntryWizardMainTest : public MainWindowFixture {
  protected:
    TfrmAddItem& wizard() {
        return static_cast<EntriesFeature*>(main_->feature(Feature::Entries))->wizard();
    }
    HWND field(const char* name) { return wizard().get<TControl>(name).handle(); }
    // (The fixture's click() is a click on a list.)
};

TEST_F(EntryWizardMainTest, CtrlNAddsAnEntryAndEnterEditsIt) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    {
        ModalScript script(wizard(), {
                                         [&] {
                                             SetWindowTextA(field("edTitle"), "Added");
                                             kh::test::click(field("sbNext"));
                                         },
                                         [&] { kh::test::click(field("sbNext")); },
                                         [&] {
                                             SetWindowTextA(field("edPassword"), "pw-added");
                                             SetWindowTextA(field("edComfirm"), "pw-added");
                                             kh::test::click(field("sbNext"));
                                         },
                                         [&] { kh::test::click(field("sbNext")); },
                                     });
        press(all, 'N', true);
        EXPECT_TRUE(script.finished());
    }
    ASSERT_EQ(6, rowCount(all));
    EXPECT_EQ("Added", cell(all, 5, kColumnTitle));
    EXPECT_EQ(kIconNew, icon(all, 5));
    EXPECT_TRUE(main_->session().modified());

    // Enter on the list edits the current entry.
    selectOnly(all, 5);
    SetFocus(all);
    {
        ModalScript script(wizard(), {
                                         [&] {
                                             EXPECT_EQ("Edit Entry: Added!",
                                                       windowText(wizard().handle()));
                                             SetWindowTextA(field("edTitle"), "Edited");
                                             kh::test::click(field("sbNext"));
                                         },
                                         [&] { kh::test::click(field("sbNext")); },
                                         [&] { kh::test::click(field("sbNext")); },
                                         [&] { kh::test::click(field("sbNext")); },
                                     });
        press(all, VK_RETURN);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_EQ("Edited", cell(all, 5, kColumnTitle));
    EXPECT_EQ(kIconChanged, icon(all, 5));
}

TEST_F(EntryWizardMainTest, DoubleClickEditsAfterTakingTheEntrysPasswordOffTheClipboard) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    selectOnly(all, 3); // wifi
    SystemClipboard clipboard;
    ASSERT_TRUE(clipboard.setText("Mango"));
    {
        ModalScript script(wizard(), {[&] {
                               EXPECT_EQ("Edit Entry: wifi!", windowText(wizard().handle()));
                               EXPECT_FALSE(clipboard.hasText())
                                   << "emptied before the wizard opened";
                               kh::test::click(field("sbCancel"));
                           }});
        notify(all, NM_DBLCLK);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_FALSE(main_->session().modified());
}

TEST_F(EntryWizardMainTest, AnAutomaticLogoutClosesTheWizardAndDropsItsResult) {
    writeConfig("Setting", "MainGuard", "1");
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    {
        ModalScript script(wizard(), {[&] {
                               SetWindowTextA(field("edTitle"), "Too late");
                               // A minute without action: the idle timer logs the account out.
                               timerTicks(TfrmMain::kGuardTimer, 40);
                           }});
        press(all, 'N', true);
        EXPECT_TRUE(script.finished());
    }
    EXPECT_FALSE(main_->session().isLoggedIn());
    EXPECT_FALSE(wizard().isVisible());
    EXPECT_EQ(0, rowCount(all));
}

} // namespace
} // namespace kh::test
