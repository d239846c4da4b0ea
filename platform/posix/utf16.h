// POSIX backend only, to emulate Windows: bytes in UTF-16 text.
//
// The lone low surrogates by which a byte outside any valid character
// travels through UTF-16 text (see name_codec.h); the rest of UTF-16 is
// unicode.h's.
#pragma once

#include "platform/unicode.h"

namespace platform::posix {

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
