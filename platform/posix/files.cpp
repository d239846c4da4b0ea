// File services of platform.h that the anchoring leaves to the POSIX backend:
// full paths, the current directory's, moves and error texts, each with
// Windows' contract. Every call that a walk makes between two entries first
// lets a pending termination end the process there (signals.h).
#include <string.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/name_codec.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "platform/posix/last_error.h"
#include "platform/posix/locale_text.h"
#include "platform/posix/move.h"
#include "platform/posix/paths.h"
#include "platform/posix/signals.h"

namespace platform {

Dword GetFullPathNameW(const char16_t* path, Dword size, char16_t* buffer, char16_t** filePart) {
    posix::endIfTerminating();
    if (path == nullptr || *path == u'\0') {
        posix::setLastError(errorInvalidName);
        return 0;
    }
    // Only checked: a name that no system call could be given is no path.
    std::string encoded;
    if (!encodeForSystem(path, encoded)) {
        return 0;
    }
    std::u16string full;
    if (!posix::resolveLexically(path, full)) {
        return 0;
    }
    Dword result = copyOut(full, size, buffer);
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
    return copyOut(current, size, buffer);
}

Bool MoveFileW(const char16_t* from, const char16_t* to) {
    // Kept from call to call: a walk moves every entry, and most names are
    // too long for a string's own small buffer.
    thread_local std::string source;
    thread_local std::string target;
    if (!encodeForSystem(from, source)) {
        return 0;
    }
    // Most names of a walk fold to themselves: the same text is the same
    // bytes, and the one check is that the entry is still there.
    if (to != nullptr && lstrcmpW(from, to) == 0) {
        const std::lock_guard<std::mutex> whole(posix::moveLock());
        return posix::entryExists(source) ? 1 : 0;
    }
    if (!encodeForSystem(to, target)) {
        return 0;
    }
    const std::lock_guard<std::mutex> whole(posix::moveLock());
    if (source == target) {
        return posix::entryExists(source) ? 1 : 0;
    }
    if (posix::moveWithoutReplacing(source, target)) {
        return 1;
    }
    // Windows leaves an entry that is asked to move onto itself as it is.
    return GetLastError() == errorAlreadyExists && posix::isSameEntry(source, target) ? 1 : 0;
}

Dword GetLastError() {
    return posix::lastError();
}

void SetLastError(Dword code) {
    posix::setLastError(code);
}

Dword FormatMessageW(Dword code, char16_t* buffer, Dword size) {
    int e = 0;
    if (!posix::errnoOf(code, e)) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    // The GNU strerror_r: g++ always builds with _GNU_SOURCE.
    char text[256];
    std::u16string message;
    posix::decodeLocale(::strerror_r(e, text, sizeof text), message);
    if (buffer == nullptr || message.size() >= size) {
        posix::setLastError(errorInsufficientBuffer);
        return 0;
    }
    std::copy(message.begin(), message.end(), buffer);
    buffer[message.size()] = u'\0';
    return static_cast<Dword>(message.size());
}

}  // namespace platform
