// Path text as both backends read it: either separator, and a root that
// keeps its own. Only platform/ includes this header.
#pragma once

#include <string_view>

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

}  // namespace platform
