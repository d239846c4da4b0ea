// POSIX backend only, to emulate Windows: UTF-16 helpers.
//
// UTF-16 units as the POSIX backend reads and writes them: surrogate pairs, and the lone
// low surrogates by which a byte outside any valid character travels through
// UTF-16 text (see name_codec.h).
#pragma once

namespace platform::posix {

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

// The unit that stands for byte b (0x80..0xFF, or the backslash of a name).
constexpr char16_t escapeOf(unsigned char b) {
    return static_cast<char16_t>(0xDC00 + b);
}
constexpr char16_t escapedBackslash = escapeOf('\\');

constexpr bool standsForByte(char16_t u) {
    return (u >= escapeOf(0x80) && u <= escapeOf(0xFF)) || u == escapedBackslash;
}
constexpr char byteOf(char16_t escape) {
    return static_cast<char>(escape - 0xDC00);
}

}  // namespace platform::posix
