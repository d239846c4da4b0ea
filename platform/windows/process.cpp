// Process services of platform.h: the Windows backend, which forwards to kernel32.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

Dword GetCurrentProcessId() {
    return ::GetCurrentProcessId();
}

void GetSystemTimeAsFileTime(FileTime* time) {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    time->dwLowDateTime = now.dwLowDateTime;
    time->dwHighDateTime = now.dwHighDateTime;
}

}  // namespace platform
