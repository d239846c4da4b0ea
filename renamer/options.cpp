// Reading the options from the option tokens of the command line.
#include "renamer/options.h"

namespace ansifold {

namespace {

// A long option: its name, "--" included; the name of the value it takes,
// empty for one that takes none; and what it asks of the run.
struct LongOption {
    std::u16string_view name;
    std::u16string_view value;
    void (*apply)(RunOptions& options, std::u16string_view value);
};

// Every long option that the program knows.
constexpr LongOption longOptions[] = {
    {u"--help", u"", [](RunOptions& options, std::u16string_view) { options.help = true; }},
    {u"--version", u"", [](RunOptions& options, std::u16string_view) { options.version = true; }},
    {u"--dry-run", u"", [](RunOptions& options, std::u16string_view) { options.dryRun = true; }},
    {u"--changes", u"",
     [](RunOptions& options, std::u16string_view) { options.changesOnly = true; }},
    {u"--log", u"FILE",
     [](RunOptions& options, std::u16string_view file) { options.log = std::u16string(file); }},
    {u"--undo", u"FILE",
     [](RunOptions& options, std::u16string_view file) { options.undo = std::u16string(file); }},
};

const LongOption* findLongOption(std::u16string_view name) {
    for (const LongOption& option : longOptions) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

bool readLongOption(const std::u16string& token, RunOptions& options, Refusal& refusal) {
    const std::size_t equals = std::u16string_view(token).find(u'=');
    const std::u16string_view name = std::u16string_view(token).substr(0, equals);
    const LongOption* const option = findLongOption(name);
    refusal.token = token;
    if (option == nullptr) {
        refusal.reason = Refused::unknown;
        return false;
    }
    refusal.name = option->name;
    refusal.value = option->value;
    const bool given = equals != std::u16string_view::npos;
    const std::u16string_view value = given ? std::u16string_view(token).substr(equals + 1) : u"";
    if (option->value.empty() && given) {
        refusal.reason = Refused::valueNotTaken;
        return false;
    }
    if (!option->value.empty() && value.empty()) {
        refusal.reason = Refused::valueMissing;
        return false;
    }
    option->apply(options, value);
    return true;
}

}  // namespace

bool readOptions(const kestrel::ArgumentSet& arguments, RunOptions& options, Refusal& refusal) {
    for (const std::u16string& token : arguments.optionTokens) {
        if (kestrel::isLongOption(token)) {
            if (!readLongOption(token, options, refusal)) {
                return false;
            }
        } else if (token == u"/?") {
            options.help = true;
        }
    }
    return true;
}

}  // namespace ansifold
