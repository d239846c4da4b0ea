// Windows backend only: one entry as a listing shows it. The listings of
// the searches are search.cpp's, the searches themselves platform/files.cpp's.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/file_system.h"

namespace platform::windows {

// The entry name of directory (an open handle) as a listing of it shows
// it, without a path: its attributes, links as reparse points, and its file
// id. False with the last error set when the listing has none.
bool listedEntryOf(HANDLE directory, std::u16string_view name, ListedEntry& entry);

}  // namespace platform::windows
