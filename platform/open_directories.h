// The anchored directory state of the file services: the directories that
// the open searches and CreateFileW hold, known by the paths they were
// given, and the anchor they give to every path below them.
//
// Design notes. The layers above walk a tree by full paths: they list
// "<dir>/*", walk into "<dir>/<entry>" by listing "<dir>/<entry>/*", ask for
// the attributes of "<dir>/<entry>", and make "<dir>" current before they
// move an entry by its bare name. Resolving each of those paths afresh would
// let a directory swapped for a link mid-walk lead the walk, and the moves,
// outside the tree, and would stop at the system's limit on the length of a
// path. So each open search keeps the directory that it listed open, under
// the directory text it was given (trailing separators dropped), and the
// file services resolve a path against it whenever they can:
//
// - the directory of an open search is that search's handle: listing it
//   again opens it again from its handle, making it current makes its handle
//   current (and does nothing at all when it is current already);
// - "<dir>/<name>", for the directory of an open search and one name, is
//   that name in the search's directory: listing it opens it below the
//   search's handle, never through a link and never onto another file system
//   (file_system.h); its attributes come from the same directory;
// - any other path is resolved by path, once: the argument that the walk
//   starts from. There the last component may be a link, which the user named.
//
// Held directories. CreateFileW on a directory holds it the same way until
// CloseHandle: the run holds the working directory and each argument's
// parent from the argument's resolution to its end, so the argument's own
// entry, and the working directory made current again, are the ones that
// were resolved, whatever took their path meanwhile. A name below a held
// directory is one the user gave.
//
// Depth. A walk keeps one search open per level, so the directory of the
// entry in hand is the search opened last: lookups start there. A level
// keeps its name and its parent, not its whole path (directory_paths.h).
// Where the system refuses another handle, the handle of the shallowest
// level that has an open level below it is closed; when the level below
// closes, it is opened again from there and taken only if it is the same
// directory, so no level is skipped for want of handles. Only the main
// thread uses the file services; nothing here is locked.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace platform {

// A directory is known from its opening to its closing, under its path.
void remember(OpenDirectory& directory);
void forget(OpenDirectory& directory);

// The open directory that path names, or that holds the entry path names;
// name is then empty, or the entry's name. Null for any other path.
OpenDirectory* anchorOf(std::u16string_view path, std::u16string_view& name);

// Opens the directory that path names for listing: anchored where an open
// directory allows it, else by path. Fills everything but listed and held.
bool openDirectory(std::u16string_view path, OpenDirectory& opened);
// The same, anchored by the full path that path was resolved to.
bool openDirectory(std::u16string_view path, std::u16string_view full, OpenDirectory& opened);
// The same for a search, which reports a directory that is not there as a
// missing path.
bool openDirectoryToList(std::u16string_view path, OpenDirectory& opened);

// CreateFileW and CloseHandle on a directory: held until released. Below a
// held directory, Following::none opens the name as a walk would: never
// through a link, but onto another file system where the user's tree goes.
Handle holdDirectory(const char16_t* path, Following following);
bool releaseDirectory(Handle held);

// CreateFileW on an existing entry that an open directory holds, never
// through a link; anchored is false, and nothing is opened, where none does.
Handle openInOpenDirectory(const char16_t* path, Dword access, Dword flags, bool& anchored);

// SetCurrentDirectoryW: an open directory by its handle, any other by its
// path, which was resolved to full.
bool makeCurrent(const OpenDirectory& directory);
bool makeCurrent(std::u16string_view path, std::u16string_view full);
// Whether SetCurrentDirectoryW made this open directory current last.
bool isCurrent(const OpenDirectory& directory);

}  // namespace platform
