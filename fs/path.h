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

// The process's current directory, or an empty string when the system cannot
// report it. No directory has an empty name, so a caller that means to make
// the result current again can tell it apart and leave the directory alone.
std::u16string currentDirectory();

}  // namespace kestrel
