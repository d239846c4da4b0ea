// Windows backend only: directory searches.
//
// The searches behind FindFirstFileW: each holds its directory open, which
// anchors the paths below it (open_directories.h), and reads the directory's
// entries whole when it opens.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/platform.h"

namespace platform::windows {

class Search;

// A search over the directory part of pattern (everything up to its last
// separator, or the current directory) for the names that its name part
// matches, positioned before its first entry; null with the last error set.
Search* openSearch(std::u16string_view pattern);

// The next entry whose name matches, or false with ERROR_NO_MORE_FILES (or
// the error of the read) as the last error.
bool nextEntry(Search& search, FindData& found);

void closeSearch(Search* search);

struct ListedEntry;

// The entry name of directory (an open handle) as a listing of it shows
// it, without a path: its attributes, links as reparse points, and its file
// id. False with the last error set when the listing has none.
bool listedEntryOf(HANDLE directory, std::u16string_view name, ListedEntry& entry);

}  // namespace platform::windows
