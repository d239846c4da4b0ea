#include "fs/path.h"

#include "platform/platform.h"

namespace kestrel {

namespace {

constexpr char16_t backslash = u'\\';
constexpr char16_t slash = u'/';

bool endsWithSeparator(std::u16string_view path) {
    return !path.empty() && path.back() == separatorOf(path);
}

bool isDriveRoot(std::u16string_view path) {
    return path.size() == 3 && path[1] == u':' && path[2] == separatorOf(path);
}

}  // namespace

char16_t separatorOf(std::u16string_view path) {
    if (path.find(backslash) != std::u16string_view::npos) {
        return backslash;
    }
    if (path.find(slash) != std::u16string_view::npos) {
        return slash;
    }
    return backslash;
}

std::u16string withTrailingSeparator(std::u16string_view path) {
    std::u16string result(path);
    if (!path.empty() && !endsWithSeparator(path)) {
        result += separatorOf(path);
    }
    return result;
}

std::u16string withoutTrailingSeparator(std::u16string_view path) {
    if (isDriveRoot(path) || !endsWithSeparator(path)) {
        return std::u16string(path);
    }
    return std::u16string(path.substr(0, path.size() - 1));
}

std::u16string fileNameOf(std::u16string_view path) {
    std::u16string const trimmed = withoutTrailingSeparator(path);
    std::size_t const lastSeparator = trimmed.rfind(separatorOf(trimmed));
    if (lastSeparator == std::u16string::npos || isDriveRoot(trimmed)) {
        return trimmed;
    }
    return trimmed.substr(lastSeparator + 1);
}

std::u16string currentDirectory() {
    platform::Dword const needed = platform::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) {
        return {};
    }
    std::u16string buffer(needed, u'\0');
    platform::GetCurrentDirectoryW(needed, buffer.data());
    std::size_t const end = buffer.find(u'\0');
    if (end != std::u16string::npos) {
        buffer.resize(end);
    }
    return buffer;
}

}  // namespace kestrel
