// POSIX backend only, to emulate Windows: the anchored directory state: the open
// searches' and held directories' descriptors, known by the paths they were given.
#include "platform/posix/open_directories.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "platform/path_text.h"
#include "platform/posix/last_error.h"
#include "platform/posix/name_codec.h"

namespace platform::posix {
namespace {

DirectoryPaths openDirectories(u'/');
std::size_t closeHint = 0;
const OpenDirectory* currentDirectory = nullptr;
// Descriptors of the directories above that are open.
std::size_t descriptorsInUse = 0;

// How many descriptors the open directories may take: the limit, raised as
// far as the system lets a process, less what the rest of the program needs
// (the console, a log, the libraries' own files), so that a walk deeper than
// the limit takes from no one else.
std::size_t descriptorBudget() {
    const static std::size_t budget = [] {
        struct rlimit limit;
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
            return std::size_t{64};
        }
        if (limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
                ::getrlimit(RLIMIT_NOFILE, &limit);
            }
        }
        constexpr rlim_t reserve = 64;
        const rlim_t usable =
            limit.rlim_cur > 2 * reserve ? limit.rlim_cur - reserve : limit.rlim_cur / 2;
        return static_cast<std::size_t>(std::min<rlim_t>(usable, 1 << 20));
    }();
    return budget;
}

OpenDirectory& openDirectoryOf(DirectoryPath* known) {
    return static_cast<OpenDirectory&>(*known);
}

// Makes room for one more descriptor: closes that of the shallowest level
// of a walk, or of a chain of held directories, whose next level is open
// below it, which can open it again.
bool closeAShallowLevel() {
    // The levels above the last one closed were closed before it: the
    // search starts there.
    const std::vector<DirectoryPath*>& levels = openDirectories.inOrder();
    const std::size_t count = levels.size();
    for (std::size_t step = 0; step + 1 < count; ++step) {
        const std::size_t i = (std::min(closeHint, count - 1) + step) % (count - 1);
        OpenDirectory& level = openDirectoryOf(levels[i]);
        if (level.descriptor && &level != currentDirectory && levels[i + 1]->parent == &level) {
            level.descriptor.reset();
            --descriptorsInUse;
            closeHint = i;
            return true;
        }
    }
    return false;
}

// Opens a closed parent again from its level below, as the walk comes back
// up to it: only the directory that it was, never what took its place.
void reopenParentOf(const OpenDirectory& below) {
    OpenDirectory& parent = openDirectoryOf(below.parent);
    OwnedDescriptor fd(openAtMakingRoom(below.descriptor.get(), "..",
                                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    Status status;
    if (fd && statusAt(fd.get(), "", status) && status.device == parent.device &&
        status.inode == parent.inode) {
        parent.descriptor = std::move(fd);
        ++descriptorsInUse;
    }
}

void setErrorForOpen(int e) {
    // Windows reports a missing directory as a missing path even where its
    // last component is all that is missing.
    e == ENOENT ? setLastError(errorPathNotFound) : setLastErrorFromErrno(e);
}

bool takeOpened(OwnedDescriptor fd, OpenDirectory& opened, Status& status) {
    if (!fd || !statusAt(fd.get(), "", status)) {
        setErrorForOpen(errno);
        return false;
    }
    opened.descriptor = std::move(fd);
    opened.device = status.device;
    opened.inode = status.inode;
    return true;
}

// The argument that a walk starts from, and any path outside the open
// directories: its last component may be a link, or a mount point, that the
// user named, unless a link is not to be followed.
bool openByPath(std::u16string_view path, OpenDirectory& opened, Following following) {
    std::string encoded;
    if (!encodeForSystem(path.empty() ? u"." : path, encoded)) {
        return false;
    }
    opened.parent = nullptr;
    opened.name = path;
    Status status;
    const int flags =
        O_RDONLY | O_DIRECTORY | O_CLOEXEC | (following == Following::links ? 0 : O_NOFOLLOW);
    return takeOpened(OwnedDescriptor(openAtMakingRoom(AT_FDCWD, encoded.c_str(), flags)), opened,
                      status);
}

// Opens the entry name of parent (the parent itself when name is empty),
// never through a link and never onto another file system, whatever took
// the entry's place since it was listed; below a held directory, the name
// is the user's, and is opened as the system finds it, a link followed
// where it may be.
bool openBelow(OpenDirectory& parent, std::u16string_view name, OpenDirectory& opened,
               Following following = Following::links) {
    std::string encoded;
    if (!encodeForSystem(name.empty() ? u"." : name, encoded)) {
        return false;
    }
    const bool follows = parent.held && following == Following::links;
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follows ? 0 : O_NOFOLLOW);
    Status status;
    if (!takeOpened(
            OwnedDescriptor(openAtMakingRoom(parent.descriptor.get(), encoded.c_str(), flags)),
            opened, status)) {
        return false;
    }
    if (!name.empty() && !parent.held && isOtherFileSystem(status, parent.device)) {
        opened.descriptor.reset();
        setLastError(errorAccessDenied);
        return false;
    }
    opened.parent = name.empty() ? parent.parent : &parent;
    opened.name = name.empty() ? parent.name : std::u16string(name);
    return true;
}

}  // namespace

