// The dry run's record of moves, per directory and by the system's rule for
// equal names.
#include "renamer/dry_run.h"

#include "fs/path.h"
#include "platform/platform.h"

namespace ansifold {

std::u16string nameKey(std::u16string_view name) {
    std::u16string key(name);
    if constexpr (platform::systemIsWindows) {
        for (char16_t& c : key) {
            c = platform::CharLowerW(c);
        }
    }
    return key;
}

bool DryRun::holds(const Directory& directory, const std::u16string& key,
                   std::u16string_view name) {
    if (directory.arrived.contains(key)) {
        return true;
    }
    return !directory.left.contains(key) &&
           platform::GetFileAttributesW(std::u16string(name).c_str()) !=
               platform::invalidFileAttributes;
}

bool DryRun::move(std::u16string_view directory, std::u16string_view name,
                  std::u16string_view target) {
    Directory& moves = directories[nameKey(kestrel::withoutTrailingSeparator(directory))];
    const std::u16string from = nameKey(name);
    if (!holds(moves, from, name)) {
        return false;
    }
    const std::u16string to = nameKey(target);
    if (to == from) {
        // The entry's own name, perhaps in another case, which Windows
        // takes as a change of case.
        return true;
    }
    if (holds(moves, to, target)) {
        return false;
    }
    std::u16string onDisk(name);
    if (const auto earlier = moves.arrived.find(from); earlier != moves.arrived.end()) {
        onDisk = std::move(earlier->second);
        moves.arrived.erase(earlier);
    } else {
        moves.left.insert(from);
    }
    moves.renamed.insert_or_assign(nameKey(onDisk), std::u16string(target));
    moves.arrived.insert_or_assign(to, std::move(onDisk));
    return true;
}

std::optional<std::u16string> DryRun::pathOnDisk(std::u16string_view fullPath) const {
    const std::u16string parent = kestrel::parentOf(fullPath);
    if (directories.empty() || parent.empty()) {
        return std::u16string(fullPath);
    }
    const std::optional<std::u16string> parentPath = pathOnDisk(parent);
    if (!parentPath) {
        return std::nullopt;
    }
    const std::optional<std::u16string> name =
        nameOnDisk(*parentPath, kestrel::fileNameOf(fullPath));
    if (!name) {
        return std::nullopt;
    }
    return kestrel::withTrailingSeparator(*parentPath) + *name;
}

std::u16string_view DryRun::nameNow(std::u16string_view directory, std::u16string_view name) const {
    if (directories.empty()) {
        return name;
    }
    const auto found = directories.find(nameKey(kestrel::withoutTrailingSeparator(directory)));
    if (found == directories.end()) {
        return name;
    }
    const auto moved = found->second.renamed.find(nameKey(name));
    return moved != found->second.renamed.end() ? std::u16string_view(moved->second) : name;
}

std::optional<std::u16string> DryRun::nameOnDisk(std::u16string_view directory,
                                                 std::u16string_view name) const {
    const auto found = directories.find(nameKey(kestrel::withoutTrailingSeparator(directory)));
    if (found == directories.end()) {
        return std::u16string(name);
    }
    const std::u16string key = nameKey(name);
    if (const auto moved = found->second.arrived.find(key); moved != found->second.arrived.end()) {
        return moved->second;
    }
    if (found->second.left.contains(key)) {
        return std::nullopt;
    }
    return std::u16string(name);
}

}  // namespace ansifold
