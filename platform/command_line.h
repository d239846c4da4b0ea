// Arguments joined into the one command line that a Windows program is
// given, quoted for the program's own splitter (the kestrel tokenizer) so
// that it cuts the line back into the same arguments: GetCommandLineW where
// the system hands over an argument vector.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Appends argument to line in a form that the tokenizer reads back as
// exactly that argument, and returns true. The tokenizer cannot yield some
// arguments at all; for those nothing is appended and the result is false.
// See command_line.cpp for which ones they are.
bool appendQuotedArgument(std::u16string_view argument, std::u16string& line);

// The command line for the arguments, the program path first.
std::u16string commandLineOf(const std::vector<std::u16string>& arguments);

}  // namespace platform
