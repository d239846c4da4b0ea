// What each backend implements behind the shared parts of the platform layer:
// the console services behind the seam of console_device.h, and the run-time
// library's locale behind the request memory of locale.cpp. Only platform/
// includes this header.
#pragma once

#include "platform/platform.h"

namespace platform::system {

Bool GetConsoleMode(Handle handle, Dword* mode);
Bool GetConsoleScreenBufferInfo(Handle handle, ConsoleScreenBufferInfo* info);
Bool SetConsoleTextAttribute(Handle handle, Word attributes);
Bool WriteConsoleW(Handle handle, const char16_t* text, Dword count, Dword* written);
Bool WriteRedirectedText(Handle handle, const char16_t* text, Dword count, Dword* written);
int MessageBoxW(void* window, const char16_t* text, const char16_t* caption, Dword type);
Dword GetConsoleProcessList(Dword* list, Dword count);
int _getwch();

// Selects a locale for the category; returns the name now in force, or null.
const char16_t* setLocale(LocaleCategory category, const char16_t* name);
// The name of the locale in force for the category, or null.
const char16_t* currentLocale(LocaleCategory category);

}  // namespace platform::system
