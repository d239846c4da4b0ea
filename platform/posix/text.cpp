// Strings and code pages of platform.h: the POSIX backend.
//
// Ordinal comparison, the simple lower-case mapping of Unicode, and conversions
// through iconv with Windows' contract for the caller's buffer and the default
// character.
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/platform.h"
#include "platform/posix/bounded_output.h"
#include "platform/posix/code_page.h"
#include "platform/posix/iconv_code_page.h"
#include "platform/posix/last_error.h"
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

// The last conversion of each direction, kept with its input: a caller sizes
// the output first and then converts the same text again (each name of a walk
// goes through both), and the second call takes the first one's result. The
// strings keep their storage from call to call, so that converting a name
// allocates nothing once names of its length have been seen.
template <typename In, typename Out>
class LastConversion {
public:
    bool holds(const CodePage* codePage, std::basic_string_view<In> text,
               std::string_view substitute) const {
        return page == codePage && input == text && fallback == substitute;
    }
    void keep(const CodePage* codePage, std::basic_string_view<In> text,
              std::string_view substitute) {
        page = codePage;
        input.assign(text);
        fallback.assign(substitute);
    }
    void forget() { page = nullptr; }

    std::basic_string<Out>& output() { return converted; }
    bool usedFallback = false;

private:
    const CodePage* page = nullptr;
    std::basic_string<In> input;
    std::string fallback;
    std::basic_string<Out> converted;
};

thread_local LastConversion<char16_t, char> lastEncoding;
thread_local LastConversion<char, char16_t> lastDecoding;

bool encodeOnce(CodePage& page, std::u16string_view text, std::string_view fallback) {
    if (lastEncoding.holds(&page, text, fallback)) {
        return true;
    }
    lastEncoding.forget();
    std::string& out = lastEncoding.output();
    out.clear();
    bool used = false;
    if (!page.encode(text, out, fallback, used)) {
        return false;
    }
    lastEncoding.usedFallback = used;
    lastEncoding.keep(&page, text, fallback);
    return true;
}

bool decodeOnce(CodePage& page, std::string_view bytes) {
    if (lastDecoding.holds(&page, bytes, {})) {
        return true;
    }
    lastDecoding.forget();
    std::u16string& out = lastDecoding.output();
    out.clear();
    if (!page.decode(bytes, out)) {
        return false;
    }
    lastDecoding.keep(&page, bytes, {});
    return true;
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

char16_t CharLowerW(char16_t c) {
    if (c < 0x80) {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    }
    const locale_t locale = posix::caseLocale();
    if (posix::isSurrogate(c) || locale == static_cast<locale_t>(0)) {
        return c;
    }
    const wint_t lower = towlower_l(c, locale);
    return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
}

int WideCharToMultiByte(unsigned codePage, Dword, const char16_t* text, int length, char* out,
                        int outSize, const char* defaultChar, Bool* usedDefault) {
    if (!posix::validArguments(text, length, out, outSize)) {
        return 0;
    }
    posix::CodePage* const page = posix::codePageFor(codePage);
    if (page == nullptr || (page->isUtf8() && (defaultChar != nullptr || usedDefault != nullptr))) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    std::string_view fallback = page->isUtf8() ? "\xEF\xBF\xBD" : "?";
    if (defaultChar != nullptr && *defaultChar != '\0') {
        // A double-byte default character is a lead byte and its trail.
        const bool twoBytes = page->isDoubleByte() &&
                              static_cast<unsigned char>(defaultChar[0]) >= 0x80 &&
                              defaultChar[1] != '\0';
        const std::size_t size = twoBytes ? 2 : 1;
        fallback = std::string_view(defaultChar, size);
    }
    const std::size_t units =
        length == -1 ? posix::terminatedLength(text) : static_cast<std::size_t>(length);
    const std::u16string_view input(text, units);
    if (posix::isAscii(input)) {
        if (usedDefault != nullptr) {
            *usedDefault = 0;
        }
        return posix::deliver(input, out, outSize);
    }
    if (!posix::encodeOnce(*page, input, fallback)) {
        posix::setLastError(errorNoUnicodeTranslation);
        return 0;
    }
    if (usedDefault != nullptr) {
        *usedDefault = posix::lastEncoding.usedFallback;
    }
    return posix::deliver(std::string_view(posix::lastEncoding.output()), out, outSize);
}

int MultiByteToWideChar(unsigned codePage, Dword, const char* bytes, int length, char16_t* out,
                        int outSize) {
    if (!posix::validArguments(bytes, length, out, outSize)) {
        return 0;
    }
    posix::CodePage* const page = posix::codePageFor(codePage);
    if (page == nullptr) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t size =
        length == -1 ? posix::terminatedLength(bytes) : static_cast<std::size_t>(length);
    const std::string_view input(bytes, size);
    if (posix::isAscii(input)) {
        return posix::deliver(input, out, outSize);
    }
    if (!posix::decodeOnce(*page, input)) {
        posix::setLastError(errorNoUnicodeTranslation);
        return 0;
    }
    return posix::deliver(std::u16string_view(posix::lastDecoding.output()), out, outSize);
}

unsigned GetACP() {
    return posix::ansiCodePage();
}

}  // namespace platform
