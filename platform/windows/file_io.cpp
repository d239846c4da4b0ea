// Handles of files and directories that the program opens, of platform.h: the
// Windows backend. An existing entry below an open directory is opened
// relative to it (ntdll's open, below a handle); any other open is
// kernel32's.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/windows/directories.h"
#include "platform/windows/wide.h"

namespace platform::windows {
namespace {

// The system's handle behind a handle of CreateFileW: a held directory's own.
HANDLE systemHandleOf(Handle handle) {
    const OpenDirectory* const held = heldDirectoryOf(handle);
    return held != nullptr ? held->handle.get() : handle;
}

}  // namespace
}  // namespace platform::windows

namespace platform::os {

using namespace windows;

Handle openEntryBelow(const OpenDirectory& directory, std::u16string_view name, Dword access,
                      Dword) {
    OwnedHandle below = openBelow(directory.handle.get(), name, access, 0);
    return below ? below.release() : INVALID_HANDLE_VALUE;
}

Handle openFile(const char16_t* path, Dword access, Dword shareMode, Dword disposition,
                Dword flags) {
    if (path == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return ::CreateFileW(forLimitedCall(path).c_str(), access, shareMode, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

Bool closeFile(Handle file) {
    return ::CloseHandle(file);
}

}  // namespace platform::os

namespace platform {

using windows::wide;

Bool ReadFile(Handle file, void* bytes, Dword size, Dword* read) {
    DWORD done = 0;
    const BOOL succeeded = ::ReadFile(file, bytes, size, &done, nullptr);
    if (read) {
        *read = done;
    }
    return succeeded;
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
