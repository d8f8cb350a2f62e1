#include "import_formats.h"
#include "import_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh {
namespace {

struct Want {
    std::int32_t type;
    std::string title;
    std::string whatsThis;
    std::string data;
    std::string description;
};

struct Skip {
    SkipReason reason;
    std::string label;
    std::size_t line = 0;
    std::size_t item = 0;
};

struct Sample {
    const char* what;
    ImportFormat format;
    std::string text;
    std::vector<Want> entries = {};
    std::vector<Skip> skipped = {};
    int cut = 0;
    int leftOut = 0;
};

void expectResult(const ImportResult& got, const Sample& s, const std::string& how) {
    const std::string where = std::string(s.what) + " (" + how + ")";
    ASSERT_FALSE(got.refused()) << where << ": refusal " << static_cast<int>(got.refusal);
    EXPECT_EQ(got.report.format, s.format) << where;
    ASSERT_EQ(got.entries.size(), s.entries.size()) << where;
    for (std::size_t i = 0; i < s.entries.size(); ++i) {
        const EntryValues& e = got.entries[i];
        const Want& w = s.entries[i];
        EXPECT_EQ(e.type, w.type) << where << " entry " << i;
        EXPECT_EQ(e.title, w.title) << where << " entry " << i;
        EXPECT_EQ(e.whatsThis, w.whatsThis) << where << " entry " << i;
        EXPECT_EQ(e.data.view(), w.data) << where << " entry " << i;
        EXPECT_EQ(e.description, w.description) << where << " entry " << i;
        EXPECT_LE(e.title.size(), kMaxEntryTitle) << where;
        EXPECT_LE(e.whatsThis.size(), kMaxEntryWhatsThis) << where;
        EXPECT_LE(e.data.size(), kMaxEntryData) << where;
        EXPECT_LE(e.description.size(), kMaxEntryDescription) << where;
    }
    EXPECT_EQ(got.report.imported, static_cast<int>(s.entries.size())) << where;
    EXPECT_EQ(got.report.cut, s.cut) << where;
    EXPECT_EQ(got.report.leftOut, s.leftOut) << where;
    ASSERT_EQ(got.report.skipped.size(), s.skipped.size()) << where;
    for (std::size_t i = 0; i < s.skipped.size(); ++i) {
        const SkippedItem& k = got.report.skipped[i];
        EXPECT_EQ(k.reason, s.skipped[i].reason) << where << " skipped " << i;
        EXPECT_EQ(k.label, s.skipped[i].label) << where << " skipped " << i;
        EXPECT_EQ(k.line, s.skipped[i].line) << where << " skipped " << i;
        EXPECT_EQ(k.item, s.skipped[i].item) << where << " skipped " << i;
    }
}

// Each sample imports the same with its format named and with auto.
void checkSamples(const std::vector<Sample>& samples) {
    const InterchangeTexts texts;
    for (const Sample& s : samples) {
        expectResult(importEntries(s.text, s.format, texts), s, "named");
        expectResult(importEntries(s.text, ImportFormat::Auto, texts), s, "auto");
        EXPECT_EQ(detectImportFormat(s.text), s.format) << s.what;
    }
}

const std::string k79(79, 'p');
const std::string k80(80, 'p');
const std::string kOmega = "\xCE\xA9";            // no Windows-1252 form
const std::string kEuroUtf8 = "\xE2\x82\xAC";     // Windows-1252 0x80
const std::string kKeyEmoji = "\xF0\x9F\x94\x91"; // outside the BMP

std::string repeat(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

const std::string kChromeHeader = "name,url,username,password,note\n";

TEST(ImportMapping, ItemsBecomeEntriesAsTheirContentSays) {
    const std::string note250 = repeat("0123456789", 25);
    const std::string note300 = repeat("abcdefghij", 30);
    // A CR LF that would straddle the split between Description and Data stays whole.
    const std::string noteCrLf = std::string(190, 'n') + "\n" + std::string(10, 'm');
    // Notes that fit both fields pass to Data at a line end, else at a space, if the rest
    // still fits; a line end too early for that is no place to split.
    const std::string noteLines = std::string(180, 'a') + "\n" + std::string(60, 'b');
    const std::string noteWords = repeat("word ", 50);
    const std::string noteEarlyLine = std::string(100, 'a') + "\n" + std::string(150, 'b');
    const std::string url200 = "https://example.com/" + std::string(180, 'u');
    checkSamples({
        {"address: Link titled by the user name",
         ImportFormat::ChromeCsv,
         kChromeHeader + "Site,https://site.example/login,alice,pw1,\n",
         {{kEntryLink, "alice", "Site", "pw1", "https://site.example/login"}}},
        {"address without user name: titled by the name",
         ImportFormat::ChromeCsv,
         kChromeHeader + "Site,https://site.example,,pw1,\n",
         {{kEntryLink, "Site", "Site", "pw1", "https://site.example"}}},
        {"address with a note: the note has no place",
         ImportFormat::ChromeCsv,
         kChromeHeader + "Site, https://site.example ,bob,,\"a note\"\n",
         {{kEntryLink, "bob", "Site", "", "https://site.example"}},
         {},
         0,
         1},
        {"password, no address: Password entry with the note",
         ImportFormat::ChromeCsv,
         kChromeHeader + "  Wifi  ,,admin,\" sp ace \",\"line1\nline2\"\n",
         {{kEntryPassword, "Wifi", "admin", " sp ace ", "line1\r\nline2"}}},
        {"user name only: Password entry without data",
         ImportFormat::ChromeCsv,
         kChromeHeader + "Id,,member-17,,\n",
         {{kEntryPassword, "Id", "member-17", "", ""}}},
        {"note only: Text entry, long notes continue in Data",
         ImportFormat::ChromeCsv,
         kChromeHeader + "Short,,,,hello\nLong,,,," + note250 + "\nCrLf,,,,\"" + noteCrLf +
             "\"\nTooLong,,,," + note300 + "\nEmpty,,,,\nLines,,,,\"" + noteLines +
             "\"\nWords,,,," + noteWords + "\nEarly,,,,\"" + noteEarlyLine + "\"\n",
         {{kEntryText, "Short", "", "", "hello"},
          {kEntryText, "Long", "", note250.substr(191), note250.substr(0, 191)},
          {kEntryText, "CrLf", "", "\r\n" + std::string(10, 'm'), std::string(190, 'n')},
          {kEntryText, "TooLong", "", note300.substr(191, 79), note300.substr(0, 191)},
          {kEntryText, "Empty", "", "", ""},
          {kEntryText, "Lines", "", std::string(60, 'b'), std::string(180, 'a') + "\r\n"},
          {kEntryText, "Words", "", repeat("word ", 12), repeat("word ", 38)},
          {kEntryText, "Early", "", std::string(61, 'b'),
           std::string(100, 'a') + "\r\n" + std::string(89, 'b')}},
         {},
         1},
        {"user name and password at their limits come over; one more is refused",
         ImportFormat::ChromeCsv,
         kChromeHeader + "A,," + k79 + "," + k79 + ",\nB,," + k80 + ",x,\nC,,u," + k80 +
             ",\nD,https://d.example," + k80 + ",x,\n",
         {{kEntryPassword, "A", k79, k79, ""}},
         {{SkipReason::NotExact, "B", 3},
          {SkipReason::NotExact, "C", 4},
          {SkipReason::NotExact, "D", 5}}},
        {"characters without a Windows-1252 form",
         ImportFormat::ChromeCsv,
         kChromeHeader + "Euro" + kEuroUtf8 + ",,u" + kEuroUtf8 + ",p" + kEuroUtf8 + ",\n" +
             "Pw,,u,p" + kOmega + ",\nUser,,u" + kOmega + ",p,\nBad,,u,p\xC3,\nName" + kKeyEmoji +
             ",,u,p,n" + kOmega + "\n",
         {{kEntryPassword, "Euro\x80", "u\x80", "p\x80", ""},
          {kEntryPassword, "Name?", "u", "p", "n?"}},
         {{SkipReason::NotExact, "Pw", 3},
          {SkipReason::NotExact, "User", 4},
          {SkipReason::NotExact, "Bad", 5}},
         1},
        {"over-long name, address and note are cut",
         ImportFormat::ChromeCsv,
         kChromeHeader + k80 + "," + url200 + ",,x,\n" + k80 + ",,u,x," + note250 + "\n",
         {{kEntryLink, k79, k79, "x", url200.substr(0, 191)},
          {kEntryPassword, k79, "u", "x", note250.substr(0, 191)}},
         {},
         2},
        {"a NUL would end a stored text early: it becomes '?', but a password with one is refused",
         ImportFormat::ChromeCsv,
         kChromeHeader + std::string("N\0l,,u,p,\nP,,u,p\0w,\n", 20),
         {{kEntryPassword, "N?l", "u", "p", ""}},
         {{SkipReason::NotExact, "P", 3}},
         1},
        {"nothing to title it with: named by what it has, else by its line",
         ImportFormat::ChromeCsv,
         kChromeHeader + ",https://x.example,,p,\n,,who,p,\n  ,,,p,\n,,,,\n\n",
         {},
         {{SkipReason::NoTitle, "https://x.example", 2},
          {SkipReason::NoTitle, "who", 3},
          {SkipReason::NoTitle, "", 4}}},
    });
}

TEST(ImportFormats, KeePassXcCsv) {
    // As keepassxc-cli writes it: every field quoted, LF, no line end after the last record.
    const std::string header =
        "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\",\"TOTP\",\"Icon\","
        "\"Last Modified\",\"Created\"\n";
    checkSamples(
        {{"export",
          ImportFormat::KeePassXcCsv,
          header +
              "\"Passwords\",\"Example Site\",\"alice\",\"S3cr\"\"et,pw\","
              "\"https://example.com/login\",\"line1\nline2 \"\"quoted\"\"\",\"\",\"0\","
              "\"2026-12-11T00:04:12Z\",\"2026-12-11T00:04:12Z\"\n"
              "\"Passwords\",\"Note only\",\"\",\"\",\"\",\"just a note\",\"\",\"0\",\"\",\"\"\n"
              "\"Passwords/Work\",\"Cyrillic\",\"bob\",\"\xD0\xBF\xD0\xB0\xD1\x80\","
              "\"\",\"\",\"\",\"0\",\"\",\"\"\n"
              "\n"
              "\"Passwords\",\"Bank\",\"carol\",\"1234\",\"\",\"PIN\",\"otpauth://totp/"
              "x?secret=AB\",\"0\",\"\",\"\"\n"
              // Deleted entries: the recycle bin right under the root group, not a group of
              // that name elsewhere.
              "\"Passwords/Recycle Bin\",\"Old\",\"u\",\"p\",\"\",\"\",\"\",\"0\",\"\",\"\"\n"
              "\"Passwords/Work/Recycle "
              "Bin\",\"Kept\",\"u\",\"p\",\"\",\"\",\"\",\"0\",\"\",\"\"\n",
          {{kEntryLink, "alice", "Example Site", "S3cr\"et,pw", "https://example.com/login"},
           {kEntryText, "Note only", "", "", "just a note"},
           {kEntryPassword, "Bank", "carol", "1234", "PIN"},
           {kEntryPassword, "Kept", "u", "p", ""}},
          {{SkipReason::NotExact, "Cyrillic", 5}, {SkipReason::Deleted, "Old", 8}},
          0,
          2}});
}

TEST(ImportFormats, BitwardenCsv) {
    const std::string header = "folder,favorite,type,name,notes,fields,reprompt,login_uri,"
                               "login_username,login_password,login_totp\r\n";
    checkSamples({
        {"personal export",
         ImportFormat::BitwardenCsv,
         header + "Work,1,login,Mail,,,0,\"https://mail.example,https://alt.example\",ann,pw,\r\n" +
             ",,note,Recipe,\"flour\r\nwater\",,0,,,,\r\n" +
             ",,login,Router,,\"pin: 1234\",0,,admin,secret,\r\n" + ",,card,Visa,,,0,,,,\r\n" +
             ",,login,Long,,,0,https://l.example,u," + k80 + ",\r\n",
         {{kEntryLink, "ann", "Mail", "pw", "https://mail.example"},
          {kEntryText, "Recipe", "", "", "flour\r\nwater"},
          {kEntryPassword, "Router", "admin", "secret", ""}},
         {{SkipReason::NotLogin, "Visa", 6}, {SkipReason::NotExact, "Long", 7}},
         0,
         2},
        {"organisation export: collections instead of folder, no favorite",
         ImportFormat::BitwardenCsv,
         "collections,type,name,notes,fields,reprompt,login_uri,login_username,login_password,"
         "login_totp\n"
         "Team,login,Shared,,,0,https://s.example,team,pw,JBSWY3DP\n",
         {{kEntryLink, "team", "Shared", "pw", "https://s.example"}},
         {},
         0,
         1},
    });
}

TEST(ImportFormats, BitwardenJson) {
    const std::string json = R"({
  "encrypted": false,
  "folders": [{"id": "f1", "name": "Work"}],
  "items": [
    {"id": "1", "folderId": "f1", "type": 1, "reprompt": 0, "name": "Mail \u00e9",
     "notes": null, "favorite": false,
     "login": {"uris": [{"match": null, "uri": "https://mail.example"},
                        {"match": null, "uri": "https://b.example"}],
               "username": "ann", "password": "p\u00e4ss\"w\\d", "totp": null},
     "collectionIds": null},
    {"type": 2, "name": "Door code", "notes": "4711\nleft door", "secureNote": {"type": 0}},
    {"type": 3, "name": "Visa", "card": {"number": "4111111111111111"}},
    {"type": 4, "name": "Me", "identity": {"firstName": "Ann"}},
    {"type": 1, "name": "Key \ud83d\udd11",
     "login": {"uris": null, "username": null, "password": "pw", "totp": "JBSWY3DP"},
     "fields": [{"name": "pin", "value": "1", "type": 0}]},
    {"type": 1, "name": "Bad", "login": {"username": "u", "password": "nul\u0000"}},
    {"type": 1, "name": "Greek", "login": {"username": "\u03a9", "password": "x"}},
    "not an item",
    {"type": 1, "login": {"password": "x"}},
    {"type": 1, "name": "Empty login"}
  ]
})";
    checkSamples({{"unencrypted export",
                   ImportFormat::BitwardenJson,
                   "\xEF\xBB\xBF" + json,
                   {{kEntryLink, "ann", "Mail \xE9", "p\xE4ss\"w\\d", "https://mail.example"},
                    {kEntryText, "Door code", "", "", "4711\r\nleft door"},
                    {kEntryPassword, "Key ?", "", "pw", ""},
                    {kEntryText, "Empty login", "", "", ""}},
                   {{SkipReason::NotLogin, "Visa", 0, 3},
                    {SkipReason::NotLogin, "Me", 0, 4},
                    {SkipReason::NotExact, "Bad", 0, 6},
                    {SkipReason::NotExact, "Greek", 0, 7},
                    {SkipReason::NotLogin, "", 0, 8},
                    {SkipReason::NoTitle, "", 0, 9}},
                   1,
                   2}});
}

