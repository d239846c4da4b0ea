// The command-line splitter's rules as a table of lines and the tokens they give.
#include "frame/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrel {
namespace {

struct SplitCase {
    std::u16string line;
    std::vector<std::u16string> tokens;
};

std::vector<std::u16string> split(const std::u16string& line) {
    ArgumentSet set;
    splitCommandLine(line.c_str(), set);
    return set.tokens;
}

TEST(SplitCommandLine, FollowsTheProgramsOwnRules) {
    const SplitCase cases[] = {
        {u"prog  a   b  ", {u"prog", u"a", u"b"}},
        {u"\"C:\\Program Files\\x\\prog.exe\" a", {u"C:\\Program Files\\x\\prog.exe", u"a"}},
        {u"a\tb", {u"a\tb"}},
        {u"\"a b\" c", {u"a b", u"c"}},
        {u"\"a b\"c d", {u"a b\"c d"}},
        {u"\"a b", {u"a b"}},
        {u"x \"  ", {u"x", u"  "}},
        {u"\"\"", {}},
        {u"\"\" x", {u"x"}},
        {u"\"C:\\My Dir\\\" next", {u"C:\\My Dir\\", u"next"}},
        {u"\"a\\\" b\"", {u"a\\", u"b"}},
        {u"a\\\"b c", {u"a\\\"b", u"c"}},
        {u"a\"b c\" d", {u"ab c", u"d"}},
        {u"a\"b c\"d e", {u"ab c\"d e"}},
        {u"ab\"cd", {u"abcd"}},
        {u"a\" b c", {u"a b c"}},
        {u"a\"\"", {u"a"}},
        {u"a\"\"\"", {u"a\""}},
        {u"a\"b\\\\\\\"c\" d", {u"ab\"c", u"d"}},
        {u"C:\\\"a b\"\\x y", {u"C:\\\"a", u"b\\x y"}},
        {u"a\"\\\"\"", {u"a\""}},
        {u"", {}},
        {u"   ", {}},
        // Beyond the basic rules: a closing quote that a backslash escapes
        // stays, and what follows a closed quoted token starts a new one.
        {u"a\"b\\\"", {u"ab\""}},
        {u"\"a\"\"b\" c", {u"a\"\"b", u"c"}},
        {u"\"a\"b", {u"a\"b"}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(split(c.line), c.tokens) << "line: " << ::testing::PrintToString(c.line);
    }
}

}  // namespace
}  // namespace kestrel
