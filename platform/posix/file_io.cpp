// Services for files that the program reads and writes, of platform.h: the
// POSIX backend.
//
// A handle stands for a file descriptor. Appending uses O_APPEND, so that
// every write lands at the end of the file as it is at that moment, as a
// Windows handle with only the right to append does. Share modes have no
// meaning here and are accepted and dropped. A directory is opened only to be
// held, with the right to list it (open_directories.h).
#include "platform/posix/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/last_error.h"
#include "platform/posix/name_codec.h"
#include "platform/posix/open_directories.h"

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

int openFlags(Dword access, Dword disposition) {
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
    return flags;
}

}  // namespace

bool writeToFile(Handle file, const void* bytes, Dword size, Dword* written) {
    if (written != nullptr) {
        *written = 0;
    }
    const OpenFile* const open = openFileOf(file);
    if (open == nullptr) {
        return false;
    }
    const auto* const text = static_cast<const char*>(bytes);
    Dword sent = 0;
    while (sent < size) {
        const ssize_t n = ::write(open->fd, text + sent, size - sent);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            setLastErrorFromErrno(n < 0 ? errno : ENOSPC);
            break;
        }
        sent += static_cast<Dword>(n);
    }
    if (written != nullptr) {
        *written = sent;
    }
    return sent == size;
}

}  // namespace platform::posix

namespace platform {

Handle CreateFileW(const char16_t* path, Dword access, Dword, Dword disposition) {
    if (access == fileListDirectory && disposition == openExisting && path != nullptr) {
        return posix::holdDirectory(path);
    }
    std::string name;
    if (!posix::encodeForSystem(path, name)) {
        return invalidHandleValue;
    }
    if (disposition != openExisting && disposition != openAlways) {
        posix::setLastError(errorInvalidParameter);
        return invalidHandleValue;
    }
    const int fd = ::open(name.c_str(), posix::openFlags(access, disposition), 0666);
    if (fd < 0) {
        posix::setLastErrorFromErrno(errno);
        return invalidHandleValue;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        ::close(fd);
        posix::setLastError(errorAccessDenied);
        return invalidHandleValue;
    }
    posix::openFiles().push_back(new posix::OpenFile{fd});
    return posix::openFiles().back();
}

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

Bool CloseHandle(Handle file) {
    if (posix::isHeldDirectory(file)) {
        return posix::releaseDirectory(file) ? 1 : 0;
    }
    posix::OpenFile* const open = posix::openFileOf(file);
    if (open == nullptr) {
        return 0;
    }
    const int result = ::close(open->fd);
    std::erase(posix::openFiles(), open);
    delete open;
    return result == 0 ? 1 : 0;
}

}  // namespace platform
