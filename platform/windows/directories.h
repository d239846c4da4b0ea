// Windows backend only: what the primitives of the anchored file services
// (file_system.h) are built from.
//
// A directory below an open one is opened relative to the open one's handle
// (RootDirectory), with FILE_OPEN_REPARSE_POINT, and taken only when what was
// opened is a directory that is no link; its attributes come from the same
// relative open. The current directory is a handle that this backend holds,
// and entries named by bare names are moved relative to it
// (FileRenameInformation with the directory as RootDirectory, never a
// replace), so a move never goes through whatever took the directory's place
// since it was made current. The process's own current directory follows it
// only where the path fits a MAX_PATH-sized buffer; no path longer than that
// goes to a call that MAX_PATH limits, and a long path goes by path with the
// "\\?\" prefix.
//
// What Wine (8.0) can show of this, and what it needs besides. Wine lists
// and opens relative to a handle through the handle's file descriptor, so
// the listing and the opens stay in the directory that was listed. But it
// renames by the path that the entry was opened under, whatever that path
// leads to by then, and it follows a host's symbolic link even under
// FILE_OPEN_REPARSE_POINT (its listings show one as a directory with the
// reparse-point bit), and cannot rename such a link: it moves the link's
// target instead. So under Wine:
//
// - an entry listed with the reparse-point bit is never moved;
// - an entry opened for a walk or a move must be the one that was listed
//   (the listing's file id is the index number of what was opened);
// - an entry opened for a move must be held by Wine under its own name in
//   the directory (Wine resolves every link on the way when it opens an
//   entry, and renames from what it resolved): so a link to a file, which
//   Wine's listings show as a plain file, is never moved either;
// - a mount point of the host's, which Wine shows as a junction, is held
//   below a held directory (never walked into) only where Wine holds it
//   under its own name in that directory, not under a link's target;
// - a move needs the entry's path to lead to the entry that was opened,
//   checked right before the rename, with nothing between the two: a
//   directory swapped since fails its remaining moves with the failure line
//   instead of renaming outside. Only a swap between that check and Wine's
//   own rename stays unseen: Wine looks the new name up in the directory
//   (reading it through, as the name is not there yet) and then asks its
//   server to rename by path.
//
// On Windows FILE_OPEN_REPARSE_POINT and the handle-relative rename close
// those windows themselves, and none of these checks is made. Wine also keeps
// its current directory in a MAX_PATH-sized buffer: never give it a longer
// one (nor Windows, where SetCurrentDirectoryW is limited).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace platform::windows {

// Opens name relative to directory, never through a link that took its
// place (FILE_OPEN_REPARSE_POINT); options are further NtOpenFile options.
// An empty handle with the last error set on failure.
OwnedHandle openBelow(HANDLE directory, std::u16string_view name, ACCESS_MASK access,
                      ULONG options);

// The file id of what handle holds (under Wine, its inode), or -1.
LONGLONG indexOf(HANDLE handle);

// Whether what was opened as name in directory may be taken for the entry
// that directory's search listed under that name: false only where Wine may
// have followed a link that took the entry's place since (the design notes),
// with the last error set. index: what was opened, as indexOf gives it.
bool isListedEntry(const OpenDirectory& directory, std::u16string_view name, LONGLONG index);

// Whether Wine holds entry, opened in the current directory, as the entry
// name of that directory, rather than as what a link of that name leads to:
// Wine renames an entry from the host path it resolved when it opened it.
// name: as it is on disk. False with the last error set otherwise.
bool isOpenedAsItself(HANDLE entry, std::u16string_view name);

// Whether path (as forLimitedCall gives it) leads, now, to the entry whose
// index is given: Wine renames an entry by the path it was opened under,
// whatever that path leads to by then (the design notes). What the check
// opened is left in byPath, to be closed after the rename rather than
// between the two. False with the last error set otherwise.
bool pathLeadsTo(const std::wstring& path, LONGLONG index, OwnedHandle& byPath);

// The attributes of name in directory, not followed through a link, with the
// reparse-point bit for links only (reparse.h); INVALID_FILE_ATTRIBUTES with
// the last error set when there is none.
DWORD attributesBelow(HANDLE directory, std::u16string_view name);

// The attributes of what handle holds, as the layers above see them
// (reparse.h); INVALID_FILE_ATTRIBUTES with the last error set on failure.
DWORD attributesOf(HANDLE handle);

// The find record of the entry that path names, without its path.
bool findEntry(const char16_t* path, WIN32_FIND_DATAW* record);

// The current directory: the one that SetCurrentDirectoryW made current, held
// by its handle. Null before the first.
HANDLE currentHandle();
// The open search whose directory is current, or null.
const OpenDirectory* currentDirectory();
// Its full path, as it was made current.
const std::u16string& currentPath();
// Its path where it is too long for the process's own current directory,
// which then still names the one before; else empty.
const std::u16string& currentLongPath();

// path as it names the same entry whichever the process's own current
// directory: a relative path joined to the current directory where that is
// too long to be the process's own, any other path unchanged.
std::u16string resolvedAgainstCurrent(const char16_t* path);

// path as a call that MAX_PATH limits can take it: unchanged where it fits,
// else its full path with the "\\?\" prefix.
std::wstring forLimitedCall(const char16_t* path);

// A seam for tests: the observer sees every path that goes to a call that
// MAX_PATH limits; null for none.
using LimitedPathObserver = void (*)(std::wstring_view path);
void observeLimitedPaths(LimitedPathObserver observer);

// Whether the program runs under Wine, which cannot give a link's move the
// meaning it has on Windows.
bool underWine();

}  // namespace platform::windows
