#include "text_format.h"

#include <algorithm>
#include <cstddef>
#include <optional>

namespace kh {
namespace {

struct Placeholder {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool zero = false;
    bool alternate = false;
    std::size_t width = 0;
    bool hasPrecision = false;
    std::size_t precision = 0;
    bool wide = false; // ll or I64: unsigned forms of a negative number keep all 64 bits
    bool modified = false;
    char conversion = 0;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits with saturation, so that a width of many digits neither overflows nor allocates.
std::size_t readNumber(std::string_view pattern, std::size_t& pos) {
    std::size_t n = 0;
    while (pos < pattern.size() && isDigit(pattern[pos])) {
        n = std::min<std::size_t>(n * 10 + std::size_t(pattern[pos] - '0'), kMaxFormatWidth);
        ++pos;
    }
    return n;
}

// Reads the placeholder that starts after the "%" at `pos`; on success `pos` is just past
// its conversion character.
bool parsePlaceholder(std::string_view pattern, std::size_t& pos, Placeholder& p) {
    std::size_t i = pos;
    for (; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '-')
            p.left = true;
        else if (c == '+')
            p.plus = true;
        else if (c == ' ')
            p.space = true;
        else if (c == '0')
            p.zero = true;
        else if (c == '#')
            p.alternate = true;
        else
            break;
    }
    p.width = readNumber(pattern, i);
    if (i < pattern.size() && pattern[i] == '.') {
        ++i;
        p.hasPrecision = true;
        p.precision = readNumber(pattern, i);
    }
    const std::string_view rest = pattern.substr(i);
    for (std::string_view modifier : {"hh", "h", "ll", "l", "I64", "I32"}) {
        if (rest.starts_with(modifier)) {
            p.modified = true;
            p.wide = modifier == "ll" || modifier == "I64";
            i += modifier.size();
            break;
        }
    }
    if (i >= pattern.size()) return false;
    p.conversion = pattern[i];
    switch (p.conversion) {
    case 'd':
    case 'i':
    case 'u':
    case 'x':
    case 'X':
        break;
    case 's':
    case 'c':
        // "%ls" and the like would mean wide texts, which this formatter has none of.
        if (p.modified) return false;
        break;
    default:
        return false;
    }
    pos = i + 1;
    return true;
}

template <class Out> void appendRepeated(Out& out, char c, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(c);
}

template <class Out> void appendPadded(Out& out, std::string_view text, const Placeholder& p) {
    const std::size_t pad = p.width > text.size() ? p.width - text.size() : 0;
    if (!p.left) appendRepeated(out, ' ', pad);
    out.append(text);
    if (p.left) appendRepeated(out, ' ', pad);
}

// Digits of `value` into the end of `buffer`; returns where they start.
char* writeDigits(std::uint64_t value, unsigned base, bool upper, char* end) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char* p = end;
    do {
        *--p = digits[value % base];
        value /= base;
    } while (value != 0);
    return p;
}

bool isNegative(const FormatArg& arg) {
    return arg.kind == FormatArg::Kind::Signed && static_cast<std::int64_t>(arg.bits) < 0;
}

std::string_view decimal(const FormatArg& arg, char (&buffer)[24]) {
    char* end = buffer + sizeof buffer;
    if (!isNegative(arg)) {
        char* begin = writeDigits(arg.bits, 10, false, end);
        return {begin, std::size_t(end - begin)};
    }
    char* begin = writeDigits(0 - arg.bits, 10, false, end);
    *--begin = '-';
    return {begin, std::size_t(end - begin)};
}

template <class Out> void appendInteger(Out& out, const FormatArg& arg, const Placeholder& p) {
    const bool isSigned = p.conversion == 'd' || p.conversion == 'i';
    const bool negative = isSigned && isNegative(arg);
    std::uint64_t magnitude = arg.bits;
    if (negative) {
        magnitude = 0 - arg.bits;
    } else if (!isSigned && isNegative(arg) && !p.wide &&
               static_cast<std::int64_t>(arg.bits) >= INT32_MIN) {
        // As printf shows a negative int under %u or %x: its 32-bit form.
        magnitude = arg.bits & 0xFFFFFFFFu;
    }

    const bool hex = p.conversion == 'x' || p.conversion == 'X';
    char buffer[24];
    char* end = buffer + sizeof buffer;
    std::string_view digits;
    if (!(p.hasPrecision && p.precision == 0 && magnitude == 0)) {
        char* begin = writeDigits(magnitude, hex ? 16 : 10, p.conversion == 'X', end);
        digits = {begin, std::size_t(end - begin)};
    }

    std::string_view prefix;
    if (negative)
        prefix = "-";
    else if (isSigned && p.plus)
        prefix = "+";
    else if (isSigned && p.space)
        prefix = " ";
    else if (hex && p.alternate && magnitude != 0)
        prefix = p.conversion == 'X' ? "0X" : "0x";

    const std::size_t precisionZeros =
        p.hasPrecision && p.precision > digits.size() ? p.precision - digits.size() : 0;
    const std::size_t length = prefix.size() + precisionZeros + digits.size();
    const std::size_t pad = p.width > length ? p.width - length : 0;
    const bool zeroPad = p.zero && !p.left && !p.hasPrecision;

    if (!p.left && !zeroPad) appendRepeated(out, ' ', pad);
    out.append(prefix);
    if (zeroPad) appendRepeated(out, '0', pad);
    appendRepeated(out, '0', precisionZeros);
    out.append(digits);
    if (p.left) appendRepeated(out, ' ', pad);
}

template <class Out> void appendArgument(Out& out, const FormatArg& arg, const Placeholder& p) {
    if (arg.kind == FormatArg::Kind::Text) {
        std::string_view text = arg.text;
        if (p.conversion == 's' && p.hasPrecision && p.precision < text.size())
            text = text.substr(0, p.precision);
        appendPadded(out, text, p);
        return;
    }
    switch (p.conversion) {
    case 's': {
        char buffer[24];
        std::string_view text = decimal(arg, buffer);
        if (p.hasPrecision && p.precision < text.size()) text = text.substr(0, p.precision);
        appendPadded(out, text, p);
        break;
    }
    case 'c': {
        const char c = static_cast<char>(arg.bits & 0xFF);
        appendPadded(out, std::string_view(&c, 1), p);
        break;
    }
    default:
        appendInteger(out, arg, p);
        break;
    }
}

template <class Out>
void formatInto(Out& out, std::string_view pattern, std::span<const FormatArg> args) {
    std::optional<std::uint64_t> lastNumber; // the last number argument used, for "%{..|..}"
    std::size_t next = 0;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t percent = pattern.find('%', i);
        if (percent == std::string_view::npos) {
            out.append(pattern.substr(i));
            break;
        }
        out.append(pattern.substr(i, percent - i));
        i = percent + 1;
        if (i < pattern.size() && pattern[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        if (i < pattern.size() && pattern[i] == '{') {
            // "%{one|many}": the first form after a number argument of 1, else the second.
            const std::size_t bar = pattern.find('|', i + 1);
            const std::size_t close = bar == std::string_view::npos ? bar : pattern.find('}', bar);
            if (close != std::string_view::npos) {
                const bool one = lastNumber && *lastNumber == 1;
                out.append(one ? pattern.substr(i + 1, bar - i - 1)
                               : pattern.substr(bar + 1, close - bar - 1));
                i = close + 1;
                continue;
            }
            out.push_back('%');
            continue;
        }
        Placeholder p;
        std::size_t end = i;
        if (!parsePlaceholder(pattern, end, p)) {
            // Not ours to interpret: the "%" stays, and the rest is read as plain text.
            out.push_back('%');
            continue;
        }
        if (next < args.size()) {
            const FormatArg& arg = args[next++];
            if (arg.kind != FormatArg::Kind::Text) lastNumber = arg.bits;
            appendArgument(out, arg, p);
        } else
            out.append(pattern.substr(percent, end - percent));
        i = end;
    }
}

} // namespace

std::string formatText(std::string_view pattern, std::initializer_list<FormatArg> args) {
    return formatText(pattern, std::span<const FormatArg>(args.begin(), args.size()));
}

std::string formatText(std::string_view pattern, std::span<const FormatArg> args) {
    std::string out;
    out.reserve(pattern.size());
    formatInto(out, pattern, args);
    return out;
}

SecretString formatSecretText(std::string_view pattern, std::initializer_list<FormatArg> args) {
    return formatSecretText(pattern, std::span<const FormatArg>(args.begin(), args.size()));
}

SecretString formatSecretText(std::string_view pattern, std::span<const FormatArg> args) {
    // Buffers left behind as it grows are wiped by its allocator.
    SecretString out;
    formatInto(out, pattern, args);
    return out;
}

} // namespace kh
