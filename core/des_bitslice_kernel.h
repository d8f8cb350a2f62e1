// The bitsliced unit transform as a template over the plane type: std::uint64_t for the
// portable kernel, a 256-bit vector for the AVX2 one. Included by exactly one file per
// kernel; everything here has internal linkage, so that code compiled for AVX2 can never
// be picked by the linker for the portable kernel.
//
// A batch holds up to 64 "rows" per plane word lane. Each 8-byte half of a unit is read as
// a little-endian word, and 64 such words are transposed, so that plane p of half h holds
// bit p of that half of every unit. All bit permutations of DES (initial and final
// permutation, expansion, P, the exchange between the stages) are fixed index tables over
// these planes, and each S-box is a fixed circuit: the work and the memory touched do not
// depend on the key or the data.
#pragma once

#include "des_bitslice.h"
#include "des_tables.h"
#include "secure_memory.h"

#include <cstddef>
#include <cstdint>

namespace kh::bitslice {
namespace {

template <class V> inline V andNot(V a, V b) {
    return ~a & b;
}

} // namespace
} // namespace kh::bitslice

#include "des_bitslice_sboxes.h"

namespace kh::bitslice {
namespace {

// Unit bit q (0 = most significant bit of byte 0) to its plane: half * 64 + the bit's
// position in the little-endian word of its half.
constexpr int planeOf(int q) {
    return (q / 64) * 64 + 8 * ((q / 8) % 8) + 7 - q % 8;
}

// Between the stages bytes 4-7 trade places with bytes 8-11, that is bits 32-63 with
// bits 64-95. Stage 2 finds its input bit q where the exchange put it; stage 3 sees the
// exchange twice, which is no exchange at all.
constexpr int exchanged(int q) {
    if (q >= 32 && q < 64) return q + 32;
    if (q >= 64 && q < 96) return q - 32;
    return q;
}

// For each stage and 8-byte half: the planes of the left and right words after the
// initial permutation. After the rounds the two words are written back crosswise, which
// is the final permutation (its inverse) with the closing swap of the halves.
struct StageIndex {
    std::uint8_t left[2][32];
    std::uint8_t right[2][32];
};

struct Tables {
    StageIndex stage[3];
    std::uint8_t expansion[48];   // right-word index of each S-box input
    std::uint8_t permutation[32]; // left-word index of each S-box output (P inverted)
};

constexpr Tables makeTables() {
    Tables t{};
    for (int stage = 0; stage < 3; ++stage)
        for (int half = 0; half < 2; ++half)
            for (int i = 0; i < 32; ++i) {
                auto plane = [&](int blockBit) {
                    const int q = 64 * half + blockBit;
                    return std::uint8_t(planeOf(stage == 1 ? exchanged(q) : q));
                };
                t.stage[stage].left[half][i] = plane(des::kInitialPermutation[i] - 1);
                t.stage[stage].right[half][i] = plane(des::kInitialPermutation[32 + i] - 1);
            }
    for (int i = 0; i < 48; ++i)
        t.expansion[i] = std::uint8_t(des::kExpansion[i] - 1);
    for (int i = 0; i < 32; ++i)
        t.permutation[des::kPermutation[i] - 1] = std::uint8_t(i);
    return t;
}

constexpr Tables kTables = makeTables();

// S-box n of a round: its six inputs from in(i), its outputs XORed into the left word.
template <int N, class V, class In, class Box>
[[gnu::always_inline]] inline void applyBox(V* l, const In& in, const Box& box) {
    const std::uint8_t* p = kTables.permutation;
    box(in(6 * N), in(6 * N + 1), in(6 * N + 2), in(6 * N + 3), in(6 * N + 4), in(6 * N + 5),
        l[p[4 * N]], l[p[4 * N + 1]], l[p[4 * N + 2]], l[p[4 * N + 3]]);
}

// One round: l ^= f(r, k). Ops::key turns a mask word into a whole plane.
template <class Ops>
[[gnu::noinline]] void feistel(typename Ops::V* l, const typename Ops::V* r,
                               const std::int32_t* k) {
    using V = typename Ops::V;
    const std::uint8_t* e = kTables.expansion;
    auto in = [&](int i) { return r[e[i]] ^ Ops::key(k[i]); };
    applyBox<0>(l, in, [](auto&&... a) { sbox1<V>(a...); });
    applyBox<1>(l, in, [](auto&&... a) { sbox2<V>(a...); });
    applyBox<2>(l, in, [](auto&&... a) { sbox3<V>(a...); });
    applyBox<3>(l, in, [](auto&&... a) { sbox4<V>(a...); });
    applyBox<4>(l, in, [](auto&&... a) { sbox5<V>(a...); });
    applyBox<5>(l, in, [](auto&&... a) { sbox6<V>(a...); });
    applyBox<6>(l, in, [](auto&&... a) { sbox7<V>(a...); });
    applyBox<7>(l, in, [](auto&&... a) { sbox8<V>(a...); });
}

// Transposes a 64 x 64 bit matrix held as 64 words (in every 64-bit lane of V at once):
// afterwards bit j of word i is what bit i of word j was. The off-diagonal blocks are
// exchanged at halving sizes.
template <class Ops> void transpose64(typename Ops::V* w) {
    using V = typename Ops::V;
    constexpr std::uint64_t kMasks[6] = {0x00000000ffffffffull, 0x0000ffff0000ffffull,
                                         0x00ff00ff00ff00ffull, 0x0f0f0f0f0f0f0f0full,
                                         0x3333333333333333ull, 0x5555555555555555ull};
    int s = 32;
    for (int level = 0; level < 6; ++level, s >>= 1) {
        const V m = Ops::splat(kMasks[level]);
        for (int k = 0; k < 64; ++k) {
            if (k & s) continue;
            const V t = ((w[k] >> s) ^ w[k + s]) & m;
            w[k + s] ^= t;
            w[k] ^= t << s;
        }
    }
}

template <class Ops> struct Work {
    using V = typename Ops::V;
    V planes[128];
    V left[32];
    V right[32];
};

// One DES pass of a stage over one 8-byte half of every unit in the batch.
template <class Ops>
void desPass(Work<Ops>& w, const StageIndex& index, int half, const std::int32_t (*keys)[48]) {
    for (int i = 0; i < 32; ++i) {
        w.left[i] = w.planes[index.left[half][i]];
        w.right[i] = w.planes[index.right[half][i]];
    }
    for (int round = 0; round < 16; round += 2) {
        feistel<Ops>(w.left, w.right, keys[round]);
        feistel<Ops>(w.right, w.left, keys[round + 1]);
    }
    for (int i = 0; i < 32; ++i) {
        w.planes[index.left[half][i]] = w.right[i];
        w.planes[index.right[half][i]] = w.left[i];
    }
}

// All units: Ops::load fills the rows of both halves of a batch of n units (padding with
// zeros) and Ops::store writes the first n back.
template <class Ops>
void cryptBatches(const KeyMasks& keys, const std::uint8_t* in, std::uint8_t* out,
                  std::size_t units) {
    Work<Ops> w;
    while (units > 0) {
        const std::size_t n = units < Ops::kUnits ? units : Ops::kUnits;
        Ops::load(in, n, w.planes, w.planes + 64);
        transpose64<Ops>(w.planes);
        transpose64<Ops>(w.planes + 64);
        for (int stage = 0; stage < 3; ++stage)
            for (int half = 0; half < 2; ++half)
                desPass<Ops>(w, kTables.stage[stage], half, keys.bits[stage]);
        transpose64<Ops>(w.planes);
        transpose64<Ops>(w.planes + 64);
        Ops::store(out, n, w.planes, w.planes + 64);
        in += 16 * n;
        out += 16 * n;
        units -= n;
    }
    secureWipe(&w, sizeof w);
}

} // namespace
} // namespace kh::bitslice
