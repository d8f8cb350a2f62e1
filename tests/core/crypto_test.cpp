#include "crypto.h"
#include "des_tables.h"
#include "self_test.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

namespace kh {
namespace {

using test::Bytes;
using test::fromHex;
using test::toHex;

// A plain DES straight from the published tables, one bit at a time: slow and obvious,
// the yardstick for the fast engine.
std::uint64_t permute(std::uint64_t in, int inBits, const std::uint8_t* table, int outBits) {
    std::uint64_t out = 0;
    for (int i = 0; i < outBits; ++i)
        out = (out << 1) | ((in >> (inBits - table[i])) & 1u);
    return out;
}

std::uint64_t referenceDes(std::uint64_t key, std::uint64_t block, bool decrypt) {
    std::uint64_t subkeys[16];
    std::uint64_t cd = permute(key, 64, des::kPermutedChoice1.data(), 56);
    std::uint64_t c = cd >> 28, d = cd & 0xfffffff;
    for (int r = 0; r < 16; ++r) {
        for (int s = 0; s < des::kKeyShifts[r]; ++s) {
            c = ((c << 1) | (c >> 27)) & 0xfffffff;
            d = ((d << 1) | (d >> 27)) & 0xfffffff;
        }
        subkeys[r] = permute((c << 28) | d, 56, des::kPermutedChoice2.data(), 48);
    }
    const std::uint64_t ip = permute(block, 64, des::kInitialPermutation.data(), 64);
    std::uint64_t l = ip >> 32, r = ip & 0xffffffff;
    for (int round = 0; round < 16; ++round) {
        const std::uint64_t k = subkeys[decrypt ? 15 - round : round];
        const std::uint64_t e = permute(r, 32, des::kExpansion.data(), 48) ^ k;
        std::uint64_t s = 0;
        for (int box = 0; box < 8; ++box) {
            const unsigned six = unsigned(e >> (42 - 6 * box)) & 0x3f;
            const unsigned row = ((six >> 4) & 2) | (six & 1), column = (six >> 1) & 15;
            s = (s << 4) | des::kSBoxes[box][row * 16 + column];
        }
        const std::uint64_t f = permute(s, 32, des::kPermutation.data(), 32);
        const std::uint64_t next = l ^ f;
        l = r;
        r = next;
    }
    return permute((r << 32) | l, 64, des::kFinalPermutation.data(), 64);
}

std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    return v;
}

void store64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 7; i >= 0; --i, v >>= 8)
        p[i] = std::uint8_t(v);
}

// The 16-byte unit transform written out from its definition with the reference DES.
void referenceDoubleBlock(const std::uint8_t key[16], int mode, const std::uint8_t in[16],
                          std::uint8_t out[16]) {
    const std::uint64_t k1 = load64(key), k2 = load64(key + 8);
    const bool decrypt = mode == kDecrypt;
    std::uint8_t state[16];
    std::memcpy(state, in, 16);
    auto stage = [&](std::uint64_t k, bool dec) {
        store64(state, referenceDes(k, load64(state), dec));
        store64(state + 8, referenceDes(k, load64(state + 8), dec));
    };
    auto exchange = [&] {
        for (int i = 0; i < 4; ++i)
            std::swap(state[4 + i], state[8 + i]);
    };
    stage(k1, decrypt);
    exchange();
    stage(k2, !decrypt);
    exchange();
    stage(k1, decrypt);
    std::memcpy(out, state, 16);
}

struct DesVector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// Published single-DES answers (FIPS 81, NIST SP 800-20 and classic test sets).
const DesVector kDesVectors[] = {
    {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "0000000000000000", "8CA64DE9C1B123A7"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "ED39D950FA74BCC4"},
};

TEST(TurboDes, MatchesPublishedAnswersBothWays) {
    for (const DesVector& v : kDesVectors) {
        SCOPED_TRACE(v.key);
        const Bytes key = fromHex(v.key), plain = fromHex(v.plain);
        std::uint8_t out[8], back[8];
        TurboDes encrypt, decrypt;
        ASSERT_TRUE(encrypt.setKey(key, kEncrypt));
        ASSERT_TRUE(decrypt.setKey(key, kDecrypt));
        encrypt.cryptBlock(plain.data(), out);
        EXPECT_EQ(toHex(out, 8), v.cipher);
        decrypt.cryptBlock(out, back);
        EXPECT_EQ(toHex(back, 8), v.plain);
    }
}

