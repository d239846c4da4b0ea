// Folding one name through the system's ANSI code page.
#pragma once

#include <string>

namespace ansifold {

// Folds a name through the system's ANSI code page and back: every character
// that the code page cannot hold comes back as its best-fit substitute or as
// "_". Returns false, leaving out untouched, when a conversion fails. out may
// be null: the fold then only reports whether it would succeed.
// Each base character and the combining marks (or conjoining jamo) after it
// go through in the spelling that the code page serves best: as given where
// the page holds that exactly, so a name it holds never changes; else the
// most composed spelling it holds exactly; else the composed spelling where
// that loses no more to "_", or the piece as given, whose base letter then
// survives.
bool foldName(std::u16string* out, const char16_t* name);

// The same fold through a given code page; foldName folds through the
// system's ANSI code page (cpAcp).
bool foldNameThrough(unsigned codePage, std::u16string* out, const char16_t* name);

}  // namespace ansifold
