// The name codec, for systems whose names are bytes.
//
// File names and command-line arguments are bytes on POSIX systems; above the
// platform layer they are UTF-16. This codec turns one into the other without
// loss: valid UTF-8 is decoded, and every byte that is not part of valid UTF-8
// becomes a lone surrogate U+DC80..U+DCFF that encodes back to the same byte.
//
// Above the platform layer both '\' and '/' separate path components, as on
// Windows. A name read from the file system may hold a backslash byte as an
// ordinary character, so names decode it to the lone surrogate U+DC5C, which
// encodes back to that byte; arguments keep it as a separator.
#pragma once

#include <string>
#include <string_view>

#include "platform/unicode.h"

namespace platform {

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

enum class Backslash { separator, nameCharacter };

// Appends the UTF-16 form of bytes to out.
void decode(std::string_view bytes, Backslash backslash, std::u16string& out);

// Appends the bytes of a path to out, '\' and '/' both as '/'. Returns false
// when the text holds a lone surrogate that stands for no byte (out is then
// unspecified).
bool encodePath(std::u16string_view text, std::string& out);

// Appends text as UTF-8, each unit that stands for a byte (U+DC80..U+DCFF,
// U+DC5C) as that byte, so that a name comes out as it is on disk; any other
// lone surrogate goes out as '?', as on a terminal. A backslash stays one.
void encodeText(std::u16string_view text, std::string& out);

// Appends text as UTF-8 as Windows converts it: every lone surrogate, which
// UTF-8 cannot hold, as U+FFFD.
void encodeUtf8(std::u16string_view text, std::string& out);

// The bytes of a path for a system call. A null path, or a text holding a lone
// surrogate that stands for no byte, sets the last error and gives false.
bool encodeForSystem(const char16_t* path, std::string& out);
bool encodeForSystem(std::u16string_view path, std::string& out);

}  // namespace platform
