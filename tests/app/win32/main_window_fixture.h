// The real program in-process (the App with its main window and login dialog) whose
// session boxes, file dialogs, login and wizard give scripted answers, an account file and
// config.ini in a private folder, and helpers that drive the window with the messages Windows would
// send.
#pragma once

#include "account_feature.h"
#include "account_file.h"
#include "app.h"
#include "session_feature.h"
#include "test_files.h"
#include "tfrm_login.h"
#include "ui_test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kh::test {

// The answers a user would give, in order, to what the session asks of the windows. A box
// nobody scripted fails the test and is answered No / Cancel, so a real box never blocks
// the run.
class Script : public Prompts,
               public AccountFileDialogs,
               public LoginPrompter,
               public AccountWizardPrompter {
  public:
    struct LoginAnswer {
        LoginPrompt::Choice choice = LoginPrompt::Choice::Cancel;
        std::string file;
        std::string name;
        std::string password;
    };

    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<LoginAnswer> loginAnswers;
    // The real login dialog instead of scripted answers.
    bool realLoginDialog = false;
    // The real account wizard instead of a cancelled one.
    bool realAccountWizard = false;
    // Runs while a Yes/No box is open, before it is answered.
    std::function<void()> whileAsking;

    std::vector<std::string> questions;
    std::vector<DefaultButton> defaults; // of each question
    std::vector<std::string> warnings;
    std::vector<std::string> infos; // information boxes
    std::deque<int> choices;        // answers to three-button boxes
    std::vector<std::string> choiceTexts;
    std::vector<std::array<std::string, 3>> choiceButtons;
    std::vector<std::string> dialogStarts; // the start name of every file dialog
    std::vector<bool> backupDialogs;       // per save dialog: opened for a backup copy
    int wizardRuns = 0;
    App* app = nullptr;

    bool ask(const std::string& caption, const std::string& text,
             DefaultButton defaultButton) override {
        EXPECT_EQ("Hint", caption);
        questions.push_back(text);
        defaults.push_back(defaultButton);
        if (whileAsking) whileAsking();
        if (yesNoAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return false;
        }
        const bool yes = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return yes;
    }

    void warning(const std::string& caption, const std::string& text) override {
        EXPECT_EQ("Hint", caption);
        warnings.push_back(text);
    }

    void information(const std::string& caption, const std::string& text) override {
        EXPECT_EQ("Keyhaven", caption);
        infos.push_back(text);
    }

    int choose(const std::string& caption, const std::string& text,
               const std::array<std::string, 3>& buttons) override {
        EXPECT_EQ("Hint", caption);
        choiceTexts.push_back(text);
        choiceButtons.push_back(buttons);
        if (choices.empty()) {
            ADD_FAILURE() << "unexpected choice: " << text;
            return 2;
        }
        const int choice = choices.front();
        choices.pop_front();
        return choice;
    }

    std::optional<std::string> saveFileDialog(const std::string& start,
                                              bool backup = false) override {
        backupDialogs.push_back(backup);
        dialogStarts.push_back(start);
        return next(saveAnswers, "save-file dialog at " + start);
    }

    std::optional<std::string> openFileDialog(const std::string& start) override {
        dialogStarts.push_back(start);
        return next(openAnswers, "open-file dialog at " + start);
    }

    bool loginDialogShowing() override { return app->sessionFeature().loginDialogShowing(); }
    void bringLoginDialogToFront() override { app->sessionFeature().bringLoginDialogToFront(); }
    LoginPrompt waitForLoginDialog(const std::function<bool()>& done) override {
        return app->sessionFeature().waitForLoginDialog(done);
    }
    void setLoginDialogOnTop(bool onTop) override {
        app->sessionFeature().setLoginDialogOnTop(onTop);
    }

    LoginPrompt runLoginDialog(const std::string& file, const std::string& name) override {
        if (realLoginDialog) return app->sessionFeature().runLoginDialog(file, name);
        LoginPrompt prompt;
        if (loginAnswers.empty()) {
            ADD_FAILURE() << "unexpected login dialog for " << file;
            return prompt;
        }
        const LoginAnswer& answer = loginAnswers.front();
        prompt.choice = answer.choice;
        prompt.file = answer.file;
        prompt.name = answer.name;
        prompt.password = answer.password;
        loginAnswers.pop_front();
        return prompt;
    }

    std::optional<WizardAccount> runAccountWizard(bool import) override {
        ++wizardRuns;
        if (realAccountWizard) return app->accountFeature().runAccountWizard(import);
        return std::nullopt;
    }

    App::Overrides overrides() { return {this, this, this, this}; }

  private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& answers,
                                           const std::string& what) {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected " << what;
            return std::nullopt;
        }
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

