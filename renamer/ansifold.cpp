// The run over the file arguments: each resolved to a full path, walked and
// renamed, and the working directory put back after it.
#include "renamer/ansifold.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/error_box.h"
#include "frame/non_copyable.h"
#include "fs/file_search.h"
#include "fs/path.h"
#include "fs/wildcard.h"
#include "platform/platform.h"
#include "renamer/caseless_names.h"
#include "renamer/dry_run.h"
#include "renamer/messages.h"
#include "renamer/options.h"
#include "renamer/rename_entry.h"
#include "renamer/rename_log.h"
#include "renamer/rename_tree.h"
#include "renamer/undo.h"

namespace ansifold {

namespace {

constexpr platform::Dword fullPathUnits = 0x8000;

// The exit code of a run that went to its end with some entry not given its
// folded name (or, in an undo, not put back); 1 stays for a run that did
// nothing.
constexpr std::int32_t someEntriesFailed = 2;

// Whether a name would be resolved against the working directory, whichever
// directory that is.
bool dependsOnWorkingDirectory(const std::u16string& argument) {
    return kestrel::resolvedIn(u"?", argument) != argument;
}

// The full path of an argument, or nothing after showing the two boxes.
// While the working directory is lost, arguments are resolved as they would
// be with it current, never against whatever directory is current instead;
// when it was lost before it was ever known (the system could not name it),
// a name that depends on it fails as it did while that directory was current.
std::optional<std::u16string> resolve(const std::u16string& argument,
                                      const std::optional<std::u16string>& lost) {
    const bool unresolvable = lost && lost->empty() && dependsOnWorkingDirectory(argument);
    const std::u16string text =
        lost && !lost->empty() ? kestrel::resolvedIn(*lost, argument) : argument;
    std::vector<char16_t> buffer(fullPathUnits, u'\0');
    // A path too long for the buffer comes back as the size it would need.
    const platform::Dword length =
        unresolvable
            ? 0
            : platform::GetFullPathNameW(text.c_str(), fullPathUnits, buffer.data(), nullptr);
    if (length == 0 || length >= fullPathUnits) {
        kestrel::errorBox(u"%s[%d]", buffer.data(),
                          static_cast<int>(platform::GetFileAttributesW(buffer.data())));
        kestrel::errorBox(u"err:%x", static_cast<unsigned>(platform::GetLastError()));
        return std::nullopt;
    }
    return std::u16string(buffer.data());
}

// A directory held open while one argument is handled: its path, and a name
// below it, then lead to the directory that was resolved, whatever takes its
// place meanwhile (a link swapped in for it leads nowhere else).
class HeldDirectory : private kestrel::misc::NonCopyable<HeldDirectory> {
public:
    explicit HeldDirectory(const std::u16string& path)
        : handle(path.empty()
                     ? platform::invalidHandleValue
                     : platform::CreateFileW(path.c_str(), platform::fileListDirectory,
                                             platform::fileShareRead | platform::fileShareWrite |
                                                 platform::fileShareDelete,
                                             platform::openExisting)) {}
    ~HeldDirectory() {
        if (handle != platform::invalidHandleValue) {
            platform::CloseHandle(handle);
        }
    }

private:
    platform::Handle handle;
};

// The names of the directory that holds the arguments, for a run meant for
// a caseless volume: read once for all the arguments of one directory (the
// matches of a pattern), and again after the walk of an argument in another,
// which may have renamed the entries of this one.
class ParentNames {
public:
    explicit ParentNames(const RunMode& mode) : wanted(mode.forCaselessVolume) {}

    CaselessNames* of(const std::u16string& parent) {
        if (!wanted || parent.empty()) {
            return nullptr;
        }
        if (!known || parent != path) {
            read(parent);
        }
        return &names;
    }

