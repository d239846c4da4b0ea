// The wildcard matcher against a table, against plain backtracking on every small
// case, and on a hostile pattern.
#include "fs/wildcard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace kestrel {
namespace {

struct MatchCase {
    std::u16string name;
    std::u16string pattern;
    bool matches;
    LetterCase letterCase = LetterCase::ignored;
};

TEST(MatchWildcard, Table) {
    const MatchCase cases[] = {{u"abc", u"*", true},
                               {u"abc", u"a*", true},
                               {u"abc", u"*c", true},
                               {u"abc", u"a?c", true},
                               {u"abc", u"a*b*c", true},
                               {u"abc", u"ABC", true},
                               {u"", u"*", true},
                               {u"", u"", true},
                               {u"abc", u"*b", false},
                               {u"abc", u"ab", false},
                               {u"abc", u"abcd", false},
                               {u"ac", u"a?c", false},
                               {u"", u"?", false},
                               {u"abc", u"*.*", false},
                               {u"a.txt", u"*.*", true},
                               {u"abcbc", u"*bc", true},
                               {u"abcbd", u"*bc", false},
                               {u"README.TXT", u"*.txt", true},
                               {u"abc", u"ABC", false, LetterCase::exact},
                               {u"README.TXT", u"*.txt", false, LetterCase::exact},
                               {u".git", u".git", true, LetterCase::exact},
                               {u"a\u00C9c", u"a?c", true, LetterCase::exact},
                               {u"x.txt", u"*.t?t", true, LetterCase::exact}};
    for (const MatchCase& c : cases) {
        EXPECT_EQ(matchWildcard(c.name, c.pattern, c.letterCase), c.matches)
            << ::testing::PrintToString(c.name) << " against "
            << ::testing::PrintToString(c.pattern);
    }
}

// The matcher as plain recursive backtracking: slow, but plainly right.
bool matchesByBacktracking(std::u16string_view name, std::u16string_view pattern) {
    if (pattern.empty()) {
        return name.empty();
    }
    if (pattern[0] == u'*') {
        for (std::size_t from = 0; from <= name.size(); ++from) {
            if (matchesByBacktracking(name.substr(from), pattern.substr(1))) {
                return true;
            }
        }
        return false;
    }
    if (name.empty()) {
        return false;
    }
    const bool same =
        pattern[0] == u'?' || platform::CharLowerW(pattern[0]) == platform::CharLowerW(name[0]);
    return same && matchesByBacktracking(name.substr(1), pattern.substr(1));
}

void addEveryString(std::u16string_view alphabet, std::size_t maxLength,
                    std::vector<std::u16string>& out) {
    out = {u""};
    for (std::size_t first = 0; first < out.size(); ++first) {
        if (out[first].size() == maxLength) {
            continue;
        }
        for (char16_t c : alphabet) {
            out.push_back(out[first] + c);
        }
    }
}

TEST(MatchWildcard, AgreesWithBacktrackingOnEverySmallCase) {
    std::vector<std::u16string> names;
    std::vector<std::u16string> patterns;
    addEveryString(u"ab", 6, names);
    addEveryString(u"aB*?", 4, patterns);
    for (const std::u16string& pattern : patterns) {
        for (const std::u16string& name : names) {
            ASSERT_EQ(matchWildcard(name, pattern), matchesByBacktracking(name, pattern))
                << ::testing::PrintToString(name) << " against "
                << ::testing::PrintToString(pattern);
        }
    }
}

// Backtracking would try more ways to place the stars here than it could
// ever finish; the test passes by ending at all.
TEST(MatchWildcard, HostilePatternEndsQuickly) {
    const std::u16string name(1000, u'a');
    std::u16string pattern;
    for (int i = 0; i < 50; ++i) {
        pattern += u"a*";
    }
    EXPECT_FALSE(matchWildcard(name, pattern + u"b"));
    EXPECT_TRUE(matchWildcard(name, pattern + u"a"));
}

}  // namespace
}  // namespace kestrel
