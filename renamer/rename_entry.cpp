// Renaming one entry: fold, check, move and report, control characters shown
// as pictures.
#include "renamer/rename_entry.h"

#include <string>

#include "console/console.h"
#include "platform/platform.h"
#include "renamer/fold_name.h"
#include "renamer/plain_name.h"

namespace ansifold {

namespace {

bool isControl(char16_t c) {
    return c < u' ' || c == u'\x7F';
}

// A name may hold control characters (a Linux name may hold any but "/" and
// NUL). Printed as they are, a line feed would start a record of its own and
// an escape would reach the terminal, so the report shows each as its
// Control Pictures character. The move still uses the real name.
bool holdsControl(const char16_t* name) {
    for (; *name != u'\0'; ++name) {
        if (isControl(*name)) {
            return true;
        }
    }
    return false;
}

void printShown(kestrel::Console& console, const char16_t* format, const char16_t* name) {
    if (!holdsControl(name)) {
        console.print(format, name);
        return;
    }
    std::u16string shown(name);
    for (char16_t& c : shown) {
        if (isControl(c)) {
            c = c == u'\x7F' ? u'\u2421' : static_cast<char16_t>(u'\u2400' + c);
        }
    }
    console.print(format, shown.c_str());
}

}  // namespace

// The move uses names relative to the entry's directory. When that directory
// cannot be made current, the relative names would address another
// directory's entries, so the entry is reported as not renamed instead.
bool renameEntry(const char16_t* name, const char16_t* directory) {
    const bool inDirectory = platform::SetCurrentDirectoryW(directory) != 0;
    kestrel::Console console;
    printShown(console, u"%s\n", name);
    std::u16string folded;
    if (!foldName(&folded, name)) {
        return false;
    }
    const bool moved =
        inDirectory && isSafeFold(name, folded) && platform::MoveFileW(name, folded.c_str()) != 0;
    printShown(console, moved ? u"->%s\n" : u"->リネーム失敗: %s\n", folded.c_str());
    return moved;
}

}  // namespace ansifold
