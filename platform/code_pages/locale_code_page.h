// The ANSI code page that Windows would pick for the language and territory
// of a locale, so that names fold on a POSIX system as they would for the
// same user on Windows.
#pragma once

#include <string_view>

namespace platform::code_pages {

// The Windows ANSI code page for a locale name such as "ja_JP.UTF-8",
// "sr_RS@latin" or "C"; 1252 for every language without one of its own.
unsigned codePageForLocale(std::string_view locale);

}  // namespace platform::code_pages
