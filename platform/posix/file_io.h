// POSIX backend only, to emulate Windows: handles of files that the program
// reads and writes.
//
// CreateFileW hands out these handles; WriteFile, which console.cpp serves for
// the standard handles, passes every other handle here.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform::posix {

// The descriptor of a handle that CreateFileW returned for a file; -1, with
// the last error set, for any other handle.
int fileDescriptorOf(Handle file);

// A time since 1970 as a FILETIME counts it, from 1601 in 100 ns ticks.
FileTime fileTimeOf(std::int64_t seconds, std::int64_t nanoseconds);

}  // namespace platform::posix
