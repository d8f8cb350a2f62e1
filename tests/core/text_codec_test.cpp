#include "text_codec.h"

#include <gtest/gtest.h>

namespace kh {
namespace {

TEST(TextCodec, Utf8ToWindows1252) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain ASCII", "plain ASCII"},
        {"caf\xC3\xA9 \xC3\xBC\xC3\x9F", "caf\xE9 \xFC\xDF"}, // Latin-1 range
        {"\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x84\xA2", "\x80 \x93q\x94 \x99"}, // 0x80-0x9F
        {"\xC5\xA0\xC5\xBD\xC5\xB8", "\x8A\x8E\x9F"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", "??"}, // no Windows-1252 form
        {"\xF0\x9F\x94\x91 key", "? key"},  // outside the BMP
        {"bad\xFF\xC3", "bad??"},           // malformed and truncated
        {"\xC0\xAF", "??"},                 // overlong encoding
        {"\xED\xA0\x80", "?"},              // surrogate
        {std::string("nul\0inside", 10), std::string("nul\0inside", 10)},
    };
    for (const auto& [utf8, expected] : cases)
        EXPECT_EQ(utf8ToWindows1252(utf8), expected) << utf8;
}

TEST(TextCodec, ExactConversionRefusesWhatWouldChange) {
    EXPECT_EQ(utf8ToWindows1252Exact("caf\xC3\xA9 \xE2\x82\xAC?"), "caf\xE9 \x80?");
    EXPECT_EQ(utf8ToWindows1252Exact(""), "");
    for (const std::string bad :
         {"\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C", // no form
          "ok\xF0\x9F\x94\x91", "bad\xFF", "cut\xC3", "\xC0\xAF", "\xED\xA0\x80"})
        EXPECT_FALSE(utf8ToWindows1252Exact(bad)) << bad;
}

TEST(TextCodec, EveryByteRoundTripsThroughUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::string utf8 = windows1252ToUtf8(all);
    EXPECT_EQ(utf8ToWindows1252(utf8), all);
    EXPECT_EQ(windows1252ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(windows1252ToUtf8("\xE9"), "\xC3\xA9");
}

} // namespace
} // namespace kh
