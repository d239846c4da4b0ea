// The walk: a directory's subtree is renamed before its own entry.
#include "renamer/rename_tree.h"

#include <memory>
#include <vector>

#include "fs/file_search.h"
#include "renamer/rename_entry.h"

namespace ansifold {

namespace {

// One directory of the walk: its search stays open while the entries below
// it are handled, and the entry it handed out last is the one whose subtree
// is being walked.
struct Level {
    explicit Level(std::u16string path) : directory(std::move(path)) {
        search.open(directory.c_str());
    }
    std::u16string directory;
    kestrel::FileSearch search;
};

}  // namespace

bool isWalkedDirectory(platform::Dword attributes) {
    return (attributes & platform::fileAttributeDirectory) != 0 &&
           (attributes & platform::fileAttributeReparsePoint) == 0;
}

// Depth first, as a recursion would go, but with the levels on a stack of the
// walk's own: a tree as deep as the system allows must not overflow the
// program's stack, which is 1 MiB for a Windows program.
bool renameTree(const std::u16string& directory) {
    std::vector<std::unique_ptr<Level>> levels;
    levels.push_back(std::make_unique<Level>(directory));
    while (!levels.empty()) {
        Level& level = *levels.back();
        const platform::FindData* entry = level.search.next();
        if (entry == nullptr) {
            levels.pop_back();
            if (!levels.empty()) {
                // The directory just walked is the entry its parent handed out last.
                Level& parent = *levels.back();
                renameEntry(parent.search.current()->cFileName, parent.directory.c_str());
            }
            continue;
        }
        if (isWalkedDirectory(entry->dwFileAttributes)) {
            levels.push_back(std::make_unique<Level>(level.search.currentPath()));
            continue;
        }
        renameEntry(entry->cFileName, level.directory.c_str());
    }
    return true;
}

}  // namespace ansifold
