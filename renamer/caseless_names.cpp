// The names of one directory, each kept in the case under which a Windows
// volume finds it.
#include "renamer/caseless_names.h"

#include "platform/platform.h"

namespace ansifold {

std::u16string CaselessNames::keyOf(std::u16string_view name) {
    std::u16string key(name);
    for (char16_t& c : key) {
        c = platform::CharUpperW(c);
    }
    return key;
}

void CaselessNames::add(std::u16string_view name) {
    ++counts[keyOf(name)];
}

void CaselessNames::add(const std::vector<std::u16string_view>& names) {
    counts.reserve(counts.size() + names.size());
    for (const std::u16string_view name : names) {
        add(name);
    }
}

bool CaselessNames::heldByAnother(std::u16string_view name, std::u16string_view target) const {
    const std::u16string key = keyOf(target);
    const auto found = counts.find(key);
    const std::size_t holders = found == counts.end() ? 0 : found->second;
    return holders > (key == keyOf(name) ? 1u : 0u);
}

void CaselessNames::moved(std::u16string_view name, std::u16string_view target) {
    const auto left = counts.find(keyOf(name));
    if (left != counts.end() && --left->second == 0) {
        counts.erase(left);
    }
    add(target);
}

}  // namespace ansifold
