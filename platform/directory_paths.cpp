// The open directories of both backends, known by their paths.
#include "platform/directory_paths.h"

#include <algorithm>
#include <cstring>

#include "platform/path_text.h"

namespace platform {
namespace {

void eraseLast(std::vector<DirectoryPath*>& list, const DirectoryPath* directory) {
    const auto found = std::find(list.rbegin(), list.rend(), directory);
    if (found != list.rend()) {
        list.erase(std::next(found).base());
    }
}

}  // namespace

void DirectoryPaths::add(DirectoryPath& directory) {
    ordered.push_back(&directory);
    byLength[directory.length].push_back(&directory);
    extendChain(directory);
}

// A directory is added after its parent, so those below it come after it:
// a walk that closes its deepest level looks at nothing else.
bool DirectoryPaths::remove(DirectoryPath& directory) {
    const auto found = std::find(ordered.rbegin(), ordered.rend(), &directory);
    if (found == ordered.rend()) {
        return false;
    }
    const auto after = ordered.erase(std::next(found).base());
    std::vector<DirectoryPath*>& sameLength = byLength[directory.length];
    eraseLast(sameLength, &directory);
    if (sameLength.empty()) {
        byLength.erase(directory.length);
    }
    shortenChain(directory);
    for (auto other = after; other != ordered.end(); ++other) {
        if ((*other)->parent == &directory) {
            shortenChain(**other);
            (*other)->name = pathOf(**other);
            (*other)->parent = nullptr;
        }
    }
    return true;
}

bool DirectoryPaths::contains(const DirectoryPath* directory) const {
    return std::find(ordered.rbegin(), ordered.rend(), directory) != ordered.rend();
}

DirectoryPath* DirectoryPaths::anchorOf(std::u16string_view path, std::u16string_view& name) const {
    name = {};
    if (ordered.empty() || path.empty()) {
        return nullptr;
    }
    const std::u16string_view trimmed = withoutTrailingSeparators(path);
    if (DirectoryPath* itself = at(trimmed)) {
        return itself;
    }
    std::size_t cut = trimmed.size();
    while (cut > 0 && !isSeparator(trimmed[cut - 1])) {
        --cut;
    }
    name = trimmed.substr(cut);
    if (cut == 0 || name == u"." || name == u"..") {
        return nullptr;
    }
    return at(withoutTrailingSeparators(trimmed.substr(0, cut)));
}

std::u16string pathOf(const DirectoryPath& directory, char16_t separator) {
    std::u16string path(directory.length, separator);
    for (const DirectoryPath* level = &directory; level != nullptr; level = level->parent) {
        std::copy(level->name.begin(), level->name.end(),
                  path.begin() + static_cast<std::ptrdiff_t>(level->length - level->name.size()));
    }
    return path;
}

DirectoryPath* DirectoryPaths::at(std::u16string_view path) const {
    const auto bucket = byLength.find(path.size());
    if (bucket == byLength.end()) {
        return nullptr;
    }
    for (auto it = bucket->second.rbegin(); it != bucket->second.rend(); ++it) {
        if (isPathOf(**it, path)) {
            return *it;
        }
    }
    return nullptr;
}

// Compared with the chain's path where directory is one of its levels, else
// name by name up its parents.
bool DirectoryPaths::isPathOf(const DirectoryPath& directory, std::u16string_view path) const {
    if (directory.onChain && path.size() == directory.length &&
        std::memcmp(path.data(), chainPath.data(), path.size() * sizeof(char16_t)) == 0) {
        return true;
    }
    for (const DirectoryPath* level = &directory;;) {
        if (path.size() != level->length) {
            return false;
        }
        if (level->parent == nullptr) {
            return path == level->name;
        }
        if (path.size() <= level->name.size() ||
            path.substr(path.size() - level->name.size()) != level->name) {
            return false;
        }
        path.remove_suffix(level->name.size());
        if (!isSeparator(path.back())) {
            return false;
        }
        path = withoutTrailingSeparators(path);
        level = level->parent;
    }
}

void DirectoryPaths::markChain(DirectoryPath* top, bool on) {
    for (DirectoryPath* level = top; level != nullptr; level = level->parent) {
        level->onChain = on;
    }
}

// The directory opened last becomes the top of the chain: one name more when
// it lies right below the top, else a chain of its own.
void DirectoryPaths::extendChain(DirectoryPath& directory) {
    if (chainTop != nullptr && directory.parent == chainTop) {
        chainPath.resize(chainTop->length);
        chainPath.resize(directory.length - directory.name.size(), separator);
        chainPath += directory.name;
        directory.onChain = true;
    } else {
        markChain(chainTop, false);
        chainPath = pathOf(directory);
        markChain(&directory, true);
    }
    chainTop = &directory;
}

// The chain loses its top as the walk comes back up; any other level that
// goes breaks it, and the next directory opened starts it anew.
void DirectoryPaths::shortenChain(DirectoryPath& directory) {
    if (!directory.onChain) {
        return;
    }
    if (&directory == chainTop && directory.parent != nullptr) {
        directory.onChain = false;
        chainTop = directory.parent;
        chainPath.resize(chainTop->length);
        return;
    }
    markChain(chainTop, false);
    chainTop = nullptr;
    chainPath.clear();
}

}  // namespace platform
