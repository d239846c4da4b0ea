// WideCharToMultiByte and MultiByteToWideChar through the C library's iconv,
// with Windows' contract: its sizing, its default character and a part of
// its best-fit mapping.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/last_error.h"
#include "platform/posix/utf16.h"

namespace platform::posix {

namespace {

constexpr unsigned utf8CodePage = 65001;

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
        char const c = latinBestFit[u - latinBestFitFirst];
        return c == '.' ? '\0' : c;
    }
    return '\0';
}

bool isAscii(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t u) { return u < 0x80; });
}

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char b) { return static_cast<unsigned char>(b) < 0x80; });
}

// Collects a conversion's whole output; the caller's buffer receives it
// afterwards, the way the Windows conversions fill it (deliver).
template <typename Unit>
class Sink {
public:
    explicit Sink(std::basic_string<Unit>& out) : out_(out) {}

    void append(const Unit* units, std::size_t count) { out_.append(units, count); }
    void append(Unit unit) { out_.push_back(unit); }
    void append(std::basic_string_view<Unit> units) { out_.append(units); }

private:
    std::basic_string<Unit>& out_;
};

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

// One code page with its pair of iconv descriptors, opened once and kept:
// conversions run for every entry of trees with hundreds of thousands of
// names.
class CodePage {
public:
    static CodePage* find(unsigned number);

    ~CodePage() {
        iconv_close(toBytes_);
        iconv_close(toUnits_);
    }

    unsigned number() const { return number_; }
    bool isUtf8() const { return number_ == utf8CodePage; }
    bool isDoubleByte() const { return !singleByte_ && !isUtf8(); }

    bool encode(std::u16string_view text, Sink<char>& sink, std::string_view fallback,
                bool& usedFallback);
    bool decode(std::string_view bytes, Sink<char16_t>& sink);

private:
    CodePage(unsigned number, iconv_t toBytes, iconv_t toUnits)
        : number_(number), toBytes_(toBytes), toUnits_(toUnits) {
        findSingleByteHoles();
    }

    void findSingleByteHoles();
    bool isSingleByteHole(unsigned char byte) const { return byte >= 0x80 && holes_[byte - 0x80]; }
    // Most pages map each character on its own, whatever stands around it;
    // 1255 and 1258 combine a letter with the marks that follow it.
    bool mapsCharactersAlone() const { return !isUtf8() && number_ != 1255 && number_ != 1258; }
    bool encodeByCharacter(std::u16string_view text, Sink<char>& sink, std::string_view fallback,
                           bool& usedFallback);
    bool mappingOf(char16_t unit, std::uint32_t& mapping);
    bool substituteUnits(std::u16string_view text, std::size_t& pos, Sink<char>& sink,
                         std::string_view fallback, bool& usedFallback) const;
    void substituteByte(unsigned char byte, Sink<char16_t>& sink) const;

    unsigned number_;
    iconv_t toBytes_;
    iconv_t toUnits_;
    bool singleByte_ = false;
    std::array<bool, 128> holes_{};
    // What iconv gave for each unit of the Basic Multilingual Plane once it
    // was asked: the length in the top byte and the bytes below, or
    // refusedUnit; 0 while not asked. Filled as names need it.
    std::vector<std::uint32_t> mappings_;
    std::mutex mutex_;
};

constexpr std::uint32_t refusedUnit = 0xFFFFFFFF;

CodePage* CodePage::find(unsigned number) {
    static std::mutex tableMutex;
    static std::array<std::unique_ptr<CodePage>, std::size(ansiCodePages) + 1> opened;
    std::lock_guard<std::mutex> lock(tableMutex);
    auto slot = opened.begin();
    for (; slot != opened.end() && *slot != nullptr; ++slot) {
        if ((*slot)->number_ == number) {
            return slot->get();
        }
    }
    std::string const name = iconvNameOf(number);
    if (name.empty() || slot == opened.end()) {
        return nullptr;
    }
    auto const none = reinterpret_cast<iconv_t>(-1);
    iconv_t const toBytes = iconv_open(name.c_str(), utf16Name);
    iconv_t const toUnits = iconv_open(utf16Name, name.c_str());
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
    singleByte_ = number_ == 874 || (number_ >= 1250 && number_ <= 1258);
    if (!singleByte_) {
        return;
    }
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        char byte = static_cast<char>(b);
        char16_t unit = 0;
        char* in = &byte;
        std::size_t inLeft = 1;
        auto* out = reinterpret_cast<char*>(&unit);
        std::size_t outLeft = sizeof unit;
        iconv(toUnits_, nullptr, nullptr, nullptr, nullptr);
        holes_[b - 0x80] = iconv(toUnits_, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1);
    }
    iconv(toUnits_, nullptr, nullptr, nullptr, nullptr);
}

