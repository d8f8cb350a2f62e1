// The password generator window's figures that need no window: how strong a password the
// current choices give, in bits.
#pragma once

#include "generator.h"

#include <string_view>

namespace kh {

// The characters the chosen classes offer together (0 when none is chosen).
int usableAlphabet(const GeneratorOptions& options);

// The strength of a password made with these choices and this length text, in whole bits
// (rounded down): the length as the generator reads it times log2 of the usable alphabet.
// 0 when no class is chosen, since nothing can be generated then.
int strengthBits(const GeneratorOptions& options, std::string_view lengthText);

} // namespace kh
