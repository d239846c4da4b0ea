// POSIX backend only, to emulate Windows: code pages through iconv, with Windows'
// substitutes for what a page lacks.
#include "platform/posix/iconv_code_page.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/utf16.h"

namespace platform::posix {

namespace {

// Glibc knows each Windows ANSI code page as "CP" and its number.
constexpr unsigned ansiCodePages[] = {874,  932,  936,  949,  950,  1250, 1251,
                                      1252, 1253, 1254, 1255, 1256, 1257, 1258};

std::string iconvNameOf(unsigned codePage) {
    if (codePage == utf8CodePage) {
        return "UTF-8";
    }
    if (std::find(std::begin(ansiCodePages), std::end(ansiCodePages), codePage) ==
        std::end(ansiCodePages)) {
        return {};
    }
    return "CP" + std::to_string(codePage);
}

const char* const utf16Name = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// Windows' best-fit tables stand in a plain letter for one the code page
// lacks, so café becomes cafe under 932 rather than caf_. These are the
// substitutes it uses for the Latin letters with diacritics and a few signs
// of U+00A0..U+017F; '.' marks a character that has none. Every substitute is ASCII, which
// every ANSI code page holds.
constexpr std::string_view latinBestFit =
    "..........a....."   // U+00A0
    "..23.....1o....."   // U+00B0
    "AAAAAAACEEEEIIII"   // U+00C0
    "DNOOOOO.OUUUUYTs"   // U+00D0
    "aaaaaaaceeeeiiii"   // U+00E0
    "dnooooo.ouuuuyty"   // U+00F0
    "AaAaAaCcCcCcCcDd"   // U+0100
    "DdEeEeEeEeEeGgGg"   // U+0110
    "GgGgHhHhIiIiIiIi"   // U+0120
    "Ii..JjKk.LlLlLl."   // U+0130
    ".LlNnNnNn...OoOo"   // U+0140
    "Oo..RrRrRrSsSsSs"   // U+0150
    "SsTtTtTtUuUuUuUu"   // U+0160
    "UuUuWwYyYZzZzZz.";  // U+0170
constexpr char16_t latinBestFitFirst = 0x00A0;
constexpr char16_t fullwidthFirst = 0xFF01;  // fullwidth '!'
constexpr char16_t fullwidthLast = 0xFF5E;   // fullwidth '~'

char bestFitOf(char16_t u) {
    if (u >= fullwidthFirst && u <= fullwidthLast) {
        return static_cast<char>(u - fullwidthFirst + u'!');
    }
    if (u >= latinBestFitFirst && u < latinBestFitFirst + latinBestFit.size()) {
        const char c = latinBestFit[u - latinBestFitFirst];
        return c == '.' ? '\0' : c;
    }
    return '\0';
}

// Glibc's tables leave out single bytes that Windows' own tables map, so
// that names holding them would not survive a fold. Windows gives the C1
// controls to the undefined bytes 0x80..0x9F of its single-byte pages, and
// 932 has five single bytes of its own.
struct ExtraMapping {
    unsigned char byte;
    char16_t unit;
};
constexpr ExtraMapping extras932[] = {
    {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

constexpr std::uint32_t refusedUnit = 0xFFFFFFFF;

// Moves whatever iconv produced into out, and resets the descriptor so
// that a character it holds back (1258 waits for a combining mark) comes out
// before anything that is appended next.
template <typename Unit>
void flush(iconv_t cd, Unit* chunk, std::size_t chunkSize, std::basic_string<Unit>& out) {
    auto* made = reinterpret_cast<char*>(chunk);
    std::size_t madeLeft = chunkSize * sizeof(Unit);
    iconv(cd, nullptr, nullptr, &made, &madeLeft);
    out.append(chunk, chunkSize - madeLeft / sizeof(Unit));
}

// Runs text through cd a chunk at a time. Where iconv stops at input that it
// cannot convert, what it made so far goes out first, and substitute(pos)
// then writes what stands for the input at pos and moves pos past it.
template <typename In, typename Out, typename Substitute>
bool convertInChunks(iconv_t cd, std::basic_string_view<In> text, std::basic_string<Out>& out,
                     Substitute substitute) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    Out chunk[256 / sizeof(Out)];
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto* in = const_cast<char*>(reinterpret_cast<const char*>(text.data() + pos));
        std::size_t inLeft = (text.size() - pos) * sizeof(In);
        auto* made = reinterpret_cast<char*>(chunk);
        std::size_t madeLeft = sizeof chunk;
        const std::size_t result = iconv(cd, &in, &inLeft, &made, &madeLeft);
        const int error = errno;
        out.append(chunk, std::size(chunk) - madeLeft / sizeof(Out));
        pos = text.size() - inLeft / sizeof(In);
        if (result != static_cast<std::size_t>(-1) || error == E2BIG) {
            continue;
        }
        if (error != EILSEQ && error != EINVAL) {
            return false;
        }
        flush(cd, chunk, std::size(chunk), out);
        if (!substitute(pos)) {
            return false;
        }
    }
    flush(cd, chunk, std::size(chunk), out);
    return true;
}

}  // namespace

CodePage* CodePage::find(unsigned number) {
    static std::mutex tableMutex;
    static std::array<std::unique_ptr<CodePage>, std::size(ansiCodePages) + 1> opened;
    std::lock_guard<std::mutex> lock(tableMutex);
    auto slot = opened.begin();
    for (; slot != opened.end() && *slot != nullptr; ++slot) {
        if ((*slot)->pageNumber == number) {
            return slot->get();
        }
    }
    const std::string name = iconvNameOf(number);
    if (name.empty() || slot == opened.end()) {
        return nullptr;
    }
    const auto none = reinterpret_cast<iconv_t>(-1);
    const iconv_t toBytes = iconv_open(name.c_str(), utf16Name);
    const iconv_t toUnits = iconv_open(utf16Name, name.c_str());
    if (toBytes == none || toUnits == none) {
        for (iconv_t cd : {toBytes, toUnits}) {
            if (cd != none) {
                iconv_close(cd);
            }
        }
        return nullptr;
    }
    slot->reset(new CodePage(number, toBytes, toUnits));
    return slot->get();
}

void CodePage::findSingleByteHoles() {
    singleByte = pageNumber == 874 || (pageNumber >= 1250 && pageNumber <= 1258);
    if (!singleByte) {
        return;
    }
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        char byte = static_cast<char>(b);
        char16_t unit = 0;
        char* in = &byte;
        std::size_t inLeft = 1;
        auto* out = reinterpret_cast<char*>(&unit);
        std::size_t outLeft = sizeof unit;
        iconv(toUnits, nullptr, nullptr, nullptr, nullptr);
        holes[b - 0x80] = iconv(toUnits, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1);
    }
    iconv(toUnits, nullptr, nullptr, nullptr, nullptr);
}

