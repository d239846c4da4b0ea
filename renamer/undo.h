// Renaming back what a log records.
#pragma once

#include <string>

#include "renamer/rename_entry.h"

namespace ansifold {

// Renames back every rename that the log file records, the last first, and
// prints the same lines as a run. The whole log is read and checked before
// the first entry moves. Each entry is renamed back only when the entry of
// its new name is the very one that was renamed, in the very directory it
// was renamed in, reached from the directory that the run resolved its
// names in one name at a time, never through a link. False, after a
// message, when the log cannot be read or is no log of this version.
bool undoLog(const std::u16string& file, const RunMode& mode);

}  // namespace ansifold
