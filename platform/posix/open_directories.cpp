// POSIX backend only, to emulate Windows: the anchored directory state: the open
// searches' descriptors, keyed by the paths they were given.
#include "platform/posix/open_directories.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/path_text.h"
#include "platform/posix/last_error.h"
#include "platform/posix/name_codec.h"

namespace platform::posix {
namespace {

std::vector<const OpenDirectory*> openDirectories;
const OpenDirectory* currentDirectory = nullptr;

const OpenDirectory* openDirectoryAt(std::u16string_view path) {
    for (auto it = openDirectories.rbegin(); it != openDirectories.rend(); ++it) {
        const std::u16string& known = (*it)->path;
        if (known.size() == path.size() &&
            std::memcmp(known.data(), path.data(), path.size() * sizeof(char16_t)) == 0) {
            return *it;
        }
    }
    return nullptr;
}

// The argument that a walk starts from, and any path outside the open
// searches: its last component may be a link, or a mount point, that the
// user named.
OwnedDescriptor openByPath(std::u16string_view path, dev_t& device) {
    std::string encoded;
    if (!encodeForSystem(path.empty() ? u"." : path, encoded)) {
        return {};
    }
    OwnedDescriptor fd(::open(encoded.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Status status;
    if (!fd || !statusAt(fd.get(), "", status)) {
        // Windows reports a missing directory as a missing path even where
        // its last component is all that is missing.
        errno == ENOENT ? setLastError(errorPathNotFound) : setLastErrorFromErrno(errno);
        return {};
    }
    device = status.device;
    return fd;
}

// Opens the entry name of parent (the parent itself when name is empty),
// never through a link and never onto another file system, whatever took
// the entry's place since it was listed.
OwnedDescriptor openBelow(const OpenDirectory& parent, std::u16string_view name, dev_t& device) {
    std::string encoded;
    if (!encodeForSystem(name.empty() ? u"." : name, encoded)) {
        return {};
    }
    OwnedDescriptor fd(::openat(parent.descriptor.get(), encoded.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        errno == ENOENT ? setLastError(errorPathNotFound) : setLastErrorFromErrno(errno);
        return {};
    }
    Status status;
    if (!statusAt(fd.get(), "", status) ||
        (!name.empty() && isOtherFileSystem(status, parent.device))) {
        setLastError(errorAccessDenied);
        return {};
    }
    device = status.device;
    return fd;
}

}  // namespace

// A relative path means another directory once another one is current:
// only absolute ones anchor anything.
void remember(const OpenDirectory& directory) {
    if (!directory.path.empty() && isSeparator(directory.path.front())) {
        openDirectories.push_back(&directory);
    }
}

void forget(const OpenDirectory& directory) {
    const auto found = std::find(openDirectories.rbegin(), openDirectories.rend(), &directory);
    if (found != openDirectories.rend()) {
        openDirectories.erase(std::next(found).base());
    }
    if (currentDirectory == &directory) {
        currentDirectory = nullptr;
    }
}

const OpenDirectory* anchorOf(std::u16string_view path, std::u16string_view& name) {
    if (openDirectories.empty() || path.empty()) {
        return nullptr;
    }
    const std::u16string_view trimmed = withoutTrailingSeparators(path);
    name = {};
    if (const OpenDirectory* itself = openDirectoryAt(trimmed)) {
        return itself;
    }
    std::size_t cut = trimmed.size();
    while (cut > 0 && !isSeparator(trimmed[cut - 1])) {
        --cut;
    }
    name = trimmed.substr(cut);
    if (cut == 0 || name == u"." || name == u"..") {
        return nullptr;
    }
    return openDirectoryAt(withoutTrailingSeparators(trimmed.substr(0, cut)));
}

bool statusAt(int directory, const char* name, Status& status) {
    const bool itself = *name == '\0';
#ifdef STATX_ATTR_MOUNT_ROOT
    // statx, unlike fstatat, would mount an automount point that it looks at.
    const int flags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | (itself ? AT_EMPTY_PATH : 0);
    struct statx extended;
    if (::statx(directory, name, flags, STATX_TYPE, &extended) != 0) {
        return false;
    }
    status.mode = extended.stx_mode;
    status.device = makedev(extended.stx_dev_major, extended.stx_dev_minor);
    status.mountRoot = (extended.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#else
    struct stat plain;
    if ((itself ? ::fstat(directory, &plain)
                : ::fstatat(directory, name, &plain, AT_SYMLINK_NOFOLLOW)) != 0) {
        return false;
    }
    status.mode = plain.st_mode;
    status.device = plain.st_dev;
    status.mountRoot = false;
#endif
    return true;
}

bool isOtherFileSystem(const Status& status, dev_t parentDevice) {
    return S_ISDIR(status.mode) && (status.mountRoot || status.device != parentDevice);
}

OwnedDescriptor openDirectory(std::u16string_view path, dev_t& device) {
    std::u16string_view name;
    if (const OpenDirectory* anchor = anchorOf(path, name)) {
        return openBelow(*anchor, name, device);
    }
    return openByPath(path, device);
}

bool isCurrent(const OpenDirectory& directory) {
    return currentDirectory == &directory;
}

void setCurrent(const OpenDirectory* directory) {
    currentDirectory = directory;
}

}  // namespace platform::posix
