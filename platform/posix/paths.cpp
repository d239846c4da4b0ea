// POSIX backend only, to emulate Windows: paths, attributes and the current directory.
//
// Paths for the system calls of the file services: their bytes, the entries
// they name, and the current directory they are resolved against.
#include "platform/posix/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/name_codec.h"
#include "platform/path_text.h"
#include "platform/posix/last_error.h"

namespace platform::posix {
namespace {

// The directory that would hold the last component of path.
std::string parentOf(const std::string& path) {
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) {
        return "/";
    }
    std::size_t cut = path.rfind('/', end);
    if (cut == std::string::npos) {
        return ".";
    }
    std::size_t parentEnd = path.find_last_not_of('/', cut);
    return parentEnd == std::string::npos ? "/" : path.substr(0, parentEnd + 1);
}

bool isDirectory(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Drops the separators at the end of path, but not the root's own. Returns
// whether there were any.
bool dropTrailingSeparators(std::string& path) {
    std::size_t end = path.find_last_not_of('/');
    std::size_t keep = end == std::string::npos ? std::min<std::size_t>(path.size(), 1) : end + 1;
    bool dropped = keep < path.size();
    path.resize(keep);
    return dropped;
}

Dword attributesByPath(const std::string& path) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0) {
        setLastErrorForPath(errno, path);
        return invalidFileAttributes;
    }
    return attributesOf(status.st_mode, AT_FDCWD, path.c_str());
}

}  // namespace

Dword attributesOf(mode_t mode, int directory, const char* name) {
    if (S_ISDIR(mode)) {
        return fileAttributeDirectory;
    }
    if (!S_ISLNK(mode)) {
        return fileAttributeNormal;
    }
    struct stat target;
    bool leadsToDirectory = ::fstatat(directory, name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    return fileAttributeReparsePoint | (leadsToDirectory ? fileAttributeDirectory : 0);
}

bool statusAt(int directory, const char* name, Status& status) {
    const bool itself = *name == '\0';
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
    return true;
}

bool isOtherFileSystem(const Status& status, dev_t parentDevice) {
    return S_ISDIR(status.mode) && (status.mountRoot || status.device != parentDevice);
}

Dword attributesAt(int directory, const char* name, dev_t device) {
    Status status;
    if (!statusAt(directory, name, status)) {
        setLastErrorFromErrno(errno);
        return invalidFileAttributes;
    }
    const Dword attributes = attributesOf(status.mode, directory, name);
    return isOtherFileSystem(status, device) ? attributes | fileAttributeReparsePoint : attributes;
}

void setLastErrorForPath(int e, const std::string& path) {
    if (e == ENOENT && (path.empty() || !isDirectory(parentOf(path)))) {
        setLastError(errorPathNotFound);
        return;
    }
    setLastErrorFromErrno(e);
}

// A backslash byte in a directory's name is part of that name, never a
// separator, so the names are decoded as names.
bool readCurrentDirectory(std::u16string& out) {
    std::string bytes(256, '\0');
    while (::getcwd(bytes.data(), bytes.size()) == nullptr) {
        if (errno != ERANGE) {
            setLastErrorFromErrno(errno);
            return false;
        }
        bytes.resize(bytes.size() * 2);
    }
    bytes.resize(std::strlen(bytes.c_str()));
    out.clear();
    decode(bytes, Backslash::nameCharacter, out);
    return true;
}

bool resolveLexically(std::u16string_view path, std::u16string& full) {
    if (path.empty()) {
        setLastError(errorPathNotFound);
        return false;
    }
    full.assign(1, u'/');
    if (!isSeparator(path.front())) {
        std::u16string current;
        if (!readCurrentDirectory(current)) {
            return false;
        }
        appendComponents(current, full);
    }
    appendComponents(path, full);
    if (isSeparator(path.back()) && full.size() > 1) {
        full += u'/';
    }
    return true;
}

// lstat would look through a link named with a trailing separator; the
// link itself is what Windows reports, and the layers above rely on its
// reparse-point bit to never walk through one.
Dword attributesOfPath(std::u16string_view text) {
    std::string encoded;
    if (!encodeForSystem(text, encoded)) {
        return invalidFileAttributes;
    }
    const bool namesDirectory = dropTrailingSeparators(encoded);
    const Dword attributes = attributesByPath(encoded);
    if (attributes != invalidFileAttributes && namesDirectory &&
        (attributes & fileAttributeDirectory) == 0) {
        setLastError(errorPathNotFound);
        return invalidFileAttributes;
    }
    return attributes;
}

}  // namespace platform::posix
