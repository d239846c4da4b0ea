// The undo: a log's directories held one below another, the way the walk
// held them, and each entry checked before it is renamed back.
#include "renamer/undo.h"

#include <optional>
#include <vector>

#include "frame/non_copyable.h"
#include "fs/path.h"
#include "platform/platform.h"
#include "renamer/dry_run.h"
#include "renamer/messages.h"
#include "renamer/rename_log.h"

namespace ansifold {

namespace {

constexpr platform::Dword shareAll =
    platform::fileShareRead | platform::fileShareWrite | platform::fileShareDelete;

bool isSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

// Holds the directory name below the held directory whose path path is now,
// never through a link; path then names it.
platform::Handle holdBelow(std::u16string& path, std::u16string_view name) {
    if (!isSeparator(path.back())) {
        path += kestrel::separatorOf(path);
    }
    path += name;
    return platform::CreateFileW(path.c_str(), platform::fileListDirectory, shareAll,
                                 platform::openExisting, platform::fileFlagOpenReparsePoint);
}

// The length of the root of a full path: "/", "C:\" or "\\server\share".
std::size_t rootLength(std::u16string_view path) {
    if (path.starts_with(u"\\\\")) {
        const std::size_t server = path.find(u'\\', 2);
        return server == std::u16string_view::npos
                   ? path.size()
                   : std::min(path.find(u'\\', server + 1), path.size());
    }
    return path.size() >= 3 && path[1] == u':' ? 3 : 1;
}

// Holds the directory of a full path, reached from its root one name at a
// time, none of them through a link: a link put in place of any directory
// on the way leads nowhere.
platform::Handle holdFromRoot(const std::u16string& fullPath) {
    const std::size_t root = rootLength(fullPath);
    std::u16string path = fullPath.substr(0, root);
    platform::Handle held = platform::CreateFileW(path.c_str(), platform::fileListDirectory,
                                                  shareAll, platform::openExisting);
    for (std::size_t start = root;
         held != platform::invalidHandleValue && start < fullPath.size();) {
        while (start < fullPath.size() && isSeparator(fullPath[start])) {
            ++start;
        }
        std::size_t end = start;
        while (end < fullPath.size() && !isSeparator(fullPath[end])) {
            ++end;
        }
        const platform::Handle below =
            holdBelow(path, std::u16string_view(fullPath).substr(start, end - start));
        platform::CloseHandle(held);
        held = below;
        start = end;
    }
    return held;
}

bool isIdentified(platform::Handle handle, const EntryIdentity& expected) {
    platform::ByHandleFileInformation information;
    return handle != platform::invalidHandleValue &&
           platform::GetFileInformationByHandle(handle, &information) &&
           identityOf(information) == expected;
}

// The log's directories that the undo holds: from an anchor down to the
// directory of the record in hand, each one held below the one above it and
// checked to be the directory that the log recorded. Records come in the
// reverse of the walk's order, so the next record's directory is nearly
// always one held already, or one level from it.
class HeldDirectories : private kestrel::misc::NonCopyable<HeldDirectories> {
public:
    HeldDirectories(const LogContents& log, DryRun* dryRun)
        : directories(log.directories), dryRun(dryRun), depthOf(log.directories.size(), 0) {}
    ~HeldDirectories() { keep(0); }

    // Holds directory and every directory on its way; true when each is
    // the one that the log recorded. Its path is then path().
    bool reach(std::size_t directory) {
        if (depthOf[directory] == 0) {
            way.clear();
            std::size_t at = directory;
            for (; at != LogDirectory::none && depthOf[at] == 0; at = directories[at].parent) {
                way.push_back(at);
            }
            keep(at == LogDirectory::none ? 0 : depthOf[at]);
            for (auto next = way.rbegin(); next != way.rend(); ++next) {
                push(*next);
            }
        } else {
            keep(depthOf[directory]);
        }
        return levels.back().handle != platform::invalidHandleValue;
    }

    const std::u16string& path() const { return chainPath; }
    std::u16string anchorPath() const { return chainPath.substr(0, levels.front().length); }
    std::size_t anchor() const { return levels.front().directory; }

private:
    struct Level {
        std::size_t directory = 0;
        platform::Handle handle = platform::invalidHandleValue;
        std::size_t length = 0;  // of its path, which begins chainPath
    };

