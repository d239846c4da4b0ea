// The wildcard matcher, and the search pattern's rules on top of it.
#include "platform/name_pattern.h"

#include "platform/platform.h"

namespace platform {

namespace {

bool unitMatches(char16_t patternUnit, char16_t nameUnit, LetterCase letterCase) {
    return patternUnit == u'?' || patternUnit == nameUnit ||
           (letterCase == LetterCase::ignored && CharLowerW(patternUnit) == CharLowerW(nameUnit));
}

}  // namespace

// Backtracking to every earlier '*' would be exponential on patterns such as
// "a*a*a*a*b". Only the last '*' seen ever needs to be retried: whatever an
// earlier one could absorb, the later one can absorb just as well. So one
// resume point is kept, and the match costs at most name x pattern steps.
bool matchWildcard(std::u16string_view name, std::u16string_view pattern, LetterCase letterCase) {
    // A walk lists every directory with "*" and asks this for each entry.
    if (pattern == u"*") {
        return true;
    }
    constexpr std::size_t none = std::u16string_view::npos;
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starAt = none;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && unitMatches(pattern[p], name[n], letterCase)) {
            ++p;
            ++n;
        } else if (starAt != none) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

NamePattern::NamePattern(std::u16string_view text) : pattern(text) {
    const bool onlyStars =
        !pattern.empty() && pattern.find_first_not_of(u'*') == std::u16string::npos;
    matchesEverything = onlyStars || pattern == u"*.*";
    extensionOptional = pattern.size() >= 2 && pattern.ends_with(u".*");
}

bool NamePattern::matches(std::u16string_view name) const {
    const std::u16string_view text(pattern);
    return matchesEverything || matchWildcard(name, text) ||
           (extensionOptional && matchWildcard(name, text.substr(0, text.size() - 2)));
}

}  // namespace platform
