#include "session.h"

#include "../support/test_files.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

namespace kh {
namespace {

using test::Bytes;
using test::TempDir;

// The main window as the session sees it: answers come from queues, everything shown is
// recorded.
class FakeUi : public SessionUi {
  public:
    std::deque<bool> answers;                         // Yes/No boxes, No when empty
    std::function<void()> whileAsking;                // runs while a box is open
    std::deque<std::optional<std::string>> saveFiles; // save dialogs, cancel when empty
    std::deque<std::optional<std::string>> openFiles;
    std::deque<LoginPrompt> logins; // login dialogs, Cancel when empty
    std::optional<WizardAccount> wizard;
    std::function<void()> whenBusy; // runs when the hourglass comes on

    std::vector<std::string> questions, warnings, saveDialogStarts, loginFiles, loginNames;
    std::vector<bool> backupDialogs; // per save dialog: opened for a backup copy
    std::string status, banner;
    bool busyCursor = false, modified = false, started = false, logo = false;
    bool loginShowing = false, onTop = false, mainShown = false;
    int wizardRuns = 0;

    bool yesNoBox(const std::string& caption, const std::string& text) override {
        EXPECT_EQ(caption, "Hint");
        questions.push_back(text);
        if (whileAsking) std::exchange(whileAsking, nullptr)();
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void warningBox(const std::string& caption, const std::string& text) override {
        EXPECT_EQ(caption, "Hint");
        EXPECT_EQ(status, text);
        warnings.push_back(text);
    }
    void setStatusText(const std::string& text) override { status = text; }
    void setBanner(const std::string& text) override { banner = text; }
    void setBusyCursor(bool busy) override {
        busyCursor = busy;
        if (busy && whenBusy) std::exchange(whenBusy, nullptr)();
    }
    std::optional<std::string> saveFileDialog(const std::string& start,
                                              bool backup = false) override {
        backupDialogs.push_back(backup);
        saveDialogStarts.push_back(start);
        return pop(saveFiles);
    }
    std::optional<std::string> openFileDialog(const std::string&) override {
        return pop(openFiles);
    }
    void sessionStarted(bool isModified) override {
        started = true;
        modified = isModified;
    }
    void sessionEnded() override {
        started = false;
        modified = false;
    }
    void modifiedChanged(bool isModified) override { modified = isModified; }
    void setLogoRunning(bool running) override { logo = running; }
    bool loginDialogShowing() override { return loginShowing; }
    void bringLoginDialogToFront() override {}
    LoginPrompt runLoginDialog(const std::string& file, const std::string& name) override {
        loginFiles.push_back(file);
        loginNames.push_back(name);
        if (logins.empty()) return {};
        LoginPrompt result = std::move(logins.front());
        logins.pop_front();
        return result;
    }
    LoginPrompt waitForLoginDialog(const std::function<bool()>&) override {
        return runLoginDialog("", "");
    }
    void setLoginDialogOnTop(bool top) override { onTop = top; }
    std::optional<WizardAccount> runAccountWizard(bool) override {
        ++wizardRuns;
        return std::exchange(wizard, std::nullopt);
    }
    void showMainWindow() override { mainShown = true; }

  private:
    static std::optional<std::string> pop(std::deque<std::optional<std::string>>& q) {
        if (q.empty()) return std::nullopt;
        std::optional<std::string> v = q.front();
        q.pop_front();
        return v;
    }
};

// The entry list: rows in a vector, with the list model's save bookkeeping.
class FakeEntries : public SessionEntries {
  public:
    std::vector<AccountEntry> rows;
    int rebuilds = 0;

    void clearEntries() override { rows.clear(); }
    int addLoadedEntries(std::vector<AccountEntry>& entries) override {
        int added = 0;
        for (AccountEntry& e : entries) {
            if (e.title.empty()) continue; // as the list refuses a row without a title
            rows.push_back(std::move(e));
            ++added;
        }
        return added;
    }
    std::vector<AccountEntry> entriesToWrite() override { return rows; }
    void normalizeAfterSave(std::span<const AccountEntry> written) override {
        EXPECT_EQ(written.size(), rows.size());
        std::vector<AccountEntry> kept;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (written[i].fileOffset != kOffsetDeleted) {
                kept.push_back(rows[i]);
                kept.back().fileOffset = written[i].fileOffset;
            }
        rows = std::move(kept);
    }
    std::size_t rowCount() const override { return rows.size(); }
    bool rebuildTypeList() override {
        ++rebuilds;
        return true;
    }
};

// The real file system with a save that breaks off before the new file is in place.
class BreakableFs : public FileSystem {
  public:
    bool failCommit = false;
    PathKind pathKind(const std::string& p) override { return real().pathKind(p); }
    bool canWrite(const std::string& p) override { return real().canWrite(p); }
    std::unique_ptr<SdrFile> createTempBeside(const std::string& t, std::string& tmp) override {
        return real().createTempBeside(t, tmp);
    }
    bool commitToDisk(SdrFile& f) override { return !failCommit && real().commitToDisk(f); }
    bool replaceFile(const std::string& s, const std::string& t) override {
        return real().replaceFile(s, t);
    }
    bool removeFile(const std::string& p) override { return real().removeFile(p); }

