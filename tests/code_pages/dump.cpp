// Prints every conversion that the fold can meet, for each ANSI code page, so
// that the Windows build's output under Wine and the POSIX build's can be
// compared line for line (compare.py). First each UTF-16 unit's composed
// and decomposed forms and whether it is a nonspacing mark. Then, per page,
// each unit: its bytes as the table has them, then its bytes with "_" for a
// default and whether the default was used. Each byte, and each pair that
// starts at 0x80 or above: its units. A few calls with other defaults. Last,
// each unit's fold, and that of its decomposed form where it has one.
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "renamer/fold_name.h"

namespace {

constexpr unsigned pages[] = {874,  932,  936,  949,  950,  1250, 1251,
                              1252, 1253, 1254, 1255, 1256, 1257, 1258};
constexpr unsigned doubleBytePages[] = {932, 936, 949, 950};

void putHex(std::string& line, unsigned value, int digits) {
    static constexpr char hex[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        line.push_back(hex[(value >> shift) & 0xF]);
    }
}

void putBytes(std::string& line, const char* bytes, int size) {
    line.push_back(' ');
    if (size <= 0) {
        line += "fail";
    }
    for (int i = 0; i < size; ++i) {
        putHex(line, static_cast<unsigned char>(bytes[i]), 2);
    }
}

void putUnits(std::string& line, const char16_t* units, int size) {
    line.push_back(' ');
    if (size <= 0) {
        line += "fail";
    }
    for (int i = 0; i < size; ++i) {
        putHex(line, units[i], 4);
    }
}

void encodeWithDefault(std::string& out, unsigned page, std::u16string_view text,
                       const char* defaultChar, bool askUsed) {
    char bytes[8];
    platform::Bool used = 7;
    const int size =
        platform::WideCharToMultiByte(page, 0, text.data(), static_cast<int>(text.size()), bytes,
                                      sizeof bytes, defaultChar, askUsed ? &used : nullptr);
    putBytes(out, bytes, size);
    if (askUsed) {
        out += used != 0 ? " used" : " -";
    }
}

void dumpUnits(std::string& out, unsigned page) {
    for (unsigned u = 0; u < 0x10000; ++u) {
        const auto unit = static_cast<char16_t>(u);
        putHex(out, u, 4);
        encodeWithDefault(out, page, {&unit, 1}, nullptr, false);
        encodeWithDefault(out, page, {&unit, 1}, "_", true);
        out.push_back('\n');
    }
}

void decode(std::string& out, unsigned page, const char* bytes, int size) {
    char16_t units[8];
    for (int i = 0; i < size; ++i) {
        putHex(out, static_cast<unsigned char>(bytes[i]), 2);
    }
    putUnits(out, units, platform::MultiByteToWideChar(page, 0, bytes, size, units, 8));
    out.push_back('\n');
}

void dumpBytes(std::string& out, unsigned page, bool pairs) {
    for (unsigned first = 0; first < 0x100; ++first) {
        const char single[] = {static_cast<char>(first)};
        decode(out, page, single, 1);
        for (unsigned second = 0; pairs && first >= 0x80 && second < 0x100; ++second) {
            const char pair[] = {static_cast<char>(first), static_cast<char>(second)};
            decode(out, page, pair, 2);
        }
    }
}

// Defaults of one and two bytes, and none, for a unit that no page holds and
// for '?', which is also the pages' own default character, each after a unit
// that no page holds, so that the text is not plain ASCII.
void dumpDefaults(std::string& out, unsigned page) {
    const char* const defaults[] = {"#", "ab", "\x81\x40", "\xA4"};
    for (const char16_t unit : {u'\uFFFF', u'?', u'\uFF1F'}) {
        const char16_t text[] = {u'\uFFFF', unit};
        out += "default ";
        putHex(out, unit, 4);
        encodeWithDefault(out, page, {text, 2}, nullptr, true);
        for (const char* defaultChar : defaults) {
            encodeWithDefault(out, page, {text, 2}, defaultChar, false);
        }
        out.push_back('\n');
    }
}

std::u16string normalized(int form, char16_t unit) {
    char16_t units[8];
    const int size = platform::NormalizeString(form, &unit, 1, units, 8);
    return std::u16string(units, static_cast<std::size_t>(size > 0 ? size : 0));
}

void putText(std::string& line, const std::u16string& text) {
    putUnits(line, text.data(), static_cast<int>(text.size()));
}

// A lone surrogate's forms fail: the normalizer refuses it.
void dumpForms(std::string& out) {
    out = "forms\n";
    for (unsigned u = 0; u < 0x10000; ++u) {
        const auto unit = static_cast<char16_t>(u);
        platform::Word type = 0;
        putHex(out, u, 4);
        putText(out, normalized(platform::normalizationC, unit));
        putText(out, normalized(platform::normalizationD, unit));
        platform::GetStringTypeW(platform::ctCtype3, &unit, 1, &type);
        out += (type & platform::c3Nonspacing) != 0 ? " mark\n" : " -\n";
    }
}

void putFold(std::string& line, unsigned page, const std::u16string& name) {
    std::u16string folded;
    line += ansifold::foldNameThrough(page, &folded, name.c_str()) ? " =" : " fail";
    for (const char16_t unit : folded) {
        putHex(line, unit, 4);
    }
}

void dumpFolds(std::string& out, unsigned page) {
    for (unsigned u = 0; u < 0x10000; ++u) {
        const std::u16string unit(1, static_cast<char16_t>(u));
        out += "fold ";
        putHex(out, u, 4);
        putFold(out, page, unit);
        if (const std::u16string parts = normalized(platform::normalizationD, unit[0]);
            !parts.empty() && parts != unit) {
            putFold(out, page, parts);
        }
        out.push_back('\n');
    }
}

bool isDoubleByte(unsigned page) {
    for (const unsigned p : doubleBytePages) {
        if (p == page) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main() {
    std::string out;
    dumpForms(out);
    std::fwrite(out.data(), 1, out.size(), stdout);
    for (const unsigned page : pages) {
        out = "page " + std::to_string(page) + "\n";
        dumpUnits(out, page);
        dumpBytes(out, page, isDoubleByte(page));
        dumpDefaults(out, page);
        dumpFolds(out, page);
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
    std::fflush(stdout);
    return 0;
}
