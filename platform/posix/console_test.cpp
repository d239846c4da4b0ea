// The console services on terminals, pipes and files, and the order of
// collected standard output against standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/console.h"
#include "platform/system.h"

namespace platform {
namespace {

// Points a standard descriptor at a pipe for one test and back afterwards.
class Captured {
public:
    explicit Captured(int which) : fd(which), saved(::dup(which)) {
        std::fflush(nullptr);
        posix::flushStandardOutput();
        EXPECT_EQ(::pipe(pipe), 0);
        ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
        ::fcntl(pipe[0], F_SETPIPE_SZ, 1024 * 1024);  // room for more than one block
        ::dup2(pipe[1], fd);
        ::close(pipe[1]);
        posix::forgetStandardStreamKinds();
    }
    ~Captured() {
        posix::flushStandardOutput();
        ::dup2(saved, fd);
        ::close(saved);
        posix::forgetStandardStreamKinds();
        if (pipe[0] >= 0) {
            ::close(pipe[0]);
        }
    }
    Captured(const Captured&) = delete;
    Captured& operator=(const Captured&) = delete;

    std::string text() {
        std::string bytes;
        char chunk[256];
        ssize_t n = 0;
        while ((n = ::read(pipe[0], chunk, sizeof chunk)) > 0) {
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
        return bytes;
    }
    void closeReader() {
        ::close(pipe[0]);
        pipe[0] = -1;
    }

private:
    int fd;
    int saved;
    int pipe[2] = {-1, -1};
};

// Standard error on a pseudo-terminal, for one test.
class OnTerminal {
public:
    OnTerminal() : saved(::dup(STDERR_FILENO)), master(::posix_openpt(O_RDWR | O_NOCTTY)) {
        std::fflush(nullptr);
        ::grantpt(master);
        ::unlockpt(master);
        const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        termios raw{};
        ::tcgetattr(terminal, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(terminal, TCSANOW, &raw);
        ::dup2(terminal, STDERR_FILENO);
        ::close(terminal);
        posix::forgetStandardStreamKinds();
    }
    ~OnTerminal() {
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        posix::forgetStandardStreamKinds();
        ::close(master);
    }
    OnTerminal(const OnTerminal&) = delete;
    OnTerminal& operator=(const OnTerminal&) = delete;

    // What the terminal received, once size bytes are there: the terminal
    // passes them on to its master side a moment later.
    std::string shown(std::size_t size) {
        std::string bytes;
        char chunk[256];
        pollfd ready{master, POLLIN, 0};
        while (bytes.size() < size && ::poll(&ready, 1, 2000) > 0) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
        return bytes;
    }

private:
    int saved;
    int master;
};

TEST(Console, TerminalIsAConsoleThatShowsTextInTheLocalesEncoding) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    OnTerminal terminal;
    const Handle handle = GetStdHandle(static_cast<Dword>(-12));
    ConsoleScreenBufferInfo info;
    ASSERT_TRUE(system::GetConsoleScreenBufferInfo(handle, &info));
    EXPECT_EQ(info.wAttributes, 0x07);
    EXPECT_TRUE(system::SetConsoleTextAttribute(handle, 0x1F));
    Dword mode = 0;
    EXPECT_TRUE(GetConsoleMode(handle, &mode));

