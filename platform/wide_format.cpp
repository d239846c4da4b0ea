// The wide printf family's formatting, for systems without Windows' own.
#include "platform/wide_format.h"

#include <climits>
#include <string_view>

namespace platform {

namespace {

// The digits of value in base 10 or 16, most significant first.
void putDigits(BoundedOutput<char16_t>& out, unsigned long long value, unsigned base) {
    char16_t digits[20];
    std::size_t count = 0;
    do {
        digits[count++] = u"0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    while (count > 0) {
        out.put(digits[--count]);
    }
}

}  // namespace

bool formatInto(BoundedOutput<char16_t>& out, const char16_t* format, std::va_list list) {
    if (format == nullptr) {
        return false;
    }
    std::va_list args;
    va_copy(args, list);
    bool understood = true;
    for (const char16_t* p = format; understood && *p != 0; ++p) {
        if (*p != u'%') {
            out.put(*p);
            continue;
        }
        switch (*++p) {
            case u's': {
                const char16_t* const text = va_arg(args, const char16_t*);
                out.put(text != nullptr ? std::u16string_view(text) : u"(null)");
                break;
            }
            case u'c':
                out.put(static_cast<char16_t>(va_arg(args, int)));
                break;
            case u'd': {
                const int value = va_arg(args, int);
                if (value < 0) {
                    out.put(u'-');
                }
                putDigits(out, value < 0 ? 0ULL - value : value, 10);
                break;
            }
            case u'x':
                putDigits(out, va_arg(args, unsigned), 16);
                break;
            case u'%':
                out.put(u'%');
                break;
            default:  // the end of the format included
                understood = false;
        }
    }
    va_end(args);
    return understood && out.size() <= static_cast<std::size_t>(INT_MAX);
}

}  // namespace platform
