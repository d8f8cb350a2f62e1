#include "display_name_cases.h"
#include "language.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace kh {
namespace {

using namespace std::string_literals;
using test::TempDir;

// A language component whose files live in a map instead of on disk.
struct FakeFiles {
    std::map<std::string, std::string> files;
    int reads = 0;

    LanguageFileReader reader() {
        return [this](const std::string& path) -> std::optional<std::string> {
            ++reads;
            const auto found = files.find(path);
            if (found == files.end()) return std::nullopt;
            return found->second;
        };
    }
};

std::map<std::string, std::string> mapOf(const QLanguage& language) {
    std::map<std::string, std::string> out;
    for (std::size_t i = 0; i < language.keys().size(); ++i)
        out.emplace(language.keys()[i], language.texts()[i]);
    return out;
}

std::string lookup(const QLanguage& language, std::string_view key) {
    std::string text = "<miss>";
    language.lookupText(key, text);
    return text;
}

TEST(LanguageFile, LineRules) {
    QLanguage language;
    ASSERT_TRUE(language.loadTranslation({
        "  key1   =   text one  \t",
        "\x01key2=two\x1f",
        "=starts with equals",
        "ends with equals =",
        "ends with equals and blanks =  \t ",
        "no equals sign",
        "[About]",
        "; comment = x",
        "# comment = x",
        "   # indented comment = x",
        "",
        " \t ",
        "a=b=c",
        "KEY1 = later duplicate",
        "cl\xE9 = accent",
        "CL\xC9 = accented duplicate",
        "nbsp\xA0=\xA0x\xA0",
        "semi = one;two",
    }));
    const std::vector<std::string> keys = {"key1", "key2", "a", "cl\xE9", "nbsp\xA0", "semi"};
    const std::vector<std::string> texts = {"text one", "two",       "b=c",
                                            "accent",   "\xA0x\xA0", "one;two"};
    EXPECT_EQ(language.keys(), keys);
    EXPECT_EQ(language.texts(), texts);
}

TEST(LanguageFile, LookUp) {
    QLanguage language;
    ASSERT_TRUE(language.loadTranslation({"Greeting = Hello;World;", "TfrmMain = Main"}));
    EXPECT_EQ(lookup(language, "greeting"), "Hello\nWorld\n");
    EXPECT_EQ(lookup(language, "TFRMMAIN"), "Main");

    std::string text = "kept";
    EXPECT_FALSE(language.lookupText("missing", text));
    EXPECT_FALSE(language.lookupText("", text));
    EXPECT_FALSE(language.lookupText("TfrmMain.", text));
    EXPECT_EQ(text, "kept");
}

// File bytes split into lines: each case lists the key=text pairs the file yields.
TEST(LanguageFile, LineEndsAndNul) {
    const struct {
        const char* what;
        std::string bytes;
        std::map<std::string, std::string> expected;
    } cases[] = {
        {"CR LF", "a=1\r\nb=2\r\n", {{"a", "1"}, {"b", "2"}}},
        {"LF", "a=1\nb=2", {{"a", "1"}, {"b", "2"}}},
        {"CR", "a=1\rb=2\r", {{"a", "1"}, {"b", "2"}}},
        {"LF CR", "a=1\n\rb=2", {{"a", "1"}, {"b", "2"}}},
        {"CR CR LF", "a=1\r\r\nb=2", {{"a", "1"}, {"b", "2"}}},
        {"NUL ends the text", "a=1\nb=2\0c=3\n"s, {{"a", "1"}, {"b", "2"}}},
        {"NUL inside a line", "a=x\0y\nb=2"s, {{"a", "x"}}},
        {"no line end", "k=" + std::string(100000, 'v'), {{"k", std::string(100000, 'v')}}},
    };
    for (const auto& c : cases) {
        FakeFiles fs;
        fs.files["x.lng"] = c.bytes;
        QLanguage language(fs.reader());
        language.setLanguage("x.lng");
        EXPECT_EQ(mapOf(language), c.expected) << c.what;
    }
}

TEST(LanguageFile, LoadOutcomes) {
    const struct {
        const char* what;
        std::optional<std::string> bytes;
        bool loads;
    } cases[] = {
        {"missing file", std::nullopt, false},
        {"empty file", std::string(), false},
        {"only NULs", std::string(64, '\0'), false},
        {"NUL first", "\0a=1\n"s, false},
        {"one empty line", std::string("\n"), true},
        {"only skipped lines", std::string("# comment\r\n[About]\r\n=x\r\n"), true},
        {"only blanks", std::string("  \t "), true},
    };
    for (const auto& c : cases) {
        int events = 0;
        QLanguage language([&](const std::string&) { return c.bytes; });
        language.OnLanguageLoaded = [&](QLanguage& sender) {
            EXPECT_EQ(&sender, &language);
            ++events;
        };
        ASSERT_TRUE(language.loadTranslation({"old=text"}));
        ASSERT_EQ(events, 1);

        language.setLanguage("C:\\lang\\x.lng");
        EXPECT_EQ(events, c.loads ? 2 : 1) << c.what;
        EXPECT_TRUE(language.keys().empty()) << c.what; // a failed load empties the map too
        EXPECT_EQ(language.language(), "C:\\lang\\x.lng") << c.what;
        EXPECT_EQ(language.loadTranslation(), c.loads) << c.what;
    }
}

TEST(LanguageFile, HostileFilesLoadWithoutHarm) {
    std::mt19937 rng(7);
    std::string binary(200000, '\0');
    for (char& c : binary)
        c = static_cast<char>(1 + rng() % 255); // no NUL: read it all
    std::string manyLines;
    for (int i = 0; i < 50000; ++i)
        manyLines += "key" + std::to_string(i) + "=t\n";

    const std::string inputs[] = {
        binary,
        manyLines,
        std::string(100000, 'x') + "\n=" + std::string(100000, '=') + "\n",
        "long=" + std::string(100000, ';') + "\n",
        std::string(100000, '\n'),
        std::string(100000, '\r') + std::string(100000, '\0'),
    };
    for (const std::string& bytes : inputs) {
        QLanguage language([&](const std::string&) { return bytes; });
        language.setLanguage("hostile.lng");
        ASSERT_EQ(language.keys().size(), language.texts().size());
        std::set<std::string> seen;
        for (std::size_t i = 0; i < language.keys().size(); ++i) {
            const std::string& key = language.keys()[i];
            ASSERT_FALSE(key.empty());
            ASSERT_GT(static_cast<unsigned char>(key.front()), 32);
            ASSERT_GT(static_cast<unsigned char>(key.back()), 32);
            ASSERT_FALSE(language.texts()[i].empty());
            std::string text;
            ASSERT_TRUE(language.lookupText(key, text));
            EXPECT_EQ(text.find(';'), std::string::npos);
        }
    }

    QLanguage many([&](const std::string&) { return manyLines; });
    many.setLanguage("many.lng");
    EXPECT_EQ(many.keys().size(), 50000u);
    EXPECT_EQ(lookup(many, "KEY49999"), "t");

    const std::string semicolons = "long=" + std::string(100000, ';');
    QLanguage longText([&](const std::string&) { return semicolons; });
    longText.setLanguage("long.lng");
    EXPECT_EQ(lookup(longText, "long"), std::string(100000, '\n'));
}

TEST(LanguageComponent, SetLanguageLoadsOnlyOnChange) {
    FakeFiles fs;
    fs.files["de.lng"] = "TfrmMain = Hauptfenster\n";
    fs.files["fr.lng"] = "TfrmMain = Fen\xEAtre principale\n";
    QLanguage language(fs.reader());
    int events = 0;
    language.OnLanguageLoaded = [&](QLanguage&) { ++events; };

    language.setLanguage("de.lng");
    EXPECT_EQ(fs.reads, 1);
    fs.files["de.lng"] = "TfrmMain = changed on disk\n";
    language.setLanguage("de.lng"); // the language in force: not read again
    EXPECT_EQ(fs.reads, 1);
    EXPECT_EQ(lookup(language, "TfrmMain"), "Hauptfenster");

    language.setLanguage("fr.lng");
    EXPECT_EQ(fs.reads, 2);
    EXPECT_EQ(lookup(language, "TfrmMain"), "Fen\xEAtre principale");

    // English without a template leaves the map as it was.
    language.setLanguage("");
    EXPECT_EQ(fs.reads, 2);
    EXPECT_EQ(events, 2);
    EXPECT_EQ(lookup(language, "TfrmMain"), "Fen\xEAtre principale");

    // With a template, English loads it.
    language.setLanguage("de.lng");
    language.addMessageDefault("TfrmMain", "Main window;\nsecond line");
    language.addMessageDefault("", "no key");
    language.addMessageDefault("nokey", "");
    language.setLanguage("");
    EXPECT_EQ(events, 4);
    EXPECT_EQ(*language.defaultTemplate(),
              std::vector<std::string>{"TfrmMain = Main window;;second line"});
    EXPECT_EQ(lookup(language, "TfrmMain"), "Main window\n\nsecond line");

    // With no language set, loading from the file is an empty map and no event.
    EXPECT_TRUE(language.loadTranslation());
    EXPECT_TRUE(language.keys().empty());
    EXPECT_EQ(events, 4);
}

TEST(LanguageComponent, PathSetWhileLoadingIsReadOnceLoaded) {
    FakeFiles fs;
    fs.files["de.lng"] = "apptitle = Schl\xFCsselhafen\n";
    QLanguage language(fs.reader());
    language.beginLoading();
    language.setLanguage("fr.lng");
    language.setLanguage("de.lng");
    EXPECT_EQ(fs.reads, 0);
    language.endLoading();
    EXPECT_EQ(fs.reads, 1);
    EXPECT_EQ(lookup(language, "apptitle"), "Schl\xFCsselhafen");

    QLanguage english(fs.reader());
    english.beginLoading();
    english.endLoading();
    EXPECT_EQ(fs.reads, 1);
}

TEST(LanguageComponent, ReadsRealFiles) {
    TempDir dir;
    const std::string path = dir.file("de.lng");
    test::writeBytes(path, test::Bytes{'a', ' ', '=', ' ', 'b', '\r', '\n'});
    EXPECT_EQ(readLanguageFile(path), std::optional<std::string>("a = b\r\n"));
    EXPECT_EQ(readLanguageFile(dir.file("missing.lng")), std::nullopt);
    EXPECT_EQ(readLanguageFile(dir.path().string()), std::nullopt); // a folder

    QLanguage language;
    language.setLanguage(path);
    EXPECT_EQ(lookup(language, "a"), "b");

    // Far larger than any language file: refused as a failed load.
    const std::string big = dir.file("big.lng");
    test::writeBytes(big, test::Bytes(kMaxLanguageFileSize + 1, 'x'));
    EXPECT_EQ(readLanguageFile(big), std::nullopt);
    language.setLanguage(big);
    EXPECT_TRUE(language.keys().empty());
}

TEST(LanguageDisplayName, ReadsAboutLanguageLikeTheProfileReader) {
    for (const auto& c : test::displayNameCases())
        EXPECT_EQ(readLanguageDisplayName(c.file), c.name) << c.what;

    // Rules of this reader beyond what the table shares with the system's reader.
    EXPECT_EQ(readLanguageDisplayName("[About]\rLanguage=Italiano\r"), "Italiano");
    EXPECT_EQ(readLanguageDisplayName("[About]\nLanguage=Ital\0iano\n"s), "Ital");
    EXPECT_EQ(readLanguageDisplayName("\xEF\xBB\xBF[About]\nLanguage=Fran\xC3\xA7"
                                      "ais\n"),
              "Fran\xE7"
              "ais");
    EXPECT_EQ(readLanguageDisplayName("[About]\nLanguage=\"" + std::string(300, 'q') + "\"\n"),
              std::string(255, 'q'));
    EXPECT_EQ(readLanguageDisplayName(std::string(100000, '[') + "\n" + std::string(100000, ']')),
              "");
}

// A window or control as the form framework presents it.
class FakeComponent : public TranslatableComponent {
  public:
    FakeComponent(ComponentKind kind, std::string name, std::string text, std::string hint = "",
                  bool visual = true)
        : kind_(kind), name_(std::move(name)), text_(std::move(text)), hint_(std::move(hint)),
          visual_(visual) {}

