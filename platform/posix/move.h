// POSIX backend only, to emulate Windows: moves that never replace an entry.
//
// rename(2) replaces an existing target, Windows never does.
#pragma once

#include <string>

namespace platform::posix {

// Moves from to to unless to names an existing entry; false with the last
// error set otherwise (errorAlreadyExists when to exists).
bool moveWithoutReplacing(const std::string& from, const std::string& to);

// Whether two names are spellings of one entry (hard links are entries of
// their own).
bool isSameEntry(const std::string& from, const std::string& to);

// Whether name still leads to an entry; false with the last error set.
bool entryExists(const std::string& name);

// Renames from to to where the file system cannot refuse to replace an
// existing target itself: the target name is first taken exclusively by an
// empty placeholder of the source's kind, which the rename then replaces. On
// failure the placeholder is removed again and the last error set.
bool moveByPlaceholder(const std::string& from, const std::string& to);

// A seam for tests: the rename that refuses to replace (renameat2 with
// RENAME_NOREPLACE), as a function with its contract: 0, or -1 with errno
// set. Returns the one it replaces; null puts the system's back.
using NoReplaceRename = int (*)(const char* from, const char* to);
NoReplaceRename installNoReplaceRename(NoReplaceRename rename);

}  // namespace platform::posix
