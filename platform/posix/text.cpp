#include <locale.h>
#include <wctype.h>

#include "platform/platform.h"
#include "platform/posix/utf16.h"

namespace platform {

namespace {

// Case mapping must not follow the user's locale (a Turkish one lowers 'I'
// to a dotless i); C.UTF-8 carries the plain Unicode simple mappings.
locale_t caseLocale() {
    static locale_t const locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l != static_cast<locale_t>(0)
                   ? l
                   : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return locale;
}

}  // namespace

int lstrlenW(const char16_t* text) {
    if (text == nullptr) {
        return 0;
    }
    int n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
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

char16_t CharLowerW(char16_t c) {
    if (c < 0x80) {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    }
    locale_t const locale = caseLocale();
    if (posix::isSurrogate(c) || locale == static_cast<locale_t>(0)) {
        return c;
    }
    wint_t const lower = towlower_l(c, locale);
    return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
}

}  // namespace platform
