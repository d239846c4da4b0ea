// fgetws, getchar and _wfreopen on the C library's standard input stream,
// read the way a Windows program reads a stream opened in text mode: in the
// multibyte encoding of the locale in force, with a carriage return before a
// line feed dropped.
//
// Decoding reads a byte or two ahead now and then (to see what follows a
// carriage return, or when a character is not valid). Those bytes wait
// here, in front of the stream, for the next fgetws or getchar.
#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "platform/posix/standard_streams.h"
#include "platform/posix/locale_text.h"
#include "platform/posix/name_codec.h"
#include "platform/posix/signals.h"

namespace platform {

namespace {

class StandardInputSource : public posix::ByteSource {
public:
    int next() override {
        if (!waiting_.empty()) {
            auto const byte = static_cast<unsigned char>(waiting_.front());
            waiting_.erase(0, 1);
            return byte;
        }
        int const c = getc_unlocked(stdin);
        return c == EOF ? -1 : c;
    }
    void unread(std::string_view bytes) override { waiting_.insert(0, bytes); }
    void forget() { waiting_.clear(); }

private:
    std::string waiting_;
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
    int const after = input.next();
    if (after == '\n') {
        unit = u'\n';
    } else if (after >= 0) {
        char const byte = static_cast<char>(after);
        input.unread(std::string_view(&byte, 1));
    }
}

bool isConsoleName(const char16_t* path) {
    for (std::u16string_view name : {u"CON", u"CONIN$"}) {
        std::size_t i = 0;
        while (i < name.size() && path[i] != 0 &&
               (path[i] == name[i] || path[i] == name[i] - u'A' + u'a')) {
            ++i;
        }
        if (i == name.size() && path[i] == 0) {
            return true;
        }
    }
    return false;
}

bool narrowMode(const char16_t* mode, std::string& out) {
    for (; *mode != 0; ++mode) {
        if (*mode >= 0x80) {
            return false;
        }
        out.push_back(static_cast<char>(*mode));
    }
    return true;
}

}  // namespace

// Input is read before the first entry: a termination signal may end the
// process there.
char16_t* fgetws(char16_t* buffer, int count) {
    posix::endIfTerminating();
    if (buffer == nullptr || count <= 0) {
        return nullptr;
    }
    StreamLock const lock;
    std::size_t const room = static_cast<std::size_t>(count) - 1;
    std::size_t length = 0;
    std::string bytes;
    while (length < room) {
        char16_t units[2];
        int const read = posix::readLocaleCharacter(input, units, bytes);
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
        std::size_t const taken =
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
    StreamLock const lock;
    int const c = input.next();
    return c < 0 ? eof : c;
}

Bool _wfreopen(const char16_t* path, const char16_t* mode) {
    if (path == nullptr || mode == nullptr) {
        return 0;
    }
    std::string file;
    if (isConsoleName(path)) {
        file = "/dev/tty";
    } else if (!posix::encodePath(path, file)) {
        return 0;
    }
    std::string narrow;
    if (!narrowMode(mode, narrow)) {
        return 0;
    }
    input.forget();
    posix::forgetStandardInputKind();
    return std::freopen(file.c_str(), narrow.c_str(), stdin) != nullptr;
}

}  // namespace platform
