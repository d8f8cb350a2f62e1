// The browser feature in the real program under Wine: requests sent to the real login
// window by this process (which is then its own bridge), the login on demand with the real
// dialog, saves that reach the file, the "/Process" hide, and the context-menu entries and
// pages through WithIE and a language change.
#include "browser_feature.h"
#include "main_window_fixture.h"
#include "modal_steps.h"
#include "request_block.h"

#include <cstring>
#include <fstream>

namespace kh::test {
namespace {

using browser::RequestBlock;
using browser::RequestKind;

constexpr UINT kGet = 0x1621, kSave = 0x1623, kFind = 0x1625, kCheck = 0x1627;

RequestBlock makeBlock(std::string_view user, std::string_view url,
                       std::string_view password = {}) {
    RequestBlock block;
    // Bytes the vault must hand back as they came.
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(0xA0 + i % 7);
    browser::putFieldText(block, browser::kUserNameField, user);
    browser::putFieldText(block, browser::kPasswordField, password);
    browser::putFieldText(block, browser::kAddressField, url);
    browser::setCompletionCode(block, 0);
    return block;
}

bool sameBytes(const RequestBlock& a, const RequestBlock& b) {
    return std::memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string field(const RequestBlock& block, browser::BlockField f) {
    return std::string(browser::fieldText(block, f));
}

// A value of HKEY_CURRENT_USER\...\MenuExt\<entry>; none when the entry is missing.
std::optional<std::string> menuEntryPage(const std::string& entry) {
    const std::string key = std::string(browser::kMenuExtKey) + "\\" + entry;
    char buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buffer);
}

std::optional<DWORD> menuEntryContexts(const std::string& entry) {
    const std::string key = std::string(browser::kMenuExtKey) + "\\" + entry;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, key.c_str(), "Contexts", RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

const std::string kGetCaption = "Get Password From Keyhaven";
const std::string kSaveCaption = "Save Password To Keyhaven";
const std::string kGenerateCaption = "Generate Password By Keyhaven";

class BrowserWindowTest : public MainWindowFixture {
  protected:
    HWND loginWindow() { return main_->loginDialog().handle(); }

    LRESULT send(UINT msg, RequestBlock& block, WPARAM process = GetCurrentProcessId()) {
        return SendMessageA(loginWindow(), msg, process, reinterpret_cast<LPARAM>(block.data()));
    }
    LRESULT status() { return SendMessageA(loginWindow(), kCheck, GetCurrentProcessId(), 0); }

    bool serving() { return main_->browserFeature().serving(); }
    bool loginOnTop() {
        return (GetWindowLongPtrA(loginWindow(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    }
    TNativeControl& loginBox(const char* name) {
        return main_->loginDialog().get<TNativeControl>(name);
    }

    std::vector<AccountEntry> entriesOnDisk() {
        LoadedAccount loaded;
        EXPECT_EQ(ReadOutcome::Loaded,
                  readAccountFile(accountFile_, kAccountName, kAccountPassword, loaded));
        return std::move(loaded.entries);
    }

    static void removeEnglishEntries() {
        browser::removeMenuEntries({kGetCaption, kGenerateCaption, kSaveCaption});
    }
};

TEST_F(BrowserWindowTest, RequestsAreAnsweredFromTheOpenAccount) {
    openWindow();
    login();
    struct Case {
        const char* what;
        UINT msg;
        const char* user;
        const char* url;
        std::uint32_t code; // the completion code sent
        LRESULT result;
        bool replied; // otherwise the block comes back untouched
        // A login in the reply (GetByTitle, FindByPage), or only the code (CheckLogin).
        const char* replyUser;
        const char* replyPassword;
    };
    const Case cases[] = {
        {"a user name that begins a Link title, another page of its site", kGet, "ba",
         "https://bank.example.org/other", 0, 1, true, "Bank", "apple"},
        {"a bare host name as the address matches any page of that host", kFind, "",
         "http://forum.example.net/board/thread", 0, 1, true, "Forum", "banana"},
        {"a user name nowhere stored", kGet, "nobody", "https://bank.example.org/login", 0, 0,
         false, nullptr, nullptr},
        {"an existing login", kCheck, "Bank", "HTTPS://bank.example.org/login", 0, 1, true, nullptr,
         nullptr},
        {"a missing login: served, the answer in the code", kCheck, "Bank",
         "https://bank.example.org/elsewhere", 0, 1, false, nullptr, nullptr},
        {"a completion code that is not 0 is refused", kGet, "Bank",
         "https://bank.example.org/login", 7, 0, false, nullptr, nullptr},
        {"a refused CheckLogin still answers 1, with the block as it was", kCheck, "Bank",
         "https://bank.example.org/login", kCheck, 1, false, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RequestBlock block = makeBlock(c.user, c.url);
        browser::setCompletionCode(block, c.code);
        RequestBlock expected = block;
        if (c.replied) {
            const auto kind = static_cast<RequestKind>(c.msg);
            browser::decodeRequest(expected); // the terminators forced
            if (c.replyUser)
                browser::encodeLoginReply(expected, kind, c.replyUser, c.replyPassword);
            else
                browser::encodeReply(expected, kind);
        }
        EXPECT_EQ(c.result, send(c.msg, block));
        EXPECT_TRUE(sameBytes(block, expected)) << "user '" << field(block, browser::kUserNameField)
                                                << "', code " << browser::completionCode(block);
    }

    // The status form, a request without a process, and the serving state over.
    RequestBlock block = makeBlock("Bank", "https://bank.example.org/login");
    EXPECT_EQ(1, status());
    EXPECT_EQ(0, send(kGet, block, 0));
    EXPECT_FALSE(serving());
    EXPECT_TRUE(main_->warnings.empty());

    // Requests are the user's action: the idle count starts again.
    timerTicks(TfrmMain::kGuardTimer, 3);
    ASSERT_EQ(6, main_->session().idleSeconds());
    EXPECT_EQ(1, send(kGet, block));
    EXPECT_EQ(0, main_->session().idleSeconds());
}

TEST_F(BrowserWindowTest, SaveLoginAddsOrReplacesALinkAndSavesAtOnce) {
    openWindow();
    login();
    const int rows = main_->entries().rowCount(EntryView::lvPassword);

    RequestBlock added = makeBlock("carol", "https://shop.example.com/signin", " new pw ");
    EXPECT_EQ(1, send(kSave, added));
    EXPECT_EQ(kSave, browser::completionCode(added));
    ASSERT_EQ(rows + 1, main_->entries().rowCount(EntryView::lvPassword));
    const EntryRow& row = main_->entries().row(EntryView::lvPassword, rows);
    EXPECT_EQ("carol", row.caption);
    EXPECT_EQ("shop.example.com", row.whatsThis);
    EXPECT_EQ(kEntryLink, row.record->type);
    EXPECT_FALSE(main_->session().modified());

    RequestBlock replaced = makeBlock("Bank", "https://BANK.example.org/login", "cherry");
    EXPECT_EQ(1, send(kSave, replaced));
    EXPECT_EQ(rows + 1, main_->entries().rowCount(EntryView::lvPassword));

    const std::vector<AccountEntry> disk = entriesOnDisk();
    ASSERT_EQ(static_cast<std::size_t>(rows + 1), disk.size());
    const auto find = [&disk](std::string_view title) {
        for (const AccountEntry& e : disk)
            if (e.title == title) return &e;
        return static_cast<const AccountEntry*>(nullptr);
    };
    ASSERT_TRUE(find("carol"));
    EXPECT_EQ(" new pw ", find("carol")->data.view()); // the password as sent
    EXPECT_EQ(kEntryLink, find("carol")->type);
    EXPECT_EQ("https://shop.example.com/signin", find("carol")->description);
    ASSERT_TRUE(find("Bank"));
    EXPECT_EQ("cherry", find("Bank")->data.view());
}

TEST_F(BrowserWindowTest, LoggedOutRequestsPromptOnTopAndAnswerAfterTheLogin) {
    openWindow();
    main_->session().setLast(accountFile_, kAccountName);
    main_->realLoginDialog = true;

    // The status form never prompts (an unexpected dialog would wait for the steps' end).
    EXPECT_EQ(0, status());

    bool onTopWhilePrompting = false;
    bool servingWhilePrompting = false;
    ModalSteps steps(main_->loginDialog(), {[&] {
                         onTopWhilePrompting = loginOnTop();
                         servingWhilePrompting = serving();
                         loginBox("edPassword").setText(kAccountPassword);
                         keyDown(loginBox("edPassword").handle(), VK_RETURN);
                     }},
                     ModalSteps::Nested::RunInside);
    RequestBlock block = makeBlock("Bank", "https://bank.example.org/login");
    EXPECT_EQ(1, send(kGet, block));
    EXPECT_TRUE(steps.finished());
    EXPECT_TRUE(onTopWhilePrompting);
    EXPECT_TRUE(servingWhilePrompting);
    EXPECT_EQ("apple", field(block, browser::kPasswordField));
    EXPECT_TRUE(main_->session().isLoggedIn());
    EXPECT_FALSE(loginOnTop());
    EXPECT_FALSE(serving());
}

TEST_F(BrowserWindowTest, AFailedOrCancelledLoginAnswersZeroWithoutAWord) {
    openWindow();
    main_->session().setLast(accountFile_, kAccountName);
    struct Case {
        const char* what;
        LoginPrompt::Choice choice;
        const char* password;
    };
    const Case cases[] = {
        {"a wrong password", LoginPrompt::Choice::Login, "wrong"},
        {"the dialog cancelled", LoginPrompt::Choice::Cancel, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        main_->loginAnswers.push_back({c.choice, accountFile_, kAccountName, c.password});
        // A wrong password brings the login back: cancelled there.
        if (c.choice == LoginPrompt::Choice::Login)
            main_->loginAnswers.push_back({LoginPrompt::Choice::Cancel, "", "", ""});
        RequestBlock block = makeBlock("Bank", "https://bank.example.org/login");
        const RequestBlock sent = block;
        EXPECT_EQ(0, send(kCheck, block));
        EXPECT_TRUE(sameBytes(block, sent));
        EXPECT_TRUE(main_->loginAnswers.empty());
        EXPECT_TRUE(main_->warnings.empty());
        EXPECT_FALSE(loginOnTop());
        EXPECT_FALSE(serving());
    }
    // Outside a request the same failure warns as always.
    main_->loginAnswers.push_back(
        {LoginPrompt::Choice::Login, accountFile_, kAccountName, "wrong"});
    main_->loginAnswers.push_back({LoginPrompt::Choice::Cancel, "", "", ""});
    main_->session().showLogin(accountFile_, kAccountName);
    EXPECT_EQ(1u, main_->warnings.size());
}

TEST_F(BrowserWindowTest, ARequestWhileTheUserIsLoggingInWaitsForThatLogin) {
    openWindow();
    main_->realLoginDialog = true;
    LRESULT answer = -1;
    RequestBlock block = makeBlock("", "https://bank.example.org/login");
    ModalSteps steps(main_->loginDialog(),
                     {// The request arrives while the dialog is open; it waits in its loop.
                      [&] { answer = send(kFind, block); },
                      // The user finishes typing meanwhile.
                      [&] {
                          EXPECT_TRUE(serving());
                          EXPECT_FALSE(loginOnTop()); // the user's own dialog stays as it is
                          loginBox("edPassword").setText(kAccountPassword);
                          keyDown(loginBox("edPassword").handle(), VK_RETURN);
                      }},
                     ModalSteps::Nested::RunInside);
    main_->session().showLogin(accountFile_, kAccountName);
    EXPECT_TRUE(steps.finished());
    EXPECT_TRUE(main_->session().isLoggedIn());
    EXPECT_EQ(1, answer);
    EXPECT_EQ("Bank", field(block, browser::kUserNameField));
    EXPECT_EQ("apple", field(block, browser::kPasswordField));
    EXPECT_FALSE(main_->loginDialog().holdsPassword());
    EXPECT_FALSE(serving());
    EXPECT_TRUE(main_->warnings.empty());
}

TEST_F(BrowserWindowTest, ProcessModeHidesTheProgramAfterTheNextRequest) {
    openWindow();
    login();
    main_->startState().processMode = true;
    ASSERT_TRUE(main_->mainWindowVisible());
    RequestBlock block = makeBlock("nobody", "https://nowhere.example");
    EXPECT_EQ(0, send(kGet, block)); // answered or not, the request has ended
    EXPECT_FALSE(main_->mainWindowVisible());
    EXPECT_FALSE(main_->startState().processMode);

    // Once only: the next request leaves the window as it is.
    main_->restoreFromTray();
    ASSERT_TRUE(main_->mainWindowVisible());
    RequestBlock next = makeBlock("Bank", "https://bank.example.org/login");
    EXPECT_EQ(1, send(kGet, next));
    EXPECT_TRUE(main_->mainWindowVisible());
}

TEST_F(BrowserWindowTest, MenuEntriesFollowWithIEAndTheLanguage) {
    removeEnglishEntries();
    // The templates beside the program; their slots take the escaped texts.
    std::filesystem::create_directory(dir_.path() / "program" / "html");
    writeBytes(paths_.programFolder + "html\\KHGet.htm", Bytes{'<', '%', 's', '|', '%', 's', '>'});
    openWindow();
    const std::string getPage = paths_.programFolder + "KHGet.htm";
    // Building the window registers them (WithIE is on by default) and writes the pages
    // they point at in English, with no language loaded.
    EXPECT_EQ(getPage, menuEntryPage(kGetCaption));
    EXPECT_EQ(paths_.programFolder + "KHGen.htm", menuEntryPage(kGenerateCaption));
    EXPECT_EQ(paths_.programFolder + "KHSave.htm", menuEntryPage(kSaveCaption));
    EXPECT_EQ(std::optional<DWORD>(4), menuEntryContexts(kSaveCaption));
    ASSERT_TRUE(std::filesystem::exists(getPage));
    const Bytes english = readBytes(getPage);
    EXPECT_EQ("<Get Password From Keyhaven Failed|Get Password From Keyhaven Failed>",
              std::string(english.begin(), english.end()));

    const auto update = [this](bool add) { main_->browserFeature().updateMenu(add); };
    update(false);
    EXPECT_FALSE(menuEntryPage(kGetCaption));
    EXPECT_FALSE(menuEntryPage(kGenerateCaption));
    EXPECT_FALSE(menuEntryPage(kSaveCaption));
    main_->settings().withIE = false;
    update(true);
    EXPECT_FALSE(menuEntryPage(kGetCaption));
    main_->settings().withIE = true;
    update(true);
    EXPECT_EQ(getPage, menuEntryPage(kGetCaption));

    // A language load renames the entries and writes the pages with its texts.
    const std::string language = dir_.file("deutsch.lng");
    std::ofstream(language) << "ieget = Passwort holen\nHGetFailed = Nicht <gefunden>\n";
    main_->language().setLanguage(language);
    EXPECT_FALSE(menuEntryPage(kGetCaption));
    EXPECT_EQ(getPage, menuEntryPage("Passwort holen"));
    EXPECT_EQ(paths_.programFolder + "KHSave.htm", menuEntryPage(kSaveCaption));
    const Bytes page = readBytes(getPage);
    EXPECT_EQ("<Nicht \\x3Cgefunden\\x3E|Nicht \\x3Cgefunden\\x3E>",
              std::string(page.begin(), page.end()));

    // A load that fails changes neither.
    std::filesystem::remove(getPage);
    main_->language().setLanguage(dir_.file("missing.lng"));
    EXPECT_FALSE(std::filesystem::exists(getPage));
    EXPECT_EQ(getPage, menuEntryPage("Passwort holen"));

    update(false);
    EXPECT_FALSE(menuEntryPage("Passwort holen"));
    EXPECT_FALSE(menuEntryPage(kSaveCaption));
}

} // namespace
} // namespace kh::test
