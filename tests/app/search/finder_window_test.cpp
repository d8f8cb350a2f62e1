// The find dialog (TfrmFinder) and Find Again in the real main window under Wine, driven
// with window messages: Ctrl+F, typing and Enter, F3 through the list and past its end, a
// row the user selects, Find All in a type tab with the Alt keys, the dialog's boxes, and
// the search text gone with the account.
#include "../win32/main_window_fixture.h"

#include "search_feature.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

class FinderWindowTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        openWindow();
        login();
        feature_ = dynamic_cast<SearchFeature*>(main_->feature(Feature::Search));
        ASSERT_NE(feature_, nullptr);
        feature_->finderDialog().setPrompts(main_->dialogs);
    }

    TfrmFinder& finder() { return feature_->finderDialog(); }
    HWND combo() { return finder().get<TControl>("cbFind").handle(); }
    // The edit inside the combo box, where the user types.
    HWND textField() {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(combo(), &info);
        return info.hwndItem;
    }
    bool box(const char* name) { return finder().get<QCheckBox>(name).checked(); }
    void find(const char* text) {
        SetWindowTextA(textField(), text);
        keyDown(textField(), VK_RETURN);
    }
    bool searchTextExists() { return main_->searchFeature().searchTextExists(); }

    SearchFeature* feature_ = nullptr;
};

TEST_F(FinderWindowTest, CtrlFOpensTheDialogAndEnterFindsAPasswordsEntry) {
    HWND all = list(EntryView::lvPassword);
    press(all, 'F', true);
    ASSERT_TRUE(finder().isVisible());
    char className[32] = {};
    GetClassNameA(finder().handle(), className, sizeof className);
    EXPECT_STREQ("TfrmFinder", className);
    EXPECT_EQ("Find Password", windowText(finder().handle()));
    EXPECT_EQ(textField(), GetFocus());
    EXPECT_EQ(250, SendMessageA(textField(), EM_GETLIMITTEXT, 0, 0));
    const std::pair<const char*, bool> defaults[] = {
        {"qbCase", false},    {"qbTitle", true},   {"qbWhole", false},
        {"qbPassword", true}, {"qbComment", true}, {"qbAll", false},
    };
    for (const auto& [name, on] : defaults)
        EXPECT_EQ(on, box(name)) << name;
    EXPECT_FALSE(searchTextExists());

    find("mango"); // only in wifi's password; the list shows "******"
    EXPECT_FALSE(finder().isVisible());
    EXPECT_EQ(Texts{"wifi"}, selectedTitles(all));
    EXPECT_EQ("Found: 1 item!", main_->statusText());
    EXPECT_TRUE(searchTextExists());

    // F3 past the last match: not found, in a box and on the status bar.
    press(all, VK_F3);
    EXPECT_EQ(Texts{"String: mango not found!"}, main_->warnings);
    EXPECT_EQ("String: mango not found!", main_->statusText());
    EXPECT_EQ(Texts{"wifi"}, selectedTitles(all)); // nothing found: the selection stays

    // A row the user selects is where the next search begins.
    selectOnly(all, 0);
    press(all, VK_F3);
    EXPECT_EQ(Texts{"wifi"}, selectedTitles(all));
    EXPECT_EQ(1u, main_->warnings.size());
}

TEST_F(FinderWindowTest, FindAllInATypeTabWithTheAltKeysThenFindAgain) {
    ASSERT_TRUE(main_->chooseTab(kEntryLink));
    main_->runCommand(CommandId::ToolFind);
    ASSERT_TRUE(finder().isVisible());
    altKey(textField(), 'A');
    EXPECT_TRUE(box("qbAll"));
    altKey(textField(), 'P'); // passwords off: "a" is in every password of the tab
    EXPECT_FALSE(box("qbPassword"));
    find("an"); // Bank by its title; Forum only by its password, "banana"
    HWND links = list(EntryView::lvSub);
    EXPECT_EQ(Texts{"Bank"}, selectedTitles(links));

    main_->runCommand(CommandId::FindInAccount);
    EXPECT_EQ("", windowText(textField()));
    EXPECT_TRUE(box("qbAll")); // the boxes keep their states
    altKey(textField(), 'P');
    find("an");
    EXPECT_EQ((Texts{"Bank", "Forum"}), selectedTitles(links));
    EXPECT_TRUE(selectedTitles(list(EntryView::lvPassword)).empty());

    // Without find-all, F3 goes from match to match.
    main_->runCommand(CommandId::FindPassword);
    altKey(textField(), 'A');
    find("example");
    EXPECT_EQ(Texts{"Bank"}, selectedTitles(links));
    press(links, VK_F3);
    EXPECT_EQ(Texts{"Forum"}, selectedTitles(links));
    EXPECT_TRUE(main_->warnings.empty());
}

TEST_F(FinderWindowTest, AnEmptyOrMissingTextKeepsTheDialogOpenAndEscClosesIt) {
    main_->runCommand(CommandId::FindPassword);
    keyDown(textField(), VK_RETURN);
    EXPECT_EQ(Texts{"Please input the find string!"}, main_->warnings);
    EXPECT_TRUE(finder().isVisible());

    find("no such thing");
    EXPECT_EQ("String: no such thing not found!", main_->warnings.back());
    EXPECT_TRUE(finder().isVisible());
    EXPECT_EQ("no such thing", windowText(textField())); // kept to be corrected
    // Searched among the passwords: not kept for the drop-down.
    EXPECT_EQ(0, SendMessageA(combo(), CB_GETCOUNT, 0, 0));
    altKey(textField(), 'P'); // passwords off
    find("nothing either");
    EXPECT_EQ(1, SendMessageA(combo(), CB_GETCOUNT, 0, 0)); // the earlier text to choose

    keyDown(textField(), VK_ESCAPE);
    EXPECT_FALSE(finder().isVisible());
}

TEST_F(FinderWindowTest, TheSearchTextGoesWithTheAccount) {
    main_->runCommand(CommandId::FindPassword);
    find("kiwi");
    ASSERT_TRUE(searchTextExists());
    main_->runCommand(CommandId::FindPassword);
    SetWindowTextA(textField(), "typed, not searched");

    main_->yesNoAnswers.push_back(true);
    main_->session().logoutCommand();
    ASSERT_FALSE(main_->session().isLoggedIn());
    EXPECT_FALSE(searchTextExists());
    EXPECT_FALSE(finder().isVisible());
    EXPECT_EQ("", windowText(textField()));
    EXPECT_EQ(0, SendMessageA(combo(), CB_GETCOUNT, 0, 0));

    // Logged in again, F3 has nothing to repeat: it opens the dialog.
    login();
    press(list(EntryView::lvPassword), VK_F3);
    EXPECT_TRUE(finder().isVisible());
    EXPECT_TRUE(selectedTitles(list(EntryView::lvPassword)).empty());
}

} // namespace
} // namespace kh::test
