// Windows backend only: the anchored directory state.
//
// The directories of the searches that are open, the directory that is
// current, and the anchor they give to every path below them.
//
// Design notes. The layers above walk a tree by full paths: they list
// "<dir>\*", walk into "<dir>\<entry>" by listing "<dir>\<entry>\*", ask for
// the attributes of "<dir>\<entry>", and make "<dir>" current before they
// move an entry by its bare name. Resolving each of those paths afresh would
// let a directory swapped for a junction or a link mid-walk lead the walk,
// and the moves, outside the tree, and would stop at MAX_PATH. So each open
// search keeps the handle of the directory that it listed, under the
// directory text it was given (trailing separators dropped), and the file
// services resolve a path against it whenever they can:
//
// - the directory of an open search is that search's handle: listing it
//   again lists a copy of the handle, making it current holds it as the
//   current directory (and does nothing at all when it is current already);
// - "<dir>\<name>", for the directory of an open search and one name, is
//   that name in the search's directory: listing it opens it relative to the
//   search's handle (RootDirectory), with FILE_OPEN_REPARSE_POINT, and takes
//   it only when what was opened is a directory that is no link; its
//   attributes come from the same relative open;
// - any other path is resolved by path, once: the argument that the walk
//   starts from. There the last component may be a link, which the user named.
//
// The current directory is a handle that this layer holds, and entries named
// by bare names are moved relative to it (FileRenameInformation with the
// directory as RootDirectory, never a replace), so a move never goes through
// whatever took the directory's place since it was made current. The
// process's own current directory follows it only where the path fits a
// MAX_PATH-sized buffer; no path longer than that goes to a call that
// MAX_PATH limits, and a long path goes by path with the "\\?\" prefix.
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
//
// A walk keeps one search open per level, each known by its parent and its
// own name, not its whole path (directory_paths.h), so a walk as deep as a
// 32,767-unit path allows holds its names once. Only the main thread uses
// the file services; nothing here is locked.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/directory_paths.h"

namespace platform::windows {

// A handle that its owner closes.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : value(handle) {}
    OwnedHandle(OwnedHandle&& other) noexcept : value(other.release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { reset(); }

    HANDLE get() const { return value; }
    explicit operator bool() const { return value != nullptr; }
    HANDLE release() {
        const HANDLE released = value;
        value = nullptr;
        return released;
    }
    void reset(HANDLE handle = nullptr);

private:
    HANDLE value = nullptr;
};

// What an open directory is checked against: its handle.
// An entry as a listing showed it.
struct ListedEntry {
    std::u16string_view name;
    DWORD attributes = 0;
    LONGLONG id = 0;
};

// Its parent, where it has one, is an OpenDirectory too (directory_paths.h).
struct OpenDirectory : DirectoryPath {
    OwnedHandle handle;
    ListedEntry listed;  // the entry that the search handed out last
    // Held by CreateFileW rather than listed: a name below it is one the user
    // gave, opened for a walk as the system finds it, link or not.
    bool held = false;
};

// A search's directory is known from its opening to its closing. A directory
// that is current when its search closes stays current: the current
// directory takes over its handle.
void remember(OpenDirectory& directory);
void forget(OpenDirectory& directory);

// The open directory that path names, or that holds the entry path names;
// name is then empty, or the entry's name. Null for any other path.
const OpenDirectory* anchorOf(std::u16string_view path, std::u16string_view& name);
std::u16string pathOf(const OpenDirectory& directory);

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
bool isListedEntry(const OpenDirectory& directory, std::u16string_view name, HANDLE opened);
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

// Whether what was opened as name in directory, never through a link, is
// the entry that directory lists under that name: false only under Wine
// (the design notes), where a link, or an entry other than the one listed,
// was opened, with the last error set.
bool isListedAsItself(HANDLE directory, std::u16string_view name, HANDLE opened);

// The attributes of name in directory, not followed through a link, with the
// reparse-point bit for links only (reparse.h); INVALID_FILE_ATTRIBUTES with
// the last error set when there is none.
DWORD attributesBelow(HANDLE directory, std::u16string_view name);

// Opens the directory that path names for listing: anchored where an open
// search allows it, else by path. Fills everything but listed and held;
// false with the last error set.
bool openDirectory(std::u16string_view path, OpenDirectory& opened);

// The attributes of what handle holds, as the layers above see them
// (reparse.h); INVALID_FILE_ATTRIBUTES with the last error set on failure.
DWORD attributesOf(HANDLE handle);

// The current directory: the one that SetCurrentDirectoryW made current, held
// by its handle. Null before the first.
HANDLE currentHandle();
// Whether a link that a path's last component names is followed.
enum class Following { links, none };

// CreateFileW and CloseHandle on a directory: held until released, as
// posix/open_directories.h says; below a held directory, Following::none
// opens the name as a walk would, never through a link.
HANDLE holdDirectory(const char16_t* path, Following following);
bool isHeldDirectory(HANDLE handle);
// The system's handle behind a handle of CreateFileW: a held directory's own.
HANDLE systemHandleOf(HANDLE handle);
void releaseDirectory(HANDLE held);

// The open search whose directory is current, or null.
const OpenDirectory* currentDirectory();
// Its full path, as it was made current.
const std::u16string& currentPath();
// Its path where it is too long for the process's own current directory,
// which then still names the one before; else empty.
const std::u16string& currentLongPath();
bool isCurrent(const OpenDirectory& directory);
// fullPath: the directory's, as pathOf gives it.
void setCurrent(const OpenDirectory& directory, std::u16string fullPath);
void setCurrent(OwnedHandle handle, std::u16string_view fullPath);

// Whether a full path fits the process's current directory, which Windows
// and Wine keep in a MAX_PATH-sized buffer with a trailing separator.
bool fitsCurrentDirectory(std::u16string_view fullPath);

// path as it names the same entry whichever the process's own current
// directory: a relative path joined to the current directory where that is
// too long to be the process's own, any other path unchanged.
std::u16string resolvedAgainstCurrent(const char16_t* path);
// Whether resolvedAgainstCurrent leaves path as it is.
bool isResolvedAsGiven(const char16_t* path);

// Makes fullPath, which fits, the process's own current directory.
bool setProcessDirectory(const std::u16string& fullPath);

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
