// POSIX backend only, to emulate Windows: the primitives of the anchored file
// services (file_system.h), from openat, fstatat and fchdir.
//
// A directory below an open one is opened with openat from the open one's
// descriptor, never through a link (O_NOFOLLOW) and never into another file
// system; an open directory is made current with fchdir, so entries moved by
// their bare names are moved in it, whatever took its path meanwhile.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/file_system.h"
#include "platform/name_codec.h"
#include "platform/path_text.h"
#include "platform/posix/last_error.h"
#include "platform/posix/paths.h"
#include "platform/posix/signals.h"

namespace platform::posix {
namespace {

constexpr int directoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

Identity identityOf(const Status& status) {
    return {static_cast<std::uint64_t>(status.device), static_cast<std::uint64_t>(status.inode)};
}

// What was opened, with what it is, or nothing; parentDevice: where it must
// lie, for a directory that a walk may enter.
OwnedHandle takeOpened(int fd, Identity& identity, const Identity* parent = nullptr) {
    OwnedHandle opened(fd);
    Status status;
    if (!opened || !statusAt(fd, "", status)) {
        setLastErrorFromErrno(errno);
        return {};
    }
    if (parent != nullptr && isOtherFileSystem(status, static_cast<dev_t>(parent->volume))) {
        setLastError(errorAccessDenied);
        return {};
    }
    identity = identityOf(status);
    return opened;
}

OwnedHandle openAt(int directory, std::u16string_view name, int flags, Identity& identity,
                   const Identity* parent = nullptr) {
    std::string encoded;
    if (!encodeForSystem(name.empty() ? u"." : name, encoded)) {
        return {};
    }
    return takeOpened(::openat(directory, encoded.c_str(), flags), identity, parent);
}

bool changeTo(int directory) {
    if (::fchdir(directory) != 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

}  // namespace
}  // namespace platform::posix

namespace platform::os {

using namespace posix;

void closeSystemHandle(SystemHandle handle) {
    ::close(handle);
}

void beforeFileCall() {
    endIfTerminating();
}

// The limit, raised as far as the system lets a process, less what the
// rest of the program needs (the console, a log, the libraries' own files),
// so that a walk deeper than the limit takes from no one else.
std::size_t handleBudget() {
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

// A relative path is opened as given, against the current directory that
// the system holds.
OwnedHandle openDirectoryByPath(std::u16string_view path, Following following, Identity& identity) {
    std::string encoded;
    if (!encodeForSystem(path.empty() ? u"." : path, encoded)) {
        return {};
    }
    const int flags = directoryFlags | (following == Following::links ? 0 : O_NOFOLLOW);
    const int fd = ::openat(AT_FDCWD, encoded.c_str(), flags);
    if (fd < 0) {
        setLastErrorForPath(errno, encoded);
        return {};
    }
    return takeOpened(fd, identity);
}

OwnedHandle openDirectoryBelow(const OpenDirectory& parent, std::u16string_view name,
                               Following following, Identity& identity) {
    const bool follows = parent.held && following == Following::links;
    return openAt(parent.handle.get(), name, directoryFlags | (follows ? 0 : O_NOFOLLOW), identity,
                  parent.held ? nullptr : &parent.identity);
}

OwnedHandle reopenDirectory(const OpenDirectory& directory, Identity& identity) {
    return openAt(directory.handle.get(), u"", directoryFlags, identity);
}

// The system's current directory is the one made current.
OwnedHandle reopenCurrentDirectory(std::u16string&) {
    return {};
}

OwnedHandle openParentOf(const OpenDirectory& below, Identity& identity) {
    return openAt(below.handle.get(), u"..", directoryFlags | O_NOFOLLOW, identity);
}

// Like the walk's listing, it tells a directory on another file system by
// the reparse-point bit.
Dword attributesBelow(const OpenDirectory& directory, std::u16string_view name) {
    std::string encoded;
    if (!name.empty() && !encodeForSystem(name, encoded)) {
        return invalidFileAttributes;
    }
    const Dword attributes = attributesAt(directory.handle.get(), encoded.c_str(),
                                          static_cast<dev_t>(directory.identity.volume));
    // The directory itself is where a walk stands, whatever it is mounted on.
    return name.empty() && attributes != invalidFileAttributes ? fileAttributeDirectory
                                                               : attributes;
}

Dword attributesByPath(PathText path) {
    return attributesOfPath(path);
}

bool enterOpenDirectory(const OpenDirectory& directory) {
    return changeTo(directory.handle.get());
}

// The system keeps the directory current after its descriptor closes.
bool enterDirectory(OwnedHandle handle, std::u16string_view) {
    return changeTo(handle.get());
}

void leavingDirectory(OpenDirectory&) {}

bool fullPathOf(PathText path, std::u16string& full) {
    return resolveLexically(path, full);
}

bool entryPathOf(PathText path, std::u16string& full) {
    return resolveLexically(path, full);
}

std::u16string_view asResolved(PathText path, std::u16string&) {
    return path;
}

}  // namespace platform::os