// One iconv call per distinct character, ever, rather than several per name:
// each character that a page lacks used to stop iconv and start it again.
bool CodePage::mappingOf(char16_t unit, std::uint32_t& mapping) {
    if (mappings.empty()) {
        mappings.assign(0x10000, 0);
    }
    mapping = mappings[unit];
    if (mapping != 0) {
        return true;
    }
    iconv(toBytes, nullptr, nullptr, nullptr, nullptr);
    auto* in = reinterpret_cast<char*>(&unit);
    std::size_t inLeft = sizeof unit;
    char bytes[8];
    char* out = bytes;
    std::size_t outLeft = sizeof bytes;
    if (iconv(toBytes, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
        if (errno != EILSEQ && errno != EINVAL) {
            return false;
        }
        mapping = refusedUnit;
    } else {
        const std::size_t length = sizeof bytes - outLeft;
        mapping = static_cast<std::uint32_t>(length) << 24;
        for (std::size_t i = 0; i < length && i < 3; ++i) {
            mapping |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
        }
        if (length == 0 || length > 3) {
            return false;
        }
    }
    mappings[unit] = mapping;
    return true;
}

bool CodePage::encodeByCharacter(std::u16string_view text, std::string& out,
                                 std::string_view fallback, bool& usedFallback) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char16_t u = text[pos];
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
            ++pos;
            continue;
        }
        std::uint32_t mapping = refusedUnit;
        if (!isSurrogate(u) && !mappingOf(u, mapping)) {
            return false;
        }
        if (mapping != refusedUnit) {
            for (std::uint32_t i = 0; i < mapping >> 24; ++i) {
                out.push_back(static_cast<char>((mapping >> (8 * i)) & 0xFF));
            }
            ++pos;
        } else if (!substituteUnits(text, pos, out, fallback, usedFallback)) {
            return false;
        }
    }
    return true;
}

