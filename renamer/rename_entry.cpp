#include "renamer/rename_entry.h"

#include <string>

#include "console/console.h"
#include "platform/platform.h"
#include "renamer/fold_name.h"
#include "renamer/plain_name.h"

namespace ansifold {

// The move uses names relative to the entry's directory. When that directory
// cannot be made current, the relative names would address another
// directory's entries, so the entry is reported as not renamed instead.
bool renameEntry(const char16_t* name, const char16_t* directory) {
    const bool inDirectory = platform::SetCurrentDirectoryW(directory) != 0;
    kestrel::Console console;
    console.print(u"%s\n", name);
    std::u16string folded;
    if (!foldName(&folded, name)) {
        return false;
    }
    const bool moved =
        inDirectory && isSafeFold(name, folded) && platform::MoveFileW(name, folded.c_str()) != 0;
    console.print(moved ? u"->%s\n" : u"->リネーム失敗: %s\n", folded.c_str());
    return moved;
}

}  // namespace ansifold
