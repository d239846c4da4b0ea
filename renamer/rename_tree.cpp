// The walk: a directory's subtree is renamed before its own entry.
#include "renamer/rename_tree.h"

#include "fs/file_search.h"

namespace ansifold {

bool isWalkedDirectory(platform::Dword attributes) {
    return (attributes & platform::fileAttributeDirectory) != 0 &&
           (attributes & platform::fileAttributeReparsePoint) == 0;
}

bool renameTree(const std::u16string& directory, const RunMode& mode) {
    kestrel::FileSearch search;
    search.open(directory.c_str());
    while (const platform::FindData* entry = mode.stopped() ? nullptr : search.next()) {
        if (isWalkedDirectory(entry->dwFileAttributes)) {
            renameTree(search.currentPath(), mode);
        }
        renameEntry(entry->cFileName, directory.c_str(), mode);
    }
    return true;
}

}  // namespace ansifold
