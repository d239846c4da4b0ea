// The Windows codes that system errors are reported as.
#include "platform/posix/last_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace {

using platform::Dword;

TEST(PosixLastError, ErrnoValuesBecomeTheCodesWindowsWouldGive) {
    struct Case {
        int e;
        Dword code;
    };
    const Case cases[] = {
        {ENOENT, platform::errorFileNotFound},
        {ENOTDIR, platform::errorPathNotFound},
        {EACCES, platform::errorAccessDenied},
        {EPERM, platform::errorAccessDenied},
        {EBADF, platform::errorInvalidHandle},
        {ENOMEM, platform::errorNotEnoughMemory},
        {EXDEV, platform::errorNotSameDevice},
        {EBUSY, platform::errorSharingViolation},
        {EEXIST, platform::errorAlreadyExists},
        {ENOTEMPTY, platform::errorAlreadyExists},
        {EINVAL, platform::errorInvalidParameter},
        {ENAMETOOLONG, platform::errorFilenameExcedRange},
        {ELOOP, platform::errorCantResolveFilename},
        {EILSEQ, platform::errorNoUnicodeTranslation},
    };
    for (const Case& c : cases) {
        platform::posix::setLastErrorFromErrno(c.e);
        EXPECT_EQ(platform::GetLastError(), c.code) << "errno " << c.e;
    }
    // Whatever has no counterpart still reads as a failure.
    platform::posix::setLastErrorFromErrno(EDOM);
    EXPECT_NE(platform::GetLastError(), platform::errorSuccess);
}

TEST(PosixLastError, EachThreadHasItsOwn) {
    platform::posix::setLastError(platform::errorAccessDenied);
    Dword seen = 0;
    std::thread([&] {
        seen = platform::GetLastError();
        platform::posix::setLastError(platform::errorInvalidName);
    }).join();
    EXPECT_EQ(seen, platform::errorSuccess);
    EXPECT_EQ(platform::GetLastError(), platform::errorAccessDenied);
}

}  // namespace
