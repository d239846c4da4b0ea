// The fold as two measured conversions, through buffers that spare an entry's
// name an allocation, after spelling each character and its marks the way
// the code page holds them.
#include "renamer/fold_name.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/unicode.h"

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

// The text through the code page and back into out; false where a
// conversion fails. UTF-8 holds every character and takes no default
// character.
bool roundTrip(unsigned codePage, const char16_t* text, std::u16string& out) {
    const char* const fallback = isUtf8(codePage) ? nullptr : defaultCharacter;
    const int ansiSize = toAnsi(codePage, fallback, text, nullptr, 0);
    if (ansiSize <= 0) {
        return false;
    }
    Scratch<char, 1024> ansiBuffer;
    char* const ansi = ansiBuffer.zeroed(static_cast<std::size_t>(ansiSize));
    if (toAnsi(codePage, fallback, text, ansi, ansiSize) == 0) {
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
    out.assign(wide);
    return true;
}

// Whether the code page holds the text exactly. A default character and a
// best-fit substitute both come back as another character, so the round
// trip alone tells.
bool isHeldExactly(unsigned codePage, const std::u16string& text) {
    std::u16string back;
    return roundTrip(codePage, text.c_str(), back) && back == text;
}

std::size_t underscoresIn(std::u16string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), u'_'));
}

// --- Spelling each piece of a name the way the code page holds it ----------
//
// A piece is a base character and the marks (or conjoining jamo) after it.
// Of its canonically equivalent spellings the fold takes the piece as given
// where the code page holds it, so a name the page holds never changes; else
// the most composed spelling that the page holds (e, a circumflex and an
// acute become e-circumflex and an acute in 1258; e and an acute become
// e-acute in 1252); else whichever of the composed spelling and the piece as
// given keeps more of it out of "_".

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

// For each unit of the text, whether it attaches to the one before it; false
// where the system gives no character types. Windows counts the Latin-1
// letters that carry a mark as nonspacing: here they are letters of their
// own, as below U+0300 nothing attaches.
bool findAttaching(std::u16string_view text, std::vector<bool>& attaches) {
    std::vector<platform::Word> types(text.size());
    if (platform::GetStringTypeW(platform::ctCtype3, text.data(), static_cast<int>(text.size()),
                                 types.data()) == 0) {
        return false;
    }
    attaches.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        attaches[i] = mayAttach(text[i]) &&
                      ((types[i] & platform::c3Nonspacing) != 0 || isConjoiningJamo(text[i]));
    }
    return true;
}

// Whether the code page holds some combining mark or conjoining jamo
// exactly (874, 1255, 1256 and 1258 do). Only there can a spelling that
// keeps a mark be held, so only there is a piece as given worth a look, or
// a lone precomposed character worth taking apart (e-circumflex-acute as
// e-circumflex and an acute in 1258); elsewhere a name without marks never
// reaches the normalizer. Looked up once for each page, the first time a
// name needs it.
bool holdsAttachingUnits(unsigned codePage) {
    const unsigned page = codePage == platform::cpAcp ? platform::GetACP() : codePage;
    thread_local unsigned knownPage = platform::cpAcp;
    thread_local bool holds = false;
    if (page == knownPage) {
        return holds;
    }
    std::u16string units;
    for (char32_t c = 0x300; c <= 0xFFFF; ++c) {
        if (!platform::isSurrogate(c)) {
            units.push_back(static_cast<char16_t>(c));
        }
    }
    std::vector<bool> attaches;
    holds = false;
    if (findAttaching(units, attaches)) {
        for (std::size_t i = 0; !holds && i < units.size(); ++i) {
            holds = attaches[i] && isHeldExactly(page, std::u16string(1, units[i]));
        }
    }
    knownPage = page;
    return holds;
}

// The text in one of the system's normal forms; false where it refuses (a
// lone surrogate). Either form yields at most four units for each it reads.
bool normalized(int form, std::u16string_view text, std::u16string& out) {
    out.resize(text.size() * 4);
    const int length = platform::NormalizeString(form, text.data(), static_cast<int>(text.size()),
                                                 out.data(), static_cast<int>(out.size()));
    out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return length > 0;
}

// The code points of a text, each as a view into it.
std::vector<std::u16string_view> codePointsOf(std::u16string_view text) {
    std::vector<std::u16string_view> points;
    for (std::size_t i = 0; i < text.size();) {
        const bool pair = platform::isHighSurrogate(text[i]) && i + 1 < text.size() &&
                          platform::isLowSurrogate(text[i + 1]);
        const std::size_t length = pair ? 2 : 1;
        points.push_back(text.substr(i, length));
        i += length;
    }
    return points;
}

// Every combination of marks with the base makes 2^n spellings: only the
// first four marks after the base are tried composed, further ones stay
// combining in every spelling tried. No script stacks more on one letter
// (Vietnamese two, pointed Hebrew four); a deeper pile costs at most 16 tries.
constexpr std::size_t maxMarksTriedComposed = 4;

// The spelling of a decomposed piece with the marks that the mask picks
// (the highest bit the mark next to the base) composed with the base, and
// the others after it in their order.
bool spelledWith(const std::vector<std::u16string_view>& parts, unsigned mask, std::size_t tried,
                 std::u16string& out) {
    std::u16string head(parts[0]);
    std::u16string rest;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const bool picked = i <= tried && ((mask >> (tried - i)) & 1) != 0;
        (picked ? head : rest) += parts[i];
    }
    if (!normalized(platform::normalizationC, head, out)) {
        return false;
    }
    out += rest;
    return true;
}

