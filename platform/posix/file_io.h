// POSIX backend only, to emulate Windows: handles of files that the program
// reads and writes.
//
// CreateFileW hands out these handles; WriteFile, which console.cpp serves for
// the standard handles, passes every other handle here.
#pragma once

#include "platform/platform.h"

namespace platform::posix {

// WriteFile on a handle that CreateFileW returned: every byte goes to the
// system in this call, none is kept back. False, with the last error set,
// when not all of them could be written or the handle is none of these.
bool writeToFile(Handle file, const void* bytes, Dword size, Dword* written);

}  // namespace platform::posix
