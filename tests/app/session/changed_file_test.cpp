// A save of the program over a change another program made to the account's file, in the
// real main window under Wine: the question with its three buttons, and what each does.
#include "../win32/main_window_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

class ChangedFileTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        openWindow();
        login();
    }

    // What khcli add would do while the program has the account open.
    void anotherProgramAdds(const std::string& title) {
        LoadedAccount loaded;
        ASSERT_EQ(ReadOutcome::Loaded,
                  readAccountFile(accountFile_, kAccountName, kAccountPassword, loaded));
        AccountEntry& entry = loaded.entries.emplace_back();
        entry.type = kEntryText;
        entry.title = title;
        ASSERT_EQ(SaveOutcome::Saved,
                  writeAccountFile(accountFile_, loaded.account, loaded.entries));
    }
};

TEST_F(ChangedFileTest, CancelKeepsTheirChangeAndSaveAnywayReplacesIt) {
    anotherProgramAdds("Theirs");
    deleteRow(0);
    main_->choices = {2};
    main_->runCommand(CommandId::SaveAccountData);
    ASSERT_EQ(main_->choiceTexts.size(), 1u);
    EXPECT_EQ(main_->choiceTexts[0].find("The account file was changed by another program since "
                                         "you opened it.\n\n" +
                                         accountFile_),
              0u);
    EXPECT_EQ(main_->choiceButtons[0],
              (std::array<std::string, 3>{"Save &Anyway", "Save &As...", "Cancel"}));
    EXPECT_EQ(titlesOnDisk(accountFile_).back(), "Theirs");
    EXPECT_TRUE(main_->session().modified());

    main_->choices = {0};
    main_->runCommand(CommandId::SaveAccountData);
    EXPECT_EQ(main_->choiceTexts.size(), 2u);
    EXPECT_FALSE(main_->session().modified());
    const Texts saved = titlesOnDisk(accountFile_);
    EXPECT_EQ(saved.size(), 4u);
    EXPECT_NE(saved.back(), "Theirs");
}

TEST_F(ChangedFileTest, SaveAsLeavesTheirFileAlone) {
    anotherProgramAdds("Theirs");
    deleteRow(0);
    main_->choices = {1};
    main_->saveAnswers.push_back(dir_.file("mine.khk"));
    main_->runCommand(CommandId::SaveAccountData);
    EXPECT_EQ(titlesOnDisk(accountFile_).size(), 6u);
    EXPECT_EQ(titlesOnDisk(dir_.file("mine.khk")).size(), 4u);
    EXPECT_EQ(main_->session().fileName(), dir_.file("mine.khk"));
}

} // namespace
} // namespace kh::test
