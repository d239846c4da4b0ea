// The Windows backend hands UTF-16 text to the W functions as wchar_t, which
// has the same size and representation as char16_t on Windows.
#pragma once

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t holds UTF-16 on Windows");

namespace platform::windows {

const inline wchar_t* wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

inline wchar_t* wide(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}

const inline char16_t* utf16(const wchar_t* text) {
    return reinterpret_cast<const char16_t*>(text);
}

inline char16_t* utf16(wchar_t* text) {
    return reinterpret_cast<char16_t*>(text);
}

}  // namespace platform::windows