// False where a spelling built from a piece's marks is another text: two
// marks of one class that changed places.
bool spellsTheSame(const std::u16string& spelling, const std::u16string& decomposed) {
    std::u16string again;
    return normalized(platform::normalizationD, spelling, again) && again == decomposed;
}

// The most composed of the partly composed spellings of a decomposed piece
// (the fewest units) that the code page holds exactly, the fully composed
// one left out; false where it holds none.
bool partlyComposedHeld(unsigned codePage, const std::u16string& decomposed,
                        const std::u16string& composed, std::u16string& best) {
    const std::vector<std::u16string_view> parts = codePointsOf(decomposed);
    const std::size_t tried = std::min(parts.size() - 1, maxMarksTriedComposed);
    best.clear();
    std::u16string spelling;
    for (unsigned mask = 1u << tried; mask-- > 0;) {
        if (spelledWith(parts, mask, tried, spelling) && spelling != composed &&
            (best.empty() || spelling.size() < best.size()) &&
            spellsTheSame(spelling, decomposed) && isHeldExactly(codePage, spelling)) {
            best = spelling;
        }
    }
    return !best.empty();
}

// Of the composed spelling and the piece as given, where the code page
// holds neither: the composed one where it folds without "_", or with fewer
// and as much kept out of them; else the piece as given, whose base letter
// survives where the composed letter would not (m with an acute in 1252).
const std::u16string& keepsMore(unsigned codePage, const std::u16string& given,
                                const std::u16string& composed) {
    std::u16string givenFold;
    std::u16string composedFold;
    if (!roundTrip(codePage, given.c_str(), givenFold) ||
        !roundTrip(codePage, composed.c_str(), composedFold)) {
        return given;
    }
    const std::size_t lostGiven = underscoresIn(givenFold);
    const std::size_t lostComposed = underscoresIn(composedFold);
    const bool keepsAsMuch = composedFold.size() - lostComposed >= givenFold.size() - lostGiven;
    return lostComposed == underscoresIn(composed) || (keepsAsMuch && lostComposed < lostGiven)
               ? composed
               : given;
}

// Appends the spelling of one piece that the code page serves best. A lone
// character that nothing decomposes has no other spelling. On a page that
// holds no mark, only the fully composed spelling can be held.
void appendSpelling(unsigned codePage, bool marksHeld, std::u16string_view piece,
                    std::u16string& out) {
    const std::u16string given(piece);
    std::u16string decomposed;
    std::u16string composed;
    std::u16string spelling;
    if ((marksHeld && isHeldExactly(codePage, given)) ||
        !normalized(platform::normalizationD, given, decomposed) ||
        (given.size() == 1 && decomposed == given) ||
        !normalized(platform::normalizationC, given, composed)) {
        out += given;
    } else if (isHeldExactly(codePage, composed)) {
        out += composed;
    } else if (marksHeld && partlyComposedHeld(codePage, decomposed, composed, spelling)) {
        out += spelling;
    } else {
        out += keepsMore(codePage, given, composed);
    }
}

// Sets out to the name with each piece spelled the way the code page serves
// best; false where that changes nothing. No character below U+00C0 has
// another spelling.
bool respell(unsigned codePage, std::u16string_view name, std::u16string& out) {
    const bool marksHeld = holdsAttachingUnits(codePage);
    std::vector<bool> attaches;
    if ((!marksHeld && std::none_of(name.begin(), name.end(), mayAttach)) ||
        !findAttaching(name, attaches)) {
        return false;
    }
    out.clear();
    for (std::size_t start = 0; start < name.size();) {
        std::size_t end = start + 1;
        while (end < name.size() && attaches[end]) {
            ++end;
        }
        const std::u16string_view piece = name.substr(start, end - start);
        if (piece.size() == 1 && (!marksHeld || piece[0] < 0xC0)) {
            out += piece;
        } else {
            appendSpelling(codePage, marksHeld, piece, out);
        }
        start = end;
    }
    return out != name;
}

// UTF-8 cannot hold a lone surrogate (a unit of a broken name); it folds to
// the default character, as it does in every other code page.
bool replaceLoneSurrogates(std::u16string_view name, std::u16string& out) {
    bool replaced = false;
    out.assign(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (platform::isHighSurrogate(out[i]) && i + 1 < out.size() &&
            platform::isLowSurrogate(out[i + 1])) {
            ++i;
        } else if (platform::isSurrogate(out[i])) {
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
    std::u16string folded;
    std::u16string respelled;
    bool folds = false;
    if (isUtf8(codePage)) {
        if (name != nullptr && replaceLoneSurrogates(name, respelled)) {
            name = respelled.c_str();
        }
        folds = roundTrip(codePage, name, folded);
    } else {
        // A name that comes back as it was is held as it is, piece by piece.
        folds = roundTrip(codePage, name, folded) &&
                (folded == name || !respell(codePage, name, respelled) ||
                 roundTrip(codePage, respelled.c_str(), folded));
    }
    if (folds && out != nullptr) {
        *out = std::move(folded);
    }
    return folds;
}

}  // namespace ansifold
