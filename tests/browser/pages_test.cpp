#include "language.h"
#include "pages.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace kh::browser {
namespace {

using kh::test::Bytes;
using kh::test::TempDir;

std::string readText(const std::string& path) {
    const Bytes bytes = kh::test::readBytes(path);
    return {bytes.begin(), bytes.end()};
}

void writeText(const std::string& path, std::string_view text) {
    kh::test::writeBytes(path, Bytes(text.begin(), text.end()));
}

std::size_t count(std::string_view text, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// A message table with these language-file lines in force.
MessageTable messagesFrom(const std::string& languageFile) {
    QLanguage language([languageFile](const std::string&) { return languageFile; });
    language.setLanguage("test.lng");
    MessageTable messages;
    messages.refreshFrom(language);
    return messages;
}

const std::string kHtml = KH_HTML_DIR;

TEST(PageTemplates, ShippedTemplatesTakeExactlyTheirTextsAndNoOtherConversions) {
    const std::pair<std::string_view, std::size_t> expected[] = {
        {"KHGen.htm", 12}, {"KHGet.htm", 2}, {"KHSave.htm", 10}};
    for (auto [name, texts] : expected) {
        const std::string page = readText(kHtml + std::string(name));
        std::size_t slots = 0;
        for (std::size_t i = 0; i < page.size(); ++i) {
            if (page[i] != '%') continue;
            ASSERT_LT(i + 1, page.size()) << name << ": a lone % at the end";
            const char next = page[++i];
            if (next == 's')
                ++slots;
            else
                ASSERT_EQ(next, '%') << name << ": a conversion other than %s at " << i;
        }
        EXPECT_EQ(slots, texts) << name;
    }
}

TEST(PageTemplates, TextsFillTheSlotsInTheirOrder) {
    // Every message becomes its own key, so the filled page shows which text went where.
    std::string language;
    for (std::size_t i = 0; i < kMsgCount; ++i) {
        const std::string key(msgKey(static_cast<Msg>(i)));
        language += key + " = <" + key + ">\n";
    }
    const MessageTable messages = messagesFrom(language);
    const std::pair<std::string_view, std::vector<std::string_view>> expected[] = {
        {"KHGen.htm",
         {"HPromptTitle", "HSaveUser", "HPassword", "HToKeyhaven", "HWebUrl", "HEntryExist",
          "HQueryOverwrite", "HSaved", "HSaveFailed", "HNonPassword", "HSavePassword",
          "HToKeyhaven"}},
        {"KHGet.htm", {"HGetFailed", "HGetFailed"}},
        {"KHSave.htm",
         {"HPromptTitle", "HPromptPassword", "HSaveUser", "HPassword", "HToKeyhaven", "HWebUrl",
          "HEntryExist", "HQueryOverwrite", "HSaved", "HSaveFailed"}},
    };
    for (const auto& [name, keys] : expected) {
        const auto def = std::find_if(pageDefs().begin(), pageDefs().end(),
                                      [&](const PageDef& d) { return d.fileName == name; });
        ASSERT_NE(def, pageDefs().end()) << name;
        const std::string page = fillPage(readText(kHtml + std::string(name)), *def, messages);
        std::size_t at = 0;
        for (std::string_view key : keys) {
            const std::string filled = "\"\\x3C" + std::string(key) + "\\x3E\"";
            const std::size_t found = page.find(filled, at);
            ASSERT_NE(found, std::string::npos) << name << ": " << key << " out of order";
            at = found + filled.size();
        }
        EXPECT_EQ(count(page, "\\x3CH"), keys.size()) << name;
    }
}

TEST(PageTemplates, ALanguageFileCannotInjectMarkupOrScript) {
    const std::string hostile[] = {
        "</script><script>alert(1)</script>",
        "\"; alert(1); var x = \"",
        "'; alert(1); '",
        "back\\slash %s %d %% first line;second line",
        "<!-- <img src=x onerror=alert(1)> &amp; `x`",
    };
    std::string language;
    for (std::size_t i = 0; i < kMsgCount; ++i) {
        const std::string key(msgKey(static_cast<Msg>(i)));
        if (key.front() == 'H') language += key + " = " + hostile[i % std::size(hostile)] + "\n";
    }
    const MessageTable messages = messagesFrom(language);
    for (const PageDef& def : pageDefs()) {
        const std::string pageTemplate = readText(kHtml + std::string(def.fileName));
        const std::string page = fillPage(pageTemplate, def, messages);
        for (std::string_view marker : {"<", ">", "\"", "'", "\n", "&", "`", "\\"}) {
            // Every such character of the page is the template's own.
            std::size_t templateCount = count(pageTemplate, marker);
            for (Msg msg : def.texts)
                templateCount += count(escapeForPage(messages.text(msg)), marker);
            EXPECT_EQ(count(page, marker), templateCount) << def.fileName << " " << marker;
        }
        for (Msg msg : def.texts)
            EXPECT_NE(page.find(escapeForPage(messages.text(msg))), std::string::npos);
    }
}

TEST(PageTemplates, Escaping) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Password Saved", "Password Saved"},
        {"</script>", "\\x3C/script\\x3E"},
        {"a\"b'c`d", "a\\x22b\\x27c\\x60d"},
        {"x\\n&amp;", "x\\x5Cn\\x26amp;"},
        {"one\ntwo\r\tthree", "one\\ntwo\\r\\tthree"},
        {std::string_view("\x01\x1F\x7F", 3), "\\x01\\x1F\\x7F"},
        {"100% caf\xE9 \x80", "100% caf\xE9 \x80"}, // Windows-1252 letters stay as they are
    };
    for (auto [text, escaped] : cases)
        EXPECT_EQ(escapeForPage(text), escaped) << text;
}

TEST(PageTemplates, PercentSignsAndSpareConversionsStayHarmless) {
    const PageDef get = *std::find_if(pageDefs().begin(), pageDefs().end(),
                                      [](const PageDef& d) { return d.fileName == kGetPage; });
    const MessageTable messages = messagesFrom("HGetFailed = 50%s off\n");
    // Text arguments are inserted, never read as patterns; a third slot has no text.
    EXPECT_EQ(fillPage("100%% [%s] [%s] [%s]", get, messages), "100% [50%s off] [50%s off] [%s]");
}

TEST(BuildPages, WritesEachPageWhoseTemplateCanBeRead) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    std::filesystem::create_directory(dir.path() / "html");
    writeText(folder + "html/KHGen.htm", "gen %s");
    writeText(folder + "html/KHSave.htm", "");                        // empty: skipped
    std::filesystem::create_directory(dir.path() / "html/KHGet.htm"); // unreadable: skipped
    writeText(folder + "KHSave.htm", "earlier page");

    MessageTable messages;
    EXPECT_EQ(buildProgramPages(folder, messages), 1);
    EXPECT_EQ(readText(folder + "KHGen.htm"), "gen Please input the title of the new entry");
    EXPECT_EQ(readText(folder + "KHSave.htm"), "earlier page");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "KHGet.htm"));

    // Pages are rebuilt in place at every language load, and a missing output folder
    // is no error.
    std::filesystem::remove(dir.path() / "html/KHGet.htm");
    writeText(folder + "html/KHGet.htm", "get %s|%s");
    EXPECT_EQ(buildProgramPages(folder, messagesFrom("HGetFailed = Failed;again\n")), 2);
    EXPECT_EQ(readText(folder + "KHGet.htm"), "get Failed\\nagain|Failed\\nagain");
    EXPECT_EQ(buildPages(folder + "html/", folder + "missing/", messages), 0);
}

} // namespace
} // namespace kh::browser
