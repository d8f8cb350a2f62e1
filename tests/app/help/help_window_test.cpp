// The Help menu's and the language menu's web pages when no browser can be started: the user
// is told, instead of a command that does nothing.
#include "help_feature.h"
#include "language_feature.h"
#include "tfrm_tip.h"
#include "version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kh {
namespace {

using Texts = std::vector<std::string>;

class RefusingShell : public Shell {
  public:
    Texts opened;
    bool open(const std::string& target, const std::string&, ShowMode) override {
        opened.push_back(target);
        return false;
    }
};

class RecordedPrompts : public Prompts {
  public:
    Texts warnings;
    bool ask(const std::string&, const std::string&, DefaultButton) override { return false; }
    int choose(const std::string&, const std::string& text,
               const std::array<std::string, 3>&) override {
        ADD_FAILURE() << "unexpected choice: " << text;
        return 2;
    }
    void warning(const std::string& caption, const std::string& text) override {
        EXPECT_EQ("Hint", caption);
        warnings.push_back(text);
    }
    void information(const std::string&, const std::string& text) override {
        ADD_FAILURE() << "unexpected information: " << text;
    }
};

class NoMenu : public LanguageMenu {
    void addLanguageItems(std::vector<LanguageMenuItem>) override {}
};

TEST(WebPages, NoBrowserIsToldForEveryPageCommand) {
    MessageTable messages;
    QLanguage language;
    Settings settings;
    AppPaths paths{"C:\\nowhere\\", "C:\\nowhere\\"};
    RefusingShell shell;
    RecordedPrompts prompts;
    NoMenu menu;
    HelpFeature help(language, settings.tip, shell, prompts, messages, {});
    LanguageFeature languages(paths, settings, language, shell, prompts, messages, menu,
                              [] { return HWND(nullptr); });

    help.run(CommandId::CheckNewVersion);
    help.run(CommandId::VisitOnlineFaq);
    languages.run(CommandId::GetMoreLanguage);
    ASSERT_EQ(3u, shell.opened.size());
    Texts expected;
    for (const std::string& page : shell.opened)
        expected.push_back("No web browser could be started to open " + page + ".");
    EXPECT_EQ(expected, prompts.warnings);
}

TEST(About, ShowsTheProgramsNameVersionAndBuildDate) {
    MessageTable messages;
    QLanguage language;
    messages.addDefaultsTo(language);
    bool tipAtStart = true;
    RefusingShell shell;
    RecordedPrompts prompts;
    HelpFeature help(language, tipAtStart, shell, prompts, messages, {});
    help.run(CommandId::AboutKeyhaven);
    TfrmTip& tip = help.tipWindow();
    ASSERT_TRUE(tip.isVisible());
    HWND text = tip.get<TControl>("stTip").handle();
    std::string shown(static_cast<std::size_t>(GetWindowTextLengthA(text)) + 1, '\0');
    GetWindowTextA(text, shown.data(), static_cast<int>(shown.size()));
    shown.resize(shown.size() - 1);
    EXPECT_NE(std::string::npos, shown.find(std::string("Keyhaven version ") + KH_VERSION_TEXT +
                                            ", built on " + KH_BUILD_DATE))
        << shown;
    EXPECT_EQ(0u, shown.find("What is Keyhaven?"));
    tip.close();
}

} // namespace
} // namespace kh
