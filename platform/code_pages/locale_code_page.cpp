// The ANSI code page of a locale, from its language, territory and script.
#include "platform/code_pages/locale_code_page.h"

#include <algorithm>
#include <string>

#include "platform/platform.h"

namespace platform::code_pages {

namespace {

struct LocaleParts {
    std::string language;
    std::string_view territory;
    std::string_view modifier;
};

LocaleParts partsOf(std::string_view locale) {
    LocaleParts parts;
    const std::size_t languageEnd = std::min(locale.find_first_of("_.@"), locale.size());
    for (char c : locale.substr(0, languageEnd)) {
        parts.language.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    }
    if (languageEnd < locale.size() && locale[languageEnd] == '_') {
        const std::string_view rest = locale.substr(languageEnd + 1);
        parts.territory = rest.substr(0, std::min(rest.find_first_of(".@"), rest.size()));
    }
    if (const std::size_t at = locale.find('@'); at != std::string_view::npos) {
        parts.modifier = locale.substr(at + 1);
    }
    return parts;
}

// Languages by the ANSI code page that Windows gives them.
struct LanguageGroup {
    std::string_view languages;  // separated by spaces
    unsigned codePage;
};

constexpr LanguageGroup languageGroups[] = {
    {"ja", 932},
    {"zh", 936},
    {"ko", 949},
    {"th", 874},
    {"cs hu pl ro hr sk sl sq bs sh tk", 1250},
    {"ru uk be bg mk sr kk ky tt ba mn tg cv sah", 1251},
    {"el", 1253},
    {"tr az uz", 1254},
    {"he iw", 1255},
    {"ar fa ur ug ps sd", 1256},
    {"lt lv et", 1257},
    {"vi", 1258},
};

bool listed(std::string_view languages, std::string_view language) {
    while (!languages.empty()) {
        const std::size_t end = std::min(languages.find(' '), languages.size());
        if (languages.substr(0, end) == language) {
            return true;
        }
        languages.remove_prefix(std::min(end + 1, languages.size()));
    }
    return false;
}

// Where a language is written in two scripts, the territory or the locale's
// modifier picks the script, and with it the code page.
unsigned scriptCodePage(const LocaleParts& parts) {
    if (parts.language == "zh" &&
        (parts.territory == "TW" || parts.territory == "HK" || parts.territory == "MO")) {
        return 950;
    }
    if (parts.language == "sr" && parts.modifier == "latin") {
        return 1250;
    }
    if (parts.language == "uz" && parts.modifier == "cyrillic") {
        return 1251;
    }
    return 0;
}

constexpr unsigned westernCodePage = 1252;

}  // namespace

unsigned codePageForLocale(std::string_view locale) {
    const LocaleParts parts = partsOf(locale);
    if (parts.language.empty()) {
        return westernCodePage;
    }
    if (const unsigned codePage = scriptCodePage(parts); codePage != 0) {
        return codePage;
    }
    for (const LanguageGroup& group : languageGroups) {
        if (listed(group.languages, parts.language)) {
            return group.codePage;
        }
    }
    return westernCodePage;
}

}  // namespace platform::code_pages
