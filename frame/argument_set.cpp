// Building the argument set: tokens, options, file arguments with their wildcard
// matches, and the piped lines.
#include "frame/argument_set.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

#include "frame/tokenizer.h"
#include "fs/file_search.h"
#include "fs/path.h"
#include "fs/wildcard.h"
#include "platform/platform.h"

namespace kestrel {

namespace {

constexpr std::u16string_view endOfOptions = u"--";

void addOption(const std::u16string& token, ArgumentSet& set) {
    set.options.push_back(token.substr(1));
    set.optionTokens.push_back(token);
}

bool isOptionToken(std::u16string_view token) {
    return !token.empty() && std::u16string_view(platform::optionMarkers()).find(token[0]) !=
                                 std::u16string_view::npos;
}

std::u16string_view nameIn(const platform::FindData& found) {
    const auto end = std::find(std::begin(found.cFileName), std::end(found.cFileName), u'\0');
    return std::u16string_view(found.cFileName, end - std::begin(found.cFileName));
}

// The matches must name the entries that were listed: a pattern such as
// "\*.txt", whose only separator is its first character, keeps that
// separator, and one such as "D:*.txt", listed in drive D:'s current
// directory, keeps its drive. As bare names, both would name entries of the
// current directory instead.
std::u16string matchPrefixOf(std::u16string_view pattern) {
    const std::size_t lastSeparator = pattern.rfind(separatorOf(pattern));
    if (lastSeparator == std::u16string_view::npos) {
        return std::u16string(driveOf(pattern));
    }
    return std::u16string(pattern.substr(0, lastSeparator + 1));
}

// One line of piped input is at most this long; one more unit holds the
// terminator.
constexpr std::size_t maxLineUnits = 259;
using LineBuffer = std::array<char16_t, maxLineUnits + 1>;

// How many units fgetws stored. The buffer is filled with a unit other than
// NUL beforehand, so its last NUL is the terminator even when the input itself
// held NULs.
std::size_t unitsRead(const LineBuffer& buffer) {
    const auto terminator = std::find(buffer.rbegin(), buffer.rend(), u'\0');
    if (terminator == buffer.rend()) {
        return buffer.size();
    }
    return static_cast<std::size_t>(buffer.rend() - terminator) - 1;
}

// Nothing reads the piped lines, and an endless producer ("yes |") must not
// fill the memory: once this much is stored, the rest of the input is still
// read to its end, but dropped.
constexpr std::size_t pipedLinesStorage = std::size_t{16} << 20;

std::size_t storageOf(std::u16string_view line) {
    return sizeof(std::u16string) + line.size() * sizeof(char16_t);
}

void dropRestOfInputLine() {
    int c = platform::getchar();
    while (c != platform::eof && c != '\n') {
        c = platform::getchar();
    }
}

}  // namespace

void buildArgumentSet(ArgumentSet& set) {
    set = ArgumentSet{};
    splitCommandLine(platform::GetCommandLineW(), set);
    if (!set.tokens.empty()) {
        set.tokens.erase(set.tokens.begin());
    }
    classifyTokens(set);
    if (standardInputIsConsole()) {
        return;
    }
    readPipedLines(set.pipedLines);
    reopenStandardInputOnConsole();
}

// Scripts written for the first versions pass options such as "-x" and
// "/x" before the names, with the rule that "-x -x" ends them: those keep
// that rule. A long option may follow the names, as with other tools.
void classifyTokens(ArgumentSet& set) {
    const std::vector<std::u16string>& tokens = set.tokens;
    bool longOptionsAccepted = true;
    bool optionsAccepted = true;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (longOptionsAccepted && tokens[i] == endOfOptions) {
            longOptionsAccepted = optionsAccepted = false;
            continue;
        }
        if (longOptionsAccepted && isLongOption(tokens[i])) {
            addOption(tokens[i], set);
            continue;
        }
        if (optionsAccepted && isOptionToken(tokens[i])) {
            if (i + 1 < tokens.size() && tokens[i] == tokens[i + 1]) {
                optionsAccepted = false;
            } else {
                addOption(tokens[i], set);
            }
            continue;
        }
        optionsAccepted = false;
        addFileArgument(tokens[i], set.files);
    }
}

bool isLongOption(std::u16string_view token) {
    return token.size() > endOfOptions.size() && token.starts_with(endOfOptions);
}

void addFileArgument(const std::u16string& argument, std::vector<std::u16string>& files) {
    if (holdsWildcard(argument)) {
        expandPattern(argument, files);
    } else {
        files.push_back(argument);
    }
}

void expandPattern(const std::u16string& pattern, std::vector<std::u16string>& files) {
    platform::FindData found;
    const platform::Handle search = platform::FindFirstFileW(pattern.c_str(), &found);
    if (search == platform::invalidHandleValue) {
        return;
    }
    const std::u16string prefix = matchPrefixOf(pattern);
    do {
        if (!isDotOrDotDot(found.cFileName)) {
            files.push_back(prefix + std::u16string(nameIn(found)));
        }
    } while (platform::FindNextFileW(search, &found));
    platform::FindClose(search);
}

bool standardInputIsConsole() {
    platform::Dword mode = 0;
    return platform::GetConsoleMode(platform::GetStdHandle(platform::stdInputHandle), &mode) != 0;
}

// A line's text ends at its first NUL. What follows a NUL up to the line feed
// is dropped with it, so that the next input line still starts an entry of
// its own: when the line feed was read along with the NUL, nothing more is
// dropped; otherwise the rest of the line is skipped as for a long line.
void readPipedLines(std::vector<std::u16string>& lines) {
    LineBuffer buffer;
    std::size_t stored = 0;
    while (true) {
        buffer.fill(u'\xFFFF');
        if (platform::fgetws(buffer.data(), static_cast<int>(buffer.size())) == nullptr) {
            return;
        }
        std::u16string_view text(buffer.data(), unitsRead(buffer));
        const bool lineFeedRead = !text.empty() && text.back() == u'\n';
        text = text.substr(0, text.find(u'\0'));
        const std::u16string_view line = text.substr(0, text.find(u'\n'));
        if (stored < pipedLinesStorage) {
            lines.emplace_back(line);
            stored += storageOf(line);
        }
        if (!lineFeedRead) {
            dropRestOfInputLine();
        }
    }
}

void reopenStandardInputOnConsole() {
    // Unchecked: without a console, later reads just find no input.
    static_cast<void>(platform::_wfreopen(u"CON", u"r"));
}

}  // namespace kestrel
