// C run-time services of platform.h: the Windows backend.
//
// The C run-time library's wide-character services, from msvcrt.
//
// The wide printf functions must keep Microsoft's reading of "%s" (a wide
// string in a wide function). MinGW's own C99 printf, which its C++ headers
// switch on for the unprefixed names, reads "%s" as a narrow string; the
// underscore names used here are msvcrt's exports whatever that switch says.
// platform/runtime_test.cpp, run under Wine, holds the proof.
#include <windows.h>

#include <conio.h>

#include <clocale>
#include <cstdio>
#include <cwchar>

#include "platform/platform.h"
#include "platform/system.h"
#include "platform/windows/wide.h"

namespace platform {

using windows::utf16;
using windows::wide;

namespace {

int categoryOf(LocaleCategory category) {
    return category == LocaleCategory::ctype ? LC_CTYPE : LC_ALL;
}

}  // namespace

const char16_t* system::setLocale(LocaleCategory category, const char16_t* name) {
    return utf16(::_wsetlocale(categoryOf(category), wide(name)));
}

const char16_t* system::currentLocale(LocaleCategory category) {
    return utf16(::_wsetlocale(categoryOf(category), nullptr));
}

int _vscwprintf(const char16_t* format, std::va_list args) {
    return ::_vscwprintf(wide(format), args);
}

int _vsnwprintf(char16_t* buffer, std::size_t count, const char16_t* format, std::va_list args) {
    return ::_vsnwprintf(wide(buffer), count, wide(format), args);
}

char16_t* fgetws(char16_t* buffer, int count) {
    return utf16(::fgetws(wide(buffer), count, stdin));
}

int getchar() {
    return std::getchar();
}

Bool _wfreopen(const char16_t* path, const char16_t* mode) {
    return ::_wfreopen(wide(path), wide(mode), stdin) != nullptr;
}

int system::_getwch() {
    return static_cast<int>(::_getwch());
}

}  // namespace platform
