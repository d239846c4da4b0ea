// Windows' code page tables, as data.
//
// The tables under tables/ are generated from the ones Windows publishes
// (tools/gen_code_pages.py), in a form small enough to keep in the tree:
// each direction of a page is rebuilt from them when the page is first used.
#pragma once

#include <cstdint>
#include <span>

namespace platform::code_pages {

// The characters of one lead byte: trail bytes firstTrail..lastTrail give
// the units from units[offset] on; every other trail gives the page's
// default unit.
struct LeadByteRow {
    unsigned char lead;
    unsigned char firstTrail;
    unsigned char lastTrail;
    std::uint16_t offset;
};

// The bytes of a unit, a lead byte and its trail above 0xFF.
struct UnitBytes {
    char16_t unit;
    std::uint16_t bytes;
};

struct CodePageTable {
    unsigned number;
    // The bytes that stand for what the page lacks, and the unit that a
    // broken double-byte character reads as.
    std::uint16_t defaultChar;
    char16_t defaultUnit;
    // The unit of each single byte (a lead byte's is never read), then the
    // rows' units.
    const char16_t* units;
    std::span<const LeadByteRow> rows;
    // The units whose bytes are not the first byte sequence, in the order of
    // its value, that reads as them: best-fit substitutes, mostly. A unit
    // that neither lists nor reads back gets defaultChar.
    std::span<const UnitBytes> remaps;
};

// The table of a Windows ANSI code page; null for any other page.
const CodePageTable* findCodePageTable(unsigned number);

}  // namespace platform::code_pages
