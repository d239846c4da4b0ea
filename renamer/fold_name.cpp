// The fold as two measured conversions, through buffers that spare an entry's
// name an allocation, after composing the marks that a decomposed name holds.
#include "renamer/fold_name.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace ansifold {

namespace {

// "_" as the one-byte string that the conversion takes as default character.
constexpr char defaultCharacter[] = "_";

bool isUtf8(unsigned codePage) {
    return codePage == platform::cpUtf8 ||
           (codePage == platform::cpAcp && platform::GetACP() == platform::cpUtf8);
}

int toAnsi(unsigned codePage, const char* fallback, const char16_t* name, char* out, int size) {
    return platform::WideCharToMultiByte(codePage, 0, name, -1, out, size, fallback, nullptr);
}

int fromAnsi(unsigned codePage, const char* ansi, char16_t* out, int size) {
    return platform::MultiByteToWideChar(codePage, 0, ansi, -1, out, size);
}

// A zero-filled buffer of the size asked for: fixed room that any entry's name
// fits, so that folding the names of a walk allocates nothing, and a vector
// for longer texts.
template <typename Unit, std::size_t fixedUnits>
class Scratch {
public:
    Unit* zeroed(std::size_t size) {
        if (size <= fixed.size()) {
            std::fill_n(fixed.data(), size, Unit{});
            return fixed.data();
        }
        grown.assign(size, Unit{});
        return grown.data();
    }

private:
    std::array<Unit, fixedUnits> fixed;
    std::vector<Unit> grown;
};

// --- Composing decomposed names ---------------------------------------------

// A unit that may be a combining mark or a conjoining jamo. ASCII, Latin-1,
// kana, CJK ideographs and Hangul syllables hold none but the two kana voicing
// marks, so the names of most trees never reach the character types.
bool mayAttach(char16_t c) {
    if (c < 0x300) {
        return false;
    }
    if (c >= 0x3040 && c <= 0x30FF) {
        return c == 0x3099 || c == 0x309A;
    }
    if ((c >= 0x3400 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)) {
        return false;
    }
    if (c >= 0xD800) {
        return c == 0xFB1E || (c >= 0xFE20 && c <= 0xFE2F);
    }
    return true;
}

// The vowels and trailing consonants that compose with the jamo or syllable
// before them, although their combining class is zero.
bool isConjoiningJamo(char16_t c) {
    return c >= 0x1160 && c <= 0x11FF;
}

// Canonical composition of a piece of a name; false where the system refuses
// it (a lone surrogate) or changes a lone base character (a singleton such as
// U+212B, which the code page may hold as it is).
bool composed(std::u16string_view piece, std::u16string& out) {
    auto normalize = [](std::u16string_view text, std::u16string& result) {
        // Composition yields at most three units for every unit it reads.
        result.resize(text.size() * 3);
        const int length = platform::NormalizeString(platform::normalizationC, text.data(),
                                                     static_cast<int>(text.size()), result.data(),
                                                     static_cast<int>(result.size()));
        result.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        return length > 0;
    };
    std::u16string base;
    if (!normalize(piece.substr(0, 1), base) || base != piece.substr(0, 1)) {
        return false;
    }
    return normalize(piece, out);
}

// Sets out to the name with every base character and the marks or jamo that
// follow it composed where a precomposed form exists; false, leaving the name
// to fold as it stands, where nothing composes.
bool composeMarks(std::u16string_view name, std::u16string& out) {
    if (std::none_of(name.begin(), name.end(), mayAttach)) {
        return false;
    }
    std::vector<platform::Word> types(name.size());
    if (platform::GetStringTypeW(platform::ctCtype3, name.data(), static_cast<int>(name.size()),
                                 types.data()) == 0) {
        return false;
    }
    auto attaches = [&](std::size_t i) {
        return (types[i] & platform::c3Nonspacing) != 0 || isConjoiningJamo(name[i]);
    };
    out.clear();
    std::u16string piece;
    for (std::size_t start = 0; start < name.size();) {
        std::size_t end = start + 1;
        while (end < name.size() && attaches(end)) {
            ++end;
        }
        const std::u16string_view sequence = name.substr(start, end - start);
        if (sequence.size() > 1 && composed(sequence, piece)) {
            out += piece;
        } else {
            out += sequence;
        }
        start = end;
    }
    return out != name;
}

// UTF-8 cannot hold a lone surrogate (a unit of a broken name); it folds to
// the default character, as it does in every other code page.
bool replaceLoneSurrogates(std::u16string_view name, std::u16string& out) {
    auto isHigh = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    auto isLow = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    bool replaced = false;
    out.assign(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (isHigh(out[i]) && i + 1 < out.size() && isLow(out[i + 1])) {
            ++i;
        } else if (isHigh(out[i]) || isLow(out[i])) {
            out[i] = u'_';
            replaced = true;
        }
    }
    return replaced;
}

}  // namespace

bool foldName(std::u16string* out, const char16_t* name) {
    return foldNameThrough(platform::cpAcp, out, name);
}

bool foldNameThrough(unsigned codePage, std::u16string* out, const char16_t* name) {
    std::u16string composedName;
    if (name != nullptr && composeMarks(name, composedName)) {
        name = composedName.c_str();
    }
    // UTF-8 holds every character and takes no default character.
    const bool utf8 = isUtf8(codePage);
    const char* const fallback = utf8 ? nullptr : defaultCharacter;
    std::u16string whole;
    if (name != nullptr && utf8 && replaceLoneSurrogates(name, whole)) {
        name = whole.c_str();
    }
    const int ansiSize = toAnsi(codePage, fallback, name, nullptr, 0);
    if (ansiSize <= 0) {
        return false;
    }
    Scratch<char, 1024> ansiBuffer;
    char* const ansi = ansiBuffer.zeroed(static_cast<std::size_t>(ansiSize));
    if (toAnsi(codePage, fallback, name, ansi, ansiSize) == 0) {
        return false;
    }
    const int wideSize = fromAnsi(codePage, ansi, nullptr, 0);
    if (wideSize <= 0) {
        return false;
    }
    Scratch<char16_t, 512> wideBuffer;
    char16_t* const wide = wideBuffer.zeroed(static_cast<std::size_t>(wideSize));
    if (fromAnsi(codePage, ansi, wide, wideSize) == 0) {
        return false;
    }
    if (out != nullptr) {
        out->assign(wide);
    }
    return true;
}

}  // namespace ansifold
