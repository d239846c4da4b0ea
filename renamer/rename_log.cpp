// The log's text form, read and written, and the file it is appended to.
#include "renamer/rename_log.h"

#include <array>

#include "fs/path.h"

namespace ansifold {

namespace {

constexpr std::string_view hexDigits = "0123456789ABCDEF";

bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

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
        } else if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00), out);
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            appendUnitEscape(unit, out);
        } else {
            appendUtf8(unit, out);
        }
    }
}

void appendUnit(char32_t c, std::u16string& out) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
        return;
    }
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
}

// Reads one UTF-8 character at text[i], strictly: no overlong forms, no
// surrogates, nothing past U+10FFFF.
bool readUtf8(std::string_view text, std::size_t& i, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        c = lead;
        ++i;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, c = lead & 0x07;
    } else {
        return false;
    }
    if (text.size() - i < length) {
        return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        c = (c << 6) | (next & 0x3F);
    }
    i += length;
    return c >= minimum && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
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
        if (text[i] == '\t' || text[i] == '\r' || !readUtf8(text, i, c)) {
            return false;
        }
        appendUnit(c, path);
    }
    return !path.empty();
}

// A rename moves an entry inside its own directory: both paths are full and
// name the same one.
bool isRename(const LogRecord& record) {
    const std::u16string parent = kestrel::parentOf(record.from);
    return !parent.empty() && parent == kestrel::parentOf(record.to) &&
           !kestrel::fileNameOf(record.from).empty() && !kestrel::fileNameOf(record.to).empty();
}

bool parseLine(std::string_view line, LogRecord& record) {
    const std::size_t tab = line.find('\t');
    return tab != std::string_view::npos && readPath(line.substr(0, tab), record.from) &&
           readPath(line.substr(tab + 1), record.to) && isRename(record);
}

}  // namespace

std::string logLine(std::u16string_view from, std::u16string_view to) {
    std::string line;
    line.reserve(2 * (from.size() + to.size()) + 2);
    appendEscaped(from, line);
    line.push_back('\t');
    appendEscaped(to, line);
    line.push_back('\n');
    return line;
}

bool parseLog(std::string_view text, std::vector<LogRecord>& records, std::size_t& damagedLine) {
    damagedLine = 1;
    if (!text.starts_with(logFirstLine)) {
        return false;
    }
    std::size_t position = logFirstLine.size();
    bool withdrawable = false;
    for (std::size_t end = 0; (end = text.find('\n', position)) != std::string_view::npos;
         position = end + 1) {
        ++damagedLine;
        const std::string_view line = text.substr(position, end + 1 - position);
        if (line == logWithdrawal && withdrawable) {
            records.pop_back();
            withdrawable = false;
            continue;
        }
        LogRecord record;
        if (!parseLine(line.substr(0, line.size() - 1), record)) {
            return false;
        }
        records.push_back(std::move(record));
        withdrawable = true;
    }
    damagedLine = 0;
    return true;
}

RenameLog::~RenameLog() {
    if (file != platform::invalidHandleValue) {
        platform::CloseHandle(file);
    }
}

RenameLog::Opened RenameLog::open(const std::u16string& path) {
    file = platform::CreateFileW(path.c_str(), platform::genericRead | platform::fileAppendData,
                                 platform::fileShareRead, platform::openAlways);
    if (file == platform::invalidHandleValue) {
        return Opened::cannotOpen;
    }
    std::array<char, logFirstLine.size()> head{};
    platform::Dword read = 0;
    if (!platform::ReadFile(file, head.data(), static_cast<platform::Dword>(head.size()), &read)) {
        return Opened::cannotOpen;
    }
    if (read == 0) {
        return write(logFirstLine) ? Opened::yes : Opened::cannotOpen;
    }
    return std::string_view(head.data(), read) == logFirstLine ? Opened::yes : Opened::foreign;
}

bool RenameLog::record(std::u16string_view directory, std::u16string_view name,
                       std::u16string_view target) {
    const std::u16string parent = kestrel::withTrailingSeparator(directory);
    writeFailed = writeFailed ||
                  !write(logLine(parent + std::u16string(name), parent + std::u16string(target)));
    return !writeFailed;
}

bool RenameLog::withdraw() {
    writeFailed = writeFailed || !write(logWithdrawal);
    return !writeFailed;
}

bool RenameLog::write(std::string_view bytes) {
    platform::Dword written = 0;
    if (platform::WriteFile(file, bytes.data(), static_cast<platform::Dword>(bytes.size()),
                            &written) &&
        written == bytes.size()) {
        return true;
    }
    writeError = platform::GetLastError();
    return false;
}

bool readWholeFile(const std::u16string& path, std::string& text) {
    const platform::Handle file = platform::CreateFileW(
        path.c_str(), platform::genericRead, platform::fileShareRead, platform::openExisting);
    if (file == platform::invalidHandleValue) {
        return false;
    }
    std::array<char, 65536> block{};
    platform::Dword read = 0;
    bool ok = true;
    while ((ok = platform::ReadFile(file, block.data(), static_cast<platform::Dword>(block.size()),
                                    &read) != 0) &&
           read > 0) {
        text.append(block.data(), read);
    }
    platform::CloseHandle(file);
    return ok;
}

}  // namespace ansifold
