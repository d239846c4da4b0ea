// What each backend implements for the console services behind the seam of
// console_device.h. Only platform/ includes this header.
#pragma once

#include "platform/platform.h"

namespace platform::system {

Bool GetConsoleScreenBufferInfo(Handle handle, ConsoleScreenBufferInfo* info);
Bool SetConsoleTextAttribute(Handle handle, Word attributes);
Bool WriteConsoleW(Handle handle, const char16_t* text, Dword count, Dword* written);
Bool WriteFile(Handle handle, const void* bytes, Dword size, Dword* written);
int MessageBoxW(void* window, const char16_t* text, const char16_t* caption, Dword type);

}  // namespace platform::system
