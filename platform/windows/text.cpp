// Strings and code pages of platform.h: the Windows backend, which forwards
// each one to kernel32.
#include <windows.h>

#include "platform/platform.h"
#include "platform/windows/wide.h"

namespace platform {

using windows::wide;

// A pointer value below 0x10000 tells CharLowerW that it carries one
// character, whose lower case comes back in the low word of the result.
char16_t CharLowerW(char16_t c) {
    const auto single = reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c));
    return static_cast<char16_t>(LOWORD(reinterpret_cast<ULONG_PTR>(::CharLowerW(single))));
}

char16_t CharUpperW(char16_t c) {
    const auto single = reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c));
    return static_cast<char16_t>(LOWORD(reinterpret_cast<ULONG_PTR>(::CharUpperW(single))));
}

int WideCharToMultiByte(unsigned codePage, Dword flags, const char16_t* text, int length, char* out,
                        int outSize, const char* defaultChar, Bool* usedDefault) {
    return ::WideCharToMultiByte(codePage, flags, wide(text), length, out, outSize, defaultChar,
                                 usedDefault);
}

int MultiByteToWideChar(unsigned codePage, Dword flags, const char* bytes, int length,
                        char16_t* out, int outSize) {
    return ::MultiByteToWideChar(codePage, flags, bytes, length, wide(out), outSize);
}

unsigned GetACP() {
    return ::GetACP();
}

Bool IsValidCodePage(unsigned codePage) {
    return ::IsValidCodePage(codePage);
}

int NormalizeString(int form, const char16_t* text, int length, char16_t* out, int outSize) {
    return ::NormalizeString(static_cast<NORM_FORM>(form), wide(text), length, wide(out), outSize);
}

Bool GetStringTypeW(Dword infoType, const char16_t* text, int length, Word* types) {
    return ::GetStringTypeW(infoType, wide(text), length, types);
}

}  // namespace platform
