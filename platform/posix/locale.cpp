// _wsetlocale over setlocale. Every Console selects the user's default
// locale again, which means once for each renamed entry, and loading a locale
// is far dearer than the rename; a request whose outcome is already in force
// is therefore answered without asking the C library to load it again.
#include <clocale>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace platform {

namespace {

struct Request {
    LocaleCategory category;
    std::string name;     // as asked for; "" is the user's default
    bool failed = false;  // and then stays failed
    std::string outcome;  // what setlocale reported
    std::u16string outcomeText;
};

// Requests stay where they are, so the text handed out for one stays valid
// until the same request is made again.
std::deque<Request> requests;
std::u16string queried;

int categoryOf(LocaleCategory category) {
    return category == LocaleCategory::all ? LC_ALL : LC_CTYPE;
}

// Locale names are ASCII; anything else names no locale. Every Console
// passes two names through here, so the bytes are stored in place rather
// than pushed one by one.
bool narrow(const char16_t* text, std::string& out) {
    std::u16string_view const units(text);
    out.resize(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] >= 0x80) {
            return false;
        }
        out[i] = static_cast<char>(units[i]);
    }
    return true;
}

std::u16string widened(const char* text) {
    std::u16string out;
    for (; *text != '\0'; ++text) {
        out.push_back(static_cast<unsigned char>(*text));
    }
    return out;
}

Request* earlier(LocaleCategory category, const std::string& name) {
    for (Request& request : requests) {
        if (request.category == category && request.name == name) {
            return &request;
        }
    }
    return nullptr;
}

// With the environment unchanged, a request gives the same outcome each
// time; when that outcome is what the category holds now, asking again
// would change nothing.
bool inForce(const Request& request) {
    const char* const now = std::setlocale(categoryOf(request.category), nullptr);
    return now != nullptr && request.outcome == now;
}

}  // namespace

const char16_t* _wsetlocale(LocaleCategory category, const char16_t* locale) {
    int const c = categoryOf(category);
    if (locale == nullptr) {
        const char* const now = std::setlocale(c, nullptr);
        if (now == nullptr) {
            return nullptr;
        }
        queried = widened(now);
        return queried.c_str();
    }
    std::string name;
    if (!narrow(locale, name)) {
        return nullptr;
    }
    Request* request = earlier(category, name);
    if (request != nullptr && (request->failed || inForce(*request))) {
        return request->failed ? nullptr : request->outcomeText.c_str();
    }
    if (request == nullptr) {
        request = &requests.emplace_back(Request{category, name, false, {}, {}});
    }
    const char* const outcome = std::setlocale(c, name.c_str());
    request->failed = outcome == nullptr;
    if (request->failed) {
        return nullptr;
    }
    request->outcome = outcome;
    request->outcomeText = widened(outcome);
    return request->outcomeText.c_str();
}

}  // namespace platform
