// POSIX backend only, to emulate Windows: console control events from signals.
//
// SIGHUP and SIGTERM end the process between two entries, never inside one.
//
// Design notes. Seen from this layer, the walk handles an entry with
// SetCurrentDirectoryW, a write of its name line, the fold, MoveFileW and a
// write of its outcome line; between two entries come only the find calls,
// GetFileAttributesW, GetFullPathNameW, SetCurrentDirectoryW and the end of
// the process. The listener thread of signals.cpp never ends the
// process itself for these two signals: it runs the control handlers, marks
// the end as pending, and the main thread ends the process at the next of
// those calls (before it does anything), at its exit, or while it reads its
// standard input, with the signal's own status. So the entry in flight is
// finished, its outcome line written, and no move is ever cut in two (which
// could leave a placeholder behind, see moveByPlaceholder).
//
// A main thread that never gets there (a write to a pipe that nobody reads,
// a file system that hangs) must not keep the process alive until it is
// killed: after a few seconds the listener ends it anyway, though never while
// a move runs.
#pragma once

#include <mutex>

#include "platform/platform.h"

namespace platform::posix {

// Adds routine to the control handlers, or removes it, as
// SetConsoleCtrlHandler does; the first addition starts the listener.
bool changeControlHandlers(HandlerRoutine routine, bool add);

// Ends the process now if a termination signal is pending.
void endIfTerminating();

bool terminationPending();

// Held while a move runs: the last-resort end waits for it.
std::mutex& moveLock();

// What runs before a signal ends the process: the collected output goes out
// (console.h, which sets it). Unless mayWait, it must give up after a short
// while.
using BeforeEnd = void (*)(bool mayWait);
void setBeforeEnd(BeforeEnd hook);

}  // namespace platform::posix
