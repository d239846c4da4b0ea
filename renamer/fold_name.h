// Folding one name through the system's ANSI code page.
#pragma once

#include <string>

namespace ansifold {

// Folds a name through the system's ANSI code page and back: every character
// that the code page cannot hold comes back as its best-fit substitute or as
// "_". Returns false, leaving out untouched, when a conversion fails. out may
// be null: the fold then only reports whether it would succeed.
bool foldName(std::u16string* out, const char16_t* name);

}  // namespace ansifold
