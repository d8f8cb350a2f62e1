// Language files and the display name the language menu shows for each: the same table
// checks readLanguageDisplayName everywhere and, in the Windows build, the system's own
// profile reader.
#pragma once

#include <string>
#include <vector>

namespace kh::test {

struct DisplayNameCase {
    const char* what;
    std::string file;
    std::string name;
};

inline std::vector<DisplayNameCase> displayNameCases() {
    return {
        {"plain", "[About]\r\nLanguage=Deutsch\r\n", "Deutsch"},
        {"inside a real file",
         "# German texts\r\n[About]\r\nLanguage=Deutsch\r\nAuthor=Someone\r\n\r\n"
         "[TfrmMain]\r\nTfrmMain=Hauptfenster\r\nquerysave=Speichern?\r\n",
         "Deutsch"},
        {"section and key in any case",
         "[ABOUT]\nlanguage=Fran\xE7"
         "ais\n",
         "Fran\xE7"
         "ais"},
        {"blanks around key and value", "[About]\n  Language   =   Espa\xF1ol  \n", "Espa\xF1ol"},
        {"tabs around line, key and value", "\t[About]\t\n\tLanguage\t=\tNederlands\t\n",
         "Nederlands"},
        {"double quotes removed", "[About]\nLanguage=\"  Polski \"\n", "  Polski "},
        {"single quotes removed", "[About]\nLanguage='Dansk'\n", "Dansk"},
        {"only the outer pair", "[About]\nLanguage=\"a\" and \"b\"\n", "a\" and \"b"},
        {"unmatched quote kept", "[About]\nLanguage=\"Suomi\n", "\"Suomi"},
        {"lone quote kept", "[About]\nLanguage=\"\n", "\""},
        {"mixed quotes kept", "[About]\nLanguage='Norsk\"\n", "'Norsk\""},
        {"first = splits", "[About]\nLanguage=a=b\n", "a=b"},
        {"header with a trailing comment", "[About] ; names\nLanguage=Svenska\n", "Svenska"},
        {"first key wins", "[About]\nLanguage=One\nLANGUAGE=Two\n", "One"},
        {"key without value counts as first", "[About]\nLanguage\nLanguage=Late\n", ""},
        {"empty value", "[About]\nLanguage=\n", ""},
        {"comment is no key", "[About]\n;Language=Hidden\n", ""},
        {"other section", "[Setting]\nLanguage=Wrong\n[About]\nVersion=1\n", ""},
        {"key before any section", "Language=Wrong\n[About]\n", ""},
        {"only the first About section", "[About]\nVersion=1\n[Other]\n[about]\nLanguage=Late\n",
         ""},
        {"cut to 255 characters", "[About]\nLanguage=" + std::string(300, 'x') + "\n",
         std::string(255, 'x')},
        {"no file content", "", ""},
    };
}

} // namespace kh::test
