// Process services of platform.h: the POSIX backend.
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/name_codec.h"
#include "platform/platform.h"
#include "platform/posix/file_io.h"

namespace platform {

namespace {

std::u16string& storedLine() {
    static std::u16string line;
    return line;
}

// Glibc hands main's arguments to the functions of .init_array too, which
// spares the entry point from passing them on. The line is made here, before
// main can change the argument vector (a test framework takes its own flags
// out of it).
__attribute__((constructor)) void captureArguments(int argc, char** argv, char**) {
    std::vector<std::u16string> arguments;
    for (int i = 0; i < argc && argv[i] != nullptr; ++i) {
        decode(argv[i], Backslash::separator, arguments.emplace_back());
    }
    storedLine() = commandLineOf(arguments);
}

}  // namespace

const char16_t* GetCommandLineW() {
    return storedLine().c_str();
}

Dword GetCurrentProcessId() {
    return static_cast<Dword>(::getpid());
}

void GetSystemTimeAsFileTime(FileTime* time) {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    *time = posix::fileTimeOf(now.tv_sec, now.tv_nsec);
}

}  // namespace platform
