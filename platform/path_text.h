// Path text as both backends read it: either separator, and a root that
// keeps its own. Only platform/ includes this header.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace platform {

inline bool isSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

inline bool endsWithSeparator(std::u16string_view path) {
    return !path.empty() && isSeparator(path.back());
}

// path without the separators at its end, but a root's own ("/", "C:\").
std::u16string_view withoutTrailingSeparators(std::u16string_view path);

// Whether path names the same entry whichever directory is current: "/..."
// on POSIX; "C:\..." or "\\server\share\..." on Windows.
bool isFullPath(std::u16string_view path);

// Windows' contract for texts that a caller's buffer receives: the length when
// the text and its terminator fit, else the size that would fit them, with
// nothing written.
Dword copyOut(std::u16string_view text, Dword size, char16_t* buffer);

// Appends the components of path to full, a "/"-rooted path without a
// trailing separator ("/" for the root), as Windows resolves a path without
// asking the file system: "." and empty components go, and ".." takes the
// last component back but never the root.
void appendComponents(std::u16string_view path, std::u16string& full);

}  // namespace platform