    ComponentKind componentKind() const override { return kind_; }
    std::string componentName() const override { return name_; }
    bool isVisualControl() const override { return visual_; }
    std::string text() const override { return text_; }
    void setText(const std::string& text) override { text_ = text; }
    std::string hint() const override { return hint_; }
    void setHint(const std::string& hint) override { hint_ = hint; }
    std::vector<TranslatableComponent*> ownedComponents() override { return owned_; }

    void own(FakeComponent& child) { owned_.push_back(&child); }

  private:
    ComponentKind kind_;
    std::string name_;
    std::string text_;
    std::string hint_;
    bool visual_;
    std::vector<TranslatableComponent*> owned_;
};

using K = ComponentKind;

// One window with a control of every kind.
struct DemoWindow {
    FakeComponent window{K::Window, "TfrmDemo", "Demo", "window hint", false};
    FakeComponent sbLogin{K::SkinnedControl, "sbLogin", "&Login", "Log in now"};
    FakeComponent lbForgot{K::Label, "lbForgot", "Forgot?"};
    FakeComponent stInfo{K::StaticText, "stInfo", "Info\nsecond"};
    FakeComponent mFile{K::MenuItem, "mFile", "&File", "", false};
    FakeComponent N1{K::MenuItem, "N1", "-", "", false};
    FakeComponent tbNew{K::ToolButton, "tbNew", "New", "New entry"};
    FakeComponent pnTop{K::Panel, "pnTop", "Top"};
    FakeComponent gbBox{K::GroupBox, "gbBox", "Box"};
    FakeComponent rgType{K::RadioGroup, "rgType", "Type"};
    FakeComponent btOk{K::Button, "btOk", "OK"};
    FakeComponent tsMain{K::TabSheet, "tsMain", "Main"};
    FakeComponent edPassword{K::Other, "edPassword", "typed text", "Type it"};
    FakeComponent unnamed{K::SkinnedControl, "", "no name", "no name hint"};

