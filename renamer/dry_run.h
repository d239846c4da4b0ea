// What a dry run knows of the moves that it reports but does not make.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace ansifold {

// The form under which the system finds a name: Windows finds "A.TXT" under
// "a.txt".
std::u16string nameKey(std::u16string_view name);

// The moves of a dry run, kept per directory so that each later move meets
// what it would meet in a real run: a name that an earlier entry would have
// taken is held, the name that an entry would have left is free, and
// everything else is as the file system has it. Names are compared as the
// system compares them: on Windows without regard to case.
class DryRun {
public:
    // Whether moving name to target in directory, which is current, would
    // succeed, as MoveFileW would report it: never onto another entry, and
    // always when an entry moves onto its own name. A move that would succeed
    // is remembered.
    bool move(std::u16string_view directory, std::u16string_view name, std::u16string_view target);

    // The path on disk of the entry that a full path names by the names that
    // the dry run's moves would have given; nothing when they would have
    // moved an entry on the way away, so that the run would not find it.
    std::optional<std::u16string> pathOnDisk(std::u16string_view fullPath) const;

    // The name that the dry run's moves would have given the entry name
    // (its name on disk) of directory (a path on disk): what the run would
    // list there by now. The text stays valid until the next move.
    std::u16string_view nameNow(std::u16string_view directory, std::u16string_view name) const;

    // The name on disk of the entry that the dry run's moves would have
    // named name in directory (a path on disk); nothing when they would
    // have moved it away.
    std::optional<std::u16string> nameOnDisk(std::u16string_view directory,
                                             std::u16string_view name) const;

private:
    struct Directory {
        // By the name that it would have, the name on disk of each entry
        // that would have moved here; and the other way round.
        std::unordered_map<std::u16string, std::u16string> arrived;
        std::unordered_map<std::u16string, std::u16string> renamed;
        std::unordered_set<std::u16string> left;
    };

    // Whether name leads to an entry of directory (which is current when
    // asked), apart from the entry called self.
    bool holds(const Directory& directory, const std::u16string& key, std::u16string_view name);

    std::unordered_map<std::u16string, Directory> directories;
};

}  // namespace ansifold