int openAtMakingRoom(int directory, const char* name, int flags) {
    while (descriptorsInUse >= descriptorBudget() && closeAShallowLevel()) {
    }
    for (;;) {
        const int fd = ::openat(directory, name, flags);
        if (fd >= 0 || errno != EMFILE || !closeAShallowLevel()) {
            return fd;
        }
    }
}

// A relative path means another directory once another one is current:
// only absolute ones anchor anything.
void remember(OpenDirectory& directory) {
    if (directory.parent != nullptr ||
        (!directory.name.empty() && isSeparator(directory.name.front()))) {
        openDirectories.add(directory);
        descriptorsInUse += directory.descriptor ? 1 : 0;
    }
}

void forget(OpenDirectory& directory) {
    if (directory.parent != nullptr && !openDirectoryOf(directory.parent).descriptor &&
        directory.descriptor) {
        reopenParentOf(directory);
    }
    if (!openDirectories.remove(directory)) {
        return;
    }
    descriptorsInUse -= directory.descriptor ? 1 : 0;
    if (currentDirectory == &directory) {
        currentDirectory = nullptr;
    }
}

OpenDirectory* anchorOf(std::u16string_view path, std::u16string_view& name) {
    DirectoryPath* const anchor = openDirectories.anchorOf(path, name);
    return anchor != nullptr ? &openDirectoryOf(anchor) : nullptr;
}

bool statusAt(int directory, const char* name, Status& status) {
    const bool itself = *name == '\0';
#ifdef STATX_ATTR_MOUNT_ROOT
    // statx, unlike fstatat, would mount an automount point that it looks at.
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (itself ? AT_EMPTY_PATH : 0);
    struct statx extended;
    if (::statx(directory, name, flags, STATX_TYPE | STATX_INO, &extended) != 0) {
        return false;
    }
    status.mode = extended.stx_mode;
    status.device = makedev(extended.stx_dev_major, extended.stx_dev_minor);
    status.inode = extended.stx_ino;
    status.mountRoot = (extended.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#else
    struct stat plain;
    if ((itself ? ::fstat(directory, &plain)
                : ::fstatat(directory, name, &plain, AT_SYMLINK_NOFOLLOW)) != 0) {
        return false;
    }
    status.mode = plain.st_mode;
    status.device = plain.st_dev;
    status.inode = plain.st_ino;
    status.mountRoot = false;
#endif
    return true;
}

bool isOtherFileSystem(const Status& status, dev_t parentDevice) {
    return S_ISDIR(status.mode) && (status.mountRoot || status.device != parentDevice);
}

bool openDirectory(std::u16string_view path, OpenDirectory& opened) {
    opened.length = withoutTrailingSeparators(path).size();
    std::u16string_view name;
    if (OpenDirectory* anchor = anchorOf(path, name)) {
        return openBelow(*anchor, name, opened);
    }
    return openByPath(withoutTrailingSeparators(path), opened, Following::links);
}

Handle holdDirectory(std::u16string_view path, std::u16string_view full, Following following) {
    auto held = std::make_unique<OpenDirectory>();
    std::u16string_view name;
    OpenDirectory* const anchor = anchorOf(full, name);
    // A relative path is opened as given: the current directory is the one
    // that is held, where its full path may name another by now.
    const bool opened = anchor != nullptr ? openBelow(*anchor, name, *held, following)
                                          : openByPath(path, *held, following);
    if (!opened) {
        return invalidHandleValue;
    }
    if (anchor == nullptr) {
        held->name = withoutTrailingSeparators(full);
    }
    held->length = withoutTrailingSeparators(full).size();
    held->held = true;
    remember(*held);
    return held.release();
}

// Only a handle known here is looked into.
bool isHeldDirectory(Handle handle) {
    const auto* const open = static_cast<const OpenDirectory*>(handle);
    return openDirectories.contains(open) && open->held;
}

const OpenDirectory* heldDirectoryOf(Handle handle) {
    return isHeldDirectory(handle) ? static_cast<const OpenDirectory*>(handle) : nullptr;
}

int openInOpenDirectory(std::u16string_view fullPath, int flags, bool& anchored) {
    std::u16string_view name;
    const OpenDirectory* const anchor = anchorOf(fullPath, name);
    anchored = anchor != nullptr;
    std::string encoded;
    if (!anchored || !encodeForSystem(name.empty() ? u"." : name, encoded)) {
        errno = EINVAL;
        return -1;
    }
    return openAtMakingRoom(anchor->descriptor.get(), encoded.c_str(), flags);
}

bool releaseDirectory(Handle handle) {
    auto* const held = static_cast<OpenDirectory*>(handle);
    forget(*held);
    delete held;
    return true;
}

bool isCurrent(const OpenDirectory& directory) {
    return currentDirectory == &directory;
}

void setCurrent(const OpenDirectory* directory) {
    currentDirectory = directory;
}

}  // namespace platform::posix
