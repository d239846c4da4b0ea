// Process services of platform.h: the POSIX backend.
#include <time.h>
#include <unistd.h>

#include <cstdint>

#include "platform/platform.h"

namespace platform {

Dword GetCurrentProcessId() {
    return static_cast<Dword>(::getpid());
}

void GetSystemTimeAsFileTime(FileTime* time) {
    // The seconds from 1601 to 1970, the epochs of the two systems.
    constexpr std::uint64_t epochGap = 11644473600;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.tv_sec) + epochGap) * 10000000 +
                                static_cast<std::uint64_t>(now.tv_nsec) / 100;
    time->dwLowDateTime = static_cast<Dword>(ticks);
    time->dwHighDateTime = static_cast<Dword>(ticks >> 32);
}

}  // namespace platform
