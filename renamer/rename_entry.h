// Renaming one entry and printing its lines of the report.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace ansifold {

class CaselessNames;
class DryRun;
class RenameLog;

// How the entries of a run fared, as the report showed them.
struct Tally {
    std::size_t renamed = 0;  // moved to another name
    std::size_t kept = 0;     // had its folded name already
    std::size_t failed = 0;   // the failure line, or a name that could not be folded
};

// What a run does with the moves it reports: in a dry run it only simulates
// them; with a log it records each one that changes a name; with a tally it
// counts their outcomes. A plain run does none of these and pays nothing for
// them. Showing only changes, it prints no lines for an entry that keeps its
// name because the name fits already. Names are folded for codePage.
struct RunMode {
    DryRun* dryRun = nullptr;
    RenameLog* log = nullptr;
    Tally* tally = nullptr;
    bool changesOnly = false;
    unsigned codePage = platform::cpAcp;
    // Names are meant for a Windows volume, while this system's own tell
    // letter case apart: see CaselessNames.
    bool forCaselessVolume = false;
    // Patterns of the names of entries that the run leaves alone, and whose
    // trees it does not walk; null where there are none.
    const std::vector<std::u16string>* excluded = nullptr;

    // The log could not be written: nothing more may be renamed.
    bool stopped() const;
    // Whether an entry of this name is left alone. Names match as the
    // system's volumes compare them: on Linux letter case counts. A run
    // without patterns asks nothing more of a name.
    bool excludes(std::u16string_view name) const {
        return excluded != nullptr && matchesExcluded(name);
    }
    bool matchesExcluded(std::u16string_view name) const;
};

// Renames the entry name of directory to its folded name and prints the old
// name, then "->" with the new name, or "->リネーム失敗: " with the name it
// would have had. When the fold fails, only the old name is printed. Leaves
// directory as the process's current directory. True when the entry moved.
// Once the run has stopped, it does nothing and gives false. Given the
// directory's names as a Windows volume compares them (a Linux run for one),
// a fold onto another entry's name there fails as it would there, and a move
// is recorded in them.
bool renameEntry(const char16_t* name, platform::PathText directory, const RunMode& mode = {},
                 CaselessNames* names = nullptr);

// Moves the entry name of directory back to restored, never replacing an
// entry, and prints the same lines as renameEntry. An entry that is not
// recognised as the one that was renamed keeps its name, with the failure
// line.
bool restoreEntry(const char16_t* name, const char16_t* restored, platform::PathText directory,
                  bool recognised, const RunMode& mode);

}  // namespace ansifold