TEST(ImportFormats, ChromeCsv) {
    checkSamples({
        {"with note, byte-order mark, CR LF",
         ImportFormat::ChromeCsv,
         "\xEF\xBB\xBFname,url,username,password,note\r\n"
         "example.com,https://example.com/,me@example.com,\"a,b\",\"n1\r\nn2\"\r\n"
         "\r\n"
         "\"quoted \"\"name\"\"\",https://q.example/,,pw,\r\n",
         {{kEntryLink, "me@example.com", "example.com", "a,b", "https://example.com/"},
          {kEntryLink, "quoted \"name\"", "quoted \"name\"", "pw", "https://q.example/"}},
         {},
         0,
         1},
        {"older export without note",
         ImportFormat::ChromeCsv,
         "name,url,username,password\nbank.example,https://bank.example/,jo,1234",
         {{kEntryLink, "jo", "bank.example", "1234", "https://bank.example/"}}},
    });
}

TEST(ImportFormats, FirefoxCsv) {
    const std::string header =
        "\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\","
        "\"guid\",\"timeCreated\",\"timeLastUsed\",\"timePasswordChanged\"\r\n";
    checkSamples(
        {{"export: items are known by their host",
          ImportFormat::FirefoxCsv,
          header +
              "\"https://accounts.example.com\",\"ann\",\"pw\",,\"https://accounts."
              "example.com\",\"{guid-1}\",\"1\",\"2\",\"3\"\r\n"
              "\"https://user:x@intranet.example:8443/path?q=1\",\"\",\"pin\",\"Realm\","
              ",\"{guid-2}\",\"1\",\"2\",\"3\"\r\n"
              "\"http://[::1]:8080\",\"root\",\"toor\",,,\"{guid-3}\",\"1\",\"2\",\"3\"\r\n"
              "\"https://greek.example\",\"" +
              kOmega + "\",\"pw\",,,\"{g}\",\"1\",\"2\",\"3\"\r\n",
          {{kEntryLink, "ann", "accounts.example.com", "pw", "https://accounts.example.com"},
           {kEntryLink, "intranet.example", "intranet.example", "pin",
            "https://user:x@intranet.example:8443/path?q=1"},
           {kEntryLink, "root", "[::1]", "toor", "http://[::1]:8080"}},
          {{SkipReason::NotExact, "greek.example", 5}}}});
}

