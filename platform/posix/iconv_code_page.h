// POSIX backend only, to emulate Windows: code pages through iconv.
//
// Windows code pages through the C library's iconv, mapped as Windows maps
// them: its default character, the single bytes that glibc's tables leave
// out, and a part of its best-fit mapping. What only the POSIX backend needs,
// to give WideCharToMultiByte and MultiByteToWideChar their text.
#pragma once

#include <iconv.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

constexpr unsigned utf8CodePage = 65001;

// One code page with its pair of iconv descriptors, opened once and kept:
// conversions run for every entry of trees with hundreds of thousands of
// names.
class CodePage {
public:
    // The page, opened on first use; null for a page that iconv lacks.
    static CodePage* find(unsigned number);

    ~CodePage() {
        iconv_close(toBytes);
        iconv_close(toUnits);
    }

    unsigned number() const { return pageNumber; }
    bool isUtf8() const { return pageNumber == utf8CodePage; }
    bool isDoubleByte() const { return !singleByte && !isUtf8(); }

    // Appends text in the page's bytes to out. A character that the page
    // lacks goes out as Windows would write it (see substituteUnits), or
    // as fallback, which sets usedFallback.
    bool encode(std::u16string_view text, std::string& out, std::string_view fallback,
                bool& usedFallback);
    // Appends the UTF-16 form of bytes to out; a byte that begins no
    // character of the page becomes what Windows reads it as.
    bool decode(std::string_view bytes, std::u16string& out);

private:
    CodePage(unsigned number, iconv_t encoder, iconv_t decoder)
        : pageNumber(number), toBytes(encoder), toUnits(decoder) {
        findSingleByteHoles();
    }

    void findSingleByteHoles();
    bool isSingleByteHole(unsigned char byte) const { return byte >= 0x80 && holes[byte - 0x80]; }
    // Most pages map each character on its own, whatever stands around it;
    // 1255 and 1258 combine a letter with the marks that follow it.
    bool mapsCharactersAlone() const {
        return !isUtf8() && pageNumber != 1255 && pageNumber != 1258;
    }
    bool encodeByCharacter(std::u16string_view text, std::string& out, std::string_view fallback,
                           bool& usedFallback);
    bool mappingOf(char16_t unit, std::uint32_t& mapping);
    bool substituteUnits(std::u16string_view text, std::size_t& pos, std::string& out,
                         std::string_view fallback, bool& usedFallback) const;
    void substituteByte(unsigned char byte, std::u16string& out) const;

    unsigned pageNumber;
    iconv_t toBytes;
    iconv_t toUnits;
    bool singleByte = false;
    std::array<bool, 128> holes{};
    // What iconv gave for each unit of the Basic Multilingual Plane once it
    // was asked: the length in the top byte and the bytes below, or
    // refusedUnit; 0 while not asked. Filled as names need it.
    std::vector<std::uint32_t> mappings;
    std::mutex mutex;
};

// The page that a conversion names, cpAcp standing for the ANSI code page;
// null when iconv lacks it.
CodePage* codePageFor(unsigned number);

}  // namespace platform::posix
