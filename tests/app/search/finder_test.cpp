// The finder over a real session and entry list: the option rules of the find dialog, the
// matches selected and shown, Find Again through the list and past its end, the start
// moved by the user's selection but not by the search's own, a type tab, the dialog's
// messages, and what logging out forgets.
#include "../interchange/open_vault.h"

#include "finder.h"
#include "text_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh::test {
namespace {

using namespace vault;

using Texts = std::vector<std::string>;

const std::vector<VaultRow>& searchRows() {
    static const std::vector<VaultRow> rows = {
        {kEntryPassword, "Mail", "webmail", "Secret-Kiwi", "the mail account"},
        {kEntryLink, "BANK", "money", "pw-bank", "https://bank.example.com"},
        {kEntryText, "Note", "kiwi list", "2024", "buy kiwi"},
        {kEntryPassword, "wifi", "router", "kiwi99", "home"},
        {kEntryLink, "Forum", "board", "pw-forum", "forum.example.net/kiwi"},
        {kEntryText, "Empty", "none", "zzz", "nothing"},
    };
    return rows;
}

class FinderTest : public OpenVault {
  protected:
    FinderTest() : OpenVault(searchRows()), finder(session, list, messages, window) {}

    static SearchRequest request(const char* text) {
        SearchRequest r;
        r.text = text;
        return r;
    }
    std::string notFound(std::string_view text) const {
        return formatText(messages.text(Msg::warnnotfound), {text});
    }
    int findAgain() {
        int opened = 0;
        finder.findAgain([&opened] { ++opened; });
        return opened;
    }

