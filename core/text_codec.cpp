#include "text_codec.h"

#include "secure_memory.h"

#include <cstdint>

namespace kh {
namespace {

// Code points of the bytes 0x80 to 0x9F; the rest of the upper half equals Latin-1.
constexpr char32_t kHighBlock[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Windows-1252 byte of a code point, or none when the code page lacks it.
std::optional<char> toWindows1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighBlock[i] == cp) return static_cast<char>(0x80 + i);
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Decodes UTF-8 into Windows-1252. Lossy: a character without a form and each malformed
// sequence become '?'. Exact: the first of either fails the whole conversion.
bool convertUtf8(std::string_view utf8, std::string& out, bool exact) {
    // Never longer than the input, so the buffer is never replaced while it fills.
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        int extra;
        char32_t cp;
        char32_t minimum;
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1, cp = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2, cp = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, cp = lead & 0x07, minimum = 0x10000;
        } else {
            if (exact) return false;
            out.push_back('?');
            ++i;
            continue;
        }
        int taken = 0;
        while (taken < extra && i + 1 + taken < utf8.size()) {
            const auto next = static_cast<std::uint8_t>(utf8[i + 1 + taken]);
            if ((next & 0xC0) != 0x80) break;
            cp = (cp << 6) | (next & 0x3F);
            ++taken;
        }
        if (taken < extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            if (exact) return false;
            // A malformed sequence: one '?' for the lead byte and what it claimed.
            out.push_back('?');
            i += 1 + taken;
            continue;
        }
        const std::optional<char> byte = toWindows1252(cp);
        if (!byte && exact) return false;
        out.push_back(byte.value_or('?'));
        i += 1 + extra;
    }
    return true;
}

} // namespace

std::string utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    convertUtf8(utf8, out, false);
    return out;
}

std::optional<std::string> utf8ToWindows1252Exact(std::string_view utf8) {
    std::string out;
    if (convertUtf8(utf8, out, true)) return out;
    wipeString(out); // part of a secret may already be in it
    return std::nullopt;
}

std::string windows1252ToUtf8(std::string_view text) {
    // The exact length first: the text may be a secret, and a buffer left behind by
    // growing would keep a copy of it that nobody wipes.
    std::size_t length = 0;
    for (char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        length += b < 0x80 ? 1 : b < 0xA0 && kHighBlock[b - 0x80] >= 0x800 ? 3 : 2;
    }
    std::string out;
    out.reserve(length);
    for (char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x80)
            out.push_back(c);
        else if (b < 0xA0)
            appendUtf8(out, kHighBlock[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

} // namespace kh
