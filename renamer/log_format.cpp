// The text form of a log: escaped paths in tab-separated records, each on a
// line of its own, and a reader that takes nothing else.
#include "renamer/log_format.h"

#include <array>
#include <unordered_map>

#include "platform/platform.h"
#include "platform/unicode.h"

namespace ansifold {

namespace {

constexpr std::string_view hexDigits = "0123456789ABCDEF";

void appendUnitEscape(char16_t unit, std::string& out) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out.push_back(hexDigits[(unit >> shift) & 0xF]);
    }
}

void appendEscaped(std::u16string_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit == u'\\') {
            out += "\\\\";
        } else if (unit == u'\t') {
            out += "\\t";
        } else if (unit == u'\n') {
            out += "\\n";
        } else if (unit == u'\r') {
            out += "\\r";
        } else if (unit < u' ' || unit == u'\x7F') {
            appendUnitEscape(unit, out);
        } else if (platform::isHighSurrogate(unit) && i + 1 < text.size() &&
                   platform::isLowSurrogate(text[i + 1])) {
            platform::appendUtf8(platform::codePointOfPair(unit, text[i + 1]), out);
            ++i;
        } else if (platform::isSurrogate(unit)) {
            appendUnitEscape(unit, out);
        } else {
            platform::appendUtf8(unit, out);
        }
    }
}

bool readHexUnit(std::string_view digits, char16_t& unit) {
    if (digits.size() < 4) {
        return false;
    }
    unit = 0;
    for (char digit : digits.substr(0, 4)) {
        const std::size_t value = hexDigits.find(digit >= 'a' && digit <= 'f' ? digit - 32 : digit);
        if (value == std::string_view::npos) {
            return false;
        }
        unit = static_cast<char16_t>(unit << 4 | value);
    }
    return true;
}

bool readEscape(std::string_view text, std::size_t& i, std::u16string& out) {
    if (i + 1 >= text.size()) {
        return false;
    }
    const char kind = text[i + 1];
    i += 2;
    switch (kind) {
        case '\\':
            out.push_back(u'\\');
            return true;
        case 't':
            out.push_back(u'\t');
            return true;
        case 'n':
            out.push_back(u'\n');
            return true;
        case 'r':
            out.push_back(u'\r');
            return true;
        case 'u': {
            char16_t unit = 0;
            if (!readHexUnit(text.substr(i), unit)) {
                return false;
            }
            out.push_back(unit);
            i += 4;
            return true;
        }
        default:
            return false;
    }
}

// One path of a record: up to the tab or the end of the line.
bool readPath(std::string_view text, std::u16string& path) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\\') {
            if (!readEscape(text, i, path)) {
                return false;
            }
            continue;
        }
        char32_t c = 0;
        if (text[i] == '\t' || text[i] == '\r' || !platform::readUtf8(text, i, c)) {
            return false;
        }
        platform::appendUtf16(c, path);
    }
    return !path.empty();
}

constexpr std::string_view lowerHexDigits = "0123456789abcdef";
constexpr std::size_t runLength = 8 + 1 + 16;
constexpr std::size_t identityLength = 8 + 1 + 16 + 1 + 16;

void appendHex(std::uint64_t value, int digits, std::string& out) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out.push_back(lowerHexDigits[(value >> shift) & 0xF]);
    }
}

void appendIdentity(const EntryIdentity& identity, std::string& out) {
    appendHex(identity.volume, 8, out);
    out.push_back(':');
    appendHex(identity.index, 16, out);
    out.push_back(':');
    appendHex(identity.created, 16, out);
}

// A record's line, started and ended by line feeds; the fields after its
// kind, run and number are added by the caller.
std::string startLine(char kind, std::string_view run, std::size_t number) {
    std::string line = {'\n', kind, '\t'};
    line += run;
    line.push_back('\t');
    line += std::to_string(number);
    return line;
}

void appendField(std::size_t number, std::string& line) {
    line.push_back('\t');
    line += std::to_string(number);
}

void appendField(const EntryIdentity& identity, std::string& line) {
    line.push_back('\t');
    appendIdentity(identity, line);
}

void appendField(std::u16string_view text, std::string& line) {
    line.push_back('\t');
    appendEscaped(text, line);
}

// Exactly digits lower-case hexadecimal digits, as the writer writes them.
bool readHex(std::string_view text, std::uint64_t& value) {
    value = 0;
    for (char digit : text) {
        const std::size_t found = lowerHexDigits.find(digit);
        if (found == std::string_view::npos) {
            return false;
        }
        value = value << 4 | found;
    }
    return !text.empty();
}

