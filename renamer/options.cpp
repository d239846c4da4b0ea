// Reading the options from the leading tokens of the command line.
#include "renamer/options.h"

#include <algorithm>
#include <string_view>

namespace ansifold {

namespace {

// The value of a token "--name=value", or nothing for any other token.
std::optional<std::u16string> valueOf(std::u16string_view token, std::u16string_view name) {
    if (!token.starts_with(name)) {
        return std::nullopt;
    }
    return std::u16string(token.substr(name.size()));
}

void readOption(std::u16string_view token, RunOptions& options) {
    if (token == u"--help" || token == u"/?") {
        options.help = true;
    } else if (token == u"--version") {
        options.version = true;
    } else if (token == u"--dry-run") {
        options.dryRun = true;
    } else if (auto log = valueOf(token, u"--log=")) {
        options.log = std::move(log);
    } else if (auto undo = valueOf(token, u"--undo=")) {
        options.undo = std::move(undo);
    }
}

}  // namespace

RunOptions readOptions(const kestrel::ArgumentSet& arguments) {
    RunOptions options;
    // Options are kept in the order of their tokens, from the first token on,
    // so the first tokens are the options' own, marker included.
    const std::size_t count = std::min(arguments.options.size(), arguments.tokens.size());
    for (std::size_t i = 0; i < count; ++i) {
        readOption(arguments.tokens[i], options);
    }
    return options;
}

}  // namespace ansifold
