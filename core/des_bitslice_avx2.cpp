// The 256-unit kernel. This file alone is compiled for AVX2 and runs only after
// avx2Usable() said so; it must not use inline code from outside its own internal
// namespace (the linker could keep the AVX2 copy of a shared inline function for
// everybody).
#include "des_bitslice.h"

#if defined(__AVX2__)

#include "des_bitslice_kernel.h"

#include <immintrin.h>

namespace kh::bitslice {
namespace {

// Four 64-bit lanes; lane g of row j holds unit 4j + (0, 2, 1, 3)[g] of the batch, the
// order in which the two 64-bit unpack instructions leave them.
typedef unsigned long long Lanes __attribute__((vector_size(32)));

struct Avx2Ops {
    using V = Lanes;
    static constexpr std::size_t kUnits = 256;

    static V splat(std::uint64_t m) { return V{m, m, m, m}; }
    static V key(std::int32_t mask) { return V(_mm256_set1_epi32(mask)); }

    // Units 4j..4j+3 are 64 consecutive bytes: (u0 h0, u0 h1, u1 h0, u1 h1) and
    // (u2 h0, u2 h1, u3 h0, u3 h1); the unpacks part them into the rows of half 0 and 1.
    static void load(const std::uint8_t* in, std::size_t n, V* rows0, V* rows1) {
        for (std::size_t j = 0; j < 64; ++j) {
            __m256i a, b;
            if (4 * j + 4 <= n) {
                a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 64 * j));
                b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 64 * j + 32));
            } else {
                alignas(32) std::uint8_t part[64] = {};
                if (4 * j < n)
                    for (std::size_t i = 0; i < 16 * (n - 4 * j); ++i)
                        part[i] = in[64 * j + i];
                a = _mm256_load_si256(reinterpret_cast<const __m256i*>(part));
                b = _mm256_load_si256(reinterpret_cast<const __m256i*>(part + 32));
                secureWipe(part, sizeof part);
            }
            rows0[j] = V(_mm256_unpacklo_epi64(a, b));
            rows1[j] = V(_mm256_unpackhi_epi64(a, b));
        }
    }
    static void store(std::uint8_t* out, std::size_t n, const V* rows0, const V* rows1) {
        for (std::size_t j = 0; 4 * j < n; ++j) {
            const __m256i a = _mm256_unpacklo_epi64(__m256i(rows0[j]), __m256i(rows1[j]));
            const __m256i b = _mm256_unpackhi_epi64(__m256i(rows0[j]), __m256i(rows1[j]));
            if (4 * j + 4 <= n) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64 * j), a);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64 * j + 32), b);
            } else {
                alignas(32) std::uint8_t part[64];
                _mm256_store_si256(reinterpret_cast<__m256i*>(part), a);
                _mm256_store_si256(reinterpret_cast<__m256i*>(part + 32), b);
                for (std::size_t i = 0; i < 16 * (n - 4 * j); ++i)
                    out[64 * j + i] = part[i];
                secureWipe(part, sizeof part);
            }
        }
    }
};

} // namespace

void cryptUnits256(const KeyMasks& keys, const std::uint8_t* in, std::uint8_t* out,
                   std::size_t units) noexcept {
    cryptBatches<Avx2Ops>(keys, in, out, units);
}

} // namespace kh::bitslice

#else

namespace kh::bitslice {

// Built without AVX2 code generation (not an x86 target): avx2Usable() is false there,
// and the wide entry point does the work in 64-unit batches.
void cryptUnits256(const KeyMasks& keys, const std::uint8_t* in, std::uint8_t* out,
                   std::size_t units) noexcept {
    cryptUnits64(keys, in, out, units);
}

} // namespace kh::bitslice

#endif
