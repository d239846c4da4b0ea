// A console device for tests: it records every console call and plays either
// a console or a redirected handle.
#pragma once

#include <string>
#include <vector>

#include "platform/console_device.h"

namespace testsupport {

class RecordingConsole : public platform::ConsoleDevice {
public:
    explicit RecordingConsole(bool isConsole = false, platform::Word attributes = 0x07)
        : isConsole(isConsole), attributes(attributes) {
        previous = platform::installConsoleDevice(this);
    }
    ~RecordingConsole() override { platform::installConsoleDevice(previous); }
    RecordingConsole(const RecordingConsole&) = delete;
    RecordingConsole& operator=(const RecordingConsole&) = delete;

    platform::Bool getConsoleMode(platform::Handle handle, platform::Dword* mode) override {
        const bool console =
            handle == platform::GetStdHandle(platform::stdInputHandle) ? inputIsConsole : isConsole;
        if (console) {
            *mode = 0;
        }
        return console;
    }
    platform::Bool getConsoleScreenBufferInfo(platform::Handle,
                                              platform::ConsoleScreenBufferInfo* info) override {
        if (isConsole) {
            info->wAttributes = attributes;
        }
        return isConsole;
    }
    platform::Bool setConsoleTextAttribute(platform::Handle, platform::Word value) override {
        if (isConsole) {
            attributes = value;
        }
        return isConsole;
    }
    platform::Bool writeConsole(platform::Handle handle, const char16_t* text,
                                platform::Dword count, platform::Dword* written) override {
        consoleWrites.emplace_back(text, count);
        const platform::Dword done = count < consoleLimit ? count : consoleLimit;
        *written = done;
        (isStandardError(handle) ? errors : output).append(text, done);
        return consoleResult;
    }
    platform::Bool writeRedirectedText(platform::Handle handle, const char16_t* text,
                                       platform::Dword count, platform::Dword* written) override {
        redirectedWrites.emplace_back(text, count);
        *written = count;
        (isStandardError(handle) ? errors : output).append(text, count);
        return 1;
    }
    int messageBox(const char16_t* text, const char16_t* caption, platform::Dword type) override {
        boxes.push_back({text != nullptr ? std::u16string(text) : std::u16string(), text == nullptr,
                         caption == nullptr, type});
        return 1;
    }

    platform::Dword getConsoleProcessList(platform::Dword* list, platform::Dword count) override {
        if (consoleProcesses <= count) {
            for (platform::Dword i = 0; i < consoleProcesses; ++i) {
                list[i] = 100 + i;
            }
        }
        return consoleProcesses;
    }
    int getwch() override {
        ++keysRead;
        return u'\r';
    }

    struct Box {
        std::u16string text;
        bool nullText;
        bool nullCaption;
        platform::Dword type;
    };

    bool isConsole;
    platform::Word attributes;
    // Standard input: on the console, or redirected.
    bool inputIsConsole = false;
    // The processes that the console reports attached to it: the program and
    // the shell that started it, unless set otherwise.
    platform::Dword consoleProcesses = 2;
    // What a console write reports as written at most, and its result.
    platform::Dword consoleLimit = 0xFFFFFFFF;
    platform::Bool consoleResult = 1;

    std::vector<std::u16string> consoleWrites;
    std::vector<std::u16string> redirectedWrites;
    std::vector<Box> boxes;
    int keysRead = 0;
    // Everything written to standard output, and to standard error, as text.
    std::u16string output;
    std::u16string errors;

private:
    static bool isStandardError(platform::Handle handle) {
        return handle == platform::GetStdHandle(platform::stdErrorHandle);
    }

    platform::ConsoleDevice* previous;
};

}  // namespace testsupport
