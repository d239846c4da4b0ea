// The current directory, and full paths resolved against it.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/posix/paths.h"
#include "platform/posix/last_error.h"
#include "platform/posix/name_codec.h"
#include "platform/posix/open_directories.h"
#include "platform/posix/signals.h"

namespace platform::posix {
namespace {

bool isSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

// A backslash byte in a directory's name is part of that name, never a
// separator, so the names are decoded as names.
bool readCurrentDirectory(std::u16string& out) {
    std::string bytes(256, '\0');
    while (::getcwd(bytes.data(), bytes.size()) == nullptr) {
        if (errno != ERANGE) {
            setLastErrorFromErrno(errno);
            return false;
        }
        bytes.resize(bytes.size() * 2);
    }
    bytes.resize(std::strlen(bytes.c_str()));
    out.clear();
    decode(bytes, Backslash::nameCharacter, out);
    return true;
}

// Windows' contract for texts that a caller's buffer receives: the length when
// the text and its terminator fit, else the size that would fit them.
Dword copyOut(std::u16string_view text, Dword size, char16_t* buffer) {
    if (buffer == nullptr || size <= text.size()) {
        return static_cast<Dword>(text.size() + 1);
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = u'\0';
    return static_cast<Dword>(text.size());
}

// Appends the components of text to full, an absolute path without a trailing
// separator ("/" for the root): "." and empty components go, ".." takes the
// last component back but never the root.
void foldComponents(std::u16string_view text, std::u16string& full) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = start;
        while (end < text.size() && !isSeparator(text[end])) {
            ++end;
        }
        std::u16string_view component = text.substr(start, end - start);
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

// Resolves path against the current directory without asking the file
// system about any of its components, as Windows does: links are not
// followed and the entries need not exist.
bool resolveLexically(std::u16string_view path, std::u16string& full) {
    full.assign(u"/");
    if (!isSeparator(path.front())) {
        std::u16string current;
        if (!readCurrentDirectory(current)) {
            return false;
        }
        foldComponents(current, full);
    }
    foldComponents(path, full);
    if (isSeparator(path.back()) && full.size() > 1) {
        full += u'/';
    }
    return true;
}

// Whether the terminated text is exactly known, read without measuring it
// first.
bool spells(const char16_t* text, const std::u16string& known) {
    std::size_t i = 0;
    for (; i < known.size(); ++i) {
        if (text[i] != known[i]) {
            return false;
        }
    }
    return text[i] == u'\0';
}

bool changeDirectoryByPath(const char16_t* path) {
    std::string encoded;
    if (!encodeForSystem(path, encoded)) {
        return false;
    }
    setCurrent(nullptr);
    if (::chdir(encoded.c_str()) != 0) {
        setLastErrorForPath(errno, encoded);
        return false;
    }
    return true;
}

// An open directory is made current by its descriptor, and is current
// already when it was made so last: a walk makes the directory of each of
// its entries current, the same one for all the entries of a listing.
bool changeDirectoryBelow(const OpenDirectory& directory, std::u16string_view name) {
    if (name.empty()) {
        if (!isCurrent(directory)) {
            if (::fchdir(directory.descriptor) != 0) {
                setLastErrorFromErrno(errno);
                return false;
            }
            setCurrent(&directory);
        }
        return true;
    }
    std::string encoded;
    if (!encodeForSystem(name, encoded)) {
        return false;
    }
    int const fd = ::openat(directory.descriptor, encoded.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    bool const changed = fd >= 0 && ::fchdir(fd) == 0;
    int const e = errno;
    if (fd >= 0) {
        ::close(fd);
    }
    setCurrent(nullptr);
    if (!changed) {
        setLastErrorFromErrno(e);
    }
    return changed;
}

}  // namespace
}  // namespace platform::posix

namespace platform {

Dword GetFullPathNameW(const char16_t* path, Dword size, char16_t* buffer, char16_t** filePart) {
    posix::endIfTerminating();
    if (path == nullptr || *path == u'\0') {
        posix::setLastError(errorInvalidName);
        return 0;
    }
    // Only checked: a name that no system call could be given is no path.
    std::string encoded;
    if (!posix::encodeForSystem(path, encoded)) {
        return 0;
    }
    std::u16string full;
    if (!posix::resolveLexically(path, full)) {
        return 0;
    }
    Dword result = posix::copyOut(full, size, buffer);
    if (filePart != nullptr && result == full.size()) {
        *filePart = full.back() == u'/' ? nullptr : buffer + full.rfind(u'/') + 1;
    }
    return result;
}

Dword GetCurrentDirectoryW(Dword size, char16_t* buffer) {
    std::u16string current;
    if (!posix::readCurrentDirectory(current)) {
        return 0;
    }
    return posix::copyOut(current, size, buffer);
}

Bool SetCurrentDirectoryW(const char16_t* path) {
    posix::endIfTerminating();
    if (path == nullptr) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    // A walk asks for the same directory for each of its entries: the one
    // that is current already, spelled as its search was given it.
    const posix::OpenDirectory* const current = posix::currentOpenDirectory();
    if (current != nullptr && posix::spells(path, current->path)) {
        return 1;
    }
    std::u16string_view name;
    const posix::OpenDirectory* const anchor = posix::anchorOf(path, name);
    return anchor != nullptr ? posix::changeDirectoryBelow(*anchor, name)
                             : posix::changeDirectoryByPath(path);
}

}  // namespace platform
