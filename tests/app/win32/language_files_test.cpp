// The languages as shipped: the translators' template holds every text the program looks
// up, the German file translates all of it, and switching to German and back reaches
// every window, message, column and tab, also windows made after the switch.
#include "main_window_fixture.h"

#include "entries_feature.h"
#include "help_feature.h"
#include "language_feature.h"
#include "language_template.h"
#include "tfrm_add_item.h"
#include "tfrm_show_bug.h"
#include "tfrm_tip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>

namespace kh::test {
namespace {

// key -> text of a language file's lines, as the program reads them.
std::map<std::string, std::string> entriesOf(const std::string& text) {
    std::map<std::string, std::string> entries;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[') continue;
        const std::size_t equals = line.find(" = ");
        if (equals == std::string::npos) continue;
        entries.emplace(line.substr(0, equals), line.substr(equals + 3));
    }
    return entries;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Keys whose texts are data formats or addresses, not words.
const std::set<std::string> kUntranslated = {"filexml", "itemxml", "TfrmTip.stLink",
                                             "TfrmShowBug.lbAddress"};

class LanguageFilesTest : public MainWindowFixture {
  protected:
    std::string germanFile() const {
        return (std::filesystem::path(KH_SOURCE_DIR) / "language" / "Deutsch.lng").string();
    }
};

TEST_F(LanguageFilesTest, TheTemplateHoldsEveryTextTheProgramLooksUp) {
    openWindow();
    const std::map<std::string, std::string> keys = entriesOf(languageTemplateFile(*main_));

    for (const char* window : {"TfrmMain", "TfrmKeyhavenLogin", "TfrmChangePassword", "TfrmWizard",
                               "TfrmEditEntry", "TfrmAddItem", "TfrmShowBug", "TfrmGuard",
                               "TfrmFinder", "TfrmTip", "TfrmSetting", "TfrmGenerator"})
        EXPECT_EQ(1u, keys.count(window)) << window;
    // Every control of every window that exists now with a text or a hint of its own.
    ASSERT_GE(TForm::openForms().size(), 11u); // all but the crash window, made at start-up
    for (TForm* form : TForm::openForms()) {
        for (TranslatableComponent* part : form->ownedComponents()) {
            const std::string key = form->className() + "." + part->componentName();
            if (part->componentName().empty()) continue;
            // Edits, lists and notebook pages keep their texts: only hints count for them.
            const bool textCounts = part->componentKind() != ComponentKind::Other;
            if (textCounts && !part->text().empty() && part->text() != "-") {
                EXPECT_EQ(1u, keys.count(key)) << key;
            }
            if (part->isVisualControl() && !part->hint().empty()) {
                EXPECT_EQ(1u, keys.count(key + ".Hint")) << key;
            }
        }
    }
    for (std::size_t i = 0; i < kMsgCount; ++i)
        EXPECT_EQ(1u, keys.count(std::string(msgKey(static_cast<Msg>(i))))) << i;
    for (int tip = 0; tip <= 8; ++tip)
        EXPECT_EQ(1u, keys.count("Tip" + std::to_string(tip))) << tip;
}

TEST_F(LanguageFilesTest, TheGermanFileTranslatesEveryKeyOfTheTemplate) {
    openWindow();
    const std::map<std::string, std::string> english = entriesOf(languageTemplateFile(*main_));
    const std::string bytes = readAll(germanFile());
    EXPECT_EQ("Deutsch", readLanguageDisplayName(bytes));
    const std::map<std::string, std::string> german = entriesOf(bytes);
    int same = 0;
    for (const auto& [key, text] : english) {
        if (kUntranslated.count(key) || key == "Language") continue;
        const auto found = german.find(key);
        if (found == german.end() || found->second.empty()) {
            ADD_FAILURE() << "not translated: " << key;
            continue;
        }
        // A message keeps its placeholders, in the same order.
        const auto placeholders = [](const std::string& s) {
            std::string p;
            for (std::size_t i = 0; i + 1 < s.size(); ++i)
                if (s[i] == '%' && s[i + 1] != '{') p += s[++i];  // %{one|many} is no argument
            return p;
        };
        EXPECT_EQ(placeholders(text), placeholders(found->second)) << key;
        if (found->second == text) ++same;
    }
    // Words such as "Link", "Text" or "Details" are the same in German; little else is.
    EXPECT_LT(same, 15);
}

TEST_F(LanguageFilesTest, GermanAndBackReachEveryWindowAlsoOnesMadeAfterTheSwitch) {
    const std::filesystem::path folder = std::filesystem::path(paths_.programFolder) / "language";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(germanFile(), folder / "Deutsch.lng");
    openWindow();
    auto& languages = dynamic_cast<LanguageFeature&>(*main_->feature(Feature::Language));
    auto& entries = dynamic_cast<EntriesFeature&>(*main_->feature(Feature::Entries));
    auto& help = dynamic_cast<HelpFeature&>(*main_->feature(Feature::Help));
    languages.buildLanguageMenu();
    ASSERT_EQ(std::vector<std::string>{"Deutsch.lng"}, languages.languageFiles());
    entries.wizard().create(); // made before the switch

    SendMessageA(main_->handle(), WM_COMMAND, kLanguageCommandBase, 0);
    const auto column = [this](int index) {
        char text[64] = {};
        LVCOLUMNA info{};
        info.mask = LVCF_TEXT;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        SendMessageA(list(EntryView::lvPassword), LVM_GETCOLUMNA, index,
                     reinterpret_cast<LPARAM>(&info));
        return std::string(text);
    };
    EXPECT_EQ("Titel", column(0));
    EXPECT_EQ("Wollen Sie das aktuelle Konto speichern?", main_->messages().text(Msg::querysave));
    EXPECT_EQ("&Konto", main_->get<TToolButton>("ToolButton1").caption());
    EXPECT_EQ("Neues Konto anlegen", main_->get<TToolButton>("tbNewAccount").hint());
    EXPECT_EQ("ALLE", main_->get<QTabControl>("mTabType").tabs()[0]);
    EXPECT_EQ("Passwort", main_->get<QTabControl>("mTabType").tabs()[1]);
    EXPECT_EQ("Willkommen bei Keyhaven", windowText(main_->loginDialog().handle()));
    EXPECT_EQ("&Zur\xFC"
              "ck",
              entries.wizard().get<QSkinButton>("sbBack").caption());
    TMenuItem* save = main_->menu("pmAccount")->item("SaveAccountData1");
    char menuText[128] = {};
    GetMenuStringA(save->parentMenu(), static_cast<UINT>(save->commandId()), menuText,
                   sizeof menuText, MF_BYCOMMAND);
    EXPECT_STREQ("Kontodaten &speichern\tCtrl+S", menuText);
    // A window made after the switch is German at once, its tips too.
    TfrmTip& tip = help.tipWindow();
    EXPECT_EQ("Tipp des Tages", windowText(tip.handle()));
    ASSERT_GE(tip.tips().count(), 9);
    EXPECT_EQ(0u, tip.tips().tips()[0].find("Was ist Keyhaven?"));

    main_->runCommand(CommandId::DefaultLanguage);
    EXPECT_EQ("Title", column(0));
    EXPECT_EQ("Do you want to save the current account?", main_->messages().text(Msg::querysave));
    EXPECT_EQ("&Account", main_->get<TToolButton>("ToolButton1").caption());
    EXPECT_EQ("ALL", main_->get<QTabControl>("mTabType").tabs()[0]);
    EXPECT_EQ("Welcome To Keyhaven", windowText(main_->loginDialog().handle()));
    EXPECT_EQ("&Back", entries.wizard().get<QSkinButton>("sbBack").caption());
    EXPECT_EQ("Tip of the Day", windowText(tip.handle()));
}

// Every caption of every window fits its control in the font the control chose, and at
// 144 DPI the same choice made over the form's scaled geometry and font fits too.
TEST_F(LanguageFilesTest, CaptionsFitTheirControlsAt96And144DpiInEnglishAndGerman) {
    openWindow();
    for (int f = 0; f < static_cast<int>(Feature::Count); ++f) {
        if (FeatureHandler* handler = main_->feature(static_cast<Feature>(f)))
            handler->createWindows();
    }
    TfrmShowBug bug(main_->messages());
    bug.create();
    ASSERT_GE(TForm::openForms().size(), 12u);
    HDC dc = CreateCompatibleDC(nullptr);
    const auto checkAll = [dc](const char* language) {
        int checked = 0;
        int shrunk = 0;
        for (TForm* form : TForm::openForms()) {
            for (const auto& control : form->controls()) {
                const std::string caption = control->text();
                const std::optional<CaptionRoom> room = control->captionRoom();
                if (caption.empty() || !room) continue;
                ++checked;
                const std::string what = std::string(language) + ": " + form->className() + "." +
                                         control->name() + " \"" + caption + "\"";
                EXPECT_EQ(0, captionOverflow(dc, control->captionFont(), caption, *room))
                    << what << " at " << form->dpi() << " DPI";
                if (control->captionFont() != form->font(control->options() & opt::fontMask))
                    ++shrunk;

                LOGFONTA face{};
                GetObjectA(form->font(control->options() & opt::fontMask), sizeof face, &face);
                face.lfHeight = MulDiv(face.lfHeight, 144, form->dpi());
                const Font base(CreateFontIndirectA(&face));
                const CaptionRoom large = scaleRoom(*room, form->dpi(), 144);
                const Font fitted = fitCaptionFont(dc, base.get(), caption, large);
                EXPECT_EQ(0,
                          captionOverflow(dc, fitted ? fitted.get() : base.get(), caption, large))
                    << what << " at 144 DPI";
            }
        }
        EXPECT_GT(checked, 100) << language;
        // The shipped texts are chosen to fit; a smaller font is the exception.
        EXPECT_LE(shrunk, 3) << language;
    };
    checkAll("English");
    dynamic_cast<LanguageFeature&>(*main_->feature(Feature::Language)).chooseLanguage(germanFile());
    ASSERT_EQ("Wollen Sie das aktuelle Konto speichern?", main_->messages().text(Msg::querysave));
    checkAll("German");
    DeleteDC(dc);
}

TEST_F(LanguageFilesTest, AFileThatLacksKeysLeavesThoseInEnglish) {
    const std::string file = dir_.file("partial.lng");
    std::ofstream(file, std::ios::binary) << "[About]\r\nLanguage=Teil\r\nquerysave=Speichern?\r\n";
    openWindow();
    dynamic_cast<LanguageFeature&>(*main_->feature(Feature::Language)).chooseLanguage(file);
    EXPECT_EQ("Speichern?", main_->messages().text(Msg::querysave));
    EXPECT_EQ("Are you sure you want to log out of the current account?",
              main_->messages().text(Msg::querylogout));
    EXPECT_EQ("&Account", main_->get<TToolButton>("ToolButton1").caption());
}

TEST_F(LanguageFilesTest, WithGermanChosenTheFirstWindowIsGerman) {
    const std::filesystem::path folder = std::filesystem::path(paths_.programFolder) / "language";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(germanFile(), folder / "Deutsch.lng");
    writeConfig("Setting", "Language", (folder / "Deutsch.lng").string().c_str());
    openWindow();
    EXPECT_EQ("Willkommen bei Keyhaven", windowText(main_->loginDialog().handle()));
    EXPECT_EQ("Warte auf Anmeldung......", main_->bannerText());
    EXPECT_EQ("&Konto", main_->get<TToolButton>("ToolButton1").caption());
}

} // namespace
} // namespace kh::test
