// The password generator: up to four character classes, a length read from free text and
// characters drawn from a cryptographic random source.
#pragma once

#include "secure_memory.h"
#include "system_random.h"

#include <optional>
#include <string_view>

namespace kh {

// The length used when the length text holds no positive number.
inline constexpr int kDefaultPasswordLength = 14;
// Longer requests are cut to this; it is far beyond any field a password goes into.
inline constexpr int kMaxPasswordLength = 512;

struct GeneratorOptions {
    bool upper = true;   // "A" to "Z"
    bool lower = true;   // "a" to "z"
    bool special = true; // the nine codes 35 to 43, "#" to "+"
    bool digits = true;  // "0" to "9"

    bool anyClass() const { return upper || lower || special || digits; }
};

// The length a text asks for: the decimal number it begins with (leading blanks and one
// sign allowed, reading stops at the first other character). No number, 0 or a negative
// number give kDefaultPasswordLength; anything above kMaxPasswordLength, however many
// digits it has, gives kMaxPasswordLength.
int parseGeneratorLength(std::string_view text);

// A password of `length` characters (brought into the range as parseGeneratorLength
// does). Each position draws a class with equal chance; a class that is off gives its
// share to the digits, or, with the digits off too, the position is drawn again. None
// when no class is on or the random source fails.
std::optional<SecretString> generatePassword(const GeneratorOptions& options, int length,
                                             RandomSource& random = systemRandom());

} // namespace kh