  private:
    static FileSystem& real() { return nativeFileSystem(); }
};

// Windows-style paths, recorded instead of touched.
class FakeFiles : public SessionFiles {
  public:
    bool canCreate = true, canCopy = true;
    std::vector<std::string> created;
    std::vector<std::pair<std::string, std::string>> copies;

    const char* separators() const override { return "\\/:"; }
    char separator() const override { return '\\'; }
    bool folderExists(const std::string& f) override {
        return std::find(created.begin(), created.end(), f) != created.end();
    }
    bool createFolders(const std::string& f) override {
        if (canCreate) created.push_back(f);
        return canCreate;
    }
    bool copyFile(const std::string& s, const std::string& t) override {
        if (canCopy) copies.emplace_back(s, t);
        return canCopy;
    }
};

AccountEntry makeEntry(std::int32_t type, std::string title, std::string data) {
    AccountEntry e;
    e.type = type;
    e.title = std::move(title);
    e.data = data;
    return e;
}

std::vector<AccountEntry> threeEntries() {
    return {makeEntry(kEntryPassword, "Mail", "pw-1"), makeEntry(kEntryLink, "Bank", "pw-2"),
            makeEntry(kEntryText, "Note", "pw-3")};
}

void writeAccount(const std::string& path, std::vector<AccountEntry> entries = threeEntries()) {
    Account account;
    account.name = "alice";
    account.password = "s3cret!";
    account.accountDescription = "Home vault";
    account.passwordDescription = "the usual one";
    ASSERT_EQ(writeAccountFile(path, account, entries), SaveOutcome::Saved);
}

std::vector<std::string> titlesIn(const std::string& path) {
    LoadedAccount loaded;
    if (readAccountFile(path, "alice", "s3cret!", loaded) != ReadOutcome::Loaded) return {"?"};
    std::vector<std::string> titles;
    for (const AccountEntry& e : loaded.entries)
        titles.push_back(e.title);
    return titles;
}

class SessionTest : public ::testing::Test {
  protected:
    SessionTest() : session_(ui_, entries_, messages_, {}, nativeSessionFiles(), fs_) {}

    std::string file() const { return dir_.file("vault.khk"); }

    // Logged in on a real file of three entries.
    void login() {
        writeAccount(file());
        ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    }

    // One more entry and a save, as Ctrl+S would do it.
    void editAndSave(const std::string& title) {
        entries_.rows.push_back(makeEntry(kEntryPassword, title, "x"));
        session_.setModified(true);
        session_.saveCommand();
        ASSERT_FALSE(session_.modified());
    }

