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
    moves.arrived.insert_or_assign(to, std::move(onDisk));
    return true;
}

std::u16string DryRun::pathOnDisk(std::u16string_view fullPath) const {
    if (directories.empty()) {
        return std::u16string(fullPath);
    }
    const std::u16string parent = kestrel::parentOf(fullPath);
    if (parent.empty()) {
        return std::u16string(fullPath);
    }
    const std::u16string parentPath = pathOnDisk(parent);
    const std::u16string name = kestrel::fileNameOf(fullPath);
    const auto found = directories.find(nameKey(kestrel::withoutTrailingSeparator(parentPath)));
    if (found != directories.end()) {
        if (const auto moved = found->second.arrived.find(nameKey(name));
            moved != found->second.arrived.end()) {
            return kestrel::withTrailingSeparator(parentPath) + moved->second;
        }
    }
    return kestrel::withTrailingSeparator(parentPath) + name;
}

std::u16string DryRun::parentOnDisk(std::u16string_view fullPath) const {
    const std::u16string parent = kestrel::parentOf(fullPath);
    if (parent.empty() || directories.empty()) {
        return std::u16string(fullPath);
    }
    return kestrel::withTrailingSeparator(pathOnDisk(parent)) + kestrel::fileNameOf(fullPath);
}

bool DryRun::exists(std::u16string_view fullPath) {
    const auto found =
        directories.find(nameKey(kestrel::withoutTrailingSeparator(kestrel::parentOf(fullPath))));
    if (found != directories.end()) {
        const std::u16string key = nameKey(kestrel::fileNameOf(fullPath));
        if (found->second.arrived.contains(key)) {
            return true;
        }
        if (found->second.left.contains(key)) {
            return false;
        }
    }
    return platform::GetFileAttributesW(std::u16string(fullPath).c_str()) !=
           platform::invalidFileAttributes;
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