TEST(ImportFormats, XmlGoesToTheImportOfThatFormAndIsCutToTheFields) {
    const std::string text = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n"
                             "<Entry><Title>Mail</Title><Description>d</Description><Type>Link"
                             "</Type><Data>pw</Data><WhatsThis>w</WhatsThis></Entry>\r\n"
                             "<Entry><Title>" +
                             k80 + "</Title><Type>Text</Type><Data>" + k80 +
                             "</Data></Entry>\r\n<Entry><Title>no type</Title></Entry>";
    checkSamples({{"export file",
                   ImportFormat::Xml,
                   text,
                   {{kEntryLink, "Mail", "w", "pw", "d"}, {kEntryText, k79, "", k79, ""}},
                   {},
                   1},
                  {"clipboard blocks, no header",
                   ImportFormat::Xml,
                   "  <Entry><Title>T</Title><Type>Password</Type><Data>x</Data></Entry>",
                   {{kEntryPassword, "T", "", "x", ""}}}});
}

TEST(ImportFormats, NamesRoundTrip) {
    EXPECT_EQ(importFormatNames(),
              "auto|xml|keepassxc-csv|bitwarden-csv|bitwarden-json|chrome-csv|firefox-csv");
    for (ImportFormat f : {ImportFormat::Auto, ImportFormat::Xml, ImportFormat::KeePassXcCsv,
                           ImportFormat::BitwardenCsv, ImportFormat::BitwardenJson,
                           ImportFormat::ChromeCsv, ImportFormat::FirefoxCsv})
        EXPECT_EQ(importFormatFromName(importFormatName(f)), f) << importFormatName(f);
    EXPECT_EQ(importFormatFromName("KeePassXC-CSV"), ImportFormat::KeePassXcCsv);
    EXPECT_FALSE(importFormatFromName("csv"));
    EXPECT_FALSE(importFormatFromName(""));
    EXPECT_EQ(importFormatTitle(ImportFormat::ChromeCsv), "Chrome/Edge CSV");
}

