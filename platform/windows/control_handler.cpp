// platform::HandlerRoutine has the default calling convention, while the
// system calls its handlers as WINAPI (stdcall on 32-bit Windows), so the
// routines cannot be handed to the system as they are. One dispatcher of the
// system's convention is installed instead, and it calls the routines.
//
// The dispatcher is installed on the first add and never taken away: with no
// routine left it hands every event on, as the system does once the last
// handler of ours is gone. It is installed under a lock of its own so that
// the system's handler lock and the routines' lock are never held in
// opposite order.
//
// The routines sit in a fixed table, not in a container with a destructor:
// an event can arrive while the process exits, after static objects have
// been destroyed.
#include "platform/windows/control_handler.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "platform/platform.h"

namespace platform {

namespace {

struct Routines {
    std::array<HandlerRoutine, 32> slots{};
    std::size_t count = 0;
};

SRWLOCK routinesLock = SRWLOCK_INIT;
Routines routines;

SRWLOCK installLock = SRWLOCK_INIT;
bool dispatcherInstalled = false;

Routines routinesNow() {
    AcquireSRWLockShared(&routinesLock);
    Routines const snapshot = routines;
    ReleaseSRWLockShared(&routinesLock);
    return snapshot;
}

bool installDispatcher() {
    AcquireSRWLockExclusive(&installLock);
    if (!dispatcherInstalled) {
        dispatcherInstalled = ::SetConsoleCtrlHandler(windows::dispatchControlEvent, TRUE) != FALSE;
    }
    bool const installed = dispatcherInstalled;
    ReleaseSRWLockExclusive(&installLock);
    return installed;
}

bool addRoutine(HandlerRoutine routine) {
    AcquireSRWLockExclusive(&routinesLock);
    bool const room = routines.count < routines.slots.size();
    if (room) {
        routines.slots[routines.count++] = routine;
    }
    ReleaseSRWLockExclusive(&routinesLock);
    return room;
}

// Takes away the one added last of the routines equal to routine, as the
// system does with a handler installed more than once.
bool removeRoutine(HandlerRoutine routine) {
    AcquireSRWLockExclusive(&routinesLock);
    auto const first = routines.slots.begin();
    auto const last = first + routines.count;
    auto found = last;
    while (found != first && *(found - 1) != routine) {
        --found;
    }
    bool const listed = found != first;
    if (listed) {
        std::copy(found, last, found - 1);
        --routines.count;
    }
    ReleaseSRWLockExclusive(&routinesLock);
    return listed;
}

}  // namespace

namespace windows {

BOOL WINAPI dispatchControlEvent(DWORD controlType) {
    // A routine may add or remove routines while it runs, so the walk goes
    // over a copy and holds no lock.
    Routines const snapshot = routinesNow();
    for (std::size_t i = snapshot.count; i > 0; --i) {
        if (snapshot.slots[i - 1](controlType)) {
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace windows

Bool SetConsoleCtrlHandler(HandlerRoutine routine, Bool add) {
    if (!routine) {
        // Without a routine the call switches the process's Ctrl+C handling.
        return ::SetConsoleCtrlHandler(nullptr, add);
    }
    if (!add) {
        if (!removeRoutine(routine)) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return TRUE;
    }
    if (!installDispatcher()) {
        return FALSE;
    }
    if (!addRoutine(routine)) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

}  // namespace platform
