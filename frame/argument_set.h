// What a console application of the frame is given to work on: the command
// line split into tokens and sorted into options and file arguments, wildcard
// arguments expanded against the file system, and the lines of standard input
// when it is redirected.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

struct ArgumentSet {
    std::vector<std::u16string> tokens, pipedLines, options, files;
    // Each option token whole, its marker included, in command-line order.
    // A long option may stand anywhere, so what options holds no longer
    // tells which token it came from ("/-x" and "--x" both give "-x").
    std::vector<std::u16string> optionTokens;
};

// Fills set from the process's command line (its first token, the program
// path, dropped) and from redirected standard input, which is then reopened
// on the console. Never fails: whatever cannot be read or matched is left out.
void buildArgumentSet(ArgumentSet& set);

// The steps of buildArgumentSet, in the order in which it takes them.

// Sorts set.tokens into set.options and set.files. A long option, a token
// that begins with "--", is an option wherever it stands, up to a lone "--",
// which is dropped: every token after it is a file argument. While options
// are still accepted, a token that begins with '-', '/' or ':' is an option
// too; the first token of any other kind ends these options. Such an option
// token equal to the one after it also ends them and is itself dropped, so
// that "-x -x" passes "-x" on as a file argument. Each option is kept
// without its first character.
void classifyTokens(ArgumentSet& set);

// Whether a token is a long option: "--" and a name.
bool isLongOption(std::u16string_view token);

// Appends argument to files as it stands, or, when it holds '*' or '?', every
// entry it matches instead, in the order the system lists them.
void addFileArgument(const std::u16string& argument, std::vector<std::u16string>& files);

// Appends the entries that pattern matches, "." and ".." left out, each behind
// the pattern's text up to and including its last separator.
void expandPattern(const std::u16string& pattern, std::vector<std::u16string>& files);

bool standardInputIsConsole();

// Appends the lines of standard input up to its end, each without its line
// feed and cut to its first 259 units; the rest of a longer line is dropped.
void readPipedLines(std::vector<std::u16string>& lines);

void reopenStandardInputOnConsole();

}  // namespace kestrel
