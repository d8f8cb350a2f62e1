// The safe formatter for every text that a language file can replace: printf-style
// placeholders filled from the arguments in order, without ever reading an argument that is
// not there or acting on a placeholder it does not know.
#pragma once

#include "secure_memory.h"

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace kh {

// One argument: a text (not copied; it must outlive the call) or an integer.
struct FormatArg {
    enum class Kind { Text, Signed, Unsigned };

    FormatArg(const char* s) : kind(Kind::Text), text(s ? std::string_view(s) : "") {}
    FormatArg(const std::string& s) : kind(Kind::Text), text(s) {}
    FormatArg(std::string_view s) : kind(Kind::Text), text(s) {}
    template <std::integral T>
    FormatArg(T v)
        : kind(std::signed_integral<T> ? Kind::Signed : Kind::Unsigned),
          bits(static_cast<std::uint64_t>(v)) {}

    Kind kind;
    std::string_view text;
    // The integer's value; a Signed one is its two's complement.
    std::uint64_t bits = 0;
};

// Fills the placeholders of `pattern` from `args` in order:
//   %s            a text (an integer argument is written in decimal)
//   %d %i %u      an integer (a text argument is inserted as text)
//   %x %X         an integer in hexadecimal
//   %c            one character (a text argument is inserted as text)
//   %%            a percent sign
//   %{one|many}   "one" when the last number argument used before it was 1, else "many"
//                 (so "%d %{entry|entries}" reads right for every count)
// with the flags "-+ 0#", a width and a precision (both capped at kMaxFormatWidth) and the
// length modifiers h, hh, l, ll, I32 and I64 on integers. A placeholder with no argument
// left, and anything else after a "%", is copied as it stands and uses no argument.
// Arguments beyond the placeholders are ignored.
std::string formatText(std::string_view pattern, std::initializer_list<FormatArg> args);
std::string formatText(std::string_view pattern, std::span<const FormatArg> args);

// The same for a result that holds a secret (an entry with its data, say).
SecretString formatSecretText(std::string_view pattern, std::initializer_list<FormatArg> args);
SecretString formatSecretText(std::string_view pattern, std::span<const FormatArg> args);

inline constexpr int kMaxFormatWidth = 1024;

} // namespace kh
