// Strings and code pages of platform.h: the POSIX backend.
//
// Ordinal comparison, the simple lower-case mapping of Unicode, conversions
// through Windows' own code page tables, or UTF-8, with Windows' contract for
// the caller's buffer and the default character, and composition,
// decomposition and character types through ICU, whose data are those of the
// Unicode standard that Windows' own normalizer follows.
#include <locale.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <wctype.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/platform.h"
#include "platform/posix/bounded_output.h"
#include "platform/posix/code_page.h"
#include "platform/posix/last_error.h"
#include "platform/posix/name_codec.h"
#include "platform/posix/table_code_page.h"
#include "platform/posix/utf16.h"

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

// Every ANSI code page holds ASCII as it is, so ASCII text converts unit for
// unit without a look at the page.
template <typename Unit>
bool isAscii(std::basic_string_view<Unit> text) {
    return std::all_of(text.begin(), text.end(), [](Unit unit) {
        return static_cast<std::make_unsigned_t<Unit>>(unit) < 0x80;
    });
}

// The length of a terminated text, its terminator included, as a length of
// -1 asks a conversion to take it.
template <typename Unit>
std::size_t terminatedLength(const Unit* text) {
    return std::char_traits<Unit>::length(text) + 1;
}

// The checks that both conversions share; false with the last error set
// when the arguments are not ones Windows accepts.
template <typename Unit>
bool validArguments(const void* input, int length, const Unit* output, int outSize) {
    if (input == nullptr || length == 0 || length < -1 || outSize < 0 ||
        (output == nullptr && outSize > 0)) {
        setLastError(errorInvalidParameter);
        return false;
    }
    return true;
}

// Hands a conversion's output to the caller as Windows does: its size when
// sizing (no buffer), else the size once it fits the buffer, or 0 with
// errorInsufficientBuffer after storing what fits. ASCII text of either unit
// type is the same text in the other, in every code page.
template <typename Unit, typename From>
int deliver(std::basic_string_view<From> result, Unit* buffer, int outSize) {
    if (result.size() > static_cast<std::size_t>(INT_MAX)) {
        setLastError(errorInvalidParameter);
        return 0;
    }
    BoundedOutput<Unit> out(buffer, static_cast<std::size_t>(outSize));
    out.put(result);
    if (outSize != 0 && !out.fits()) {
        setLastError(errorInsufficientBuffer);
        return 0;
    }
    return static_cast<int>(result.size());
}

// The output of the last conversion of each direction, kept from call to
// call so that converting a name allocates nothing once names of its length
// have been seen.
thread_local std::string encoded;
thread_local std::u16string decoded;

// Windows writes U+FFFD for a lone surrogate, which UTF-8 cannot hold.
void encodeUtf8(std::u16string_view text, std::string& out) {
    out.resize(3 * text.size());  // a pair's four bytes are its two units' six
    char* q = out.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u < 0x80) {
            *q++ = static_cast<char>(u);
        } else if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            q = putUtf8(codePointOfPair(u, text[i + 1]), q);
            ++i;
        } else {
            q = putUtf8(isSurrogate(u) ? U'\uFFFD' : u, q);
        }
    }
    out.resize(static_cast<std::size_t>(q - out.data()));
}

// Each byte outside valid UTF-8 reads as U+FFFD. The name codec reads it as a
// lone surrogate, which valid UTF-8 never gives.
void decodeUtf8(std::string_view bytes, std::u16string& out) {
    decode(bytes, Backslash::separator, out);
    std::replace_if(out.begin(), out.end(), standsForByte, u'\uFFFD');
}

// What a page writes for a unit that it holds only as its default character,
// where the caller asks for it (a default character, or whether it was
// used): the caller's default character, or else the page's. On a
// double-byte page, two bytes of it are a lead byte and its trail, whatever
// the first one is.
std::uint16_t substituteFor(const TableCodePage& page, const char* defaultChar) {
    if (defaultChar == nullptr) {
        return page.defaultChar();
    }
    const auto first = static_cast<unsigned char>(defaultChar[0]);
    if (!page.isDoubleByte() || first == 0 || defaultChar[1] == '\0') {
        return first;
    }
    return static_cast<std::uint16_t>(first << 8 | static_cast<unsigned char>(defaultChar[1]));
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

int lstrlenW(const char16_t* text) {
    if (text == nullptr) {
        return 0;
    }
    return static_cast<int>(std::char_traits<char16_t>::length(text));
}

int lstrcmpW(const char16_t* a, const char16_t* b) {
    if (a == nullptr || b == nullptr) {
        return (a != nullptr) - (b != nullptr);
    }
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return (*a > *b) - (*a < *b);
}

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
    if (!posix::validArguments(text, length, out, outSize)) {
        return 0;
    }
    const unsigned number = posix::pageNumber(codePage);
    const posix::TableCodePage* const page = posix::TableCodePage::find(number);
    const bool utf8 = number == cpUtf8;
    if ((page == nullptr && !utf8) ||
        (utf8 && (defaultChar != nullptr || usedDefault != nullptr))) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t units =
        length == -1 ? posix::terminatedLength(text) : static_cast<std::size_t>(length);
    const std::u16string_view input(text, units);
    bool used = false;
    if (posix::isAscii(input)) {
        posix::encoded.assign(input.begin(), input.end());
    } else if (utf8) {
        posix::encodeUtf8(input, posix::encoded);
    } else {
        const bool substitutes = defaultChar != nullptr || usedDefault != nullptr;
        const std::uint16_t substitute = posix::substituteFor(*page, defaultChar);
        posix::encoded.clear();
        page->encode(input, substitutes ? &substitute : nullptr, posix::encoded, used);
    }
    if (usedDefault != nullptr) {
        *usedDefault = used;
    }
    return posix::deliver(std::string_view(posix::encoded), out, outSize);
}

int MultiByteToWideChar(unsigned codePage, Dword, const char* bytes, int length, char16_t* out,
                        int outSize) {
    if (!posix::validArguments(bytes, length, out, outSize)) {
        return 0;
    }
    const unsigned number = posix::pageNumber(codePage);
    const posix::TableCodePage* const page = posix::TableCodePage::find(number);
    if (page == nullptr && number != cpUtf8) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t size =
        length == -1 ? posix::terminatedLength(bytes) : static_cast<std::size_t>(length);
    const std::string_view input(bytes, size);
    if (posix::isAscii(input)) {
        return posix::deliver(input, out, outSize);
    }
    posix::decoded.clear();
    if (page != nullptr) {
        page->decode(input, posix::decoded);
    } else {
        posix::decodeUtf8(input, posix::decoded);
    }
    return posix::deliver(std::u16string_view(posix::decoded), out, outSize);
}

int NormalizeString(int form, const char16_t* text, int length, char16_t* out, int outSize) {
    if ((form != normalizationC && form != normalizationD) || text == nullptr || length < -1 ||
        outSize < 0 || (out == nullptr && outSize > 0)) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t units =
        length == -1 ? posix::terminatedLength(text) : static_cast<std::size_t>(length);
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
    const std::size_t units =
        length == -1 ? posix::terminatedLength(text) : static_cast<std::size_t>(length);
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
    return codePage == cpUtf8 || posix::TableCodePage::find(codePage) != nullptr;
}

}  // namespace platform
