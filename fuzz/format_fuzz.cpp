// The POSIX wide-printf formatter. The fuzzer writes the format: literal
// text of any units, then directives with any flags, widths, precisions and
// size prefixes, and at the end possibly one that is malformed or unknown.
// Each directive's conversion reads an argument of the kind that the call
// passes at its place, so that no argument is ever read as the wrong type:
// the arguments are one value of each kind, then each kind again behind two
// ints for "*.*". Properties:
// - no crash and no read or write out of bounds;
// - _vscwprintf's length is what _vsnwprintf returns and writes, with room
//   for the terminator and with room for the text alone (no terminator);
// - with less room, _vsnwprintf fails, writes the text's first count units
//   and nothing past them;
// - when _vscwprintf fails, _vsnwprintf fails too.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/platform.h"

namespace {

enum Kind { integer, longInteger, longLong, pointerSized, pointer, wideText, narrowText, kinds };

// Size prefixes and conversions that read each kind: int (characters too),
// long, long long, intptr_t, void*, UTF-16 text, 8-bit text.
const std::vector<std::string_view> spellings[kinds] = {
    {"d",  "i",  "u",  "x",  "X",  "o",  "c",  "C",  "hd",   "hhi",  "hu", "hhx",
     "hX", "ho", "hc", "hC", "lc", "lC", "wc", "wC", "I32d", "I32x", "wd"},
    {"ld", "li", "lu", "lx", "lX", "lo"},
    {"lld", "lli", "llu", "llx", "llo", "I64d", "I64u", "I64X", "jd", "ju"},
    {"Id", "Iu", "Ix", "zd", "zu", "zx", "td", "tX"},
    {"p", "hp", "lp", "I64p"},
    {"s", "ls", "ws", "lS", "wS"},
    {"hs", "S", "hS"},
};

// The buffers that the checks allocate for the whole text stay this small.
constexpr std::size_t longestCheckedText = 1 << 12;

struct Values {
    int integer;
    long longInteger;
    long long longLong;
    std::intptr_t pointerSized;
    void* pointer;
    const char16_t* wide;
    const char* narrow;
    int width[kinds];
    int precision[kinds];
};

auto argumentsOf(const Values& v) {
    auto const one = std::make_tuple(v.integer, v.longInteger, v.longLong, v.pointerSized,
                                     v.pointer, v.wide, v.narrow);
    auto const starred = [&v](Kind kind, auto value) {
        return std::make_tuple(v.width[kind], v.precision[kind], value);
    };
    return std::tuple_cat(one, starred(integer, v.integer), starred(longInteger, v.longInteger),
                          starred(longLong, v.longLong), starred(pointerSized, v.pointerSized),
                          starred(pointer, v.pointer), starred(wideText, v.wide),
                          starred(narrowText, v.narrow));
}

int measure(const char16_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    int const length = platform::_vscwprintf(format, args);
    va_end(args);
    return length;
}

int print(char16_t* buffer, std::size_t count, const char16_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    int const length = platform::_vsnwprintf(buffer, count, format, args);
    va_end(args);
    return length;
}

void appendAscii(std::u16string& format, std::string_view text) {
    format.append(text.begin(), text.end());
}

void appendLiteral(FuzzedDataProvider& provider, std::u16string& format) {
    for (char16_t unit : fuzz::textOf(provider.ConsumeRandomLengthString(16))) {
        format.append(unit == u'%' ? 2 : 1, unit);
    }
}

void appendFlags(FuzzedDataProvider& provider, std::u16string& format) {
    for (int n = provider.ConsumeIntegralInRange(0, 3); n > 0; --n) {
        format.push_back(u"-+ #0"[provider.ConsumeIntegralInRange(0, 4)]);
    }
}

void appendNumber(FuzzedDataProvider& provider, std::u16string& format, unsigned long long limit) {
    appendAscii(format, std::to_string(provider.ConsumeIntegralInRange(0ULL, limit)));
}

// Digits for the width and the precision, or neither, as the fuzzer likes.
void appendWidthAndPrecision(FuzzedDataProvider& provider, std::u16string& format) {
    if (provider.ConsumeBool()) {
        appendNumber(provider, format, 99999999999ULL);
    }
    if (provider.ConsumeBool()) {
        format.push_back(u'.');
        if (provider.ConsumeBool()) {
            appendNumber(provider, format, 99999999999ULL);
        }
    }
}

void appendConversion(FuzzedDataProvider& provider, std::u16string& format, Kind kind) {
    std::size_t const last = spellings[kind].size() - 1;
    appendAscii(format, spellings[kind][provider.ConsumeIntegralInRange<std::size_t>(0, last)]);
}

// What may end a format: nothing, "%%", a conversion that does not exist,
// or a directive cut off by the end. None of them reads an argument.
void appendEnding(FuzzedDataProvider& provider, std::u16string& format) {
    switch (provider.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return;
        case 1:
            appendAscii(format, "%%");
            return;
        default:
            format.push_back(u'%');
            appendFlags(provider, format);
            appendWidthAndPrecision(provider, format);
            appendAscii(format, provider.PickValueInArray<std::string_view>(
                                    {"", "h", "ll", "I", "I64", "w", "z"}));
            if (provider.ConsumeBool()) {
                format.push_back(u"yfnLkZe!"[provider.ConsumeIntegralInRange(0, 7)]);
            }
    }
}

std::u16string formatOf(FuzzedDataProvider& provider, Values& values) {
    std::u16string format;
    int const directives = provider.ConsumeIntegralInRange(0, 2 * kinds);
    for (int i = 0; i < directives; ++i) {
        auto const kind = static_cast<Kind>(i % kinds);
        appendLiteral(provider, format);
        format.push_back(u'%');
        appendFlags(provider, format);
        if (i < kinds) {
            appendWidthAndPrecision(provider, format);
        } else {
            appendAscii(format, "*.*");
            values.width[kind] = provider.ConsumeIntegral<int>();
            values.precision[kind] = provider.ConsumeIntegral<int>();
        }
        appendConversion(provider, format, kind);
    }
    appendLiteral(provider, format);
    appendEnding(provider, format);
    return format;
}

template <typename Call>
int callWith(const Values& values, Call call) {
    return std::apply([&call](auto... arguments) { return call(arguments...); },
                      argumentsOf(values));
}

void checkFormat(const char16_t* format, const Values& values, std::size_t shortBy) {
    int const length = callWith(values, [format](auto... a) { return measure(format, a...); });
    if (length < 0) {
        char16_t buffer[16];
        FUZZ_CHECK(callWith(values, [&](auto... a) { return print(buffer, 16, format, a...); }) <
                   0);
        return;
    }
    // Buffers of the exact size, so that a unit written past them shows.
    auto const size = static_cast<std::size_t>(length);
    auto const printInto = [&](std::size_t count, std::unique_ptr<char16_t[]>& buffer) {
        buffer = std::make_unique<char16_t[]>(count);
        return callWith(values,
                        [&](auto... a) { return print(buffer.get(), count, format, a...); });
    };
    std::unique_ptr<char16_t[]> whole;
    std::unique_ptr<char16_t[]> part;
    if (size <= longestCheckedText) {
        FUZZ_CHECK(printInto(size + 1, whole) == length);
        FUZZ_CHECK(whole[size] == u'\0');
        FUZZ_CHECK(printInto(size, part) == length);
        FUZZ_CHECK(std::u16string_view(part.get(), size) == std::u16string_view(whole.get(), size));
    }
    if (length > 0) {
        std::size_t const count = size - 1 - shortBy % size;
        if (count < longestCheckedText) {
            FUZZ_CHECK(printInto(count, part) < 0);
            FUZZ_CHECK(whole == nullptr || std::u16string_view(part.get(), count) ==
                                               std::u16string_view(whole.get(), count));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // 8-bit text decodes by the locale: UTF-8 has the most to get wrong.
    platform::_wsetlocale(platform::LocaleCategory::all, u"C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    Values values{};
    std::u16string const wide = fuzz::textOf(provider.ConsumeRandomLengthString(32));
    std::string const narrow = provider.ConsumeRandomLengthString(32);
    values.integer = provider.ConsumeIntegral<int>();
    values.longInteger = provider.ConsumeIntegral<long>();
    values.longLong = provider.ConsumeIntegral<long long>();
    values.pointerSized = provider.ConsumeIntegral<std::intptr_t>();
    values.pointer = reinterpret_cast<void*>(provider.ConsumeIntegral<std::uintptr_t>());
    values.wide = provider.ConsumeBool() ? wide.c_str() : nullptr;
    values.narrow = provider.ConsumeBool() ? narrow.c_str() : nullptr;
    std::size_t const shortBy = provider.ConsumeIntegral<std::size_t>();
    std::u16string const format = formatOf(provider, values);
    checkFormat(format.c_str(), values, shortBy);
    return 0;
}
