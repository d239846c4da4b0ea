// Sorting tokens into options and files, expanding wildcards on a real tree, and
// reading piped input from a file put in place of standard input.
#include "frame/argument_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cuchar>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fs/path.h"
#include "platform/platform.h"

#include "tests/support/temp_dir.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Strings = std::vector<std::u16string>;

struct ClassifyCase {
    Strings tokens;
    Strings options;
    Strings files;
};

TEST(ClassifyTokens, SortsOptionsFromFileArguments) {
    const ClassifyCase cases[] = {
        {{u"-a", u"-b", u"x"}, {u"a", u"b"}, {u"x"}},
        {{u"x", u"-a"}, {}, {u"x", u"-a"}},
        {{u"-a", u"-a"}, {}, {u"-a"}},
        {{u"-a", u"-a", u"-a"}, {}, {u"-a", u"-a"}},
        {{u"-a", u"-a", u"-b"}, {}, {u"-a", u"-b"}},
        {{u"-a", u"-A"}, {u"a", u"A"}, {}},
        {{u"-"}, {u""}, {}},
        {{u":x"}, {u"x"}, {}},
        {{u"--all"}, {u"-all"}, {}},
#if defined(_WIN32)
        {{u"/"}, {u""}, {}},
        {{u"/dir/name"}, {u"dir/name"}, {}},
#else
        // On POSIX a leading "/" starts an absolute path, never an option.
        {{u"/"}, {}, {u"/"}},
        {{u"-a", u"/abs/a", u"rel"}, {u"a"}, {u"/abs/a", u"rel"}},
#endif
        {{u"-*.txt"}, {u"*.txt"}, {}},
        {{u"-x", u"y", u"-x"}, {u"x"}, {u"y", u"-x"}},
        {{u"-a", u"b", u"b"}, {u"a"}, {u"b", u"b"}},
        {{}, {}, {}},
        // A long option stands anywhere up to a lone "--", the rule of
        // equal neighbours aside; after "--" every token is a file argument.
        {{u"x", u"--a", u"-b", u"--c=-d"}, {u"-a", u"-c=-d"}, {u"x", u"-b"}},
        {{u"--a", u"--a", u"-b", u"-b", u"--a"}, {u"-a", u"-a", u"-a"}, {u"-b"}},
        {{u"-a", u"--", u"--b", u"-c", u"--"}, {u"a"}, {u"--b", u"-c", u"--"}},
        {{u"x", u"--", u"--"}, {}, {u"x", u"--"}},
        {{u"---"}, {u"--"}, {}},
    };
    for (const ClassifyCase& c : cases) {
        ArgumentSet set;
        set.tokens = c.tokens;
        classifyTokens(set);
        SCOPED_TRACE(::testing::PrintToString(c.tokens));
        EXPECT_EQ(set.options, c.options);
        EXPECT_EQ(set.files, c.files);
        EXPECT_EQ(set.tokens, c.tokens);
        EXPECT_TRUE(set.pipedLines.empty());
    }
}

TEST(ClassifyTokens, KeepsEachOptionTokenWhole) {
    ArgumentSet set;
    set.tokens = {u"-a", u":b", u"x", u"--c=d", u"-e", u"--", u"--f"};
    classifyTokens(set);
    EXPECT_EQ(set.optionTokens, (Strings{u"-a", u":b", u"--c=d"}));
}

// A small tree in a fresh temporary folder, made the current directory for
// the length of a test.
class WildcardExpansion : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char16_t* name :
             {u"a.txt", u"b.txt", u"c.log", u".hidden", u"sub/d.txt", u"sub/e.txt", u"sub/f.log"}) {
            tree.file(name, "x");
        }
        fs::current_path(tree.path());
    }

    // The file arguments that args give, the matches of each pattern sorted
    // among themselves: the system lists them in an order of its own.
    static Strings filesFrom(const Strings& args) {
        Strings files;
        for (const std::u16string& arg : args) {
            const std::size_t before = files.size();
            addFileArgument(arg, files);
            std::sort(files.begin() + static_cast<std::ptrdiff_t>(before), files.end());
        }
        return files;
    }

    testsupport::TempDir tree;
};

