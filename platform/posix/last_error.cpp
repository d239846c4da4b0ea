// POSIX backend only, to emulate Windows: the last error, in Windows codes.
//
// The thread's last error, the Windows code for each errno value, and the
// errno value that each code stands for, whose strerror text describes it.
#include "platform/posix/last_error.h"

#include <cerrno>

namespace platform::posix {
namespace {

// Windows codes that callers never test for by name, so platform.h does not
// spell them; they keep GetLastError's answers meaningful all the same.
constexpr Dword errorTooManyOpenFiles = 4;
constexpr Dword errorWriteProtect = 19;
constexpr Dword errorNotSupported = 50;
constexpr Dword errorDiskFull = 112;
constexpr Dword errorIoDevice = 1117;

// Windows leaves the codes with this bit set to applications: an errno value
// that has no Windows counterpart travels as one, so that its own text can
// still be told.
constexpr Dword errnoCodeBit = 0x20000000;

struct Counterpart {
    int e;
    Dword code;
};

// Each errno value becomes the code of its first line; each code reads back
// as the errno value of its first line.
constexpr Counterpart counterparts[] = {
    {0, errorSuccess},
    {ENOENT, errorFileNotFound},
    {ENOTDIR, errorPathNotFound},
    {EACCES, errorAccessDenied},
    {EPERM, errorAccessDenied},
    {EISDIR, errorAccessDenied},
    {EBADF, errorInvalidHandle},
    {ENOMEM, errorNotEnoughMemory},
    {EXDEV, errorNotSameDevice},
    {EBUSY, errorSharingViolation},
    {ETXTBSY, errorSharingViolation},
    {EEXIST, errorAlreadyExists},
    {ENOTEMPTY, errorAlreadyExists},
    {EINVAL, errorInvalidParameter},
    {ENAMETOOLONG, errorFilenameExcedRange},
    {ELOOP, errorCantResolveFilename},
    {EILSEQ, errorNoUnicodeTranslation},
    {EMFILE, errorTooManyOpenFiles},
    {ENFILE, errorTooManyOpenFiles},
    {EROFS, errorWriteProtect},
    {ENOSPC, errorDiskFull},
    {EDQUOT, errorDiskFull},
    {EIO, errorIoDevice},
    {ENOSYS, errorNotSupported},
    {EOPNOTSUPP, errorNotSupported},
    // Codes that the backend sets itself, read as the nearest errno value.
    {ENOENT, errorNoMoreFiles},
    {EEXIST, errorFileExists},
    {ENOTEMPTY, errorDirNotEmpty},
    {EINVAL, errorInvalidName},
    {ERANGE, errorInsufficientBuffer},
};

thread_local Dword threadLastError = errorSuccess;

Dword windowsCodeOf(int e) {
    for (const Counterpart& counterpart : counterparts) {
        if (counterpart.e == e) {
            return counterpart.code;
        }
    }
    return errnoCodeBit | static_cast<Dword>(e);
}

}  // namespace

void setLastError(Dword code) {
    threadLastError = code;
}

void setLastErrorFromErrno(int e) {
    threadLastError = windowsCodeOf(e);
}

Dword lastError() {
    return threadLastError;
}

bool errnoOf(Dword code, int& e) {
    if ((code & errnoCodeBit) != 0) {
        e = static_cast<int>(code & ~errnoCodeBit);
        return true;
    }
    for (const Counterpart& counterpart : counterparts) {
        if (counterpart.code == code) {
            e = counterpart.e;
            return true;
        }
    }
    return false;
}

}  // namespace platform::posix
