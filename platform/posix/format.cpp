// The Microsoft wide printf family, for the formats that this program
// writes: %s takes UTF-16 text (a null one prints as "(null)"), %c a UTF-16
// unit (a NUL too: it is part of the text, which a reader then ends there),
// %d an int, %x an unsigned int in lower-case hexadecimal, and %% is a
// percent sign. The C library's own wide printf cannot stand in, since its %s
// reads 8-bit text and its wide characters are 32 bits.
//
// No format of the program has flags, a width, a precision or a size, so none
// is taken: like every other conversion, such a directive makes the whole
// call fail with -1, so that a format this formatter cannot honour shows at
// once rather than as odd text.
#include <algorithm>
#include <climits>
#include <cstdarg>
#include <string_view>

#include "platform/platform.h"

namespace platform {

namespace {

// Counts every unit of the text and keeps those that fit the buffer.
class Output {
public:
    Output(char16_t* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

    void put(char16_t unit) {
        if (length_ < capacity_) {
            buffer_[length_] = unit;
        }
        ++length_;
    }
    // Whole texts at once: every line of a walk is mostly one %s.
    void put(std::u16string_view text) {
        if (length_ < capacity_) {
            std::size_t const stored = std::min(text.size(), capacity_ - length_);
            std::copy_n(text.data(), stored, buffer_ + length_);
        }
        length_ += text.size();
    }
    std::size_t length() const { return length_; }

private:
    char16_t* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

// The digits of value in base 10 or 16, most significant first.
void putDigits(Output& out, unsigned long long value, unsigned base) {
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

bool format(Output& out, const char16_t* format, std::va_list list) {
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
                int const value = va_arg(args, int);
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
    return understood && out.length() <= static_cast<std::size_t>(INT_MAX);
}

}  // namespace

int _vscwprintf(const char16_t* format, std::va_list args) {
    Output out(nullptr, 0);
    if (!platform::format(out, format, args)) {
        return -1;
    }
    return static_cast<int>(out.length());
}

int _vsnwprintf(char16_t* buffer, std::size_t count, const char16_t* format, std::va_list args) {
    if (buffer == nullptr) {
        count = 0;
    }
    Output out(buffer, count);
    if (!platform::format(out, format, args)) {
        return -1;
    }
    std::size_t const length = out.length();
    if (length > count) {
        return -1;
    }
    if (length < count) {
        buffer[length] = 0;
    }
    return static_cast<int>(length);
}

}  // namespace platform
