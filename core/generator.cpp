#include "generator.h"

namespace kh {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int clampLength(long long length) {
    if (length <= 0) return kDefaultPasswordLength;
    if (length > kMaxPasswordLength) return kMaxPasswordLength;
    return static_cast<int>(length);
}

// One character of the given class, or none when the source fails.
std::optional<char> drawFrom(char first, std::uint32_t count, RandomSource& random) {
    const auto r = random.below(count);
    if (!r) return std::nullopt;
    return static_cast<char>(first + static_cast<char>(*r));
}

} // namespace

int parseGeneratorLength(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Saturates instead of overflowing: past the bound, further digits change nothing.
    long long value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMaxPasswordLength) value = kMaxPasswordLength + 1;
    }
    return clampLength(negative ? -value : value);
}

std::optional<SecretString> generatePassword(const GeneratorOptions& options, int length,
                                             RandomSource& random) {
    if (!options.anyClass()) return std::nullopt;
    const int count = clampLength(length);
    SecretString password;
    // Sized once, so the text is never copied to a larger buffer while it grows.
    password.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count;) {
        const auto drawnClass = random.below(4);
        if (!drawnClass) return std::nullopt;
        std::optional<char> c;
        if (*drawnClass == 0 && options.upper) {
            c = drawFrom('A', 26, random);
        } else if (*drawnClass == 1 && options.lower) {
            c = drawFrom('a', 26, random);
        } else if (*drawnClass == 2 && options.special) {
            c = drawFrom('#', 9, random);
        } else if (options.digits) {
            c = drawFrom('0', 10, random);
        } else {
            continue; // a class that is off, and no digits to take its share
        }
        if (!c) return std::nullopt;
        password[static_cast<std::size_t>(i++)] = *c;
    }
    return password;
}

} // namespace kh
