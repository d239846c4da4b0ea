// Handles of files and directories that the program opens, of platform.h: the
// Windows backend, which forwards each one to kernel32.
#include <windows.h>

#include "platform/platform.h"
#include "platform/windows/wide.h"

namespace platform {

using windows::wide;

Handle CreateFileW(const char16_t* path, Dword access, Dword shareMode, Dword disposition) {
    // A directory opens only with backup semantics.
    const DWORD flags =
        access == fileListDirectory ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
    return ::CreateFileW(wide(path), access, shareMode, nullptr, disposition, flags, nullptr);
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
    return ::CloseHandle(object);
}

}  // namespace platform