// Moves whatever iconv produced into the sink, and resets the descriptor so
// that a character it holds back (1258 waits for a combining mark) comes out
// before anything that is appended next.
template <typename Unit>
void flush(iconv_t cd, Unit* chunk, std::size_t chunkSize, Sink<Unit>& sink) {
    auto* out = reinterpret_cast<char*>(chunk);
    std::size_t outLeft = chunkSize * sizeof(Unit);
    iconv(cd, nullptr, nullptr, &out, &outLeft);
    sink.append(chunk, chunkSize - outLeft / sizeof(Unit));
}

// One iconv call per distinct character, ever, rather than several per name:
// each character that a page lacks used to stop iconv and start it again.
bool CodePage::mappingOf(char16_t unit, std::uint32_t& mapping) {
    if (mappings_.empty()) {
        mappings_.assign(0x10000, 0);
    }
    mapping = mappings_[unit];
    if (mapping != 0) {
        return true;
    }
    iconv(toBytes_, nullptr, nullptr, nullptr, nullptr);
    auto* in = reinterpret_cast<char*>(&unit);
    std::size_t inLeft = sizeof unit;
    char bytes[8];
    char* out = bytes;
    std::size_t outLeft = sizeof bytes;
    if (iconv(toBytes_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
        if (errno != EILSEQ && errno != EINVAL) {
            return false;
        }
        mapping = refusedUnit;
    } else {
        std::size_t const length = sizeof bytes - outLeft;
        mapping = static_cast<std::uint32_t>(length) << 24;
        for (std::size_t i = 0; i < length && i < 3; ++i) {
            mapping |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
        }
        if (length == 0 || length > 3) {
            return false;
        }
    }
    mappings_[unit] = mapping;
    return true;
}

bool CodePage::encodeByCharacter(std::u16string_view text, Sink<char>& sink,
                                 std::string_view fallback, bool& usedFallback) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        char16_t const u = text[pos];
        if (u < 0x80) {
            sink.append(static_cast<char>(u));
            ++pos;
            continue;
        }
        std::uint32_t mapping = refusedUnit;
        if (!isSurrogate(u) && !mappingOf(u, mapping)) {
            return false;
        }
        if (mapping != refusedUnit) {
            for (std::uint32_t i = 0; i < mapping >> 24; ++i) {
                sink.append(static_cast<char>((mapping >> (8 * i)) & 0xFF));
            }
            ++pos;
        } else if (!substituteUnits(text, pos, sink, fallback, usedFallback)) {
            return false;
        }
    }
    return true;
}

bool CodePage::encode(std::u16string_view text, Sink<char>& sink, std::string_view fallback,
                      bool& usedFallback) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (mapsCharactersAlone()) {
        return encodeByCharacter(text, sink, fallback, usedFallback);
    }
    iconv(toBytes_, nullptr, nullptr, nullptr, nullptr);
    char chunk[256];
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto* in = const_cast<char*>(reinterpret_cast<const char*>(text.data() + pos));
        std::size_t inLeft = (text.size() - pos) * sizeof(char16_t);
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        std::size_t const result = iconv(toBytes_, &in, &inLeft, &out, &outLeft);
        int const error = errno;
        sink.append(chunk, sizeof chunk - outLeft);
        pos = text.size() - inLeft / sizeof(char16_t);
        if (result != static_cast<std::size_t>(-1) || error == E2BIG) {
            continue;
        }
        if (error != EILSEQ && error != EINVAL) {
            return false;
        }
        flush(toBytes_, chunk, sizeof chunk, sink);
        if (!substituteUnits(text, pos, sink, fallback, usedFallback)) {
            return false;
        }
    }
    flush(toBytes_, chunk, sizeof chunk, sink);
    return true;
}

