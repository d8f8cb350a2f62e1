// The main window built for real and driven with window messages: the entry lists after a
// login, sorting, the type tabs, delete and undelete with a save, logout, the password in
// the banner, the automatic logout and the settings written at the end.
#include "main_window_fixture.h"

#include "language_feature.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

constexpr char kPrompting[] = "Waiting For Login...";

class MainWindowTest : public MainWindowFixture {};

TEST_F(MainWindowTest, LoginShowsEveryRowWithItsTexts) {
    openWindow();
    EXPECT_EQ(kPrompting, main_->bannerText());
    EXPECT_FALSE(main_->get<TToolButton>("tbLogout").isActive());
    login();

    EXPECT_EQ("Account: alice [Total: 5 Entries]", main_->bannerText());
    EXPECT_EQ("Successfully Loaded: alice!", main_->statusText());
    EXPECT_TRUE(main_->warnings.empty());
    EXPECT_TRUE(main_->get<TToolButton>("tbLogout").isActive());
    EXPECT_FALSE(main_->get<TToolButton>("tbSaveAccount").isActive());

    for (EntryView view : {EntryView::lvPassword, EntryView::lvSub}) {
        Texts headings;
        for (int column = 0; column < kColumnCount; ++column) {
            char text[64] = {};
            LVCOLUMNA info{};
            info.mask = LVCF_TEXT;
            info.pszText = text;
            info.cchTextMax = sizeof text;
            SendMessageA(list(view), LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
            headings.push_back(text);
        }
        EXPECT_EQ((Texts{"Title", "What's this", "Password", "Details", "Type"}), headings);
    }

    const std::array<Texts, 5> rows = {{
        {"mail@example.com", "example.com", "******", "Webmail", "Password"},
        {"Bank", "bank.example.org", "******", "https://bank.example.org/login", "Link"},
        {"Shopping", "Note", "", "Buy milk", "Text"},
        {"wifi", "Router", "******", "Home router", "Password"},
        {"Forum", "Board", "******", "forum.example.net/board", "Link"},
    }};
    const std::array<int, 5> icons = {kIconPassword, kIconLink, kIconText, kIconPassword,
                                      kIconLink};
    HWND all = list(EntryView::lvPassword);
    ASSERT_EQ(5, rowCount(all));
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        Texts shown;
        for (int column = 0; column < kColumnCount; ++column)
            shown.push_back(cell(all, row, column));
        EXPECT_EQ(rows[row], shown);
        EXPECT_EQ(icons[row], icon(all, row));
    }
}

TEST_F(MainWindowTest, FailedLoginsWarnAndLeaveTheListsEmpty) {
    const std::string damaged = dir_.file("damaged.khk");
    writeBytes(damaged, Bytes(2000, 0x5A));
    struct Case {
        const char* what;
        std::string file;
        const char* name;
        const char* password;
        std::string message;
    };
    const std::string wrong = "Wrong name or password for the account file " + accountFile_ + ".";
    const Case cases[] = {
        {"wrong password", accountFile_, kAccountName, "wrong", wrong},
        {"wrong name", accountFile_, "bob", kAccountPassword, wrong},
        {"damaged header", damaged, kAccountName, kAccountPassword,
         "Load Account File: " + damaged + " Failed!"},
        {"missing file", dir_.file("missing.khk"), kAccountName, kAccountPassword,
         "Load Account File: " + dir_.file("missing.khk") + " Failed!"},
    };
    openWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        main_->warnings.clear();
        EXPECT_FALSE(main_->session().loginAccount(c.file, c.name, c.password));
        EXPECT_EQ(Texts{c.message}, main_->warnings);
        EXPECT_FALSE(main_->session().isLoggedIn());
        EXPECT_EQ(0, rowCount(list(EntryView::lvPassword)));
        EXPECT_EQ(0, rowCount(list(EntryView::lvSub)));
    }
}

