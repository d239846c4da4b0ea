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
    int const length = _vscwprintf(format, args);
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
    Formatted const formatted = formatInto(128, format, args...);
    ASSERT_EQ(formatted.result, static_cast<int>(expected.size()));
    EXPECT_EQ(std::u16string_view(formatted.buffer).substr(0, expected.size()), expected);
    EXPECT_EQ(formatted.buffer[expected.size()], u'\0');
}

const char16_t* const noText = nullptr;
const char* const noBytes = nullptr;

TEST(WideFormat, Strings) {
    expectFormat(u"ab|cd|ef", u"%s|%ls|%ws", u"ab", u"cd", u"ef");
    expectFormat(u"ab|cd", u"%hs|%S", "ab", "cd");
    expectFormat(u"\u30D5\u30A1\U0001F600", u"%s", u"\u30D5\u30A1\U0001F600");
    expectFormat(u"(null)|(null)", u"%s|%hs", noText, noBytes);
    expectFormat(u"(nu|      (n|", u"%.3s|%8.2s|", noText, noText);
    expectFormat(u"   ab|cd   |x", u"%5s|%-5s|%s", u"ab", u"cd", u"x");
    expectFormat(u"000ab", u"%05s", u"ab");
    expectFormat(u"abc|abcdef|", u"%.3s|%.*s|", u"abcdef", -1, u"abcdef");
    expectFormat(u"    ab|", u"%*.*s|", 6, 2, u"abcdef");
    expectFormat(u"abc|   ab|cd   |", u"%.3hs|%5hs|%-5S|", "abcdef", "ab", "cd");
    expectFormat(u"||", u"%.s|%.0s|", u"abc", u"abc");
}

TEST(WideFormat, Characters) {
    expectFormat(u"A|B|C|D|E", u"%c|%lc|%hc|%C|%wc", u'A', u'B', 'C', 'D', u'E');
    expectFormat(u"\u3042", u"%c", u'\u3042');
    expectFormat(u"    x|y  |0000z", u"%5c|%-3c|%05c", u'x', u'y', u'z');
    // A NUL character is part of the text, terminator and all.
    expectFormat(std::u16string_view(u"a\0b", 3), u"a%cb", 0);
}

TEST(WideFormat, Integers) {
    expectFormat(u"-5 7 4294967295 ff FF 10", u"%d %i %u %x %X %o", -5, 7, 4294967295u, 255, 255,
                 8);
    expectFormat(u"-2147483648|ffffffff", u"%d|%x", static_cast<int>(0x80000000u), -1);
    expectFormat(u"4464 4464 1170", u"%hd %hu %hx", 70000, 70000, 70000);
    expectFormat(u"123456 fff 4294967295", u"%ld %lx %lu", 123456L, 0xfffL, 4294967295UL);
    expectFormat(u"-5000000000 123456789a -9 -3 abc", u"%I64d %I64x %lld %I32d %I32x",
                 -5000000000LL, 0x123456789AULL, -9LL, -3, 0xABCu);
    expectFormat(u"-9223372036854775808|18446744073709551615|1777777777777777777777",
                 u"%I64d|%I64u|%I64o", static_cast<long long>(0x8000000000000000ULL), ~0ULL, ~0ULL);
    expectFormat(u"0", u"%d", 0);
}

TEST(WideFormat, IntegerFlagsWidthsAndPrecisions) {
    expectFormat(u"+5| 5|-5|-5|+5", u"%+d|% d|%+d|% d|%+ d", 5, 5, -5, -5, 5);
    expectFormat(u"3|3|3", u"% u|%+u|%+x", 3u, 3u, 3u);
    expectFormat(u"0xff|0XFF|010|0|0", u"%#x|%#X|%#o|%#x|%#o", 255, 255, 8, 0, 0);
    expectFormat(u"  010|010", u"%#5o|%#.3o", 8, 8);
    expectFormat(u"     005|005     |", u"%8.3d|%-8.3d|", 5, 5);
    expectFormat(u"||     |", u"%.0d|%.0x|%5.0d|", 0, 0, 0);
    expectFormat(u"-0000042|42      |+0000042| 0000042|0x000000ff",
                 u"%08d|%-08d|%+08d|% 08d|%#010x", -42, 42, 42, 42, 255);
    expectFormat(u"    1|2    |3    |004|5|", u"%*d|%-*d|%*d|%.*d|%.*d|", 5, 1, 5, 2, -5, 3, 3, 4,
                 -1, 5);
    expectFormat(u"+3   |4    |", u"%-+5d|%0-5d|", 3, 4);
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
        Formatted const formatted = formatInto(row.count, u"%s", u"abc");
        EXPECT_EQ(formatted.result, row.result);
        EXPECT_EQ(std::u16string_view(formatted.buffer).substr(0, row.count + 1), row.buffer);
    }
}

TEST(WideFormat, EmptyTextFitsEveryBuffer) {
    Formatted const none = formatInto(0, u"");
    EXPECT_EQ(none.result, 0);
    EXPECT_EQ(none.buffer[0], u'#');
    Formatted const one = formatInto(1, u"%s", u"");
    EXPECT_EQ(one.result, 0);
    EXPECT_EQ(one.buffer[0], u'\0');
}

TEST(WideFormat, NulCharacterCountsTowardsTheLimit) {
    Formatted const formatted = formatInto(3, u"a%cb", 0);
    EXPECT_EQ(formatted.result, 3);
    EXPECT_EQ(std::u16string_view(formatted.buffer).substr(0, 4), std::u16string_view(u"a\0b#", 4));
}

}  // namespace
}  // namespace platform
