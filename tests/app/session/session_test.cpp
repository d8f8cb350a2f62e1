#include "language.h"
#include "session.h"

#include "session_fakes.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <thread>

namespace kh {
namespace {

using test::Bytes;
using test::TempDir;
using FakeUi = test::FakeSessionUi;

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
    // The copies made last are the newest.
    std::optional<std::int64_t> modificationTime(const std::string& path) override {
        for (std::size_t i = copies.size(); i-- > 0;)
            if (copies[i].second == path) return static_cast<std::int64_t>(i);
        return std::nullopt;
    }
    bool sameFile(const std::string& a, const std::string& b) override { return a == b; }
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

// The session's entry list as these tests look at it: its entries in list order.
class ListRows {
  public:
    explicit ListRows(Session& session)
        : list_(session.entries()), changes_(list_.OnRowsChanged.subscribe([this](RowsChange c) {
              if (c == RowsChange::TypeListRebuilt) ++rebuilds;
          })) {}
    std::vector<AccountEntry> rows() const { return list_.entriesForSave(); }
    void add(const AccountEntry& e) {
        ASSERT_TRUE(list_.addEntryRow(e.title, e.data.view(), kOffsetUnsaved, e.type, e.whatsThis,
                                      e.description));
    }
    void markDeleted(int index) { ASSERT_TRUE(list_.markRowDeleted(EntryView::lvPassword, index)); }
    int rebuilds = 0; // type lists rebuilt

  private:
    EntryList& list_;
    Event<RowsChange>::Subscription changes_;
};

class SessionTest : public ::testing::Test {
  protected:
    SessionTest() : session_(ui_, ui_, messages_, {}, nativeSessionFiles(), fs_) {
        ui_.attach(session_);
    }

    std::string file() const { return dir_.file("vault.khk"); }

    // Logged in on a real file of three entries.
    void login() {
        writeAccount(file());
        ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    }

