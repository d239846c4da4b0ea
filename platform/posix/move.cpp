// POSIX backend only, to emulate Windows: moves that never replace an entry.
#include "platform/posix/move.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/posix/last_error.h"
#include "platform/posix/paths.h"

namespace platform::posix {
namespace {

int systemRenameNoReplace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

NoReplaceRename renameNoReplace = systemRenameNoReplace;

// Errors that say the file system (or the kernel) cannot refuse a replacement
// itself, rather than anything about the entries.
bool lacksNoReplace(int e) {
    return e == EINVAL || e == ENOSYS || e == EOPNOTSUPP;
}

void setLastErrorForMove(int e, const std::string& from, const std::string& to) {
    struct stat status;
    if (e == ENOENT && ::lstat(from.c_str(), &status) == 0) {
        // The source is there, so the directory meant to receive it is not.
        setLastErrorForPath(e, to);
        return;
    }
    setLastErrorForPath(e, from);
}

bool reservePlaceholder(const std::string& name, bool directory) {
    if (directory) {
        return ::mkdir(name.c_str(), 0700) == 0;
    }
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

void removePlaceholder(const std::string& name, bool directory) {
    if (directory) {
        ::rmdir(name.c_str());
    } else {
        ::unlink(name.c_str());
    }
}

}  // namespace

NoReplaceRename installNoReplaceRename(NoReplaceRename rename) {
    const NoReplaceRename previous = renameNoReplace;
    renameNoReplace = rename != nullptr ? rename : systemRenameNoReplace;
    return previous;
}

// Two spellings of one entry ("a" and "./a", or two letter cases where the
// file system ignores case); hard links are entries of their own.
bool isSameEntry(const std::string& from, const std::string& to) {
    struct stat source;
    struct stat target;
    return ::lstat(from.c_str(), &source) == 0 && ::lstat(to.c_str(), &target) == 0 &&
           source.st_dev == target.st_dev && source.st_ino == target.st_ino &&
           (S_ISDIR(source.st_mode) || source.st_nlink == 1);
}

bool moveWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameNoReplace(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    int e = errno;
    if (lacksNoReplace(e)) {
        return moveByPlaceholder(from, to);
    }
    setLastErrorForMove(e, from, to);
    return false;
}

// Only whether the name still leads to an entry, not what the entry is:
// the check of every name that stays, so it asks for no status.
bool entryExists(const std::string& name) {
    if (::faccessat(AT_FDCWD, name.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) != 0) {
        setLastErrorForPath(errno, name);
        return false;
    }
    return true;
}

bool moveByPlaceholder(const std::string& from, const std::string& to) {
    struct stat source;
    if (::lstat(from.c_str(), &source) != 0) {
        setLastErrorForPath(errno, from);
        return false;
    }
    // rename(2) replaces a directory only with a directory, and anything else
    // only with a non-directory; a link is moved as itself.
    bool directory = S_ISDIR(source.st_mode);
    if (!reservePlaceholder(to, directory)) {
        setLastErrorForMove(errno, from, to);
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        int e = errno;
        removePlaceholder(to, directory);
        setLastErrorForMove(e, from, to);
        return false;
    }
    return true;
}

}  // namespace platform::posix
