// Handles of files and directories that the program opens, of platform.h: the
// Windows backend, which forwards each one to kernel32.
#include <windows.h>

#include "platform/platform.h"
#include "platform/windows/open_directories.h"
#include "platform/windows/wide.h"

namespace platform {

using windows::wide;

Handle CreateFileW(const char16_t* path, Dword access, Dword shareMode, Dword disposition) {
    if (access == fileListDirectory && disposition == openExisting && path != nullptr) {
        return windows::holdDirectory(path);
    }
    return ::CreateFileW(wide(path), access, shareMode, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
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

}  // namespace platform
