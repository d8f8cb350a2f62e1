// Any bytes as UTF-8 or as Windows-1252: no crash, bounded output, lossless round trip.
#include "text_codec.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string narrow = kh::utf8ToWindows1252(input);
    if (narrow.size() > input.size()) std::abort();
    if (kh::utf8ToWindows1252(kh::windows1252ToUtf8(input)) != input) std::abort();
    return 0;
}
