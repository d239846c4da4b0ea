// _wsetlocale over the run-time library's own. Every Console selects the
// user's default locale again, which means once for each renamed entry, and
// loading a locale is far dearer than the rename; a request whose outcome is
// already in force is therefore answered without loading it again.
#include <deque>
#include <string>

#include "platform/platform.h"
#include "platform/system.h"

namespace platform {

namespace {

struct Request {
    LocaleCategory category;
    std::u16string name;  // as asked for; "" is the user's default
    bool failed;          // and then stays failed
    std::u16string outcome;
};

// Requests stay where they are, so the text handed out for one stays valid
// until the same request is made again.
std::deque<Request> requests;

// Unit by unit, without measuring other first: every Console makes two
// requests, each compared with the earlier ones and with the locale in force.
bool sameText(const std::u16string& text, const char16_t* other) {
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        if (other[i] != text[i]) {
            return false;
        }
    }
    return other[i] == u'\0';
}

Request* earlier(LocaleCategory category, const char16_t* name) {
    for (Request& request : requests) {
        if (request.category == category && sameText(request.name, name)) {
            return &request;
        }
    }
    return nullptr;
}

// With the environment unchanged, a request gives the same outcome each
// time; when that outcome is what the category holds now, asking again
// would change nothing.
bool inForce(const Request& request) {
    const char16_t* const now = system::currentLocale(request.category);
    return now != nullptr && sameText(request.outcome, now);
}

}  // namespace

const char16_t* _wsetlocale(LocaleCategory category, const char16_t* locale) {
    if (locale == nullptr) {
        return system::currentLocale(category);
    }
    Request* request = earlier(category, locale);
    if (request != nullptr && (request->failed || inForce(*request))) {
        return request->failed ? nullptr : request->outcome.c_str();
    }
    if (request == nullptr) {
        request = &requests.emplace_back(Request{category, locale, false, {}});
    }
    const char16_t* const outcome = system::setLocale(category, locale);
    request->failed = outcome == nullptr;
    if (request->failed) {
        return nullptr;
    }
    request->outcome = outcome;
    return request->outcome.c_str();
}

}  // namespace platform
