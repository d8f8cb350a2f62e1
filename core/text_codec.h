// Conversion between UTF-8 and Windows-1252, the code page of every stored text. Each
// result is allocated once at its final size, so a conversion of a secret leaves no copy
// behind in released memory; the caller wipes the result itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kh {

// Characters without a Windows-1252 form, and malformed UTF-8 bytes, become '?'.
std::string utf8ToWindows1252(std::string_view utf8);
// The same without loss: none when a character has no Windows-1252 form or the UTF-8 is
// malformed (for secrets and names, where a '?' would change what is stored).
std::optional<std::string> utf8ToWindows1252Exact(std::string_view utf8);
// Every byte has a form: the five bytes Windows-1252 leaves undefined map to the C1
// controls of the same value, so the round trip through UTF-8 is lossless.
std::string windows1252ToUtf8(std::string_view text);

} // namespace kh
