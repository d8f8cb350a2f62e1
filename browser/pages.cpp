#include "pages.h"

#include "sdr_file.h"
#include "text_format.h"

#include <optional>
#include <vector>

namespace kh::browser {
namespace {

constexpr std::array kGenerateTexts{
    Msg::HPromptTitle, Msg::HSaveUser,    Msg::HPassword,       Msg::HToKeyhaven,
    Msg::HWebUrl,      Msg::HEntryExist,  Msg::HQueryOverwrite, Msg::HSaved,
    Msg::HSaveFailed,  Msg::HNonPassword, Msg::HSavePassword,   Msg::HToKeyhaven,
};
constexpr std::array kGetTexts{Msg::HGetFailed, Msg::HGetFailed};
constexpr std::array kSaveTexts{
    Msg::HPromptTitle, Msg::HPromptPassword, Msg::HSaveUser,       Msg::HPassword, Msg::HToKeyhaven,
    Msg::HWebUrl,      Msg::HEntryExist,     Msg::HQueryOverwrite, Msg::HSaved,    Msg::HSaveFailed,
};

constexpr std::array kPages{
    PageDef{kGeneratePage, kGenerateTexts},
    PageDef{kGetPage, kGetTexts},
    PageDef{kSavePage, kSaveTexts},
};

// Real templates are a few kilobytes. The cap also keeps a path that is no regular file
// (a folder reports any size) from asking for absurd memory.
constexpr long long kMaxTemplateSize = 1024 * 1024;

std::optional<std::string> readTemplate(const std::string& path) {
    SdrFile file;
    if (!file.open(path, true) || !file.seekEnd()) return std::nullopt;
    const long long size = file.tell();
    if (size <= 0 || size > kMaxTemplateSize) return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    if (file.read(text.data(), size, 0) != size) return std::nullopt;
    return text;
}

bool writePage(const std::string& path, const std::string& text) {
    SdrFile file;
    if (!file.open(path, false)) return false;
    const auto size = static_cast<long long>(text.size());
    const bool written = text.empty() || file.write(text.data(), size, 0) == size;
    return file.close() && written;
}

} // namespace

std::span<const PageDef> pageDefs() {
    return kPages;
}

std::string escapeForPage(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '\t':
            out += "\\t";
            continue;
        case '<':
        case '>':
        case '&':
        case '"':
        case '\'':
        case '\\':
        case '`':
            break;
        default:
            if (c >= 0x20 && c != 0x7F) {
                out.push_back(ch);
                continue;
            }
        }
        out += "\\x";
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 15]);
    }
    return out;
}

std::string fillPage(std::string_view pageTemplate, const PageDef& page,
                     const MessageTable& messages) {
    std::vector<std::string> texts;
    texts.reserve(page.texts.size());
    for (const Msg msg : page.texts)
        texts.push_back(escapeForPage(messages.text(msg)));
    std::vector<FormatArg> args(texts.begin(), texts.end());
    return formatText(pageTemplate, args);
}

int buildPages(const std::string& templateFolder, const std::string& outputFolder,
               const MessageTable& messages) {
    int written = 0;
    for (const PageDef& page : kPages) {
        const std::string name(page.fileName);
        const std::optional<std::string> pageTemplate = readTemplate(templateFolder + name);
        if (!pageTemplate) continue;
        if (writePage(outputFolder + name, fillPage(*pageTemplate, page, messages))) ++written;
    }
    return written;
}

int buildProgramPages(const std::string& programFolder, const MessageTable& messages) {
    const char separator = programFolder.empty() ? '\\' : programFolder.back();
    return buildPages(programFolder + "html" + separator, programFolder, messages);
}

} // namespace kh::browser
