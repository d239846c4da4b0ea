// On a console of the test's own: a real Ctrl+C reaches a routine given to
// platform::SetConsoleCtrlHandler through the system, on a thread other than
// the one that raised it (the routine's calling convention is the system's),
// and the process is the only one that the console reports attached.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/system.h"
#include "platform/windows/directories.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::Bool;
using platform::Dword;

HANDLE arrived = nullptr;
DWORD handlerThread = 0;

Bool PLATFORM_CALLBACK signalArrival(Dword type) {
    if (type != CTRL_C_EVENT) {
        return FALSE;
    }
    handlerThread = ::GetCurrentThreadId();
    ::SetEvent(arrived);
    return TRUE;
}

class OwnConsole {
public:
    OwnConsole()
        : input(::GetStdHandle(STD_INPUT_HANDLE)),
          output(::GetStdHandle(STD_OUTPUT_HANDLE)),
          error(::GetStdHandle(STD_ERROR_HANDLE)) {
        ::FreeConsole();
        made = ::AllocConsole() != FALSE;
    }
    ~OwnConsole() {
        if (made) {
            ::FreeConsole();
        }
        ::SetStdHandle(STD_INPUT_HANDLE, input);
        ::SetStdHandle(STD_OUTPUT_HANDLE, output);
        ::SetStdHandle(STD_ERROR_HANDLE, error);
    }
    OwnConsole(const OwnConsole&) = delete;
    OwnConsole& operator=(const OwnConsole&) = delete;

    bool made = false;

private:
    HANDLE input;
    HANDLE output;
    HANDLE error;
};

TEST(ControlEvent, ArrivesOnASystemThread) {
    OwnConsole console;
    if (!console.made) {
        GTEST_SKIP() << "no console could be made, error " << ::GetLastError();
    }
    arrived = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(arrived, nullptr);
    ASSERT_TRUE(platform::SetConsoleCtrlHandler(signalArrival, TRUE));

    ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    EXPECT_EQ(::WaitForSingleObject(arrived, 10000), WAIT_OBJECT_0);
    EXPECT_NE(handlerThread, ::GetCurrentThreadId());

    EXPECT_TRUE(platform::SetConsoleCtrlHandler(signalArrival, FALSE));
    ::CloseHandle(arrived);
}

// What Explorer gives a console program: a console of its own, which it holds
// alone. Under Wine that console is the terminal the program runs in, which
// outlives it: it counts as shared, so the program never waits there.
TEST(ConsoleProcessList, AConsoleMadeForTheProcessHoldsItAlone) {
    OwnConsole console;
    if (!console.made) {
        GTEST_SKIP() << "no console could be made, error " << ::GetLastError();
    }
    Dword list[4] = {};
    EXPECT_EQ(platform::GetConsoleProcessList(list, 4), platform::windows::underWine() ? 2U : 1U);
    EXPECT_EQ(list[0], ::GetCurrentProcessId());
}

// Redirected text is the raw UTF-16LE units, a lone surrogate included: no
// byte-order mark, no carriage return.
TEST(RedirectedText, IsTheRawUnits) {
    testsupport::TempDir tree;
    const std::wstring path = (tree.path() / u"out.txt").wstring();
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    Dword written = 0;
    EXPECT_TRUE(platform::system::WriteRedirectedText(file, u"a\xDCFF\n", 3, &written));
    EXPECT_EQ(written, 3U);
    ::CloseHandle(file);
    EXPECT_EQ(tree.content(u"out.txt"), std::string("a\0\xFF\xDC\n\0", 6));
}

}  // namespace
