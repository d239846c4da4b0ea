// Console control events raised by signals, and the end that termination
// signals bring between two entries.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/platform.h"
#include "platform/posix/signals.h"

namespace platform {
namespace {

std::atomic<int> calls{0};
std::atomic<Dword> lastEvent{~Dword{0}};
std::atomic<int> order{0};  // which routine was called first: 1 or 2

// Notes a call of routine number which, and answers with handled.
Bool record(Dword event, int which, Bool handled) {
    lastEvent = event;
    int expected = 0;
    order.compare_exchange_strong(expected, which);
    ++calls;
    return handled;
}

Bool declines(Dword event) {
    return record(event, 1, 0);
}

Bool accepts(Dword event) {
    return record(event, 2, 1);
}

bool waitForCalls(int count) {
    for (int i = 0; i < 500 && calls < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return calls >= count;
}

// A signal to the process, as a terminal sends it; raise() would direct it
// at this thread, which keeps it blocked.
void interrupt() {
    ::kill(::getpid(), SIGINT);
}

TEST(ControlHandler, CallsTheLastAddedRoutineFirstAndStopsWhenOneAccepts) {
    calls = 0;
    order = 0;
    ASSERT_TRUE(SetConsoleCtrlHandler(accepts, 1));
    ASSERT_TRUE(SetConsoleCtrlHandler(declines, 1));
    interrupt();
    ASSERT_TRUE(waitForCalls(2));
    EXPECT_EQ(order, 1);
    EXPECT_EQ(lastEvent, 0U);  // Ctrl+C

    ASSERT_TRUE(SetConsoleCtrlHandler(declines, 0));
    calls = 0;
    order = 0;
    ::kill(::getpid(), SIGQUIT);
    ASSERT_TRUE(waitForCalls(1));
    EXPECT_EQ(order, 2);
    EXPECT_EQ(lastEvent, 1U);  // Ctrl+Break
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(calls, 1);

    EXPECT_TRUE(SetConsoleCtrlHandler(accepts, 0));
    EXPECT_FALSE(SetConsoleCtrlHandler(accepts, 0));
}

TEST(ControlHandler, NullRoutineIgnoresCtrlC) {
    calls = 0;
    ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, 1));
    ASSERT_TRUE(SetConsoleCtrlHandler(declines, 1));
    interrupt();
    ASSERT_TRUE(waitForCalls(1));
    ASSERT_TRUE(SetConsoleCtrlHandler(declines, 0));
    ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, 0));
}

// With no routine left to accept it, Ctrl+C ends the process as it would
// without any.
TEST(ControlHandlerDeathTest, UnhandledCtrlCEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetConsoleCtrlHandler(declines, 1);
            interrupt();
            std::this_thread::sleep_for(std::chrono::seconds(5));
            std::exit(0);
        },
        testing::KilledBySignal(SIGINT), "");
}

void terminate(int signal) {
    SetConsoleCtrlHandler(accepts, 1);
    ::kill(::getpid(), signal);
    while (!posix::terminationPending()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// SIGTERM and SIGHUP end the process once the handlers have run, whatever
// they answer, but only where the walk is between two entries: at the next
// file service that runs only there, or at the exit.
TEST(ControlHandlerDeathTest, TerminationTakesEffectBetweenEntriesOnly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            terminate(SIGTERM);
            std::fputs("entry finished", stderr);
            GetFileAttributesW(u"/");
            std::fputs(", and the next one begun", stderr);
            std::exit(0);
        },
        testing::KilledBySignal(SIGTERM), "entry finished$");
    EXPECT_EXIT(
        {
            terminate(SIGHUP);
            std::exit(0);
        },
        testing::KilledBySignal(SIGHUP), "");
}

// A main thread that never gets between two entries does not keep the
// process alive for long.
TEST(ControlHandlerDeathTest, TerminationEndsAStuckProcessAfterAWhile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            terminate(SIGTERM);
            std::this_thread::sleep_for(std::chrono::seconds(60));
            std::exit(0);
        },
        testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
}  // namespace platform