TEST(TurboDes, AgreesWithTheBitwiseReferenceAndIgnoresParityBits) {
    std::mt19937_64 rng(1);
    for (int i = 0; i < 300; ++i) {
        const std::uint64_t key = rng(), block = rng();
        std::uint8_t k[8], in[8], out[8], flipped[8];
        store64(k, key);
        store64(in, block);
        TurboDes des;
        des.setKey(k, i % 2);
        des.cryptBlock(in, out);
        ASSERT_EQ(load64(out), referenceDes(key, block, i % 2 == 1)) << i;

        for (auto& b : k)
            b ^= 0x01; // parity bits only
        des.setKey(k, i % 2);
        des.cryptBlock(in, flipped);
        ASSERT_EQ(load64(flipped), load64(out));
    }
}

TEST(TurboDes, RefusesKeysOfTheWrongSizeAndUnknownModes) {
    const Bytes eight(8, 1), sixteen(16, 1);
    TurboDes des;
    TurboDes2 des2;
    EXPECT_FALSE(des.setKey(sixteen, kEncrypt));
    EXPECT_FALSE(des2.setKey(eight, kEncrypt));
    EXPECT_FALSE(des2.setKey(sixteen, 2));
    EXPECT_TRUE(des2.setKey(sixteen, kDecrypt));
}

TEST(TurboDes2, CryptBlockIsTwoKeyTripleDesEde) {
    // Answer from an independent triple-DES (EDE, K3 = K1) implementation.
    const Bytes key = fromHex("0123456789ABCDEFFEDCBA9876543210");
    const Bytes plain = fromHex("4E6F77206973207468652074696D6520");
    TurboDes2 encrypt, decrypt;
    encrypt.setKey(key, kEncrypt);
    decrypt.setKey(key, kDecrypt);
    std::uint8_t out[16], back[16];
    encrypt.cryptBlock(plain.data(), out);
    encrypt.cryptBlock(plain.data() + 8, out + 8);
    EXPECT_EQ(toHex(out, 16), "D80A0D8B2BAE5E4E6A0094171ABCFC27");
    decrypt.cryptBlock(out, back);
    decrypt.cryptBlock(out + 8, back + 8);
    EXPECT_EQ(Bytes(back, back + 16), plain);
}

TEST(TurboDes2, DoubleBlockFollowsItsDefinitionAndInverts) {
    std::mt19937 rng(7);
    for (int i = 0; i < 100; ++i) {
        std::uint8_t key[16], in[16], out[16], expected[16], back[16];
        for (auto& b : key)
            b = std::uint8_t(rng());
        for (auto& b : in)
            b = std::uint8_t(rng());
        TurboDes2 encrypt, decrypt;
        encrypt.setKey({key, 16}, kEncrypt);
        decrypt.setKey({key, 16}, kDecrypt);
        encrypt.cryptDoubleBlock(in, out);
        referenceDoubleBlock(key, kEncrypt, in, expected);
        ASSERT_EQ(toHex(out, 16), toHex(expected, 16)) << i;
        decrypt.cryptDoubleBlock(out, back);
        ASSERT_EQ(toHex(back, 16), toHex(in, 16)) << i;
    }
}

TEST(TurboDes2, ExchangeBetweenStagesMatters) {
    // Without the exchange the unit would be two independent triple-DES blocks.
    const Bytes key = fromHex("0123456789ABCDEFFEDCBA9876543210");
    const Bytes plain = fromHex("4E6F77206973207468652074696D6520");
    TurboDes2 cipher;
    cipher.setKey(key, kEncrypt);
    std::uint8_t unit[16];
    cipher.cryptDoubleBlock(plain.data(), unit);
    EXPECT_NE(toHex(unit, 16), "D80A0D8B2BAE5E4E6A0094171ABCFC27");
    // The answer of the format document's own reference implementation.
    EXPECT_EQ(toHex(unit, 16), "AB70E6FEFC071BE265F32D3A5BFC2B06");
}

TEST(CryptBuffer, TransformsWholeUnitsOnly) {
    struct Case {
        std::size_t length;
        std::size_t processed;
    };
    const Case cases[] = {{0, 0},   {1, 0},     {15, 0},    {16, 16},   {20, 16},
                          {80, 80}, {160, 160}, {192, 192}, {479, 464}, {480, 480}};
    TurboDes2 cipher;
    cipher.setKey(fromHex("00112233445566778899AABBCCDDEEFF"), kEncrypt);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        Bytes buffer(c.length);
        for (std::size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = std::uint8_t(i * 7 + 3);
        const Bytes original = buffer;
        ASSERT_EQ(cryptBuffer(&cipher, buffer.data(), buffer.size()), c.processed);
        for (std::size_t u = 0; u < c.processed; u += 16) {
            std::uint8_t expected[16];
            cipher.cryptDoubleBlock(original.data() + u, expected);
            EXPECT_EQ(toHex(buffer.data() + u, 16), toHex(expected, 16));
        }
        EXPECT_TRUE(std::equal(buffer.begin() + std::ptrdiff_t(c.processed), buffer.end(),
                               original.begin() + std::ptrdiff_t(c.processed)));
    }
}

