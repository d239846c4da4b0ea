// Path text as both backends read it.
#include "platform/path_text.h"

#include <algorithm>

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

Dword copyOut(std::u16string_view text, Dword size, char16_t* buffer) {
    if (text.size() >= size) {
        return static_cast<Dword>(text.size() + 1);
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = u'\0';
    return static_cast<Dword>(text.size());
}

void appendComponents(std::u16string_view path, std::u16string& full) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !isSeparator(path[end])) {
            ++end;
        }
        std::u16string_view component = path.substr(start, end - start);
        if (component == u"..") {
            std::size_t cut = full.rfind(u'/');
            full.resize(std::max<std::size_t>(cut, 1));
        } else if (!component.empty() && component != u".") {
            if (full.size() > 1) {
                full += u'/';
            }
            full += component;
        }
        start = end + 1;
    }
}

}  // namespace platform