TEST_F(MainWindowTest, ColumnClickSortsWithoutRegardToCase) {
    struct Case {
        int column;
        int shownColumn; // the column whose order is checked
        Texts order;
    };
    const Case cases[] = {
        {kColumnTitle, kColumnTitle, {"Bank", "Forum", "mail@example.com", "Shopping", "wifi"}},
        {kColumnWhatsThis,
         kColumnWhatsThis,
         {"bank.example.org", "Board", "example.com", "Note", "Router"}},
        // The column shows only "******": the rows follow their secrets.
        {kColumnPassword, kColumnTitle, {"Shopping", "Bank", "Forum", "mail@example.com", "wifi"}},
        {kColumnDetails,
         kColumnDetails,
         {"Buy milk", "forum.example.net/board", "Home router", "https://bank.example.org/login",
          "Webmail"}},
        {kColumnType, kColumnType, {"Link", "Link", "Password", "Password", "Text"}},
    };
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        notify(all, LVN_COLUMNCLICK, c.column);
        EXPECT_EQ(c.order, columnTexts(all, c.shownColumn));
        EXPECT_EQ(c.column, main_->entries().sortColumn());
    }
    // Each secret moved with its row.
    notify(all, LVN_COLUMNCLICK, kColumnPassword);
    selectOnly(all, 1);
    click(all);
    EXPECT_EQ("Bank [apple]", main_->bannerText());
}

TEST_F(MainWindowTest, TypeTabsShowTheirRowsCountAndTheCommentRule) {
    struct Case {
        int tab;
        EntryView visible;
        Texts titles;
        int total;
        bool comment;
    };
    // In this order: leaving "Text" for another tab hides the comment window again.
    const Case cases[] = {
        {2, EntryView::lvSub, {"Bank", "Forum"}, 2, false},
        {3, EntryView::lvSub, {"Shopping"}, 1, true},
        {1, EntryView::lvSub, {"mail@example.com", "wifi"}, 2, false},
        {0,
         EntryView::lvPassword,
         {"mail@example.com", "Bank", "Shopping", "wifi", "Forum"},
         5,
         false},
    };
    openWindow();
    login();
    auto& tabs = main_->get<QTabControl>("mTabType");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tab);
        EXPECT_TRUE(tabs.selectTab(c.tab));
        EXPECT_EQ(c.tab, tabs.tabIndex());
        EXPECT_EQ(list(c.visible), main_->visibleListView());
        EXPECT_TRUE(IsWindowVisible(list(c.visible)));
        EXPECT_EQ(c.titles, columnTexts(list(c.visible), kColumnTitle));
        EXPECT_EQ("Account: alice [Total: " + std::to_string(c.total) +
                      (c.total == 1 ? " Entry]" : " Entries]"),
                  main_->statusText());
        EXPECT_EQ(c.comment, main_->commentVisible());
        if (c.comment) { // a Text entry shows its message below the list
            selectOnly(list(c.visible), 0);
            EXPECT_EQ("Buy milk", windowText(main_->get<TControl>("mmComment").handle()));
        }
    }
}

TEST_F(MainWindowTest, DeleteInTypeTabThenUndeleteDeleteAgainAndSave) {
    openWindow();
    login();
    ASSERT_TRUE(main_->get<QTabControl>("mTabType").selectTab(2)); // Link
    HWND sub = list(EntryView::lvSub);
    HWND all = list(EntryView::lvPassword);
    const auto bankRecord = [&] { return main_->entries().row(EntryView::lvPassword, 1).record; };

    selectOnly(sub, 0);
    main_->yesNoAnswers = {true};
    press(sub, VK_DELETE, true);
    EXPECT_EQ(Texts{"Are you sure you want to delete entry: Bank?"}, main_->questions);
    EXPECT_EQ(kIconDeleted, icon(sub, 0));
    EXPECT_EQ(kIconDeleted, icon(all, 1));
    EXPECT_EQ(kOffsetDeleted, bankRecord()->fileOffset);
    EXPECT_TRUE(main_->session().modified());
    EXPECT_TRUE(main_->get<TToolButton>("tbSaveAccount").isActive());

    main_->runCommand(CommandId::ToolUnDelete);
    EXPECT_EQ(kIconNew, icon(sub, 0));
    EXPECT_EQ(kIconNew, icon(all, 1));
    EXPECT_EQ(kOffsetUnsaved, bankRecord()->fileOffset);

    main_->yesNoAnswers = {true};
    press(sub, VK_DELETE, true);
    EXPECT_EQ(kIconDeleted, icon(all, 1));

    press(sub, 'S', true);
    EXPECT_EQ(2u, main_->questions.size()); // a save asks nothing
    EXPECT_TRUE(main_->warnings.empty());
    EXPECT_EQ("Successfully Saved!", main_->statusText());
    EXPECT_FALSE(main_->session().modified());
    EXPECT_FALSE(main_->get<TToolButton>("tbSaveAccount").isActive());

    const Texts kept = {"mail@example.com", "Shopping", "wifi", "Forum"};
    EXPECT_EQ(kept, titlesOnDisk(accountFile_));
    EXPECT_EQ(kept, columnTexts(all, kColumnTitle));
    EXPECT_EQ(Texts{"Forum"}, columnTexts(sub, kColumnTitle));
    EXPECT_EQ(kIconLink, icon(sub, 0));
    EXPECT_EQ(kIconLink, icon(all, 3));

    // The first save of a session leaves a copy in "backup\" beside the file: the file as
    // it was before the save.
    const std::string backup = dir_.file("backup") + "\\alice1.khk";
    ASSERT_TRUE(std::filesystem::exists(backup));
    EXPECT_EQ((Texts{"mail@example.com", "Bank", "Shopping", "wifi", "Forum"}),
              titlesOnDisk(backup));

    // The row behind the removed one still opens its own entry.
    selectOnly(sub, 0);
    click(sub);
    EXPECT_EQ("Forum [banana]", main_->bannerText());
}

