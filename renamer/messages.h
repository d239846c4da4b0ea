// The texts that the options print: usage, version and what stops a run.
#pragma once

#include <string>

#include "console/console.h"
#include "renamer/options.h"
#include "renamer/rename_entry.h"

namespace ansifold {

// The version, as the program's version record gives it.
constexpr const char16_t* version = u"1.00";

// The usage text on standard output, naming the code page that names are
// folded for: Japanese where the system's ANSI code page is 932, English
// elsewhere, whichever page the run folds for.
void printHelp(kestrel::Console& console, unsigned codePage);
void printVersion(kestrel::Console& console);

// The one line that asks for a key before the console window closes, in the
// language of printHelp.
const char16_t* closingPrompt();

// What keeps an option from being carried out.
enum class Problem {
    logNotOpened,     // the log file cannot be opened or written
    logForeign,       // the log file holds something else
    logNotWritten,    // a record could not be written: the run stops
    undoNotRead,      // the file to undo cannot be read
    undoDamaged,      // the file to undo is no log, or is damaged at a line
    undoWithNames,    // names were given to --undo of the file
    logNotAFile,      // the log, or the file to undo, is a link, a device, a FIFO or a directory
    logOlderVersion,  // the log, or the file to undo, is a log of an earlier version
};

// Prints how many entries the run renamed, left as they were and failed to
// rename (would have, in a dry run), on standard error.
void reportSummary(const Tally& tally, bool dryRun);

// Prints why an option was refused, then the usage line, on standard error.
void reportRefusal(const Refusal& refusal);

// Prints the problem with the file it concerns on standard error, in the
// language of printHelp: for a file that could not be opened, read or
// written, with the system's text for the error code number; for a damaged
// log, with the line number.
void reportProblem(Problem problem, const std::u16string& file, unsigned number = 0);

}  // namespace ansifold
