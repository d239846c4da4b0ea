// The walk: a directory's subtree is renamed before its own entry.
#include "renamer/rename_tree.h"

#include <memory>
#include <vector>

#include "fs/file_search.h"
#include "fs/path.h"
#include "renamer/caseless_names.h"
#include "renamer/dry_run.h"
#include "renamer/rename_log.h"

namespace ansifold {

namespace {

// One directory of the walk: its search stays open while the entries below
// it are handled, and the entry it handed out last is the one whose subtree
// is being walked. Its path is the first directoryLength units of the
// walk's path, which each level below extends by its own name.
struct Level {
    kestrel::FileSearch search;
    std::size_t directoryLength = 0;
    // The directory's names, for a run meant for a caseless volume: each
    // fold is checked against all of them, so the listing is read whole
    // before the first entry is renamed.
    CaselessNames names;
    CaselessNames* caselessNames = nullptr;
};

// Makes a level of a search that has just been opened.
void startLevel(Level& level, std::size_t directoryLength, const RunMode& mode) {
    level.directoryLength = directoryLength;
    if (mode.forCaselessVolume) {
        level.names.add(level.search.readAhead());
        level.caselessNames = &level.names;
    }
}

// A log tells each directory apart as the walk opens it, while the walk
// still holds it open: past the limit on open files, the walk lets go of
// the levels above.
void enter(const std::u16string& directory, const RunMode& mode) {
    if (mode.log != nullptr) {
        mode.log->enter(directory);
    }
}

// The name that the run meets an entry by: a dry run lists the disk as it
// is, and an entry that it would have renamed already (an argument given
// twice, or one below another) goes by the name it would have by now.
const char16_t* shownName(const char16_t* listed, const std::u16string& directory,
                          const RunMode& mode, std::u16string& shown) {
    if (mode.dryRun == nullptr) {
        return listed;
    }
    shown = mode.dryRun->nameNow(directory, listed);
    return shown.c_str();
}

}  // namespace

bool isWalkedDirectory(platform::Dword attributes) {
    return (attributes & platform::fileAttributeDirectory) != 0 &&
           (attributes & platform::fileAttributeReparsePoint) == 0;
}

// Depth first, as a recursion would go, but with the levels on a stack of the
// walk's own: a tree as deep as the system allows must not overflow the
// program's stack, which is 1 MiB for a Windows program.
bool renameTree(const std::u16string& directory, const RunMode& mode) {
    std::u16string path = directory;
    const char16_t separator = kestrel::separatorOf(directory);
    std::vector<std::unique_ptr<Level>> levels;
    std::u16string shown;
    levels.push_back(std::make_unique<Level>());
    levels.back()->search.open(path.c_str());
    startLevel(*levels.back(), path.size(), mode);
    enter(path, mode);
    while (!levels.empty() && !mode.stopped()) {
        Level& level = *levels.back();
        const platform::FindData* entry = level.search.next();
        if (entry != nullptr && mode.excludes(entry->cFileName)) {
            continue;
        }
        if (entry == nullptr) {
            levels.pop_back();
            if (!levels.empty()) {
                // The directory just walked is the entry its parent handed out last.
                Level& parent = *levels.back();
                path.resize(parent.directoryLength);
                renameEntry(shownName(parent.search.current()->cFileName, path, mode, shown), path,
                            mode, parent.caselessNames);
            }
            continue;
        }
        if (isWalkedDirectory(entry->dwFileAttributes)) {
            // The entry's path, as the search's currentPath gives it, built
            // in place: a copy per level would leave the heap a freed one
            // per level, each too short for the next.
            path.resize(level.directoryLength);
            if (!path.empty() && path.back() != separator) {
                path += separator;
            }
            path += entry->cFileName;
            levels.push_back(std::make_unique<Level>());
            levels.back()->search.openCurrentOf(level.search);
            startLevel(*levels.back(), path.size(), mode);
            enter(path, mode);
            continue;
        }
        renameEntry(shownName(entry->cFileName, path, mode, shown), path, mode,
                    level.caselessNames);
    }
    // A stopped walk closes its levels deepest first, as one that ends does:
    // each level's path then goes with it rather than all in one recursion.
    while (!levels.empty()) {
        levels.pop_back();
    }
    return true;
}

}  // namespace ansifold
