// POSIX backend only, to emulate Windows: console control events from signals.
//
// Console control events from signals. Windows calls control handlers on a
// thread of its own, so the signals that stand for the events (SIGINT for
// Ctrl+C, SIGQUIT for the Ctrl+Break of a terminal, SIGHUP for the console
// closing, SIGTERM for shut-down) are blocked and a thread of this backend
// takes them with sigwait, where a handler may do anything a thread may do,
// which a signal handler may not.
//
// The signals are blocked in the thread that installs the first handler.
// That has to be the main thread before it starts any other: a thread that
// leaves them unblocked would take them with their default action.
//
// SIGHUP and SIGTERM end the process once the handlers have run, but only
// between two entries of the walk (signals.h).
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/last_error.h"
#include "platform/posix/signals.h"

namespace platform::posix {

namespace {

constexpr Dword ctrlCEvent = 0;
constexpr Dword ctrlBreakEvent = 1;
constexpr Dword ctrlCloseEvent = 2;
constexpr Dword ctrlShutdownEvent = 6;

std::mutex mutex;
std::vector<HandlerRoutine> routines;  // called last added first
bool ignoreCtrlC = false;
bool listening = false;

sigset_t controlSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) {
        sigaddset(&set, signal);
    }
    return set;
}

Dword eventOf(int signal) {
    switch (signal) {
        case SIGINT:
            return ctrlCEvent;
        case SIGQUIT:
            return ctrlBreakEvent;
        case SIGHUP:
            return ctrlCloseEvent;
        default:
            return ctrlShutdownEvent;
    }
}

bool handled(Dword event) {
    std::vector<HandlerRoutine> current;
    bool ignoring = false;
    {
        // Routines run without the lock, so that they may add or remove
        // routines themselves.
        std::lock_guard<std::mutex> lock(mutex);
        current = routines;
        ignoring = ignoreCtrlC;
    }
    for (auto routine = current.rbegin(); routine != current.rend(); ++routine) {
        if ((*routine)(event)) {
            return true;
        }
    }
    return event == ctrlCEvent && ignoring;
}

// How long the main thread has to reach the end of its entry: long enough
// for a reader that pauses now and then, short of the grace that shut-down
// gives before it kills.
constexpr auto lastResortDelay = std::chrono::seconds(5);

// The termination signal that is to end the process, or 0.
std::atomic<int> pendingEnd{0};
// Held while the handlers of a termination signal run: the end waits for them.
std::mutex endLock;

enum class Ender { mainThread, listener };

std::atomic<BeforeEnd> beforeEnd{nullptr};

// Ends the process the way the signal would have without any handler, once
// the output that standard output collected is out. Every ending of a signal
// comes here. The main thread waits for its output as long as it takes; the
// listener, which ends the process when the main thread is stuck, does not.
[[noreturn]] void takeDefaultAction(int signal, Ender ender) {
    if (const BeforeEnd hook = beforeEnd.load()) {
        hook(ender == Ender::mainThread);
    }
    std::signal(signal, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(signal);
    _exit(128 + signal);  // only when the default action is somehow not to end
}

// Closing the console and shutting down end the process once the handlers
// have run, whatever they answer: at the main thread's next step between two
// entries or, failing that, after a while, between two moves.
void endSoon(int signal) {
    {
        std::lock_guard<std::mutex> lock(endLock);
        pendingEnd.store(signal);
        handled(eventOf(signal));
    }
    std::this_thread::sleep_for(lastResortDelay);
    std::lock_guard<std::mutex> noMoveInFlight(posix::moveLock());
    takeDefaultAction(pendingEnd.load(), Ender::listener);
}

void* listen(void*) {
    const sigset_t set = controlSignals();
    while (true) {
        int signal = 0;
        if (sigwait(&set, &signal) != 0) {
            continue;
        }
        if (signal == SIGHUP || signal == SIGTERM) {
            endSoon(signal);
        } else if (!handled(eventOf(signal))) {
            takeDefaultAction(signal, Ender::listener);
        }
    }
}

void endAtExitIfTerminating() {
    posix::endIfTerminating();
}

bool startListening() {
    const sigset_t set = controlSignals();
    sigset_t previous;
    if (pthread_sigmask(SIG_BLOCK, &set, &previous) != 0) {
        return false;
    }
    pthread_t thread;
    if (pthread_create(&thread, nullptr, listen, nullptr) != 0) {
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return false;
    }
    pthread_detach(thread);
    std::atexit(endAtExitIfTerminating);
    return true;
}

}  // namespace

void endIfTerminating() {
    if (pendingEnd.load(std::memory_order_relaxed) == 0) {
        return;
    }
    { std::lock_guard<std::mutex> handlersDone(endLock); }
    takeDefaultAction(pendingEnd.load(), Ender::mainThread);
}

bool terminationPending() {
    return pendingEnd.load() != 0;
}

std::mutex& moveLock() {
    static std::mutex lock;
    return lock;
}

void setBeforeEnd(BeforeEnd hook) {
    beforeEnd.store(hook);
}

}  // namespace platform::posix

namespace platform {

bool posix::changeControlHandlers(HandlerRoutine routine, bool add) {
    std::lock_guard<std::mutex> lock(mutex);
    if (add && !listening) {
        if (!startListening()) {
            posix::setLastError(errorNotEnoughMemory);
            return false;
        }
        listening = true;
    }
    if (routine == nullptr) {
        // As on Windows: a null routine switches Ctrl+C off or back on.
        ignoreCtrlC = add;
        return true;
    }
    if (!add) {
        const auto found = std::find(routines.rbegin(), routines.rend(), routine);
        if (found == routines.rend()) {
            posix::setLastError(errorInvalidParameter);
            return false;
        }
        routines.erase(std::next(found).base());
        return true;
    }
    routines.push_back(routine);
    return true;
}

}  // namespace platform
