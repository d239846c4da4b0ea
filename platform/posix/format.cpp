// The Microsoft wide printf family, for the formats this program's layers
// write: %s takes UTF-16 text and %c a UTF-16 unit. The C library's own
// wide printf cannot stand in, since its %s reads 8-bit text and its wide
// characters are 32 bits.
//
// Conversions: d i u x X o c C s S p %, with the flags - + space # 0, a width
// and a precision (either may be *), and the sizes hh h l ll w I I32 I64 j
// z t. The Microsoft rules where they differ from C: the 0 flag pads strings
// and characters too and still applies when a precision is given, %#o of 0
// with precision 0 is empty, a null string prints as (null), and %p prints
// every hexadecimal digit of the pointer in upper case. Floating point has
// no conversion here; like any other unknown conversion it makes the whole
// call fail with -1.
#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/posix/locale_text.h"

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
    void repeat(char16_t unit, std::size_t count) {
        for (std::size_t i = length_; i < capacity_ && i - length_ < count; ++i) {
            buffer_[i] = unit;
        }
        length_ += count;
    }
    std::size_t length() const { return length_; }

private:
    char16_t* buffer_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

enum class Size { none, hh, h, l, ll, i32, i64, pointer, intmax, wide };

struct Directive {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    std::size_t width = 0;
    long precision = -1;  // none
    Size size = Size::none;
    char16_t type = 0;
};

class Arguments {
public:
    explicit Arguments(std::va_list args) { va_copy(list_, args); }
    ~Arguments() { va_end(list_); }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    template <typename T>
    T next() {
        return va_arg(list_, T);
    }

private:
    std::va_list list_;
};

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

std::size_t readNumber(const char16_t*& p) {
    std::size_t n = 0;
    for (; isDigit(*p); ++p) {
        n = n * 10 + static_cast<std::size_t>(*p - u'0');
        if (n > INT_MAX) {
            n = INT_MAX;
        }
    }
    return n;
}

void readFlags(const char16_t*& p, Directive& directive) {
    for (;; ++p) {
        switch (*p) {
            case u'-':
                directive.left = true;
                break;
            case u'+':
                directive.plus = true;
                break;
            case u' ':
                directive.space = true;
                break;
            case u'#':
                directive.alternate = true;
                break;
            case u'0':
                directive.zero = true;
                break;
            default:
                return;
        }
    }
}

void readWidth(const char16_t*& p, Directive& directive, Arguments& args) {
    if (*p != u'*') {
        directive.width = readNumber(p);
        return;
    }
    ++p;
    long const width = args.next<int>();
    if (width < 0) {
        directive.left = true;
    }
    directive.width = static_cast<std::size_t>(width < 0 ? -width : width);
}

void readPrecision(const char16_t*& p, Directive& directive, Arguments& args) {
    if (*p != u'.') {
        return;
    }
    ++p;
    if (*p == u'*') {
        ++p;
        int const precision = args.next<int>();
        directive.precision = precision < 0 ? -1 : precision;
        return;
    }
    directive.precision = static_cast<long>(readNumber(p));
}

bool startsWith(const char16_t* p, std::u16string_view prefix) {
    for (char16_t c : prefix) {
        if (*p++ != c) {
            return false;
        }
    }
    return true;
}

void readSize(const char16_t*& p, Directive& directive) {
    // Most directives have no size; one look at the unit settles that.
    if (std::u16string_view(u"Ihlwjzt").find(*p) == std::u16string_view::npos) {
        return;
    }
    struct Prefix {
        std::u16string_view text;
        Size size;
    };
    // Longer prefixes first: "I64" before "I", "ll" before "l".
    static constexpr Prefix prefixes[] = {
        {u"I64", Size::i64},  {u"I32", Size::i32},   {u"I", Size::pointer}, {u"hh", Size::hh},
        {u"h", Size::h},      {u"ll", Size::ll},     {u"l", Size::l},       {u"w", Size::wide},
        {u"j", Size::intmax}, {u"z", Size::pointer}, {u"t", Size::pointer}};
    for (const Prefix& prefix : prefixes) {
        if (startsWith(p, prefix.text)) {
            p += prefix.text.size();
            directive.size = prefix.size;
            return;
        }
    }
}

