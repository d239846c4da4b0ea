#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
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
    explicit PipedInput(std::string_view bytes) : savedLocale_(std::setlocale(LC_CTYPE, nullptr)) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
        char name[] = "/tmp/ansifold-stdin-XXXXXX";
        int const fd = ::mkstemp(name);
        path_ = name;
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
        savedInput_ = ::dup(STDIN_FILENO);
        std::u16string widePath(path_.begin(), path_.end());
        EXPECT_TRUE(_wfreopen(widePath.c_str(), u"r"));
    }
    ~PipedInput() {
        ::dup2(savedInput_, STDIN_FILENO);
        ::close(savedInput_);
        std::clearerr(stdin);
        std::remove(path_.c_str());
        std::setlocale(LC_CTYPE, savedLocale_.c_str());
    }
    PipedInput(const PipedInput&) = delete;
    PipedInput& operator=(const PipedInput&) = delete;

private:
    std::string savedLocale_;
    std::string path_;
    int savedInput_ = -1;
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
    PipedInput const input("one\r\ntwo\rthree\n\nlast");
    EXPECT_EQ(line(), u"one\n");
    EXPECT_EQ(line(), u"two\rthree\n");
    EXPECT_EQ(line(), u"\n");
    EXPECT_EQ(line(), u"last");
    EXPECT_EQ(line(), std::nullopt);
    EXPECT_EQ(line(), std::nullopt);
}

TEST(StandardInput, StopsOneUnitShortOfTheBuffer) {
    std::string const text259(259, 'a');
    PipedInput const input(text259 + "\n" + text259 + "b\n" + std::string(258, 'c') + "\r\n");
    EXPECT_EQ(line(), std::u16string(259, u'a'));
    EXPECT_EQ(line(), u"\n");
    EXPECT_EQ(line(), std::u16string(259, u'a'));
    EXPECT_EQ(line(), u"b\n");
    // The carriage return in the last place gives way to its line feed.
    EXPECT_EQ(line(), std::u16string(258, u'c') + u"\n");
}

TEST(StandardInput, GetcharTakesUpWhereFgetwsStopped) {
    PipedInput const input("abc\xE3\x81\x82z\nnext\n");
    EXPECT_EQ(line(4), u"abc");
    int const bytes[] = {0xE3, 0x81, 0x82, 'z', '\n'};
    for (int expected : bytes) {
        EXPECT_EQ(getchar(), expected);
    }
    EXPECT_EQ(line(), u"next\n");
    EXPECT_EQ(getchar(), eof);
}

TEST(StandardInput, KeepsNulAndUndecodableBytes) {
    PipedInput const input(std::string("a\0b\xFF\xE3\x81\n", 7));
    EXPECT_EQ(line(), std::u16string(u"a\0b\xDCFF\xDCE3\xDC81\n", 7));
}

TEST(StandardInput, NeverSplitsASurrogatePairAcrossReads) {
    PipedInput const input("ab\xF0\x9F\x98\x80\n");
    EXPECT_EQ(line(4), u"ab");
    EXPECT_EQ(line(4), u"\U0001F600\n");
}

}  // namespace
}  // namespace platform
