// C run-time services of platform.h: the POSIX backend.
//
// The wide printf family formats with wide_format.h: the C library's own
// cannot stand in, since its %s reads 8-bit text and its wide characters are
// 32 bits.
//
// fgetws, getchar and _wfreopen work on the C library's standard input stream,
// read the way a Windows program reads a stream opened in text mode: in the
// multibyte encoding of the locale in force, with a carriage return before a
// line feed dropped.
//
// Decoding reads a byte or two ahead now and then (to see what follows a
// carriage return, or when a character is not valid). Those bytes wait here, in
// front of the stream, for the next fgetws or getchar.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/bounded_output.h"
#include "platform/name_codec.h"
#include "platform/platform.h"
#include "platform/posix/console.h"
#include "platform/posix/locale_text.h"
#include "platform/posix/signals.h"
#include "platform/system.h"
#include "platform/wide_format.h"

namespace platform::posix {

namespace {

// The text that the last call handed out, valid until the next. Which
// requests need no call at all is known above the backend (locale.cpp).
std::u16string named;

int categoryOf(LocaleCategory category) {
    return category == LocaleCategory::all ? LC_ALL : LC_CTYPE;
}

const char16_t* widened(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    named.clear();
    for (; *text != '\0'; ++text) {
        named.push_back(static_cast<unsigned char>(*text));
    }
    return named.c_str();
}

// Locale names and stream modes are ASCII; anything else names none.
bool narrowAscii(const char16_t* text, std::string& out) {
    for (; *text != u'\0'; ++text) {
        if (*text >= 0x80) {
            return false;
        }
        out.push_back(static_cast<char>(*text));
    }
    return true;
}

// The bytes of standard input, read one at a time, and those that decoding
// read ahead in front of them.
class StandardInputSource : public posix::ByteSource {
public:
    int next() override {
        if (!waiting.empty()) {
            const auto byte = static_cast<unsigned char>(waiting.front());
            waiting.erase(0, 1);
            return byte;
        }
        const int c = getc_unlocked(stdin);
        return c == EOF ? -1 : c;
    }
    void unread(std::string_view bytes) override { waiting.insert(0, bytes); }
    void forget() { waiting.clear(); }

private:
    std::string waiting;
};

StandardInputSource input;

// Holds the stream's lock for a whole line rather than for each byte.
class StreamLock {
public:
    StreamLock() { flockfile(stdin); }
    ~StreamLock() { funlockfile(stdin); }
    StreamLock(const StreamLock&) = delete;
    StreamLock& operator=(const StreamLock&) = delete;
};

// Text mode turns CR LF into LF; a carriage return before anything else
// stays.
void joinLineEnd(char16_t& unit) {
    const int after = input.next();
    if (after == '\n') {
        unit = u'\n';
    } else if (after >= 0) {
        const char byte = static_cast<char>(after);
        input.unread(std::string_view(&byte, 1));
    }
}

// The console's names, in any case of their ASCII letters.
bool isConsoleName(std::u16string_view path) {
    std::u16string upper(path);
    for (char16_t& c : upper) {
        c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
    }
    return upper == u"CON" || upper == u"CONIN$";
}

}  // namespace
}  // namespace platform::posix

namespace platform {

using posix::categoryOf;
using posix::input;
using posix::isConsoleName;
using posix::joinLineEnd;
using posix::narrowAscii;
using posix::StreamLock;
using posix::widened;

namespace system {

const char16_t* setLocale(LocaleCategory category, const char16_t* name) {
    std::string bytes;
    if (!narrowAscii(name, bytes)) {
        return nullptr;
    }
    return widened(std::setlocale(categoryOf(category), bytes.c_str()));
}

const char16_t* currentLocale(LocaleCategory category) {
    return widened(std::setlocale(categoryOf(category), nullptr));
}

}  // namespace system

int _vscwprintf(const char16_t* format, std::va_list args) {
    BoundedOutput<char16_t> out(nullptr, 0);
    if (!formatInto(out, format, args)) {
        return -1;
    }
    return static_cast<int>(out.size());
}

int _vsnwprintf(char16_t* buffer, std::size_t count, const char16_t* format, std::va_list args) {
    BoundedOutput<char16_t> out(buffer, count);
    if (!formatInto(out, format, args) || !out.fits()) {
        return -1;
    }
    const std::size_t length = out.size();
    out.put(u'\0');  // only where it fits
    return static_cast<int>(length);
}

// Input is read before the first entry: a termination signal may end the
// process there.
char16_t* fgetws(char16_t* buffer, int count) {
    posix::endIfTerminating();
    if (buffer == nullptr || count <= 0) {
        return nullptr;
    }
    const StreamLock lock;
    const std::size_t room = static_cast<std::size_t>(count) - 1;
    std::size_t length = 0;
    std::string bytes;
    while (length < room) {
        char16_t units[2];
        const int read = posix::readLocaleCharacter(input, units, bytes);
        if (read == 0) {
            break;
        }
        if (read == 2 && length + 2 > room && length > 0) {
            input.unread(bytes);  // the pair goes whole into the next line
            break;
        }
        if (read == 1 && units[0] == u'\r') {
            joinLineEnd(units[0]);
        }
        // A buffer of two units cannot hold a pair: only its first unit goes.
        const std::size_t taken =
            std::min<std::size_t>(static_cast<std::size_t>(read), room - length);
        std::copy_n(units, taken, buffer + length);
        length += taken;
        if (units[0] == u'\n') {
            break;
        }
    }
    if (ferror(stdin) || (length == 0 && room > 0)) {
        return nullptr;
    }
    buffer[length] = 0;
    return buffer;
}

int getchar() {
    posix::endIfTerminating();
    const StreamLock lock;
    const int c = input.next();
    return c < 0 ? eof : c;
}

Bool _wfreopen(const char16_t* path, const char16_t* mode) {
    if (path == nullptr || mode == nullptr) {
        return 0;
    }
    std::string file;
    if (isConsoleName(path)) {
        file = "/dev/tty";
    } else if (!encodePath(path, file)) {
        return 0;
    }
    std::string narrow;
    if (!narrowAscii(mode, narrow)) {
        return 0;
    }
    input.forget();
    posix::forgetStandardStreamKinds();
    return std::freopen(file.c_str(), narrow.c_str(), stdin) != nullptr;
}

// A terminal is shared with whatever started the program and stays open when
// the program ends (GetConsoleProcessList), so the frame never waits for a
// key before it closes, and no key is read.
int system::_getwch() {
    return weof;
}

}  // namespace platform
