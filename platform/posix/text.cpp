// Strings and code pages of platform.h: the POSIX backend.
//
// The simple case mappings of Unicode; conversions through the common code
// pages (code_pages/), for the page that cpAcp stands for here; and
// composition, decomposition and character types through ICU, whose data are
// those of the Unicode standard that Windows' own normalizer follows.
#include <locale.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <wctype.h>

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_pages/conversions.h"
#include "platform/platform.h"
#include "platform/posix/code_page.h"
#include "platform/posix/last_error.h"
#include "platform/unicode.h"

namespace platform::posix {
namespace {

// Case mapping must not follow the user's locale (a Turkish one lowers 'I'
// to a dotless i); C.UTF-8 carries the plain Unicode simple mappings.
locale_t caseLocale() {
    const static locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l != static_cast<locale_t>(0)
                   ? l
                   : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return locale;
}

unsigned pageNumber(unsigned codePage) {
    return codePage == cpAcp ? ansiCodePage() : codePage;
}

constexpr bool isNoncharacter(char32_t c) {
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

// Windows refuses to normalize a text that is no valid UTF-16 or that holds
// a noncharacter, where ICU would pass a lone surrogate or a noncharacter
// through.
bool isNormalizable(const char16_t* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < length && isLowSurrogate(text[i + 1])) {
            c = codePointOfPair(text[i], text[i + 1]);
            ++i;
        } else if (isSurrogate(c)) {
            return false;
        }
        if (isNoncharacter(c)) {
            return false;
        }
    }
    return true;
}

// C3_NONSPACING as Windows gives it: the nonspacing and enclosing marks, the
// Latin-1 letters that carry a mark (the stroke of O too), and a few spacing
// marks and one sign that its table still counts among them.
bool isNonspacing(char16_t c) {
    constexpr std::u16string_view latin1WithoutMark =
        u"\u00C6\u00D0\u00D7\u00DE\u00DF\u00E6\u00F0\u00F7\u00FE";
    constexpr std::u16string_view countedAsNonspacing =
        u"\u06DE\u0CC0\u0CC7\u0CC8\u0CCA\u0CCB\u1929\u192A\u192B\u1B3B\u1B3D\u1B43\u302E\u302F";
    if (c >= 0xC0 && c <= 0xFF) {
        return latin1WithoutMark.find(c) == std::u16string_view::npos;
    }
    const auto type = u_charType(c);
    return type == U_NON_SPACING_MARK || type == U_ENCLOSING_MARK ||
           countedAsNonspacing.find(c) != std::u16string_view::npos;
}

}  // namespace
}  // namespace platform::posix

namespace platform {

namespace {

// ASCII by itself, whatever the locale; the rest as the locale maps it, and a
// unit whose mapping would need a surrogate pair as it is.
char16_t mapCase(char16_t c, char16_t first, char16_t last, wint_t (*map)(wint_t, locale_t)) {
    if (c < 0x80) {
        return c >= first && c <= last ? static_cast<char16_t>(c ^ 0x20) : c;
    }
    const locale_t locale = posix::caseLocale();
    if (isSurrogate(c) || locale == static_cast<locale_t>(0)) {
        return c;
    }
    const wint_t mapped = map(c, locale);
    return mapped <= 0xFFFF ? static_cast<char16_t>(mapped) : c;
}

}  // namespace

char16_t CharLowerW(char16_t c) {
    return mapCase(c, u'A', u'Z', towlower_l);
}

char16_t CharUpperW(char16_t c) {
    return mapCase(c, u'a', u'z', towupper_l);
}

int WideCharToMultiByte(unsigned codePage, Dword, const char16_t* text, int length, char* out,
                        int outSize, const char* defaultChar, Bool* usedDefault) {
    return code_pages::toBytes(posix::pageNumber(codePage), text, length, out, outSize, defaultChar,
                               usedDefault);
}

int MultiByteToWideChar(unsigned codePage, Dword, const char* bytes, int length, char16_t* out,
                        int outSize) {
    return code_pages::toUnits(posix::pageNumber(codePage), bytes, length, out, outSize);
}

int NormalizeString(int form, const char16_t* text, int length, char16_t* out, int outSize) {
    if ((form != normalizationC && form != normalizationD) || text == nullptr || length < -1 ||
        outSize < 0 || (out == nullptr && outSize > 0)) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t units = length == -1 ? static_cast<std::size_t>(lstrlenW(text)) + 1
                                           : static_cast<std::size_t>(length);
    if (units > static_cast<std::size_t>(INT_MAX) || !posix::isNormalizable(text, units)) {
        posix::setLastError(units > INT_MAX ? errorInvalidParameter : errorNoUnicodeTranslation);
        return 0;
    }
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* const normalizer =
        form == normalizationC ? unorm2_getNFCInstance(&status) : unorm2_getNFDInstance(&status);
    if (U_FAILURE(status)) {
        posix::setLastError(errorNotEnoughMemory);
        return 0;
    }
    const int32_t written =
        unorm2_normalize(normalizer, text, static_cast<int32_t>(units), out, outSize, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        if (outSize == 0) {
            return written;
        }
        posix::setLastError(errorInsufficientBuffer);
        return -written;
    }
    if (U_FAILURE(status)) {
        posix::setLastError(errorNoUnicodeTranslation);
        return 0;
    }
    return written;
}

Bool GetStringTypeW(Dword infoType, const char16_t* text, int length, Word* types) {
    if (infoType != ctCtype3 || text == nullptr || length < -1 || length == 0 || types == nullptr) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t units = length == -1 ? static_cast<std::size_t>(lstrlenW(text)) + 1
                                           : static_cast<std::size_t>(length);
    for (std::size_t i = 0; i < units; ++i) {
        types[i] = posix::isNonspacing(text[i]) ? c3Nonspacing : Word{0};
    }
    return 1;
}

unsigned GetACP() {
    return posix::ansiCodePage();
}

// cpAcp names no page of its own: Windows refuses it here too.
Bool IsValidCodePage(unsigned codePage) {
    return code_pages::isKnownCodePage(codePage);
}

}  // namespace platform
