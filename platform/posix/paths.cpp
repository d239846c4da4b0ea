#include "platform/posix/paths.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/last_error.h"
#include "platform/posix/name_codec.h"
#include "platform/posix/open_directories.h"
#include "platform/posix/signals.h"

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

bool endsWithSeparator(std::u16string_view path) {
    return !path.empty() && (path.back() == u'/' || path.back() == u'\\');
}

Dword attributesByPath(const std::string& path) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0) {
        setLastErrorForPath(errno, path);
        return invalidFileAttributes;
    }
    return attributesOf(status.st_mode, AT_FDCWD, path.c_str());
}

// An entry of an open directory, or the directory itself; like the walk's
// listing, it tells a directory on another file system by the reparse-point
// bit.
Dword attributesBelow(const OpenDirectory& directory, std::u16string_view name,
                      std::string& scratch) {
    if (!name.empty() && !encodeForSystem(name, scratch)) {
        return invalidFileAttributes;
    }
    const char* const entry = name.empty() ? "" : scratch.c_str();
    Status status;
    if (!statusAt(directory.descriptor, entry, status)) {
        setLastErrorFromErrno(errno);
        return invalidFileAttributes;
    }
    if (name.empty()) {
        return fileAttributeDirectory;
    }
    Dword const attributes = attributesOf(status.mode, directory.descriptor, entry);
    return isOtherFileSystem(status, directory.device) ? attributes | fileAttributeReparsePoint
                                                       : attributes;
}

}  // namespace

bool encodeForSystem(std::u16string_view path, std::string& out) {
    out.clear();
    if (!encodePath(path, out)) {
        setLastError(errorInvalidName);
        return false;
    }
    return true;
}

bool encodeForSystem(const char16_t* path, std::string& out) {
    if (path == nullptr) {
        setLastError(errorInvalidParameter);
        return false;
    }
    return encodeForSystem(std::u16string_view(path), out);
}

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

void setLastErrorForPath(int e, const std::string& path) {
    if (e == ENOENT && (path.empty() || !isDirectory(parentOf(path)))) {
        setLastError(errorPathNotFound);
        return;
    }
    setLastErrorFromErrno(e);
}

}  // namespace platform::posix

namespace platform {

Dword GetFileAttributesW(const char16_t* path) {
    posix::endIfTerminating();
    if (path == nullptr) {
        posix::setLastError(errorInvalidParameter);
        return invalidFileAttributes;
    }
    std::u16string_view const text(path);
    std::u16string_view name;
    const posix::OpenDirectory* const anchor = posix::anchorOf(text, name);
    std::string encoded;
    // lstat would look through a link named with a trailing separator; the
    // link itself is what Windows reports, and the layers above rely on its
    // reparse-point bit to never walk through one.
    bool namesDirectory = false;
    Dword attributes = invalidFileAttributes;
    if (anchor != nullptr) {
        namesDirectory = posix::endsWithSeparator(text);
        attributes = posix::attributesBelow(*anchor, name, encoded);
    } else if (posix::encodeForSystem(text, encoded)) {
        namesDirectory = posix::dropTrailingSeparators(encoded);
        attributes = posix::attributesByPath(encoded);
    }
    if (attributes != invalidFileAttributes && namesDirectory &&
        (attributes & fileAttributeDirectory) == 0) {
        posix::setLastError(errorPathNotFound);
        return invalidFileAttributes;
    }
    return attributes;
}

}  // namespace platform
