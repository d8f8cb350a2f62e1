#include "account_file.h"
#include "crypto.h"
#include "des_bitslice.h"
#include "des_tables.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace kh::bitslice {
namespace {
template <class V> V andNot(V a, V b) {
    return ~a & b;
}
} // namespace
} // namespace kh::bitslice

#include "des_bitslice_sboxes.h"

namespace kh {
namespace {

using test::Bytes;
using test::fromHex;
using test::toHex;

// Restores the automatic engine choice when a test that forced one ends.
struct EngineGuard {
    EngineGuard() = default;
    EngineGuard(const EngineGuard&) = delete;
    EngineGuard& operator=(const EngineGuard&) = delete;
    ~EngineGuard() { setCipherEngine(CipherEngine::Auto); }
};

// Gives the tests the masks of a cipher's schedules, as cryptBuffer builds them.
class OpenDes2 : public TurboDes2 {
  public:
    void masks(bitslice::KeyMasks& out) const {
        bitslice::expandKeys(schedule1_, schedule2_, schedule3_, out);
    }
};

// Three independent stage keys (24 bytes): a subclass whose setKey fills the schedules
// its own way. cryptBlock is overridden too and must stay reachable through the base.
class ThreeKeyDes : public TurboDes2 {
  public:
    bool setKey(std::span<const std::uint8_t> key, int mode) noexcept override {
        if (key.size() != 24) return false;
        // Schedule 1 of (K3, K2) is the schedule K3 needs; then the usual (K1, K2).
        std::uint8_t k3k2[16];
        std::memcpy(k3k2, key.data() + 16, 8);
        std::memcpy(k3k2 + 8, key.data() + 8, 8);
        if (!TurboDes2::setKey(k3k2, mode)) return false;
        const DesSchedule third = schedule1_;
        TurboDes2::setKey(key.first(16), mode);
        schedule3_ = third;
        return true;
    }
    void cryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept override {
        for (int i = 0; i < 8; ++i)
            out[i] = std::uint8_t(in[i] ^ 0xA5);
    }
};

std::vector<CipherEngine> usableEngines() {
    std::vector<CipherEngine> engines = {CipherEngine::Table, CipherEngine::Bitsliced64};
    if (bitslice::avx2Usable()) engines.push_back(CipherEngine::Bitsliced256);
    engines.push_back(CipherEngine::Auto);
    return engines;
}

const char* engineName(CipherEngine e) {
    switch (e) {
    case CipherEngine::Auto:
        return "auto";
    case CipherEngine::Table:
        return "table";
    case CipherEngine::Bitsliced64:
        return "bitsliced 64";
    case CipherEngine::Bitsliced256:
        return "bitsliced 256";
    }
    return "?";
}

Bytes randomBytes(std::mt19937& rng, std::size_t n) {
    Bytes b(n);
    for (auto& x : b)
        x = std::uint8_t(rng());
    return b;
}

TEST(DesBitslice, SboxCircuitsReproduceThePublishedTables) {
    // Lane x of the input planes carries the six bits a1..a6 of the value x.
    std::uint64_t a[6] = {};
    for (int x = 0; x < 64; ++x)
        for (int k = 0; k < 6; ++k)
            if ((x >> (5 - k)) & 1) a[k] |= std::uint64_t(1) << x;
    using Box =
        void (*)(std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t,
                 std::uint64_t, std::uint64_t&, std::uint64_t&, std::uint64_t&, std::uint64_t&);
    const Box boxes[8] = {bitslice::sbox1<std::uint64_t>, bitslice::sbox2<std::uint64_t>,
                          bitslice::sbox3<std::uint64_t>, bitslice::sbox4<std::uint64_t>,
                          bitslice::sbox5<std::uint64_t>, bitslice::sbox6<std::uint64_t>,
                          bitslice::sbox7<std::uint64_t>, bitslice::sbox8<std::uint64_t>};
    for (int b = 0; b < 8; ++b) {
        // The outputs are XORed into what the planes held.
        const std::uint64_t start = 0x0123456789abcdefull * std::uint64_t(b + 1);
        const std::uint64_t before[4] = {start, ~start, start << 1, start >> 3};
        std::uint64_t o[4] = {before[0], before[1], before[2], before[3]};
        boxes[b](a[0], a[1], a[2], a[3], a[4], a[5], o[0], o[1], o[2], o[3]);
        for (int x = 0; x < 64; ++x) {
            const int row = ((x >> 4) & 2) | (x & 1), column = (x >> 1) & 15;
            int got = 0;
            for (int k = 0; k < 4; ++k)
                got = (got << 1) | int(((o[k] ^ before[k]) >> x) & 1);
            ASSERT_EQ(got, des::kSBoxes[b][row * 16 + column]) << "S" << b + 1 << " in " << x;
        }
    }
}

// Each kernel against the table engine: random keys of both modes and random units, unit
// counts around the batch widths, between unaligned buffers and in place. Bytes around
// the output stay untouched.
TEST(DesBitslice, KernelsMatchTheTableEngine) {
    const std::size_t counts[] = {0,   1,   2,   3,   4,   5,   31,  63,  64,  65,  127,
                                  128, 129, 255, 256, 257, 319, 320, 511, 512, 513, 1000};
    std::mt19937 rng(26);
    for (const bitslice::Width width : bitslice::usableWidths()) {
        for (const std::size_t units : counts) {
            SCOPED_TRACE(testing::Message()
                         << "lanes " << bitslice::batchUnits(width) << ", units " << units);
            OpenDes2 cipher;
            ASSERT_TRUE(cipher.setKey(randomBytes(rng, 16), int(units % 2)));
            bitslice::KeyMasks masks;
            cipher.masks(masks);

            const std::size_t bytes = 16 * units;
            const std::size_t inShift = units % 4 + 1, outShift = (units / 4) % 4;
            const Bytes inStore = randomBytes(rng, bytes + 8);
            Bytes outStore(bytes + 8, 0xEE);
            const std::uint8_t* in = inStore.data() + inShift;
            Bytes expected(bytes);
            cipher.cryptUnits(in, expected.data(), units);

            bitslice::cryptUnits(width, masks, in, outStore.data() + outShift, units);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(),
                                   outStore.begin() + std::ptrdiff_t(outShift)));
            for (std::size_t i = 0; i < outStore.size(); ++i) {
                if (i < outShift || i >= outShift + bytes) {
                    ASSERT_EQ(outStore[i], 0xEE) << "byte " << i << " outside the output";
                }
            }

            Bytes inPlace(in, in + bytes);
            bitslice::cryptUnits(width, masks, inPlace.data(), inPlace.data(), units);
            EXPECT_EQ(inPlace, expected);
        }
    }
}

