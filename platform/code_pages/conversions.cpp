// Windows' conversions between UTF-16 and the bytes of a code page, over
// the tables of its ANSI code pages, or UTF-8.
#include "platform/code_pages/conversions.h"

#include <algorithm>
#include <climits>
#include <string>
#include <type_traits>

#include "platform/bounded_output.h"
#include "platform/code_pages/table_code_page.h"
#include "platform/name_codec.h"

namespace platform::code_pages {

namespace {

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
        SetLastError(errorInvalidParameter);
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
        SetLastError(errorInvalidParameter);
        return 0;
    }
    BoundedOutput<Unit> out(buffer, static_cast<std::size_t>(outSize));
    out.put(result);
    if (outSize != 0 && !out.fits()) {
        SetLastError(errorInsufficientBuffer);
        return 0;
    }
    return static_cast<int>(result.size());
}

// The output of the last conversion of each direction, kept from call to
// call so that converting a name allocates nothing once names of its length
// have been seen.
thread_local std::string encoded;
thread_local std::u16string decoded;

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

}  // namespace

int toBytes(unsigned number, const char16_t* text, int length, char* out, int outSize,
            const char* defaultChar, Bool* usedDefault) {
    if (!validArguments(text, length, out, outSize)) {
        return 0;
    }
    const TableCodePage* const page = TableCodePage::find(number);
    const bool utf8 = number == cpUtf8;
    if ((page == nullptr && !utf8) ||
        (utf8 && (defaultChar != nullptr || usedDefault != nullptr))) {
        SetLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t units =
        length == -1 ? terminatedLength(text) : static_cast<std::size_t>(length);
    const std::u16string_view input(text, units);
    bool used = false;
    if (isAscii(input)) {
        encoded.assign(input.begin(), input.end());
    } else if (utf8) {
        encoded.clear();
        encodeUtf8(input, encoded);
    } else {
        const bool substitutes = defaultChar != nullptr || usedDefault != nullptr;
        const std::uint16_t substitute = substituteFor(*page, defaultChar);
        encoded.clear();
        page->encode(input, substitutes ? &substitute : nullptr, encoded, used);
    }
    if (usedDefault != nullptr) {
        *usedDefault = used;
    }
    return deliver(std::string_view(encoded), out, outSize);
}

int toUnits(unsigned number, const char* bytes, int length, char16_t* out, int outSize) {
    if (!validArguments(bytes, length, out, outSize)) {
        return 0;
    }
    const TableCodePage* const page = TableCodePage::find(number);
    if (page == nullptr && number != cpUtf8) {
        SetLastError(errorInvalidParameter);
        return 0;
    }
    const std::size_t size =
        length == -1 ? terminatedLength(bytes) : static_cast<std::size_t>(length);
    const std::string_view input(bytes, size);
    if (isAscii(input)) {
        return deliver(input, out, outSize);
    }
    decoded.clear();
    if (page != nullptr) {
        page->decode(input, decoded);
    } else {
        decodeUtf8(input, decoded);
    }
    return deliver(std::u16string_view(decoded), out, outSize);
}

bool isKnownCodePage(unsigned number) {
    return number == cpUtf8 || TableCodePage::find(number) != nullptr;
}

}  // namespace platform::code_pages
