// The options that change what a run does.
#pragma once

#include <optional>
#include <string>

#include "frame/argument_set.h"

namespace ansifold {

// What the options of a command line ask for. Only these options mean
// anything; every other one is accepted and changes nothing.
struct RunOptions {
    bool help = false;                   // --help, and /? where "/" starts an option
    bool version = false;                // --version
    bool dryRun = false;                 // --dry-run
    std::optional<std::u16string> log;   // --log=FILE
    std::optional<std::u16string> undo;  // --undo=FILE
};

// Reads the option tokens of arguments: the tokens that the argument set took
// as options, which lead the command line, spelled exactly as listed above.
// A later --log or --undo replaces an earlier one.
RunOptions readOptions(const kestrel::ArgumentSet& arguments);

}  // namespace ansifold
