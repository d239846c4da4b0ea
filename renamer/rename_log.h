// The log of a run: what each rename was, kept so that it can be undone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "frame/non_copyable.h"
#include "platform/platform.h"
#include "renamer/log_format.h"

namespace ansifold {

EntryIdentity identityOf(const platform::ByHandleFileInformation& information);

// Tells what path names, a link as itself, opened where the open
// directories hold it, so that no path is resolved again.
bool identify(const std::u16string& path, EntryIdentity& identity);

// A log open for appending. Each record goes to the system in one write of
// its own before record returns, so that a run ended at any point leaves the
// records of every rename it made. Runs that append to one log at once
// never mix their records.
class RenameLog : private kestrel::misc::NonCopyable<RenameLog> {
public:
    enum class Opened { yes, cannotOpen, notAFile, foreign, olderVersion };

    RenameLog() = default;
    ~RenameLog();

    // Opens path for appending, creating it when it does not exist and
    // writing the first line to a file that is empty. A link, a device, a
    // FIFO or a directory is refused, and so is a file that holds anything
    // but a log of this version.
    Opened open(const std::u16string& path);
    // A dry run's log: not written, only known, if it exists, so that the
    // dry run leaves it alone as the run will.
    void watch(const std::u16string& path);

    // The directory that the names of an argument are resolved in: the
    // renames below it are logged by their way from there.
    void anchorAt(std::u16string_view directory);
    // The walk has just opened directory: it is told apart now, while the
    // walk holds it, and written down with the first rename below it.
    void enter(std::u16string_view directory);
    // Appends the rename of name to target in directory, which is about to
    // be made. False when the rename may not be made: the entry is gone, or
    // is the log itself, which no run renames; or, with failed() from then
    // on, when the record could not be written whole.
    bool record(std::u16string_view directory, std::u16string_view name,
                std::u16string_view target);
    // Withdraws the last record: its rename failed.
    bool withdraw();
    // Whether name in directory is this log's own file, which a run leaves
    // alone, as if it were not there.
    bool isItself(std::u16string_view directory, std::u16string_view name) const;
    bool failed() const { return writeFailed; }
    // The system's error code of the write that failed.
    platform::Dword lastError() const { return writeError; }

private:
    // A directory on the way from the anchor to the one of the last record,
    // known by the length of its path, which begins chainPath.
    struct Level {
        std::size_t number = 0;  // among the run's directories; 0 before it is written
        EntryIdentity identity;
        std::size_t length = 0;
    };

    bool knowFile(const std::u16string& path);
    bool reach(std::u16string_view directory);
    bool anchor(std::u16string_view directory);
    void writeDown(std::string& lines);
    // In its turn.
    bool write(std::string_view bytes);
    bool writeWhole(std::string_view bytes);

    platform::Handle file = platform::invalidHandleValue;
    std::u16string fileName;  // as the system finds it
    EntryIdentity fileIdentity;
    bool fileKnown = false;
    std::string run;
    std::size_t directories = 0;
    std::size_t renames = 0;
    std::u16string anchorRequested;
    std::u16string anchorFinalPath;
    std::vector<Level> chain;
    std::u16string chainPath;
    bool writeFailed = false;
    platform::Dword writeError = 0;
};

// What keeps a file from being read as a log.
enum class LogFileRead { read, cannotRead, notAFile };

// Reads the whole file at path into text, refusing a link, a device, a FIFO
// or a directory; with the last error set when it cannot be read.
LogFileRead readLogFile(const std::u16string& path, std::string& text);

}  // namespace ansifold
