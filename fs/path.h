// Path strings with either separator.
//
// A path uses the backslash if it holds one, else the slash if it holds one,
// else the backslash; the other character is then an ordinary one. Only
// currentDirectory asks the system anything: the rest is text alone.
#pragma once

#include <string>
#include <string_view>

namespace kestrel {

char16_t separatorOf(std::u16string_view path);

// The path ending with its separator; an empty path stays empty.
std::u16string withTrailingSeparator(std::u16string_view path);

// The path without one trailing separator; a drive root such as C:\ keeps it.
std::u16string withoutTrailingSeparator(std::u16string_view path);

// The last component, after one trailing separator is set aside; a drive root
// is its own name.
std::u16string fileNameOf(std::u16string_view path);

// The directory that holds the entry of a path: the path without its last
// component. A bare drive keeps its separator, since "C:" would name that
// drive's current directory, and an entry right below a root keeps the root.
// A root, or a name without a separator, has none: the result is empty.
std::u16string parentOf(std::u16string_view path);

// The drive designator ("C:") that a name starts with, or nothing. Only
// systems whose names have drives have designators.
std::u16string_view driveOf(std::u16string_view path);

// The name that path gives while directory is current, for a directory that
// cannot be made current: a relative name, and a name that depends on the
// directory's drive ("C:x", "C:", "\x"), is joined to it; a name that does
// not depend on it (absolute, or of another drive) stays as it is.
std::u16string resolvedIn(std::u16string_view directory, std::u16string_view path);

// The process's current directory, or an empty string when the system cannot
// report it. No directory has an empty name, so a caller that means to make
// the result current again can tell it apart and leave the directory alone.
std::u16string currentDirectory();

}  // namespace kestrel
