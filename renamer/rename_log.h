// The log of a run: what each rename was, kept so that it can be undone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "frame/non_copyable.h"
#include "platform/platform.h"

namespace ansifold {

// The log's file: its first line, then one line per rename, written before
// the rename is made: the old full path and the new one separated by a tab,
// both in UTF-8 with these escapes: "\\" for a backslash, "\t", "\n" and
// "\r", and "\uXXXX" (four hexadecimal digits) for any other control
// character and for every UTF-16 unit that is a lone surrogate, such as those
// that stand for the bytes of a Linux name that are not UTF-8. Every path of
// a log thus reads back exactly as it was. A rename that then fails is
// followed by the line logWithdrawal.
constexpr std::string_view logFirstLine = "ansifold log 1\n";
constexpr std::string_view logWithdrawal = "failed\n";

struct LogRecord {
    std::u16string from;
    std::u16string to;
};

// The line of one rename, line feed included.
std::string logLine(std::u16string_view from, std::u16string_view to);

// Reads the records of the renames that a whole log holds, withdrawn ones
// left out. When the text is no log, or a line of it cannot be read back, it
// gives false and damagedLine, the number of the first line that is wrong (1
// for the first line); records is then unspecified. A last line without its
// line feed is left out: its write was cut short, so its rename was never
// made.
bool parseLog(std::string_view text, std::vector<LogRecord>& records, std::size_t& damagedLine);

// A log open for appending. Each record goes to the system in one write of
// its own before record returns, so that a run ended at any point leaves the
// records of every rename it made.
class RenameLog : private kestrel::misc::NonCopyable<RenameLog> {
public:
    enum class Opened { yes, cannotOpen, foreign };

    RenameLog() = default;
    ~RenameLog();

    // Opens path for appending, creating it when it does not exist and
    // writing the first line to a file that is empty. A file that holds
    // anything but a log is left as it is and refused.
    Opened open(const std::u16string& path);
    // Appends the rename of name to target in directory, which is about to
    // be made. False, and failed() from then on, when the record could not be
    // written whole.
    bool record(std::u16string_view directory, std::u16string_view name,
                std::u16string_view target);
    // Withdraws the last record: its rename failed.
    bool withdraw();
    bool failed() const { return writeFailed; }
    // The system's error code of the write that failed.
    platform::Dword lastError() const { return writeError; }

private:
    bool write(std::string_view bytes);

    platform::Handle file = platform::invalidHandleValue;
    bool writeFailed = false;
    platform::Dword writeError = 0;
};

// Reads the whole file at path into text; false with the last error set.
bool readWholeFile(const std::u16string& path, std::string& text);

}  // namespace ansifold
