// Path text as both backends read it.
#include "platform/path_text.h"

#include "platform/platform.h"

namespace platform {

std::u16string_view withoutTrailingSeparators(std::u16string_view path) {
    std::size_t end = path.size();
    while (end > 1 && isSeparator(path[end - 1]) &&
           !(namesHaveDriveDesignators() && path[end - 2] == u':')) {
        --end;
    }
    return path.substr(0, end);
}

bool isFullPath(std::u16string_view path) {
    if (!namesHaveDriveDesignators()) {
        return !path.empty() && isSeparator(path.front());
    }
    return (path.size() >= 3 && path[1] == u':' && isSeparator(path[2])) ||
           (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]));
}

}  // namespace platform
