// POSIX backend only, to emulate Windows: paths, attributes and the current directory.
//
// What the POSIX primitives of the file services (file_system.h) are built
// from: paths for system calls, what an entry is, and the current directory.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace platform::posix {

// Regular files and every other kind of entry that is neither a directory nor
// a link: POSIX has no archive bit to report.
constexpr Dword fileAttributeNormal = 0x80;

// Windows attributes of an entry of the kind that mode gives, as lstat (or
// fstatat without following) tells it. A link is looked through once,
// relative to directory (a file descriptor or AT_FDCWD), only to tell whether
// it leads to a directory.
Dword attributesOf(mode_t mode, int directory, const char* name);

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

// The attributes of name in directory, a descriptor of a directory on
// device: a directory on another file system bears the reparse-point bit, as
// a walk must not enter it. invalidFileAttributes with the last error set
// when there is no such entry.
Dword attributesAt(int directory, const char* name, dev_t device);

// Sets the last error for a call on path that failed with errno value e.
// Windows tells a missing entry (errorFileNotFound) from a missing directory
// on the way to it (errorPathNotFound); POSIX says ENOENT for both.
void setLastErrorForPath(int e, const std::string& path);

// The attributes of the entry that path names, as GetFileAttributesW gives
// them; invalidFileAttributes with the last error set when there is none.
Dword attributesOfPath(std::u16string_view path);

// The current directory, decoded as names are.
bool readCurrentDirectory(std::u16string& out);

// Resolves path against the current directory without asking the file
// system about any of its components, as Windows does: links are not
// followed and the entries need not exist.
bool resolveLexically(std::u16string_view path, std::u16string& full);

}  // namespace platform::posix
