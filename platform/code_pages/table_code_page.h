// The ANSI code pages, from Windows' own tables.
//
// Conversions between UTF-16 and the bytes of a Windows ANSI code page, unit
// for unit and byte for byte as Windows makes them with no flags: best-fit
// substitutes included, and the caller's default character where Windows
// would use it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_pages/code_page_table.h"

namespace platform::code_pages {

class TableCodePage {
public:
    // The page with its tables built on first use and kept: conversions run
    // for every entry of trees with hundreds of thousands of names. Null for
    // a page without tables.
    static const TableCodePage* find(unsigned number);

    unsigned number() const { return table.number; }
    bool isDoubleByte() const { return !table.rows.empty(); }
    std::uint16_t defaultChar() const { return table.defaultChar; }

    // Appends text in the page's bytes to out. With a substitute, a unit
    // that the page holds only as its default character goes out as the
    // substitute (a lead byte and its trail above 0xFF) and sets
    // usedSubstitute; without, every unit goes out as the table has it.
    void encode(std::u16string_view text, const std::uint16_t* substitute, std::string& out,
                bool& usedSubstitute) const;
    // Appends the units of bytes to out.
    void decode(std::string_view bytes, std::u16string& out) const;

private:
    explicit TableCodePage(const CodePageTable& data);

    char16_t unitOfPair(unsigned char lead, unsigned char trail) const;
    char16_t unitOf(std::uint16_t bytes) const;

    const CodePageTable& table;
    // Each byte's row in table.rows, plus one; 0 for a single byte.
    std::uint8_t rowOf[256] = {};
    std::vector<std::uint16_t> bytesOf;
};

}  // namespace platform::code_pages
