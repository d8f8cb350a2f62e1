// The three browser pages: page templates from the program's html folder, filled with the
// texts of the message table in a fixed order and written beside the program.
#pragma once

#include "message_table.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace kh::browser {

struct PageDef {
    std::string_view fileName;
    // The texts, in the order of the template's "%s" slots.
    std::span<const Msg> texts;
};

// KHGen.htm, KHGet.htm and KHSave.htm, in the order they are built.
std::span<const PageDef> pageDefs();

inline constexpr std::string_view kGetPage = "KHGet.htm";
inline constexpr std::string_view kGeneratePage = "KHGen.htm";
inline constexpr std::string_view kSavePage = "KHSave.htm";

// A translated text made safe for a template slot: it comes out with no character that
// means anything to HTML ('<', '>', '&', quotes) or inside a script string (quotes, '\',
// line breaks and other control characters); those are written as script escapes
// ("\x3C", "\n"). Templates place every slot inside a quoted script string.
std::string escapeForPage(std::string_view text);

// The template with its slots filled from `messages` ("%%" gives "%").
std::string fillPage(std::string_view pageTemplate, const PageDef& page,
                     const MessageTable& messages);

// Builds every page: reads templateFolder + file name, writes outputFolder + file name. A
// missing, empty or unreadable template, or an output that cannot be written, skips that
// page without a word. Both folders end with their separator. Returns the pages written.
int buildPages(const std::string& templateFolder, const std::string& outputFolder,
               const MessageTable& messages);

// The program's layout: templates in programFolder + "html" + separator, pages in the
// program folder itself (which ends with its separator, "\" on Windows).
int buildProgramPages(const std::string& programFolder, const MessageTable& messages);

} // namespace kh::browser
