// The POSIX wide-printf formatter. The fuzzer writes the format: literal
// text of any units, then up to six directives, each of the conversion that
// reads the kind of argument that the call passes at its place (%c and %d an
// int, %x an unsigned int, %s UTF-16 text or null), and at the end possibly
// one that the formatter does not take. Properties:
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

#include "fuzz/fuzz_support.h"
#include "platform/platform.h"

namespace {

// The buffers that the checks allocate for the whole text stay this small.
constexpr std::size_t longestCheckedText = 1 << 12;

struct Values {
    int integer[2];
    unsigned hexadecimal[2];
    const char16_t* text[2];
};

int measure(const char16_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int length = platform::_vscwprintf(format, args);
    va_end(args);
    return length;
}

int print(char16_t* buffer, std::size_t count, const char16_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int length = platform::_vsnwprintf(buffer, count, format, args);
    va_end(args);
    return length;
}

// Every directive i reads argument i, whose kind is i % 3.
template <typename Call>
int callWith(const Values& v, Call call) {
    return call(v.integer[0], v.hexadecimal[0], v.text[0], v.integer[1], v.hexadecimal[1],
                v.text[1]);
}

void appendLiteral(FuzzedDataProvider& provider, std::u16string& format) {
    for (char16_t unit : fuzz::textOf(provider.ConsumeRandomLengthString(16))) {
        format.append(unit == u'%' ? 2 : 1, unit);
    }
}

// What may end a format: nothing, "%%", or a directive that the formatter
// does not take (an unknown conversion, a flag, a width, a size, or the end
// of the format itself). None of them reads an argument.
void appendEnding(FuzzedDataProvider& provider, std::u16string& format) {
    switch (provider.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return;
        case 1:
            format += u"%%";
            return;
        default:
            format.push_back(u'%');
            if (provider.ConsumeBool()) {
                format.push_back(u"yfnLkZ5-.+#0*lhwI!"[provider.ConsumeIntegralInRange(0, 17)]);
            }
    }
}

std::u16string formatOf(FuzzedDataProvider& provider) {
    std::u16string format;
    const int directives = provider.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < directives; ++i) {
        appendLiteral(provider, format);
        format.push_back(u'%');
        format.push_back(i % 3 == 0 ? (provider.ConsumeBool() ? u'c' : u'd')
                                    : (i % 3 == 1 ? u'x' : u's'));
    }
    appendLiteral(provider, format);
    appendEnding(provider, format);
    return format;
}

void checkFormat(const char16_t* format, const Values& values, std::size_t shortBy) {
    const int length = callWith(values, [format](auto... a) { return measure(format, a...); });
    if (length < 0) {
        char16_t buffer[16];
        FUZZ_CHECK(callWith(values, [&](auto... a) { return print(buffer, 16, format, a...); }) <
                   0);
        return;
    }
    // Buffers of the exact size, so that a unit written past them shows.
    const auto size = static_cast<std::size_t>(length);
    const auto printInto = [&](std::size_t count, std::unique_ptr<char16_t[]>& buffer) {
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
        const std::size_t count = size - 1 - shortBy % size;
        if (count < longestCheckedText) {
            FUZZ_CHECK(printInto(count, part) < 0);
            FUZZ_CHECK(whole == nullptr || std::u16string_view(part.get(), count) ==
                                               std::u16string_view(whole.get(), count));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    Values values{};
    const std::u16string texts[2] = {fuzz::textOf(provider.ConsumeRandomLengthString(32)),
                                     fuzz::textOf(provider.ConsumeRandomLengthString(32))};
    for (int i = 0; i < 2; ++i) {
        values.integer[i] = provider.ConsumeIntegral<int>();
        values.hexadecimal[i] = provider.ConsumeIntegral<unsigned>();
        values.text[i] = provider.ConsumeBool() ? texts[i].c_str() : nullptr;
    }
    const std::size_t shortBy = provider.ConsumeIntegral<std::size_t>();
    const std::u16string format = formatOf(provider);
    checkFormat(format.c_str(), values, shortBy);
    return 0;
}
