#include "generator_dialog.h"

#include <cmath>

namespace kh {

int usableAlphabet(const GeneratorOptions& options) {
    return (options.upper ? 26 : 0) + (options.lower ? 26 : 0) + (options.special ? 9 : 0) +
           (options.digits ? 10 : 0);
}

int strengthBits(const GeneratorOptions& options, std::string_view lengthText) {
    const int alphabet = usableAlphabet(options);
    if (alphabet == 0) return 0;
    const int length = parseGeneratorLength(lengthText);
    return static_cast<int>(std::floor(length * std::log2(alphabet)));
}

} // namespace kh
