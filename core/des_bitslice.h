// The 16-byte unit transform of TurboDes2 computed on many units at once in bitsliced
// form: bit i of every unit of a batch lives in one machine word (a "plane"), so each
// S-box is a fixed sequence of logic operations on whole planes and nothing is ever
// looked up by key or data. Batches are 64 units wide in plain 64-bit code and 256 units
// wide with AVX2, which is used only when the CPU and the OS support it.
#pragma once

#include "crypto.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace kh::bitslice {

enum class Width {
    Lanes64,  // portable 64-bit words
    Lanes256, // AVX2
};

// The round keys of the three stages, one word per subkey bit: 0 or all ones.
struct KeyMasks {
    std::int32_t bits[3][16][48];
};

// Expands the three schedules of a cipher (the order of their rounds included) into masks.
void expandKeys(const DesSchedule& stage1, const DesSchedule& stage2, const DesSchedule& stage3,
                KeyMasks& out) noexcept;

// True when this CPU and OS run AVX2 code (checked once).
bool avx2Usable() noexcept;

// The widths this machine can run, narrowest first.
std::span<const Width> usableWidths() noexcept;

// Units per batch of a width.
constexpr std::size_t batchUnits(Width width) noexcept {
    return width == Width::Lanes256 ? 256 : 64;
}

// Transforms `units` 16-byte units from in to out (in may equal out, no alignment needed);
// a last partial batch is padded internally. The width must be usable.
void cryptUnits(Width width, const KeyMasks& keys, const std::uint8_t* in, std::uint8_t* out,
                std::size_t units) noexcept;

// The two kernels behind cryptUnits (the wide one lives in a file compiled for AVX2).
void cryptUnits64(const KeyMasks& keys, const std::uint8_t* in, std::uint8_t* out,
                  std::size_t units) noexcept;
void cryptUnits256(const KeyMasks& keys, const std::uint8_t* in, std::uint8_t* out,
                   std::size_t units) noexcept;

} // namespace kh::bitslice
