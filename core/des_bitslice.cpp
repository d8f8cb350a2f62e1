#include "des_bitslice.h"

#include "des_bitslice_kernel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace kh::bitslice {
namespace {

struct PortableOps {
    using V = std::uint64_t;
    static constexpr std::size_t kUnits = 64;

    static V splat(std::uint64_t m) { return m; }
    static V key(std::int32_t mask) { return std::uint64_t(std::int64_t(mask)); }

    static std::uint64_t load64(const std::uint8_t* p) {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | p[i];
        return v;
    }
    static void store64(std::uint8_t* p, std::uint64_t v) {
        for (int i = 0; i < 8; ++i, v >>= 8)
            p[i] = std::uint8_t(v);
    }

    // Row j of each half is unit j of the batch.
    static void load(const std::uint8_t* in, std::size_t n, V* rows0, V* rows1) {
        for (std::size_t j = 0; j < 64; ++j) {
            rows0[j] = j < n ? load64(in + 16 * j) : 0;
            rows1[j] = j < n ? load64(in + 16 * j + 8) : 0;
        }
    }
    static void store(std::uint8_t* out, std::size_t n, const V* rows0, const V* rows1) {
        for (std::size_t j = 0; j < n; ++j) {
            store64(out + 16 * j, rows0[j]);
            store64(out + 16 * j + 8, rows1[j]);
        }
    }
};

bool detectAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
    constexpr unsigned kOsXsave = 1u << 27, kAvx = 1u << 28;
    if ((c & kOsXsave) == 0 || (c & kAvx) == 0) return false;
    // The OS must save the vector registers on a task switch: XMM and YMM state in XCR0.
    unsigned xcr0Low = 0, xcr0High = 0;
    __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    if ((xcr0Low & 6u) != 6u) return false;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, a, b, c, d);
    constexpr unsigned kAvx2 = 1u << 5;
    return (b & kAvx2) != 0;
#else
    return false;
#endif
}

constexpr Width kAllWidths[] = {Width::Lanes64, Width::Lanes256};

} // namespace

void expandKeys(const DesSchedule& stage1, const DesSchedule& stage2, const DesSchedule& stage3,
                KeyMasks& out) noexcept {
    // The schedule packs the six subkey bits of S-box j (bit 5 = first) at these offsets of
    // the round's first word (S1, S3, S5, S7) or second word (S2, S4, S6, S8); see crypto.cpp.
    constexpr int kWord[8] = {0, 1, 0, 1, 0, 1, 0, 1};
    constexpr int kShift[8] = {0, 24, 24, 16, 16, 8, 8, 0};
    const DesSchedule* stages[3] = {&stage1, &stage2, &stage3};
    for (int s = 0; s < 3; ++s)
        for (int round = 0; round < 16; ++round)
            for (int box = 0; box < 8; ++box) {
                const std::uint32_t word = stages[s]->words[2 * round + kWord[box]];
                for (int bit = 0; bit < 6; ++bit) {
                    const std::uint32_t b = (word >> (kShift[box] + 5 - bit)) & 1u;
                    out.bits[s][round][6 * box + bit] = std::int32_t(0u - b);
                }
            }
}

bool avx2Usable() noexcept {
    static const bool usable = detectAvx2();
    return usable;
}

std::span<const Width> usableWidths() noexcept {
    return {kAllWidths, avx2Usable() ? 2u : 1u};
}

void cryptUnits(Width width, const KeyMasks& keys, const std::uint8_t* in, std::uint8_t* out,
                std::size_t units) noexcept {
    if (width == Width::Lanes256 && avx2Usable())
        cryptUnits256(keys, in, out, units);
    else
        cryptUnits64(keys, in, out, units);
}

void cryptUnits64(const KeyMasks& keys, const std::uint8_t* in, std::uint8_t* out,
                  std::size_t units) noexcept {
    cryptBatches<PortableOps>(keys, in, out, units);
}

} // namespace kh::bitslice
