// The form framework driven through real windows: class names, where the form's state
// lives, the modal loop, keys at form level, the translatable walk and menus.
#include "ui_test_support.h"

#include "win32/form.h"
#include "win32/menu.h"
#include "win32/skin_controls.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kh {
namespace {

using test::altKey;
using test::click;
using test::keyDown;

constexpr int kIdOk = 101;

const ControlDef kControls[] = {
    {.name = "lbTitle",
     .kind = ControlKind::Label,
     .caption = "Account Name:",
     .hint = "",
     .x = 8,
     .y = 8,
     .width = 120,
     .height = 16},
    {.name = "edName",
     .kind = ControlKind::Edit,
     .hint = "Your account name",
     .x = 8,
     .y = 28,
     .width = 150,
     .height = 22,
     .maxLength = 150},
    {.name = "edPassword",
     .kind = ControlKind::MaskEdit,
     .x = 8,
     .y = 56,
     .width = 150,
     .height = 22},
    {.name = "sbBack",
     .kind = ControlKind::SkinButton,
     .caption = "&Back",
     .x = 8,
     .y = 90,
     .width = 75,
     .height = 25,
     .options = opt::inactive},
    {.name = "sbOk",
     .kind = ControlKind::SkinButton,
     .caption = "&Next",
     .hint = "Go on",
     .x = 90,
     .y = 90,
     .width = 75,
     .height = 25,
     .commandId = kIdOk,
     .modalResult = ModalResult::Ok},
    {.name = "sbCancel",
     .kind = ControlKind::SkinButton,
     .caption = "&Cancel",
     .x = 170,
     .y = 90,
     .width = 75,
     .height = 25,
     .modalResult = ModalResult::Cancel},
    {.name = "nbPages",
     .kind = ControlKind::Notebook,
     .x = 8,
     .y = 120,
     .width = 240,
     .height = 60},
    {.name = "pgFirst", .kind = ControlKind::Page, .width = 240, .height = 60, .parent = "nbPages"},
    {.name = "pgSecond",
     .kind = ControlKind::Page,
     .width = 240,
     .height = 60,
     .parent = "nbPages"},
    {.name = "edOnFirst",
     .kind = ControlKind::Edit,
     .x = 4,
     .y = 4,
     .width = 100,
     .height = 22,
     .parent = "pgFirst"},
    {.name = "sbBrowse",
     .kind = ControlKind::SkinButton,
     .caption = "B&rowse",
     .x = 4,
     .y = 4,
     .width = 75,
     .height = 25,
     .parent = "pgSecond"},
    {.name = "gbBox",
     .kind = ControlKind::GroupBox,
     .caption = "Account Password",
     .x = 8,
     .y = 185,
     .width = 240,
     .height = 40},
    {.name = "mmNotes",
     .kind = ControlKind::Memo,
     .x = 260,
     .y = 8,
     .width = 100,
     .height = 60,
     .options = opt::hidden},
};

const MenuItemDef kMenu[] = {
    {.name = "miAccount", .caption = "&Account"},
    {.name = "miSave",
     .caption = "&Save Account Data\tCtrl+S",
     .commandId = 201,
     .tag = 7,
     .level = 1},
    {.name = "N1", .caption = "-", .level = 1},
    {.name = "miLarge",
     .caption = "Large Icons",
     .commandId = 202,
     .level = 1,
     .options = menuopt::radio},
    {.name = "miDetails",
     .caption = "Details",
     .commandId = 203,
     .level = 1,
     .options = menuopt::radio | menuopt::checked},
    {.name = "miQuit", .caption = "Quit Keyhaven", .commandId = 204},
};

class TestForm : public TForm {
  public:
    explicit TestForm(bool reserveUserData = false, std::string name = "TfrmTest")
        : TForm(FormDesign{.className = std::move(name),
                           .caption = "Test Form",
                           .clientWidth = 380,
                           .clientHeight = 240,
                           .stateInExtraBytes = reserveUserData},
                kControls) {
        addMenu("pmMain", kMenu);
    }

