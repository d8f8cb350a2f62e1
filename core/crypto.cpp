#include "crypto.h"

#include "des_bitslice.h"
#include "des_tables.h"
#include "secure_memory.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

namespace kh {
namespace {

// ---------------------------------------------------------------------------------------
// DES engine
//
// The halves of a block are kept as big-endian words, so bit 1 of the standard numbering
// is the top bit of the left word. The expansion E is never computed: its eight 6-bit
// groups are consecutive bits of the rotated right half. rotl(R, 5) holds the groups for
// S1, S7, S5, S3 at bits 0-5, 8-13, 16-21, 24-29; rotl(R, 1) holds S8, S6, S4, S2 at the
// same places. The subkeys are packed to match (two words per round), and each S-box is
// merged with the permutation P into a table indexed by a whole byte (the two top bits
// of every byte are don't-cares), so a round is two rotations and eight lookups.
// ---------------------------------------------------------------------------------------

constexpr std::uint32_t permute32(std::uint32_t in, const std::array<std::uint8_t, 32>& table) {
    std::uint32_t out = 0;
    for (std::uint8_t source : table)
        out = (out << 1) | ((in >> (32 - source)) & 1u);
    return out;
}

struct SpTables {
    std::uint32_t box[8][256];
};

constexpr SpTables makeSpTables() {
    SpTables sp{};
    for (int b = 0; b < 8; ++b) {
        for (int x = 0; x < 64; ++x) {
            const int row = ((x >> 4) & 2) | (x & 1);
            const int column = (x >> 1) & 15;
            const std::uint32_t s = des::kSBoxes[b][row * 16 + column];
            const std::uint32_t value = permute32(s << (28 - 4 * b), des::kPermutation);
            for (int top = 0; top < 4; ++top)
                sp.box[b][x | (top << 6)] = value;
        }
    }
    return sp;
}

alignas(64) constexpr SpTables kSp = makeSpTables();

inline std::uint32_t rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline std::uint32_t load32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

inline void store32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

inline std::uint32_t feistel(std::uint32_t r, std::uint32_t ka, std::uint32_t kb) {
    const std::uint32_t v = rotl(r, 5) ^ ka;
    const std::uint32_t w = rotl(r, 1) ^ kb;
    return kSp.box[0][v & 0xff] ^ kSp.box[6][(v >> 8) & 0xff] ^ kSp.box[4][(v >> 16) & 0xff] ^
           kSp.box[2][v >> 24] ^ kSp.box[7][w & 0xff] ^ kSp.box[5][(w >> 8) & 0xff] ^
           kSp.box[3][(w >> 16) & 0xff] ^ kSp.box[1][w >> 24];
}

// Exchanges the bits of b selected by mask with the bits of a selected by mask << shift.
inline void deltaSwap(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) {
    const std::uint32_t t = ((a >> shift) ^ b) & mask;
    b ^= t;
    a ^= t << shift;
}

// Initial permutation as five delta swaps between the two words.
inline void initialPermutation(std::uint32_t& l, std::uint32_t& r) {
    deltaSwap(l, r, 4, 0x0f0f0f0fu);
    deltaSwap(l, r, 16, 0x0000ffffu);
    deltaSwap(r, l, 2, 0x33333333u);
    deltaSwap(r, l, 8, 0x00ff00ffu);
    deltaSwap(l, r, 1, 0x55555555u);
}

// The same swaps in reverse order (each one is its own inverse).
inline void finalPermutation(std::uint32_t& l, std::uint32_t& r) {
    deltaSwap(l, r, 1, 0x55555555u);
    deltaSwap(r, l, 8, 0x00ff00ffu);
    deltaSwap(r, l, 2, 0x33333333u);
    deltaSwap(l, r, 16, 0x0000ffffu);
    deltaSwap(l, r, 4, 0x0f0f0f0fu);
}

// One full DES pass over a block held as two words.
inline void desPass(const DesSchedule& s, std::uint32_t& hi, std::uint32_t& lo) {
    std::uint32_t l = hi, r = lo;
    initialPermutation(l, r);
    const std::uint32_t* k = s.words;
    for (int i = 0; i < 32; i += 4) {
        l ^= feistel(r, k[i], k[i + 1]);
        r ^= feistel(l, k[i + 2], k[i + 3]);
    }
    // The output of the rounds is R16 L16.
    finalPermutation(r, l);
    hi = r;
    lo = l;
}

// Two independent blocks under one schedule, interleaved so that the two dependency
// chains overlap in the pipeline.
inline void desPass2(const DesSchedule& s, std::uint32_t& ahi, std::uint32_t& alo,
                     std::uint32_t& bhi, std::uint32_t& blo) {
    std::uint32_t al = ahi, ar = alo, bl = bhi, br = blo;
    initialPermutation(al, ar);
    initialPermutation(bl, br);
    const std::uint32_t* k = s.words;
    for (int i = 0; i < 32; i += 4) {
        al ^= feistel(ar, k[i], k[i + 1]);
        bl ^= feistel(br, k[i], k[i + 1]);
        ar ^= feistel(al, k[i + 2], k[i + 3]);
        br ^= feistel(bl, k[i + 2], k[i + 3]);
    }
    finalPermutation(ar, al);
    finalPermutation(br, bl);
    ahi = ar;
    alo = al;
    bhi = br;
    blo = bl;
}

void buildSchedule(const std::uint8_t* key, int mode, DesSchedule& out) {
    std::uint64_t k = 0;
    for (int i = 0; i < 8; ++i)
        k = (k << 8) | key[i];

    std::uint64_t cd = 0;
    for (std::uint8_t source : des::kPermutedChoice1)
        cd = (cd << 1) | ((k >> (64 - source)) & 1u);
    std::uint32_t c = std::uint32_t(cd >> 28) & 0x0fffffffu;
    std::uint32_t d = std::uint32_t(cd) & 0x0fffffffu;

    for (int round = 0; round < 16; ++round) {
        const int shift = des::kKeyShifts[round];
        c = ((c << shift) | (c >> (28 - shift))) & 0x0fffffffu;
        d = ((d << shift) | (d >> (28 - shift))) & 0x0fffffffu;
        const std::uint64_t joined = (std::uint64_t(c) << 28) | d;
        std::uint64_t sub = 0;
        for (std::uint8_t source : des::kPermutedChoice2)
            sub = (sub << 1) | ((joined >> (56 - source)) & 1u);

        auto group = [sub](int j) { return std::uint32_t(sub >> (42 - 6 * j)) & 0x3fu; };
        const std::uint32_t ka = group(0) | (group(6) << 8) | (group(4) << 16) | (group(2) << 24);
        const std::uint32_t kb = group(7) | (group(5) << 8) | (group(3) << 16) | (group(1) << 24);
        const int slot = mode == kEncrypt ? round : 15 - round;
        out.words[2 * slot] = ka;
        out.words[2 * slot + 1] = kb;
    }
    secureWipe(&k, sizeof k);
    secureWipe(&cd, sizeof cd);
}

// ---------------------------------------------------------------------------------------
// Scratch buffer of cryptBuffer: grows, never shrinks, and is wiped after every use
// because it briefly holds the transformed (possibly decrypted) bytes. One for the
// process, taken under a lock: a thread_local object with a destructor is unsafe on
// threads the Windows build starts with CreateThread, whose per-thread storage can be
// freed before the destructor runs (it then writes into freed heap memory).
// ---------------------------------------------------------------------------------------

constexpr std::size_t kMinScratch = 10240;

struct Scratch {
    std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    ~Scratch() { release(); }
    void release() {
        secureWipe(bytes, size);
        delete[] bytes;
        bytes = nullptr;
        size = 0;
    }
    void ensure(std::size_t length) {
        if (bytes != nullptr && size >= length) return;
        release();
        const std::size_t n = std::max(length, kMinScratch);
        bytes = new std::uint8_t[n]();
        size = n;
    }
};

Scratch gScratch;
std::mutex gScratchLock;

std::atomic<CipherEngine> gEngine{CipherEngine::Auto};

// The bitsliced width of an engine choice other than Table.
bitslice::Width widthOf(CipherEngine engine) {
    if (engine == CipherEngine::Bitsliced64) return bitslice::Width::Lanes64;
    if (engine == CipherEngine::Bitsliced256) return bitslice::Width::Lanes256;
    return bitslice::avx2Usable() ? bitslice::Width::Lanes256 : bitslice::Width::Lanes64;
}

// ---------------------------------------------------------------------------------------
// MD5
// ---------------------------------------------------------------------------------------

constexpr std::uint32_t kMd5Sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kMd5Shifts[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

struct Md5Context {
    std::uint32_t state[4];
    std::uint64_t bitCount;
    std::uint8_t buffer[64];
};

void md5Transform(std::uint32_t state[4], const std::uint8_t block[64]) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = std::uint32_t(block[4 * i]) | (std::uint32_t(block[4 * i + 1]) << 8) |
               (std::uint32_t(block[4 * i + 2]) << 16) | (std::uint32_t(block[4 * i + 3]) << 24);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        std::uint32_t f;
        int g;
        switch (i >> 4) {
        case 0:
            f = (b & c) | (~b & d);
            g = i;
            break;
        case 1:
            f = (d & b) | (~d & c);
            g = (5 * i + 1) & 15;
            break;
        case 2:
            f = b ^ c ^ d;
            g = (3 * i + 5) & 15;
            break;
        default:
            f = c ^ (b | ~d);
            g = (7 * i) & 15;
            break;
        }
        const std::uint32_t sum = a + f + kMd5Sines[i] + x[g];
        a = d;
        d = c;
        c = b;
        b = b + rotl(sum, kMd5Shifts[i >> 4][i & 3]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    secureWipe(x, sizeof x);
}

void md5Init(Md5Context& ctx) {
    ctx.state[0] = 0x67452301u;
    ctx.state[1] = 0xefcdab89u;
    ctx.state[2] = 0x98badcfeu;
    ctx.state[3] = 0x10325476u;
    ctx.bitCount = 0;
}

void md5Update(Md5Context& ctx, const std::uint8_t* data, std::size_t length) {
    std::size_t used = std::size_t(ctx.bitCount >> 3) & 63;
    ctx.bitCount += std::uint64_t(length) << 3;
    if (used != 0) {
        const std::size_t take = std::min(length, 64 - used);
        std::memcpy(ctx.buffer + used, data, take);
        used += take;
        data += take;
        length -= take;
        if (used < 64) return;
        md5Transform(ctx.state, ctx.buffer);
    }
    while (length >= 64) {
        md5Transform(ctx.state, data);
        data += 64;
        length -= 64;
    }
    if (length != 0) std::memcpy(ctx.buffer, data, length);
}

void md5Final(Md5Context& ctx, std::uint8_t* out16) {
    std::uint8_t lengthBytes[8];
    for (int i = 0; i < 8; ++i)
        lengthBytes[i] = std::uint8_t(ctx.bitCount >> (8 * i));
    const std::size_t used = std::size_t(ctx.bitCount >> 3) & 63;
    const std::size_t padLength = used < 56 ? 56 - used : 120 - used;
    std::uint8_t padding[64] = {0x80};
    md5Update(ctx, padding, padLength);
    md5Update(ctx, lengthBytes, 8);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out16[4 * i + j] = std::uint8_t(ctx.state[i] >> (8 * j));
    secureWipe(&ctx, sizeof ctx);
}

// ---------------------------------------------------------------------------------------
// CRC-32 (reflected 0xEDB88320), eight bytes per step with eight derived tables.
// ---------------------------------------------------------------------------------------

struct CrcTables {
    std::uint32_t t[8][256];
};

constexpr CrcTables makeCrcTables() {
    CrcTables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        tables.t[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i)
        for (int k = 1; k < 8; ++k)
            tables.t[k][i] = (tables.t[k - 1][i] >> 8) ^ tables.t[0][tables.t[k - 1][i] & 0xff];
    return tables;
}

alignas(64) constexpr CrcTables kCrc = makeCrcTables();

} // namespace

// ---------------------------------------------------------------------------------------

TurboDes::TurboDes() noexcept {
    clearKey();
}

TurboDes::~TurboDes() {
    clearKey();
}

void TurboDes::clearKey() noexcept {
    secureWipe(&schedule1_, sizeof schedule1_);
    secureWipe(&schedule2_, sizeof schedule2_);
    secureWipe(&schedule3_, sizeof schedule3_);
}

void TurboDes::cryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept {
    std::uint32_t hi = load32(in), lo = load32(in + 4);
    desPass(schedule1_, hi, lo);
    store32(out, hi);
    store32(out + 4, lo);
}

bool TurboDes::setKey(std::span<const std::uint8_t> key, int mode) noexcept {
    if (key.size() != 8 || (mode != kEncrypt && mode != kDecrypt)) return false;
    buildSchedule(key.data(), mode, schedule1_);
    return true;
}

void TurboDes2::cryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept {
    std::uint32_t hi = load32(in), lo = load32(in + 4);
    desPass(schedule1_, hi, lo);
    desPass(schedule2_, hi, lo);
    desPass(schedule3_, hi, lo);
    store32(out, hi);
    store32(out + 4, lo);
}

bool TurboDes2::setKey(std::span<const std::uint8_t> key, int mode) noexcept {
    if (key.size() != 16 || (mode != kEncrypt && mode != kDecrypt)) return false;
    const int opposite = mode == kEncrypt ? kDecrypt : kEncrypt;
    buildSchedule(key.data() + 8, opposite, schedule2_);
    buildSchedule(key.data(), mode, schedule1_);
    schedule3_ = schedule1_;
    return true;
}

void TurboDes2::cryptDoubleBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept {
    // Key derivation runs its secret keys through here: bitsliced too, unless the table
    // engine was chosen. One padded batch costs a few microseconds.
    const CipherEngine engine = gEngine.load(std::memory_order_relaxed);
    if (engine == CipherEngine::Table)
        cryptUnits(in, out, 1);
    else
        cryptBitsliced(widthOf(engine), in, out, 1);
}

void TurboDes2::cryptBitsliced(bitslice::Width width, const std::uint8_t* in, std::uint8_t* out,
                               std::size_t units) const noexcept {
    bitslice::KeyMasks keys;
    bitslice::expandKeys(schedule1_, schedule2_, schedule3_, keys);
    bitslice::cryptUnits(width, keys, in, out, units);
    secureWipe(&keys, sizeof keys);
}

void TurboDes2::cryptUnits(const std::uint8_t* in, std::uint8_t* out,
                           std::size_t units) const noexcept {
    for (std::size_t u = 0; u < units; ++u, in += 16, out += 16) {
        // Words a b | c d; the exchange between stages swaps b and c.
        std::uint32_t a = load32(in), b = load32(in + 4), c = load32(in + 8), d = load32(in + 12);
        desPass2(schedule1_, a, b, c, d);
        std::swap(b, c);
        desPass2(schedule2_, a, b, c, d);
        std::swap(b, c);
        desPass2(schedule3_, a, b, c, d);
        store32(out, a);
        store32(out + 4, b);
        store32(out + 8, c);
        store32(out + 12, d);
    }
}

std::size_t cryptBuffer(const TurboDes2* cipher, std::uint8_t* buffer, std::size_t length) {
    const std::size_t processed = cipher == nullptr ? 0 : length - length % 16;
    const CipherEngine engine = gEngine.load(std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> lock(gScratchLock);
        gScratch.ensure(length);
        if (processed == 0) return 0;
        if (engine == CipherEngine::Table) {
            cipher->cryptUnits(buffer, gScratch.bytes, processed / 16);
            std::memcpy(buffer, gScratch.bytes, processed);
            secureWipe(gScratch.bytes, processed);
            return processed;
        }
    }
    // Whole batches, then the last few units as one padded batch: a batch costs about as
    // much as 25 units of the table engine, and every unit stays constant-time. Each batch
    // is read whole before any of it is written, so in place is safe.
    cipher->cryptBitsliced(widthOf(engine), buffer, buffer, processed / 16);
    return processed;
}

bool setCipherEngine(CipherEngine engine) noexcept {
    if (engine == CipherEngine::Bitsliced256 && !bitslice::avx2Usable()) return false;
    gEngine.store(engine, std::memory_order_relaxed);
    return true;
}

CipherEngine cipherEngine() noexcept {
    return gEngine.load(std::memory_order_relaxed);
}

std::size_t cryptScratchSize() noexcept {
    std::lock_guard<std::mutex> lock(gScratchLock);
    return gScratch.size;
}

void md5Digest(std::uint8_t* out16, const void* buffer, std::size_t length) noexcept {
    Md5Context ctx;
    md5Init(ctx);
    if (buffer != nullptr) md5Update(ctx, static_cast<const std::uint8_t*>(buffer), length);
    md5Final(ctx, out16);
}

std::uint32_t crc32(std::uint32_t running, const void* buffer, std::size_t length) noexcept {
    if (buffer == nullptr) return 0;
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    std::uint32_t crc = ~running;
    while (length >= 8) {
        const std::uint32_t lo = crc ^ (std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                                        (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
        crc = kCrc.t[7][lo & 0xff] ^ kCrc.t[6][(lo >> 8) & 0xff] ^ kCrc.t[5][(lo >> 16) & 0xff] ^
              kCrc.t[4][lo >> 24] ^ kCrc.t[3][p[4]] ^ kCrc.t[2][p[5]] ^ kCrc.t[1][p[6]] ^
              kCrc.t[0][p[7]];
        p += 8;
        length -= 8;
    }
    while (length-- > 0)
        crc = (crc >> 8) ^ kCrc.t[0][(crc ^ *p++) & 0xff];
    return ~crc;
}

void invertBytes(void* buffer, std::size_t length) noexcept {
    if (buffer == nullptr) return;
    auto* p = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < length; ++i)
        p[i] = std::uint8_t(~p[i]);
}

} // namespace kh
