// POSIX backend only, to emulate Windows: text in the locale's encoding, decoded a
// character at a time for the standard input.
#include "platform/posix/locale_text.h"

#include <climits>
#include <cwchar>

#include "platform/name_codec.h"

namespace platform::posix {

static_assert(sizeof(wchar_t) == 4, "the C library's wide characters hold whole code points");

namespace {

int escapeFirstByte(ByteSource& source, char16_t (&units)[2], std::string& bytes) {
    const auto first = static_cast<unsigned char>(bytes[0]);
    units[0] = first >= 0x80 ? escapeOf(first) : first;
    source.unread(std::string_view(bytes).substr(1));
    bytes.resize(1);
    return 1;
}

class StringSource : public ByteSource {
public:
    explicit StringSource(std::string_view text) : bytes(text) {}

    int next() override {
        return position < bytes.size() ? static_cast<unsigned char>(bytes[position++]) : -1;
    }
    void unread(std::string_view bytes) override { position -= bytes.size(); }

private:
    std::string_view bytes;
    std::size_t position = 0;
};

}  // namespace

void encodeForLocale(std::u16string_view text, std::string& out) {
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = codePointOfPair(text[i], text[i + 1]);
            ++i;
        } else if (standsForByte(text[i])) {
            out.push_back(byteOf(text[i]));
            continue;
        } else if (isSurrogate(c)) {
            out.push_back('?');
            continue;
        }
        const std::size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(c), &state);
        if (n == static_cast<std::size_t>(-1)) {
            out.push_back('?');
            state = std::mbstate_t{};
            continue;
        }
        out.append(buffer, n);
    }
    // A stateful encoding ends in its initial shift state; the terminator
    // that wcrtomb writes along with the shift sequence is left out.
    if (!std::mbsinit(&state)) {
        const std::size_t n = std::wcrtomb(buffer, L'\0', &state);
        if (n != static_cast<std::size_t>(-1) && n > 1) {
            out.append(buffer, n - 1);
        }
    }
}

int readLocaleCharacter(ByteSource& source, char16_t (&units)[2], std::string& bytes) {
    bytes.clear();
    std::mbstate_t state{};
    while (true) {
        const int c = source.next();
        if (c < 0) {
            return bytes.empty() ? 0 : escapeFirstByte(source, units, bytes);
        }
        bytes.push_back(static_cast<char>(c));
        const char byte = static_cast<char>(c);
        wchar_t wide = 0;
        const std::size_t result = std::mbrtowc(&wide, &byte, 1, &state);
        if (result == static_cast<std::size_t>(-2)) {
            continue;
        }
        const auto codePoint = static_cast<char32_t>(wide);
        if (result == static_cast<std::size_t>(-1) || codePoint > 0x10FFFF ||
            isSurrogate(codePoint)) {
            return escapeFirstByte(source, units, bytes);
        }
        return static_cast<int>(putCodePoint(codePoint, units) - units);
    }
}

void decodeLocale(std::string_view bytes, std::u16string& out) {
    StringSource source(bytes);
    char16_t units[2];
    std::string scratch;
    while (const int count = readLocaleCharacter(source, units, scratch)) {
        out.append(units, static_cast<std::size_t>(count));
    }
}

}  // namespace platform::posix
