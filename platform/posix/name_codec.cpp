// POSIX backend only, to emulate Windows: the name codec, between the bytes of names
// and UTF-16 with lone surrogates for stray bytes.
#include "platform/posix/name_codec.h"

#include "platform/posix/last_error.h"
#include "platform/posix/utf16.h"

namespace platform::posix {

namespace {

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence that starts at p, or 0 when
// the bytes there are not one. Overlong forms, encoded surrogates and code
// points above U+10FFFF are not well formed: they would not survive the way
// back, since the encoder only ever writes shortest forms.
std::size_t wellFormedLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char lead = p[0];
    const std::size_t available = static_cast<std::size_t>(end - p);
    if (lead >= 0xC2 && lead <= 0xDF) {
        return available >= 2 && isContinuation(p[1]) ? 2 : 0;
    }
    // The second byte's range narrows for the leads that would otherwise
    // allow overlong forms (E0, F0), surrogates (ED) or too large values (F4).
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (available < length || p[1] < low || p[1] > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(p[i])) {
            return 0;
        }
    }
    return length;
}

char32_t codePointOf(const unsigned char* p, std::size_t length) {
    static constexpr unsigned char leadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
    char32_t c = p[0] & leadMask[length];
    for (std::size_t i = 1; i < length; ++i) {
        c = (c << 6) | (p[i] & 0x3F);
    }
    return c;
}

}  // namespace

// The writers store through a pointer into room made beforehand: a walk
// passes every name and every directory path through here, and a push_back
// per unit, with its capacity check, was most of that cost.
char* putUtf8(char32_t c, char* p) {
    if (c < 0x800) {
        *p++ = static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (c >> 12));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
    return p;
}

// A byte never gives more than one unit.
void decode(std::string_view bytes, Backslash backslash, std::u16string& out) {
    const char16_t backslashUnit = backslash == Backslash::separator ? u'\\' : escapedBackslash;
    const std::size_t start = out.size();
    out.resize(start + bytes.size());
    char16_t* q = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            *q++ = b == '\\' ? backslashUnit : static_cast<char16_t>(b);
            ++p;
            continue;
        }
        const std::size_t length = wellFormedLength(p, end);
        if (length == 0) {
            *q++ = escapeOf(b);
            ++p;
            continue;
        }
        q = putCodePoint(codePointOf(p, length), q);
        p += length;
    }
    out.resize(static_cast<std::size_t>(q - out.data()));
}

namespace {

// What a lone surrogate that stands for no byte becomes.
enum class Stray { fails, questionMark };

// A unit never gives more than three bytes, and a pair four.
bool encodeUnits(std::u16string_view text, char backslash, Stray stray, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + 3 * text.size());
    char* q = out.data() + start;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u < 0x80) {
            *q++ = u == u'\\' ? backslash : static_cast<char>(u);
        } else if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            q = putUtf8(codePointOfPair(u, text[i + 1]), q);
            ++i;
        } else if (standsForByte(u)) {
            *q++ = byteOf(u);
        } else if (isSurrogate(u)) {
            if (stray == Stray::fails) {
                return false;
            }
            *q++ = '?';
        } else {
            q = putUtf8(u, q);
        }
    }
    out.resize(static_cast<std::size_t>(q - out.data()));
    return true;
}

}  // namespace

bool encodePath(std::u16string_view text, std::string& out) {
    return encodeUnits(text, '/', Stray::fails, out);
}

void encodeText(std::u16string_view text, std::string& out) {
    encodeUnits(text, '\\', Stray::questionMark, out);
}

bool encodeForSystem(std::u16string_view path, std::string& out) {
    out.clear();
    if (!encodePath(path, out)) {
        setLastError(errorInvalidName);
        return false;
    }
    return true;
}

bool encodeForSystem(const char16_t* path, std::string& out) {
    if (path == nullptr) {
        setLastError(errorInvalidParameter);
        return false;
    }
    return encodeForSystem(std::u16string_view(path), out);
}

}  // namespace platform::posix
