#include "key_names.h"
#include "language.h"
#include "message_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
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
        "clipboardtoolong",
        "clipboardcut",
        "keyctrl",
        "keyalt",
        "keyshift",
        "keybackspace",
        "keytab",
        "keyenter",
        "keypause",
        "keycapslock",
        "keyesc",
        "keyspace",
        "keypageup",
        "keypagedown",
        "keyend",
        "keyhome",
        "keyleft",
        "keyup",
        "keyright",
        "keydown",
        "keyprintscreen",
        "keyinsert",
        "keydelete",
        "keynumlock",
        "keyscrolllock",
        "keynumpad",
        "protectionstrong",
        "protectioncompatible",
        "strongdamaged",
        "logoutwarning",
        "lockdiscarded",
        "filechanged",
        "filechangedsave",
        "filechangedsaveas",
        "filechangedcancel",
        "protectionnamecompatible",
        "protectionnamestrong",
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

// Shortcut texts name keys as the language does; letters, digits, signs and function keys
// are the same in every language.
TEST(KeyNames, ChordsInEnglishAndInALoadedLanguage) {
    QLanguage language;
    ASSERT_TRUE(language.loadTranslation({"[About]", "Language=Deutsch", "keyctrl=Strg",
                                          "keyshift=Umschalt", "keydelete=Entf",
                                          "keypageup=Bild auf", "keynumpad=Num"}));
    MessageTable german;
    german.refreshFrom(language);
    const MessageTable english;
    struct Case {
        std::uint8_t key;
        bool ctrl, alt, shift;
        const char* english;
        const char* german;
    };
    const Case cases[] = {
        {'S', true, false, false, "Ctrl+S", "Strg+S"},
        {'C', true, true, false, "Ctrl+Alt+C", "Strg+Alt+C"},
        {0x2E, false, false, true, "Shift+Del", "Umschalt+Entf"},
        {0x21, true, false, true, "Ctrl+Shift+PgUp", "Strg+Umschalt+Bild auf"},
        {0x72, false, false, false, "F3", "F3"},
        {0x70, true, false, false, "Ctrl+F1", "Strg+F1"},
        {'7', false, true, false, "Alt+7", "Alt+7"},
        {0x63, true, false, false, "Ctrl+Num 3", "Strg+Num 3"},
        {0x6F, true, false, false, "Ctrl+Num /", "Strg+Num /"},
        {0xBC, true, false, false, "Ctrl+,", "Strg+,"},
        {0x2D, false, false, false, "Ins", "Ins"}, // a key the language lacks stays English
        {0xE8, false, true, false, "Alt+Key E8", "Alt+Key E8"},
        {0, true, false, false, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keyChordText(c.key, c.ctrl, c.alt, c.shift, english), c.english) << c.english;
        EXPECT_EQ(keyChordText(c.key, c.ctrl, c.alt, c.shift, german), c.german) << c.german;
    }
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