    // After the walk of a directory of parent: that walk renamed nothing of
    // parent itself, but a walk elsewhere may have renamed the entries of
    // the directory read, which may lie below it.
    void walked(const std::u16string& parent) { known = known && parent == path; }

private:
    void read(const std::u16string& parent) {
        names = CaselessNames();
        kestrel::FileSearch search;
        search.open(parent.c_str());
        while (const platform::FindData* entry = search.next()) {
            names.add(entry->cFileName);
        }
        path = parent;
        known = true;
    }

    const bool wanted;
    bool known = false;
    std::u16string path;
    CaselessNames names;
};

// The entry of one argument: its full path as the run names it, split once
// into the directory that holds it (empty for a root) and its name, and the
// path on disk of what the run finds there.
struct ArgumentEntry {
    std::u16string fullPath;
    std::u16string parent;
    std::u16string name;
    std::u16string walked;
};

// The entry of a full path as the run finds it by now, or nothing when it is
// not there. A dry run finds the entry on disk where its moves would have left
// it, and names it as the run would: in its directory as that is on disk.
std::optional<ArgumentEntry> findEntry(const std::u16string& fullPath, const RunMode& mode) {
    ArgumentEntry entry{fullPath, kestrel::parentOf(fullPath), kestrel::fileNameOf(fullPath),
                        fullPath};
    if (mode.dryRun != nullptr && !entry.parent.empty()) {
        const std::optional<std::u16string> parent = mode.dryRun->pathOnDisk(entry.parent);
        const std::optional<std::u16string> name =
            parent ? mode.dryRun->nameOnDisk(*parent, entry.name) : std::nullopt;
        if (!name) {
            return std::nullopt;
        }
        // Past the directory, the path holds the name and perhaps a trailing
        // separator, which keeps it to directories.
        const std::u16string tail = fullPath.substr(entry.parent.size());
        const std::size_t nameAt = tail.find(entry.name);
        if (nameAt == std::u16string::npos) {
            return std::nullopt;
        }
        entry.fullPath = *parent + tail;
        entry.walked =
            *parent + tail.substr(0, nameAt) + *name + tail.substr(nameAt + entry.name.size());
        entry.parent = *parent;
    }
    if (platform::GetFileAttributesW(entry.walked.c_str()) == platform::invalidFileAttributes) {
        return std::nullopt;
    }
    return entry;
}

// Walks and renames the entry of one argument; its own entry is renamed
// inside its parent, or, for a root, which has none, in the saved directory.
// A link to a directory that the user names is walked, as asked; the links
// that its walk meets are not.
void renameArgument(const ArgumentEntry& entry, const std::u16string& saved, const RunMode& mode,
                    ParentNames& parents) {
    const HeldDirectory heldParent(entry.parent);
    if (mode.log != nullptr) {
        mode.log->anchorAt(entry.parent.empty() ? entry.fullPath : entry.parent);
    }
    const platform::Dword attributes = platform::GetFileAttributesW(entry.walked.c_str());
    if (attributes != platform::invalidFileAttributes &&
        (attributes & platform::fileAttributeDirectory) != 0) {
        renameTree(entry.walked, mode);
        parents.walked(entry.parent);
    }
    if (entry.parent.empty()) {
        const std::u16string trimmed = kestrel::withoutTrailingSeparator(entry.fullPath);
        const std::u16string& root = trimmed.empty() ? entry.fullPath : trimmed;
        renameEntry(root.c_str(), saved.c_str(), mode);
        return;
    }
    renameEntry(entry.name.c_str(), entry.parent.c_str(), mode, parents.of(entry.parent));
}

// Resolves one argument and renames what it names; arguments that name
// nothing are skipped without a word. Restores the working directory after
// the argument, or records it as lost when it cannot be made current again.
void handleArgument(const std::u16string& argument, std::optional<std::u16string>& lost,
                    const RunMode& mode, ParentNames& parents) {
    if (kestrel::holdsWildcard(argument)) {
        return;
    }
    // The working directory is made current again from what is held, not by
    // its path, which may lead elsewhere by the argument's end.
    const HeldDirectory working(lost ? std::u16string() : std::u16string(u"."));
    const std::optional<std::u16string> fullPath = resolve(argument, lost);
    const std::optional<ArgumentEntry> entry = fullPath ? findEntry(*fullPath, mode) : std::nullopt;
    // An excluded name is left alone also where the user names it: a shell's
    // pattern, or the program's own, names every entry of a folder alike.
    if (!entry || mode.excludes(entry->name)) {
        return;
    }
    const std::u16string saved = lost ? *lost : kestrel::currentDirectory();
    renameArgument(*entry, saved, mode, parents);
    if (platform::SetCurrentDirectoryW(saved.c_str())) {
        lost.reset();
    } else {
        lost = saved;
    }
}

// Handles the file arguments in order; the run ends early when it is
// cancelled or has stopped.
bool renameArguments(const kestrel::ArgumentSet& arguments, const RunMode& mode,
                     const std::atomic<bool>& cancelRequested) {
    std::optional<std::u16string> lost;
    ParentNames parents(mode);
    for (const std::u16string& argument : arguments.files) {
        handleArgument(argument, lost, mode, parents);
        if (cancelRequested || mode.stopped()) {
            break;
        }
    }
    return true;
}

// Opens the log that options ask for, before anything is renamed. A dry run
// only looks for it, to leave it alone as the run will.
bool openLog(const RunOptions& options, RenameLog& log, RunMode& mode) {
    if (!options.log) {
        return true;
    }
    mode.log = &log;
    if (options.dryRun) {
        log.watch(*options.log);
        return true;
    }
    switch (log.open(*options.log)) {
        case RenameLog::Opened::yes:
            return true;
        case RenameLog::Opened::foreign:
            reportProblem(Problem::logForeign, *options.log);
            return false;
        case RenameLog::Opened::notAFile:
            reportProblem(Problem::logNotAFile, *options.log);
            return false;
        case RenameLog::Opened::olderVersion:
            reportProblem(Problem::logOlderVersion, *options.log);
            return false;
        case RenameLog::Opened::cannotOpen:
            break;
    }
    reportProblem(Problem::logNotOpened, *options.log, platform::GetLastError());
    return false;
}

}  // namespace

bool Ansifold::run(const kestrel::ArgumentSet& arguments) {
    RunOptions options;
    Refusal refusal;
    if (!readOptions(arguments, options, refusal)) {
        reportRefusal(refusal);
        return false;
    }
    if (options.help) {
        printHelp(console, options.codePage.value_or(platform::GetACP()));
        return true;
    }
    if (options.version) {
        printVersion(console);
        return true;
    }
    if (options.undo && !arguments.files.empty()) {
        reportProblem(Problem::undoWithNames, *options.undo);
        return false;
    }
    if (!options.undo && arguments.files.empty()) {
        console.print(u"引数が不足しています。\n");
        return false;
    }
    if (cancelRequested) {
        return true;
    }
    DryRun dryRun;
    RenameLog log;
    Tally tally;
    RunMode mode;
    mode.tally = &tally;
    mode.changesOnly = options.changesOnly;
    mode.codePage = options.codePage.value_or(platform::cpAcp);
    // A page given means names for a Windows volume: where this system's
    // own volumes tell letter case apart, the run compares names as it would.
    mode.forCaselessVolume = options.codePage && !platform::namesIgnoreCase();
    if (!options.excluded.empty()) {
        mode.excluded = &options.excluded;
    }
    if (options.dryRun) {
        mode.dryRun = &dryRun;
    }
    if (!openLog(options, log, mode)) {
        return false;
    }
    const bool done = options.undo ? undoLog(*options.undo, mode)
                                   : renameArguments(arguments, mode, cancelRequested);
    if (!done) {
        return false;
    }
    reportSummary(tally, options.dryRun);
    if (mode.stopped()) {
        reportProblem(Problem::logNotWritten, *options.log, log.lastError());
        return false;
    }
    if (tally.failed > 0) {
        exitCode = someEntriesFailed;
    }
    return true;
}

}  // namespace ansifold