    DemoWindow() {
        for (FakeComponent* c : {&sbLogin, &lbForgot, &stInfo, &mFile, &N1, &tbNew, &pnTop, &gbBox,
                                 &rgType, &btOk, &tsMain, &edPassword, &unnamed})
            window.own(*c);
    }
};

const std::vector<std::string> kDemoTemplate = {
    "TfrmDemo = Demo",
    "TfrmDemo.sbLogin = &Login",
    "TfrmDemo.sbLogin.Hint = Log in now",
    "TfrmDemo.lbForgot = Forgot?",
    "TfrmDemo.stInfo = Info;second",
    "TfrmDemo.mFile = &File",
    "TfrmDemo.tbNew = New",
    "TfrmDemo.tbNew.Hint = New entry",
    "TfrmDemo.pnTop = Top",
    "TfrmDemo.gbBox = Box",
    "TfrmDemo.rgType = Type",
    "TfrmDemo.btOk = OK",
    "TfrmDemo.tsMain = Main",
    "TfrmDemo.edPassword.Hint = Type it",
};

const std::vector<std::string> kGerman = {
    "TfrmDemo = Fenster",
    "TfrmDemo.Hint = no hints for windows",
    "TfrmDemo.sbLogin = &Anmelden",
    "TfrmDemo.sbLogin.Hint = Jetzt;anmelden",
    "TfrmDemo.lbForgot = Vergessen?",
    "TfrmDemo.lbForgot.Hint = Kennwort vergessen", // no design hint, still translated
    "TfrmDemo.stInfo = Info;zweite",
    "TfrmDemo.mFile = &Datei",
    "TfrmDemo.mFile.Hint = menu items have no hint",
    "TfrmDemo.N1 = ---",
    "TfrmDemo.tbNew = Neu",
    "TfrmDemo.pnTop = Oben",
    "TfrmDemo.gbBox = Gruppe",
    "TfrmDemo.rgType = Art",
    "TfrmDemo.btOk = Gut",
    "TfrmDemo.tsMain = Haupt",
    "TfrmDemo.edPassword = edit fields keep their text",
    "TfrmDemo.edPassword.Hint = Tippen",
    "TfrmDemo. = nameless",
    "TfrmDemo..Hint = nameless",
};

struct Shown {
    std::string text, hint;
    bool operator==(const Shown&) const = default;
    friend void PrintTo(const Shown& s, std::ostream* os) {
        *os << "{\"" << s.text << "\", \"" << s.hint << "\"}";
    }
};

std::map<std::string, Shown> shownTexts(DemoWindow& w) {
    std::map<std::string, Shown> out{{"window", {w.window.text(), w.window.hint()}}};
    for (TranslatableComponent* c : w.window.ownedComponents())
        out[c->componentName()] = {c->text(), c->hint()};
    return out;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

TEST(TranslateWindow, CollectsDesignTextsThenAppliesTheLanguage) {
    FakeFiles fs;
    fs.files["de.lng"] = joinLines(kGerman);
    QLanguage language(fs.reader());
    DemoWindow w;
    const auto design = shownTexts(w);

    // No language in force: the window is collected and left as designed.
    language.translateWindow(&w.window, "TfrmDemo", true);
    ASSERT_NE(language.defaultTemplate(), nullptr);
    EXPECT_EQ(*language.defaultTemplate(), kDemoTemplate);
    EXPECT_EQ(shownTexts(w), design);

    language.setLanguage("de.lng");
    language.translateWindow(&w.window, "TfrmDemo", false);
    const std::map<std::string, Shown> german = {
        {"window", {"Fenster", "window hint"}},
        {"sbLogin", {"&Anmelden", "Jetzt\nanmelden"}},
        {"lbForgot", {"Vergessen?", "Kennwort vergessen"}},
        {"stInfo", {"Info\nzweite", ""}},
        {"mFile", {"&Datei", ""}},
        {"N1", {"---", ""}},
        {"tbNew", {"Neu", "New entry"}},
        {"pnTop", {"Oben", ""}},
        {"gbBox", {"Gruppe", ""}},
        {"rgType", {"Art", ""}},
        {"btOk", {"Gut", ""}},
        {"tsMain", {"Haupt", ""}},
        {"edPassword", {"typed text", "Tippen"}},
        {"", {"no name", "no name hint"}},
    };
    EXPECT_EQ(shownTexts(w), german);

    // Another window of the same class built while German is in force: the template keeps
    // the design texts, and the window comes up in German.
    DemoWindow second;
    language.translateWindow(&second.window, "TfrmDemo", true);
    EXPECT_EQ(*language.defaultTemplate(), kDemoTemplate);
    EXPECT_EQ(shownTexts(second), german);

    // English again: the template restores every collected text. A hint the design did not
    // have, and the separator (never collected), stay as the last language set them.
    language.setLanguage("");
    language.translateWindow(&w.window, "TfrmDemo", false);
    auto restored = design;
    restored["lbForgot"].hint = "Kennwort vergessen";
    restored["N1"].text = "---";
    EXPECT_EQ(shownTexts(w), restored);
}

TEST(TranslateWindow, WithoutSectionOwnedComponentsUseTheClassName) {
    QLanguage language;
    ASSERT_TRUE(language.loadTranslation(kGerman));
    DemoWindow w;
    language.translateWindow(&w.window, "", false);
    EXPECT_EQ(w.window.text(), "Demo"); // the window's own key needs a section
    EXPECT_EQ(w.sbLogin.text(), "&Anmelden");
    EXPECT_EQ(w.edPassword.hint(), "Tippen");

    language.translateWindow(nullptr, "TfrmDemo", true);
    EXPECT_EQ(language.defaultTemplate(), nullptr);
}

TEST(TranslateWindow, HintsOffAreNeitherCollectedNorTranslated) {
    QLanguage language;
    language.setTranslateHint(false);
    DemoWindow w;
    language.translateWindow(&w.window, "TfrmDemo", true);
    for (const std::string& line : *language.defaultTemplate())
        EXPECT_EQ(line.find(".Hint"), std::string::npos) << line;

    ASSERT_TRUE(language.loadTranslation(kGerman));
    language.translateWindow(&w.window, "TfrmDemo", false);
    EXPECT_EQ(w.sbLogin.text(), "&Anmelden");
    EXPECT_EQ(w.sbLogin.hint(), "Log in now");
    EXPECT_EQ(w.lbForgot.hint(), "");
}

TEST(CollectTexts, GrowsOnlyWithNewLinesIgnoringCase) {
    QLanguage language;
    DemoWindow w;
    std::vector<std::string> lines;
    EXPECT_FALSE(language.collectTexts(&w.window, "TfrmDemo", nullptr));
    EXPECT_FALSE(language.collectTexts(nullptr, "TfrmDemo", &lines));
    EXPECT_TRUE(language.collectTexts(&w.window, "TfrmDemo", &lines));
    EXPECT_EQ(lines, kDemoTemplate);
    EXPECT_FALSE(language.collectTexts(&w.window, "TfrmDemo", &lines));
    EXPECT_FALSE(language.collectTexts(&w.window, "TFRMDEMO", &lines));

    // A multi-line caption is recognised in its stored form and not entered twice.
    EXPECT_FALSE(language.collectTexts(&w.stInfo, "TfrmDemo", &lines));
    w.tbNew.setText("New!");
    EXPECT_TRUE(language.collectTexts(&w.tbNew, "TfrmDemo", &lines));
    EXPECT_EQ(lines.back(), "TfrmDemo.tbNew = New!");
    EXPECT_EQ(lines.size(), kDemoTemplate.size() + 1);
}

} // namespace
} // namespace kh
