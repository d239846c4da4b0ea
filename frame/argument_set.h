// What a console application of the frame is given to work on: the command
// line split into tokens and sorted into options and file arguments, wildcard
// arguments expanded against the file system, and the lines of standard input
// when it is redirected.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

struct ArgumentSet {
    std::vector<std::u16string> tokens, pipedLines, options, files;
};

// Fills set from the process's command line (its first token, the program
// path, dropped) and from redirected standard input, which is then reopened
// on the console. Never fails: whatever cannot be read or matched is left out.
void buildArgumentSet(ArgumentSet& set);

// The steps of buildArgumentSet, in the order in which it takes them.

// Sorts set.tokens into set.options and set.files. While options are still
// accepted, a token that begins with '-', '/' or ':' is an option, kept
// without that first character; the first token of any other kind ends the
// options. An option token equal to the one after it also ends them and is
// itself dropped, so that "-x -x" passes "-x" on as a file argument.
void classifyTokens(ArgumentSet& set);

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
