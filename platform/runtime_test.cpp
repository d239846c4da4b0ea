// The wide printf family as the layers above use it. The same cases run
// against the POSIX backend's formatter and, under Wine, against the Windows
// run-time library, so they hold only what both do.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

int measure(const char16_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int length = _vscwprintf(format, args);
    va_end(args);
    return length;
}

// Formats into a buffer of count units that is filled with '#' beforehand,
// so that what the call leaves alone shows.
struct Formatted {
    int result;
    std::u16string buffer;
};

Formatted formatInto(std::size_t count, const char16_t* format, ...) {
    Formatted formatted{0, std::u16string(count + 4, u'#')};
    std::va_list args;
    va_start(args, format);
    formatted.result = _vsnwprintf(formatted.buffer.data(), count, format, args);
    va_end(args);
    return formatted;
}

// One row of the table: the format with its arguments gives expected, both
// by measure and in a buffer with room to spare.
template <typename... Args>
void expectFormat(std::u16string_view expected, const char16_t* format, Args... args) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(format)));
    EXPECT_EQ(measure(format, args...), static_cast<int>(expected.size()));
    const Formatted formatted = formatInto(128, format, args...);
    ASSERT_EQ(formatted.result, static_cast<int>(expected.size()));
    EXPECT_EQ(std::u16string_view(formatted.buffer).substr(0, expected.size()), expected);
    EXPECT_EQ(formatted.buffer[expected.size()], u'\0');
}

const char16_t* const noText = nullptr;

TEST(WideFormat, Strings) {
    expectFormat(u"ab|cd", u"%s|%s", u"ab", u"cd");
    expectFormat(u"\u30D5\u30A1\U0001F600", u"%s", u"\u30D5\u30A1\U0001F600");
    expectFormat(u"(null)", u"%s", noText);
}

TEST(WideFormat, Characters) {
    expectFormat(u"A|\u3042", u"%c|%c", u'A', u'\u3042');
    // A NUL character is part of the text, terminator and all.
    expectFormat(std::u16string_view(u"a\0b", 3), u"a%cb", 0);
}

TEST(WideFormat, Integers) {
    expectFormat(u"-5|0|2147483647|-2147483648", u"%d|%d|%d|%d", -5, 0, 2147483647,
                 static_cast<int>(0x80000000u));
    expectFormat(u"0|ff|7b|ffffffff", u"%x|%x|%x|%x", 0u, 255u, 0x7bu, 0xffffffffu);
    expectFormat(u"C:\\x[-1]|err:7b", u"%s[%d]|err:%x", u"C:\\x", -1, 0x7bu);
}

TEST(WideFormat, PercentAndPlainText) {
    expectFormat(u"100%", u"100%%");
    expectFormat(u"", u"");
    expectFormat(u"->\u30EA\u30CD\u30FC\u30E0\u5931\u6557: a.txt\n",
                 u"->\u30EA\u30CD\u30FC\u30E0\u5931\u6557: %s\n", u"a.txt");
}

// The count includes the terminator's place: text that fills it exactly is
// left without one, and longer text fails.
TEST(WideFormat, TruncationBoundaries) {
    struct Row {
        std::size_t count;
        int result;
        std::u16string_view buffer;  // the first count + 1 units afterwards
    } const rows[] = {
        {0, -1, u"#"},
        {2, -1, u"ab#"},
        {3, 3, u"abc#"},
        {4, 3, std::u16string_view(u"abc\0#", 5)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.count);
        const Formatted formatted = formatInto(row.count, u"%s", u"abc");
        EXPECT_EQ(formatted.result, row.result);
        EXPECT_EQ(std::u16string_view(formatted.buffer).substr(0, row.count + 1), row.buffer);
    }
}

TEST(WideFormat, EmptyTextFitsEveryBuffer) {
    const Formatted none = formatInto(0, u"");
    EXPECT_EQ(none.result, 0);
    EXPECT_EQ(none.buffer[0], u'#');
    const Formatted one = formatInto(1, u"%s", u"");
    EXPECT_EQ(one.result, 0);
    EXPECT_EQ(one.buffer[0], u'\0');
}

TEST(WideFormat, NulCharacterCountsTowardsTheLimit) {
    const Formatted formatted = formatInto(3, u"a%cb", 0);
    EXPECT_EQ(formatted.result, 3);
    EXPECT_EQ(std::u16string_view(formatted.buffer).substr(0, 4), std::u16string_view(u"a\0b#", 4));
}

}  // namespace
}  // namespace platform
