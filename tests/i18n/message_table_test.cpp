#include "language.h"
#include "message_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kh {
namespace {

Msg msgAt(std::size_t i) {
    return static_cast<Msg>(i);
}

// Language files name messages by these keys, in this order; renaming one breaks every
// translation in the field.
TEST(MessageTable, KeysAreTheLanguageFileKeysInLoadOrder) {
    const std::vector<std::string> expected = {
        "apptitle",
        "passwordtext",
        "linktext",
        "texttext",
        "unknowntext",
        "warning",
        "querylogout",
        "querysave",
        "savefailed",
        "loadfailed",
        "prompting",
        "loadok",
        "changepassword",
        "saveok",
        "copyok",
        "warnimport",
        "warnaccess",
        "warnforgotaccount",
        "warnforgot",
        "warnpassword",
        "warnaccesspassword",
        "warnaccount",
        "warnpasswordmismatch",
        "editaccount",
        "editentry",
        "addnewentry",
        "buttonfinish",
        "buttonnext",
        "filexml",
        "itemxml",
        "warncutall",
        "warncut",
        "warnreplace",
        "warndeleteselected",
        "warndeleteall",
        "warndelete",
        "warntitle",
        "warnplease",
        "importitems",
        "exportitems",
        "exportwarning",
        "guarding",
        "removefilefailed",
        "removeprompt",
        "removeok",
        "crcerror",
        "warnfindstring",
        "warnnotfound",
        "itemfound",
        "itemcount",
        "hotkeyfailed",
        "columnuser",
        "column0",
        "column1",
        "column2",
        "column3",
        "backupfailed",
        "weblink",
        "description",
        "detailtext",
        "ieget",
        "iesave",
        "iegenerate",
        "HPromptTitle",
        "HSaveUser",
        "HPassword",
        "HToKeyhaven",
        "HWebUrl",
        "HEntryExist",
        "HQueryOverwrite",
        "HSaved",
        "HSaveFailed",
        "HNonPassword",
        "HSavePassword",
        "HGetFailed",
        "HPromptPassword",
        "warnweblink",
        "importcut",
        "exportlossy",
        "generatorstrength",
        "queryreplacefile",
        "hotkeyinvalid",
        "taball",
        "slogan",
        "loginhint",
        "queryquit",
        "backupsame",
        "idlediscarded",
        "untitledskipped",
        "wrongcredentials",
        "unknownaccount",
        "generatornoclass",
        "browserfailed",
        "aboutversion",
        "importsummary",
        "importlossy",
        "importleftout",
        "importskipped",
        "importnotlogin",
        "importnotexact",
        "importnotitle",
        "importdeleted",
        "importmore",
        "importline",
        "importitem",
        "importunknown",
        "importwrongheader",
        "importencrypted",
        "importbadcsv",
        "importbadjson",
        "logoutwarning",
        "lockdiscarded",
        "filechanged",
        "filechangedsave",
        "filechangedsaveas",
        "filechangedcancel",
    };
    ASSERT_EQ(kMsgCount, expected.size());
    std::set<std::string> folded;
    for (std::size_t i = 0; i < kMsgCount; ++i) {
        EXPECT_EQ(msgKey(msgAt(i)), expected[i]) << "row " << i;
        std::string lower(msgKey(msgAt(i)));
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        // Keys match without regard to case, so two that differ only in case would collide.
        EXPECT_TRUE(folded.insert(lower).second) << lower;
        EXPECT_FALSE(msgDefault(msgAt(i)).empty()) << expected[i];
    }
    EXPECT_EQ(msgKey(Msg::apptitle), "apptitle");
    EXPECT_EQ(msgKey(Msg::HPromptPassword), "HPromptPassword");
}

TEST(MessageTable, DefaultsAreByteExact) {
    EXPECT_EQ(msgDefault(Msg::itemxml),
              "<Entry>\r\n  <Title>%s</Title>\r\n  <Description>%s</Description>\r\n"
              "  <Type>%s</Type>\r\n  <Version>%d</Version>\r\n  <Data>%s</Data>\r\n"
              "  <WhatsThis>%s</WhatsThis>\r\n</Entry>\r\n");
    EXPECT_EQ(msgDefault(Msg::filexml), "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>");
    EXPECT_EQ(msgDefault(Msg::exportwarning),
              "The items have been successfully exported to the file:\n%s\n\nThe data in the "
              "XML file is NOT ENCRYPTED.\nYou can use 'Tools'-'Secure File Remover' to REMOVE "
              "it when it's no longer needed!");
    EXPECT_EQ(msgDefault(Msg::weblink), "Input Web Address (ie: https://www.example.com):");
    EXPECT_EQ(msgDefault(Msg::guarding), "Guarding...\n.");

    const MessageTable table;
    for (std::size_t i = 0; i < kMsgCount; ++i)
        EXPECT_EQ(table.text(msgAt(i)), msgDefault(msgAt(i)));
}

TEST(MessageTable, RefreshTakesFoundTextsAndFallsBackToEnglish) {
    QLanguage language;
    MessageTable table;

    ASSERT_TRUE(language.loadTranslation({"[About]", "Language=Deutsch",
                                          "apptitle = Schl\xFCsselhafen", "WARNING=Hinweis",
                                          "querysave=Speichern?;Jetzt?", "column0 = Titel"}));
    table.refreshFrom(language);
    EXPECT_EQ(table.text(Msg::apptitle), "Schl\xFCsselhafen");
    EXPECT_EQ(table.text(Msg::warning), "Hinweis"); // key case does not matter
    EXPECT_EQ(table.text(Msg::querysave), "Speichern?\nJetzt?");
    EXPECT_EQ(table.text(Msg::column0), "Titel");
    EXPECT_EQ(table.text(Msg::itemxml), msgDefault(Msg::itemxml));

    // A second language without some keys: those show English, not the previous language.
    ASSERT_TRUE(language.loadTranslation({"apptitle=Sleutelhaven"}));
    table.refreshFrom(language);
    EXPECT_EQ(table.text(Msg::apptitle), "Sleutelhaven");
    EXPECT_EQ(table.text(Msg::warning), "Hint");
    EXPECT_EQ(table.text(Msg::column0), "Title");

    table.resetToDefaults();
    EXPECT_EQ(table.text(Msg::apptitle), "Keyhaven");
}

// The defaults entered into the template come back unchanged when English is chosen again:
// line breaks survive as ";" and no text loses blanks or control characters at its ends.
TEST(MessageTable, DefaultsSurviveTheTemplateRoundTrip) {
    QLanguage language([](const std::string&) { return std::optional<std::string>(); });
    MessageTable table;
    table.addDefaultsTo(language);
    ASSERT_NE(language.defaultTemplate(), nullptr);
    ASSERT_EQ(language.defaultTemplate()->size(), kMsgCount);
    EXPECT_EQ(language.defaultTemplate()->front(), "apptitle = Keyhaven");
    EXPECT_EQ((*language.defaultTemplate())[17],
              "warnforgotaccount = Here is the Description of Account:;;Description: %s");

    language.setLanguage("C:\\lang\\de.lng"); // unreadable: empties the map
    language.setLanguage("");                 // English: loads the template
    ASSERT_EQ(language.keys().size(), kMsgCount);
    for (std::size_t i = 0; i < kMsgCount; ++i) {
        std::string text;
        ASSERT_TRUE(language.lookupText(msgKey(msgAt(i)), text)) << msgKey(msgAt(i));
        EXPECT_EQ(text, msgDefault(msgAt(i)));
    }
}

} // namespace
} // namespace kh