    Finder finder;
};

TEST_F(FinderTest, TheOptionsDecideWhereTheTextIsLookedFor) {
    struct Case {
        const char* what;
        const char* text;
        void (*options)(SearchRequest&);
        Texts found;
    };
    const auto all = [](SearchRequest& r) { r.findAll = true; };
    const Case cases[] = {
        {"defaults: title, password, detail", "kiwi", all, {"Mail", "Note", "wifi", "Forum"}},
        {"a text only in a password, shown as ******", "secret", all, {"Mail"}},
        {"lower case finds an upper-case title", "bank", all, {"BANK"}},
        {"case-sensitive",
         "Bank",
         [](SearchRequest& r) { r.findAll = r.caseSensitive = true; },
         {}},
        {"what's this is off by default", "money", all, {}},
        {"what's this on",
         "money",
         [](SearchRequest& r) { r.findAll = r.inWhatsThis = true; },
         {"BANK"}},
        {"password off",
         "secret",
         [](SearchRequest& r) { r.findAll = true, r.inPassword = false; },
         {}},
        {"detail off", "buy", [](SearchRequest& r) { r.findAll = true, r.inDetail = false; }, {}},
        {"title off", "wifi", [](SearchRequest& r) { r.findAll = true, r.inTitle = false; }, {}},
        {"without find-all the first match only", "kiwi", [](SearchRequest&) {}, {"Mail"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SearchRequest r = request(c.text);
        c.options(r);
        list.selectOnly(list.visibleList(), -1); // nothing found leaves the selection alone
        const int last = finder.findEntries(r);
        EXPECT_EQ(c.found, selectedTitles());
        if (c.found.empty()) {
            EXPECT_EQ(-1, last);
        } else {
            EXPECT_EQ(c.found.back(), list.row(EntryView::lvPassword, last).caption);
            EXPECT_EQ(last, window.shownRows.back());
        }
    }
}

TEST_F(FinderTest, FindAgainWalksTheMatchesAndStopsAtTheEnd) {
    EXPECT_EQ(0, finder.findEntries(request("kiwi")));
    EXPECT_EQ("Found: 1 item!", ui.status);
    for (int expected : {2, 3, 4}) {
        EXPECT_EQ(0, findAgain());
        EXPECT_EQ(Texts{list.row(EntryView::lvPassword, expected).caption}, selectedTitles());
    }
    EXPECT_EQ((std::vector<int>{0, 2, 3, 4}), window.shownRows);
    EXPECT_TRUE(ui.warnings.empty());

    // No wrap-around: past the last match it stays not found, and the last match stays
    // selected.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(0, findAgain());
        EXPECT_EQ(Texts(i + 1, notFound("kiwi")), ui.warnings);
        EXPECT_EQ(notFound("kiwi"), ui.status);
        EXPECT_EQ(Texts{list.row(EntryView::lvPassword, 4).caption}, selectedTitles());
    }

    // Until the user selects a row: the next search begins at that row.
    finder.rowSelected(2);
    findAgain();
    EXPECT_EQ(Texts{"Note"}, selectedTitles());
}

TEST_F(FinderTest, FindAllSelectsEveryMatchAndFindAgainGoesOnAfterTheLast) {
    SearchRequest r = request("kiwi");
    r.findAll = true;
    EXPECT_EQ(4, finder.findEntries(r));
    EXPECT_EQ("Found: 4 items!", ui.status);
    EXPECT_EQ(std::vector<int>{4}, window.shownRows);
    findAgain();
    EXPECT_EQ(Texts{notFound("kiwi")}, ui.warnings);
}

TEST_F(FinderTest, TheSearchesOwnSelectionDoesNotMoveItsStart) {
    // As the main window does: every selection it shows is reported as the user's.
    const auto watch = list.OnRowsChanged.subscribe([this](RowsChange) {
        const std::vector<int> selected = list.visibleSelection();
        if (!selected.empty()) finder.rowSelected(selected.front());
    });
    EXPECT_EQ(0, finder.findEntries(request("kiwi")));
    EXPECT_EQ(0, finder.state().searchStart());
    findAgain();
    EXPECT_EQ(Texts{"Note"}, selectedTitles());
}

TEST_F(FinderTest, ATypeTabIsSearchedAlone) {
    ASSERT_TRUE(list.chooseTypeTab(kEntryLink));
    SearchRequest r = request("kiwi");
    r.findAll = true;
    EXPECT_EQ(1, finder.findEntries(r)); // Forum, the second Link row
    EXPECT_EQ(Texts{"Forum"}, selectedTitles());
    EXPECT_EQ(std::vector<int>{4}, window.shownRows); // its row among all entries
    EXPECT_EQ(-1, finder.findEntries(request("secret")));
}

TEST_F(FinderTest, TheDialogsTextIsCheckedCutAndToldSafely) {
    using Outcome = Finder::DialogOutcome;
    const SearchRequest defaults;
    EXPECT_EQ(Outcome::EmptyText, finder.findFromDialog("", defaults, dialogs));
    EXPECT_EQ(Texts{"Please input the find string!"}, dialogs.warnings);
    EXPECT_FALSE(finder.hasText());

    // The text is a user's: placeholders in it are shown as typed.
    EXPECT_EQ(Outcome::NotFound, finder.findFromDialog("%s%d%n", defaults, dialogs));
    EXPECT_EQ("String: %s%d%n not found!", dialogs.warnings.back());

    const std::string longText = std::string(192, 'k') + "12345678";
    EXPECT_EQ(Outcome::NotFound, finder.findFromDialog(longText, defaults, dialogs));
    EXPECT_EQ(std::string(192, 'k'), finder.state().request().text);

    EXPECT_EQ(Outcome::Found, finder.findFromDialog("forum", defaults, dialogs));
    EXPECT_EQ(Texts{"Forum"}, selectedTitles());
    // Nothing found: the selection stays.
    EXPECT_EQ(Outcome::NotFound, finder.findFromDialog("nowhere", defaults, dialogs));
    EXPECT_EQ(Texts{"Forum"}, selectedTitles());
    EXPECT_EQ(4u, dialogs.warnings.size());
    EXPECT_TRUE(ui.warnings.empty()); // the dialog's boxes are its own
}

TEST_F(FinderTest, EarlierTextsAreNewestFirstWithoutRepeatsAndNeverFromPasswords) {
    SearchRequest defaults;
    defaults.inPassword = false;
    finder.findFromDialog("piece of a password", SearchRequest{}, dialogs);
    EXPECT_TRUE(finder.earlierTexts().empty());
    for (int i = 0; i < 12; ++i)
        finder.findFromDialog("text " + std::to_string(i), defaults, dialogs);
    finder.findFromDialog("text 5", defaults, dialogs);
    std::vector<std::string> earlier;
    for (const SecretString& text : finder.earlierTexts())
        earlier.emplace_back(text.view());
    EXPECT_EQ((Texts{"text 5", "text 11", "text 10", "text 9", "text 8", "text 7", "text 6",
                     "text 4", "text 3", "text 2"}),
              earlier);
}

TEST_F(FinderTest, LoggingOutForgetsTheSearch) {
    finder.findFromDialog("kiwi", SearchRequest{}, dialogs);
    ASSERT_TRUE(finder.hasText());
    finder.forget();
    EXPECT_FALSE(finder.hasText());
    EXPECT_EQ(-1, finder.state().searchStart());
    EXPECT_TRUE(finder.earlierTexts().empty());
    EXPECT_EQ(1, findAgain()); // no text: the dialog opens
}

TEST_F(FinderTest, NothingIsSearchedWhileLoggedOut) {
    session.endSession();
    EXPECT_EQ(-1, finder.findEntries(request("kiwi")));
    EXPECT_FALSE(finder.hasText());
    EXPECT_EQ(0, findAgain());
}

} // namespace
} // namespace kh::test