    // One more entry and a save, as Ctrl+S would do it.
    void editAndSave(const std::string& title) {
        entries_.add(makeEntry(kEntryPassword, title, "x"));
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
    BreakableFs fs_;
    Session session_;
    ListRows entries_{session_};
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
    ASSERT_EQ(entries_.rows().size(), 3u);
    EXPECT_EQ(entries_.rows()[1].data, "pw-2");
    EXPECT_EQ(entries_.rebuilds, 1);
    EXPECT_EQ(ui_.status, "Successfully Loaded: alice!");
    EXPECT_EQ(ui_.banner, "alice");
    EXPECT_TRUE(ui_.started);
    EXPECT_FALSE(ui_.modified);
    EXPECT_TRUE(ui_.logo);
    EXPECT_FALSE(ui_.busyCursor);

    session_.loadReport(true);
    EXPECT_EQ(ui_.banner, "Account: alice [Total: 3 Entries]");
    EXPECT_TRUE(ui_.warnings.empty());

    // A second login while one is open is refused.
    EXPECT_FALSE(session_.loginAccount(file(), "alice", "s3cret!"));
}

TEST_F(SessionTest, FailedLoadsWarnAndLeaveTheSessionLoggedOutAndEmpty) {
    writeAccount(file());
    Bytes damaged = test::readBytes(file());
    damaged[0] ^= 0xFF;
    test::writeBytes(dir_.file("damaged.khk"), damaged);

    const std::string wrong = "Wrong name or password for the account file ";
    const std::string failed = "Load Account File: ";
    const struct {
        const char* label;
        std::string path, name, password, message;
    } cases[] = {
        {"wrong password", file(), "alice", "s3cret", wrong + file() + "."},
        {"wrong name", file(), "Alice", "s3cret!", wrong + file() + "."},
        {"damaged header", dir_.file("damaged.khk"), "alice", "s3cret!",
         failed + dir_.file("damaged.khk") + " Failed!"},
        {"missing file", dir_.file("none.khk"), "alice", "s3cret!",
         failed + dir_.file("none.khk") + " Failed!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ui_.warnings.clear();
        EXPECT_FALSE(session_.loginAccount(c.path, c.name, c.password));
        session_.loadReport(false);
        EXPECT_EQ(ui_.warnings, std::vector<std::string>{c.message});
        EXPECT_FALSE(session_.isLoggedIn());
        EXPECT_TRUE(session_.accountName().empty());
        EXPECT_TRUE(session_.password().empty());
        EXPECT_TRUE(entries_.rows().empty());
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

TEST_F(SessionTest, AWrongPasswordBringsTheLoginStraightBackWithTheNameKept) {
    writeAccount(file());
    ui_.logins.push_back({LoginPrompt::Choice::Login, file(), " alice ", "typo"});
    ui_.logins.push_back({LoginPrompt::Choice::Login, file(), "alice", "s3cret!"});
    EXPECT_TRUE(session_.showLogin(file(), "alice"));
    EXPECT_EQ(ui_.loginNames, (std::vector<std::string>{"alice", " alice "}));
    EXPECT_EQ(ui_.loginFiles, (std::vector<std::string>{file(), file()}));
    EXPECT_EQ(ui_.warnings, std::vector<std::string>{
                                "Wrong name or password for the account file " + file() + "."});
    EXPECT_TRUE(session_.isLoggedIn());

    // A damaged file is not offered again: its message stands and the dialog stays closed.
    session_.endSession();
    Bytes damaged = test::readBytes(file());
    damaged[0] ^= 0xFF;
    test::writeBytes(file(), damaged);
    ui_.warnings.clear();
    ui_.loginFiles.clear();
    ui_.logins.push_back({LoginPrompt::Choice::Login, file(), "alice", "s3cret!"});
    EXPECT_FALSE(session_.showLogin(file(), "alice"));
    EXPECT_EQ(ui_.loginFiles.size(), 1u);
    EXPECT_EQ(ui_.warnings, std::vector<std::string>{"Load Account File: " + file() + " Failed!"});
}

TEST_F(SessionTest, DroppedRecordsAreReportedAfterTheLoad) {
    writeAccount(file());
    Bytes bytes = test::readBytes(file());
    bytes[kHeaderSize + kRecordSize + 8] ^= 0x55; // inside the second entry
    test::writeBytes(file(), bytes);

    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    session_.loadReport(true);
    EXPECT_EQ(session_.crcFailures(), 1);
    EXPECT_EQ(ui_.warnings, std::vector<std::string>{
                                "1 entry was not loaded because its check failed (CRC error)!"});
    EXPECT_EQ(ui_.banner, "Account: alice [Total: 2 Entries]");
}

TEST_F(SessionTest, LogoutAsksOnceWhenUnmodifiedAndTwiceWhenModified) {
    login();
    ui_.answers = {true};
    session_.logoutCommand();
    EXPECT_EQ(ui_.questions,
              std::vector<std::string>{"Are you sure you want to log out of the current account?"});
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_TRUE(entries_.rows().empty());
    EXPECT_EQ(session_.sessionNumber(), 0);
    EXPECT_EQ(session_.idleSeconds(), -1);
    EXPECT_EQ(ui_.banner, "Waiting For Login...");
    EXPECT_EQ(ui_.status, "Waiting For Login...");
    EXPECT_FALSE(ui_.logo);

    for (const bool saveIt : {false, true}) {
        SCOPED_TRACE(saveIt);
        ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
        entries_.add(makeEntry(kEntryPassword, saveIt ? "Saved" : "Lost", "y"));
        session_.setModified(true);
        ui_.questions.clear();
        ui_.answers = {true, saveIt};
        session_.logoutCommand();
        EXPECT_EQ(ui_.questions, (std::vector<std::string>{
                                     "Are you sure you want to log out of the current account?",
                                     "Do you want to save the current account?"}));
        EXPECT_FALSE(session_.isLoggedIn());
        EXPECT_TRUE(entries_.rows().empty());
    }
    EXPECT_EQ(titlesIn(file()), (std::vector<std::string>{"Mail", "Bank", "Note", "Saved"}));

    // No to the first question changes nothing.
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    session_.logoutCommand();
    EXPECT_TRUE(session_.isLoggedIn());
    EXPECT_EQ(entries_.rows().size(), 4u);
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
        entries_.add(makeEntry(kEntryPassword, "First", "one"));
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
    EXPECT_EQ(ui_.questions,
              (std::vector<std::string>{"Are you sure you want to log out of the current account?",
                                        "Do you want to save the current account?",
                                        "Do you want to save the current account?"}));
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
        entries_.add(makeEntry(kEntryPassword, "First", "one"));
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
    EXPECT_EQ(ui_.questions, (std::vector<std::string>{
                                 "Are you sure you want to log out of the current account?",
                                 "Do you want to save the current account?", replaceQuestion(),
                                 "Do you want to save the current account?"}));
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
    entries_.add(makeEntry(kEntryPassword, "More", "m"));
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
    entries_.markDeleted(0);
    entries_.add(makeEntry(kEntryPassword, "New", "n"));
    session_.setModified(true);
    EXPECT_TRUE(ui_.modified);
    session_.saveCommand();
    EXPECT_FALSE(session_.modified());
    EXPECT_FALSE(ui_.modified);
    EXPECT_EQ(ui_.status, "Successfully Saved!");
    EXPECT_TRUE(session_.isLoggedIn());
    ASSERT_EQ(entries_.rows().size(), 3u);
    EXPECT_EQ(entries_.rows()[2].title, "New");
    EXPECT_EQ(entries_.rows()[2].fileOffset, std::int64_t(kHeaderSize + 2 * kRecordSize));
    EXPECT_EQ(titlesIn(file()), (std::vector<std::string>{"Bank", "Note", "New"}));
}

TEST_F(SessionTest, FailedSavesWarnAndKeepTheAccountModified) {
    login();
    const Bytes before = test::readBytes(file());
    entries_.add(makeEntry(kEntryPassword, "New", "n"));
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
        EXPECT_EQ(entries_.rows().size(), 4u);
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
    entries_.add(makeEntry(kEntryPassword, "Unsaved", "u"));
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
    session_.noteActivity(); // user action: the count starts again
    EXPECT_TRUE(session_.isLoggedIn());
    session_.guardTick();
    EXPECT_TRUE(ui_.logo);
    for (int tick = 2; tick <= 29; ++tick)
        session_.guardTick();
    EXPECT_EQ(session_.idleSeconds(), 58);
    session_.guardTick();

    EXPECT_EQ(session_.idleSeconds(), -1);
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_TRUE(entries_.rows().empty());
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

TEST_F(SessionTest, EveryTimesSavesKeepTheFileAsItWasBeforeTheSave) {
    session_.settings().times = 3;
    login();
    std::vector<std::vector<std::string>> after;
    for (int save = 1; save <= 7; ++save) {
        const Bytes before = test::readBytes(file());
        editAndSave(std::to_string(save));
        after.push_back(backups());
        if (save == 4) {
            EXPECT_EQ(test::readBytes(backup("alice2.khk")), before);
            EXPECT_NE(test::readBytes(backup("alice2.khk")), test::readBytes(file()));
        }
    }
    const std::vector<std::string> one = {"alice1.khk"}, two = {"alice1.khk", "alice2.khk"};
    EXPECT_EQ(after[0], one);
    EXPECT_EQ(after[2], one);
    EXPECT_EQ(after[3], two);
    EXPECT_EQ(after[5], two);
    EXPECT_EQ(after[6], (std::vector<std::string>{"alice1.khk", "alice2.khk", "alice3.khk"}));
    EXPECT_EQ(session_.backupNumber(), 3);
    // The file as loaded, before the 4th save and before the 7th.
    EXPECT_EQ(titlesIn(backup("alice1.khk")).size(), 3u);
    EXPECT_EQ(titlesIn(backup("alice2.khk")).size(), 6u);
    EXPECT_EQ(titlesIn(backup("alice3.khk")).size(), 9u);
}

TEST_F(SessionTest, TheRotationTakesTheOldestCopyAlsoAfterTheNextLogin) {
    session_.settings().times = 1;
    login();
    for (int save = 1; save <= 11; ++save)
        editAndSave(std::to_string(save));
    std::vector<std::string> expected;
    for (int n = 0; n <= 9; ++n)
        expected.push_back(backupFileName("", "alice", n));
    EXPECT_EQ(backups(), expected);
    // The 11th save replaced the oldest copy, number 1, with the file before it.
    EXPECT_EQ(titlesIn(backup("alice1.khk")).size(), 13u);
    EXPECT_EQ(titlesIn(backup("alice2.khk")).size(), 4u);
    EXPECT_EQ(titlesIn(backup("alice0.khk")).size(), 12u);

    // A new session goes on with the oldest copy, number 2, instead of starting at 1.
    session_.endSession();
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    editAndSave("next session");
    EXPECT_EQ(session_.backupNumber(), 2);
    EXPECT_EQ(titlesIn(backup("alice2.khk")).size(), 14u);
    EXPECT_EQ(titlesIn(backup("alice1.khk")).size(), 13u);
}

TEST_F(SessionTest, NoBackupWhenDoBackupIsOff) {
    session_.settings().doBackup = false;
    login();
    editAndSave("E");
    EXPECT_TRUE(backups().empty());
}

TEST_F(SessionTest, BackupAccountDataLeavesTheSessionOnItsOwnFile) {
    login(); // the first save of a session would make a rotating backup
    entries_.add(makeEntry(kEntryPassword, "Pending", "p"));
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

TEST_F(SessionTest, ABackupCopyOverTheOpenAccountFileIsRefused) {
    login();
    entries_.add(makeEntry(kEntryPassword, "Pending", "p"));
    const Bytes own = test::readBytes(file());
    const std::string otherSpelling =
        (std::filesystem::path(dir_.path()) / "." / "vault.khk").string();
    for (const std::string& target : {file(), otherSpelling}) {
        SCOPED_TRACE(target);
        ui_.warnings.clear();
        ui_.saveFiles = {target};
        session_.backupCommand();
        EXPECT_EQ(ui_.warnings, std::vector<std::string>{
                                    "A backup copy cannot replace the open account file itself.\n"
                                    "Please choose another file for the copy."});
        EXPECT_EQ(test::readBytes(file()), own);
        EXPECT_TRUE(session_.modified());
        EXPECT_EQ(session_.fileName(), file());
    }
}

TEST_F(SessionTest, TheSaveQuestionKeepsTheWorkOnEnterAndTheQuitSaysQuit) {
    login();
    entries_.add(makeEntry(kEntryPassword, "Pending", "p"));
    ui_.answers = {true, true};
    session_.logoutCommand();
    EXPECT_EQ(ui_.defaults, (std::vector<DefaultButton>{DefaultButton::No, DefaultButton::Yes}));
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_EQ(titlesIn(file()).back(), "Pending");

    login();
    entries_.add(makeEntry(kEntryPassword, "More", "m"));
    ui_.questions.clear();
    ui_.answers = {false};
    EXPECT_FALSE(session_.quitCommand());
    EXPECT_EQ(ui_.questions, std::vector<std::string>{"Are you sure you want to quit Keyhaven?"});
}

TEST_F(NewAccountTest, ANewAccountNeverSavedIsAlwaysOfferedForSaving) {
    session_.setModified(false); // nothing says it changed, but it was never written
    ui_.answers = {true, false};
    EXPECT_TRUE(session_.quitCommand());
    EXPECT_EQ(ui_.questions,
              (std::vector<std::string>{"Are you sure you want to quit Keyhaven?",
                                        "Do you want to save the current account?"}));
}

TEST_F(SessionTest, ASavedStatusGoesOnceTheAccountChangesAgain) {
    login();
    editAndSave("One");
    EXPECT_EQ(ui_.status, "Successfully Saved!");
    entries_.add(makeEntry(kEntryPassword, "Two", "t"));
    EXPECT_EQ(ui_.status, "");
}

TEST_F(SessionTest, TheNextLoginTellsOnceOfChangesTheAutomaticLogoutDiscarded) {
    session_.settings().mainGuard = 1;
    login();
    entries_.add(makeEntry(kEntryPassword, "Lost", "l"));
    for (int tick = 0; tick < 30; ++tick)
        session_.guardTick();
    ASSERT_FALSE(session_.isLoggedIn());
    EXPECT_TRUE(ui_.warnings.empty());

    const std::vector<std::string> notice = {
        "The automatic logout after 1 minute without use closed account alice and discarded "
        "its unsaved changes."};
    for (const auto& expected : {notice, std::vector<std::string>{}}) {
        ui_.warnings.clear();
        ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
        session_.loadReport(true);
        EXPECT_EQ(ui_.warnings, expected);
        session_.endSession();
    }
    // Without unsaved changes there is nothing to tell.
    login();
    for (int tick = 0; tick < 30; ++tick)
        session_.guardTick();
    ui_.warnings.clear();
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    session_.loadReport(true);
    EXPECT_TRUE(ui_.warnings.empty());
}

// The guard ticks are the session's clock: every tick is two seconds without action.
class LogoutWarningTest : public SessionTest {
  protected:
    LogoutWarningTest()
        : shown_(session_.OnLogoutWarning.subscribe([this](int left) { shown.push_back(left); })),
          ended_(session_.OnLogoutWarningEnded.subscribe([this] { ++ends; })) {}

    void ticks(int count) {
        for (int i = 0; i < count; ++i)
            session_.guardTick();
    }

    std::vector<int> shown; // the seconds left of every warning tick
    int ends = 0;

  private:
    Event<int>::Subscription shown_;
    Event<>::Subscription ended_;
};

TEST_F(LogoutWarningTest, AMinuteBeforeTheLogoutOfUnsavedWorkTheCountdownRuns) {
    session_.settings().mainGuard = 3;
    login();
    entries_.add(makeEntry(kEntryPassword, "Unsaved", "u"));
    ticks(59); // 118 seconds: two before the warning
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(session_.logoutWarningShowing());
    ticks(1);
    EXPECT_EQ(shown, std::vector<int>{60});
    EXPECT_TRUE(session_.logoutWarningShowing());
    ticks(29);
    ASSERT_EQ(shown.size(), 30u);
    EXPECT_EQ(shown.back(), 2);
    EXPECT_EQ(ends, 0);
    ticks(1);
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(session_.logoutWarningShowing());
}

TEST_F(LogoutWarningTest, AnActionOrASaveEndsTheWarningAndTheCountStartsAgain) {
    session_.settings().mainGuard = 3;
    login();
    entries_.add(makeEntry(kEntryPassword, "Unsaved", "u"));
    ticks(65);
    ASSERT_TRUE(session_.logoutWarningShowing());
    session_.noteActivity();
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(session_.logoutWarningShowing());
    EXPECT_EQ(session_.idleSeconds(), 0);
    shown.clear();
    ticks(59);
    EXPECT_TRUE(shown.empty()); // a full count again before the next warning
    ticks(1);
    EXPECT_EQ(shown, std::vector<int>{60});

    // Saved meanwhile (the save command counts as an action; this save does not): nothing
    // is lost any more, the warning goes and the logout comes silently.
    session_.saveAccount(false, false);
    ASSERT_FALSE(session_.modified());
    ticks(1);
    EXPECT_EQ(ends, 2);
    EXPECT_FALSE(session_.logoutWarningShowing());
    ticks(29);
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(ends, 2);
}

TEST_F(LogoutWarningTest, WithoutUnsavedWorkOrAutomaticLogoutThereIsNoWarning) {
    struct Case {
        int mainGuard;
        bool unsaved;
        int ticks;
        std::size_t warnings;
    };
    // A short idle time warns for its second half, never from the start.
    const Case cases[] = {{3, false, 90, 0},
                          {0, true, 2000, 0},
                          {1, true, 14, 0},
                          {1, true, 15, 1},
                          {1, true, 29, 15}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.mainGuard << (c.unsaved ? " unsaved" : "") << " " << c.ticks);
        session_.settings().mainGuard = c.mainGuard;
        login();
        if (c.unsaved) entries_.add(makeEntry(kEntryPassword, "Unsaved", "u"));
        shown.clear();
        ticks(c.ticks);
        EXPECT_EQ(shown.size(), c.warnings);
        session_.setModified(false);
        session_.endSession();
    }
}

TEST_F(SessionTest, ALockLogsOutAtOnceAndTheNextLoginTellsOfDiscardedChanges) {
    login();
    session_.noteActivity();
    entries_.add(makeEntry(kEntryPassword, "Lost", "l"));
    ASSERT_TRUE(session_.hasUnsavedWork());
    EXPECT_TRUE(session_.lockLogout());
    EXPECT_FALSE(session_.isLoggedIn());
    EXPECT_TRUE(ui_.questions.empty());
    EXPECT_EQ(titlesIn(file()).size(), 3u);
    EXPECT_FALSE(session_.lockLogout()); // nothing open: nothing to do

    ui_.warnings.clear();
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    session_.loadReport(true);
    EXPECT_EQ(ui_.warnings,
              std::vector<std::string>{"Keyhaven logged out of account alice when the workstation "
                                       "was locked or the computer went to sleep, and discarded "
                                       "its unsaved changes."});
    // Saved work: the lock logs out all the same, and tells nothing.
    ui_.warnings.clear();
    EXPECT_TRUE(session_.lockLogout());
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    session_.loadReport(true);
    EXPECT_TRUE(ui_.warnings.empty());
}

// Another program (khcli, a synced folder) wrote the account's file after it was loaded.
TEST_F(SessionTest, ASaveOverAnotherProgramsChangeAsksFirst) {
    struct Case {
        const char* what;
        int choice; // Save Anyway, Save As..., Cancel
        std::vector<std::string> onDisk;
        bool modified;
    };
    const std::vector<std::string> theirs = {"Mail", "Bank", "Note", "Theirs"};
    const std::vector<std::string> ours = {"Mail", "Bank", "Note", "Ours"};
    const Case cases[] = {
        {"save anyway", 0, ours, false},
        {"save as", 1, theirs, false},
        {"cancel", 2, theirs, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        login();
        std::vector<AccountEntry> changed = threeEntries();
        changed.push_back(makeEntry(kEntryText, "Theirs", "t"));
        writeAccount(file(), changed);
        entries_.add(makeEntry(kEntryText, "Ours", "o"));
        session_.setModified(true);
        ui_.choiceTexts.clear();
        ui_.choices = {c.choice};
        const std::string other = dir_.file("other.khk");
        ui_.saveFiles = {other};
        session_.saveCommand();
        ASSERT_EQ(ui_.choiceTexts.size(), 1u);
        EXPECT_EQ(ui_.choiceTexts[0],
                  "The account file was changed by another program since you opened it.\n\n" +
                      file() +
                      "\n\nSave Anyway replaces that change with yours. Save As writes yours to "
                      "another file and leaves that one as it is.");
        EXPECT_EQ(titlesIn(file()), c.onDisk);
        EXPECT_EQ(session_.modified(), c.modified);
        if (c.choice == 1) {
            EXPECT_EQ(titlesIn(other), ours);
            EXPECT_EQ(session_.fileName(), other);
        }
        // Once saved, the file is the session's own again: the next save does not ask.
        if (!c.modified) {
            entries_.add(makeEntry(kEntryText, "More", "m"));
            session_.setModified(true);
            session_.saveCommand();
            EXPECT_EQ(ui_.choiceTexts.size(), 1u);
            EXPECT_FALSE(session_.modified());
        }
        session_.setModified(false);
        session_.endSession();
        std::filesystem::remove(other);
    }
}

TEST_F(SessionTest, SavesOfAnUnchangedOrRemovedFileDoNotAsk) {
    login();
    editAndSave("One");
    // A backup copy on request is no save of the account's own file.
    ui_.saveFiles = {dir_.file("copy.khk")};
    session_.backupCommand();
    editAndSave("Two");
    std::filesystem::remove(file());
    editAndSave("Three");
    EXPECT_TRUE(ui_.choiceTexts.empty());
    EXPECT_EQ(titlesIn(file()),
              (std::vector<std::string>{"Mail", "Bank", "Note", "One", "Two", "Three"}));
}

TEST_F(SessionTest, RecordsWithoutATitleAreReportedInTheirOwnWords) {
    std::vector<AccountEntry> entries = threeEntries();
    entries[1].title.clear();
    writeAccount(file(), entries);
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    session_.loadReport(true);
    EXPECT_EQ(session_.crcFailures(), 0);
    EXPECT_EQ(session_.untitledRecords(), 1);
    EXPECT_EQ(ui_.warnings, std::vector<std::string>{"1 entry has no title and was not loaded. "
                                                     "The next save of the account leaves it "
                                                     "out."});
}

TEST(SessionBackupFolder, FollowsTheAccountFileOrTheProgramFolder) {
    MessageTable messages;
    FakeUi ui;
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
    Session session(ui, ui, messages, settings, files);
    session.setBackupFolder("E:\\copies");
    EXPECT_EQ(session.backupFolder(), "E:\\copies\\");
}

TEST_F(SessionTest, BackupFailureIsReportedAndTheSaveStands) {
    FakeFiles files;
    Session session(ui_, ui_, messages_, {}, files, fs_);
    ui_.attach(session);
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
    EXPECT_EQ(ui_.banner, "Account: alice [Total: 3 Entries]");

    // Open Existing Account: logout first, then the dialog for the last account.
    ui_.answers = {true};
    ui_.logins.push_back({LoginPrompt::Choice::Login, file(), "alice", "wrong"});
    session_.openExistingCommand();
    EXPECT_EQ(ui_.loginFiles.back(), file());
    EXPECT_EQ(ui_.loginNames.back(), "alice");
    EXPECT_EQ(ui_.warnings.back(), "Wrong name or password for the account file " + file() + ".");

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
    EXPECT_EQ(entries_.rows().size(), 3u);

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

// Runs the work on a thread of its own, as the program does, and counts the runs.
class ThreadedWork final : public BackgroundWork {
  public:
    int runs = 0;
    void runAndWait(const std::function<void()>& work) override {
        ++runs;
        std::thread worker(work);
        worker.join();
    }
};

std::optional<AccountProtection> protectionOf(const std::string& path) {
    return readAccountProtection(path);
}

TEST_F(SessionTest, EverySaveKeepsTheProtectionTheAccountWasLoadedWith) {
    ThreadedWork work;
    session_.setBackgroundWork(&work);
    // The cheapest cost a file may carry keeps the test quick; it must survive saves too.
    const AccountProtection cheap = AccountProtection::strongWith({1, 8192, 1});
    Account account;
    account.name = "alice";
    account.password = "s3cret!";
    account.protection = cheap;
    std::vector<AccountEntry> entries = threeEntries();
    ASSERT_EQ(writeAccountFile(file(), account, entries), SaveOutcome::Saved);

    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    EXPECT_EQ(work.runs, 1);
    EXPECT_EQ(session_.protection(), cheap);
    editAndSave("Saved");
    EXPECT_EQ(work.runs, 2);
    EXPECT_EQ(protectionOf(file()), cheap);
    EXPECT_EQ(titlesIn(file()).size(), 4u);

    ui_.saveFiles = {dir_.file("copy.khk")};
    session_.backupCommand();
    EXPECT_EQ(protectionOf(dir_.file("copy.khk")), cheap);
    ui_.saveFiles = {dir_.file("other.khk")};
    session_.saveAsCommand();
    EXPECT_EQ(protectionOf(dir_.file("other.khk")), cheap);

    // A new password takes effect at the save, with a new salt.
    const Bytes before = test::readBytes(session_.fileName());
    ASSERT_TRUE(session_.changePassword(session_.sessionNumber(), "new one"));
    session_.saveCommand();
    LoadedAccount loaded;
    EXPECT_EQ(readAccountFile(session_.fileName(), "alice", "new one", loaded),
              ReadOutcome::Loaded);
    EXPECT_EQ(loaded.account.protection, cheap);
    const Bytes after = test::readBytes(session_.fileName());
    ASSERT_GT(after.size(), 64u);
    EXPECT_FALSE(std::equal(before.begin() + 32, before.begin() + 64, after.begin() + 32));
    session_.setBackgroundWork(nullptr);
}

TEST_F(SessionTest, TheProtectionChoiceTakesEffectAtTheNextSave) {
    login();
    EXPECT_EQ(session_.protection(), AccountProtection::compatible());

    // No keeps everything as it was.
    session_.protectionCommand();
    ASSERT_EQ(ui_.questions.size(), 1u);
    EXPECT_NE(ui_.questions.back().find("weak"), std::string::npos);
    EXPECT_EQ(ui_.defaults.back(), DefaultButton::Yes);
    EXPECT_FALSE(session_.modified());
    EXPECT_EQ(session_.protection(), AccountProtection::compatible());

    ui_.answers = {true};
    session_.protectionCommand();
    EXPECT_TRUE(session_.modified());
    EXPECT_EQ(session_.protection(), AccountProtection::strongWith());
    EXPECT_EQ(protectionOf(file()), AccountProtection::compatible());
    session_.saveCommand();
    EXPECT_EQ(protectionOf(file()), AccountProtection::strongWith());
    EXPECT_EQ(titlesIn(file()), (std::vector<std::string>{"Mail", "Bank", "Note"}));

    // Back to compatible: the question names the strong protection and warns; No is the
    // default.
    ui_.answers = {true};
    session_.protectionCommand();
    EXPECT_NE(ui_.questions.back().find("strong (Argon2id, t=3, m=65536 KiB, p=2, AES-256-GCM)"),
              std::string::npos);
    EXPECT_NE(ui_.questions.back().find("weak"), std::string::npos);
    EXPECT_EQ(ui_.defaults.back(), DefaultButton::No);
    EXPECT_EQ(session_.protection(), AccountProtection::compatible());
    EXPECT_EQ(protectionOf(file()), AccountProtection::strongWith());
    session_.saveCommand();
    EXPECT_EQ(protectionOf(file()), AccountProtection::compatible());

    // The next login takes the protection from the file again.
    session_.endSession();
    EXPECT_EQ(session_.protection(), AccountProtection::compatible());
    ASSERT_TRUE(session_.loginAccount(file(), "alice", "s3cret!"));
    EXPECT_EQ(session_.protection(), AccountProtection::compatible());
    EXPECT_EQ(session_.protectionName(), "compatible");

    // The names come from the language file, the strong one with its parameters.
    QLanguage language([](const std::string&) {
        return std::string("protectionnamecompatible = kompatibel\n"
                           "protectionnamestrong = stark (t=%d, m=%d KiB, p=%d)\n");
    });
    language.setLanguage("test.lng");
    messages_.refreshFrom(language);
    EXPECT_EQ(session_.protectionName(), "kompatibel");
    ASSERT_TRUE(session_.changeProtection(session_.sessionNumber(),
                                          AccountProtection::strongWith({2, 8192, 1})));
    EXPECT_EQ(session_.protectionName(), "stark (t=2, m=8192 KiB, p=1)");
}

TEST_F(NewAccountTest, ANewAccountIsStronglyProtectedFromItsFirstSave) {
    EXPECT_EQ(session_.protection(), AccountProtection::strongWith());
    ui_.saveFiles = {dir_.file("bob.khk")};
    session_.saveCommand();
    EXPECT_EQ(protectionOf(dir_.file("bob.khk")), AccountProtection::strongWith());
    LoadedAccount loaded;
    ASSERT_EQ(readAccountFile(dir_.file("bob.khk"), "bob", "pw", loaded), ReadOutcome::Loaded);
    ASSERT_EQ(loaded.entries.size(), 1u);
    EXPECT_EQ(loaded.entries[0].data, "one");
}

TEST_F(SessionTest, ADamagedStrongFileSaysTheBackupCopiesAreTheWayBack) {
    Account account;
    account.name = "alice";
    account.password = "s3cret!";
    account.protection = AccountProtection::strongWith({1, 8192, 1});
    std::vector<AccountEntry> entries = threeEntries();
    ASSERT_EQ(writeAccountFile(file(), account, entries), SaveOutcome::Saved);
    Bytes bytes = test::readBytes(file());
    bytes[bytes.size() - 30] ^= 0x04;
    test::writeBytes(file(), bytes);

    EXPECT_EQ(session_.login(file(), "alice", "s3cret!"), ReadOutcome::Damaged);
    EXPECT_FALSE(session_.isLoggedIn());
    ASSERT_EQ(ui_.warnings.size(), 1u);
    EXPECT_NE(ui_.warnings[0].find("damaged"), std::string::npos);
    EXPECT_NE(ui_.warnings[0].find("backup copies"), std::string::npos);
    EXPECT_EQ(test::readBytes(file()), bytes);
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

    const struct {
        std::string file, name, text;
        bool found;
    } cases[] = {
        {"", "alice", "Please input file or select file from hard disk!", false},
        {path, " alice ",
         "Here is the Description of Account Password:\n\nAccount Name: alice\n"
         "Description: the usual one",
         true},
        {path, "", "Here is the Description of Account:\n\nDescription: Home vault", true},
        // An unknown name or an unreadable file says so instead of showing nothing.
        {path, "bob",
         "This account file holds no account named bob.\nCheck the account name: its "
         "password description is shown with it.",
         false},
        {dir.file("none.khk"), "", "Can't access file: " + dir.file("none.khk") + "!", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + "|" + c.name);
        const ForgotAnswer answer = forgotPasswordText(c.file, c.name, messages);
        EXPECT_EQ(answer.text, c.text);
        EXPECT_EQ(answer.found, c.found);
    }
}

} // namespace
} // namespace kh
