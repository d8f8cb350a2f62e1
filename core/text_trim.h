#pragma once
// Blanks and control characters (codes 0 to 32) at both ends of a text: what the login
// name, language files, the entry text form and the settings all drop.
#include <string_view>

namespace kh {

constexpr bool isBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

constexpr std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankOrControl(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace kh
