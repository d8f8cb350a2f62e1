#include "request_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace kh::browser {
namespace {

RequestBlock blockFilledWith(std::uint8_t byte) {
    RequestBlock block;
    std::memset(block.data(), byte, kBlockSize);
    return block;
}

void put(RequestBlock& block, std::size_t offset, std::string_view text) {
    std::memcpy(block.data() + offset, text.data(), text.size());
}

TEST(RequestBlock, DecodingForcesTheTerminatorsOfFullFields) {
    RequestBlock block = blockFilledWith('x');
    setCompletionCode(block, 0);
    const RequestFields in = decodeRequest(block);
    EXPECT_EQ(in.userName, std::string(79, 'x'));
    EXPECT_EQ(in.password, std::string(79, 'x'));
    EXPECT_EQ(in.address, std::string(191, 'x'));
    for (std::size_t at : {83u, 163u, 243u, 435u})
        EXPECT_EQ(block[at], 0) << at;
    // Nothing else is touched.
    EXPECT_EQ(block[84], 'x');
    EXPECT_EQ(block[436], 'x');
    EXPECT_EQ(block[479], 'x');
}

TEST(RequestBlock, DecodingTrimsNameAndAddressButNotThePassword) {
    RequestBlock block;
    put(block, 4, " \t bob \x01");
    put(block, 164, "  pass word ");
    put(block, 244, "\x1f http://example.com/ \r\n");
    const RequestFields in = decodeRequest(block);
    EXPECT_EQ(in.userName, "bob");
    EXPECT_EQ(in.password, "  pass word ");
    EXPECT_EQ(in.address, "http://example.com/");
}

TEST(RequestBlock, CompletionCodeIsLittleEndian) {
    RequestBlock block;
    put(block, kCompletionOffset, std::string_view("\x21\x16\x00\x80", 4));
    EXPECT_EQ(decodeRequest(block).completionCode, 0x80001621u);
    setCompletionCode(block, 0x1627);
    EXPECT_EQ(block[452], 0x27);
    EXPECT_EQ(block[453], 0x16);
    EXPECT_EQ(block[454], 0);
    EXPECT_EQ(block[455], 0);
}

TEST(RequestBlock, LoginReplyCutsOutputsAndKeepsEveryOtherByte) {
    struct Case {
        std::string user;
        std::string password;
    };
    const Case cases[] = {
        {"ab", "pw"},
        {std::string(100, 'u'), std::string(79, 'p')},
        {std::string(79, 'u'), std::string(80, 'p')},
    };
    for (const Case& c : cases) {
        RequestBlock block = blockFilledWith(0xEE);
        setCompletionCode(block, 0);
        decodeRequest(block);
        const RequestBlock before = block;
        encodeLoginReply(block, RequestKind::GetByTitle, c.user, c.password);

        const std::string user = c.user.substr(0, 79);
        const std::string password = c.password.substr(0, 79);
        EXPECT_EQ(fieldText(block, kUserNameField), user);
        EXPECT_EQ(fieldText(block, kPasswordField), password);
        EXPECT_EQ(completionCode(block), 0x1621u);
        std::set<std::size_t> changed{83, 243, 452, 453, 454, 455};
        for (std::size_t i = 0; i <= user.size() && i < 80; ++i)
            changed.insert(4 + i);
        for (std::size_t i = 0; i <= password.size() && i < 80; ++i)
            changed.insert(164 + i);
        for (std::size_t i = 0; i < kBlockSize; ++i)
            if (!changed.count(i)) {
                ASSERT_EQ(block[i], before[i]) << "byte " << i << " of " << user;
            }
        EXPECT_EQ(block[83], 0);
        EXPECT_EQ(block[243], 0);
    }
}

TEST(RequestBlock, OnlyTheFourRequestNumbersAreRequests) {
    EXPECT_EQ(requestKind(0x1621), RequestKind::GetByTitle);
    EXPECT_EQ(requestKind(0x1623), RequestKind::SaveLogin);
    EXPECT_EQ(requestKind(0x1625), RequestKind::FindByPage);
    EXPECT_EQ(requestKind(0x1627), RequestKind::CheckLogin);
    for (std::uint32_t other : {0u, 0x543u, 0x1620u, 0x1622u, 0x1629u, 0x11621u})
        EXPECT_FALSE(requestKind(other)) << other;
}

} // namespace
} // namespace kh::browser
