// The dispatcher that stands between the system and the routines given to
// platform::SetConsoleCtrlHandler: which routines an event reaches, in what
// order, and that a real event arrives through it.
#include "platform/windows/control_handler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

using platform::Bool;
using platform::Dword;
using platform::HandlerRoutine;

std::string calls;
Dword lastControlType = 0;

Bool passesA(Dword type) {
    calls += 'a';
    lastControlType = type;
    return FALSE;
}

Bool passesB(Dword type) {
    calls += 'b';
    lastControlType = type;
    return FALSE;
}

Bool handles(Dword type) {
    calls += 'h';
    lastControlType = type;
    return TRUE;
}

// Sits below every routine of a test, so that no event reaches a routine
// that another test of this process may have left installed.
Bool catcher(Dword) {
    calls += 'c';
    return TRUE;
}

// Installs routines for the life of the object, below them the catcher.
class Installed {
public:
    explicit Installed(std::initializer_list<HandlerRoutine> routines = {}) {
        add(catcher);
        for (HandlerRoutine routine : routines) {
            add(routine);
        }
    }
    ~Installed() {
        for (auto routine = added.rbegin(); routine != added.rend(); ++routine) {
            platform::SetConsoleCtrlHandler(*routine, FALSE);
        }
    }
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;

    void add(HandlerRoutine routine) {
        EXPECT_TRUE(platform::SetConsoleCtrlHandler(routine, TRUE));
        added.push_back(routine);
    }

    bool remove(HandlerRoutine routine) {
        if (!platform::SetConsoleCtrlHandler(routine, FALSE)) {
            return false;
        }
        added.erase(std::find(added.rbegin(), added.rend(), routine).base() - 1);
        return true;
    }

private:
    std::vector<HandlerRoutine> added;
};

std::string dispatch(DWORD type = CTRL_C_EVENT) {
    calls.clear();
    EXPECT_TRUE(platform::windows::dispatchControlEvent(type));
    return calls;
}

TEST(ControlDispatch, LastAddedRunsFirstUntilOneHandlesTheEvent) {
    struct Case {
        std::initializer_list<HandlerRoutine> routines;
        const char* expected;
    };
    const Case cases[] = {
        {{}, "c"},
        {{passesA, passesB}, "bac"},
        {{passesA, handles, passesB}, "bh"},
        {{passesA, passesA}, "aac"},
    };
    for (const Case& c : cases) {
        Installed installed(c.routines);
        EXPECT_EQ(dispatch(), c.expected) << "routines added: " << c.routines.size();
    }
}

TEST(ControlDispatch, RoutinesSeeTheEventType) {
    Installed installed{passesA};
    dispatch(CTRL_BREAK_EVENT);
    EXPECT_EQ(lastControlType, Dword{CTRL_BREAK_EVENT});
    dispatch(CTRL_CLOSE_EVENT);
    EXPECT_EQ(lastControlType, Dword{CTRL_CLOSE_EVENT});
}

TEST(ControlDispatch, RemovingTakesAwayTheCopyAddedLast) {
    Installed installed{passesA, handles, passesA};
    ASSERT_TRUE(installed.remove(passesA));
    EXPECT_EQ(dispatch(), "h");
    ASSERT_TRUE(installed.remove(handles));
    EXPECT_EQ(dispatch(), "ac");
    ASSERT_TRUE(installed.remove(passesA));
    EXPECT_EQ(dispatch(), "c");
}

TEST(ControlDispatch, RemovingARoutineThatIsNotThereFails) {
    Installed installed{passesA};
    EXPECT_FALSE(installed.remove(passesB));
    EXPECT_EQ(::GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    EXPECT_EQ(dispatch(), "ac");
}

// A real Ctrl+C, raised on a console of the test's own, reaches the routine
// through the system on a thread other than the one that raised it.
HANDLE arrived = nullptr;
DWORD handlerThread = 0;

Bool signalArrival(Dword type) {
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

}  // namespace
