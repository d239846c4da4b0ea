// The console writer: one write per text when redirected, chunks of at most
// 2048 units on a console.
#include "console/console.h"

#include <algorithm>

#include "console/format_buffer.h"

namespace kestrel {

namespace {

void selectUserDefaultLocale() {
    const char16_t* name = platform::_wsetlocale(platform::LocaleCategory::ctype, u"");
    platform::_wsetlocale(platform::LocaleCategory::all, name);
}

}  // namespace

Console::Console(platform::Dword which) {
    handle = platform::GetStdHandle(which);
    selectUserDefaultLocale();
    platform::ConsoleScreenBufferInfo info;
    redirected = !platform::GetConsoleScreenBufferInfo(handle, &info);
    // Without a console the attributes mean nothing; 0 is only ever handed
    // back to the same handle, where setting it fails without effect.
    if (platform::GetConsoleScreenBufferInfo(handle, &info)) {
        savedAttributes = info.wAttributes;
    }
}

Console::~Console() {
    platform::SetConsoleTextAttribute(handle, savedAttributes);
}

bool Console::write(const char16_t* text, std::size_t length, std::size_t* written) {
    return redirected ? writeRedirected(text, length, written) : writeToConsole(text, written);
}

bool Console::writeRedirected(const char16_t* text, std::size_t length, std::size_t* written) {
    platform::Dword units = 0;
    const bool ok =
        platform::WriteRedirectedText(handle, text, static_cast<platform::Dword>(length), &units);
    if (written != nullptr) {
        *written = units;
    }
    return ok;
}

// A call that fails or reports no progress ends the loop: repeating it could
// spin forever on a console that no longer takes text.
bool Console::writeToConsole(const char16_t* text, std::size_t* written) {
    const std::size_t length = static_cast<std::size_t>(platform::lstrlenW(text));
    std::size_t position = 0;
    bool ok = false;
    while (position < length) {
        const std::size_t count = std::min<std::size_t>(chunkLength, length - position);
        platform::Dword done = 0;
        ok = platform::WriteConsoleW(handle, text + position, static_cast<platform::Dword>(count),
                                     &done);
        position += std::min<std::size_t>(done, count);
        if (!ok || done == 0) {
            ok = false;
            break;
        }
    }
    if (written != nullptr) {
        *written = position;
    }
    return ok;
}

bool Console::vprint(const char16_t* format, std::va_list args, std::size_t* written) {
    FormatBuffer buffer(format, args);
    const char16_t* text = buffer.text();
    return write(text, static_cast<std::size_t>(platform::lstrlenW(text)), written);
}

int Console::print(const char16_t* format, ...) {
    std::size_t count = 0;
    if (format == nullptr) {
        return 0;
    }
    std::va_list args;
    va_start(args, format);
    vprint(format, args, &count);
    va_end(args);
    return static_cast<int>(count);
}

}  // namespace kestrel
