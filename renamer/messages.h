// The texts that the options print: usage, version and what stops a run.
#pragma once

#include <string>

#include "console/console.h"

namespace ansifold {

// The version, as the program's version record gives it.
constexpr const char16_t* version = u"1.00";

// The usage text on standard output: Japanese where the ANSI code page is
// 932, English elsewhere.
void printHelp(kestrel::Console& console);
void printVersion(kestrel::Console& console);

// What keeps an option from being carried out.
enum class Problem {
    logNotOpened,     // the log file cannot be opened or written
    logForeign,       // the log file holds something else
    logNotWritten,    // a record could not be written: the run stops
    undoNotRead,      // the file to undo cannot be read
    undoDamaged,      // the file to undo is no log, or is damaged at a line
    undoWithNames,    // names were given to --undo
    logNotAFile,      // the log, or the file to undo, is a link, a device, a FIFO or a directory
    logOlderVersion,  // the log, or the file to undo, is a log of an earlier version
};

// Prints the problem with the file it concerns, and a system error code or
// a line number, on standard error, in the language of printHelp.
void reportProblem(Problem problem, const std::u16string& file = {}, unsigned number = 0);

}  // namespace ansifold