struct Refusal {
    const char* what;
    ImportFormat format;
    std::string text;
    ImportRefusal refusal;
    std::string message; // in English
};

TEST(ImportFormats, RefusesWhatItCannotReadWholeAndSaysWhy) {
    const std::string formats = "Keyhaven XML, KeePassXC CSV, Bitwarden CSV, Bitwarden JSON, "
                                "Chrome/Edge CSV, Firefox CSV";
    const std::string unknown =
        "This file is not in a format that Keyhaven can import. Keyhaven imports these "
        "formats: " +
        formats + ".";
    const std::string encrypted =
        "This Bitwarden export is encrypted, and Keyhaven cannot read it. Export the vault "
        "again as unencrypted JSON, import that file, then remove it with 'Tools'-'Secure File "
        "Remover'.";
    const Refusal cases[] = {
        {"unknown CSV", ImportFormat::Auto, "Title,Login,Secret\na,b,c\n",
         ImportRefusal::Unrecognised, unknown},
        {"plain text", ImportFormat::Auto, "hello world", ImportRefusal::Unrecognised, unknown},
        {"empty", ImportFormat::Auto, "", ImportRefusal::Unrecognised, unknown},
        {"markup that is not the form", ImportFormat::Auto, "<html><body/></html>",
         ImportRefusal::Unrecognised, unknown},
        {"JSON of another shape", ImportFormat::Auto, "{\"entries\": []}",
         ImportRefusal::Unrecognised, unknown},
        {"JSON array", ImportFormat::Auto, "[1, 2]", ImportRefusal::Unrecognised, unknown},
        {"Firefox header given as KeePassXC", ImportFormat::KeePassXcCsv,
         "url,username,password,httpRealm,formActionOrigin\nhttps://a,b,c,,\n",
         ImportRefusal::WrongHeader,
         "This file is not a KeePassXC CSV export: it lacks Group, Title, Notes."},
        {"Chrome header given as Firefox", ImportFormat::FirefoxCsv, "name,url,username,password\n",
         ImportRefusal::WrongHeader,
         "This file is not a Firefox CSV export: it lacks httpRealm, formActionOrigin."},
        {"empty file given as Chrome", ImportFormat::ChromeCsv, "\r\n\r\n",
         ImportRefusal::WrongHeader,
         "This file is not a Chrome/Edge CSV export: it lacks name, url, username, password."},
        {"Bitwarden CSV without its login columns", ImportFormat::BitwardenCsv,
         "folder,favorite,type,name,notes\n", ImportRefusal::WrongHeader,
         "This file is not a Bitwarden CSV export: it lacks login_uri, login_username, "
         "login_password."},
        {"CSV given as XML", ImportFormat::Xml, "name,url,username,password\n",
         ImportRefusal::WrongHeader, "This file is not a Keyhaven XML export: it lacks <Entry>."},
        {"JSON without items given as Bitwarden", ImportFormat::BitwardenJson, "{\"folders\":[]}",
         ImportRefusal::WrongHeader, "This file is not a Bitwarden JSON export: it lacks items."},
        {"encrypted with the account key", ImportFormat::Auto,
         "{\"encrypted\": true, \"encKeyValidation_DO_NOT_EDIT\": \"2.x|y|z\", \"folders\": [],"
         " \"items\": [{\"type\": 1, \"name\": \"2.a|b|c\"}]}",
         ImportRefusal::Encrypted, encrypted},
        {"encrypted with a password", ImportFormat::BitwardenJson,
         "{\"encrypted\": true, \"passwordProtected\": true, \"salt\": \"s\", \"data\": \"d\"}",
         ImportRefusal::Encrypted, encrypted},
        {"validation key without the flag", ImportFormat::BitwardenJson,
         "{\"encKeyValidation_DO_NOT_EDIT\": \"2.x\", \"items\": []}", ImportRefusal::Encrypted,
         encrypted},
        {"broken JSON", ImportFormat::Auto, "{\n  \"items\": [\n    {\"type\": 1,}\n  ]\n}",
         ImportRefusal::BadJson, "This file cannot be read as JSON: it goes wrong on line 3."},
        {"trailing garbage after JSON", ImportFormat::BitwardenJson, "{\"items\": []}\nx",
         ImportRefusal::BadJson, "This file cannot be read as JSON: it goes wrong on line 2."},
        {"unterminated quote swallows the rest", ImportFormat::Auto,
         "name,url,username,password\na,https://a,u,p\n\"b,https://b,u,p\nc,https://c,u,p\n",
         ImportRefusal::UnterminatedQuote,
         "This file cannot be read as CSV: the quoted text that begins on line 3 never ends."},
    };
    const ImportTexts texts = importTexts(MessageTable());
    const InterchangeTexts interchange;
    for (const Refusal& c : cases) {
        const ImportResult result = importEntries(c.text, c.format, interchange);
        EXPECT_EQ(result.refusal, c.refusal) << c.what;
        EXPECT_TRUE(result.entries.empty()) << c.what;
        EXPECT_EQ(result.report.imported, 0) << c.what;
        EXPECT_TRUE(result.report.skipped.empty()) << c.what;
        EXPECT_EQ(importRefusalText(result, texts), c.message) << c.what;
    }
    EXPECT_EQ(importRefusalText(ImportResult(), texts), "");
}

