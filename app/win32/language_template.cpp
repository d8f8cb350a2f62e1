#include "language_template.h"

#include "app.h"
#include "tfrm_show_bug.h"
#include "tip_list.h"

#include <string_view>

namespace kh {
namespace {

// A text as a template line writes it: every line break becomes ";".
std::string templateText(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') continue;
        out += c == '\n' ? ';' : c;
    }
    return out;
}

constexpr char kHeader[] =
    "; Keyhaven language file\r\n"
    ";\r\n"
    "; To translate Keyhaven, copy this file into the folder \"language\" beside\r\n"
    "; Keyhaven.exe under the name of your language (Deutsch.lng, say), set the name\r\n"
    "; that the language menu shows under [About], and replace the text after \" = \" on\r\n"
    "; every line. Keep the key before it as it is. A \";\" inside a text starts a new\r\n"
    "; line; \"&\" marks the letter of a key (Alt+letter); keep every %s and %d of a\r\n"
    "; message, in the same order. A line you leave out shows the English text.\r\n"
    "; Lines beginning with \";\" or \"#\" are comments. Save the file in the\r\n"
    "; Windows code page of the language (Windows-1252 for Western languages).\r\n"
    ";\r\n"
    "; Keys: a window's class name is its caption; class.control its text;\r\n"
    "; class.control.Hint its tool tip; a bare name is one of the program's messages;\r\n"
    "; Tip0 to Tip18 are the tips of the day (Tip9 to Tip18 are free for your own).\r\n"
    "\r\n"
    "[About]\r\n"
    "Language = English\r\n"
    "\r\n";

} // namespace

std::string languageTemplateFile(App& app) {
    app.createAllWindows();
    TfrmShowBug bug(app.messages());
    bug.create();

    std::string file = kHeader;
    if (const std::vector<std::string>* lines = app.language().defaultTemplate()) {
        for (const std::string& line : *lines) {
            // A control without a text of its own has nothing to translate.
            if (line.size() >= 3 && line.compare(line.size() - 3, 3, " = ") == 0) continue;
            file += line;
            file += "\r\n";
        }
    }
    file += "\r\n; Tips of the day\r\n";
    for (int slot = 0; slot < kTipSlotCount; ++slot) {
        const std::string_view text = defaultTipText(slot);
        const std::string key = "Tip" + std::to_string(slot);
        file += text.empty() ? "; " + key + " = \r\n" : key + " = " + templateText(text) + "\r\n";
    }
    return file;
}

} // namespace kh
