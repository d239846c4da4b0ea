// Process and console services of platform.h: the Windows backend, which
// forwards each one to kernel32 or user32.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "platform/system.h"
#include "platform/windows/directories.h"
#include "platform/windows/wide.h"

namespace platform {

using windows::utf16;
using windows::wide;

const char16_t* GetCommandLineW() {
    return utf16(::GetCommandLineW());
}

Handle GetStdHandle(Dword which) {
    return ::GetStdHandle(which);
}

namespace {

// Every renamed entry makes a Console of its own, which asks twice whether
// standard output is a console and sets the attributes back at its end. A
// redirected handle never becomes a console, so once it has failed the
// question, the console calls on it fail at once without asking again.
HANDLE knownNotConsole = nullptr;

bool isKnownNotConsole(HANDLE handle) {
    if (handle == nullptr || handle != knownNotConsole) {
        return false;
    }
    ::SetLastError(ERROR_INVALID_HANDLE);
    return true;
}

}  // namespace

namespace system {

Bool GetConsoleMode(Handle handle, Dword* mode) {
    DWORD current = 0;
    const BOOL succeeded = ::GetConsoleMode(handle, &current);
    if (succeeded && mode) {
        *mode = current;
    }
    return succeeded;
}

Bool GetConsoleScreenBufferInfo(Handle handle, ConsoleScreenBufferInfo* info) {
    if (isKnownNotConsole(handle)) {
        return FALSE;
    }
    CONSOLE_SCREEN_BUFFER_INFO screen{};
    const BOOL succeeded = ::GetConsoleScreenBufferInfo(handle, &screen);
    if (succeeded && info) {
        info->wAttributes = screen.wAttributes;
    }
    if (!succeeded && handle != INVALID_HANDLE_VALUE) {
        knownNotConsole = handle;
    }
    return succeeded;
}

Bool SetConsoleTextAttribute(Handle handle, Word attributes) {
    if (isKnownNotConsole(handle)) {
        return FALSE;
    }
    return ::SetConsoleTextAttribute(handle, attributes);
}

// The writers take a local count: WriteFile without an overlapped structure
// needs one, whether or not the caller wants it.
Bool WriteConsoleW(Handle handle, const char16_t* text, Dword count, Dword* written) {
    DWORD units = 0;
    const BOOL succeeded = ::WriteConsoleW(handle, text, count, &units, nullptr);
    if (written) {
        *written = units;
    }
    return succeeded;
}

// Redirected text is what the console would be given, unit for unit.
Bool WriteRedirectedText(Handle handle, const char16_t* text, Dword count, Dword* written) {
    DWORD bytes = 0;
    const BOOL succeeded = ::WriteFile(handle, text, count * 2, &bytes, nullptr);
    if (written) {
        *written = bytes / 2;
    }
    return succeeded;
}

}  // namespace system

Bool WriteFile(Handle handle, const void* bytes, Dword size, Dword* written) {
    DWORD done = 0;
    const BOOL succeeded = ::WriteFile(handle, bytes, size, &done, nullptr);
    if (written) {
        *written = done;
    }
    return succeeded;
}

void* GetConsoleWindow() {
    return ::GetConsoleWindow();
}

// A routine has the system's calling convention and an argument and result of
// the system's sizes, so the system calls it as it is.
static_assert(sizeof(Dword) == sizeof(DWORD) && sizeof(Bool) == sizeof(BOOL));

Bool SetConsoleCtrlHandler(HandlerRoutine routine, Bool add) {
    return ::SetConsoleCtrlHandler(reinterpret_cast<PHANDLER_ROUTINE>(routine), add);
}

namespace system {

int MessageBoxW(void* window, const char16_t* text, const char16_t* caption, Dword type) {
    return ::MessageBoxW(static_cast<HWND>(window), wide(text), wide(caption), type);
}

// DWORD is an unsigned long, Dword an unsigned int: the same size, but not a
// type that one may read through a pointer to the other, so the ids are
// copied.
Dword GetConsoleProcessList(Dword* list, Dword count) {
    std::vector<DWORD> ids(count);
    DWORD attached = ::GetConsoleProcessList(ids.data(), count);
    // Under Wine the console is the Unix terminal that the program was
    // started from, which stays open after it, like a console's shell: it is
    // counted as one more process, so that nothing waits there for a key.
    if (attached == 1 && windows::underWine()) {
        attached = 2;
        ids.resize(std::max<DWORD>(count, 2));
    }
    if (attached <= count) {
        std::copy_n(ids.begin(), attached, list);
    }
    return attached;
}

}  // namespace system

}  // namespace platform
