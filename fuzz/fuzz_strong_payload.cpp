// Feeds arbitrary bytes as the decrypted payload of a strong account file. What the parser
// accepts must come back byte for byte from the writer, so nothing is lost or invented
// between a load and the next save.
#include "strong_format.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<kh::AccountEntry> entries;
    if (!kh::parseStrongPayload({data, size}, 200, entries)) {
        if (!entries.empty()) std::abort();
        return 0;
    }
    std::vector<std::uint8_t, kh::WipingAllocator<std::uint8_t>> again;
    std::vector<std::int64_t> offsets;
    if (!kh::encodeStrongPayload(entries, 200, again, offsets)) std::abort();
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (offsets[i] != entries[i].fileOffset) std::abort();
    return 0;
}
