// UTF-16 and UTF-8, the one codec of the program: surrogate pairs, and strict
// UTF-8 (shortest forms only, no encoded surrogates, nothing past U+10FFFF),
// which is all that survives the way back. Text only, no system call: the
// log and the fold use it as the POSIX backend does.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
constexpr bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

constexpr char32_t codePointOfPair(char16_t high, char16_t low) {
    return 0x10000 + ((char32_t{high} - 0xD800) << 10) + (char32_t{low} - 0xDC00);
}

// The writers store through a pointer into room made beforehand: a walk
// passes every name and every directory path through them, and a push_back
// per unit, with its capacity check, was most of that cost.

// Stores c at p as one unit, or as a surrogate pair above U+FFFF; returns
// the position after it.
constexpr char16_t* putCodePoint(char32_t c, char16_t* p) {
    if (c < 0x10000) {
        *p++ = static_cast<char16_t>(c);
        return p;
    }
    c -= 0x10000;
    *p++ = static_cast<char16_t>(0xD800 + (c >> 10));
    *p++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    return p;
}

// Stores c at p in UTF-8, one to four bytes; returns the position after it.
constexpr char* putUtf8(char32_t c, char* p) {
    if (c < 0x80) {
        *p++ = static_cast<char>(c);
        return p;
    }
    if (c < 0x800) {
        *p++ = static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (c >> 12));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
    return p;
}

// The length of the well-formed UTF-8 sequence that starts at p, before
// end, or 0 when the bytes there are not one.
constexpr std::size_t wellFormedUtf8Length(const unsigned char* p, const unsigned char* end) {
    const unsigned char lead = p[0];
    const auto available = static_cast<std::size_t>(end - p);
    if (lead < 0x80) {
        return 1;
    }
    auto isContinuation = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    if (lead >= 0xC2 && lead <= 0xDF) {
        return available >= 2 && isContinuation(p[1]) ? 2 : 0;
    }
    // The second byte's range narrows for the leads that would otherwise
    // allow overlong forms (E0, F0), surrogates (ED) or too large values (F4).
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (available < length || p[1] < low || p[1] > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(p[i])) {
            return 0;
        }
    }
    return length;
}

// The code point of the well-formed sequence of length bytes at p.
constexpr char32_t codePointOfUtf8(const unsigned char* p, std::size_t length) {
    constexpr unsigned char leadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t c = p[0] & leadMask[length];
    for (std::size_t i = 1; i < length; ++i) {
        c = (c << 6) | (p[i] & 0x3F);
    }
    return c;
}

// Reads the character at text[i] and moves i past it; false, with i where
// it was, when the bytes there are not well-formed UTF-8.
inline bool readUtf8(std::string_view text, std::size_t& i, char32_t& c) {
    const auto* const p = reinterpret_cast<const unsigned char*>(text.data()) + i;
    const std::size_t length =
        wellFormedUtf8Length(p, reinterpret_cast<const unsigned char*>(text.data()) + text.size());
    if (length == 0) {
        return false;
    }
    c = codePointOfUtf8(p, length);
    i += length;
    return true;
}

inline void appendUtf8(char32_t c, std::string& out) {
    char bytes[4];
    out.append(bytes, putUtf8(c, bytes));
}

inline void appendUtf16(char32_t c, std::u16string& out) {
    char16_t units[2];
    out.append(units, putCodePoint(c, units));
}

}  // namespace platform