// The published unit answer in every lane position that a batch treats differently.
TEST(DesBitslice, KnownAnswerInEveryKindOfLane) {
    const Bytes key = fromHex("0123456789ABCDEFFEDCBA9876543210");
    const Bytes plain = fromHex("4E6F77206973207468652074696D6520");
    const char* cipherHex = "AB70E6FEFC071BE265F32D3A5BFC2B06";
    const std::size_t lanes[] = {0, 1, 2, 3, 4, 62, 63, 64, 65, 127, 128, 191, 254, 255, 256, 299};
    std::mt19937 rng(5);
    Bytes buffer = randomBytes(rng, 16 * 300);
    for (std::size_t lane : lanes)
        std::memcpy(buffer.data() + 16 * lane, plain.data(), 16);
    OpenDes2 encrypt, decrypt;
    encrypt.setKey(key, kEncrypt);
    decrypt.setKey(key, kDecrypt);
    bitslice::KeyMasks forward, backward;
    encrypt.masks(forward);
    decrypt.masks(backward);
    for (const bitslice::Width width : bitslice::usableWidths()) {
        SCOPED_TRACE(bitslice::batchUnits(width));
        Bytes out(buffer.size());
        bitslice::cryptUnits(width, forward, buffer.data(), out.data(), 300);
        for (std::size_t lane : lanes)
            EXPECT_EQ(toHex(out.data() + 16 * lane, 16), cipherHex) << "lane " << lane;
        bitslice::cryptUnits(width, backward, out.data(), out.data(), 300);
        EXPECT_EQ(out, buffer);
    }
}

