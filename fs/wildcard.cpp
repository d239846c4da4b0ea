// Whether a text is a pattern; the matcher itself is the platform layer's,
// which also matches a search's names with it.
#include "fs/wildcard.h"

namespace kestrel {

bool holdsWildcard(std::u16string_view text) {
    return text.find_first_of(u"*?") != std::u16string_view::npos;
}

}  // namespace kestrel
