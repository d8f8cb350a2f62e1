// Compares the cipher engines on arbitrary keys and data: every bitsliced width this CPU
// runs must give the table engine's bytes, leave a partial last unit alone and invert.
// Input: 16 key bytes, one control byte, then the data. Control bits 0-1 shift the buffer
// off its alignment, bit 2 picks the key mode, bits 3-7 append that many times 19 units
// derived from the data, so that short inputs still reach several batches.
#include "crypto.h"
#include "des_bitslice.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 17) return 0;
    const std::uint8_t* key = data;
    const std::uint8_t control = data[16];
    data += 17;
    size -= 17;

    const std::size_t shift = control & 3;
    const int mode = (control >> 2) & 1;
    const std::size_t extra = std::size_t(control >> 3) * 19 * 16;
    std::vector<std::uint8_t> input(size + extra);
    if (input.empty()) return 0;
    if (size > 0) std::memcpy(input.data(), data, size);
    std::uint32_t x = 0x9e3779b9u;
    for (std::size_t i = 0; i < size; ++i)
        x = (x ^ data[i]) * 0x01000193u;
    for (std::size_t i = size; i < input.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        input[i] = std::uint8_t(x);
    }

    kh::TurboDes2 cipher, inverse;
    require(cipher.setKey({key, 16}, mode));
    require(inverse.setKey({key, 16}, 1 - mode));
    const std::size_t units = input.size() / 16;
    std::vector<std::uint8_t> expected = input;
    cipher.cryptUnits(input.data(), expected.data(), units);

    std::vector<std::uint8_t> store(input.size() + 3);
    std::uint8_t* buffer = store.data() + shift;
    for (const kh::bitslice::Width width : kh::bitslice::usableWidths()) {
        require(kh::setCipherEngine(width == kh::bitslice::Width::Lanes64
                                        ? kh::CipherEngine::Bitsliced64
                                        : kh::CipherEngine::Bitsliced256));
        std::memcpy(buffer, input.data(), input.size());
        require(kh::cryptBuffer(&cipher, buffer, input.size()) == units * 16);
        require(std::memcmp(buffer, expected.data(), input.size()) == 0);
        if (units > 0) {
            std::uint8_t unit[16];
            cipher.cryptDoubleBlock(input.data(), unit);
            require(std::memcmp(unit, expected.data(), 16) == 0);
        }
        kh::cryptBuffer(&inverse, buffer, input.size());
        require(std::memcmp(buffer, input.data(), input.size()) == 0);
    }
    kh::setCipherEngine(kh::CipherEngine::Auto);
    return 0;
}
