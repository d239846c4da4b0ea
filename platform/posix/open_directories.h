// POSIX backend only, to emulate Windows: the anchored directory state.
//
// The directories of the searches that are open, and the anchor they give to
// every path below them.
//
// Design notes. The layers above walk a tree by full paths: they list "<dir>/*",
// walk into "<dir>/<entry>" by listing "<dir>/<entry>/*", ask for the
// attributes of "<dir>/<entry>", and make "<dir>" current before they move an
// entry by its bare name. Resolving each of those paths afresh would let a
// directory swapped for a link mid-walk lead the walk, and the moves, outside
// the tree, and would stop at the system's limit on the length of a path. So
// each open search keeps the descriptor of the directory that it listed,
// under the directory text it was given (trailing separators dropped), and
// the file services resolve a path against it whenever they can:
//
// - the directory of an open search is that search's descriptor: listing it
//   again opens "." from it, making it current is fchdir on it (and nothing
//   at all when it is current already);
// - "<dir>/<name>", for the directory of an open search and one name, is
//   that name in the search's directory: listing it opens it with openat from
//   the search's descriptor, never through a link (O_NOFOLLOW) and never into
//   another file system; its attributes come from fstatat on the descriptor;
// - any other path is resolved by path, once: the argument that the walk
//   starts from. There the last component may be a link, which the user named.
//
// A walk keeps one search open per level, so the directory of the entry in
// hand is the search opened last: lookups start there. Only the main thread
// uses the file services; nothing here is locked.
//
// Held directories. CreateFileW on a directory holds it the same way until
// CloseHandle: the run holds the working directory and each argument's parent
// from the argument's resolution to its end, so the argument's own entry, and
// the working directory made current again, are the ones that were resolved,
// whatever took their path meanwhile. A name below a held directory is one
// the user gave: it is opened even where it is a link or a mount point.
//
// Depth. A level keeps its name and its parent, not its whole path
// (directory_paths.h). Where the system
// refuses another descriptor (EMFILE), the descriptor of the shallowest level
// that has an open level below it is closed; when the level below closes, it
// is opened again from there ("..") and taken only if it is the same directory
// (device and inode), so no level is skipped for want of descriptors.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "platform/directory_paths.h"
#include "platform/platform.h"

namespace platform::posix {

// A descriptor that its owner closes.
class OwnedDescriptor {
public:
    OwnedDescriptor() = default;
    explicit OwnedDescriptor(int descriptor) : value(descriptor) {}
    OwnedDescriptor(OwnedDescriptor&& other) noexcept : value(other.release()) {}
    OwnedDescriptor& operator=(OwnedDescriptor&& other) noexcept {
        reset(other.release());
        return *this;
    }
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
    ~OwnedDescriptor() { reset(); }

    int get() const { return value; }
    explicit operator bool() const { return value >= 0; }
    int release() {
        const int released = value;
        value = -1;
        return released;
    }
    void reset(int descriptor = -1) {
        if (value >= 0) {
            ::close(value);
        }
        value = descriptor;
    }

private:
    int value = -1;
};

// What an open directory is checked against: its descriptor, and the device
// that its entries must share for a walk to enter them. Its parent, where it
// has one, is an OpenDirectory too.
struct OpenDirectory : DirectoryPath {
    OwnedDescriptor descriptor;  // none while closed for want of descriptors
    dev_t device = 0;
    ino_t inode = 0;
    bool held = false;
};

// A directory is known from its opening to its closing, under its path.
void remember(OpenDirectory& directory);
void forget(OpenDirectory& directory);

// The open directory that path names, or that holds the entry path names;
// name is then empty, or the entry's name. Null for any other path.
OpenDirectory* anchorOf(std::u16string_view path, std::u16string_view& name);

// openat that makes room where the system has no descriptor left, by
// closing one that can be opened again later; -1 with errno set.
int openAtMakingRoom(int directory, const char* name, int flags);

// The kind of an entry and where it lies, without following a link.
struct Status {
    mode_t mode = 0;
    dev_t device = 0;
    ino_t inode = 0;
    bool mountRoot = false;
};

// The status of name in directory (a descriptor); "" for the directory itself.
bool statusAt(int directory, const char* name, Status& status);

// A directory on another device than its parent's, or the root of a mount
// (a bind mount may share its parent's device), is another file system.
bool isOtherFileSystem(const Status& status, dev_t parentDevice);

// Opens the directory that path names for listing: anchored where an open
// directory allows it, else by path. Fills everything but held; false with
// the last error set.
bool openDirectory(std::u16string_view path, OpenDirectory& opened);

// Whether a link that a path's last component names is followed.
enum class Following { links, none };

// CreateFileW and CloseHandle on a directory: held until released. path is
// as given, full as resolved lexically against the current directory. Below
// a held directory, Following::none opens the name as a walk would: never
// through a link, but onto another file system where the user's tree goes.
Handle holdDirectory(std::u16string_view path, std::u16string_view full, Following following);
bool isHeldDirectory(Handle handle);
// The held directory that a handle stands for, or null for any other handle.
const OpenDirectory* heldDirectoryOf(Handle handle);

// Opens what a full path names relative to the open directory that holds
// it (or that it names), with open's flags, so that no path is resolved
// again; -1 with errno set. anchored is false, and nothing is opened, where
// no open directory holds it.
int openInOpenDirectory(std::u16string_view fullPath, int flags, bool& anchored);
bool releaseDirectory(Handle held);

// Whether the current directory is that of this open directory, which
// SetCurrentDirectoryW made current by its descriptor.
bool isCurrent(const OpenDirectory& directory);
void setCurrent(const OpenDirectory* directory);

}  // namespace platform::posix
