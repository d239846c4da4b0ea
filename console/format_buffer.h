// The formatting buffer that the console writer and the error box share.
#pragma once

#include <array>
#include <cstdarg>
#include <vector>

namespace kestrel {

// The text of a printf-style UTF-16 format with its arguments. It is formatted
// into 1024 units when the text and two more units fit there, else into a
// buffer grown to exactly the measured length + 2. A null format gives the
// empty text.
class FormatBuffer {
public:
    FormatBuffer(const char16_t* format, std::va_list args);
    FormatBuffer(const FormatBuffer&) = delete;
    FormatBuffer& operator=(const FormatBuffer&) = delete;

    // The formatted text, ending at its first NUL.
    const char16_t* text() const { return grown.empty() ? fixed.data() : grown.data(); }
    // Units that the buffer holds: 1024, or the measured length + 2.
    std::size_t capacity() const { return grown.empty() ? fixed.size() : grown.size(); }

private:
    std::array<char16_t, 1024> fixed;
    std::vector<char16_t> grown;
};

}  // namespace kestrel
