// Folding one name through the system's ANSI code page.
#pragma once

#include <string>

namespace ansifold {

// Folds a name through the system's ANSI code page and back: every character
// that the code page cannot hold comes back as its best-fit substitute or as
// "_". Returns false, leaving out untouched, when a conversion fails. out may
// be null: the fold then only reports whether it would succeed.
// A base character followed by combining marks (or conjoining jamo) is
// taken in its precomposed form first, where one exists, as a name written
// decomposed would otherwise lose marks that the code page holds.
bool foldName(std::u16string* out, const char16_t* name);

// The same fold through a given code page; foldName folds through the
// system's ANSI code page (cpAcp).
bool foldNameThrough(unsigned codePage, std::u16string* out, const char16_t* name);

}  // namespace ansifold
