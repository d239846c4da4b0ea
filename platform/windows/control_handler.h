// The handler that the Windows backend installs with the system on behalf of
// the routines given to platform::SetConsoleCtrlHandler.
#pragma once

#include <windows.h>

namespace platform::windows {

// Offers the event to the routines, the last one added first, until one of
// them handles it; FALSE hands it on to the handlers installed before.
BOOL WINAPI dispatchControlEvent(DWORD controlType);

}  // namespace platform::windows
