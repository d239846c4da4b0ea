// Services for files that the program reads and writes, of platform.h: the
// POSIX backend.
//
// A handle stands for a file descriptor. Appending uses O_APPEND, so that
// every write lands at the end of the file as it is at that moment, as a
// Windows handle with only the right to append does. Share modes have no
// meaning here and are accepted and dropped. A directory is opened to be
// held, with the right to list it (open_directories.h), or, with backup
// semantics, to tell what it is. A handle with the right to read attributes
// alone is an O_PATH descriptor: it opens a link as itself, and no file is
// ever opened for reading or writing merely to be told apart.
#include "platform/posix/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/name_codec.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "platform/posix/last_error.h"
#include "platform/posix/paths.h"

namespace platform::posix {
namespace {

struct OpenFile {
    int fd;
};

// The handles that CreateFileW gave out and CloseHandle has not closed: a
// program holds one or two, and any other handle, such as a search's, is
// refused as Windows refuses it rather than taken for a file.
std::vector<OpenFile*>& openFiles() {
    static std::vector<OpenFile*> files;
    return files;
}

OpenFile* openFileOf(Handle handle) {
    const std::vector<OpenFile*>& files = openFiles();
    const auto found = std::find(files.begin(), files.end(), handle);
    if (found == files.end()) {
        setLastError(errorInvalidHandle);
        return nullptr;
    }
    return *found;
}

int openFlags(Dword access, Dword disposition, Dword createFlags) {
    const int following = (createFlags & fileFlagOpenReparsePoint) != 0 ? O_NOFOLLOW : 0;
    if (access == fileReadAttributes) {
        return O_PATH | O_CLOEXEC | following;
    }
    const bool reads = (access & genericRead) != 0;
    const bool appends = (access & fileAppendData) != 0;
    // A terminal or a pipe named as a file must not keep a read waiting for
    // input that may never come; a regular file is not affected.
    int flags = O_CLOEXEC | O_NONBLOCK |
                (reads && appends ? O_RDWR
                 : appends        ? O_WRONLY
                                  : O_RDONLY);
    if (appends) {
        flags |= O_APPEND;
    }
    if (disposition == openAlways) {
        flags |= O_CREAT;
    }
    return flags | following;
}

int openByPath(const char16_t* path, int flags) {
    std::string name;
    if (!encodeForSystem(path, name)) {
        errno = EINVAL;
        return -1;
    }
    return ::open(name.c_str(), flags, 0666);
}

// A handle for what was opened: only a directory asked for with backup
// semantics is taken.
Handle handleOf(int fd, Dword flags) {
    if (fd < 0) {
        setLastErrorFromErrno(errno);
        return invalidHandleValue;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 ||
        (S_ISDIR(status.st_mode) && (flags & fileFlagBackupSemantics) == 0)) {
        ::close(fd);
        setLastError(errorAccessDenied);
        return invalidHandleValue;
    }
    openFiles().push_back(new OpenFile{fd});
    return openFiles().back();
}

// The kernel's own 32-bit form of a device number (major 12 bits, minor 20),
// which loses nothing of the numbers that Linux gives out.
Dword volumeSerialOf(dev_t device) {
    const auto majorNumber = static_cast<Dword>(major(device));
    const auto minorNumber = static_cast<Dword>(minor(device));
    return (minorNumber & 0xFF) | (majorNumber << 8) | ((minorNumber & ~Dword{0xFF}) << 12);
}

Dword handleAttributes(mode_t mode) {
    if (S_ISDIR(mode)) {
        return fileAttributeDirectory;
    }
    return S_ISLNK(mode) ? fileAttributeReparsePoint : fileAttributeNormal;
}

// The descriptor behind a handle that CreateFileW gave out, a held
// directory's included; -1 with the last error set for any other.
int descriptorOf(Handle handle) {
    if (const OpenDirectory* const held = heldDirectoryOf(handle)) {
        if (!held->handle) {
            setLastError(errorInvalidHandle);
        }
        return held->handle.get();
    }
    const OpenFile* const open = openFileOf(handle);
    return open != nullptr ? open->fd : -1;
}

bool statusOf(Handle handle, struct stat& status) {
    const int fd = descriptorOf(handle);
    if (fd < 0) {
        return false;
    }
    if (::fstat(fd, &status) != 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

// The birth time as a FILETIME counts it, or zero where the file system
// keeps none.
FileTime creationTimeOf(Handle handle) {
    FileTime time;
    struct statx extended {};
    if (::statx(descriptorOf(handle), "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_BTIME,
                &extended) == 0 &&
        (extended.stx_mask & STATX_BTIME) != 0) {
        time = fileTimeOf(extended.stx_btime.tv_sec, extended.stx_btime.tv_nsec);
    }
    return time;
}

bool lockRange(Handle handle, short type, int command, Dword bytesLow, Dword bytesHigh,
               const Overlapped* range) {
    const int fd = descriptorOf(handle);
    if (fd < 0) {
        return false;
    }
    if (range == nullptr) {
        setLastError(errorInvalidParameter);
        return false;
    }
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(std::uint64_t{range->OffsetHigh} << 32 | range->Offset);
    lock.l_len = static_cast<off_t>(std::uint64_t{bytesHigh} << 32 | bytesLow);
    int result = 0;
    while ((result = ::fcntl(fd, command, &lock)) != 0 && errno == EINTR) {
    }
    if (result != 0) {
        setLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

}  // namespace

FileTime fileTimeOf(std::int64_t seconds, std::int64_t nanoseconds) {
    constexpr std::uint64_t epochGap = 11644473600;  // seconds from 1601 to 1970
    const std::uint64_t ticks = (static_cast<std::uint64_t>(seconds) + epochGap) * 10000000 +
                                static_cast<std::uint64_t>(nanoseconds) / 100;
    FileTime time;
    time.dwLowDateTime = static_cast<Dword>(ticks);
    time.dwHighDateTime = static_cast<Dword>(ticks >> 32);
    return time;
}

int fileDescriptorOf(Handle file) {
    const OpenFile* const open = openFileOf(file);
    return open != nullptr ? open->fd : -1;
}

}  // namespace platform::posix

namespace platform::os {

using namespace posix;

Handle openFile(const char16_t* path, Dword access, Dword, Dword disposition, Dword flags) {
    if (path == nullptr || *path == u'\0') {
        setLastError(errorInvalidName);
        return invalidHandleValue;
    }
    if (disposition != openExisting && disposition != openAlways) {
        setLastError(errorInvalidParameter);
        return invalidHandleValue;
    }
    return handleOf(openByPath(path, openFlags(access, disposition, flags)), flags);
}

Handle openEntryBelow(const OpenDirectory& directory, std::u16string_view name, Dword access,
                      Dword flags) {
    std::string encoded;
    if (!encodeForSystem(name.empty() ? u"." : name, encoded)) {
        return invalidHandleValue;
    }
    return handleOf(
        ::openat(directory.handle.get(), encoded.c_str(), openFlags(access, openExisting, flags)),
        flags);
}

Bool closeFile(Handle file) {
    OpenFile* const open = openFileOf(file);
    if (open == nullptr) {
        return 0;
    }
    const int result = ::close(open->fd);
    std::erase(openFiles(), open);
    delete open;
    return result == 0 ? 1 : 0;
}

}  // namespace platform::os

namespace platform {

Bool ReadFile(Handle file, void* bytes, Dword size, Dword* read) {
    if (read != nullptr) {
        *read = 0;
    }
    const posix::OpenFile* const open = posix::openFileOf(file);
    if (open == nullptr) {
        return 0;
    }
    ssize_t n = 0;
    do {
        n = ::read(open->fd, bytes, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        posix::setLastErrorFromErrno(errno);
        return 0;
    }
    if (read != nullptr) {
        *read = static_cast<Dword>(n);
    }
    return 1;
}

Bool GetFileInformationByHandle(Handle file, ByHandleFileInformation* information) {
    struct stat status;
    if (information == nullptr || !posix::statusOf(file, status)) {
        return 0;
    }
    information->dwFileAttributes = posix::handleAttributes(status.st_mode);
    information->ftCreationTime = posix::creationTimeOf(file);
    information->dwVolumeSerialNumber = posix::volumeSerialOf(status.st_dev);
    information->nNumberOfLinks = static_cast<Dword>(status.st_nlink);
    const auto index = static_cast<std::uint64_t>(status.st_ino);
    information->nFileIndexHigh = static_cast<Dword>(index >> 32);
    information->nFileIndexLow = static_cast<Dword>(index);
    return 1;
}

// A block device is a device too, but none that Windows would hand out as a
// file of its own: it is of no type here.
Dword GetFileType(Handle file) {
    struct stat status;
    if (!posix::statusOf(file, status)) {
        return fileTypeUnknown;
    }
    if (S_ISREG(status.st_mode) || S_ISDIR(status.st_mode) || S_ISLNK(status.st_mode)) {
        return fileTypeDisk;
    }
    if (S_ISCHR(status.st_mode)) {
        return fileTypeChar;
    }
    return S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) ? fileTypePipe : fileTypeUnknown;
}

// The system knows a directory's path by the names that lead to it, which
// getcwd reads whatever its length: the directory is made current for as
// long as it takes, and the current one current again by its descriptor.
Dword GetFinalPathNameByHandleW(Handle file, char16_t* buffer, Dword size) {
    const OpenDirectory* const held = heldDirectoryOf(file);
    if (held == nullptr || !held->handle) {
        posix::setLastError(errorInvalidHandle);
        return 0;
    }
    const OwnedHandle current(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!current || ::fchdir(held->handle.get()) != 0) {
        posix::setLastErrorFromErrno(errno);
        return 0;
    }
    std::u16string path;
    const bool read = posix::readCurrentDirectory(path);
    const Dword error = GetLastError();
    if (::fchdir(current.get()) != 0 || !read) {
        posix::setLastError(read ? errorInvalidHandle : error);
        return 0;
    }
    return copyOut(path, size, buffer);
}

// Locks of the open file description, not of the process, as Windows locks
// belong to a handle.
Bool LockFileEx(Handle file, Dword flags, Dword bytesLow, Dword bytesHigh, Overlapped* range) {
    const short type = (flags & lockfileExclusiveLock) != 0 ? F_WRLCK : F_RDLCK;
    return posix::lockRange(file, type, F_OFD_SETLKW, bytesLow, bytesHigh, range) ? 1 : 0;
}

Bool UnlockFileEx(Handle file, Dword bytesLow, Dword bytesHigh, Overlapped* range) {
    return posix::lockRange(file, F_UNLCK, F_OFD_SETLK, bytesLow, bytesHigh, range) ? 1 : 0;
}

}  // namespace platform
