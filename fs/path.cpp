// The path helpers: text operations that follow the separator rule, and the
// current directory.
#include "fs/path.h"

#include "platform/platform.h"

namespace kestrel {

namespace {

constexpr char16_t backslash = u'\\';
constexpr char16_t slash = u'/';

bool isSeparator(char16_t c) {
    return c == backslash || c == slash;
}

bool startsWithSeparator(std::u16string_view path) {
    return !path.empty() && isSeparator(path.front());
}

bool isSameDrive(std::u16string_view a, std::u16string_view b) {
    return !a.empty() && !b.empty() && platform::CharLowerW(a[0]) == platform::CharLowerW(b[0]);
}

// What a rooted name ("\x") hangs from while directory is current: its drive,
// or the share of a network path ("\\server\share").
std::u16string_view rootOf(std::u16string_view directory) {
    const std::u16string_view drive = driveOf(directory);
    if (!drive.empty() || directory.size() < 2 || !isSeparator(directory[1])) {
        return drive;
    }
    const std::size_t serverEnd = directory.find_first_of(u"\\/", 2);
    if (serverEnd == std::u16string_view::npos) {
        return directory;
    }
    return directory.substr(0, directory.find_first_of(u"\\/", serverEnd + 1));
}

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
    const std::u16string trimmed = withoutTrailingSeparator(path);
    const std::size_t lastSeparator = trimmed.rfind(separatorOf(trimmed));
    if (lastSeparator == std::u16string::npos || isDriveRoot(trimmed)) {
        return trimmed;
    }
    return trimmed.substr(lastSeparator + 1);
}

std::u16string parentOf(std::u16string_view path) {
    const std::u16string trimmed = withoutTrailingSeparator(path);
    const std::u16string name = fileNameOf(path);
    if (name == trimmed) {
        return {};
    }
    std::u16string parent = trimmed.substr(0, trimmed.size() - name.size());
    const char16_t separator = separatorOf(trimmed);
    if (parent.size() > 1 && parent.back() == separator) {
        parent.pop_back();
    }
    if (parent.size() == 2 && parent[1] == u':') {
        parent += separator;
    }
    return parent;
}

std::u16string_view driveOf(std::u16string_view path) {
    if (!platform::namesHaveDriveDesignators() || path.size() < 2 || path[1] != u':') {
        return {};
    }
    return path.substr(0, 2);
}

std::u16string resolvedIn(std::u16string_view directory, std::u16string_view path) {
    const std::u16string_view drive = driveOf(path);
    const std::u16string_view rest = path.substr(drive.size());
    if (path.empty() || (!drive.empty() && !isSameDrive(drive, driveOf(directory)))) {
        return std::u16string(path);
    }
    if (startsWithSeparator(rest)) {
        const bool network = rest.size() > 1 && isSeparator(rest[1]);
        if (!drive.empty() || network || !platform::namesHaveDriveDesignators()) {
            return std::u16string(path);
        }
        return std::u16string(rootOf(directory)) + std::u16string(rest);
    }
    if (rest.empty()) {
        return std::u16string(directory);
    }
    return withTrailingSeparator(directory) + std::u16string(rest);
}

std::u16string currentDirectory() {
    const platform::Dword needed = platform::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) {
        return {};
    }
    std::u16string buffer(needed, u'\0');
    platform::GetCurrentDirectoryW(needed, buffer.data());
    const std::size_t end = buffer.find(u'\0');
    if (end != std::u16string::npos) {
        buffer.resize(end);
    }
    return buffer;
}

}  // namespace kestrel
