// POSIX backend only, to emulate Windows: the user's ANSI code page, from the
// locale that the environment names.
#include "platform/posix/code_page.h"

#include <cstdlib>

#include "platform/code_pages/locale_code_page.h"

namespace platform::posix {

namespace {

std::string_view userLocale() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

unsigned& selectedCodePage() {
    static unsigned codePage = code_pages::codePageForLocale(userLocale());
    return codePage;
}

}  // namespace

void setAnsiCodePage(unsigned codePage) {
    selectedCodePage() = codePage;
}

unsigned ansiCodePage() {
    return selectedCodePage();
}

}  // namespace platform::posix
