// The Windows codes that system errors are reported as.
#include "platform/posix/last_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <string>
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

// Each code reads back as strerror's text for the errno value it came from,
// also where Windows has no code for it.
TEST(PosixLastError, CodesReadAsTheTextOfTheirErrnoValue) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    struct Case {
        int e;
        const char16_t* text;
    };
    const Case cases[] = {
        {ENOENT, u"No such file or directory"},
        {ENOSPC, u"No space left on device"},
        {EFBIG, u"File too large"},
        {EDOM, u"Numerical argument out of domain"},
    };
    for (const Case& c : cases) {
        platform::posix::setLastErrorFromErrno(c.e);
        char16_t text[100] = {};
        const Dword length = platform::FormatMessageW(platform::GetLastError(), text, 100);
        EXPECT_EQ(std::u16string(text, length), c.text) << "errno " << c.e;
    }
    std::setlocale(LC_ALL, saved.c_str());
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
