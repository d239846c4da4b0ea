// Console services on a terminal. A standard handle is a console exactly when
// its descriptor is a terminal; console text goes out in the encoding of the
// locale in force, and text attributes have no meaning there, so they are
// accepted and dropped. Redirected output takes the raw bytes that the
// caller hands to WriteFile.
#include "platform/posix/console.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <string>

#include "platform/platform.h"
#include "platform/posix/last_error.h"
#include "platform/posix/locale_text.h"
#include "platform/posix/utf16.h"
#include "platform/system.h"

namespace platform::posix {

namespace {

constexpr Dword stdErrorHandle = static_cast<Dword>(-12);
constexpr Word defaultAttributes = 0x07;  // light grey on black
constexpr Dword inputConsoleMode = 0x7;   // processed, line and echo input
constexpr Dword outputConsoleMode = 0x3;  // processed output, wrap at the end of a line
constexpr int messageBoxOk = 1;

class StandardStream {
public:
    constexpr StandardStream(int fd, bool output) : fd_(fd), output_(output) {}

    int fd() const { return fd_; }
    bool isOutput() const { return output_; }

    // Asked once: console writes come for every renamed entry.
    bool isTerminal() {
        int known = terminal_.load(std::memory_order_relaxed);
        if (known < 0) {
            known = ::isatty(fd_) ? 1 : 0;
            terminal_.store(known, std::memory_order_relaxed);
        }
        return known == 1;
    }
    void forgetKind() { terminal_.store(-1, std::memory_order_relaxed); }

private:
    int fd_;
    bool output_;
    std::atomic<int> terminal_{-1};
};

StandardStream standardInput(STDIN_FILENO, false);
StandardStream standardOutput(STDOUT_FILENO, true);
StandardStream standardError(STDERR_FILENO, true);

Handle handleOf(StandardStream& stream) {
    return &stream;
}

StandardStream* streamOf(Handle handle) {
    for (StandardStream* stream : {&standardInput, &standardOutput, &standardError}) {
        if (handle == handleOf(*stream)) {
            return stream;
        }
    }
    return nullptr;
}

StandardStream* consoleOutputOf(Handle handle) {
    StandardStream* const stream = streamOf(handle);
    if (stream == nullptr || !stream->isOutput() || !stream->isTerminal()) {
        setLastError(errorInvalidHandle);
        return nullptr;
    }
    return stream;
}

// A Windows program whose reader went away sees its writes fail; a POSIX
// one is killed by SIGPIPE unless it ignores the signal. The renames must
// go on when the output is cut short, so the signal is ignored from the
// first write on.
void ignoreBrokenPipes() {
    static bool const ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    static_cast<void>(ignored);
}

bool writeAll(int fd, const char* bytes, std::size_t size, std::size_t& written) {
    ignoreBrokenPipes();
    written = 0;
    while (written < size) {
        ssize_t const n = ::write(fd, bytes + written, size - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            setLastErrorFromErrno(n < 0 ? errno : EIO);
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// A message box is one line: line breaks inside the text would split it.
std::u16string oneLine(const char16_t* text, const char16_t* caption) {
    std::u16string line;
    if (caption != nullptr) {
        line = caption;
        line += u": ";
    }
    if (text != nullptr) {
        line += text;
    }
    for (char16_t& unit : line) {
        if (unit == u'\n' || unit == u'\r') {
            unit = u' ';
        }
    }
    line.push_back(u'\n');
    return line;
}

}  // namespace

void forgetStandardInputKind() {
    standardInput.forgetKind();
}

}  // namespace platform::posix

namespace platform {

Handle GetStdHandle(Dword which) {
    switch (which) {
        case stdInputHandle:
            return posix::handleOf(posix::standardInput);
        case stdOutputHandle:
            return posix::handleOf(posix::standardOutput);
        case posix::stdErrorHandle:
            return posix::handleOf(posix::standardError);
        default:
            posix::setLastError(errorInvalidParameter);
            return invalidHandleValue;
    }
}

Bool GetConsoleMode(Handle handle, Dword* mode) {
    posix::StandardStream* const stream = posix::streamOf(handle);
    if (stream == nullptr || mode == nullptr || !stream->isTerminal()) {
        posix::setLastError(errorInvalidHandle);
        return 0;
    }
    *mode = stream->isOutput() ? posix::outputConsoleMode : posix::inputConsoleMode;
    return 1;
}

void* GetConsoleWindow() {
    return nullptr;
}

namespace system {

Bool GetConsoleScreenBufferInfo(Handle handle, ConsoleScreenBufferInfo* info) {
    if (posix::consoleOutputOf(handle) == nullptr || info == nullptr) {
        return 0;
    }
    info->wAttributes = posix::defaultAttributes;
    return 1;
}

Bool SetConsoleTextAttribute(Handle handle, Word) {
    return posix::consoleOutputOf(handle) != nullptr;
}

Bool WriteConsoleW(Handle handle, const char16_t* text, Dword count, Dword* written) {
    if (written != nullptr) {
        *written = 0;
    }
    posix::StandardStream* const stream = posix::consoleOutputOf(handle);
    if (stream == nullptr || (text == nullptr && count > 0)) {
        return 0;
    }
    // Text cut into chunks may end between the two units of a pair; the
    // first one waits for the next call, which begins with it, so that the
    // pair is encoded whole.
    Dword const taken = count > 1 && posix::isHighSurrogate(text[count - 1]) ? count - 1 : count;
    std::string bytes;
    posix::encodeForLocale(std::u16string_view(text, taken), bytes);
    std::size_t sent = 0;
    if (!posix::writeAll(stream->fd(), bytes.data(), bytes.size(), sent)) {
        return 0;
    }
    if (written != nullptr) {
        *written = taken;
    }
    return 1;
}

Bool WriteFile(Handle handle, const void* bytes, Dword size, Dword* written) {
    if (written != nullptr) {
        *written = 0;
    }
    posix::StandardStream* const stream = posix::streamOf(handle);
    if (stream == nullptr) {
        posix::setLastError(errorInvalidHandle);
        return 0;
    }
    if (bytes == nullptr && size > 0) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    std::size_t sent = 0;
    bool const ok = posix::writeAll(stream->fd(), static_cast<const char*>(bytes), size, sent);
    if (written != nullptr) {
        *written = static_cast<Dword>(sent);
    }
    return ok;
}

int MessageBoxW(void*, const char16_t* text, const char16_t* caption, Dword) {
    std::string bytes;
    posix::encodeForLocale(posix::oneLine(text, caption), bytes);
    std::size_t sent = 0;
    return posix::writeAll(posix::standardError.fd(), bytes.data(), bytes.size(), sent)
               ? posix::messageBoxOk
               : 0;
}

}  // namespace system

}  // namespace platform
