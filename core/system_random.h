// Random numbers for passwords: a small source interface (tests plug in scripted or seeded
// sources) and the operating system's cryptographic generator behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

namespace kh {

class RandomSource {
  public:
    virtual ~RandomSource() = default;

    // A uniformly distributed number in [0, bound); none when bound is 0 or the source
    // failed. Words in the partial run at the top of the range are redrawn, so that
    // `% bound` has no bias.
    std::optional<std::uint32_t> below(std::uint32_t bound) {
        if (bound == 0) return std::nullopt;
        // 2^32 mod bound: the size of the partial run.
        const std::uint32_t partial = static_cast<std::uint32_t>(0u - bound) % bound;
        const std::uint32_t last = std::numeric_limits<std::uint32_t>::max() - partial;
        for (;;) {
            std::uint32_t word = 0;
            if (!nextWord(word)) return std::nullopt;
            if (word <= last) return word % bound;
        }
    }

  protected:
    // One uniformly distributed 32-bit word; false when none can be had.
    virtual bool nextWord(std::uint32_t& word) = 0;
};

// Fills `out` from the operating system's cryptographic generator. False when the system
// cannot deliver; there is deliberately no weaker fallback.
bool systemRandomBytes(void* out, std::size_t size);

class SystemRandom final : public RandomSource {
  protected:
    bool nextWord(std::uint32_t& word) override { return systemRandomBytes(&word, sizeof word); }
};

// The program's source for passwords. It keeps no state, so sharing it is harmless.
inline RandomSource& systemRandom() {
    static SystemRandom source;
    return source;
}

} // namespace kh
