#include "generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace kh {
namespace {

// Hands out the given words in order, then fails.
class ScriptedRandom final : public RandomSource {
  public:
    explicit ScriptedRandom(std::vector<std::uint32_t> words) : words_(std::move(words)) {}
    std::size_t used() const { return next_; }

  protected:
    bool nextWord(std::uint32_t& word) override {
        if (next_ == words_.size()) return false;
        word = words_[next_++];
        return true;
    }

  private:
    std::vector<std::uint32_t> words_;
    std::size_t next_ = 0;
};

class SeededRandom final : public RandomSource {
  public:
    explicit SeededRandom(std::uint32_t seed) : engine_(seed) {}

  protected:
    bool nextWord(std::uint32_t& word) override {
        word = static_cast<std::uint32_t>(engine_());
        return true;
    }

  private:
    std::mt19937 engine_;
};

const std::string kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const std::string kLower = "abcdefghijklmnopqrstuvwxyz";
const std::string kSpecial = "#$%&'()*+";
const std::string kDigits = "0123456789";

TEST(RandomSource, RedrawsWordsThatWouldBiasTheRemainder) {
    // 2^32 mod 3 = 1: the single top word would make 0 slightly more likely.
    ScriptedRandom random({0xFFFFFFFFu, 0xFFFFFFFEu, 7});
    EXPECT_EQ(random.below(3), 0xFFFFFFFEu % 3);
    EXPECT_EQ(random.below(3), 1u);
    EXPECT_EQ(random.used(), 3u);

    ScriptedRandom powerOfTwo({0xFFFFFFFFu});
    EXPECT_EQ(powerOfTwo.below(4), 3u);
    EXPECT_EQ(powerOfTwo.below(4), std::nullopt); // exhausted source: no number
    EXPECT_EQ(powerOfTwo.below(0), std::nullopt);
}

TEST(RandomSource, SystemSourceDeliversVaryingBytes) {
    std::uint8_t a[32] = {};
    std::uint8_t b[32] = {};
    ASSERT_TRUE(systemRandomBytes(a, sizeof a));
    ASSERT_TRUE(systemRandomBytes(b, sizeof b));
    EXPECT_FALSE(std::equal(std::begin(a), std::end(a), std::begin(b)));
    EXPECT_TRUE(systemRandomBytes(a, 0));
}

TEST(Generator, ParsesTheLeadingNumberOfTheLengthText) {
    const struct {
        const char* text;
        int length;
    } cases[] = {
        {"15", 15},
        {"20a", 20},
        {"  \t 8", 8},
        {"+7", 7},
        {" +0012x3", 12},
        {"1 2", 1},
        {"512", 512},
        {"", kDefaultPasswordLength},
        {"abc", kDefaultPasswordLength},
        {"0", kDefaultPasswordLength},
        {"-5", kDefaultPasswordLength},
        {"- 5", kDefaultPasswordLength},
        {"+", kDefaultPasswordLength},
        {"x20", kDefaultPasswordLength},
        {"513", kMaxPasswordLength},
        {"99999999999999999999999999", kMaxPasswordLength},
        {"-99999999999999999999999999", kDefaultPasswordLength},
        {"4294967310", kMaxPasswordLength}, // wraps to 14 in 32 bits
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseGeneratorLength(c.text), c.length) << '"' << c.text << '"';
}

TEST(Generator, OutputHasTheRequestedLengthWithinBounds) {
    const GeneratorOptions all;
    const struct {
        int asked;
        std::size_t made;
    } cases[] = {{8, 8}, {1, 1}, {0, 14}, {-3, 14}, {512, 512}, {100000, 512}};
    for (const auto& c : cases) {
        const auto password = generatePassword(all, c.asked);
        ASSERT_TRUE(password.has_value());
        EXPECT_EQ(password->size(), c.made) << c.asked;
    }
}

TEST(Generator, UsesExactlyTheCharactersOfTheCheckedClasses) {
    const struct {
        GeneratorOptions options;
        std::string allowed;
    } cases[] = {
        {{true, false, false, false}, kUpper},
        {{false, true, false, false}, kLower},
        {{false, false, true, false}, kSpecial},
        {{false, false, false, true}, kDigits},
        {{true, true, false, false}, kUpper + kLower},
        {{false, true, true, false}, kLower + kSpecial},
        {{false, true, true, true}, kLower + kSpecial + kDigits},
        {{true, true, true, true}, kUpper + kLower + kSpecial + kDigits},
    };
    for (const auto& c : cases) {
        const auto password = generatePassword(c.options, kMaxPasswordLength);
        ASSERT_TRUE(password.has_value());
        const std::string_view text = password->view();
        EXPECT_EQ(text.find_first_not_of(c.allowed), std::string_view::npos)
            << c.allowed << ": " << text;
        // Each class that may appear does (a class is missing from 512 characters with a
        // chance far below 1e-40).
        for (const std::string* group : {&kUpper, &kLower, &kSpecial, &kDigits}) {
            if (c.allowed.find(*group) != std::string::npos) {
                EXPECT_NE(text.find_first_of(*group), std::string_view::npos) << c.allowed;
            }
        }
    }
}

TEST(Generator, NoClassCheckedGivesNothing) {
    ScriptedRandom random({});
    EXPECT_EQ(generatePassword({false, false, false, false}, 8, random), std::nullopt);
}

TEST(Generator, FollowsTheClassRulesDrawByDraw) {
    const struct {
        GeneratorOptions options;
        std::vector<std::uint32_t> words;
        const char* password;
    } cases[] = {
        // class, then character: one of each class.
        {{}, {0, 5, 1, 25, 2, 8, 3, 9}, "Fz+9"},
        {{}, {2, 0, 6, 6}, "#)"}, // 6 mod 4 = 2: special again
        // A switched-off class's draw yields a digit.
        {{false, false, false, true}, {0, 7, 1, 3, 2, 0}, "730"},
        {{false, true, true, true}, {0, 4, 1, 0}, "4a"},
        // With digits off such class draws are repeated without a character draw.
        {{true, false, false, false}, {1, 3, 2, 0, 4}, "E"},
        {{false, false, true, false}, {3, 0, 1, 2, 8}, "+"},
    };
    for (const auto& c : cases) {
        ScriptedRandom random(c.words);
        const int length = static_cast<int>(std::string_view(c.password).size());
        const auto password = generatePassword(c.options, length, random);
        ASSERT_TRUE(password.has_value()) << c.password;
        EXPECT_EQ(*password, c.password);
        EXPECT_EQ(random.used(), c.words.size()) << c.password;
    }
}

TEST(Generator, FailingRandomSourceGivesNothing) {
    // Enough words for two characters of the eight asked for.
    ScriptedRandom random({0, 1, 0, 2});
    EXPECT_EQ(generatePassword({}, 8, random), std::nullopt);
    ScriptedRandom classOnly({0});
    EXPECT_EQ(generatePassword({}, 8, classOnly), std::nullopt);
}

// Share of digits with capitals off and the rest on: their own quarter plus the
// capitals' quarter.
double digitShare(RandomSource& random) {
    const GeneratorOptions noUpper{false, true, true, true};
    std::size_t digits = 0;
    std::size_t total = 0;
    for (int i = 0; i < 40; ++i) {
        const auto password = generatePassword(noUpper, kMaxPasswordLength, random);
        if (!password) return -1;
        for (char c : password->view())
            digits += (c >= '0' && c <= '9') ? 1 : 0;
        total += password->size();
    }
    return static_cast<double>(digits) / static_cast<double>(total);
}

TEST(Generator, CapitalsOffGiveAboutHalfDigits) {
    // 20,480 characters: the standard deviation of the share is 0.0035.
    SeededRandom seeded(20240611);
    EXPECT_NEAR(digitShare(seeded), 0.5, 0.03);
    EXPECT_NEAR(digitShare(systemRandom()), 0.5, 0.03);
}

TEST(Generator, CharactersOfAClassAreEvenlySpread) {
    SeededRandom random(7);
    std::map<char, int> counts;
    for (int i = 0; i < 20; ++i) {
        const auto password = generatePassword({false, false, true, false}, 450, random);
        ASSERT_TRUE(password.has_value());
        for (char c : password->view())
            ++counts[c];
    }
    // 9,000 characters over nine: 1,000 each, standard deviation about 30.
    ASSERT_EQ(counts.size(), 9u);
    for (const auto& [c, n] : counts)
        EXPECT_NEAR(n, 1000, 150) << c;
}

TEST(Generator, TwoQuickGenerationsDiffer) {
    const auto first = generatePassword({}, kDefaultPasswordLength);
    const auto second = generatePassword({}, kDefaultPasswordLength);
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(first->view(), second->view());
}

} // namespace
} // namespace kh
