// The console services as the layers above call them: through the device
// that a test installed, or the backend's own.
#include "platform/console_device.h"

#include "platform/system.h"

namespace platform {

namespace {
ConsoleDevice* installed = nullptr;
}

ConsoleDevice* installConsoleDevice(ConsoleDevice* device) {
    ConsoleDevice* previous = installed;
    installed = device;
    return previous;
}

Bool GetConsoleMode(Handle handle, Dword* mode) {
    return installed ? installed->getConsoleMode(handle, mode)
                     : system::GetConsoleMode(handle, mode);
}

Bool GetConsoleScreenBufferInfo(Handle handle, ConsoleScreenBufferInfo* info) {
    return installed ? installed->getConsoleScreenBufferInfo(handle, info)
                     : system::GetConsoleScreenBufferInfo(handle, info);
}

Bool SetConsoleTextAttribute(Handle handle, Word attributes) {
    return installed ? installed->setConsoleTextAttribute(handle, attributes)
                     : system::SetConsoleTextAttribute(handle, attributes);
}

Bool WriteConsoleW(Handle handle, const char16_t* text, Dword count, Dword* written) {
    return installed ? installed->writeConsole(handle, text, count, written)
                     : system::WriteConsoleW(handle, text, count, written);
}

Bool WriteRedirectedText(Handle handle, const char16_t* text, Dword count, Dword* written) {
    return installed ? installed->writeRedirectedText(handle, text, count, written)
                     : system::WriteRedirectedText(handle, text, count, written);
}

int MessageBoxW(void* window, const char16_t* text, const char16_t* caption, Dword type) {
    return installed ? installed->messageBox(text, caption, type)
                     : system::MessageBoxW(window, text, caption, type);
}

Dword GetConsoleProcessList(Dword* list, Dword count) {
    return installed ? installed->getConsoleProcessList(list, count)
                     : system::GetConsoleProcessList(list, count);
}

int _getwch() {
    return installed ? installed->getwch() : system::_getwch();
}

}  // namespace platform