    std::vector<UINT> keysSeen;
    std::vector<int> commands;
    UINT consumeKey = 0;
    int appMessages = 0;

  protected:
    bool onKeyDown(const KeyPress& key) override {
        keysSeen.push_back(key.key);
        return key.key == consumeKey;
    }
    // Clicks and menu commands; edits report focus and changes as well.
    void onCommand(int id, int code, HWND) override {
        if (code == 0) commands.push_back(id);
    }
    LRESULT handleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_APP + 1) {
            ++appMessages;
            return 0x55;
        }
        return TForm::handleMessage(msg, wParam, lParam);
    }
};

TEST(Form, WindowClassIsTheFormsNameAndFindsItsForm) {
    TestForm form(false, "TfrmKeyhavenTest");
    ASSERT_TRUE(form.create());
    char name[64] = {};
    GetClassNameA(form.handle(), name, sizeof(name));
    EXPECT_STREQ("TfrmKeyhavenTest", name);
    EXPECT_EQ(&form, TForm::fromHandle(form.handle()));
    EXPECT_EQ(nullptr, TForm::fromHandle(form.get<TControl>("edName").handle()));
    EXPECT_EQ(0x55, SendMessageA(form.handle(), WM_APP + 1, 0, 0));
}

TEST(Form, ReservedUserDataStaysFreeForTheProgramsMarker) {
    TestForm plain(false, "TfrmPlain");
    ASSERT_TRUE(plain.create());
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&plain), GetWindowLongPtrA(plain.handle(), GWLP_USERDATA));

    TestForm login(true, "TfrmLoginTest");
    ASSERT_TRUE(login.create());
    EXPECT_EQ(0, GetWindowLongPtrA(login.handle(), GWLP_USERDATA));
    SetWindowLongPtrA(login.handle(), GWLP_USERDATA, 0x12345678);
    // The marker does not disturb the form: messages still reach it and its buttons work.
    EXPECT_EQ(0x55, SendMessageA(login.handle(), WM_APP + 1, 0, 0));
    EXPECT_EQ(1, login.appMessages);
    EXPECT_EQ(&login, TForm::fromHandle(login.handle()));
    test::postClick(login.get<QSkinButton>("sbOk").handle());
    EXPECT_EQ(ModalResult::Ok, login.showModal());
    EXPECT_EQ(0x12345678, GetWindowLongPtrA(login.handle(), GWLP_USERDATA));
}

TEST(Form, ModalResultClosesTheModalFormAndReturnsIt) {
    TestForm owner(false, "TfrmOwner");
    TestForm dialog(false, "TfrmDialog");
    ASSERT_TRUE(owner.create());
    owner.show();
    ASSERT_TRUE(dialog.create());
    bool ownerEnabledDuringModal = true;
    auto& ok = dialog.get<QSkinButton>("sbOk");
    ok.OnClick = [&] { ownerEnabledDuringModal = IsWindowEnabled(owner.handle()) != FALSE; };

    test::postClick(ok.handle());
    EXPECT_EQ(ModalResult::Ok, dialog.showModal(owner.handle()));
    EXPECT_FALSE(ownerEnabledDuringModal);
    EXPECT_TRUE(IsWindowEnabled(owner.handle()));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(std::vector<int>{kIdOk}, dialog.commands);

    // Reused, not rebuilt: the same window answers the next run.
    const HWND first = dialog.handle();
    test::postClick(dialog.get<QSkinButton>("sbCancel").handle());
    EXPECT_EQ(ModalResult::Cancel, dialog.showModal(owner.handle()));
    EXPECT_EQ(first, dialog.handle());

    // The close box ends the run with Cancel.
    PostMessageA(dialog.handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ModalResult::Cancel, dialog.showModal(owner.handle()));

    // A handler that withdraws the result keeps the form open.
    int clicks = 0;
    ok.OnClick = [&] {
        if (++clicks == 1) dialog.setModalResult(ModalResult::None);
    };
    test::postClick(ok.handle());
    test::postClick(ok.handle());
    EXPECT_EQ(ModalResult::Ok, dialog.showModal(owner.handle()));
    EXPECT_EQ(2, clicks);
}