bool CodePage::encode(std::u16string_view text, std::string& out, std::string_view fallback,
                      bool& usedFallback) {
    std::lock_guard<std::mutex> lock(mutex);
    if (mapsCharactersAlone()) {
        return encodeByCharacter(text, out, fallback, usedFallback);
    }
    return convertInChunks(toBytes, text, out, [&](std::size_t& pos) {
        return substituteUnits(text, pos, out, fallback, usedFallback);
    });
}

// The character at pos is one the code page cannot hold as it stands.
bool CodePage::substituteUnits(std::u16string_view text, std::size_t& pos, std::string& out,
                               std::string_view fallback, bool& usedFallback) const {
    const char16_t u = text[pos];
    if (isHighSurrogate(u) && pos + 1 < text.size() && isLowSurrogate(text[pos + 1])) {
        // Windows replaces each unit of a pair it cannot map.
        out.append(fallback);
        out.append(fallback);
        usedFallback = true;
        pos += 2;
        return true;
    }
    ++pos;
    if (isUtf8()) {
        if (!isSurrogate(u)) {
            return false;  // iconv refused a character that UTF-8 can hold
        }
        out.append(fallback);
        return true;
    }
    if (singleByte && u >= 0x80 && u <= 0x9F && isSingleByteHole(static_cast<unsigned char>(u))) {
        out.push_back(static_cast<char>(u));
        return true;
    }
    if (pageNumber == 932) {
        for (const ExtraMapping& extra : extras932) {
            if (extra.unit == u) {
                out.push_back(static_cast<char>(extra.byte));
                return true;
            }
        }
    }
    if (const char c = bestFitOf(u); c != '\0') {
        out.push_back(c);
        return true;
    }
    out.append(fallback);
    usedFallback = true;
    return true;
}

bool CodePage::decode(std::string_view bytes, std::u16string& out) {
    std::lock_guard<std::mutex> lock(mutex);
    return convertInChunks(toUnits, bytes, out, [&](std::size_t& pos) {
        substituteByte(static_cast<unsigned char>(bytes[pos++]), out);
        return true;
    });
}

void CodePage::substituteByte(unsigned char byte, std::u16string& out) const {
    if (singleByte && byte <= 0x9F && isSingleByteHole(byte)) {
        out.push_back(static_cast<char16_t>(byte));
        return;
    }
    if (pageNumber == 932) {
        for (const ExtraMapping& extra : extras932) {
            if (extra.byte == byte) {
                out.push_back(extra.unit);
                return;
            }
        }
        out.push_back(u'\u30FB');  // what Windows gives for a broken 932 sequence
        return;
    }
    out.push_back(isUtf8() ? u'\uFFFD' : u'?');
}

// A walk folds every name through the same code page, four conversions per
// name; the page found last is kept so that they need not search the table
// under its lock. Pages, once opened, stay until the process ends.
CodePage* codePageFor(unsigned number) {
    static std::atomic<CodePage*> last{nullptr};
    const unsigned wanted = number == cpAcp ? GetACP() : number;
    CodePage* page = last.load(std::memory_order_acquire);
    if (page == nullptr || page->number() != wanted) {
        page = CodePage::find(wanted);
        if (page != nullptr) {
            last.store(page, std::memory_order_release);
        }
    }
    return page;
}

}  // namespace platform::posix