// The character at pos is one the code page cannot hold as it stands.
bool CodePage::substituteUnits(std::u16string_view text, std::size_t& pos, Sink<char>& sink,
                               std::string_view fallback, bool& usedFallback) const {
    char16_t const u = text[pos];
    if (isHighSurrogate(u) && pos + 1 < text.size() && isLowSurrogate(text[pos + 1])) {
        // Windows replaces each unit of a pair it cannot map.
        sink.append(fallback);
        sink.append(fallback);
        usedFallback = true;
        pos += 2;
        return true;
    }
    ++pos;
    if (isUtf8()) {
        if (!isSurrogate(u)) {
            return false;  // iconv refused a character that UTF-8 can hold
        }
        sink.append(fallback);
        return true;
    }
    if (singleByte_ && u >= 0x80 && u <= 0x9F && isSingleByteHole(static_cast<unsigned char>(u))) {
        sink.append(static_cast<char>(u));
        return true;
    }
    if (number_ == 932) {
        for (const ExtraMapping& extra : extras932) {
            if (extra.unit == u) {
                sink.append(static_cast<char>(extra.byte));
                return true;
            }
        }
    }
    if (char const c = bestFitOf(u); c != '\0') {
        sink.append(c);
        return true;
    }
    sink.append(fallback);
    usedFallback = true;
    return true;
}

bool CodePage::decode(std::string_view bytes, Sink<char16_t>& sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    iconv(toUnits_, nullptr, nullptr, nullptr, nullptr);
    char16_t chunk[128];
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        char* in = const_cast<char*>(bytes.data() + pos);
        std::size_t inLeft = bytes.size() - pos;
        auto* out = reinterpret_cast<char*>(chunk);
        std::size_t outLeft = sizeof chunk;
        std::size_t const result = iconv(toUnits_, &in, &inLeft, &out, &outLeft);
        int const error = errno;
        sink.append(chunk, std::size(chunk) - outLeft / sizeof(char16_t));
        pos = bytes.size() - inLeft;
        if (result != static_cast<std::size_t>(-1) || error == E2BIG) {
            continue;
        }
        if (error != EILSEQ && error != EINVAL) {
            return false;
        }
        flush(toUnits_, chunk, std::size(chunk), sink);
        substituteByte(static_cast<unsigned char>(bytes[pos]), sink);
        ++pos;
    }
    flush(toUnits_, chunk, std::size(chunk), sink);
    return true;
}

void CodePage::substituteByte(unsigned char byte, Sink<char16_t>& sink) const {
    if (singleByte_ && byte <= 0x9F && isSingleByteHole(byte)) {
        sink.append(static_cast<char16_t>(byte));
        return;
    }
    if (number_ == 932) {
        for (const ExtraMapping& extra : extras932) {
            if (extra.byte == byte) {
                sink.append(extra.unit);
                return;
            }
        }
        sink.append(u'\u30FB');  // what Windows gives for a broken 932 sequence
        return;
    }
    sink.append(isUtf8() ? u'\uFFFD' : u'?');
}

// A walk folds every name through the same code page, four conversions per
// name; the page found last is kept so that they need not search the table
// under its lock. Pages, once opened, stay until the process ends.
CodePage* codePageFor(unsigned number) {
    static std::atomic<CodePage*> last{nullptr};
    unsigned const wanted = number == cpAcp ? GetACP() : number;
    CodePage* page = last.load(std::memory_order_acquire);
    if (page == nullptr || page->number() != wanted) {
        page = CodePage::find(wanted);
        if (page != nullptr) {
            last.store(page, std::memory_order_release);
        }
    }
    return page;
}

template <typename Unit>
std::size_t terminatedLength(const Unit* text) {
    std::size_t n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n + 1;
}

// The checks that both conversions share; false with the last error set
// when the arguments are not ones Windows accepts.
template <typename Unit>
bool validArguments(const void* input, int length, const Unit* output, int outSize) {
    if (input == nullptr || length == 0 || length < -1 || outSize < 0 ||
        (output == nullptr && outSize > 0)) {
        setLastError(errorInvalidParameter);
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
        setLastError(errorInvalidParameter);
        return 0;
    }
    if (outSize == 0) {
        return static_cast<int>(result.size());
    }
    std::size_t const stored = std::min(result.size(), static_cast<std::size_t>(outSize));
    std::transform(result.begin(), result.begin() + stored, buffer,
                   [](From unit) { return static_cast<Unit>(unit); });
    if (stored < result.size()) {
        setLastError(errorInsufficientBuffer);
        return 0;
    }
    return static_cast<int>(result.size());
}