TEST(Form, KeysReachTheFormBeforeTheFocusedControl) {
    TestForm form;
    form.show();
    const HWND edit = form.get<TControl>("edName").handle();
    form.consumeKey = 'Z';
    keyDown(edit, 'Z');
    SendMessageA(edit, WM_CHAR, 'z', 1); // what TranslateMessage would add
    keyDown(edit, 'A');
    SendMessageA(edit, WM_CHAR, 'a', 1);
    EXPECT_EQ((std::vector<UINT>{'Z', 'A'}), form.keysSeen);
    EXPECT_EQ("a", test::windowText(edit));

    // Skinned controls hand their keys to the form too.
    form.consumeKey = VK_RETURN;
    int clicks = 0;
    auto& ok = form.get<QSkinButton>("sbOk");
    ok.OnClick = [&] { ++clicks; };
    keyDown(ok.handle(), VK_RETURN);
    EXPECT_EQ(0, clicks);
    form.consumeKey = 0;
    keyDown(ok.handle(), VK_RETURN);
    keyDown(ok.handle(), VK_SPACE);
    EXPECT_EQ(2, clicks);
}

// Every kind of window a form is made of hands its keys to the form first, and takes the
// character after a key the form consumed, so that it reaches no control.
TEST(Form, EveryWindowOfTheFormRoutesKeysAndTheirCharacters) {
    struct Case {
        const char* window; // "" for the form itself
        const char* kind;
    };
    const Case cases[] = {
        {"", "the form"},
        {"edName", "a standard control"},
        {"pgFirst", "a notebook page"},
        {"sbOk", "a skinned control"},
    };
    TestForm form;
    form.show();
    const HWND edit = form.get<TControl>("edName").handle();
    form.consumeKey = 'Z';
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const HWND target = *c.window ? form.get<TControl>(c.window).handle() : form.handle();
        form.keysSeen.clear();
        SetWindowTextA(edit, "");
        keyDown(target, 'Z');
        SendMessageA(target, WM_CHAR, 'z', 1);
        // Had the window not taken the swallowed character, the edit would lose this one.
        SendMessageA(edit, WM_CHAR, 'a', 1);
        EXPECT_EQ("a", test::windowText(edit));
        keyDown(target, 'Q');
        EXPECT_EQ((std::vector<UINT>{'Z', 'Q'}), form.keysSeen);
    }
}

TEST(Form, TabMovesBetweenTabStopsInTableOrder) {
    TestForm form;
    form.show();
    auto focusName = [&] {
        TControl* focused = form.controlOf(GetFocus());
        return focused ? focused->name() : std::string("(none)");
    };
    form.get<TControl>("edName").setFocus();
    // Skipped: the inactive sbBack, the hidden second page and the hidden memo.
    const std::array<const char*, 5> forward = {"edPassword", "sbOk", "sbCancel", "edOnFirst",
                                                "edName"};
    for (const char* expected : forward) {
        keyDown(GetFocus(), VK_TAB);
        EXPECT_EQ(expected, focusName());
    }
    test::setShift(true);
    keyDown(GetFocus(), VK_TAB);
    test::setShift(false);
    EXPECT_EQ("edOnFirst", focusName());
}

TEST(Form, AltLetterPressesTheActiveVisibleSkinnedButton) {
    TestForm form;
    form.show();
    const HWND edit = form.get<TControl>("edName").handle();
    int back = 0;
    int browse = 0;
    int cancel = 0;
    form.get<QSkinButton>("sbBack").OnClick = [&] { ++back; };
    form.get<QSkinButton>("sbBrowse").OnClick = [&] { ++browse; };
    form.get<QSkinButton>("sbCancel").OnClick = [&] { ++cancel; };

    altKey(edit, 'C');
    altKey(edit, 'B'); // sbBack is inactive
    altKey(edit, 'R'); // sbBrowse is on the hidden page
    EXPECT_EQ(1, cancel);
    EXPECT_EQ(0, back);
    EXPECT_EQ(0, browse);

    form.get<QSkinButton>("sbBack").setActive(true);
    form.get<TContainer>("nbPages").setPageIndex(1);
    altKey(edit, 'B');
    altKey(edit, 'R');
    EXPECT_EQ(1, back);
    EXPECT_EQ(1, browse);
    // The form's own key hook still comes first.
    form.consumeKey = 'C';
    altKey(edit, 'C');
    EXPECT_EQ(1, cancel);
}

