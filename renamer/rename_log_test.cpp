// The log's text form: every path comes back exactly, and whatever is not a
// log is refused at its first wrong line.
#include "renamer/rename_log.h"

#include <gtest/gtest.h>

namespace {

using ansifold::logLine;
using ansifold::LogRecord;
using ansifold::parseLog;

std::string logOf(const std::string& lines) {
    return std::string(ansifold::logFirstLine) + lines;
}

TEST(RenameLog, LinesAreUtf8WithEscapesForWhatWouldBreakThem) {
    EXPECT_EQ(logLine(u"/d/\u00FC\U0001F600", u"/d/u__"), "/d/\xC3\xBC\xF0\x9F\x98\x80\t/d/u__\n");
    EXPECT_EQ(logLine(u"C:\\a\tb\nc\rd\x1B\x7F", u"C:\\x"),
              "C:\\\\a\\tb\\nc\\rd\\u001B\\u007F\tC:\\\\x\n");
    // Lone surrogates, such as the bytes of a Linux name that are not UTF-8.
    EXPECT_EQ(logLine(u"/r\xDCFF/\xD800x\xDC80", u"/r\xDCFF/_x_"),
              "/r\\uDCFF/\\uD800x\\uDC80\t/r\\uDCFF/_x_\n");
}

TEST(RenameLog, EveryPathReadsBackExactly) {
    const std::vector<LogRecord> written = {
        {u"/d/\u00FC\U0001F600", u"/d/u__"},
        {u"C:\\a\tb\nc\rd\x1B\x7F\\e", u"C:\\a\tb\nc\rd\x1B\x7F\\f"},
        {u"/r\xDCFF/\xD800x\xDC80\xDBFF", u"/r\xDCFF/\xDFFF\U0010FFFF"},
        {u"/\\u0041", u"/A"},
    };
    std::string text = logOf("");
    for (const LogRecord& record : written) {
        text += logLine(record.from, record.to);
    }
    std::vector<LogRecord> read;
    std::size_t damaged = 99;
    ASSERT_TRUE(parseLog(text, read, damaged)) << damaged;
    EXPECT_EQ(damaged, 0u);
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].from, written[i].from) << i;
        EXPECT_EQ(read[i].to, written[i].to) << i;
    }
}

TEST(RenameLog, WithdrawnAndCutShortRecordsAreLeftOut) {
    std::vector<LogRecord> read;
    std::size_t damaged = 0;
    ASSERT_TRUE(parseLog(logOf("/d/a\t/d/b\nfailed\n/d/c\t/d/\\u0065\n/d/f\t/d/"), read, damaged));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].from, u"/d/c");
    EXPECT_EQ(read[0].to, u"/d/e");
}

TEST(RenameLog, RefusesTextThatIsNoLogAtItsFirstWrongLine) {
    const struct {
        std::string text;
        std::size_t line;
    } cases[] = {
        {"", 1},
        {"some text\n", 1},
        {"ansifold log 2\n/d/a\t/d/b\n", 1},
        {logOf("failed\n"), 2},
        {logOf("/d/a\t/d/b\nfailed\nfailed\n"), 4},
        {logOf("/d/a\t/d/b\n\n"), 3},
        {logOf("/d/a /d/b\n"), 2},
        {logOf("/d/a\t/d/b\t/d/c\n"), 2},
        {logOf("/d/a\t/e/b\n"), 2},
        {logOf("a\tb\n"), 2},
        {logOf("/d/a\t/d/\n"), 2},
        {logOf("/d/a\\q\t/d/b\n"), 2},
        {logOf("/d/a\\u00G1\t/d/b\n"), 2},
        {logOf("/d/a\\u00\t/d/b\n"), 2},
        {logOf("/d/a\\\t/d/b\n"), 2},
        {logOf("/d/a\r\t/d/b\n"), 2},
        {logOf("/d/\xFF\t/d/b\n"), 2},
        {logOf("/d/\xC0\xAF\t/d/b\n"), 2},
        {logOf("/d/\xE0\x9F\xBF\t/d/b\n"), 2},
        {logOf("/d/\xED\xA0\x80\t/d/b\n"), 2},
        {logOf("/d/\xF4\x90\x80\x80\t/d/b\n"), 2},
        {logOf("/d/\xE3\x81\t/d/b\n"), 2},
    };
    for (const auto& c : cases) {
        std::vector<LogRecord> read;
        std::size_t damaged = 0;
        EXPECT_FALSE(parseLog(c.text, read, damaged)) << c.text;
        EXPECT_EQ(damaged, c.line) << c.text;
    }
}

}  // namespace
