// The C library's locale, with names in UTF-16.
#include <clocale>
#include <string>

#include "platform/system.h"

namespace platform::system {

namespace {

// The text that the last call handed out, and the C library's name it was
// made from: every Console asks which locale is in force, and mostly finds
// the one it found before.
std::u16string named;
std::string narrowNamed;

int categoryOf(LocaleCategory category) {
    return category == LocaleCategory::all ? LC_ALL : LC_CTYPE;
}

// Locale names are ASCII; anything else names no locale.
bool narrow(const char16_t* text, std::string& out) {
    for (; *text != u'\0'; ++text) {
        if (*text >= 0x80) {
            return false;
        }
        out.push_back(static_cast<char>(*text));
    }
    return true;
}

const char16_t* widened(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    if (narrowNamed == text && !named.empty()) {
        return named.c_str();
    }
    narrowNamed = text;
    named.clear();
    for (; *text != '\0'; ++text) {
        named.push_back(static_cast<unsigned char>(*text));
    }
    return named.c_str();
}

}  // namespace

const char16_t* setLocale(LocaleCategory category, const char16_t* name) {
    std::string bytes;
    if (!narrow(name, bytes)) {
        return nullptr;
    }
    return widened(std::setlocale(categoryOf(category), bytes.c_str()));
}

const char16_t* currentLocale(LocaleCategory category) {
    return widened(std::setlocale(categoryOf(category), nullptr));
}

}  // namespace platform::system