TEST(Form, NotebookShowsOnePageAndIgnoresBadIndexes) {
    TestForm form;
    form.show();
    auto& notebook = form.get<TContainer>("nbPages");
    EXPECT_EQ(2, notebook.pageCount());
    EXPECT_EQ(0, notebook.pageIndex());
    notebook.setPageIndex(1);
    notebook.setPageIndex(2);
    notebook.setPageIndex(-1);
    EXPECT_EQ(1, notebook.pageIndex());
    EXPECT_FALSE(form.get<TControl>("edOnFirst").isShowing());
    EXPECT_TRUE(form.get<TControl>("sbBrowse").isShowing());
}

struct Expected {
    const char* name;
    ComponentKind kind;
    const char* text;
    const char* hint;
};

TEST(Form, WalkGivesTheTablesNamesKindsCaptionsAndHints) {
    TestForm form;
    ASSERT_TRUE(form.create());
    EXPECT_EQ(ComponentKind::Window, form.componentKind());
    EXPECT_EQ("TfrmTest", form.componentName());
    EXPECT_EQ("Test Form", form.text());

    const Expected expected[] = {
        {"lbTitle", ComponentKind::Label, "Account Name:", ""},
        {"edName", ComponentKind::Other, "", "Your account name"},
        {"edPassword", ComponentKind::Other, "", ""},
        {"sbBack", ComponentKind::SkinnedControl, "&Back", ""},
        {"sbOk", ComponentKind::SkinnedControl, "&Next", "Go on"},
        {"sbCancel", ComponentKind::SkinnedControl, "&Cancel", ""},
        {"nbPages", ComponentKind::Other, "", ""},
        {"pgFirst", ComponentKind::Other, "", ""},
        {"pgSecond", ComponentKind::Other, "", ""},
        {"edOnFirst", ComponentKind::Other, "", ""},
        {"sbBrowse", ComponentKind::SkinnedControl, "B&rowse", ""},
        {"gbBox", ComponentKind::GroupBox, "Account Password", ""},
        {"mmNotes", ComponentKind::Other, "", ""},
        {"miAccount", ComponentKind::MenuItem, "&Account", ""},
        {"miSave", ComponentKind::MenuItem, "&Save Account Data", ""}, // the shortcut is no text
        {"N1", ComponentKind::MenuItem, "-", ""},
        {"miLarge", ComponentKind::MenuItem, "Large Icons", ""},
        {"miDetails", ComponentKind::MenuItem, "Details", ""},
        {"miQuit", ComponentKind::MenuItem, "Quit Keyhaven", ""},
    };
    const std::vector<TranslatableComponent*> owned = form.ownedComponents();
    ASSERT_EQ(std::size(expected), owned.size());
    for (std::size_t i = 0; i < owned.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(expected[i].name, owned[i]->componentName());
        EXPECT_EQ(expected[i].kind, owned[i]->componentKind());
        EXPECT_EQ(expected[i].text, owned[i]->text());
        EXPECT_EQ(expected[i].hint, owned[i]->hint());
        EXPECT_EQ(expected[i].kind != ComponentKind::MenuItem, owned[i]->isVisualControl());
    }
}

std::string tooltipText(HWND tooltip, HWND form, HWND control) {
    char buffer[256] = {};
    TOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = form;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = buffer;
    SendMessageA(tooltip, TTM_GETTEXTA, sizeof(buffer), reinterpret_cast<LPARAM>(&info));
    return buffer;
}