// cryptBuffer under every engine: same bytes, tails untouched, decryption restores.
TEST(DesBitslice, CryptBufferGivesTheSameBytesUnderEveryEngine) {
    const std::size_t lengths[] = {16,    80,           479, 480, 16 * 64 + 9, 16 * 256 + 15,
                                   30720, 16 * 1000 + 1};
    std::mt19937 rng(8);
    for (const std::size_t length : lengths) {
        const Bytes key = randomBytes(rng, 16), original = randomBytes(rng, length);
        TurboDes2 encrypt, decrypt;
        encrypt.setKey(key, kEncrypt);
        decrypt.setKey(key, kDecrypt);
        Bytes expected = original;
        encrypt.cryptUnits(original.data(), expected.data(), length / 16);
        for (const CipherEngine engine : usableEngines()) {
            SCOPED_TRACE(testing::Message() << engineName(engine) << ", length " << length);
            EngineGuard guard;
            ASSERT_TRUE(setCipherEngine(engine));
            Bytes buffer = original;
            ASSERT_EQ(cryptBuffer(&encrypt, buffer.data(), length), length - length % 16);
            EXPECT_EQ(buffer, expected);
            cryptBuffer(&decrypt, buffer.data(), length);
            EXPECT_EQ(buffer, original);
        }
    }
}

TEST(DesBitslice, SubclassSchedulesAreHonouredAndItsCryptBlockStaysVirtual) {
    std::mt19937 rng(13);
    const Bytes key = randomBytes(rng, 24), data = randomBytes(rng, 16 * 300);
    ThreeKeyDes threeKey;
    ASSERT_TRUE(threeKey.setKey(key, kEncrypt));
    TurboDes2 twoKey;
    twoKey.setKey(std::span(key).first(16), kEncrypt);

    Bytes expected(data.size()), twoKeyOut(data.size());
    threeKey.cryptUnits(data.data(), expected.data(), 300);
    twoKey.cryptUnits(data.data(), twoKeyOut.data(), 300);
    ASSERT_NE(expected, twoKeyOut); // the third key really is a third key

    for (const CipherEngine engine : usableEngines()) {
        SCOPED_TRACE(engineName(engine));
        EngineGuard guard;
        ASSERT_TRUE(setCipherEngine(engine));
        Bytes buffer = data;
        cryptBuffer(&threeKey, buffer.data(), buffer.size());
        EXPECT_EQ(buffer, expected);
    }

    const TurboDes& base = threeKey;
    std::uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8}, out[8];
    base.cryptBlock(block, out);
    EXPECT_EQ(toHex(out, 8), "A4A7A6A1A0A3A2AD");
}

// Account files do not depend on the engine: the same bytes on disk, and each engine
// reads what the other wrote. 300 entries fill several record batches and a partial one.
TEST(DesBitslice, AccountFilesAreTheSameWhicheverEngineWritesOrReadsThem) {
    test::TempDir dir;
    Account account;
    account.name = "carol";
    account.password = "p4ssw0rd";
    account.accountDescription = "engines";
    account.passwordDescription = "hint";
    std::vector<AccountEntry> entries;
    for (int i = 0; i < 300; ++i) {
        AccountEntry& e = entries.emplace_back();
        e.type = 1 + i % 3;
        e.title = "Title " + std::to_string(i);
        e.whatsThis = "user" + std::to_string(i);
        e.data = "secret-" + std::to_string(i * 31);
        e.description = "details " + std::to_string(i);
    }
    std::vector<Bytes> files;
    const std::vector<CipherEngine> engines = usableEngines();
    for (const CipherEngine engine : engines) {
        EngineGuard guard;
        ASSERT_TRUE(setCipherEngine(engine));
        const std::string path = dir.file(std::string(engineName(engine)) + ".khk");
        ASSERT_EQ(writeAccountFile(path, account, entries), SaveOutcome::Saved);
        files.push_back(test::readBytes(path));
    }
    for (std::size_t i = 1; i < files.size(); ++i)
        EXPECT_EQ(files[i], files[0]) << engineName(engines[i]) << " wrote other bytes";

    for (const CipherEngine engine : engines) {
        SCOPED_TRACE(engineName(engine));
        EngineGuard guard;
        ASSERT_TRUE(setCipherEngine(engine));
        LoadedAccount loaded;
        ASSERT_EQ(readAccountFile(dir.file("table.khk"), "carol", "p4ssw0rd", loaded),
                  ReadOutcome::Loaded);
        ASSERT_EQ(loaded.entries.size(), entries.size());
        EXPECT_EQ(loaded.droppedRecords, 0);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            ASSERT_EQ(loaded.entries[i].title, entries[i].title) << i;
            ASSERT_EQ(loaded.entries[i].data, entries[i].data) << i;
            ASSERT_EQ(loaded.entries[i].description, entries[i].description) << i;
        }
    }
}

} // namespace
} // namespace kh
