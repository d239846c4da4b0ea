// The console writer: UTF-16 text to standard output, as console text on a console
// and, when redirected, in the form the system's tools read (WriteRedirectedText).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace kestrel {

// Writes UTF-16 text to standard output: to the console through the console
// services, or, when standard output is redirected, as the platform's
// redirected text: raw UTF-16LE on Windows, UTF-8 on POSIX, with no
// byte-order mark and no line-end translation. Constructing one sets
// the run-time library's locale to the user's default for the whole process;
// destroying one puts back the console's text attributes of its construction.
class Console {
public:
    // which selects the standard handle written to (GetStdHandle's selector):
    // standard output unless a message is meant for standard error.
    explicit Console(platform::Dword which = platform::stdOutputHandle);
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;
    virtual ~Console();

    // Writes length units of text (on a console, the text up to its NUL).
    // written, if given, receives the number of units written.
    bool write(const char16_t* text, std::size_t length, std::size_t* written);
    bool vprint(const char16_t* format, std::va_list args, std::size_t* written);
    // Formats and writes; returns the number of units written.
    int print(const char16_t* format, ...);

    // Whether the text goes to a file or a pipe rather than to a console.
    bool isRedirected() const { return redirected; }

private:
    bool writeRedirected(const char16_t* text, std::size_t length, std::size_t* written);
    bool writeToConsole(const char16_t* text, std::size_t* written);

    platform::Handle handle = platform::invalidHandleValue;
    bool redirected = false;
    platform::Word savedAttributes = 0;
    std::uint32_t chunkLength = 2048;
};

}  // namespace kestrel
