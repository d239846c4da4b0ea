// Name patterns with '*' (any run of characters, also none) and '?' (exactly
// one character). Letters compare without regard to case, one UTF-16 unit at
// a time through the system's lower-case mapping, unless asked to compare
// them exactly; '.' is an ordinary character, so "*.*" needs a dot in the
// name.
#pragma once

#include <string_view>

#include "platform/name_pattern.h"

namespace kestrel {

using platform::LetterCase;
using platform::matchWildcard;

// Whether a text holds '*' or '?' anywhere, which makes it a pattern.
bool holdsWildcard(std::u16string_view text);

}  // namespace kestrel
