// Renaming one entry and printing its lines of the report.
#pragma once

namespace ansifold {

class DryRun;
class RenameLog;

// What a run does with the moves it reports: in a dry run it only simulates
// them; with a log it records each one that changes a name. A plain run does
// neither and pays nothing for either.
struct RunMode {
    DryRun* dryRun = nullptr;
    RenameLog* log = nullptr;

    // The log could not be written: nothing more may be renamed.
    bool stopped() const;
};

// Renames the entry name of directory to its folded name and prints the old
// name, then "->" with the new name, or "->リネーム失敗: " with the name it
// would have had. When the fold fails, only the old name is printed. Leaves
// directory as the process's current directory. True when the entry moved.
// Once the run has stopped, it does nothing and gives false.
bool renameEntry(const char16_t* name, const char16_t* directory, const RunMode& mode = {});

// Moves the entry name of directory back to restored, never replacing an
// entry, and prints the same lines as renameEntry. An entry that is not
// recognised as the one that was renamed keeps its name, with the failure
// line.
bool restoreEntry(const char16_t* name, const char16_t* restored, const char16_t* directory,
                  bool recognised, const RunMode& mode);

}  // namespace ansifold
