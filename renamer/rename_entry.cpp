// Renaming one entry: fold, check, move and report, control characters shown
// as pictures.
#include "renamer/rename_entry.h"

#include <string>
#include <string_view>

#include "console/console.h"
#include "fs/wildcard.h"
#include "platform/platform.h"
#include "renamer/caseless_names.h"
#include "renamer/dry_run.h"
#include "renamer/fold_name.h"
#include "renamer/plain_name.h"
#include "renamer/rename_log.h"

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

// A logged move is recorded before it is made, so that a run ended at any
// point, even between the two, leaves no rename that the log does not hold;
// a move that fails withdraws its record. A record that cannot be written
// stops the run before its move.
bool moveEntry(const char16_t* name, const char16_t* target, std::u16string_view directory,
               const RunMode& mode) {
    if (mode.dryRun != nullptr) {
        return mode.dryRun->move(directory, name, target);
    }
    const bool logged = mode.log != nullptr && std::u16string_view(name) != target;
    if (logged && !mode.log->record(directory, name, target)) {
        return false;
    }
    const bool moved = platform::MoveFileW(name, target) != 0;
    if (logged && !moved) {
        mode.log->withdraw();
    }
    return moved;
}

// Every outcome that the report shows is counted here, and nowhere else.
void count(const RunMode& mode, bool moved, bool sameName) {
    if (mode.tally == nullptr) {
        return;
    }
    ++(!moved ? mode.tally->failed : sameName ? mode.tally->kept : mode.tally->renamed);
}

// The name line goes out before the move, so that a run cut short shows the
// entry it was at; when only changes are shown, it waits for the outcome,
// which tells whether the entry is one.
void printNameBeforeMove(kestrel::Console& console, const char16_t* name, const RunMode& mode) {
    if (!mode.changesOnly) {
        printShown(console, u"%s\n", name);
    }
}

void reportFoldFailure(kestrel::Console& console, const char16_t* name, const RunMode& mode) {
    if (mode.changesOnly) {
        printShown(console, u"%s\n", name);
    }
    count(mode, false, false);
}

bool reportMove(kestrel::Console& console, bool allowed, const char16_t* name,
                const char16_t* target, std::u16string_view directory, const RunMode& mode) {
    const bool moved = allowed && moveEntry(name, target, directory, mode);
    const bool sameName = std::u16string_view(name) == target;
    count(mode, moved, sameName);
    if (mode.changesOnly) {
        if (moved && sameName) {
            return true;
        }
        printShown(console, u"%s\n", name);
    }
    printShown(console, moved ? u"->%s\n" : u"->リネーム失敗: %s\n", target);
    return moved;
}

}  // namespace

bool RunMode::stopped() const {
    return log != nullptr && log->failed();
}

bool RunMode::matchesExcluded(std::u16string_view name) const {
    const kestrel::LetterCase letterCase =
        platform::namesIgnoreCase() ? kestrel::LetterCase::ignored : kestrel::LetterCase::exact;
    for (const std::u16string& pattern : *excluded) {
        if (kestrel::matchWildcard(name, pattern, letterCase)) {
            return true;
        }
    }
    return false;
}

// The move uses names relative to the entry's directory. When that directory
// cannot be made current, the relative names would address another
// directory's entries, so the entry is reported as not renamed instead. The
// run's own log is left alone without a word, as if it were not there, so
// that a dry run, which may not find it yet, reports what the run does.
bool renameEntry(const char16_t* name, platform::PathText directory, const RunMode& mode,
                 CaselessNames* names) {
    if (mode.stopped() || (mode.log != nullptr && mode.log->isItself(directory, name))) {
        return false;
    }
    const bool inDirectory = platform::SetCurrentDirectoryW(directory) != 0;
    kestrel::Console console;
    printNameBeforeMove(console, name, mode);
    std::u16string folded;
    if (!foldNameThrough(mode.codePage, &folded, name)) {
        reportFoldFailure(console, name, mode);
        return false;
    }
    const bool allowed = inDirectory && isSafeFold(name, folded) &&
                         (names == nullptr || !names->heldByAnother(name, folded));
    const bool moved = reportMove(console, allowed, name, folded.c_str(), directory, mode);
    if (moved && names != nullptr) {
        names->moved(name, folded);
    }
    return moved;
}

bool restoreEntry(const char16_t* name, const char16_t* restored, platform::PathText directory,
                  bool recognised, const RunMode& mode) {
    if (mode.stopped()) {
        return false;
    }
    const bool inDirectory = recognised && platform::SetCurrentDirectoryW(directory) != 0;
    kestrel::Console console;
    printNameBeforeMove(console, name, mode);
    return reportMove(console, inDirectory, name, restored, directory, mode);
}

}  // namespace ansifold