bool readIdentity(std::string_view text, EntryIdentity& identity) {
    std::uint64_t volume = 0;
    if (text.size() != identityLength || text[8] != ':' || text[25] != ':' ||
        !readHex(text.substr(0, 8), volume) || !readHex(text.substr(9, 16), identity.index) ||
        !readHex(text.substr(26), identity.created)) {
        return false;
    }
    identity.volume = static_cast<std::uint32_t>(volume);
    return true;
}

bool isRun(std::string_view text) {
    std::uint64_t part = 0;
    return text.size() == runLength && text[8] == '.' && readHex(text.substr(0, 8), part) &&
           readHex(text.substr(9), part);
}

// A number from 1, in decimal without leading zeros, of at most nine digits.
bool readNumber(std::string_view text, std::size_t& number) {
    if (text.empty() || text.size() > 9 || text[0] == '0') {
        return false;
    }
    number = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9') {
            return false;
        }
        number = number * 10 + static_cast<std::size_t>(digit - '0');
    }
    return true;
}

bool isSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

// A name of an entry of a directory, as the system would give it: a Linux
// name holds no backslash either, which its names carry as U+DC5C.
bool isPlainName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..") {
        return false;
    }
    for (char16_t c : name) {
        if (isSeparator(c) || c == u'\0' || (platform::systemIsWindows && c == u':')) {
            return false;
        }
    }
    return true;
}

// Names between single separators, none of them left out, up to the end.
bool arePlainNames(std::u16string_view path, char16_t separator) {
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find(separator, start);
        if (!isPlainName(path.substr(start, end - start))) {
            return false;
        }
        if (end == std::u16string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

bool isAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// "C:\" or "\\server\share", and the names below either.
bool isWindowsFullPath(std::u16string_view path) {
    if (path.size() >= 3 && isAsciiLetter(path[0]) && path[1] == u':' && path[2] == u'\\') {
        return path.size() == 3 || arePlainNames(path.substr(3), u'\\');
    }
    return path.starts_with(u"\\\\") && path.find(u'/') == std::u16string_view::npos &&
           path.substr(2).find(u'\\') != std::u16string_view::npos &&
           arePlainNames(path.substr(2), u'\\');
}

bool isLinuxFullPath(std::u16string_view path) {
    return path.starts_with(u'/') && (path.size() == 1 || arePlainNames(path.substr(1), u'/'));
}

bool isFullPath(std::u16string_view path) {
    return platform::systemIsWindows ? isWindowsFullPath(path) : isLinuxFullPath(path);
}

bool readName(std::string_view text, std::u16string& name) {
    return readPath(text, name) && isPlainName(name);
}

// The fields of one line; false when it has more than fits.
template <std::size_t count>
std::size_t splitFields(std::string_view line, std::array<std::string_view, count>& fields) {
    std::size_t found = 0;
    for (std::size_t start = 0; found < count; ++found) {
        const std::size_t end = line.find('\t', start);
        fields[found] = line.substr(start, end - start);
        if (end == std::string_view::npos) {
            return found + 1;
        }
        start = end + 1;
    }
    return count + 1;
}

// What one run wrote so far: the indexes of its directories and of its
// renames, in order.
struct RunRecords {
    std::vector<std::size_t> directories;
    std::vector<std::size_t> renames;
    bool lastWithdrawn = false;
};

class Reader {
public:
    explicit Reader(LogContents& contents) : contents(contents) {}

    bool readLine(std::string_view line) {
        std::array<std::string_view, 7> fields;
        const std::size_t count = splitFields(line, fields);
        std::size_t number = 0;
        if (count < 3 || fields[0].size() != 1 || !isRun(fields[1]) ||
            !readNumber(fields[2], number)) {
            return false;
        }
        RunRecords& run = runs[fields[1]];
        switch (fields[0][0]) {
            case 'A':
                return count == 5 && readAnchor(run, number, fields[3], fields[4]);
            case 'D':
                return count == 6 && readDirectory(run, number, fields);
            case 'R':
                return count == 7 && readRename(run, number, fields);
            case 'F':
                return count == 3 && withdraw(run, number);
            default:
                return false;
        }
    }

    // Leaves out the records that were withdrawn.
    void finish() {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < contents.records.size(); ++i) {
            if (withdrawn[i]) {
                continue;
            }
            if (kept != i) {
                contents.records[kept] = std::move(contents.records[i]);
            }
            ++kept;
        }
        contents.records.resize(kept);
    }

private:
    bool readAnchor(RunRecords& run, std::size_t number, std::string_view identity,
                    std::string_view path) {
        LogDirectory directory;
        return number == run.directories.size() + 1 && readIdentity(identity, directory.identity) &&
               readPath(path, directory.name) && isFullPath(directory.name) &&
               addDirectory(run, std::move(directory));
    }

    bool readDirectory(RunRecords& run, std::size_t number,
                       const std::array<std::string_view, 7>& fields) {
        LogDirectory directory;
        return number == run.directories.size() + 1 &&
               readDirectoryOf(run, fields[3], directory.parent) &&
               readIdentity(fields[4], directory.identity) && readName(fields[5], directory.name) &&
               addDirectory(run, std::move(directory));
    }

    bool readRename(RunRecords& run, std::size_t number,
                    const std::array<std::string_view, 7>& fields) {
        LogRecord record;
        if (number != run.renames.size() + 1 ||
            !readDirectoryOf(run, fields[3], record.directory) ||
            !readIdentity(fields[4], record.identity) || !readName(fields[5], record.from) ||
            !readName(fields[6], record.to)) {
            return false;
        }
        run.renames.push_back(contents.records.size());
        run.lastWithdrawn = false;
        contents.records.push_back(std::move(record));
        withdrawn.push_back(false);
        return true;
    }

    // A run withdraws only its last rename, once, before its next.
    bool withdraw(RunRecords& run, std::size_t number) {
        if (number != run.renames.size() || run.lastWithdrawn) {
            return false;
        }
        withdrawn[run.renames.back()] = true;
        run.lastWithdrawn = true;
        return true;
    }

    bool readDirectoryOf(const RunRecords& run, std::string_view text, std::size_t& directory) {
        std::size_t number = 0;
        if (!readNumber(text, number) || number > run.directories.size()) {
            return false;
        }
        directory = run.directories[number - 1];
        return true;
    }

    bool addDirectory(RunRecords& run, LogDirectory directory) {
        run.directories.push_back(contents.directories.size());
        contents.directories.push_back(std::move(directory));
        return true;
    }

    LogContents& contents;
    std::unordered_map<std::string_view, RunRecords> runs;
    std::vector<bool> withdrawn;
};

}  // namespace

