// Name patterns with '*' (any run of characters, also none) and '?' (exactly
// one character). Letters compare without regard to case, one UTF-16 unit at
// a time through the system's lower-case mapping, unless asked to compare
// them exactly.
#pragma once

#include <string>
#include <string_view>

namespace platform {

enum class LetterCase { ignored, exact };

// '.' is an ordinary character here, so "*.*" needs a dot in the name.
bool matchWildcard(std::u16string_view name, std::u16string_view pattern,
                   LetterCase letterCase = LetterCase::ignored);

// The name part of a directory search's pattern, for systems that do not
// match it themselves, matched the way Windows users expect: letter case
// ignored, "*" and "*.*" match every name, and a final ".*" may also match
// nothing ("readme.*" finds "readme").
class NamePattern {
public:
    explicit NamePattern(std::u16string_view text);

    bool matches(std::u16string_view name) const;

private:
    std::u16string pattern;
    bool matchesEverything = false;
    bool extensionOptional = false;
};

}  // namespace platform
