// The fold as two measured conversions, through buffers that spare an entry's
// name an allocation.
#include "renamer/fold_name.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/platform.h"

namespace ansifold {

namespace {

// "_" as the one-byte string that the conversion takes as default character.
constexpr char defaultCharacter[] = "_";

int toAnsi(const char16_t* name, char* out, int size) {
    return platform::WideCharToMultiByte(platform::cpAcp, 0, name, -1, out, size, defaultCharacter,
                                         nullptr);
}

int fromAnsi(const char* ansi, char16_t* out, int size) {
    return platform::MultiByteToWideChar(platform::cpAcp, 0, ansi, -1, out, size);
}

// A zero-filled buffer of the size asked for: fixed room that any entry's name
// fits, so that folding the names of a walk allocates nothing, and a vector
// for longer texts.
template <typename Unit, std::size_t fixedUnits>
class Scratch {
public:
    Unit* zeroed(std::size_t size) {
        if (size <= fixed.size()) {
            std::fill_n(fixed.data(), size, Unit{});
            return fixed.data();
        }
        grown.assign(size, Unit{});
        return grown.data();
    }

private:
    std::array<Unit, fixedUnits> fixed;
    std::vector<Unit> grown;
};

}  // namespace

bool foldName(std::u16string* out, const char16_t* name) {
    const int ansiSize = toAnsi(name, nullptr, 0);
    if (ansiSize <= 0) {
        return false;
    }
    Scratch<char, 1024> ansiBuffer;
    char* const ansi = ansiBuffer.zeroed(static_cast<std::size_t>(ansiSize));
    if (toAnsi(name, ansi, ansiSize) == 0) {
        return false;
    }
    const int wideSize = fromAnsi(ansi, nullptr, 0);
    if (wideSize <= 0) {
        return false;
    }
    Scratch<char16_t, 512> wideBuffer;
    char16_t* const wide = wideBuffer.zeroed(static_cast<std::size_t>(wideSize));
    if (fromAnsi(ansi, wide, wideSize) == 0) {
        return false;
    }
    if (out != nullptr) {
        out->assign(wide);
    }
    return true;
}

}  // namespace ansifold
