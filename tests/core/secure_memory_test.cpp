#include "secure_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

namespace kh {
namespace {

TEST(SecretString, CopiesMovesAndComparesLikeAString) {
    SecretString a("short");
    SecretString b(std::string(100, 'x'));
    SecretString c = a;
    EXPECT_EQ(c, a);
    SecretString d = std::move(b);
    EXPECT_EQ(d.view(), std::string(100, 'x'));
    EXPECT_TRUE(b.empty()); // NOLINT(bugprone-use-after-move): a moved-from secret is empty
    c = std::move(d);
    EXPECT_EQ(c.size(), 100u);
    c.append("yz");
    EXPECT_EQ(c.view().substr(98), "xxyz");
}

TEST(SecretString, WipeClearsTheInlineBuffer) {
    // Short texts live inside the object; wipe() must zero that storage too.
    SecretString s("hunter2");
    const char* storage = s.data();
    s.wipe();
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(std::memcmp(storage, "\0\0\0\0\0\0\0", 7), 0);
}

TEST(WipedBytes, ClearZeroes) {
    WipedBytes<16> key;
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = std::uint8_t(i + 1);
    key.clear();
    for (std::size_t i = 0; i < key.size(); ++i)
        EXPECT_EQ(key[i], 0);
}

} // namespace
} // namespace kh