    std::string backupDir() const { return dir_.file("backup"); }
    std::vector<std::string> backups() const {
        std::vector<std::string> names;
        if (!std::filesystem::exists(backupDir())) return names;
        for (const auto& item : std::filesystem::directory_iterator(backupDir()))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string backup(const std::string& name) const {
        return (std::filesystem::path(backupDir()) / name).string();
    }

    TempDir dir_;
    MessageTable messages_;
    FakeUi ui_;
    FakeEntries entries_;
    BreakableFs fs_;
    Session session_;
};

TEST_F(SessionTest, LoginLoadsTheAccountAndStartsASession) {
    login();
    EXPECT_TRUE(session_.isLoggedIn());
    EXPECT_FALSE(session_.modified());
    EXPECT_FALSE(session_.busy());
    EXPECT_EQ(session_.fileName(), file());
    EXPECT_EQ(session_.password(), "s3cret!");
    EXPECT_EQ(session_.passwordDescription(), "the usual one");
    EXPECT_EQ(session_.accountDescription(), "Home vault");
    EXPECT_EQ(session_.lastFileName(), file());
    EXPECT_EQ(session_.lastAccountName(), "alice");
    EXPECT_EQ(session_.sessionNumber(), 1);
    EXPECT_EQ(session_.idleSeconds(), 0);
    ASSERT_EQ(entries_.rows.size(), 3u);
    EXPECT_EQ(entries_.rows[1].data, "pw-2");
    EXPECT_EQ(entries_.rebuilds, 1);
    EXPECT_EQ(ui_.status, "Successfully Loaded: alice!");
    EXPECT_EQ(ui_.banner, "alice");
    EXPECT_TRUE(ui_.started);
    EXPECT_FALSE(ui_.modified);
    EXPECT_TRUE(ui_.logo);
    EXPECT_FALSE(ui_.busyCursor);

    session_.loadReport(true);
    EXPECT_EQ(ui_.banner, "Account: alice [Total: 3 Entries!]");
    EXPECT_TRUE(ui_.warnings.empty());

    // A second login while one is open is refused.
    EXPECT_FALSE(session_.loginAccount(file(), "alice", "s3cret!"));
}

TEST_F(SessionTest, FailedLoadsWarnAndLeaveTheSessionLoggedOutAndEmpty) {
    writeAccount(file());
    Bytes damaged = test::readBytes(file());
    damaged[0] ^= 0xFF;
    test::writeBytes(dir_.file("damaged.khk"), damaged);

    const struct {
        const char* label;
        std::string path, name, password;
    } cases[] = {
        {"wrong password", file(), "alice", "s3cret"},
        {"wrong name", file(), "Alice", "s3cret!"},
        {"damaged header", dir_.file("damaged.khk"), "alice", "s3cret!"},
        {"missing file", dir_.file("none.khk"), "alice", "s3cret!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ui_.warnings.clear();
        EXPECT_FALSE(session_.loginAccount(c.path, c.name, c.password));
        session_.loadReport(false);
        EXPECT_EQ(ui_.warnings,
                  std::vector<std::string>{"Load Account File: " + c.path + " Failed!"});
        EXPECT_FALSE(session_.isLoggedIn());
        EXPECT_TRUE(session_.accountName().empty());
        EXPECT_TRUE(session_.password().empty());
        EXPECT_TRUE(entries_.rows.empty());
        EXPECT_FALSE(session_.busy());
        EXPECT_FALSE(ui_.busyCursor);
        EXPECT_FALSE(ui_.started);
    }

    // Something missing: no attempt and no message.
    ui_.warnings.clear();
    EXPECT_FALSE(session_.loginAccount(file(), "alice", ""));
    EXPECT_FALSE(session_.loginAccount(file(), "", "s3cret!"));
    EXPECT_FALSE(session_.loginAccount("", "alice", "s3cret!"));
    EXPECT_TRUE(ui_.warnings.empty());
}

TEST_F(SessionTest, DroppedRecordsAreReportedAfterTheLoad) {
    writeAccount(file());
    Bytes bytes = test::readBytes(file());
    bytes[kHeaderSize + kRecordSize + 8] ^= 0x55; // inside the second entry
    test::writeBytes(file(), bytes);

    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    session_.loadReport(true);
    EXPECT_EQ(session_.crcFailures(), 1);
    EXPECT_EQ(ui_.warnings,
              std::vector<std::string>{"1 Entries was ignored for loading because of crc error!"});
    EXPECT_EQ(ui_.banner, "Account: alice [Total: 2 Entries!]");
}

TEST_F(SessionTest, LogoutAsksOnceWhenUnmodifiedAndTwiceWhenModified) {
    login();
    ui_.answers = {true};
    session_.logoutCommand();
    EXPECT_EQ(ui_.questions, std::vector<std::string>{"Are you sure to logout current Account?"});
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_TRUE(entries_.rows.empty());
    EXPECT_EQ(session_.sessionNumber(), 0);
    EXPECT_EQ(session_.idleSeconds(), -1);
    EXPECT_EQ(ui_.banner, "Waitting For Login......");
    EXPECT_EQ(ui_.status, "Waitting For Login......");
    EXPECT_FALSE(ui_.logo);

    for (const bool saveIt : {false, true}) {
        SCOPED_TRACE(saveIt);
        ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
        entries_.rows.push_back(makeEntry(kEntryPassword, saveIt ? "Saved" : "Lost", "y"));
        session_.setModified(true);
        ui_.questions.clear();
        ui_.answers = {true, saveIt};
        session_.logoutCommand();
        EXPECT_EQ(ui_.questions,
                  (std::vector<std::string>{"Are you sure to logout current Account?",
                                            "Do you want to save current Account?"}));
        EXPECT_FALSE(session_.isLoggedIn());
        EXPECT_TRUE(entries_.rows.empty());
    }
    EXPECT_EQ(titlesIn(file()), (std::vector<std::string>{"Mail", "Bank", "Note", "Saved"}));

    // No to the first question changes nothing.
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    session_.logoutCommand();
    EXPECT_TRUE(session_.isLoggedIn());
    EXPECT_EQ(entries_.rows.size(), 4u);
}

// A new account from the wizard, never saved.
class NewAccountTest : public SessionTest {
  protected:
    void SetUp() override {
        WizardAccount account;
        account.name = "bob";
        account.password = "pw";
        account.accountDescription = "new vault";
        ui_.wizard = std::move(account);
        session_.newAccountCommand(false);
        ASSERT_TRUE(session_.isLoggedIn());
        entries_.rows.push_back(makeEntry(kEntryPassword, "First", "one"));
    }
};

TEST_F(NewAccountTest, OpensModifiedWithoutWritingAnything) {
    EXPECT_TRUE(session_.modified());
    EXPECT_TRUE(ui_.modified);
    EXPECT_TRUE(session_.fileName().empty());
    EXPECT_EQ(session_.accountDescription(), "new vault");
    EXPECT_EQ(ui_.banner, "bob");
    EXPECT_TRUE(dir_.listing().empty());
}

TEST_F(NewAccountTest, LogoutWithoutFileAsksAgainAfterACancelledDialog) {
    ui_.answers = {true, true, false}; // logout, save, and after the cancel: don't save
    session_.logoutCommand();
    EXPECT_EQ(ui_.questions, (std::vector<std::string>{"Are you sure to logout current Account?",
                                                       "Do you want to save current Account?",
                                                       "Do you want to save current Account?"}));
    EXPECT_EQ(ui_.saveDialogStarts.size(), 1u);
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_TRUE(dir_.listing().empty());
}

TEST_F(NewAccountTest, LogoutWithoutFileSavesToTheChosenFile) {
    ui_.answers = {true, true};
    ui_.saveFiles = {dir_.file("bob")};
    session_.logoutCommand();
    EXPECT_FALSE(session_.isLoggedIn());
    LoadedAccount loaded;
    ASSERT_EQ(readAccountFile(dir_.file("bob.khk"), "bob", "pw", loaded), ReadOutcome::Loaded);
    ASSERT_EQ(loaded.entries.size(), 1u);
    EXPECT_EQ(loaded.entries[0].data, "one");
}

TEST_F(NewAccountTest, SaveWithCancelledDialogStaysModified) {
    session_.saveCommand();
    EXPECT_EQ(ui_.saveDialogStarts, std::vector<std::string>{""});
    EXPECT_TRUE(ui_.questions.empty());
    EXPECT_TRUE(session_.isLoggedIn());
    EXPECT_TRUE(session_.modified());
    EXPECT_TRUE(session_.fileName().empty());
}

// A new account whose wizard file name already holds a file: the wizard neither created
// nor checked it, so the first save asks before replacing it.
class NewAccountOnExistingFileTest : public SessionTest {
  protected:
    void SetUp() override {
        writeAccount(file());
        before_ = test::readBytes(file());
        WizardAccount account;
        account.name = "bob";
        account.password = "pw";
        account.file = file();
        ui_.wizard = std::move(account);
        session_.newAccountCommand(false);
        ASSERT_TRUE(session_.isLoggedIn());
        entries_.rows.push_back(makeEntry(kEntryPassword, "First", "one"));
    }

    bool opensAsBob(const std::string& path) const {
        LoadedAccount loaded;
        return readAccountFile(path, "bob", "pw", loaded) == ReadOutcome::Loaded;
    }

    const std::string replaceQuestion() const {
        return "The file " + file() + " already exists.\nDo you want to replace it?";
    }

    Bytes before_;
};

TEST_F(NewAccountOnExistingFileTest, YesReplacesItOnceAndLaterSavesDoNotAsk) {
    ui_.answers = {true};
    session_.saveCommand();
    EXPECT_EQ(ui_.questions, std::vector<std::string>{replaceQuestion()});
    EXPECT_TRUE(ui_.saveDialogStarts.empty());
    EXPECT_TRUE(opensAsBob(file()));
    EXPECT_FALSE(session_.modified());

    editAndSave("Second");
    EXPECT_EQ(ui_.questions.size(), 1u);
}

TEST_F(NewAccountOnExistingFileTest, NoKeepsTheFileAndAsksForAnotherName) {
    ui_.answers = {false};
    ui_.saveFiles = {std::nullopt};
    session_.saveCommand();
    EXPECT_EQ(ui_.questions, std::vector<std::string>{replaceQuestion()});
    EXPECT_EQ(ui_.saveDialogStarts, std::vector<std::string>{file()});
    EXPECT_EQ(test::readBytes(file()), before_);
    EXPECT_TRUE(session_.modified());

    // Asked again at the next save, which then goes where the dialog says.
    ui_.answers = {false};
    ui_.saveFiles = {dir_.file("bob")};
    session_.saveCommand();
    EXPECT_EQ(ui_.questions.size(), 2u);
    EXPECT_EQ(test::readBytes(file()), before_);
    EXPECT_TRUE(opensAsBob(dir_.file("bob.khk")));
    EXPECT_EQ(session_.fileName(), dir_.file("bob.khk"));
    EXPECT_FALSE(session_.fileUnconfirmed());
}

TEST_F(NewAccountOnExistingFileTest, LogoutAsksToSaveThenToReplace) {
    // Logout, save, don't replace, cancel the dialog, then don't save after all.
    ui_.answers = {true, true, false, false};
    ui_.saveFiles = {std::nullopt};
    session_.logoutCommand();
    EXPECT_EQ(ui_.questions,
              (std::vector<std::string>{"Are you sure to logout current Account?",
                                        "Do you want to save current Account?", replaceQuestion(),
                                        "Do you want to save current Account?"}));
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_EQ(test::readBytes(file()), before_);
}

TEST_F(SessionTest, NewAccountFileThatIsNotThereYetIsWrittenWithoutAQuestion) {
    WizardAccount account;
    account.name = "bob";
    account.password = "pw";
    account.file = dir_.file("fresh.khk");
    ui_.wizard = std::move(account);
    session_.newAccountCommand(false);
    session_.saveCommand();
    EXPECT_TRUE(ui_.questions.empty());
    EXPECT_TRUE(std::filesystem::exists(dir_.file("fresh.khk")));

    // A file chosen in a dialog was asked about there: Save As and Backup do not ask.
    writeAccount(file());
    ui_.saveFiles = {file(), dir_.file("copy.khk")};
    session_.saveAsCommand();
    entries_.rows.push_back(makeEntry(kEntryPassword, "More", "m"));
    session_.setModified(true);
    session_.backupCommand();
    EXPECT_TRUE(ui_.questions.empty());
    EXPECT_TRUE(std::filesystem::exists(dir_.file("copy.khk")));
}

TEST_F(SessionTest, AccountChangesApplyOnlyToTheSessionThatAskedForThem) {
    login();
    const int asked = session_.sessionNumber();
    ASSERT_TRUE(session_.changePassword(asked, " new pw "));
    ASSERT_TRUE(session_.changeAccountInformation(asked, "bob", "hint", "desc"));
    EXPECT_TRUE(session_.modified());
    EXPECT_EQ(ui_.banner, "bob");
    session_.saveCommand();

    LoadedAccount loaded;
    EXPECT_EQ(readAccountFile(file(), "alice", "s3cret!", loaded), ReadOutcome::WrongCredentials);
    EXPECT_EQ(readAccountFile(file(), "bob", "s3cret!", loaded), ReadOutcome::WrongCredentials);
    ASSERT_EQ(readAccountFile(file(), "bob", " new pw ", loaded), ReadOutcome::Loaded);
    EXPECT_EQ(loaded.account.passwordDescription, "hint");
    EXPECT_EQ(loaded.account.accountDescription, "desc");
    EXPECT_EQ(session_.lastAccountName(), "bob");

    // The automatic logout struck while a dialog was open, and the user logged in again.
    session_.endSession();
    EXPECT_FALSE(session_.changePassword(asked, "late"));
    ASSERT_TRUE(session_.loginAccount(file(), "bob", " new pw "));
    EXPECT_FALSE(session_.changePassword(asked, "late"));
    EXPECT_FALSE(session_.changeAccountInformation(asked, "late", "", ""));
    EXPECT_EQ(session_.password(), " new pw ");
    EXPECT_EQ(session_.accountName(), "bob");
    EXPECT_FALSE(session_.modified());
}

TEST_F(SessionTest, SavedEntriesTakeTheirOffsetsAndDeletedOnesGo) {
    login();
    entries_.rows[0].fileOffset = kOffsetDeleted;
    entries_.rows.push_back(makeEntry(kEntryPassword, "New", "n"));
    session_.setModified(true);
    EXPECT_TRUE(ui_.modified);
    session_.saveCommand();
    EXPECT_FALSE(session_.modified());
    EXPECT_FALSE(ui_.modified);
    EXPECT_EQ(ui_.status, "Successfully Saved!");
    EXPECT_TRUE(session_.isLoggedIn());
    ASSERT_EQ(entries_.rows.size(), 3u);
    EXPECT_EQ(entries_.rows[2].title, "New");
    EXPECT_EQ(entries_.rows[2].fileOffset, std::int64_t(kHeaderSize + 2 * kRecordSize));
    EXPECT_EQ(titlesIn(file()), (std::vector<std::string>{"Bank", "Note", "New"}));
}

TEST_F(SessionTest, FailedSavesWarnAndKeepTheAccountModified) {
    login();
    const Bytes before = test::readBytes(file());
    entries_.rows.push_back(makeEntry(kEntryPassword, "New", "n"));
    session_.setModified(true);

    // Breaking off while writing; with a logout after it, the logout is cancelled too.
    fs_.failCommit = true;
    for (const bool logoutAfter : {false, true}) {
        SCOPED_TRACE(logoutAfter);
        ui_.warnings.clear();
        ui_.answers = {true};
        EXPECT_FALSE(session_.saveAccount(logoutAfter, true));
        EXPECT_EQ(ui_.warnings,
                  std::vector<std::string>{"Save Account File: " + file() + " Failed!"});
        EXPECT_TRUE(session_.isLoggedIn());
        EXPECT_TRUE(session_.modified());
        EXPECT_FALSE(session_.busy());
        EXPECT_FALSE(ui_.busyCursor);
        EXPECT_EQ(entries_.rows.size(), 4u);
    }
    EXPECT_EQ(test::readBytes(file()), before);
    fs_.failCommit = false;

    // A file that cannot be opened for writing is reported the same way.
    const std::string nowhere = dir_.file("missing") + "/sub/vault.khk";
    ui_.warnings.clear();
    ui_.saveFiles = {nowhere};
    session_.saveAsCommand();
    EXPECT_EQ(ui_.warnings, std::vector<std::string>{"Save Account File: " + nowhere + " Failed!"});
    EXPECT_TRUE(session_.modified());
    EXPECT_FALSE(session_.busy());

    // And the account can still be saved.
    ui_.saveFiles = {file()};
    session_.saveAsCommand();
    EXPECT_FALSE(session_.modified());
    EXPECT_EQ(titlesIn(file()).size(), 4u);
}

TEST_F(SessionTest, LoadsAndSavesRequestedDuringALoadOrSaveDoNothing) {
    writeAccount(file());
    int nested = 0;
    const auto tryNested = [&] {
        EXPECT_TRUE(session_.busy());
        EXPECT_FALSE(session_.loginAccount(file(), "alice", "s3cret!"));
        EXPECT_FALSE(session_.saveAccount(true, true));
        ++nested;
    };
    ui_.whenBusy = tryNested;
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    EXPECT_EQ(session_.sessionNumber(), 1);

    session_.setModified(true);
    ui_.whenBusy = tryNested;
    session_.saveCommand();
    EXPECT_EQ(nested, 2);
    EXPECT_FALSE(session_.busy());
    EXPECT_FALSE(session_.modified());
    EXPECT_TRUE(session_.isLoggedIn());
}

TEST_F(SessionTest, AnswerCountsAsNoWhenTheSessionChangedMeanwhile) {
    login();
    session_.setModified(true);
    ui_.answers = {true};
    ui_.whileAsking = [&] { session_.endSession(); };
    EXPECT_FALSE(session_.askYesNo("Sure?"));

    // A logout question answered after an automatic logout and a new login stays unanswered.
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    ui_.answers = {true};
    ui_.whileAsking = [&] {
        session_.endSession();
        ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    };
    session_.logoutCommand();
    EXPECT_TRUE(session_.isLoggedIn());
    EXPECT_EQ(ui_.questions.size(), 2u);

    ui_.answers = {true};
    EXPECT_TRUE(session_.askYesNo("Sure?"));
}

TEST_F(SessionTest, AutomaticLogoutAfterMainGuardMinutesWithoutAction) {
    session_.settings().mainGuard = 1;
    login();
    entries_.rows.push_back(makeEntry(kEntryPassword, "Unsaved", "u"));
    session_.setModified(true);

    for (int tick = 1; tick <= 29; ++tick) {
        session_.guardTick();
        // The logo rests once the window has been idle for a while.
        if (tick == 3) {
            EXPECT_TRUE(ui_.logo);
        } else if (tick == 4) {
            EXPECT_FALSE(ui_.logo);
        }
    }
    EXPECT_TRUE(session_.noteActivity()); // user action: the count starts again
    session_.guardTick();
    EXPECT_TRUE(ui_.logo);
    for (int tick = 2; tick <= 29; ++tick)
        session_.guardTick();
    EXPECT_EQ(session_.idleSeconds(), 58);
    session_.guardTick();

    EXPECT_EQ(session_.idleSeconds(), -1);
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_TRUE(entries_.rows.empty());
    EXPECT_TRUE(ui_.questions.empty());
    EXPECT_EQ(titlesIn(file()).size(), 3u);

    session_.guardTick(); // logged out: nothing runs
    EXPECT_EQ(session_.idleSeconds(), -1);
    EXPECT_FALSE(ui_.logo);
}

TEST_F(SessionTest, MainGuardZeroNeverLogsOut) {
    session_.settings().mainGuard = 0;
    login();
    for (int tick = 0; tick < 2000; ++tick)
        session_.guardTick();
    EXPECT_EQ(session_.sessionNumber(), 1);
}

TEST_F(SessionTest, EveryTimesSavesMakeARotatingBackup) {
    session_.settings().times = 3;
    login();
    std::vector<std::vector<std::string>> after;
    for (int save = 1; save <= 7; ++save) {
        editAndSave(std::to_string(save));
        after.push_back(backups());
        if (save == 4) {
            EXPECT_EQ(test::readBytes(backup("alice2.khk")), test::readBytes(file()));
        }
    }
    const std::vector<std::string> one = {"alice1.khk"}, two = {"alice1.khk", "alice2.khk"};
    EXPECT_EQ(after[0], one);
    EXPECT_EQ(after[2], one);
    EXPECT_EQ(after[3], two);
    EXPECT_EQ(after[5], two);
    EXPECT_EQ(after[6], (std::vector<std::string>{"alice1.khk", "alice2.khk", "alice3.khk"}));
    EXPECT_EQ(session_.backupNumber(), 3);
    EXPECT_EQ(titlesIn(backup("alice1.khk")).size(), 4u);
    EXPECT_EQ(titlesIn(backup("alice3.khk")).size(), 10u);
}

TEST_F(SessionTest, TheEleventhBackupOverwritesNumberOne) {
    session_.settings().times = 1;
    login();
    for (int save = 1; save <= 11; ++save)
        editAndSave(std::to_string(save));
    std::vector<std::string> expected;
    for (int n = 0; n <= 9; ++n)
        expected.push_back(backupFileName("", "alice", n));
    EXPECT_EQ(backups(), expected);
    EXPECT_EQ(test::readBytes(backup("alice1.khk")), test::readBytes(file()));
    EXPECT_EQ(titlesIn(backup("alice0.khk")).size(), 13u);
}

TEST_F(SessionTest, NoBackupWhenDoBackupIsOff) {
    session_.settings().doBackup = false;
    login();
    editAndSave("E");
    EXPECT_TRUE(backups().empty());
}

TEST_F(SessionTest, BackupAccountDataLeavesTheSessionOnItsOwnFile) {
    login(); // the first save of a session would make a rotating backup
    entries_.rows.push_back(makeEntry(kEntryPassword, "Pending", "p"));
    session_.setModified(true);
    const Bytes own = test::readBytes(file());

    ui_.saveFiles = {dir_.file("copy.KHK")};
    session_.backupCommand();
    EXPECT_EQ(ui_.saveDialogStarts.back(), file());
    EXPECT_EQ(titlesIn(dir_.file("copy.KHK")).size(), 4u);
    EXPECT_EQ(session_.fileName(), file());
    EXPECT_TRUE(session_.modified());
    EXPECT_TRUE(ui_.modified);
    EXPECT_EQ(test::readBytes(file()), own);
    EXPECT_TRUE(backups().empty());
    EXPECT_EQ(session_.lastFileName(), file());

    // The copy counts as the first save for the rotation; an unmodified account stays
    // unmodified.
    editAndSave("Again");
    EXPECT_TRUE(backups().empty());
    editAndSave("More");
    EXPECT_EQ(backups(), std::vector<std::string>{"alice1.khk"});
    ui_.saveFiles = {dir_.file("copy2.khk")};
    session_.backupCommand();
    EXPECT_FALSE(session_.modified());
    EXPECT_EQ(titlesIn(dir_.file("copy2.khk")).size(), 6u);
}

TEST(SessionBackupFolder, FollowsTheAccountFileOrTheProgramFolder) {
    MessageTable messages;
    FakeUi ui;
    FakeEntries entries;
    FakeFiles files;
    SessionSettings settings;
    settings.programFolder = "C:\\Program Files\\Keyhaven\\";

    const struct {
        std::string file, folder, copy;
    } cases[] = {
        {"D:\\data\\vault.khk", "D:\\data\\backup\\", "D:\\data\\backup\\alice1.khk"},
        {"vault.khk", "C:\\Program Files\\Keyhaven\\backup\\",
         "C:\\Program Files\\Keyhaven\\backup\\alice1.khk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(defaultBackupFolder(c.file, settings.programFolder, files), c.folder);
        EXPECT_EQ(backupFileName(c.folder, "alice", 1), c.copy);
    }
    EXPECT_EQ(nextBackupNumber(8), 9);
    EXPECT_EQ(nextBackupNumber(9), 0);

    // A folder from the settings without its separator still holds the copies.
    Session session(ui, entries, messages, settings, files);
    session.setBackupFolder("E:\\copies");
    EXPECT_EQ(session.backupFolder(), "E:\\copies\\");
}

TEST_F(SessionTest, BackupFailureIsReportedAndTheSaveStands) {
    FakeFiles files;
    Session session(ui_, entries_, messages_, {}, files, fs_);
    writeAccount(file());
    ASSERT_TRUE(session.loginAccount(file(), "alice", "s3cret!"));
    const std::string folder = dir_.file("backup") + files.separator();

    for (const bool folderFails : {true, false}) {
        SCOPED_TRACE(folderFails);
        files.canCreate = !folderFails;
        files.canCopy = folderFails;
        ui_.warnings.clear();
        session.setModified(true);
        session.saveCommand();
        EXPECT_FALSE(session.modified());
        EXPECT_EQ(ui_.warnings,
                  std::vector<std::string>{"Backup account file to: " + folder + " failed!"});
        session.settings().times = 1;
    }
    EXPECT_EQ(session.backupFolder(), folder);
    EXPECT_TRUE(files.copies.empty());
}

TEST_F(SessionTest, ShowLoginKeepsOnlyAReadableFileAndTrimsTheName) {
    writeAccount(file());
    test::writeBytes(dir_.file("junk.khk"), Bytes(100, 7));

    EXPECT_FALSE(session_.showLogin(dir_.file("junk.khk"), "alice")); // Cancel
    EXPECT_EQ(ui_.loginFiles.back(), "");
    EXPECT_EQ(ui_.loginNames.back(), "alice");

    ui_.logins.push_back({LoginPrompt::Choice::Login, file(), " \talice ", "s3cret!"});
    EXPECT_TRUE(session_.showLogin(file(), "alice"));
    EXPECT_EQ(ui_.loginFiles.back(), file());
    EXPECT_EQ(session_.accountName(), "alice");
    EXPECT_EQ(ui_.banner, "Account: alice [Total: 3 Entries!]");

    // Open Existing Account: logout first, then the dialog for the last account.
    ui_.answers = {true};
    ui_.logins.push_back({LoginPrompt::Choice::Login, file(), "alice", "wrong"});
    session_.openExistingCommand();
    EXPECT_EQ(ui_.loginFiles.back(), file());
    EXPECT_EQ(ui_.loginNames.back(), "alice");
    EXPECT_EQ(ui_.warnings.back(), "Load Account File: " + file() + " Failed!");

    // An open dialog is only brought to the front.
    ui_.loginShowing = true;
    const std::size_t runs = ui_.loginFiles.size();
    EXPECT_FALSE(session_.showLogin(file(), "alice"));
    EXPECT_EQ(ui_.loginFiles.size(), runs);
}

TEST_F(SessionTest, NewAccountFromTheLoginDialogRunsTheWizard) {
    ui_.logins.push_back({LoginPrompt::Choice::NewAccount, "", "", ""});
    WizardAccount account;
    account.name = "carol";
    account.password = "pw";
    account.file = dir_.file("carol.khk");
    ui_.wizard = std::move(account);
    EXPECT_TRUE(session_.showLogin("", ""));
    EXPECT_TRUE(ui_.mainShown);
    EXPECT_EQ(session_.fileName(), dir_.file("carol.khk"));
    EXPECT_TRUE(session_.modified());

    // An import loads the chosen file like a login.
    writeAccount(file());
    ui_.answers = {true, false}; // logout, don't save
    WizardAccount import;
    import.imported = true;
    import.file = file();
    import.name = "alice";
    import.password = "s3cret!";
    ui_.wizard = std::move(import);
    session_.newAccountCommand(true);
    EXPECT_EQ(session_.accountName(), "alice");
    EXPECT_FALSE(session_.modified());
    EXPECT_EQ(entries_.rows.size(), 3u);

    // A cancelled wizard changes nothing.
    ui_.answers = {true};
    session_.newAccountCommand(false);
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_EQ(ui_.wizardRuns, 3);
}

TEST_F(SessionTest, LoginExistingAccountOpensTheChosenFile) {
    writeAccount(file());
    ui_.openFiles = {file()};
    ui_.logins.push_back({LoginPrompt::Choice::Login, file(), "alice", "s3cret!"});
    session_.loginExistingCommand();
    EXPECT_EQ(ui_.loginFiles, std::vector<std::string>{file()});
    EXPECT_EQ(ui_.loginNames, std::vector<std::string>{""});
    EXPECT_TRUE(session_.isLoggedIn());
}

TEST_F(SessionTest, WarningsStaySilentWhileTheHookSaysSo) {
    // A browser request that logs in with a wrong password and one whose save fails: the
    // user sees neither, in a box or in the status bar.
    bool serving = true;
    session_.SilenceWarnings = [&serving] { return serving; };
    writeAccount(file());
    ui_.status.clear();
    EXPECT_FALSE(session_.loginAccount(file(), "alice", "wrong"));
    login();
    session_.setModified(true);
    fs_.failCommit = true;
    const std::string status = ui_.status;
    EXPECT_FALSE(session_.saveAccount(false, true));
    EXPECT_TRUE(ui_.warnings.empty());
    EXPECT_EQ(ui_.status, status);

    serving = false;
    EXPECT_FALSE(session_.saveAccount(false, true));
    EXPECT_EQ(ui_.warnings, std::vector<std::string>{"Save Account File: " + file() + " Failed!"});
}

TEST_F(SessionTest, BannerTextFallsBackToTheAccountName) {
    session_.setBannerText("");
    EXPECT_EQ(ui_.banner, "");
    login();
    session_.setBannerText("Mail [pw-1]");
    EXPECT_EQ(ui_.banner, "Mail [pw-1]");
    session_.setBannerText("");
    EXPECT_EQ(ui_.banner, "alice");
}

TEST_F(SessionTest, EndingTheProgramOffersToSaveAndCanBeRefused) {
    enum class Way { Quit, Close, EndSession };
    const auto attempt = [&](Way way) {
        switch (way) {
        case Way::Quit:
            return session_.quitCommand();
        case Way::Close:
            return session_.closeQuery() == CloseDecision::Close;
        case Way::EndSession:
            return session_.queryEndSession();
        }
        return false;
    };
    session_.settings().quitOnClose = true;
    login();
    for (const Way way : {Way::Quit, Way::Close, Way::EndSession}) {
        SCOPED_TRACE(static_cast<int>(way));
        ui_.questions.clear();
        EXPECT_TRUE(attempt(way)); // unmodified: ends at once, nothing asked
        EXPECT_TRUE(ui_.questions.empty());
        EXPECT_TRUE(session_.isLoggedIn());

        session_.setModified(true);
        EXPECT_FALSE(attempt(way)); // No to the logout question
        EXPECT_TRUE(session_.isLoggedIn());
        EXPECT_EQ(ui_.questions.size(), 1u);
        session_.setModified(false);
    }

    session_.setModified(true);
    ui_.answers = {true, false}; // logout without saving
    EXPECT_TRUE(session_.queryEndSession());
    EXPECT_FALSE(session_.isLoggedIn());

    // With Quit off the window only hides, whatever the state.
    session_.settings().quitOnClose = false;
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    session_.setModified(true);
    ui_.questions.clear();
    EXPECT_EQ(session_.closeQuery(), CloseDecision::HideToTray);
    EXPECT_TRUE(ui_.questions.empty());
    EXPECT_TRUE(session_.isLoggedIn());
}

TEST(SessionTexts, SaveDialogNamesGetTheAccountExtension) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\a\\vault", "C:\\a\\vault.khk"},
        {"C:\\a\\vault.KHK", "C:\\a\\vault.KHK"},
        {"C:\\a\\vault.xml", "C:\\a\\vault.xml.khk"},
        {"C:\\my.folder\\vault", "C:\\my.folder\\vault.khk"},
        {"/home/u/v.khk", "/home/u/v.khk"},
    };
    for (const auto& [chosen, expected] : cases)
        EXPECT_EQ(withAccountExtension(chosen), expected) << chosen;
    EXPECT_EQ(trimLoginName("\t alice smith \r\n"), "alice smith");
    EXPECT_EQ(trimLoginName(" \x01 "), "");
}

TEST(SessionTexts, ForgotPasswordShowsTheMatchingDescription) {
    TempDir dir;
    const std::string path = dir.file("vault.khk");
    writeAccount(path);
    MessageTable messages;

    EXPECT_EQ(forgotPasswordText("", "alice", messages),
              "Please input file or select file from hard disk!");
    EXPECT_EQ(forgotPasswordText(path, " alice ", messages),
              "Here is the Description of Account Password:\n\nAccount Name: alice\n"
              "Description: the usual one");
    EXPECT_EQ(forgotPasswordText(path, "", messages),
              "Here is the Description of Account:\n\nDescription: Home vault");
    EXPECT_EQ(forgotPasswordText(path, "bob", messages), std::nullopt);
    EXPECT_EQ(forgotPasswordText(dir.file("none.khk"), "", messages), std::nullopt);
}

} // namespace
} // namespace kh
