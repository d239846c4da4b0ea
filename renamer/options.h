// The options that change what a run does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/argument_set.h"

namespace ansifold {

// What the options of a command line ask for. Only these options mean
// anything; every other option of one dash (or "/" or ":") is accepted and
// changes nothing.
struct RunOptions {
    bool help = false;                     // --help, and /? where "/" starts an option
    bool version = false;                  // --version
    bool dryRun = false;                   // --dry-run
    bool changesOnly = false;              // --changes
    std::optional<std::u16string> log;     // --log=FILE
    std::optional<std::u16string> undo;    // --undo=FILE
    std::optional<unsigned> codePage;      // --code-page=N, a page the system has
    std::vector<std::u16string> excluded;  // each --exclude=PATTERN
};

// Why a long option was refused.
enum class Refused {
    unknown,        // no option has its name (names are compared exactly)
    valueNotTaken,  // "--name=value" for an option that takes no value
    valueMissing,   // an option that takes a value, without one
    valueUnknown,   // a value that the option does not know, as a code page the system lacks
};

struct Refusal {
    Refused reason = Refused::unknown;
    std::u16string token;       // as it was given
    std::u16string_view name;   // the option's own name, "--" included
    std::u16string_view value;  // the name of the value it takes, as "FILE"
};

// Reads the option tokens of arguments: the long options ("--name", or
// "--name=value" for one that takes a value), wherever they stood, and /?.
// A later --log, --undo or --code-page replaces an earlier one; every
// --exclude counts. False at the first long
// option that no option of the table takes as it stands, described in
// refusal.
bool readOptions(const kestrel::ArgumentSet& arguments, RunOptions& options, Refusal& refusal);

}  // namespace ansifold