TEST_F(MainWindowTest, SortInsideATypeTabKeepsEachRowWithItsEntry) {
    openWindow();
    login();
    ASSERT_TRUE(main_->get<QTabControl>("mTabType").selectTab(1)); // Password
    HWND sub = list(EntryView::lvSub);
    HWND all = list(EntryView::lvPassword);
    notify(sub, LVN_COLUMNCLICK, kColumnDetails);
    ASSERT_EQ((Texts{"wifi", "mail@example.com"}), columnTexts(sub, kColumnTitle));

    selectOnly(sub, 0);
    main_->yesNoAnswers = {true};
    press(sub, VK_DELETE, true);
    EXPECT_EQ(Texts{"Are you sure you want to delete entry: wifi?"}, main_->questions);
    EXPECT_EQ(kIconDeleted, icon(sub, 0));
    EXPECT_EQ(kIconDeleted, icon(all, 3));
    EXPECT_EQ(kIconPassword, icon(all, 0));

    selectOnly(sub, 1);
    click(sub);
    EXPECT_EQ("mail@example.com [Kiwi]", main_->bannerText());

    press(sub, 'S', true);
    EXPECT_EQ((Texts{"mail@example.com", "Bank", "Shopping", "Forum"}), titlesOnDisk(accountFile_));
    EXPECT_EQ(Texts{"mail@example.com"}, columnTexts(sub, kColumnTitle));
}

// The list views keep the selection by row number; whenever the rows under those numbers
// change, no other entry may end up selected (a following Ctrl+Del or copy would act on it).
TEST_F(MainWindowTest, SelectionNeverMovesToAnotherEntry) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    HWND sub = list(EntryView::lvSub);
    auto& tabs = main_->get<QTabControl>("mTabType");

    {
        SCOPED_TRACE("sort");
        selectOnly(all, 3); // wifi
        notify(all, LVN_COLUMNCLICK, kColumnTitle);
        for (const std::string& title : selectedTitles(all))
            EXPECT_EQ("wifi", title);
    }
    {
        SCOPED_TRACE("tab change");
        ASSERT_TRUE(tabs.selectTab(2));
        selectOnly(sub, 1); // Forum
        ASSERT_TRUE(tabs.selectTab(1));
        EXPECT_EQ(Texts{}, selectedTitles(sub));
    }
    {
        SCOPED_TRACE("save removes a deleted row");
        ASSERT_TRUE(tabs.selectTab(2));
        selectOnly(sub, 0); // Bank
        main_->yesNoAnswers = {true};
        press(sub, VK_DELETE, true);
        press(sub, 'S', true);
        ASSERT_EQ(Texts{"Forum"}, columnTexts(sub, kColumnTitle));
        EXPECT_EQ(Texts{}, selectedTitles(sub));
    }
}

