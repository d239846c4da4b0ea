// Arguments joined into the one command line of a Windows program, for
// systems that hand a program an argument vector.
//
// How an argument is written so that the tokenizer gives it back:
//
// - Neither space nor double quote in it: as it stands. A plain token without
//   a quote is taken verbatim, backslashes included.
// - No double quote directly before a space: in double quotes. A token that
//   begins with a quote runs to the first quote before a space or the end of
//   the line and is taken verbatim, so inner quotes and backslashes need no
//   escapes.
// - A double quote before a space: as a plain token with a quote section.
//   Its first characters up to a place where the opening quote is not
//   escaped, the opening quote, the rest with a backslash before each double
//   quote, and a closing quote. The tokenizer drops both quotes and the
//   backslashes before quotes, and a quote with a backslash before it can
//   stand before a space without closing the token.
//
// What the tokenizer cannot give back at all:
// - The empty argument: empty tokens are dropped. It is written as "", as a
//   Windows command line holds it, and vanishes as it does there.
// - An argument with a double quote before a space that also holds a
//   backslash directly before a double quote (a quote section loses every
//   such backslash), ends with a backslash (it would escape the closing
//   quote), or begins with a space or with nothing but backslashes before
//   its first space (there is no place for an opening quote that is not
//   escaped: a plain token begins with neither a space nor a quote). Such an
//   argument is left out of the line: any text written for it would come back
//   as other names, and the program must not touch names it was not given.
// - The program path is never used, but its token has to be there; one that
//   cannot be written stands in as "ansifold".
#include "platform/command_line.h"

namespace platform {

namespace {

constexpr char16_t space = u' ';
constexpr char16_t quote = u'"';
constexpr char16_t backslash = u'\\';

bool appendWithQuoteSection(std::u16string_view argument, std::u16string& line) {
    if (argument.back() == backslash || argument.find(u"\\\"") != std::u16string_view::npos) {
        return false;
    }
    const std::size_t firstSpace = argument.find(space);
    std::size_t open = 1;
    while (open <= firstSpace && argument[open - 1] == backslash) {
        ++open;
    }
    if (open > firstSpace) {
        return false;
    }
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (i == open) {
            line.push_back(quote);
        }
        if (argument[i] == quote) {
            line.push_back(backslash);
        }
        line.push_back(argument[i]);
    }
    line.push_back(quote);
    return true;
}

}  // namespace

bool appendQuotedArgument(std::u16string_view argument, std::u16string& line) {
    if (argument.empty()) {
        return false;
    }
    if (argument.find_first_of(u" \"") == std::u16string_view::npos) {
        line += argument;
        return true;
    }
    if (argument.find(u"\" ") == std::u16string_view::npos) {
        line.push_back(quote);
        line += argument;
        line.push_back(quote);
        return true;
    }
    return appendWithQuoteSection(argument, line);
}

std::u16string commandLineOf(const std::vector<std::u16string>& arguments) {
    std::u16string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::u16string written;
        if (!appendQuotedArgument(arguments[i], written)) {
            if (i == 0) {
                written = u"ansifold";
            } else if (arguments[i].empty()) {
                written = u"\"\"";
            } else {
                continue;
            }
        }
        if (!line.empty()) {
            line.push_back(space);
        }
        line += written;
    }
    return line;
}

}  // namespace platform
