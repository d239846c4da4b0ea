// The name codec, between the bytes of names and UTF-16 with lone surrogates
// for stray bytes.
#include "platform/name_codec.h"

#include "platform/platform.h"

namespace platform {

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
        const std::size_t length = wellFormedUtf8Length(p, end);
        if (length == 0) {
            *q++ = escapeOf(b);
            ++p;
            continue;
        }
        q = putCodePoint(codePointOfUtf8(p, length), q);
        p += length;
    }
    out.resize(static_cast<std::size_t>(q - out.data()));
}

namespace {

// What a lone surrogate that stands for no byte becomes; replaced, every lone
// surrogate becomes U+FFFD.
enum class Stray { fails, questionMark, replaced };

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
        } else if (standsForByte(u) && stray != Stray::replaced) {
            *q++ = byteOf(u);
        } else if (isSurrogate(u)) {
            if (stray == Stray::fails) {
                return false;
            }
            if (stray == Stray::replaced) {
                q = putUtf8(U'\uFFFD', q);
            } else {
                *q++ = '?';
            }
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

void encodeUtf8(std::u16string_view text, std::string& out) {
    encodeUnits(text, '\\', Stray::replaced, out);
}

bool encodeForSystem(std::u16string_view path, std::string& out) {
    out.clear();
    if (!encodePath(path, out)) {
        SetLastError(errorInvalidName);
        return false;
    }
    return true;
}

bool encodeForSystem(const char16_t* path, std::string& out) {
    if (path == nullptr) {
        SetLastError(errorInvalidParameter);
        return false;
    }
    return encodeForSystem(std::u16string_view(path), out);
}

}  // namespace platform
