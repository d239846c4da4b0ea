// POSIX backend only, to emulate Windows: the last error, in Windows codes.
//
// The thread's last error, and the Windows code for each errno value.
#include "platform/posix/last_error.h"

#include <cerrno>

namespace platform::posix {
namespace {

// Windows codes that callers never test for by name, so platform.h does not
// spell them; they keep GetLastError's answers meaningful all the same.
constexpr Dword errorTooManyOpenFiles = 4;
constexpr Dword errorWriteProtect = 19;
constexpr Dword errorGenFailure = 31;
constexpr Dword errorNotSupported = 50;
constexpr Dword errorDiskFull = 112;
constexpr Dword errorIoDevice = 1117;

thread_local Dword threadLastError = errorSuccess;

Dword windowsCodeOf(int e) {
    switch (e) {
        case 0:
            return errorSuccess;
        case ENOENT:
            return errorFileNotFound;
        case ENOTDIR:
            return errorPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
            return errorAccessDenied;
        case EBADF:
            return errorInvalidHandle;
        case ENOMEM:
            return errorNotEnoughMemory;
        case EXDEV:
            return errorNotSameDevice;
        case EBUSY:
        case ETXTBSY:
            return errorSharingViolation;
        case EEXIST:
        case ENOTEMPTY:
            return errorAlreadyExists;
        case EINVAL:
            return errorInvalidParameter;
        case ENAMETOOLONG:
            return errorFilenameExcedRange;
        case ELOOP:
            return errorCantResolveFilename;
        case EILSEQ:
            return errorNoUnicodeTranslation;
        case EMFILE:
        case ENFILE:
            return errorTooManyOpenFiles;
        case EROFS:
            return errorWriteProtect;
        case ENOSPC:
        case EDQUOT:
            return errorDiskFull;
        case EIO:
            return errorIoDevice;
        case ENOSYS:
        case EOPNOTSUPP:
            return errorNotSupported;
        default:
            return errorGenFailure;
    }
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

}  // namespace platform::posix