TEST_F(MainWindowTest, LogoutAsksAndSavesOnlyWhenTold) {
    struct Case {
        const char* what;
        bool modify;
        std::deque<bool> answers;
        Texts questions;
        bool loggedOut;
        std::size_t entriesOnDisk;
    };
    const std::string sure = "Are you sure you want to log out of the current account?";
    const std::string save = "Do you want to save the current account?";
    const Case cases[] = {
        {"unmodified", false, {true}, {sure}, true, 5},
        {"modified, save", true, {true, true}, {sure, save}, true, 4},
        {"modified, do not save", true, {true, false}, {sure, save}, true, 5},
        {"modified, stay", true, {false}, {sure}, false, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeSampleAccount(accountFile_);
        std::filesystem::remove_all(dir_.path() / "backup");
        openWindow();
        login();
        HWND all = list(EntryView::lvPassword);
        if (c.modify) {
            selectOnly(all, 3);
            main_->yesNoAnswers = {true};
            press(all, VK_DELETE, true);
            ASSERT_TRUE(main_->session().modified());
            main_->questions.clear();
        }
        main_->yesNoAnswers = c.answers;
        press(all, 'Q', true);

        EXPECT_EQ(c.questions, main_->questions);
        EXPECT_EQ(!c.loggedOut, main_->session().isLoggedIn());
        EXPECT_EQ(c.entriesOnDisk, titlesOnDisk(accountFile_).size());
        if (c.loggedOut) {
            EXPECT_EQ(0, rowCount(all));
            EXPECT_EQ(kPrompting, main_->bannerText());
            EXPECT_EQ(kPrompting, main_->statusText());
            EXPECT_FALSE(main_->get<TToolButton>("tbLogout").isActive());
        } else {
            EXPECT_EQ(5, rowCount(all));
        }
        EXPECT_EQ(c.entriesOnDisk == 4,
                  std::filesystem::exists(dir_.file("backup") + "\\alice1.khk"));
        closeWindow();
    }
}

TEST_F(MainWindowTest, ClosingAndTheEndOfTheWindowsSessionFollowTheQuitSetting) {
    struct Case {
        const char* what;
        UINT message;
        bool quit;
        bool modify;
        std::deque<bool> answers;
        std::size_t questions;
        bool windowStays;
        bool loggedIn;
        std::size_t entriesOnDisk;
    };
    const Case cases[] = {
        // Closing with Quit off never logs out and asks nothing.
        {"close, Quit off", WM_CLOSE, false, true, {}, 0, true, true, 5},
        // Nothing to save: the program ends at once.
        {"close, unmodified", WM_CLOSE, true, false, {}, 0, false, true, 5},
        {"close, logout without saving", WM_CLOSE, true, true, {true, false}, 2, false, false, 5},
        {"close, logout refused", WM_CLOSE, true, true, {false}, 1, true, true, 5},
        {"end of session, saved", WM_QUERYENDSESSION, false, true, {true, true}, 2, true, false, 4},
        {"end of session, refused", WM_QUERYENDSESSION, false, true, {false}, 1, true, true, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeSampleAccount(accountFile_);
        std::filesystem::remove(configFile());
        writeConfig("Setting", "Quit", c.quit ? "1" : "0");
        openWindow();
        login();
        if (c.modify) deleteRow(3);
        main_->questions.clear();
        main_->yesNoAnswers = c.answers;
        HWND window = main_->handle();

        const LRESULT result = SendMessageA(window, c.message, 0, 0);
        EXPECT_EQ(c.questions, main_->questions.size());
        EXPECT_EQ(c.windowStays, IsWindow(window) != FALSE);
        EXPECT_EQ(c.loggedIn, main_->session().isLoggedIn());
        EXPECT_EQ(c.entriesOnDisk, titlesOnDisk(accountFile_).size());
        if (c.message == WM_QUERYENDSESSION) {
            EXPECT_EQ(!c.loggedIn, result != FALSE);
            // An allowed end writes the settings at once.
            EXPECT_EQ(c.loggedIn ? "<missing>" : kAccountName, readConfig("Account", "LastTitle"));
        }
        closeWindow();
    }
}

TEST_F(MainWindowTest, SaveAsAndBackupCopyTakeTheirFileFromTheSaveDialog) {
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);

    // Save As: ".khk" is appended, and the copy becomes the open account's file.
    const std::string copy = dir_.file("copy");
    main_->saveAnswers = {copy};
    press(all, 'D', true);
    EXPECT_EQ(Texts{accountFile_}, main_->dialogStarts);
    EXPECT_EQ(5u, titlesOnDisk(copy + ".khk").size());
    EXPECT_EQ(copy + ".khk", main_->session().fileName());
    EXPECT_EQ(copy + ".khk", main_->session().lastFileName());
    EXPECT_FALSE(main_->session().modified());
    // A save like any other, but to a file that was not there: there is nothing before it
    // to keep, so no rotating copy (the account's old file stays as it was).
    const std::string backupFolder = dir_.file("backup");
    EXPECT_FALSE(std::filesystem::exists(backupFolder));
    EXPECT_EQ(5u, titlesOnDisk(accountFile_).size());

    // Backup: the copy gets the changes, the account stays on its own file, still modified,
    // and no rotating copy is made.
    deleteRow(3);
    const std::string spare = dir_.file("spare.KHK");
    main_->saveAnswers = {spare};
    main_->dialogStarts.clear();
    press(all, 'B', true);
    EXPECT_EQ(Texts{copy + ".khk"}, main_->dialogStarts);
    EXPECT_EQ(4u, titlesOnDisk(spare).size());
    EXPECT_EQ(copy + ".khk", main_->session().fileName());
    EXPECT_TRUE(main_->session().modified());
    EXPECT_EQ(5u, titlesOnDisk(copy + ".khk").size());
    EXPECT_FALSE(std::filesystem::exists(backupFolder));
    EXPECT_TRUE(main_->warnings.empty());
}

TEST_F(MainWindowTest, YesGivenAfterTheAutomaticLogoutCountsAsNo) {
    struct Case {
        const char* what;
        UINT key;
        bool ctrl;
        bool shift;
        std::string question;
    };
    const Case cases[] = {
        {"Ctrl+Del", VK_DELETE, true, false, "Are you sure you want to delete entry: wifi?"},
        {"Shift+Del", VK_DELETE, false, true, "Are you sure you want to delete all the entries?"},
        {"Ctrl+Q", 'Q', true, false, "Are you sure you want to log out of the current account?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeConfig("Setting", "MainGuard", "1");
        openWindow();
        login();
        deleteRow(0); // unsaved changes that a late Yes must not save
        main_->questions.clear();
        HWND all = list(EntryView::lvPassword);
        selectOnly(all, 3);
        main_->whileAsking = [this] { timerTicks(TfrmMain::kGuardTimer, 30); };
        main_->yesNoAnswers = {true};
        press(all, c.key, c.ctrl, c.shift);

        EXPECT_EQ(Texts{c.question}, main_->questions);
        EXPECT_FALSE(main_->session().isLoggedIn());
        EXPECT_EQ(0, rowCount(all));
        EXPECT_EQ(5u, titlesOnDisk(accountFile_).size());
        closeWindow();
    }
}

TEST_F(MainWindowTest, ClickShowsTheSecretUntilTheTimeoutThenTheAccountName) {
    writeConfig("Setting", "Timeout", "3");
    openWindow();
    HWND all = list(EntryView::lvPassword);
    press(all, VK_ESCAPE); // logged out: the banner is emptied
    EXPECT_EQ("", main_->bannerText());

    login();
    selectOnly(all, 3);
    click(all);
    EXPECT_EQ("wifi [Mango]", main_->bannerText());
    timerTicks(TfrmMain::kPasswordTimer, 2);
    EXPECT_EQ("wifi [Mango]", main_->bannerText());
    timerTicks(TfrmMain::kPasswordTimer, 1);
    EXPECT_EQ(kAccountName, main_->bannerText());

    click(all);
    EXPECT_EQ("wifi [Mango]", main_->bannerText());
    press(all, VK_ESCAPE); // logged in: back to the account name at once
    EXPECT_EQ(kAccountName, main_->bannerText());
}

TEST_F(MainWindowTest, ClickShowsNothingWithDisplayPasswordOff) {
    writeConfig("Setting", "DisplayPassword", "0");
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    selectOnly(all, 0);
    click(all);
    EXPECT_EQ("Account: alice [Total: 5 Entries]", main_->bannerText());
}

TEST_F(MainWindowTest, GuardTicksLogOutAfterMainGuardMinutesAndLoseChanges) {
    writeConfig("Setting", "MainGuard", "1");
    openWindow();
    login();
    HWND all = list(EntryView::lvPassword);
    selectOnly(all, 3);
    main_->yesNoAnswers = {true};
    press(all, VK_DELETE, true);
    ASSERT_TRUE(main_->session().modified());

    // Every tick is two seconds: 58 idle seconds, then a click starts the count again.
    timerTicks(TfrmMain::kGuardTimer, 29);
    EXPECT_TRUE(main_->session().isLoggedIn());
    click(all);
    timerTicks(TfrmMain::kGuardTimer, 29);
    EXPECT_TRUE(main_->session().isLoggedIn());
    EXPECT_EQ(58, main_->session().idleSeconds());

    timerTicks(TfrmMain::kGuardTimer, 1);
    EXPECT_FALSE(main_->session().isLoggedIn());
    EXPECT_EQ(-1, main_->session().idleSeconds());
    EXPECT_EQ(1u, main_->questions.size()); // only the delete: no question at the logout
    EXPECT_EQ(0, rowCount(all));
    EXPECT_EQ(kPrompting, main_->bannerText());
    EXPECT_EQ(5u, titlesOnDisk(accountFile_).size());
}

TEST_F(MainWindowTest, SettingsAreWrittenWhenTheWindowIsDestroyedAndApplied) {
    openWindow();
    EXPECT_FALSE(main_->commentVisible());
    login();
    main_->runCommand(CommandId::ToolComment);
    EXPECT_TRUE(main_->commentVisible());
    ASSERT_TRUE(main_->get<QTabControl>("mTabType").selectTab(2));
    closeWindow();

    EXPECT_EQ("1", readConfig("Setting", "Comment"));
    EXPECT_EQ("2", readConfig("Setting", "Sub"));
    EXPECT_EQ(accountFile_, readConfig("Account", "Last"));
    EXPECT_EQ(kAccountName, readConfig("Account", "LastTitle"));

    // The next start opens on the stored tab, and the login fills it.
    openWindow();
    EXPECT_TRUE(main_->commentVisible());
    EXPECT_EQ(2, main_->get<QTabControl>("mTabType").tabIndex());
    EXPECT_EQ(list(EntryView::lvSub), main_->visibleListView());
    EXPECT_EQ(accountFile_, main_->session().lastFileName());
    login();
    EXPECT_EQ((Texts{"Bank", "Forum"}), columnTexts(list(EntryView::lvSub), kColumnTitle));
}

TEST_F(MainWindowTest, LanguageMenuLoadsAFileAndEnglishComesBack) {
    const std::filesystem::path folder = std::filesystem::path(paths_.programFolder) / "language";
    std::filesystem::create_directories(folder);
    const auto write = [](const std::filesystem::path& path, std::string_view text) {
        writeBytes(path.string(), Bytes(text.begin(), text.end()));
    };
    write(folder / "de.lng", "[About]\r\nLanguage=Deutsch\r\n"
                             "TfrmMain.tbNewAccount.Hint = Neues Konto anlegen\r\n"
                             "TfrmMain.ToolButton1=&Konto\r\n"
                             "TfrmKeyhavenLogin=Willkommen\r\n"
                             "column0=Titel\r\nprompting=Warte auf Anmeldung\r\n");
    write(folder / "nameless.lng", "column0=Ohne Namen\r\n"); // not offered
    openWindow();
    auto* languages = dynamic_cast<LanguageFeature*>(main_->feature(Feature::Language));
    ASSERT_NE(nullptr, languages);
    languages->buildLanguageMenu();
    ASSERT_EQ(std::vector<std::string>{"de.lng"}, languages->languageFiles());

    const auto heading = [this] {
        char text[64] = {};
        LVCOLUMNA info{};
        info.mask = LVCF_TEXT;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        SendMessageA(list(EntryView::lvPassword), LVM_GETCOLUMNA, 0,
                     reinterpret_cast<LPARAM>(&info));
        return std::string(text);
    };
    const auto loginCaption = [this] {
        char text[64] = {};
        GetWindowTextA(main_->loginDialog().handle(), text, sizeof text);
        return std::string(text);
    };
    struct Expected {
        std::string hint, menuButton, column, banner, login;
    };
    const auto check = [&](const Expected& e) {
        EXPECT_EQ(e.hint, main_->get<TToolButton>("tbNewAccount").hint());
        EXPECT_EQ(e.menuButton, main_->get<TToolButton>("ToolButton1").caption());
        EXPECT_EQ(e.column, heading());
        EXPECT_EQ(e.banner, main_->bannerText());
        EXPECT_EQ(e.login, loginCaption());
    };

    SendMessageA(main_->handle(), WM_COMMAND, kLanguageCommandBase, 0);
    check({"Neues Konto anlegen", "&Konto", "Titel", "Warte auf Anmeldung", "Willkommen"});
    EXPECT_EQ((folder / "de.lng").string(), main_->settings().language);

    main_->runCommand(CommandId::DefaultLanguage);
    check({"Create New Account", "&Account", "Title", kPrompting, "Welcome To Keyhaven"});
    EXPECT_EQ("", main_->settings().language);
}

} // namespace
} // namespace kh::test
