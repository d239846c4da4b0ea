// The seam between the anchored file services and the system below them.
//
// The file services of platform.h are written once, above this header
// (open_directories.h, files.cpp): which directory anchors a path, what is
// opened below what, what is held and what is current. Each backend gives
// them the primitives declared here, from the system's own calls:
// open a directory below a held one without following a link, tell what an
// entry is, list a directory whole, rename below one without replacing, make
// one current, close. Only platform/ includes this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/directory_paths.h"
#include "platform/platform.h"

namespace platform {

// What the system holds open for a directory: a file descriptor on POSIX, a
// handle on Windows.
#if defined(_WIN32)
using SystemHandle = void*;
inline const SystemHandle noSystemHandle = nullptr;
#else
using SystemHandle = int;
constexpr SystemHandle noSystemHandle = -1;
#endif

namespace os {
void closeSystemHandle(SystemHandle handle);
}  // namespace os

// A system handle that its owner closes.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(SystemHandle handle) : value(handle) {}
    OwnedHandle(OwnedHandle&& other) noexcept : value(other.release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { reset(); }

    SystemHandle get() const { return value; }
    explicit operator bool() const { return value != noSystemHandle; }
    SystemHandle release() {
        const SystemHandle released = value;
        value = noSystemHandle;
        return released;
    }
    void reset(SystemHandle handle = noSystemHandle) {
        if (value != noSystemHandle) {
            os::closeSystemHandle(value);
        }
        value = handle;
    }

private:
    SystemHandle value = noSystemHandle;
};

// What tells one directory from every other while it exists: its volume and
// its index there (POSIX: device and inode). Zero where the backend never
// needs to tell (Windows, which never runs out of handles).
struct Identity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const Identity&) const = default;
};

// An entry as a listing showed it: its name, its attributes, and its file id.
struct ListedEntry {
    std::u16string_view name;
    Dword attributes = 0;
    std::int64_t id = 0;
};

// A directory that the file services hold open: a search's, the current
// one, or one held until CloseHandle. Its parent, where it has one, is an
// OpenDirectory too (directory_paths.h).
struct OpenDirectory : DirectoryPath {
    OwnedHandle handle;  // none while closed for want of handles
    Identity identity;
    ListedEntry listed;  // the entry that its search handed out last
    // Held by CreateFileW rather than listed: a name below it is one the user
    // gave, opened as the system finds it.
    bool held = false;
};

// Whether a link that a path's last component names is followed.
enum class Following { links, none };

// What the system refuses an open with when the process holds all the
// handles it may.
constexpr Dword errorTooManyOpenFiles = 4;

// The primitives. Each is false, or an empty handle, with the last error set
// on failure.
namespace os {

// Called by every file service that a walk makes between two entries: on
// POSIX a pending termination ends the process there.
void beforeFileCall();

// How many directories the file services may hold open at once.
std::size_t handleBudget();

// The directory that path names, opened to be listed, as the system resolves
// the path against the current directory: its last component may be a link
// (a name that the user gave) only where links are followed.
OwnedHandle openDirectoryByPath(std::u16string_view path, Following following, Identity& identity);

// The directory name below parent, opened to be listed. Below a directory
// that a walk listed: never through a link, never onto another file system,
// and only the entry that was listed. Below a held one, the name is the
// user's: with links followed it is opened as the system finds it; else
// never through a link, but onto another file system where the user's tree
// goes.
OwnedHandle openDirectoryBelow(const OpenDirectory& parent, std::u16string_view name,
                               Following following, Identity& identity);

// The directory itself again, on a handle of its own.
OwnedHandle reopenDirectory(const OpenDirectory& directory, Identity& identity);

// The current directory as the file services made it current, on a handle
// of its own, whatever its path leads to by now, and the full path it was
// made current under; empty where the system's own current directory is
// that one.
OwnedHandle reopenCurrentDirectory(std::u16string& full);

// The parent of below, opened from below (".."), for a level that was
// closed for want of handles.
OwnedHandle openParentOf(const OpenDirectory& below, Identity& identity);

// CreateFileW on an existing entry name below directory (directory itself
// when name is empty), never through a link; access and flags as given.
Handle openEntryBelow(const OpenDirectory& directory, std::u16string_view name, Dword access,
                      Dword flags);
// CreateFileW on any other path.
Handle openFile(const char16_t* path, Dword access, Dword shareMode, Dword disposition,
                Dword flags);
// CloseHandle on a handle that is no held directory.
Bool closeFile(Handle file);

// The attributes of name below directory (of the directory itself when name
// is empty), as GetFileAttributesW gives them, a link not followed.
Dword attributesBelow(const OpenDirectory& directory, std::u16string_view name);
// The attributes of what path names, resolved by the system.
Dword attributesByPath(PathText path);

// Makes an open directory current by its handle.
bool enterOpenDirectory(const OpenDirectory& directory);
// Makes current the directory that a handle of its own holds, which the
// current directory then keeps; full: its full path.
bool enterDirectory(OwnedHandle handle, std::u16string_view full);
// A directory is about to be closed, which may be the current one.
void leavingDirectory(OpenDirectory& directory);

// path resolved against the current directory, as the system resolves a
// directory's path, without asking the file system about any of its
// components (GetFullPathNameW).
bool fullPathOf(PathText path, std::u16string& full);
// path resolved against the current directory with its names as they are,
// as the system resolves the path of an entry to open.
bool entryPathOf(PathText path, std::u16string& full);
// path as it names the same entry whichever the process's own current
// directory, in scratch where it must be joined.
std::u16string_view asResolved(PathText path, std::u16string& scratch);

// The entries of one directory, read whole when its search opens: a
// listing may or may not hand out again an entry that was renamed after it
// began, and the walk renames the entries while it lists them. They are
// handed out in the order of their file ids, which no rename changes, where
// a directory's own order may follow the names: a directory listed again
// after its entries were renamed comes in the order it came in before.
class Listing;
// The listing of the names of directory that mask matches, as the system
// matches them; null with the last error set.
Listing* listDirectory(const OpenDirectory& directory, std::u16string_view mask);
// The next entry, or false with errorNoMoreFiles (or the error of the read)
// as the last error. listed: the entry as the listing shows it, until the
// next call.
bool nextListed(Listing& listing, const OpenDirectory& directory, FindData& found,
                ListedEntry& listed);
void closeListing(Listing* listing);

}  // namespace os

// The one thing that the primitives may ask of the layer above: the held
// directory that a handle of CreateFileW stands for (null for any other
// handle), whose system handle the services on handles use.
const OpenDirectory* heldDirectoryOf(Handle handle);

}  // namespace platform