TEST(Form, TranslatedTextsAndHintsReachTheWindows) {
    TestForm form;
    ASSERT_TRUE(form.create());
    const std::vector<TranslatableComponent*> owned = form.ownedComponents();
    auto component = [&](const char* name) {
        for (TranslatableComponent* c : owned)
            if (c->componentName() == name) return c;
        ADD_FAILURE() << name;
        return owned.front();
    };
    form.setText("Testformular");
    component("lbTitle")->setText("Kontoname:");
    component("sbOk")->setText("&Weiter");
    component("sbOk")->setHint("Weiter gehen");
    component("edName")->setHint("Ihr Kontoname");
    component("miSave")->setText("&Speichern");
    component("N1")->setText("ignored");

    EXPECT_EQ("Testformular", test::windowText(form.handle()));
    EXPECT_EQ("Kontoname:", test::windowText(form.get<TControl>("lbTitle").handle()));
    EXPECT_EQ("&Weiter", form.get<QSkinButton>("sbOk").caption());
    const HWND ok = form.get<TControl>("sbOk").handle();
    EXPECT_EQ("Weiter gehen", tooltipText(form.tooltip(), form.handle(), ok));
    const HWND name = form.get<TControl>("edName").handle();
    EXPECT_EQ("Ihr Kontoname", tooltipText(form.tooltip(), form.handle(), name));

    TMenuItem& save = *form.menu("pmMain")->item("miSave");
    char caption[64] = {};
    GetMenuStringA(save.parentMenu(), 0, caption, sizeof(caption), MF_BYPOSITION);
    EXPECT_STREQ("&Speichern\tCtrl+S", caption); // a translation keeps the item's shortcut
    EXPECT_EQ("-", component("N1")->text());
    // Alt+letter follows the new caption.
    int clicks = 0;
    form.get<QSkinButton>("sbOk").OnClick = [&] { ++clicks; };
    form.show();
    altKey(name, 'N');
    altKey(name, 'W');
    EXPECT_EQ(1, clicks);
}

TEST(Form, MenuTableBuildsSubmenusChecksAndRoutesCommands) {
    TestForm form;
    ASSERT_TRUE(form.create());
    TMenu& menu = *form.menu("pmMain");
    EXPECT_EQ(2, GetMenuItemCount(menu.handle()));
    TMenuItem& account = *menu.item("miAccount");
    ASSERT_NE(nullptr, account.submenu());
    EXPECT_EQ(4, GetMenuItemCount(account.submenu()));
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(account.submenu(), 1, TRUE, &info);
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);

    TMenuItem& large = *menu.item("miLarge");
    TMenuItem& details = *menu.item("miDetails");
    EXPECT_TRUE(details.checked());
    large.setChecked(true);
    EXPECT_TRUE(large.checked());
    EXPECT_FALSE(details.checked());
    details.setEnabled(false);
    EXPECT_FALSE(details.enabled());

    int tagSeen = -1;
    menu.item("miSave")->OnClick = [&](TMenuItem& item) { tagSeen = item.tag(); };
    SendMessageA(form.handle(), WM_COMMAND, MAKEWPARAM(201, 0), 0);
    EXPECT_EQ(7, tagSeen);
    EXPECT_EQ(std::vector<int>{201}, form.commands);
}

TEST(Form, MaskedEditKeepsItsTextOutOfPlainStrings) {
    TestForm form;
    ASSERT_TRUE(form.create());
    auto& password = form.get<TNativeControl>("edPassword");
    SetWindowTextA(password.handle(), "s3cret pass");
    EXPECT_EQ("", password.text());
    EXPECT_EQ("s3cret pass", password.secretText());
    EXPECT_EQ('*', static_cast<char>(SendMessageA(password.handle(), EM_GETPASSWORDCHAR, 0, 0)));
    password.wipeText();
    EXPECT_EQ("", password.secretText());
    EXPECT_EQ(150, SendMessageA(form.get<TControl>("edName").handle(), EM_GETLIMITTEXT, 0, 0));
}

