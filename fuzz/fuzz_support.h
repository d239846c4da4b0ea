// What the fuzz targets share: a check that stops the run on a broken
// property, and text made from the fuzzer's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A violated property is a finding: libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition) ((condition) ? void(0) : fuzz::fail(#condition, __FILE__, __LINE__))

namespace fuzz {

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

// One UTF-16 unit per byte, so that the characters with a meaning to the
// code under test (space, quote, backslash, '*', '?', '%') are a byte away.
// ASCII stays itself, but NUL, which would end a C string, becomes an
// ideographic space; 0x80..0xEF become U+00C0..U+012F, letters with case
// pairs; 0xF0..0xFF become units that case mapping, code pages and
// surrogate handling treat specially.
inline char16_t unitOf(std::uint8_t byte) {
    static constexpr char16_t special[16] = {0x0130, 0x0131, 0x212A, 0x03A3, 0x03C2, 0x1E9E,
                                             0xFF02, 0xFF0A, 0xFF1F, 0x00A0, 0xFEFF, 0xFFFF,
                                             0xD83D, 0xDE00, 0xDC80, 0xDC5C};
    if (byte == 0) {
        return 0x3000;
    }
    if (byte < 0x80) {
        return byte;
    }
    return byte < 0xF0 ? static_cast<char16_t>(0x00C0 + (byte - 0x80)) : special[byte - 0xF0];
}

inline std::u16string textOf(const std::uint8_t* bytes, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(unitOf(bytes[i]));
    }
    return text;
}

inline std::u16string textOf(const std::string& bytes) {
    return textOf(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace fuzz