struct ScriptHolder {
    Script script_;
};

// The real program with a scripted session side, and the main window's view at hand.
class ScriptedMain : private ScriptHolder, public App {
  public:
    explicit ScriptedMain(AppPaths paths) : App(std::move(paths), script_.overrides()) {
        script_.app = this;
    }

    std::deque<bool>& yesNoAnswers = script_.yesNoAnswers;
    std::deque<std::optional<std::string>>& saveAnswers = script_.saveAnswers;
    std::deque<std::optional<std::string>>& openAnswers = script_.openAnswers;
    std::deque<Script::LoginAnswer>& loginAnswers = script_.loginAnswers;
    bool& realLoginDialog = script_.realLoginDialog;
    bool& realAccountWizard = script_.realAccountWizard;
    std::function<void()>& whileAsking = script_.whileAsking;
    std::vector<std::string>& questions = script_.questions;
    std::vector<std::string>& warnings = script_.warnings;
    std::vector<std::string>& infos = script_.infos;
    std::deque<int>& choices = script_.choices;
    std::vector<std::string>& choiceTexts = script_.choiceTexts;
    std::vector<std::array<std::string, 3>>& choiceButtons = script_.choiceButtons;
    std::vector<DefaultButton>& defaults = script_.defaults;
    std::vector<std::string>& dialogStarts = script_.dialogStarts;
    std::vector<bool>& backupDialogs = script_.backupDialogs;
    int& wizardRuns = script_.wizardRuns;

    bool createMain() { return create(); }
    bool yesNoBox(const std::string& caption, const std::string& text) {
        return script_.yesNo(caption, text);
    }
    void warningBox(const std::string& caption, const std::string& text) {
        script_.warning(caption, text);
    }
    std::optional<std::string> saveFileDialog(const std::string& start, bool backup = false) {
        return script_.saveFileDialog(start, backup);
    }
    std::optional<std::string> openFileDialog(const std::string& start) {
        return script_.openFileDialog(start);
    }

    // The main window, as the tests look at it.
    HWND handle() const { return const_cast<ScriptedMain*>(this)->mainWindow().handle(); }
    template <class T> T& get(std::string_view name) { return mainWindow().template get<T>(name); }
    TMenu* menu(std::string_view name) { return mainWindow().menu(name); }
    HWND tooltip() { return mainWindow().tooltip(); }
    int scale(int units96) { return mainWindow().scale(units96); }
    HFONT font(unsigned style = 0) { return mainWindow().font(style); }
    void addMessageHook(TForm::MessageHook hook) { mainWindow().addMessageHook(std::move(hook)); }
    const std::string& bannerText() { return mainWindow().bannerText(); }
    const std::string& statusText() { return mainWindow().statusText(); }
    bool commentVisible() { return mainWindow().commentVisible(); }
    HWND listView(EntryView view) { return mainWindow().lists().listView(view); }
    HWND visibleListView() { return mainWindow().lists().visibleListView(); }
    bool chooseTab(int index) { return mainWindow().chooseTab(index); }
    void setViewStyle(int style) { mainWindow().lists().setViewStyle(style); }
    bool mainWindowVisible() { return mainWindow().mainWindowVisible(); }
    void hideToTray() { mainWindow().hideToTray(); }
    void restoreFromTray() { mainWindow().restoreFromTray(); }
    FileDialogRequest accountSaveRequest(const std::string& start, bool backup) {
        return sessionFeature().saveRequest(start, backup);
    }

