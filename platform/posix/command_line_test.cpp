// Arguments joined into a command line that the tokenizer splits back into
// the same arguments.
#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "frame/argument_set.h"
#include "frame/tokenizer.h"
#include "platform/name_codec.h"
#include "platform/platform.h"

namespace platform::posix {
namespace {

std::vector<std::u16string> split(const std::u16string& line) {
    kestrel::ArgumentSet set;
    kestrel::splitCommandLine(line.c_str(), set);
    return set.tokens;
}

// The arguments this very program was started with, as the kernel keeps
// them, come back from GetCommandLineW.
TEST(CommandLine, HoldsTheArgumentsOfTheProcess) {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    std::vector<std::u16string> arguments;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find('\0', start);
        std::u16string& argument = arguments.emplace_back();
        decode(std::string_view(bytes).substr(start, end - start), Backslash::separator, argument);
        start = end + 1;
    }
    ASSERT_FALSE(arguments.empty());
    EXPECT_EQ(split(GetCommandLineW()), split(commandLineOf(arguments)));
    EXPECT_EQ(split(GetCommandLineW()).front(), arguments.front());
}

// Each argument between two others, so that its text has to end where the
// tokenizer ends it and must not swallow or split its neighbours.
TEST(CommandLine, ArgumentsComeBackFromTheTokenizer) {
    const std::u16string carried[] = {
        u"plain",        u"C:\\dir\\",
        u"a\tb",         u"two words",
        u" leading",     u"trailing ",
        u"   ",          u"\"",
        u"\"\"",         u"\"quoted\"",
        u"a\"b",         u"a\\\"b",
        u"dir\\\"x y",   u"ends with \\",
        u"a\" b",        u"\" a",
        u"\"a\" \"b\"",  u"x\" \"",
        u"\\a\" b",      u"\\\\a\" b",
        u"a\\b\" c",     u"\u30D5\u30A1\u30A4\u30EB \u540D",
        u"\xDCFF\xDC80",
    };
    for (const std::u16string& argument : carried) {
        SCOPED_TRACE(testing::PrintToString(argument));
        const std::u16string line = commandLineOf({u"prog", u"first", argument, u"last"});
        EXPECT_EQ(split(line), (std::vector<std::u16string>{u"prog", u"first", argument, u"last"}))
            << testing::PrintToString(line);
    }
}

// These the tokenizer cannot yield; they are left out rather than turned
// into other names. The empty argument vanishes as it does on Windows.
TEST(CommandLine, ArgumentsTheTokenizerCannotYieldAreLeftOut) {
    const std::u16string lost[] = {
        u"", u" a\" b", u"a\\\"b\" c", u"a\" b\\", u"\\ a\" b",
    };
    for (const std::u16string& argument : lost) {
        SCOPED_TRACE(testing::PrintToString(argument));
        std::u16string line;
        if (!argument.empty()) {
            EXPECT_FALSE(appendQuotedArgument(argument, line));
        }
        EXPECT_EQ(split(commandLineOf({u"prog", u"first", argument, u"last"})),
                  (std::vector<std::u16string>{u"prog", u"first", u"last"}));
    }
}

TEST(CommandLine, ProgramPathAlwaysGivesTheFirstToken) {
    for (const std::u16string& program : {std::u16string(), std::u16string(u" a\" b")}) {
        const std::vector<std::u16string> tokens = split(commandLineOf({program, u"x"}));
        ASSERT_EQ(tokens.size(), 2U);
        EXPECT_EQ(tokens[1], u"x");
    }
}

// Every short argument over the characters that matter: when some text makes
// the tokenizer give it back between two neighbours, the quoting must find
// such a text too. Any quoting of an argument of up to four characters
// takes at most nine, so searching all texts up to nine characters settles
// which of them can be carried at all.
TEST(CommandLine, QuotingCarriesEveryArgumentThatSomeTextCarries) {
    const std::u16string alphabet = u"a \"\\";
    std::map<std::u16string, bool> expressible;
    std::vector<std::u16string> texts = {u""};
    for (std::size_t length = 1; length <= 9; ++length) {
        std::vector<std::u16string> longer;
        for (const std::u16string& text : texts) {
            for (char16_t c : alphabet) {
                if (text.empty() && c == u' ') {
                    continue;  // a leading space only separates
                }
                longer.push_back(text + c);
                const std::vector<std::u16string> tokens = split(u"x " + longer.back() + u" z");
                if (tokens.size() == 3 && tokens[0] == u"x" && tokens[2] == u"z" &&
                    tokens[1].size() <= 4) {
                    expressible[tokens[1]] = true;
                }
            }
        }
        texts = std::move(longer);
    }
    std::vector<std::u16string> arguments = {u""};
    for (std::size_t length = 1; length <= 4; ++length) {
        std::vector<std::u16string> longer;
        for (const std::u16string& argument : arguments) {
            for (char16_t c : alphabet) {
                longer.push_back(argument + c);
                std::u16string line;
                const bool carried = appendQuotedArgument(longer.back(), line);
                EXPECT_EQ(carried, expressible.count(longer.back()) == 1)
                    << testing::PrintToString(longer.back());
                if (carried) {
                    EXPECT_EQ(split(u"x " + line + u" z"),
                              (std::vector<std::u16string>{u"x", longer.back(), u"z"}));
                }
            }
        }
        arguments = std::move(longer);
    }
}

}  // namespace
}  // namespace platform::posix