ImportReport reportWithSkips(int count) {
    ImportReport report;
    report.format = ImportFormat::BitwardenJson;
    report.imported = 3;
    for (int i = 1; i <= count; ++i) {
        SkippedItem& s = report.skipped.emplace_back();
        s.reason = static_cast<SkipReason>(i % 4);
        if (i % 5 != 0) s.label = std::string("L").append(std::to_string(i));
        s.item = static_cast<std::size_t>(i);
    }
    return report;
}

TEST(ImportSummary, CountsAndNamesTheSkippedItems) {
    ImportTexts t;
    t.summary = "[%s|%d|%d]";
    t.cut = "cut %d.";
    t.leftOut = "out %d.";
    t.skippedHead = "Skipped:";
    t.notLogin = "%s=nl";
    t.notExact = "%s=ne";
    t.noTitle = "%s=nt";
    t.deleted = "%s=dl";
    t.more = "+%d";
    t.line = "line %d";
    t.item = "item %d";

    ImportReport clean;
    clean.format = ImportFormat::ChromeCsv;
    clean.imported = 5;
    EXPECT_EQ(importSummaryText(clean, t), "[Chrome/Edge CSV|5|0]");

    ImportReport some = reportWithSkips(4);
    some.cut = 2;
    some.leftOut = 1;
    some.skipped[1].item = 0;
    some.skipped[1].line = 12;
    some.skipped[1].label.clear();
    EXPECT_EQ(importSummaryText(some, t), "[Bitwarden JSON|3|4] cut 2. out 1.\n\nSkipped:\n"
                                          "L1=ne\nline 12=nt\nL3=dl\nL4=nl");

    const std::string many = importSummaryText(reportWithSkips(13), t);
    EXPECT_EQ(many, "[Bitwarden JSON|3|13]\n\nSkipped:\nL1=ne\nL2=nt\nL3=dl\nL4=nl\nitem 5=ne\n"
                    "L6=nt\nL7=dl\nL8=nl\nL9=ne\nitem 10=nt\n+3");
}