long long signedArgument(Size size, Arguments& args) {
    switch (size) {
        case Size::hh:
            return static_cast<signed char>(args.next<int>());
        case Size::h:
            return static_cast<short>(args.next<int>());
        case Size::l:
            return args.next<long>();
        case Size::ll:
        case Size::i64:
        case Size::intmax:
            return args.next<long long>();
        case Size::pointer:
            return args.next<std::intptr_t>();
        default:
            return args.next<int>();
    }
}

unsigned long long unsignedArgument(Size size, Arguments& args) {
    switch (size) {
        case Size::hh:
            return static_cast<unsigned char>(args.next<unsigned>());
        case Size::h:
            return static_cast<unsigned short>(args.next<unsigned>());
        case Size::l:
            return args.next<unsigned long>();
        case Size::ll:
        case Size::i64:
        case Size::intmax:
            return args.next<unsigned long long>();
        case Size::pointer:
            return args.next<std::uintptr_t>();
        default:
            return args.next<unsigned>();
    }
}

// Puts text in a field of the directive's width.
// A field: the prefix (sign or radix), then zeros that a precision asks
// for, then the body, padded to the width. The zeros are counted, never
// built, so that a precision near INT_MAX costs no memory when measuring.
void putField(Output& out, const Directive& directive, std::u16string_view prefix,
              std::size_t zeros, std::u16string_view body, char16_t pad) {
    std::size_t const length = prefix.size() + zeros + body.size();
    std::size_t const fill = directive.width > length ? directive.width - length : 0;
    if (directive.left) {
        out.put(prefix);
        out.repeat(u'0', zeros);
        out.put(body);
        out.repeat(u' ', fill);
    } else if (pad == u'0') {
        out.put(prefix);
        out.repeat(u'0', fill + zeros);
        out.put(body);
    } else {
        out.repeat(u' ', fill);
        out.put(prefix);
        out.repeat(u'0', zeros);
        out.put(body);
    }
}

char16_t padOf(const Directive& directive) {
    return directive.zero && !directive.left ? u'0' : u' ';
}

void putInteger(Output& out, const Directive& directive, unsigned long long magnitude,
                bool negative, bool isSigned) {
    unsigned const base = directive.type == u'o'                               ? 8
                          : (directive.type == u'x' || directive.type == u'X') ? 16
                                                                               : 10;
    const char* const digitChars = directive.type == u'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char16_t digits[64];
    std::size_t count = 0;
    for (unsigned long long v = magnitude; v != 0; v /= base) {
        digits[count++] = static_cast<char16_t>(digitChars[v % base]);
    }
    std::size_t const precision =
        directive.precision < 0 ? 1 : static_cast<std::size_t>(directive.precision);
    std::size_t const zeros = precision > count ? precision - count : 0;
    std::reverse(digits, digits + count);
    std::u16string_view const body(digits, count);
    std::u16string_view prefix;
    if (isSigned) {
        prefix = negative ? u"-" : directive.plus ? u"+" : directive.space ? u" " : u"";
    } else if (directive.alternate && magnitude != 0) {
        if (directive.type == u'x') {
            prefix = u"0x";
        } else if (directive.type == u'X') {
            prefix = u"0X";
        } else if (directive.type == u'o' && zeros == 0) {
            prefix = u"0";
        }
    }
    putField(out, directive, prefix, zeros, body, padOf(directive));
}

void putSigned(Output& out, const Directive& directive, Arguments& args) {
    long long const value = signedArgument(directive.size, args);
    unsigned long long const magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                                   : static_cast<unsigned long long>(value);
    putInteger(out, directive, magnitude, value < 0, true);
}