// The last conversion of each direction, kept with its input: a caller sizes
// the output first and then converts the same text again (each name of a walk
// goes through both), and the second call takes the first one's result. The
// strings keep their storage from call to call, so that converting a name
// allocates nothing once names of its length have been seen.
template <typename In, typename Out>
class LastConversion {
public:
    bool holds(const CodePage* page, std::basic_string_view<In> input,
               std::string_view fallback) const {
        return page_ == page && input_ == input && fallback_ == fallback;
    }
    void keep(const CodePage* page, std::basic_string_view<In> input, std::string_view fallback) {
        page_ = page;
        input_.assign(input);
        fallback_.assign(fallback);
    }
    void forget() { page_ = nullptr; }

    std::basic_string<Out>& output() { return output_; }
    bool usedFallback = false;

private:
    const CodePage* page_ = nullptr;
    std::basic_string<In> input_;
    std::string fallback_;
    std::basic_string<Out> output_;
};

thread_local LastConversion<char16_t, char> lastEncoding;
thread_local LastConversion<char, char16_t> lastDecoding;

bool encodeOnce(CodePage& page, std::u16string_view text, std::string_view fallback) {
    if (lastEncoding.holds(&page, text, fallback)) {
        return true;
    }
    lastEncoding.forget();
    std::string& out = lastEncoding.output();
    out.clear();
    Sink<char> sink(out);
    bool used = false;
    if (!page.encode(text, sink, fallback, used)) {
        return false;
    }
    lastEncoding.usedFallback = used;
    lastEncoding.keep(&page, text, fallback);
    return true;
}

bool decodeOnce(CodePage& page, std::string_view bytes) {
    if (lastDecoding.holds(&page, bytes, {})) {
        return true;
    }
    lastDecoding.forget();
    std::u16string& out = lastDecoding.output();
    out.clear();
    Sink<char16_t> sink(out);
    if (!page.decode(bytes, sink)) {
        return false;
    }
    lastDecoding.keep(&page, bytes, {});
    return true;
}

}  // namespace
}  // namespace platform::posix

namespace platform {

int WideCharToMultiByte(unsigned codePage, Dword, const char16_t* text, int length, char* out,
                        int outSize, const char* defaultChar, Bool* usedDefault) {
    if (!posix::validArguments(text, length, out, outSize)) {
        return 0;
    }
    posix::CodePage* const page = posix::codePageFor(codePage);
    if (page == nullptr || (page->isUtf8() && (defaultChar != nullptr || usedDefault != nullptr))) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    std::string_view fallback = page->isUtf8() ? "\xEF\xBF\xBD" : "?";
    if (defaultChar != nullptr && *defaultChar != '\0') {
        // A double-byte default character is a lead byte and its trail.
        bool const twoBytes = page->isDoubleByte() &&
                              static_cast<unsigned char>(defaultChar[0]) >= 0x80 &&
                              defaultChar[1] != '\0';
        std::size_t const size = twoBytes ? 2 : 1;
        fallback = std::string_view(defaultChar, size);
    }
    std::size_t const units =
        length == -1 ? posix::terminatedLength(text) : static_cast<std::size_t>(length);
    std::u16string_view const input(text, units);
    if (posix::isAscii(input)) {
        if (usedDefault != nullptr) {
            *usedDefault = 0;
        }
        return posix::deliver(input, out, outSize);
    }
    if (!posix::encodeOnce(*page, input, fallback)) {
        posix::setLastError(errorNoUnicodeTranslation);
        return 0;
    }
    if (usedDefault != nullptr) {
        *usedDefault = posix::lastEncoding.usedFallback;
    }
    return posix::deliver(std::string_view(posix::lastEncoding.output()), out, outSize);
}

int MultiByteToWideChar(unsigned codePage, Dword, const char* bytes, int length, char16_t* out,
                        int outSize) {
    if (!posix::validArguments(bytes, length, out, outSize)) {
        return 0;
    }
    posix::CodePage* const page = posix::codePageFor(codePage);
    if (page == nullptr) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    std::size_t const size =
        length == -1 ? posix::terminatedLength(bytes) : static_cast<std::size_t>(length);
    std::string_view const input(bytes, size);
    if (posix::isAscii(input)) {
        return posix::deliver(input, out, outSize);
    }
    if (!posix::decodeOnce(*page, input)) {
        posix::setLastError(errorNoUnicodeTranslation);
        return 0;
    }
    return posix::deliver(std::u16string_view(posix::lastDecoding.output()), out, outSize);
}

}  // namespace platform
