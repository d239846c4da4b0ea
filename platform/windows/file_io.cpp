// Handles of files and directories that the program opens, of platform.h: the
// Windows backend. An existing entry opened without following a link is
// opened relative to the open directory that holds it (ntdll's open, below a
// handle), as the walk opens the entries it lists; any other open is
// kernel32's.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/windows/open_directories.h"
#include "platform/windows/wide.h"

namespace platform {

using windows::wide;

namespace {

// An existing entry below an open directory, or the directory itself (an
// empty name), opened relative to it; an empty handle where no open
// directory holds it.
windows::OwnedHandle openInOpenDirectory(const char16_t* path, Dword access, Dword flags,
                                         bool& anchored) {
    anchored = false;
    if ((flags & fileFlagOpenReparsePoint) == 0) {
        return {};
    }
    const std::u16string full = windows::resolvedAgainstCurrent(path);
    std::u16string_view name;
    const windows::OpenDirectory* const anchor = windows::anchorOf(full, name);
    if (anchor == nullptr) {
        return {};
    }
    anchored = true;
    return windows::openBelow(anchor->handle.get(), name, access, 0);
}

}  // namespace

Handle CreateFileW(const char16_t* path, Dword access, Dword shareMode, Dword disposition,
                   Dword flags) {
    if (path == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return invalidHandleValue;
    }
    if (access == fileListDirectory && disposition == openExisting) {
        return windows::holdDirectory(path, (flags & fileFlagOpenReparsePoint) != 0
                                                ? windows::Following::none
                                                : windows::Following::links);
    }
    if (disposition == openExisting) {
        bool anchored = false;
        windows::OwnedHandle below = openInOpenDirectory(path, access, flags, anchored);
        if (anchored) {
            return below ? below.release() : invalidHandleValue;
        }
    }
    return ::CreateFileW(windows::forLimitedCall(path).c_str(), access, shareMode, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

Bool ReadFile(Handle file, void* bytes, Dword size, Dword* read) {
    DWORD done = 0;
    const BOOL succeeded = ::ReadFile(file, bytes, size, &done, nullptr);
    if (read) {
        *read = done;
    }
    return succeeded;
}

Bool CloseHandle(Handle object) {
    if (windows::isHeldDirectory(object)) {
        windows::releaseDirectory(object);
        return 1;
    }
    return ::CloseHandle(object);
}

// Only link-like reparse points are reported as reparse points, as the
// walk's listings report them.
Bool GetFileInformationByHandle(Handle file, ByHandleFileInformation* information) {
    BY_HANDLE_FILE_INFORMATION system{};
    const HANDLE handle = windows::systemHandleOf(file);
    if (information == nullptr || !::GetFileInformationByHandle(handle, &system)) {
        return 0;
    }
    const DWORD attributes = windows::attributesOf(handle);
    information->dwFileAttributes =
        attributes != INVALID_FILE_ATTRIBUTES ? attributes : system.dwFileAttributes;
    // Wine makes a creation time up from the host's times, which change with
    // what is written to a file and renamed in a directory: there it tells
    // nothing apart, and none is given.
    if (!windows::underWine()) {
        information->ftCreationTime = {system.ftCreationTime.dwLowDateTime,
                                       system.ftCreationTime.dwHighDateTime};
    }
    information->dwVolumeSerialNumber = system.dwVolumeSerialNumber;
    information->nNumberOfLinks = system.nNumberOfLinks;
    information->nFileIndexHigh = system.nFileIndexHigh;
    information->nFileIndexLow = system.nFileIndexLow;
    return 1;
}

Dword GetFileType(Handle file) {
    return ::GetFileType(windows::systemHandleOf(file));
}

Dword GetFinalPathNameByHandleW(Handle file, char16_t* buffer, Dword size) {
    return ::GetFinalPathNameByHandleW(windows::systemHandleOf(file), wide(buffer), size,
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
}

Bool LockFileEx(Handle file, Dword flags, Dword bytesLow, Dword bytesHigh, Overlapped* range) {
    OVERLAPPED system{};
    system.Offset = range->Offset;
    system.OffsetHigh = range->OffsetHigh;
    return ::LockFileEx(file, flags, 0, bytesLow, bytesHigh, &system);
}

Bool UnlockFileEx(Handle file, Dword bytesLow, Dword bytesHigh, Overlapped* range) {
    OVERLAPPED system{};
    system.Offset = range->Offset;
    system.OffsetHigh = range->OffsetHigh;
    return ::UnlockFileEx(file, 0, bytesLow, bytesHigh, &system);
}

}  // namespace platform
