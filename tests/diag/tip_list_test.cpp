// The tip list: which slots become tips with and without a language, and where showTip,
// Previous and Next land.
#include "language.h"
#include "tip_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace kh {
namespace {

using Lines = std::vector<std::string>;

TipList tipsFor(const Lines& lines) {
    QLanguage language;
    if (!lines.empty()) language.loadTranslation(lines);
    return TipList::fromLanguage(language);
}

TEST(TipList, NineDefaultTipsWithoutALanguage) {
    const TipList tips = tipsFor({});
    ASSERT_EQ(9, tips.count());
    EXPECT_EQ("What is Keyhaven?\n\nRemember One Password, Leave the Others to Keyhaven!",
              tips.tips()[0]);
    for (int slot = 0; slot < 9; ++slot)
        EXPECT_EQ(defaultTipText(slot), tips.tips()[static_cast<std::size_t>(slot)]);
    for (int slot : {-1, 9, 18, 19})
        EXPECT_EQ("", defaultTipText(slot)) << slot;
    EXPECT_EQ(-1, tips.current());
    EXPECT_EQ("", tips.currentText());
}

TEST(TipList, LanguageTextsReplaceAndExtendTheDefaults) {
    struct Case {
        const char* what;
        Lines lines;
        int count;
        int index;
        std::string text;
    };
    const Case cases[] = {
        {"Tip12 adds a tenth tip after the defaults",
         {"Tip12 = Extra;second line"},
         10,
         9,
         "Extra\nsecond line"},
        {"a default is replaced, key in any case", {"tIP3=Other"}, 9, 3, "Other"},
        {"a line without text keeps the default", {"Tip4 ="}, 9, 4, std::string(defaultTipText(4))},
        {"extra slots in slot order", {"Tip18 = Z", "Tip9 = A"}, 11, 10, "Z"},
        {"no slot beyond 18", {"Tip19 = never"}, 9, 8, std::string(defaultTipText(8))},
        {"a language without tips",
         {"[About]", "Language = Deutsch"},
         9,
         0,
         std::string(defaultTipText(0))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TipList tips = tipsFor(c.lines);
        ASSERT_EQ(c.count, tips.count());
        EXPECT_EQ(c.text, tips.tips()[static_cast<std::size_t>(c.index)]);
    }
}

TEST(TipList, SelectWrapsAnyIndexIntoTheList) {
    const std::pair<int, int> cases[] = {
        {0, 0},  {1, 1},  {8, 8},   {9, 0},       {20, 2},
        {-1, 8}, {-9, 0}, {-10, 8}, {INT_MAX, 1}, {INT_MIN, 7},
    };
    for (const auto& [index, shown] : cases) {
        TipList tips = tipsFor({});
        EXPECT_TRUE(tips.select(index));
        EXPECT_EQ(shown, tips.current()) << index;
        EXPECT_EQ(tips.tips()[static_cast<std::size_t>(shown)], tips.currentText());
    }

    TipList none;
    EXPECT_FALSE(none.select(3));
    EXPECT_EQ(-1, none.current());
    none.step(1);
    EXPECT_EQ(-1, none.current());
}

TEST(TipList, PreviousAndNextWrapAtBothEnds) {
    struct Case {
        int start; // -1: nothing shown yet
        int delta;
        int shown;
    };
    const Case cases[] = {
        {0, -1, 8}, {8, 1, 0}, {3, 1, 4}, {3, -1, 2}, {-1, 1, 0}, {-1, -1, 8},
    };
    for (const Case& c : cases) {
        TipList tips = tipsFor({});
        if (c.start >= 0) tips.select(c.start);
        tips.step(c.delta);
        EXPECT_EQ(c.shown, tips.current()) << c.start << " " << c.delta;
    }
}

} // namespace
} // namespace kh
