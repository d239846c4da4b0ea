// POSIX backend only, to emulate Windows: the last error.
//
// The thread's last error, in Windows codes, as GetLastError reports it.
#pragma once

#include "platform/platform.h"

namespace platform::posix {

Dword lastError();
void setLastError(Dword code);
// Sets the last error to the Windows code that stands for errno value e.
void setLastErrorFromErrno(int e);
// The errno value that a code of lastError stands for; false for a code that
// stands for none.
bool errnoOf(Dword code, int& e);

}  // namespace platform::posix