TEST_F(WildcardExpansion, MatchesTakeThePatternsPlaceAndDirectoryPart) {
    struct Case {
        Strings args;
        Strings files;
    } const cases[] = {
        {{u"first", u"*.txt", u"last"}, {u"first", u"a.txt", u"b.txt", u"last"}},
        {{u"sub\\*.txt"}, {u"sub\\d.txt", u"sub\\e.txt"}},
        {{u"sub/*.txt"}, {u"sub/d.txt", u"sub/e.txt"}},
        {{u"sub\\?.LOG"}, {u"sub\\f.log"}},
        {{u"*", u"-"}, {u".hidden", u"a.txt", u"b.txt", u"c.log", u"sub", u"-"}},
        {{u"x", u"*.none", u"nodir\\*.txt", u"nodir/*", u"y"}, {u"x", u"y"}},
        {{u"su?"}, {u"sub"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(filesFrom(c.args), c.files) << ::testing::PrintToString(c.args);
    }
}

TEST_F(WildcardExpansion, DotAndDotDotNeverComeOut) {
    for (const std::u16string pattern : {u"*", u".*", u"sub\\.*", u"?", u"??"}) {
        for (const std::u16string& file : filesFrom({pattern})) {
            EXPECT_TRUE(fileNameOf(file) != u"." && fileNameOf(file) != u"..")
                << ::testing::PrintToString(pattern);
        }
    }
    const Strings dotted = filesFrom({u".*"});
    EXPECT_NE(std::find(dotted.begin(), dotted.end(), u".hidden"), dotted.end());
}

// "\*" names the root of the current drive; a bare name would name an entry
// of the current directory, so the matches keep their leading separator.
TEST_F(WildcardExpansion, LeadingSeparatorOnlyStaysInFront) {
    Strings expected;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(tree.path().root_path(), error)) {
        expected.push_back(u"\\" + entry.path().filename().u16string());
    }
    std::sort(expected.begin(), expected.end());
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(filesFrom({u"\\*"}), expected);
}

// "D:*.txt" lists the current directory of drive D:; its matches keep the
// drive so that they name the entries listed, not entries of the current
// directory. On POSIX a colon is part of a name.
TEST_F(WildcardExpansion, ADriveDesignatorStaysInFront) {
#if defined(_WIN32)
    const std::u16string drive = tree.text().substr(0, 2);
    EXPECT_EQ(filesFrom({drive + u"*.txt"}), (Strings{drive + u"a.txt", drive + u"b.txt"}));
#else
    tree.file(u"C:x.txt", "x");
    EXPECT_EQ(filesFrom({u"C:*.txt"}), (Strings{u"C:x.txt"}));
#endif
}

// Piped input: a temporary file is put in place of standard input for each
// read, and the null device afterwards.
Strings pipedLinesOf(const std::string& bytes) {
#if defined(_WIN32)
    const char* const nullDevice = "NUL";
#else
    const char* const nullDevice = "/dev/null";
#endif
    testsupport::TempDir folder;
    folder.file(u"stdin", bytes);
    const fs::path file = folder / u"stdin";
    Strings lines;
    if (std::freopen(file.string().c_str(), "r", stdin) != nullptr) {
        readPipedLines(lines);
    } else {
        ADD_FAILURE() << "cannot read " << file;
    }
    static_cast<void>(std::freopen(nullDevice, "r", stdin));
    return lines;
}

TEST(ReadPipedLines, CutsInputIntoLines) {
    const std::string x300(300, 'x');
    const std::u16string x259(259, u'x');
    struct Case {
        std::string input;
        Strings lines;
    } const cases[] = {
        {"", {}},
        {"\n", {u""}},
        {"a\n\nb", {u"a", u"", u"b"}},
        {"a\r\nb\r\n", {u"a", u"b"}},
        {" a\tb \n", {u" a\tb "}},
        {std::string(259, 'x') + "\ny\n", {x259, u"y"}},
        {std::string(258, 'x') + "\ny\n", {std::u16string(258, u'x'), u"y"}},
        {x300 + "\nnext\n", {x259, u"next"}},
        {x300, {x259}},
        {"ab\0cd\nnext\n"s, {u"ab", u"next"}},
        {"ab\0cd"s, {u"ab"}},
        {"\0\nz\n"s, {u"", u"z"}},
        {"ab\0"s + x300 + "\nnext\n", {u"ab", u"next"}},
        {"\0"s + std::string(257, 'x') + "\nnext\n", {u"", u"next"}},
        {"\0"s + std::string(258, 'x') + "\nnext\n", {u"", u"next"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pipedLinesOf(c.input), c.lines) << ::testing::PrintToString(c.input);
    }
}

TEST(ReadPipedLines, StoresABoundedAmount) {
    const std::string line = std::string(259, 'y') + "\n";
    std::string input;
    for (int i = 0; i < 80000; ++i) {  // about 20 MB
        input += line;
    }
    const Strings lines = pipedLinesOf(input + "last\n");
    EXPECT_GT(lines.size(), 1000u);
    EXPECT_LT(lines.size() * (sizeof(std::u16string) + 259 * sizeof(char16_t)), 17u << 20);
}

// The bytes of text in the multibyte encoding of the C locale in force, or
// nothing when that encoding cannot hold it.
std::optional<std::string> multibyteOf(std::u16string_view text) {
    std::string bytes;
    std::mbstate_t state{};
    char unit[MB_LEN_MAX];
    for (char16_t c : text) {
        const std::size_t length = std::c16rtomb(unit, c, &state);
        if (length == static_cast<std::size_t>(-1)) {
            return std::nullopt;
        }
        bytes.append(unit, length);
    }
    return bytes;
}

// Decoded through the user's locale, as start-up sets it; under ja_JP.UTF-8
// that is UTF-8 on POSIX and code page 932 on Windows.
TEST(ReadPipedLines, DecodesThroughTheUsersLocale) {
    const char16_t* const before = platform::_wsetlocale(platform::LocaleCategory::all, nullptr);
    const std::u16string saved = before != nullptr ? before : u"C";
    platform::_wsetlocale(platform::LocaleCategory::all, u"");
    const std::u16string line = u"日本語のファイル名";
    const std::u16string longLine(300, u'あ');
    const std::optional<std::string> bytes = multibyteOf(line + u"\n" + longLine + u"\n" + line);
    Strings lines;
    if (bytes) {
        lines = pipedLinesOf(*bytes);
    }
    platform::_wsetlocale(platform::LocaleCategory::all, saved.c_str());
    if (!bytes) {
        GTEST_SKIP() << "the user's locale cannot encode Japanese";
    }
    EXPECT_EQ(lines, (Strings{line, std::u16string(259, u'あ'), line}));
}

}  // namespace
}  // namespace kestrel