    // The same scripted answers for the boxes and file dialogs of the program's other
    // windows (they own their boxes; the test answers them all in one place).
    class Dialogs : public Prompts, public FileDialogs {
      public:
        explicit Dialogs(ScriptedMain& main) : main_(main) {}
        bool ask(const std::string& caption, const std::string& text,
                 DefaultButton defaultButton) override {
            return main_.script_.ask(caption, text, defaultButton);
        }
        void warning(const std::string& caption, const std::string& text) override {
            main_.warningBox(caption, text);
        }
        void information(const std::string& caption, const std::string& text) override {
            main_.script_.information(caption, text);
        }
        int choose(const std::string& caption, const std::string& text,
                   const std::array<std::string, 3>& buttons) override {
            return main_.script_.choose(caption, text, buttons);
        }
        std::optional<std::string> saveFile(const FileDialogRequest& request) override {
            fileRequests.push_back(request);
            return main_.saveFileDialog(request.initialName);
        }
        std::optional<std::string> openFile(const FileDialogRequest& request) override {
            fileRequests.push_back(request);
            return main_.openFileDialog(request.initialName);
        }
        std::optional<std::string> chooseFolder(const std::string&,
                                                const std::string& start) override {
            return main_.openFileDialog(start);
        }
        std::vector<FileDialogRequest> fileRequests;

      private:
        ScriptedMain& main_;
    };
    Dialogs dialogs{*this};
};

struct SampleEntry {
    std::int32_t type;
    const char* title;
    const char* whatsThis;
    const char* data;
    const char* description;
};

// Mixed types, letter cases that a byte-wise sort would order differently, and empty
// "What's this" texts that the list derives from a web address or an e-mail title.
inline const std::vector<SampleEntry>& sampleEntries() {
    static const std::vector<SampleEntry> entries = {
        {kEntryPassword, "mail@example.com", "", "Kiwi", "Webmail"},
        {kEntryLink, "Bank", "", "apple", "https://bank.example.org/login"},
        {kEntryText, "Shopping", "Note", "2024-05-01 10:00", "Buy milk"},
        {kEntryPassword, "wifi", "Router", "Mango", "Home router"},
        {kEntryLink, "Forum", "Board", "banana", "forum.example.net/board"},
    };
    return entries;
}

inline constexpr char kAccountName[] = "alice";
inline constexpr char kAccountPassword[] = "pw-alice";
inline constexpr char kAccountDescription[] = "My vault";
inline constexpr char kPasswordDescription[] = "the usual one";

class MainWindowFixture : public ::testing::Test {
  protected:
    MainWindowFixture() {
        paths_.programFolder = dir_.file("program") + "\\";
        paths_.profileFolder = dir_.file("profile") + "\\";
        std::filesystem::create_directory(dir_.path() / "program");
        std::filesystem::create_directory(dir_.path() / "profile");
        accountFile_ = dir_.file("vault.khk");
        writeSampleAccount(accountFile_);
    }

    ~MainWindowFixture() override { closeWindow(); }

    static void writeSampleAccount(const std::string& path) {
        Account account;
        account.name = kAccountName;
        account.password = kAccountPassword;
        account.accountDescription = kAccountDescription;
        account.passwordDescription = kPasswordDescription;
        std::vector<AccountEntry> entries;
        for (const SampleEntry& sample : sampleEntries()) {
            AccountEntry& entry = entries.emplace_back();
            entry.type = sample.type;
            entry.title = sample.title;
            entry.whatsThis = sample.whatsThis;
            entry.data = sample.data;
            entry.description = sample.description;
        }
        ASSERT_EQ(SaveOutcome::Saved, writeAccountFile(path, account, entries));
    }

    std::string configFile() const { return paths_.profileFolder + "config.ini"; }

