// What the file-system services of the POSIX backend share, and the pieces
// that its tests reach directly.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace platform::posix {

// Regular files and every other kind of entry that is neither a directory nor
// a link: POSIX has no archive bit to report.
constexpr Dword fileAttributeNormal = 0x80;

// The bytes of a path for a system call. A null path, or a text holding a lone
// surrogate that stands for no byte, sets the last error and gives false.
bool encodeForSystem(const char16_t* path, std::string& out);
bool encodeForSystem(std::u16string_view path, std::string& out);

// Windows attributes of an entry of the kind that mode gives, as lstat (or
// fstatat without following) tells it. A link is looked through once,
// relative to directory (a file descriptor or AT_FDCWD), only to tell whether
// it leads to a directory.
Dword attributesOf(mode_t mode, int directory, const char* name);

// Sets the last error for a call on path that failed with errno value e.
// Windows tells a missing entry (errorFileNotFound) from a missing directory
// on the way to it (errorPathNotFound); POSIX says ENOENT for both.
void setLastErrorForPath(int e, const std::string& path);

// Renames from to to where the file system cannot refuse to replace an
// existing target itself: the target name is first taken exclusively by an
// empty placeholder of the source's kind, which the rename then replaces. On
// failure the placeholder is removed again and the last error set.
bool moveByPlaceholder(const std::string& from, const std::string& to);

}  // namespace platform::posix
