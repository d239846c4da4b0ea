// Renaming one entry and printing its lines of the report.
#pragma once

namespace ansifold {

// Renames the entry name of directory to its folded name and prints the old
// name, then "->" with the new name, or "->リネーム失敗: " with the name it
// would have had. When the fold fails, only the old name is printed. Leaves
// directory as the process's current directory. True when the entry moved.
bool renameEntry(const char16_t* name, const char16_t* directory);

}  // namespace ansifold
