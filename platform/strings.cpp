// The string services that both systems give alike: a text's length, and the
// ordinal comparison, which Windows' own lstrcmpW is not (it collates by the
// user's locale, under which "." and ".." followed by an ignorable character,
// such as a soft hyphen, compare equal to "." and "..").
#include <string>

#include "platform/platform.h"

namespace platform {

int lstrlenW(const char16_t* text) {
    if (text == nullptr) {
        return 0;
    }
    return static_cast<int>(std::char_traits<char16_t>::length(text));
}

int lstrcmpW(const char16_t* a, const char16_t* b) {
    if (a == nullptr || b == nullptr) {
        return (a != nullptr) - (b != nullptr);
    }
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return (*a > *b) - (*a < *b);
}

}  // namespace platform