TEST(Form, GeometryAndFontFollowTheDpi) {
    TestForm form;
    ASSERT_TRUE(form.create());
    RECT client{};
    GetClientRect(form.handle(), &client);
    EXPECT_EQ(form.scale(380), client.right);
    RECT edit{};
    GetWindowRect(form.get<TControl>("edName").handle(), &edit);
    EXPECT_EQ(form.scale(150), edit.right - edit.left);
    LOGFONTA font{};
    GetObjectA(form.font(), sizeof(font), &font);
    LOGFONTA bold{};
    GetObjectA(form.font(opt::bold), sizeof(bold), &bold);
    EXPECT_NE(0, font.lfHeight);
    EXPECT_EQ(font.lfHeight, bold.lfHeight);
    EXPECT_EQ(FW_BOLD, bold.lfWeight);
}

// Dark pixels of a few letters drawn in a font.
int inkOf(HFONT font) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 80);
    ReleaseDC(nullptr, screen);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    RECT all{0, 0, 200, 80};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 2, 2, "Wmli", 4);
    int ink = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 200; ++x)
            if (GetPixel(dc, x, y) != RGB(255, 255, 255)) ++ink;
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
}

TEST(Form, BoldTextIsDrawnBoldAtLargerSizesToo) {
    // Large text is what a high DPI gives every text of the window.
    TestForm form;
    ASSERT_TRUE(form.create());
    for (unsigned size : {0u, opt::large}) {
        SCOPED_TRACE(size);
        EXPECT_GE(inkOf(form.font(size | opt::bold)) * 10, inkOf(form.font(size)) * 12);
    }
}

// A caption wider than its control takes a smaller font, never below three quarters of
// the form's, and gives it back when a shorter caption or a larger control lets it.
TEST(Form, CaptionsTooLongForTheirControlsTakeASmallerFont) {
    TestForm form;
    ASSERT_TRUE(form.create());
    HDC dc = CreateCompatibleDC(nullptr);
    const auto heightOf = [](HFONT font) {
        LOGFONTA face{};
        GetObjectA(font, sizeof face, &face);
        return face.lfHeight < 0 ? -face.lfHeight : face.lfHeight;
    };
    const int full = heightOf(form.font());
    auto& label = form.get<TNativeControl>("lbTitle");
    auto& button = form.get<QSkinButton>("sbOk");
    auto& group = form.get<TNativeControl>("gbBox");
    for (TControl* control : {static_cast<TControl*>(&label), static_cast<TControl*>(&button),
                              static_cast<TControl*>(&group)})
        EXPECT_EQ(form.font(), control->captionFont()) << control->name();

    struct Case {
        TControl* control;
        std::string caption;
        bool fitsAtFull;
    };
    const Case cases[] = {
        {&label, "Name of your account file:", false}, // wraps: two lines are too tall
        {&button, "&Durchsuchen...", false},
        {&group, "A group caption far too long for its frame at all", false},
        {&label, "Name:", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        c.control->setText(c.caption);
        const std::optional<CaptionRoom> room = c.control->captionRoom();
        ASSERT_TRUE(room);
        EXPECT_EQ(c.fitsAtFull, captionOverflow(dc, form.font(), c.caption, *room) == 0);
        EXPECT_EQ(c.fitsAtFull, c.control->captionFont() == form.font());
        const int height = heightOf(c.control->captionFont());
        EXPECT_GE(height * 4, full * 3);
        if (!c.fitsAtFull && captionOverflow(dc, c.control->captionFont(), c.caption, *room) == 0) {
            // The largest font that fits: one size up does not.
            LOGFONTA face{};
            GetObjectA(c.control->captionFont(), sizeof face, &face);
            face.lfHeight += face.lfHeight < 0 ? -1 : 1;
            const Font larger(CreateFontIndirectA(&face));
            EXPECT_GT(captionOverflow(dc, larger.get(), c.caption, *room), 0);
        }
    }
    // The native control draws with the font chosen for it.
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(group.handle(), WM_GETFONT, 0, 0)),
              group.captionFont());
    // Room enough again: the form's font comes back.
    button.setBounds(90, 90, 200, 25);
    EXPECT_EQ(form.font(), button.captionFont());
    DeleteDC(dc);
}

} // namespace
} // namespace kh
