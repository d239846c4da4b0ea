// The searches behind FindFirstFileW, one kind for each backend: each holds
// its directory open, which anchors the paths below it, and reads the
// directory's entries whole when it opens. Only platform/ includes this
// header.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace platform {

class Search;

// A search over the directory part of pattern (everything up to its last
// separator, or the current directory) for the names that its name part
// matches, positioned before its first entry; null with the last error set.
Search* openSearch(std::u16string_view pattern);

// The next entry whose name matches, or false with the system's "no more
// files" (or the error of the read) as the last error.
bool nextEntry(Search& search, FindData& found);

void closeSearch(Search* search);

}  // namespace platform
