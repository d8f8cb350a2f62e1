// Export and import in the real main window under Wine, with the scripted file dialogs:
// the selected rows exported with Ctrl+M and imported back with Ctrl+I, every row of a
// type tab exported and imported again through the system clipboard.
#include "../win32/main_window_fixture.h"

#include "interchange_feature.h"
#include "text_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh::test {
namespace {

using Texts = std::vector<std::string>;

class InterchangeWindowTest : public MainWindowFixture {
  protected:
    void SetUp() override {
        openWindow();
        login();
        auto* feature = dynamic_cast<InterchangeFeature*>(main_->feature(Feature::Interchange));
        ASSERT_NE(feature, nullptr);
        feature->commands().setFileDialogs(main_->dialogs);
    }

    std::string exportWarning(const std::string& path) const {
        return formatText(main_->messages().text(Msg::exportwarning), {path});
    }
};

TEST_F(InterchangeWindowTest, SelectedRowsGoOutWithCtrlMAndComeBackWithCtrlI) {
    HWND all = list(EntryView::lvPassword);
    selectOnly(all, 1);
    ListView_SetItemState(all, 3, LVIS_SELECTED, LVIS_SELECTED);
    main_->saveAnswers.push_back(dir_.file("two"));
    press(all, 'M', true);

    const std::string path = dir_.file("two.xml");
    ASSERT_EQ(1u, main_->dialogs.fileRequests.size());
    EXPECT_EQ("Keyhaven Files|*.khk|XML Files|*.xml|All Files|*.*",
              main_->dialogs.fileRequests[0].filter);
    EXPECT_EQ(2, main_->dialogs.fileRequests[0].filterIndex);
    EXPECT_EQ(Texts{exportWarning(path)}, main_->warnings);
    EXPECT_EQ(exportWarning(path), main_->statusText());
    EXPECT_FALSE(main_->get<TToolButton>("tbSaveAccount").isActive());

    main_->openAnswers.push_back(path);
    press(all, 'I', true);
    EXPECT_EQ("Import From XML: 2 items imported!", main_->statusText());
    ASSERT_EQ(7, rowCount(all));
    EXPECT_EQ((Texts{"Bank", "wifi"}),
              (Texts{cell(all, 5, kColumnTitle), cell(all, 6, kColumnTitle)}));
    EXPECT_EQ("bank.example.org", cell(all, 5, kColumnWhatsThis));
    EXPECT_EQ("Link", cell(all, 5, kColumnType));
    EXPECT_EQ(kIconNew, icon(all, 6));
    EXPECT_TRUE(main_->get<TToolButton>("tbSaveAccount").isActive());

    // Saved and read again, the copies carry the passwords of their originals.
    main_->session().saveCommand();
    LoadedAccount loaded;
    ASSERT_EQ(ReadOutcome::Loaded,
              readAccountFile(accountFile_, kAccountName, kAccountPassword, loaded));
    ASSERT_EQ(7u, loaded.entries.size());
    EXPECT_EQ("apple", loaded.entries[5].data.view());
    EXPECT_EQ("Mango", loaded.entries[6].data.view());
}

TEST_F(InterchangeWindowTest, ATypeTabGoesOutWholeAndComesBackThroughTheClipboard) {
    ASSERT_TRUE(main_->chooseTab(kEntryLink));
    main_->saveAnswers.push_back(dir_.file("links.xml"));
    main_->runCommand(CommandId::ExportAllTheEntries);
    ASSERT_EQ(Texts{exportWarning(dir_.file("links.xml"))}, main_->warnings);

    // The file's blocks, as another program would put them on the clipboard.
    const Bytes bytes = readBytes(dir_.file("links.xml"));
    const std::string text(bytes.begin(), bytes.end());
    ASSERT_TRUE(main_->clipboard().setText(text));
    main_->runCommand(CommandId::ImportFromClipboard);

    EXPECT_EQ("Import From XML: 2 items imported!", main_->statusText());
    EXPECT_EQ(7, rowCount(list(EntryView::lvPassword)));
    HWND links = list(EntryView::lvSub);
    ASSERT_EQ(4, rowCount(links));
    EXPECT_EQ((Texts{"Bank", "Forum", "Bank", "Forum"}), columnTexts(links, kColumnTitle));
    EXPECT_EQ(kIconNew, icon(links, 3));
    // The clipboard held the passwords: the guard watches it.
    EXPECT_TRUE(main_->guard().running());
    main_->guard().stopGuard();
}

TEST_F(InterchangeWindowTest, AnotherManagersExportComesInFromTheEntriesMenu) {
    const std::string path = dir_.file("passwords.csv");
    const std::string csv = "name,url,username,password,note\r\n"
                            "shop.example,https://shop.example/,ann,Lychee,\r\n"
                            "bad,https://bad.example/,bob,\xE2\x82\xAC\xE2\x98\x83,\r\n";
    writeBytes(path, Bytes(csv.begin(), csv.end()));
    main_->openAnswers.push_back(path);
    main_->runCommand(CommandId::ImportFromOtherManager);

    ASSERT_EQ(1u, main_->dialogs.fileRequests.size());
    EXPECT_EQ(kOtherImportFilter, main_->dialogs.fileRequests[0].filter);
    ASSERT_EQ(1u, main_->warnings.size());
    EXPECT_EQ(0u, main_->warnings[0].find("Import From Chrome/Edge CSV: 1 item imported, 1 "
                                          "skipped.\n\nNot imported:\n- bad: "));
    EXPECT_EQ(0u, main_->statusText().find("Import From Chrome/Edge CSV: 1 item imported"));
    HWND all = list(EntryView::lvPassword);
    ASSERT_EQ(6, rowCount(all));
    EXPECT_EQ("ann", cell(all, 5, kColumnTitle));
    EXPECT_EQ("shop.example", cell(all, 5, kColumnWhatsThis));
    EXPECT_EQ("Link", cell(all, 5, kColumnType));
    EXPECT_TRUE(main_->session().modified());
}

} // namespace
} // namespace kh::test
