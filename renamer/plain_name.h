// The rule that decides whether a folded name may replace the old one.
#pragma once

#include <string_view>

namespace ansifold {

// Whether an entry may be moved from name to folded inside its directory.
//
// Best-fit mapping can turn a character into one that paths give a meaning
// (U+00A5 becomes "\" in code page 932, U+FF0F becomes "/" in 1252), so a
// folded name that differs from the old one is taken only when it is a plain
// name that Windows would store as it stands:
// - not empty, "." or "..";
// - none of \ / : * ? " < > | and no control character;
// - no trailing dot or space, which Windows trims away;
// - no device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, with
//   or without an extension).
// The same rule holds on every platform, so that a tree folds to the same
// names wherever the tool runs. A name that folds to itself is always taken:
// it already names the entry.
bool isSafeFold(std::u16string_view name, std::u16string_view folded);

}  // namespace ansifold
