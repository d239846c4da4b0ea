// The plain-name rule, with a table of the reserved ASCII units.
#include "renamer/plain_name.h"

#include <array>

namespace ansifold {

namespace {

constexpr std::u16string_view reservedCharacters = u"\\/:*?\"<>|";

// Every reserved character is ASCII; a table of them keeps the test of a
// name to one look-up per unit.
constexpr std::array<bool, 0x80> reservedAscii = [] {
    std::array<bool, 0x80> table{};
    for (std::size_t c = 0; c < 0x20; ++c) {
        table[c] = true;
    }
    for (char16_t c : reservedCharacters) {
        table[c] = true;
    }
    return table;
}();

bool holdsReservedCharacter(std::u16string_view name) {
    for (char16_t c : name) {
        if (c < reservedAscii.size() && reservedAscii[c]) {
            return true;
        }
    }
    return false;
}

char16_t upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

// The part of a name that Windows matches against the device names: up to
// the first dot, without the spaces before it ("NUL .txt" is NUL).
std::u16string_view deviceStemOf(std::u16string_view name) {
    std::u16string_view stem = name.substr(0, name.find(u'.'));
    while (!stem.empty() && stem.back() == u' ') {
        stem.remove_suffix(1);
    }
    return stem;
}

// Windows reads these as devices whatever extension follows them; the digit
// of COM and LPT may also be a superscript one, two or three.
bool isDeviceName(std::u16string_view name) {
    const std::u16string_view stem = deviceStemOf(name);
    static constexpr std::array<std::u16string_view, 6> devices = {u"CON", u"PRN",    u"AUX",
                                                                   u"NUL", u"CONIN$", u"CONOUT$"};
    for (std::u16string_view device : devices) {
        if (equalsIgnoringCase(stem, device)) {
            return true;
        }
    }
    if (stem.size() != 4) {
        return false;
    }
    const bool port = equalsIgnoringCase(stem.substr(0, 3), u"COM") ||
                      equalsIgnoringCase(stem.substr(0, 3), u"LPT");
    const char16_t digit = stem[3];
    return port && ((digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
                    digit == u'\u00B3');
}

bool isPlainName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..") {
        return false;
    }
    if (name.back() == u'.' || name.back() == u' ') {
        return false;
    }
    return !holdsReservedCharacter(name) && !isDeviceName(name);
}

}  // namespace

bool isSafeFold(std::u16string_view name, std::u16string_view folded) {
    return folded == name || isPlainName(folded);
}

}  // namespace ansifold
