// The program's own command-line splitter.
//
// The run-time library's argument vector is never used: it splits some lines
// differently (tabs, backslash escapes in quoted tokens), and the names a
// user types must come out exactly as the rules below cut them, on every
// platform.
#pragma once

#include "frame/argument_set.h"

namespace kestrel {

// Cuts commandLine (NUL-terminated; null counts as empty) into tokens and
// appends them, in order, to set.tokens. Only the space separates tokens. A
// token that begins with a double quote runs to the first double quote that
// stands before a space or the end of the line, backslashes and all. In any
// other token an unescaped double quote opens a section in which spaces are
// ordinary; such a token loses its opening quote, its closing quote and every
// backslash that stands before a double quote. Empty tokens are dropped.
void splitCommandLine(const char16_t* commandLine, ArgumentSet& set);

}  // namespace kestrel