TEST(CryptBuffer, NullCipherTransformsNothing) {
    Bytes buffer(64, 0x5A);
    EXPECT_EQ(cryptBuffer(nullptr, buffer.data(), buffer.size()), 0u);
    EXPECT_EQ(buffer, Bytes(64, 0x5A));
}

TEST(CryptBuffer, LargeBufferGrowsScratchAndRoundTripsWithoutChaining) {
    const std::size_t length = 10240 * 3 + 16 * 5 + 9;
    Bytes buffer(length);
    std::mt19937 rng(3);
    for (auto& b : buffer)
        b = std::uint8_t(rng());
    std::memcpy(buffer.data() + 32, buffer.data(), 16); // two equal units
    const Bytes original = buffer;

    TurboDes2 cipher;
    const Bytes key = fromHex("A1B2C3D4E5F60718293A4B5C6D7E8F90");
    cipher.setKey(key, kEncrypt);
    EXPECT_EQ(cryptBuffer(&cipher, buffer.data(), length), length - 9);
    EXPECT_GE(cryptScratchSize(), length);
    EXPECT_EQ(toHex(buffer.data(), 16), toHex(buffer.data() + 32, 16));
    EXPECT_NE(buffer, original);

    cipher.setKey(key, kDecrypt);
    cryptBuffer(&cipher, buffer.data(), length);
    EXPECT_EQ(buffer, original);
}

TEST(Md5Digest, Rfc1321TestSuite) {
    const std::pair<std::string, const char*> suite[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& [text, digest] : suite) {
        std::uint8_t out[16];
        md5Digest(out, text.data(), text.size());
        EXPECT_EQ(toHex(out, 16), digest) << '"' << text << '"';
    }
}

TEST(Md5Digest, BlockBoundariesAndLongInput) {
    // Lengths around the 56- and 64-byte padding boundaries; 1,000,000 x 'a' is the
    // classic long-message answer.
    const std::pair<std::size_t, const char*> cases[] = {
        {55, "EF1772B6DFF9A122358552954AD0DF65"},
        {56, "3B0C8AC703F828B04C6C197006D17218"},
        {64, "014842D480B571495A4A0363793F7367"},
        {1000000, "7707D6AE4E027C70EEA2A935C2296F21"},
    };
    for (const auto& [length, digest] : cases) {
        const std::string text(length, 'a');
        std::uint8_t out[16];
        md5Digest(out, text.data(), text.size());
        EXPECT_EQ(toHex(out, 16), digest) << length;
    }
}

// Bit-at-a-time CRC-32 as the yardstick for the eight-bytes-per-step version.
std::uint32_t referenceCrc(const std::uint8_t* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

TEST(Crc32, CheckValueAndEverySplitOfEightBytes) {
    EXPECT_EQ(crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32(0, "", 0), 0u);
    EXPECT_EQ(crc32(0, nullptr, 100), 0u);
    Bytes data(100);
    std::mt19937 rng(11);
    for (auto& b : data)
        b = std::uint8_t(rng());
    for (std::size_t n = 0; n <= data.size(); ++n)
        ASSERT_EQ(crc32(0, data.data(), n), referenceCrc(data.data(), n)) << n;
    // A running value continues a checksum.
    EXPECT_EQ(crc32(crc32(0, data.data(), 37), data.data() + 37, 63), crc32(0, data.data(), 100));
}

TEST(CryptoSelfTest, PassesOnThisBuild) {
    EXPECT_TRUE(cryptoSelfTest());
}

TEST(InvertBytes, ComplementsAndTwiceRestores) {
    Bytes data = {0x00, 0xFF, 0x5A, 0x81};
    invertBytes(data.data(), data.size());
    EXPECT_EQ(data, (Bytes{0xFF, 0x00, 0xA5, 0x7E}));
    invertBytes(data.data(), data.size());
    EXPECT_EQ(data, (Bytes{0x00, 0xFF, 0x5A, 0x81}));
}

} // namespace
} // namespace kh
