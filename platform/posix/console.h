// POSIX backend only, to emulate Windows: standard handles and collected output.
//
// The standard handles of the POSIX backend: each stands for a file
// descriptor and remembers whether that descriptor is a terminal, which is
// what makes it a console here.
//
// Redirected standard output is collected and written in large blocks, as
// every POSIX tool's is: a walk writes two lines per entry, and a system call
// for each would cost more than the rename. A terminal still gets each text at
// once. What was collected goes out before anything is written to standard
// error, so that the two keep their order, and before the process ends for
// any reason the backend handles: its normal end (an atexit function; the
// collected bytes live in storage that no static destructor tears down) and
// every ending of signals.cpp. A crash or an abort loses it, as it
// would lose any program's buffered output.
#pragma once

namespace platform::posix {

// A standard stream has been reopened: whether each is a terminal must be
// asked again.
void forgetStandardStreamKinds();

// Writes out what standard output collected. False, with the last error set,
// when that write failed; the collected bytes are gone either way.
bool flushStandardOutput();

// The last flush before the process ends; later writes go straight out.
// Unless mayWait, it gives up after a short while rather than wait for a
// reader that does not read, or for a main thread stuck in a write.
void flushStandardOutputForEnd(bool mayWait);

}  // namespace platform::posix