    // A directory below one that is not the log's is not looked for.
    void push(std::size_t directory) {
        const LogDirectory& recorded = directories[directory];
        platform::Handle held = platform::invalidHandleValue;
        if (recorded.parent == LogDirectory::none) {
            const std::optional<std::u16string> path =
                dryRun != nullptr ? dryRun->pathOnDisk(recorded.name) : recorded.name;
            chainPath = path.value_or(recorded.name);
            held = path ? holdFromRoot(chainPath) : platform::invalidHandleValue;
        } else if (levels.back().handle != platform::invalidHandleValue) {
            const std::optional<std::u16string> name =
                dryRun != nullptr ? dryRun->nameOnDisk(chainPath, recorded.name) : recorded.name;
            held = name ? holdBelow(chainPath, *name) : platform::invalidHandleValue;
        }
        if (held != platform::invalidHandleValue && !isIdentified(held, recorded.identity)) {
            platform::CloseHandle(held);
            held = platform::invalidHandleValue;
        }
        levels.push_back({directory, held, chainPath.size()});
        depthOf[directory] = levels.size();
    }

    // Lets go of the levels below the first depth ones, deepest first.
    void keep(std::size_t depth) {
        while (levels.size() > depth) {
            if (levels.back().handle != platform::invalidHandleValue) {
                platform::CloseHandle(levels.back().handle);
            }
            depthOf[levels.back().directory] = 0;
            levels.pop_back();
        }
        chainPath.resize(levels.empty() ? 0 : levels.back().length);
    }

    const std::vector<LogDirectory>& directories;
    DryRun* dryRun;
    std::vector<Level> levels;
    // Of each of the log's directories: its place among the levels, from 1,
    // or 0 when it is not held.
    std::vector<std::size_t> depthOf;
    std::vector<std::size_t> way;
    std::u16string chainPath;
};

// Whether the entry now called name in the directory held is the one that
// the record renamed: a dry run looks where its own moves would have left it.
bool isRecordedEntry(const LogRecord& record, const HeldDirectories& held, const DryRun* dryRun) {
    const std::optional<std::u16string> name =
        dryRun != nullptr ? dryRun->nameOnDisk(held.path(), record.to) : record.to;
    EntryIdentity identity;
    return name && identify(kestrel::withTrailingSeparator(held.path()) + *name, identity) &&
           identity == record.identity;
}

bool readLog(const std::u16string& file, LogContents& contents) {
    std::string text;
    switch (readLogFile(file, text)) {
        case LogFileRead::read:
            break;
        case LogFileRead::notAFile:
            reportProblem(Problem::logNotAFile, file);
            return false;
        case LogFileRead::cannotRead:
            reportProblem(Problem::undoNotRead, file, platform::GetLastError());
            return false;
    }
    std::size_t damagedLine = 0;
    switch (parseLog(text, contents, damagedLine)) {
        case LogReading::read:
            return true;
        case LogReading::olderVersion:
            reportProblem(Problem::logOlderVersion, file);
            return false;
        case LogReading::damaged:
            break;
    }
    reportProblem(Problem::undoDamaged, file, static_cast<unsigned>(damagedLine));
    return false;
}

}  // namespace

bool undoLog(const std::u16string& file, const RunMode& mode) {
    LogContents contents;
    if (!readLog(file, contents)) {
        return false;
    }
    const std::u16string saved = kestrel::currentDirectory();
    {
        HeldDirectories held(contents, mode.dryRun);
        std::size_t anchor = LogDirectory::none;
        for (auto record = contents.records.rbegin();
             record != contents.records.rend() && !mode.stopped(); ++record) {
            const bool reached = held.reach(record->directory);
            if (mode.log != nullptr && held.anchor() != anchor) {
                anchor = held.anchor();
                mode.log->anchorAt(held.anchorPath());
            }
            restoreEntry(record->to.c_str(), record->from.c_str(), held.path(),
                         reached && isRecordedEntry(*record, held, mode.dryRun), mode);
        }
    }
    platform::SetCurrentDirectoryW(saved.c_str());
    return true;
}

}  // namespace ansifold
