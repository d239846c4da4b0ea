// Process and console services of platform.h: the POSIX backend.
//
// Console services on a terminal. A standard handle is a console exactly when
// its descriptor is a terminal; console text goes out in the encoding of the
// locale in force, and text attributes have no meaning there, so they are
// accepted and dropped. Redirected text goes out as UTF-8, a name's bytes as
// they are on disk, which is what Linux tools read; WriteFile takes the raw
// bytes. Both are collected into blocks for standard output (console.h).
#include "platform/posix/console.h"

#include <limits.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>

#include "platform/name_codec.h"
#include "platform/platform.h"
#include "platform/posix/file_io.h"
#include "platform/posix/last_error.h"
#include "platform/posix/locale_text.h"
#include "platform/posix/signals.h"
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
    constexpr StandardStream(int fd, bool isOutputStream)
        : descriptor(fd), output(isOutputStream) {}

    int fd() const { return descriptor; }
    bool isOutput() const { return output; }

    // Asked once: console writes come for every renamed entry.
    bool isTerminal() {
        int known = terminalKind.load(std::memory_order_relaxed);
        if (known < 0) {
            known = ::isatty(descriptor) ? 1 : 0;
            terminalKind.store(known, std::memory_order_relaxed);
        }
        return known == 1;
    }
    void forgetKind() { terminalKind.store(-1, std::memory_order_relaxed); }

private:
    int descriptor;
    bool output;
    std::atomic<int> terminalKind{-1};
};

StandardStream standardInput(STDIN_FILENO, false);
StandardStream standardOutput(STDOUT_FILENO, true);
StandardStream standardError(STDERR_FILENO, true);

StandardStream* streamOf(Handle handle) {
    for (StandardStream* stream : {&standardInput, &standardOutput, &standardError}) {
        if (handle == stream) {
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
    const static bool ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    static_cast<void>(ignored);
}

using Deadline = std::chrono::steady_clock::time_point;

// Whether fd takes a write before the deadline.
bool roomBefore(int fd, Deadline deadline) {
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLOUT, 0};
        const int polled = left.count() > 0 ? ::poll(&ready, 1, static_cast<int>(left.count())) : 0;
        if (polled >= 0 || errno != EINTR) {
            return polled > 0 && (ready.revents & POLLOUT) != 0;
        }
    }
}