TEST(ImportSummary, EnglishTextsNameItemsButNeverTheirPasswords) {
    const std::string text = "name,url,username,password,note\n"
                             "Greek,,u,secret" +
                             kOmega + ",\n,,,,a note\nOk,,u,p," + std::string(200, 'n') + "\n";
    const ImportResult result = importEntries(text, ImportFormat::Auto, InterchangeTexts());
    const std::string summary = importSummaryText(result.report, importTexts(MessageTable()));
    EXPECT_EQ(summary,
              "Import From Chrome/Edge CSV: 1 item imported, 2 skipped. 1 of them had texts that "
              "an entry cannot hold whole (too long, or with characters that Windows-1252 "
              "lacks): the texts were cut or those characters replaced by '?'.\n\nNot imported:\n"
              "- Greek: its user name or password cannot be stored exactly (too long, or with "
              "characters that Windows-1252 lacks)\n"
              "- line 3: no name, user name or web address to give it a title");
    EXPECT_EQ(summary.find("secret"), std::string::npos);
}

TEST(ImportSummary, LabelsAreShortSingleLines) {
    const std::string name = "first\nsecond" + std::string(100, 'x');
    const ImportResult result =
        importEntries("name,url,username,password\n\"" + name + "\",,u," + k80 + "\n",
                      ImportFormat::ChromeCsv, InterchangeTexts());
    ASSERT_EQ(result.report.skipped.size(), 1u);
    EXPECT_EQ(result.report.skipped[0].label, "first second" + std::string(45, 'x') + "...");
}

} // namespace
} // namespace kh
