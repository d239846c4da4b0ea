// The text form of a log: its lines, written and read back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ansifold {

// What tells an entry from every other, whatever its name: its volume's
// serial number and its file index (on Linux, the device and the inode),
// and when it was created, which tells it from an entry made later under
// an index that the system gave out again.
struct EntryIdentity {
    std::uint32_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t created = 0;
    bool operator==(const EntryIdentity&) const = default;
};

// The log's file: its first line, then records, each written whole in one
// write of its own that starts and ends with a line feed, so that every
// record starts on a line of its own even after a record that a full disk
// or a kill cut short. A record's line is whole when a line feed follows it
// straight away, or the file ends after it; any other line was cut short,
// and its rename was never made.
//
// A record is tab-separated fields: its kind, the run that wrote it (its
// process id and its start time in hexadecimal, "0000abcd.01da2b3c4d5e6f70"),
// and its number among that run's records of its kind (from 1), then:
//   A  identity, full path          a directory that the run resolved names in
//   D  parent, identity, name       the entry name of directory parent
//   R  directory, identity, old, new  the entry identity of directory is
//                                   about to be renamed from old to new
//   F                               the rename of that number failed
// A run writes a directory once, before its first rename there. An
// identity is the volume's serial number, the file index and the creation
// time (as a FILETIME counts it) in hexadecimal, as
// "0000fe01:00000000001a2b3c:01da2b3c4d5e6f70". Paths and names are UTF-8 with the escapes
// "\\" for a backslash, "\t", "\n" and "\r", and "\uXXXX" (four hexadecimal
// digits) for any other control character and for every UTF-16 unit that is
// a lone surrogate, such as those that stand for the bytes of a Linux name
// that are not UTF-8: every path of a log reads back exactly as it was.
constexpr std::string_view logFirstLine = "ansifold log 2\n";
// The log of earlier versions: a path on each line, which this one neither
// appends to nor undoes.
constexpr std::string_view olderLogFirstLine = "ansifold log 1\n";

// The lines of a log, as the writer writes them, line feeds included.
std::string anchorLine(std::string_view run, std::size_t number, const EntryIdentity& identity,
                       std::u16string_view path);
std::string directoryLine(std::string_view run, std::size_t number, std::size_t parent,
                          const EntryIdentity& identity, std::u16string_view name);
std::string renameLine(std::string_view run, std::size_t number, std::size_t directory,
                       const EntryIdentity& identity, std::u16string_view from,
                       std::u16string_view to);
std::string failedLine(std::string_view run, std::size_t number);

// A directory of a log, by its parent and its name, or, for an anchor, by
// its full path.
struct LogDirectory {
    static constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::size_t parent = none;
    std::u16string name;
    EntryIdentity identity;
};

struct LogRecord {
    std::size_t directory = 0;
    EntryIdentity identity;
    std::u16string from;
    std::u16string to;
};

// The renames of a whole log, withdrawn ones left out, in the order they
// were logged; each record's directory indexes directories.
struct LogContents {
    std::vector<LogDirectory> directories;
    std::vector<LogRecord> records;
};

enum class LogReading { read, damaged, olderVersion };

// Reads a whole log. It takes only what its writer writes on this system: a
// full path of this system's own form (a Linux path on Linux, a drive's or a
// network share's on Windows), names without a separator or a NUL that are
// neither "." nor "..", numbers that follow each other within a run, and
// records that refer to what their run wrote before them. Anything else is
// damage: damagedLine is then the number of the first line that is wrong (1
// for the first line). An empty text is a log of nothing.
LogReading parseLog(std::string_view text, LogContents& contents, std::size_t& damagedLine);

}  // namespace ansifold
