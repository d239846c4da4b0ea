// The depth-first walk that renames everything below a directory.
#pragma once

#include <string>

#include "platform/platform.h"
#include "renamer/rename_entry.h"

namespace ansifold {

// Whether a walk goes into an entry with these attributes: directories, but
// never links, so that a link back to an ancestor cannot make the walk loop.
bool isWalkedDirectory(platform::Dword attributes);

// Renames every entry below directory, each directory's entries before the
// directory itself. The directory's own entry is left to the caller. A run
// that has stopped goes no further.
bool renameTree(const std::u16string& directory, const RunMode& mode = {});

}  // namespace ansifold