    void writeConfig(const char* section, const char* key, const char* value) const {
        ASSERT_TRUE(WritePrivateProfileStringA(section, key, value, configFile().c_str()));
    }

    std::string readConfig(const char* section, const char* key) const {
        char buffer[512] = {};
        GetPrivateProfileStringA(section, key, "<missing>", buffer, sizeof buffer,
                                 configFile().c_str());
        return buffer;
    }

    void openWindow() {
        main_ = std::make_unique<ScriptedMain>(paths_);
        ASSERT_TRUE(main_->createMain());
        main_->loginDialog().setPrompts(main_->dialogs);
        main_->loginDialog().setFileDialogs(main_->dialogs);
        ShowWindow(main_->handle(), SW_SHOWNORMAL);
        pumpFor(20);
    }

    // Destroys the windows as the program's end does (config.ini is written then) and
    // drops the quit message the main window posts, so the next modal loop is not ended
    // by it.
    void closeWindow() {
        if (!main_) return;
        if (IsWindow(main_->handle())) DestroyWindow(main_->handle());
        main_.reset();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    // The login dialog answered with the sample account, then the load report.
    void login() {
        main_->loginAnswers.push_back(
            {LoginPrompt::Choice::Login, accountFile_, kAccountName, kAccountPassword});
        ASSERT_TRUE(main_->session().showLogin(accountFile_, kAccountName));
    }

    HWND list(EntryView view) const { return main_->listView(view); }

    static int rowCount(HWND list) { return ListView_GetItemCount(list); }

    static std::string cell(HWND list, int row, int column) {
        char buffer[260] = {};
        ListView_GetItemText(list, row, column, buffer, sizeof buffer);
        return buffer;
    }

    static std::vector<std::string> columnTexts(HWND list, int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < rowCount(list); ++row)
            texts.push_back(cell(list, row, column));
        return texts;
    }

    static std::vector<std::string> selectedTitles(HWND list) {
        std::vector<std::string> titles;
        int row = -1;
        while ((row = ListView_GetNextItem(list, row, LVNI_SELECTED)) >= 0)
            titles.push_back(cell(list, row, kColumnTitle));
        return titles;
    }

    static int icon(HWND list, int row) {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iImage = -1;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }

    static void selectOnly(HWND list, int row) {
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }

    // A key as it reaches the list view, with Ctrl or Shift held in this thread's keyboard
    // state.
    static void press(HWND target, UINT key, bool ctrl = false, bool shift = false) {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        SendMessageA(target, WM_KEYDOWN, key, 1);
        state[VK_CONTROL] = 0;
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }

    // Deletes one lvPassword row with Ctrl+Del, answering Yes.
    void deleteRow(int row) {
        HWND all = list(EntryView::lvPassword);
        selectOnly(all, row);
        main_->yesNoAnswers.push_back(true);
        press(all, VK_DELETE, true);
        ASSERT_TRUE(main_->session().modified());
    }

    // A list view notification as the list sends it to the window.
    void notify(HWND list, UINT code, int column = 0) {
        NMLISTVIEW info{};
        info.hdr.hwndFrom = list;
        info.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
        info.hdr.code = code;
        info.iItem = -1;
        info.iSubItem = column;
        SendMessageA(main_->handle(), WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    }

    void click(HWND list) { notify(list, NM_CLICK); }

    void timerTicks(UINT_PTR timer, int count) {
        for (int i = 0; i < count; ++i)
            SendMessageA(main_->handle(), WM_TIMER, timer, 0);
    }

    std::vector<std::string> titlesOnDisk(const std::string& path) const {
        LoadedAccount loaded;
        EXPECT_EQ(ReadOutcome::Loaded,
                  readAccountFile(path, kAccountName, kAccountPassword, loaded));
        std::vector<std::string> titles;
        for (const AccountEntry& entry : loaded.entries)
            titles.push_back(entry.title);
        return titles;
    }

    TempDir dir_;
    AppPaths paths_;
    std::string accountFile_;
    std::unique_ptr<ScriptedMain> main_;
};

} // namespace kh::test
