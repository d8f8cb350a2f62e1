#include "strong_crypto.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace kh {
namespace {

using test::Bytes;
using test::fromHex;
using test::toHex;

Bytes ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes prefix(Bytes bytes, std::size_t length) {
    bytes.resize(length);
    return bytes;
}

TEST(StrongCrypto, Argon2idGivesTheKnownAnswers) {
    ASSERT_TRUE(strongCryptoReady());
    struct Case {
        const char* what;
        Bytes password, salt, secret, associated;
        std::uint32_t iterations, memoryKiB, lanes;
        const char* tag;
    };
    // RFC 9106 section 5.3 (with secret and associated data), and answers of the reference
    // implementation (python3-argon2's hash_secret_raw, type ID) at the costs and output
    // length the account file uses; two lanes run in parallel.
    const Case cases[] = {
        {"RFC 9106", Bytes(32, 1), Bytes(16, 2), Bytes(8, 3), Bytes(12, 4), 3, 32, 4,
         "0D640DF58D78766C08C037A34A8B53C9D01EF0452D75B65EB52520E96B01E659"},
        {"one lane",
         ascii("password"),
         ascii("somesaltsomesalt"),
         {},
         {},
         1,
         8192,
         1,
         "8E21F9553BBC979E780EFBF6297232BE515F577BCE00D43F3E45FE62E996F3FA"
         "4036531E16DDCB8CD50A17559B8F2F74E9E75D4B5F8D3AAFDA77BD5AAF7CFB30"},
        {"two lanes",
         ascii(std::string_view("alice\0s3cret!", 13)),
         fromHex("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F"),
         {},
         {},
         2,
         8192,
         2,
         "BE94DC2DE3A2AA498C34B6B72BDCF3789229739CC7E7823C42EF79329909C744"
         "846DFC5C96633B63AFF0C91B8D9AD9C651763EFF8F72A999992903519CA54885"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes out(std::string_view(c.tag).size() / 2, 0xEE);
        ASSERT_TRUE(argon2id(c.password, c.salt, c.iterations, c.memoryKiB, c.lanes, out, c.secret,
                             c.associated));
        EXPECT_EQ(toHex(out.data(), out.size()), c.tag);
    }
}

TEST(StrongCrypto, Argon2idRefusesImpossibleCostsAndZeroesTheOutput) {
    const Bytes password = ascii("pw"), salt(32, 7);
    struct Case {
        std::uint32_t iterations, memoryKiB, lanes;
    };
    for (const Case c : {Case{0, 8192, 1}, Case{1, 8192, 0}, Case{1, 15, 2}}) {
        SCOPED_TRACE(std::to_string(c.iterations) + "/" + std::to_string(c.memoryKiB) + "/" +
                     std::to_string(c.lanes));
        Bytes out(64, 0xEE);
        EXPECT_FALSE(argon2id(password, salt, c.iterations, c.memoryKiB, c.lanes, out));
        EXPECT_EQ(out, Bytes(64, 0));
    }
    Bytes out(64, 0xEE);
    EXPECT_FALSE(argon2id(password, Bytes(4, 1), 1, 8192, 1, out)); // salt too short
    EXPECT_EQ(out, Bytes(64, 0));
}

TEST(StrongCrypto, Sha256GivesTheKnownAnswers) {
    const struct {
        Bytes message;
        const char* digest;
    } cases[] = {
        {{}, "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {ascii("abc"), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {ascii("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
         "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
        {Bytes(1000000, 'a'), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
    };
    for (const auto& c : cases) {
        std::uint8_t digest[32];
        ASSERT_TRUE(sha256(c.message, digest));
        EXPECT_EQ(toHex(digest, 32), c.digest) << c.message.size();
    }
}

// The AES-256 cases (13-16) of the GCM submission to NIST, both ways, and every single-bit
// change of ciphertext, tag, associated data and nonce refused.
TEST(StrongCrypto, Aes256GcmGivesTheKnownAnswersAndRefusesEveryChange) {
    const char* key15 = "FEFFE9928665731C6D6A8F9467308308FEFFE9928665731C6D6A8F9467308308";
    const char* plain15 = "D9313225F88406E5A55909C5AFF5269A86A7A9531534F7DA2E4C303D8A318A72"
                          "1C3C0C95956809532FCF0E2449A6B525B16AEDF5AA0DE657BA637B391AAFD255";
    const char* cipher15 = "522DC1F099567D07F47F37A32A84427D643A8CDCBFE5C0C97598A2BD2555D1AA"
                           "8CB08E48590DBB3DA7B08B1056828838C5F61E6393BA7A0ABCC9F662898015AD";
    const struct {
        const char* what;
        Bytes key, nonce, associated, plain, cipher, tag;
    } cases[] = {
        {"13", Bytes(32, 0), Bytes(12, 0), {}, {}, {}, fromHex("530F8AFBC74536B9A963B4F1C4CB738B")},
        {"14",
         Bytes(32, 0),
         Bytes(12, 0),
         {},
         Bytes(16, 0),
         fromHex("CEA7403D4D606B6E074EC5D3BAF39D18"),
         fromHex("D0D1C8A799996BF0265B98B5D48AB919")},
        {"15",
         fromHex(key15),
         fromHex("CAFEBABEFACEDBADDECAF888"),
         {},
         fromHex(plain15),
         fromHex(cipher15),
         fromHex("B094DAC5D93471BDEC1A502270E3CC6C")},
        {"16", fromHex(key15), fromHex("CAFEBABEFACEDBADDECAF888"),
         fromHex("FEEDFACEDEADBEEFFEEDFACEDEADBEEFABADDAD2"), prefix(fromHex(plain15), 60),
         prefix(fromHex(cipher15), 60), fromHex("76FC6ECE0F4E1768CDDF8853BB2D551B")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::span<const std::uint8_t, 32> key(c.key.data(), 32);
        const std::span<const std::uint8_t, 12> nonce(c.nonce.data(), 12);
        Bytes data = c.plain;
        std::array<std::uint8_t, 16> tag{};
        ASSERT_TRUE(aes256GcmSeal(key, nonce, c.associated, data, tag));
        EXPECT_EQ(data, c.cipher);
        EXPECT_EQ(Bytes(tag.begin(), tag.end()), c.tag);

        ASSERT_EQ(aes256GcmOpen(key, nonce, c.associated, data, tag), GcmOpen::Authentic);
        EXPECT_EQ(data, c.plain);

        auto refused = [&](Bytes cipher, Bytes associated, Bytes n,
                           std::array<std::uint8_t, 16> t) {
            const bool forged = aes256GcmOpen(key, std::span<const std::uint8_t, 12>(n.data(), 12),
                                              associated, cipher, t) == GcmOpen::Forged;
            // Nothing of an unauthenticated plaintext is handed out.
            return forged && cipher == Bytes(cipher.size(), 0);
        };
        for (std::size_t bit = 0; bit < c.cipher.size() * 8; bit += 7) {
            Bytes cipher = c.cipher;
            cipher[bit / 8] ^= std::uint8_t(1u << (bit % 8));
            EXPECT_TRUE(refused(cipher, c.associated, c.nonce, tag)) << "ciphertext bit " << bit;
        }
        for (std::size_t bit = 0; bit < 128; ++bit) {
            auto t = tag;
            t[bit / 8] ^= std::uint8_t(1u << (bit % 8));
            EXPECT_TRUE(refused(c.cipher, c.associated, c.nonce, t)) << "tag bit " << bit;
        }
        for (std::size_t bit = 0; bit < c.associated.size() * 8; bit += 5) {
            Bytes associated = c.associated;
            associated[bit / 8] ^= std::uint8_t(1u << (bit % 8));
            EXPECT_TRUE(refused(c.cipher, associated, c.nonce, tag)) << "associated bit " << bit;
        }
        Bytes nonceChanged = c.nonce;
        nonceChanged[11] ^= 0x80;
        EXPECT_TRUE(refused(c.cipher, c.associated, nonceChanged, tag));
        // Associated data that merely moves into the ciphertext is a different message.
        if (!c.associated.empty()) {
            EXPECT_TRUE(refused(c.cipher, {}, c.nonce, tag));
        }
    }
}

TEST(StrongCrypto, RandomBytesAreFreshEveryTime) {
    std::array<std::uint8_t, 32> a{}, b{};
    ASSERT_TRUE(strongRandomBytes(a));
    ASSERT_TRUE(strongRandomBytes(b));
    EXPECT_NE(a, b);
    EXPECT_NE(a, (std::array<std::uint8_t, 32>{}));
}

TEST(StrongCrypto, SameBytesComparesEveryByte) {
    const Bytes a = fromHex("00112233445566778899AABBCCDDEEFF");
    EXPECT_TRUE(sameBytes(a, a));
    for (std::size_t i = 0; i < a.size(); ++i) {
        Bytes b = a;
        b[i] ^= 0x01;
        EXPECT_FALSE(sameBytes(a, b)) << i;
    }
    EXPECT_FALSE(sameBytes(a, Bytes(a.begin(), a.end() - 1)));
}

} // namespace
} // namespace kh
