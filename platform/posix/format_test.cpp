#include <gtest/gtest.h>

#include <cstdarg>

#include "platform/platform.h"

namespace platform {
namespace {

struct Results {
    int measured;
    int formatted;
};

Results formatBoth(const char16_t* format, ...) {
    char16_t buffer[32];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    Results const results{_vscwprintf(format, args), _vsnwprintf(buffer, 32, format, again)};
    va_end(again);
    va_end(args);
    return results;
}

// The Windows run-time library prints an unknown conversion's letter and
// takes flags, widths, precisions and sizes; this formatter refuses the whole
// format instead, so that a format it cannot honour shows at once rather
// than as odd text. Nothing is built for a directive it refuses.
TEST(PosixWideFormat, WhatTheProgramDoesNotWriteFailsTheWholeFormat) {
    for (const char16_t* format : {u"%y", u"a%kb", u"%f", u"%n", u"%u", u"%X", u"%ls", u"%5s",
                                   u"%-d", u"%.2147483647d", u"ab%"}) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(format)));
        Results const results = formatBoth(format, 1.5, nullptr);
        EXPECT_EQ(results.measured, -1);
        EXPECT_EQ(results.formatted, -1);
    }
}

TEST(PosixWideFormat, NullFormatFails) {
    Results const results = formatBoth(nullptr);
    EXPECT_EQ(results.measured, -1);
    EXPECT_EQ(results.formatted, -1);
}

}  // namespace
}  // namespace platform