void putPointer(Output& out, Directive directive, Arguments& args) {
    directive.type = u'X';
    directive.precision = 2 * sizeof(void*);
    directive.alternate = false;
    putInteger(out, directive, reinterpret_cast<std::uintptr_t>(args.next<void*>()), false, false);
}

std::u16string_view limited(std::u16string_view text, const Directive& directive) {
    if (directive.precision >= 0 && static_cast<std::size_t>(directive.precision) < text.size()) {
        return text.substr(0, static_cast<std::size_t>(directive.precision));
    }
    return text;
}

void putWideString(Output& out, const Directive& directive, Arguments& args) {
    const char16_t* text = args.next<const char16_t*>();
    if (text == nullptr) {
        text = u"(null)";
    }
    // With a precision the text need not be terminated within it.
    std::size_t length = 0;
    std::size_t const limit =
        directive.precision < 0 ? SIZE_MAX : static_cast<std::size_t>(directive.precision);
    while (length < limit && text[length] != 0) {
        ++length;
    }
    putField(out, directive, u"", 0, std::u16string_view(text, length), padOf(directive));
}

void putNarrowString(Output& out, const Directive& directive, Arguments& args) {
    const char* const text = args.next<const char*>();
    if (text == nullptr) {
        putField(out, directive, u"", 0, limited(u"(null)", directive), padOf(directive));
        return;
    }
    std::size_t length = 0;
    std::size_t const limit =
        directive.precision < 0 ? SIZE_MAX : static_cast<std::size_t>(directive.precision);
    while (length < limit && text[length] != '\0') {
        ++length;
    }
    std::u16string wide;
    posix::decodeLocale(std::string_view(text, length), wide);
    putField(out, directive, u"", 0, limited(wide, directive), padOf(directive));
}

void putWideCharacter(Output& out, const Directive& directive, Arguments& args) {
    char16_t const unit = static_cast<char16_t>(args.next<int>());
    putField(out, directive, u"", 0, std::u16string_view(&unit, 1), padOf(directive));
}

void putNarrowCharacter(Output& out, const Directive& directive, Arguments& args) {
    char const byte = static_cast<char>(args.next<int>());
    std::u16string wide;
    posix::decodeLocale(std::string_view(&byte, 1), wide);
    putField(out, directive, u"", 0, wide, padOf(directive));
}

bool isNarrow(const Directive& directive) {
    bool const upper = directive.type == u'S' || directive.type == u'C';
    if (directive.size == Size::h) {
        return true;
    }
    if (directive.size == Size::l || directive.size == Size::wide) {
        return false;
    }
    return upper;
}

bool putConversion(Output& out, const Directive& directive, Arguments& args) {
    switch (directive.type) {
        case u'd':
        case u'i':
            putSigned(out, directive, args);
            return true;
        case u'u':
        case u'x':
        case u'X':
        case u'o':
            putInteger(out, directive, unsignedArgument(directive.size, args), false, false);
            return true;
        case u's':
        case u'S':
            isNarrow(directive) ? putNarrowString(out, directive, args)
                                : putWideString(out, directive, args);
            return true;
        case u'c':
        case u'C':
            isNarrow(directive) ? putNarrowCharacter(out, directive, args)
                                : putWideCharacter(out, directive, args);
            return true;
        case u'p':
            putPointer(out, directive, args);
            return true;
        case u'%':
            out.put(u'%');
            return true;
        default:
            return false;
    }
}

bool format(Output& out, const char16_t* format, std::va_list list) {
    if (format == nullptr) {
        return false;
    }
    Arguments args(list);
    for (const char16_t* p = format; *p != 0;) {
        if (*p != u'%') {
            out.put(*p++);
            continue;
        }
        ++p;
        Directive directive;
        readFlags(p, directive);
        readWidth(p, directive, args);
        readPrecision(p, directive, args);
        readSize(p, directive);
        directive.type = *p;
        if (directive.type == 0 || !putConversion(out, directive, args)) {
            return false;
        }
        ++p;
    }
    return out.length() <= static_cast<std::size_t>(INT_MAX);
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
