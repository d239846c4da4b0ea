// The names of one directory as a Windows volume tells them apart.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ansifold {

// A Windows volume takes two names that differ only in letter case for one
// name, comparing them unit by unit in upper case. Linux file systems tell
// them apart, so a Linux run for a Windows volume would give an entry a name
// that another entry holds there; it checks each fold against these instead.
class CaselessNames {
public:
    void add(std::u16string_view name);
    void add(const std::vector<std::u16string_view>& names);

    // Whether target is, on a Windows volume, the name of another entry than
    // the one called name: an entry may take its own name in another case.
    bool heldByAnother(std::u16string_view name, std::u16string_view target) const;

    // The entry called name is called target from now on.
    void moved(std::u16string_view name, std::u16string_view target);

private:
    static std::u16string keyOf(std::u16string_view name);

    // How many entries go by each key: a Linux directory may hold several.
    std::unordered_map<std::u16string, std::size_t> counts;
};

}  // namespace ansifold
