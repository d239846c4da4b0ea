// POSIX backend only, to emulate Windows: text in the locale's encoding.
//
// Text in the multibyte encoding of the C library's character-type locale in
// force (what _wsetlocale last selected): what a terminal shows and what
// piped standard input holds.
//
// Both directions keep bytes that the encoding does not explain, as the name
// codec does: such a byte reads as U+DC80..U+DCFF and writes back as itself,
// so a name that is not in the locale's encoding still prints as the bytes
// that ls would show.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

// Appends text encoded for the locale. U+DC80..U+DCFF and U+DC5C go out as
// the bytes they stand for; a character the locale cannot encode goes out
// as '?'.
void encodeForLocale(std::u16string_view text, std::string& out);

// Bytes that a character is decoded from.
class ByteSource {
public:
    // The next byte (0..255), or a negative value at the end; once at the
    // end, a source stays there.
    virtual int next() = 0;
    // Puts bytes back in front of what next() reads; they are always the
    // last bytes that next() returned.
    virtual void unread(std::string_view bytes) = 0;

protected:
    ~ByteSource() = default;
};

// Decodes one character from source into units (a surrogate pair for one
// above U+FFFF) and returns the number of units, 0 at the end of the source.
// bytes receives the bytes that the character was made of. A byte that
// begins no valid character becomes a unit of its own; the bytes after it
// are read again.
int readLocaleCharacter(ByteSource& source, char16_t (&units)[2], std::string& bytes);

// Appends the UTF-16 form of bytes in the locale's encoding.
void decodeLocale(std::string_view bytes, std::u16string& out);

}  // namespace platform::posix
