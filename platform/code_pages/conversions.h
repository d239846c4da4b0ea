// Windows' conversions between UTF-16 and the bytes of a code page, written
// for systems that lack them: unit for unit and byte for byte as Windows
// makes them with no flags, through Windows' own tables of the ANSI code
// pages, or UTF-8; with Windows' contract for the arguments, the caller's
// buffer and the default character.
#pragma once

#include "platform/platform.h"

namespace platform::code_pages {

// WideCharToMultiByte and MultiByteToWideChar for the page number (a page's
// own number: cpAcp is the caller's to resolve). 0 with the last error set on
// failure.
int toBytes(unsigned number, const char16_t* text, int length, char* out, int outSize,
            const char* defaultChar, Bool* usedDefault);
int toUnits(unsigned number, const char* bytes, int length, char16_t* out, int outSize);

// Whether the conversions know the page number.
bool isKnownCodePage(unsigned number);

}  // namespace platform::code_pages