// With a deadline, the writes never block past it: pieces no larger than a
// pipe takes at once, each only when the descriptor says it has room.
bool writeAll(int fd, const char* bytes, std::size_t size, std::size_t& written,
              const Deadline* deadline = nullptr) {
    ignoreBrokenPipes();
    written = 0;
    while (written < size) {
        if (deadline != nullptr && !roomBefore(fd, *deadline)) {
            return false;
        }
        const std::size_t piece =
            deadline != nullptr ? std::min<std::size_t>(size - written, PIPE_BUF) : size - written;
        const ssize_t n = ::write(fd, bytes + written, piece);
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

// Standard output's collected bytes. WriteFile reports bytes it collects as
// written, as a buffered stream does; a write that fails later is reported by
// the WriteFile call that meets the failure (false, with nothing of its own
// written), and the bytes that could not go out are dropped rather than
// tried again with every later line. Plain storage with a constant
// initializer: it is there before any constructor runs and stays after every
// destructor, whatever the order of static destruction and atexit functions.
constexpr std::size_t collectedCapacity = 64 * 1024;

struct Collected {
    std::mutex lock;
    std::size_t used = 0;
    bool ended = false;  // the last flush was made: write straight through
    bool flushedAtExit = false;
    char bytes[collectedCapacity] = {};
};
static_assert(std::is_trivially_destructible_v<Collected>);

constinit Collected collected;

// With the lock held.
bool writeCollected() {
    std::size_t sent = 0;
    const bool ok = writeAll(STDOUT_FILENO, collected.bytes, collected.used, sent);
    collected.used = 0;
    return ok;
}

void flushAtExit() {
    flushStandardOutputForEnd(true);
}

// With the lock held; bytes fit in what is free.
void append(const char* bytes, std::size_t size) {
    std::memcpy(collected.bytes + collected.used, bytes, size);
    collected.used += size;
    if (!collected.flushedAtExit) {
        collected.flushedAtExit = true;
        std::atexit(flushAtExit);
        setBeforeEnd(flushStandardOutputForEnd);
    }
}

bool collect(const char* bytes, std::size_t size, std::size_t& taken) {
    const std::lock_guard<std::mutex> held(collected.lock);
    taken = 0;
    if (collected.ended) {
        return writeAll(STDOUT_FILENO, bytes, size, taken);
    }
    if (size > collectedCapacity - collected.used) {
        if (!writeCollected()) {
            return false;
        }
        if (size >= collectedCapacity) {
            return writeAll(STDOUT_FILENO, bytes, size, taken);
        }
    }
    append(bytes, size);
    taken = size;
    return true;
}

// Text for standard error waits until what standard output collected is out.
void flushBefore(const StandardStream& stream) {
    if (stream.fd() == STDERR_FILENO) {
        flushStandardOutput();
    }
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

void forgetStandardStreamKinds() {
    for (StandardStream* stream : {&standardInput, &standardOutput, &standardError}) {
        stream->forgetKind();
    }
}

bool flushStandardOutput() {
    const std::lock_guard<std::mutex> held(collected.lock);
    return writeCollected();
}

void flushStandardOutputForEnd(bool mayWait) {
    if (mayWait) {
        const std::lock_guard<std::mutex> held(collected.lock);
        writeCollected();
        collected.ended = true;
        return;
    }
    // The main thread may hold the lock while it waits in a write that will
    // never end; then what it collected cannot go out anyway.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!collected.lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::size_t sent = 0;
    writeAll(STDOUT_FILENO, collected.bytes, collected.used, sent, &deadline);
    collected.used = 0;
    collected.ended = true;
    collected.lock.unlock();
}

}  // namespace platform::posix

namespace platform {

Handle GetStdHandle(Dword which) {
    switch (which) {
        case stdInputHandle:
            return &posix::standardInput;
        case stdOutputHandle:
            return &posix::standardOutput;
        case posix::stdErrorHandle:
            return &posix::standardError;
        default:
            posix::setLastError(errorInvalidParameter);
            return invalidHandleValue;
    }
}

namespace system {

Bool GetConsoleMode(Handle handle, Dword* mode) {
    posix::StandardStream* const stream = posix::streamOf(handle);
    if (stream == nullptr || mode == nullptr || !stream->isTerminal()) {
        posix::setLastError(errorInvalidHandle);
        return 0;
    }
    *mode = stream->isOutput() ? posix::outputConsoleMode : posix::inputConsoleMode;
    return 1;
}

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
    const Dword taken = count > 1 && isHighSurrogate(text[count - 1]) ? count - 1 : count;
    std::string bytes;
    posix::encodeForLocale(std::u16string_view(text, taken), bytes);
    posix::flushBefore(*stream);
    std::size_t sent = 0;
    if (!posix::writeAll(stream->fd(), bytes.data(), bytes.size(), sent)) {
        return 0;
    }
    if (written != nullptr) {
        *written = taken;
    }
    return 1;
}

// Encoded into storage kept from call to call: a walk writes two lines per
// entry, and allocating for each would cost more than encoding them.
Bool WriteRedirectedText(Handle handle, const char16_t* text, Dword count, Dword* written) {
    if (written != nullptr) {
        *written = 0;
    }
    if (text == nullptr && count > 0) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    thread_local std::string bytes;
    bytes.clear();
    encodeText(std::u16string_view(text, count), bytes);
    Dword sent = 0;
    const Bool ok =
        platform::WriteFile(handle, bytes.data(), static_cast<Dword>(bytes.size()), &sent);
    if (written != nullptr && ok && sent == bytes.size()) {
        *written = count;
    }
    return ok;
}

}  // namespace system

Bool WriteFile(Handle handle, const void* bytes, Dword size, Dword* written) {
    if (written != nullptr) {
        *written = 0;
    }
    // A file's bytes all go to the system in this call, none is kept back.
    posix::StandardStream* const stream = posix::streamOf(handle);
    const int fd = stream != nullptr ? stream->fd() : posix::fileDescriptorOf(handle);
    if (fd < 0) {
        return 0;
    }
    if (bytes == nullptr && size > 0) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    std::size_t sent = 0;
    const auto* const text = static_cast<const char*>(bytes);
    bool ok = false;
    if (stream == &posix::standardOutput && !stream->isTerminal()) {
        ok = posix::collect(text, size, sent);
    } else {
        if (stream != nullptr) {
            posix::flushBefore(*stream);
        }
        ok = posix::writeAll(fd, text, size, sent);
    }
    if (written != nullptr) {
        *written = static_cast<Dword>(sent);
    }
    return ok;
}

void* GetConsoleWindow() {
    return nullptr;
}

Bool SetConsoleCtrlHandler(HandlerRoutine routine, Bool add) {
    return posix::changeControlHandlers(routine, add != 0) ? 1 : 0;
}

namespace system {

// The line is written as the console writer's text would be there: for the
// terminal's locale, or redirected as UTF-8.
int MessageBoxW(void*, const char16_t* text, const char16_t* caption, Dword) {
    const std::u16string line = posix::oneLine(text, caption);
    const auto size = static_cast<Dword>(line.size());
    const Bool written =
        posix::standardError.isTerminal()
            ? WriteConsoleW(&posix::standardError, line.data(), size, nullptr)
            : WriteRedirectedText(&posix::standardError, line.data(), size, nullptr);
    return written != 0 ? posix::messageBoxOk : 0;
}

// A terminal is the shell's, or whatever started the program, and stays open
// when the program ends: the program shares it with its parent.
Dword GetConsoleProcessList(Dword* list, Dword count) {
    constexpr Dword attached = 2;
    if (list == nullptr || count == 0) {
        posix::setLastError(errorInvalidParameter);
        return 0;
    }
    if (count >= attached) {
        list[0] = static_cast<Dword>(::getpid());
        list[1] = static_cast<Dword>(::getppid());
    }
    return attached;
}

}  // namespace system

}  // namespace platform
