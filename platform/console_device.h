// A seam for the console services.
//
// The console writer's behaviour is defined by the calls it makes (how many
// writes, of what length), and whether the program waits for a key before its
// console closes by what the console says of itself (who shares it, whether
// standard input is on it), so tests install a device of their own in place
// of the system's, play any console and look at each call. Production code
// never installs one.
#pragma once

#include "platform/platform.h"

namespace platform {

class ConsoleDevice {
public:
    virtual ~ConsoleDevice() = default;
    virtual Bool getConsoleMode(Handle handle, Dword* mode) = 0;
    virtual Bool getConsoleScreenBufferInfo(Handle handle, ConsoleScreenBufferInfo* info) = 0;
    virtual Bool setConsoleTextAttribute(Handle handle, Word attributes) = 0;
    virtual Bool writeConsole(Handle handle, const char16_t* text, Dword count, Dword* written) = 0;
    virtual Bool writeRedirectedText(Handle handle, const char16_t* text, Dword count,
                                     Dword* written) = 0;
    virtual int messageBox(const char16_t* text, const char16_t* caption, Dword type) = 0;
    virtual Dword getConsoleProcessList(Dword* list, Dword count) = 0;
    virtual int getwch() = 0;
};

// Puts device in place of the system's console services; null puts the
// system's back. Returns the device that was installed before.
ConsoleDevice* installConsoleDevice(ConsoleDevice* device);

}  // namespace platform