    // The pair that a chunk cuts in two is written whole with the next one.
    const std::u16string text = u"a\xDCFF\U0001F600";
    Dword written = 0;
    ASSERT_TRUE(system::WriteConsoleW(handle, text.c_str(), 3, &written));
    EXPECT_EQ(written, 2U);
    ASSERT_TRUE(system::WriteConsoleW(handle, text.c_str() + 2, 2, &written));
    EXPECT_EQ(written, 2U);
    const std::string expected = "a\xFF\xF0\x9F\x98\x80";
    EXPECT_EQ(terminal.shown(expected.size()), expected);
    std::setlocale(LC_CTYPE, saved.c_str());
}

// Collected, and written out before anything goes to standard error.
// A terminal outlives the program: its shell holds it too, so nothing waits
// for a key before it closes.
TEST(Console, TheConsoleIsSharedWithTheProgramsParent) {
    Dword list[2] = {};
    EXPECT_EQ(system::GetConsoleProcessList(list, 2), 2U);
    EXPECT_EQ(list[0], static_cast<Dword>(::getpid()));
    EXPECT_EQ(list[1], static_cast<Dword>(::getppid()));
}

TEST(Console, RedirectedOutputTakesTheRawBytesInBlocks) {
    Captured output(STDOUT_FILENO);
    Captured error(STDERR_FILENO);
    Dword written = 0;
    const char16_t text[] = u"a\u3042\n";
    EXPECT_TRUE(WriteFile(GetStdHandle(stdOutputHandle), text, 6, &written));
    EXPECT_EQ(written, 6U);
    EXPECT_EQ(output.text(), "");
    EXPECT_EQ(system::MessageBoxW(nullptr, u"box", nullptr, mbOk), 1);
    EXPECT_EQ(output.text(), std::string("a\0\x42\x30\n\0", 6));
    EXPECT_EQ(error.text(), "box\n");

    const std::string large(256 * 1024, 'x');
    EXPECT_TRUE(WriteFile(GetStdHandle(stdOutputHandle), "ab", 2, &written));
    EXPECT_TRUE(WriteFile(GetStdHandle(stdOutputHandle), large.data(),
                          static_cast<Dword>(large.size()), &written));
    EXPECT_EQ(written, large.size());
    EXPECT_EQ(output.text(), "ab" + large);  // larger than a block: straight out
}

// A reader that went away makes the writes fail, as they do on Windows,
// instead of ending the process: the write that meets the failure reports
// it, whether it found collected bytes or wrote its own.
TEST(Console, WriteToAClosedPipeFails) {
    Captured output(STDOUT_FILENO);
    output.closeReader();
    const Handle handle = GetStdHandle(stdOutputHandle);
    const std::string large(256 * 1024, 'x');
    Dword written = 7;
    EXPECT_FALSE(WriteFile(handle, large.data(), static_cast<Dword>(large.size()), &written));
    EXPECT_EQ(written, 0U);
    EXPECT_TRUE(WriteFile(handle, "ab", 2, &written));
    EXPECT_EQ(written, 2U);
    EXPECT_FALSE(WriteFile(handle, large.data(), static_cast<Dword>(large.size()), &written));
    EXPECT_EQ(written, 0U);
    EXPECT_TRUE(WriteFile(handle, "ab", 2, &written));
    EXPECT_FALSE(posix::flushStandardOutput());
}

// Redirected text is UTF-8 whatever the locale, as Linux tools read it; a
// name's bytes come out as they are on disk, a backslash byte too.
TEST(Console, RedirectedTextIsUtf8WithTheBytesOfNames) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    Captured output(STDOUT_FILENO);
    Captured error(STDERR_FILENO);
    const std::u16string text = u"a\u3042\U0001F600\\\xDCFF\xDC5C\xD800\n";
    const std::string expected = "a\xE3\x81\x82\xF0\x9F\x98\x80\\\xFF\\?\n";
    for (const Dword which : {stdOutputHandle, stdErrorHandle}) {
        Dword written = 0;
        EXPECT_TRUE(system::WriteRedirectedText(GetStdHandle(which), text.c_str(),
                                                static_cast<Dword>(text.size()), &written));
        EXPECT_EQ(written, text.size());
    }
    EXPECT_EQ(error.text(), expected);
    EXPECT_EQ(output.text(), expected);
    std::setlocale(LC_CTYPE, saved.c_str());
}

TEST(Console, MessageBoxIsOneLineOnStandardError) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    Captured error(STDERR_FILENO);
    EXPECT_EQ(system::MessageBoxW(nullptr, u"C:\\\xDCFF\u3042\r\n[2]", nullptr, mbOk), 1);
    EXPECT_EQ(system::MessageBoxW(nullptr, nullptr, nullptr, mbOk), 1);
    EXPECT_EQ(error.text(), "C:\\\xFF\xE3\x81\x82  [2]\n\n");
    std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
}  // namespace platform
