// The C run-time services of the POSIX backend: the locale, the wide printf
// family and standard input read as a Windows program reads it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

// Puts a file with the given bytes on standard input, in a UTF-8 locale,
// and puts the process's own standard input back afterwards.
class PipedInput {
public:
    explicit PipedInput(std::string_view bytes) : savedLocale(std::setlocale(LC_CTYPE, nullptr)) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
        char name[] = "/tmp/ansifold-stdin-XXXXXX";
        const int fd = ::mkstemp(name);
        path = name;
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
        savedInput = ::dup(STDIN_FILENO);
        std::u16string widePath(path.begin(), path.end());
        EXPECT_TRUE(_wfreopen(widePath.c_str(), u"r"));
    }
    ~PipedInput() {
        ::dup2(savedInput, STDIN_FILENO);
        ::close(savedInput);
        std::clearerr(stdin);
        std::remove(path.c_str());
        std::setlocale(LC_CTYPE, savedLocale.c_str());
    }
    PipedInput(const PipedInput&) = delete;
    PipedInput& operator=(const PipedInput&) = delete;

private:
    std::string savedLocale;
    std::string path;
    int savedInput = -1;
};

// One fgetws call with a buffer of count units; nothing when it returns null.
std::optional<std::u16string> line(int count = 260) {
    std::u16string buffer(static_cast<std::size_t>(count) + 1, u'#');
    if (fgetws(buffer.data(), count) == nullptr) {
        return std::nullopt;
    }
    // The text ends at the terminator that fgetws wrote, not at a NUL it read.
    std::size_t end = static_cast<std::size_t>(count) - 1;
    while (end > 0 && buffer[end] != u'\0') {
        --end;
    }
    return buffer.substr(0, end);
}

TEST(StandardInput, ReadsLinesInTextMode) {
    const PipedInput input("one\r\ntwo\rthree\n\nlast");
    EXPECT_EQ(line(), u"one\n");
    EXPECT_EQ(line(), u"two\rthree\n");
    EXPECT_EQ(line(), u"\n");
    EXPECT_EQ(line(), u"last");
    EXPECT_EQ(line(), std::nullopt);
    EXPECT_EQ(line(), std::nullopt);
}

TEST(StandardInput, StopsOneUnitShortOfTheBuffer) {
    const std::string text259(259, 'a');
    const PipedInput input(text259 + "\n" + text259 + "b\n" + std::string(258, 'c') + "\r\n");
    EXPECT_EQ(line(), std::u16string(259, u'a'));
    EXPECT_EQ(line(), u"\n");
    EXPECT_EQ(line(), std::u16string(259, u'a'));
    EXPECT_EQ(line(), u"b\n");
    // The carriage return in the last place gives way to its line feed.
    EXPECT_EQ(line(), std::u16string(258, u'c') + u"\n");
}

TEST(StandardInput, GetcharTakesUpWhereFgetwsStopped) {
    const PipedInput input("abc\xE3\x81\x82z\nnext\n");
    EXPECT_EQ(line(4), u"abc");
    const int bytes[] = {0xE3, 0x81, 0x82, 'z', '\n'};
    for (int expected : bytes) {
        EXPECT_EQ(getchar(), expected);
    }
    EXPECT_EQ(line(), u"next\n");
    EXPECT_EQ(getchar(), eof);
}

TEST(StandardInput, KeepsNulAndUndecodableBytes) {
    const PipedInput input(std::string("a\0b\xFF\xE3\x81\n", 7));
    EXPECT_EQ(line(), std::u16string(u"a\0b\xDCFF\xDCE3\xDC81\n", 7));
}

TEST(StandardInput, NeverSplitsASurrogatePairAcrossReads) {
    const PipedInput input("ab\xF0\x9F\x98\x80\n");
    EXPECT_EQ(line(4), u"ab");
    EXPECT_EQ(line(4), u"\U0001F600\n");
}

class SavedLocale {
public:
    SavedLocale() : saved(std::setlocale(LC_ALL, nullptr)) {}
    ~SavedLocale() { std::setlocale(LC_ALL, saved.c_str()); }
    SavedLocale(const SavedLocale&) = delete;
    SavedLocale& operator=(const SavedLocale&) = delete;

private:
    std::string saved;
};

std::u16string text(const char16_t* name) {
    return name == nullptr ? u"<null>" : name;
}

TEST(Locale, SelectsAndReportsTheLocaleInForce) {
    const SavedLocale saved;
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::all, u"C.UTF-8")), u"C.UTF-8");
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C.UTF-8");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C")), u"C");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, nullptr)), u"C");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::all, u"no_SUCH.locale")), u"<null>");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C\u00E9")), u"<null>");
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
}

// A request is answered from memory only while its outcome is still in
// force; a change made behind its back is undone by asking again.
TEST(Locale, RepeatedRequestStillTakesEffect) {
    const SavedLocale saved;
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C.UTF-8")), u"C.UTF-8");
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C.UTF-8")), u"C.UTF-8");
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C.UTF-8");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C.UTF-8")), u"C.UTF-8");
}

TEST(Strings, LowerCase) {
    struct Row {
        char16_t upper;
        char16_t lower;
    } const rows[] = {{u'A', u'a'},
                      {u'z', u'z'},
                      {u'I', u'i'},
                      {u'\u00C9', u'\u00E9'},
                      {u'\u0130', u'i'},
                      {u'\u0391', u'\u03B1'},
                      {u'\u0416', u'\u0436'},
                      {u'\uFF21', u'\uFF41'},
                      {u'\u3042', u'\u3042'},
                      {u'\xD800', u'\xD800'},
                      {u'1', u'1'}};
    for (const Row& row : rows) {
        EXPECT_EQ(CharLowerW(row.upper), row.lower) << static_cast<int>(row.upper);
    }
}

struct Results {
    int measured;
    int formatted;
};

Results formatBoth(const char16_t* format, ...) {
    char16_t buffer[32];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const Results results{_vscwprintf(format, args), _vsnwprintf(buffer, 32, format, again)};
    va_end(again);
    va_end(args);
    return results;
}

// The Windows run-time library prints an unknown conversion's letter and
// takes flags, widths, precisions and sizes; this formatter refuses the whole
// format instead, so that a format it cannot honour shows at once rather
// than as odd text. Nothing is built for a directive it refuses.
TEST(PosixWideFormat, WhatTheProgramDoesNotWriteFailsTheWholeFormat) {
    for (const char16_t* format : {u"%y", u"a%kb", u"%f", u"%n", u"%u", u"%X", u"%ls", u"%5s",
                                   u"%-d", u"%.2147483647d", u"ab%"}) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(format)));
        const Results results = formatBoth(format, 1.5, nullptr);
        EXPECT_EQ(results.measured, -1);
        EXPECT_EQ(results.formatted, -1);
    }
}

TEST(PosixWideFormat, NullFormatFails) {
    const Results results = formatBoth(nullptr);
    EXPECT_EQ(results.measured, -1);
    EXPECT_EQ(results.formatted, -1);
}

}  // namespace
}  // namespace platform
