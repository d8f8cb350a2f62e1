#include "text_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace kh {
namespace {

struct FormatCase {
    std::string pattern;
    std::vector<FormatArg> args;
    std::string expected;
};

// Test names show the pattern, with bytes outside printable ASCII as hex escapes.
std::ostream& operator<<(std::ostream& os, const FormatCase& c) {
    for (char ch : c.pattern) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 32 && b < 127)
            os << ch;
        else
            os << "\\x"
               << "0123456789ABCDEF"[b >> 4] << "0123456789ABCDEF"[b & 15];
    }
    return os;
}

class FormatTextTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTextTable, FillsThePattern) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(formatText(c.pattern, std::span<const FormatArg>(c.args)), c.expected);
    EXPECT_EQ(formatSecretText(c.pattern, std::span<const FormatArg>(c.args)).view(), c.expected);
}

const std::string kTitle = "Mail";

INSTANTIATE_TEST_SUITE_P(
    Placeholders, FormatTextTable,
    ::testing::Values(
        FormatCase{"", {}, ""}, FormatCase{"plain text", {"unused"}, "plain text"},
        FormatCase{"Save Account File: %s Failed!",
                   {"C:\\a b\\x.khk"},
                   "Save Account File: C:\\a b\\x.khk Failed!"},
        FormatCase{"%s/%s/%s", {kTitle, std::string_view("view"), "c"}, "Mail/view/c"},
        FormatCase{"%d items, %i, %u", {42, -7, 3u}, "42 items, -7, 3"},
        FormatCase{"%d %u", {INT64_MIN, UINT64_MAX}, "-9223372036854775808 18446744073709551615"},
        FormatCase{"%08X|%x|%#x|%X", {0xDEADBEEFu, 255, 255, 0}, "DEADBEEF|ff|0xff|0"},
        FormatCase{"%08X", {0x1Fu}, "0000001F"},
        // A negative int under %x and %u looks as printf shows it, unless "ll" asks for more.
        FormatCase{"%x %u %llx", {-1, -1, -1}, "ffffffff 4294967295 ffffffffffffffff"},
        FormatCase{"[%5d|%-5d|%05d|%+d|% d|%.3d|%.0d]",
                   {42, 42, -42, 7, 7, 5, 0},
                   "[   42|42   |-0042|+7| 7|005|]"},
        FormatCase{"[%-6s|%6s|%.2s]", {"ab", "ab", "abcdef"}, "[ab    |    ab|ab]"},
        FormatCase{"%ld %lld %hd %I64d %lu", {1, 2, 3, 4, 5}, "1 2 3 4 5"},
        FormatCase{"%c%c", {'o', 107}, "ok"},
        FormatCase{"100%% sure, %s%%", {"really"}, "100% sure, really%"},
        // Mismatched arguments never reinterpret memory: they are converted.
        FormatCase{"%s and %d", {12, "twelve"}, "12 and twelve"}, FormatCase{"%s", {-5}, "-5"},
        FormatCase{"[%5x]", {"ab"}, "[   ab]"}, FormatCase{"%c", {"text"}, "text"},
        FormatCase{"[%s]", {(const char*)nullptr}, "[]"}));

INSTANTIATE_TEST_SUITE_P(
    PluralForms, FormatTextTable,
    ::testing::Values(FormatCase{"%d %{entry|entries}", {1}, "1 entry"},
                      FormatCase{"%d %{entry|entries}", {0}, "0 entries"},
                      FormatCase{"%d %{entry|entries}", {2}, "2 entries"},
                      FormatCase{"%d %{entry|entries}", {-1}, "-1 entries"},
                      // The form follows the last number before it; a text argument is no number.
                      FormatCase{"%d of %d %{is|are} %s %{x|y}", {5, 1, "t"}, "5 of 1 is t x"},
                      FormatCase{"%{one|many} %d", {1}, "many 1"},
                      FormatCase{"%s %{one|many}", {1}, "1 one"},
                      // Not a choice: copied as written.
                      FormatCase{"%{one many} %d", {1}, "%{one many} 1"},
                      FormatCase{"%{a|b", {1}, "%{a|b"}));

INSTANTIATE_TEST_SUITE_P(
    HostilePatterns, FormatTextTable,
    ::testing::Values(
        // Missing arguments: the placeholder stays as written.
        FormatCase{"%s and %s and %08X", {"one"}, "one and %s and %08X"},
        FormatCase{"%d%%%s", {}, "%d%%s"},
        // Unknown conversions are copied and use no argument.
        FormatCase{"%n%s", {"x"}, "%nx"}, FormatCase{"%p %f %s", {"x"}, "%p %f x"},
        FormatCase{"%*d %s", {5, "x"}, "%*d 5"}, FormatCase{"%ls %s", {"x"}, "%ls x"},
        FormatCase{"%-%s", {"x"}, "%-x"}, FormatCase{"end %", {"x"}, "end %"},
        FormatCase{"%", {}, "%"}, FormatCase{"%0", {1}, "%0"}, FormatCase{"%.", {1}, "%."},
        FormatCase{"%ll", {1}, "%ll"},
        FormatCase{std::string("a\0%s\xFF\x80%", 7), {"b"}, std::string("a\0b\xFF\x80%", 6)},
        FormatCase{std::string("%\0s", 3), {"b"}, std::string("%\0s", 3)}));

TEST(FormatText, HugeWidthAndPrecisionAreCapped) {
    EXPECT_EQ(formatText("%999999999d", {1}).size(), std::size_t(kMaxFormatWidth));
    EXPECT_EQ(formatText("%-99999999999999999999999s|", {"a"}).size(),
              std::size_t(kMaxFormatWidth) + 1);
    EXPECT_EQ(formatText("%.999999999d", {1}).size(), std::size_t(kMaxFormatWidth));
    // Many placeholders each capped: the output stays proportional to the pattern.
    std::string pattern;
    for (int i = 0; i < 100; ++i)
        pattern += "%99999d";
    EXPECT_EQ(formatText(pattern, {1, 2, 3}).size(), 3u * kMaxFormatWidth + 97u * 7u);
}

TEST(FormatText, ListOverloadsAgreeAndAnEmptyListIsAccepted) {
    EXPECT_EQ(formatText("%s=%d", {"n", 5}), "n=5");
    EXPECT_EQ(formatText("%s", {}), "%s");
    const std::vector<FormatArg> args = {"n", 5};
    EXPECT_EQ(formatText("%s=%d", args), "n=5");
}

} // namespace
} // namespace kh
