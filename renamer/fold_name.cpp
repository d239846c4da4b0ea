#include "renamer/fold_name.h"

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

}  // namespace

bool foldName(std::u16string* out, const char16_t* name) {
    const int ansiSize = toAnsi(name, nullptr, 0);
    if (ansiSize <= 0) {
        return false;
    }
    std::vector<char> ansi(static_cast<std::size_t>(ansiSize), '\0');
    if (toAnsi(name, ansi.data(), ansiSize) == 0) {
        return false;
    }
    const int wideSize = fromAnsi(ansi.data(), nullptr, 0);
    if (wideSize <= 0) {
        return false;
    }
    std::vector<char16_t> wide(static_cast<std::size_t>(wideSize), u'\0');
    if (fromAnsi(ansi.data(), wide.data(), wideSize) == 0) {
        return false;
    }
    if (out != nullptr) {
        out->assign(wide.data());
    }
    return true;
}

}  // namespace ansifold