std::string anchorLine(std::string_view run, std::size_t number, const EntryIdentity& identity,
                       std::u16string_view path) {
    std::string line = startLine('A', run, number);
    appendField(identity, line);
    appendField(path, line);
    line.push_back('\n');
    return line;
}

std::string directoryLine(std::string_view run, std::size_t number, std::size_t parent,
                          const EntryIdentity& identity, std::u16string_view name) {
    std::string line = startLine('D', run, number);
    appendField(parent, line);
    appendField(identity, line);
    appendField(name, line);
    line.push_back('\n');
    return line;
}

std::string renameLine(std::string_view run, std::size_t number, std::size_t directory,
                       const EntryIdentity& identity, std::u16string_view from,
                       std::u16string_view to) {
    std::string line = startLine('R', run, number);
    appendField(directory, line);
    appendField(identity, line);
    appendField(from, line);
    appendField(to, line);
    line.push_back('\n');
    return line;
}

std::string failedLine(std::string_view run, std::size_t number) {
    std::string line = startLine('F', run, number);
    line.push_back('\n');
    return line;
}

// A line that another line follows straight away was cut short where it
// stands: the next write began with its own line feed.
LogReading parseLog(std::string_view text, LogContents& contents, std::size_t& damagedLine) {
    damagedLine = 1;
    if (text.empty()) {
        damagedLine = 0;
        return LogReading::read;
    }
    if (text.starts_with(olderLogFirstLine)) {
        return LogReading::olderVersion;
    }
    if (!text.starts_with(logFirstLine)) {
        return LogReading::damaged;
    }
    Reader reader(contents);
    for (std::size_t position = logFirstLine.size(), end = 0;
         (end = text.find('\n', position)) != std::string_view::npos; position = end + 1) {
        ++damagedLine;
        const std::string_view line = text.substr(position, end - position);
        const bool whole = end + 1 == text.size() || text[end + 1] == '\n';
        if (!line.empty() && whole && !reader.readLine(line)) {
            return LogReading::damaged;
        }
    }
    reader.finish();
    damagedLine = 0;
    return LogReading::read;
}

}  // namespace ansifold
