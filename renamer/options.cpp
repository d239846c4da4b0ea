// Reading the options from the option tokens of the command line.
#include "renamer/options.h"

#include "platform/platform.h"
#include "renamer/fold_name.h"

namespace ansifold {

namespace {

// A long option: its name, "--" included; the name of the value it takes,
// empty for one that takes none; what it asks of the run; and, for an option
// that knows only some values, which it takes.
struct LongOption {
    std::u16string_view name;
    std::u16string_view value;
    void (*apply)(RunOptions& options, std::u16string_view value);
    bool (*knows)(std::u16string_view value) = nullptr;
};

// A code page's number in decimal digits alone; the longest has five.
std::optional<unsigned> numberOf(std::u16string_view digits) {
    if (digits.empty() || digits.size() > 5) {
        return std::nullopt;
    }
    unsigned number = 0;
    for (const char16_t c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<unsigned>(c - u'0');
    }
    return number;
}

// A page that names fold through: one that the system knows, and that takes
// a default character for what it lacks (Windows' UTF-7, ISO-2022 and symbol
// pages take none, and every entry would fail).
bool isCodePage(std::u16string_view value) {
    const std::optional<unsigned> number = numberOf(value);
    return number && platform::IsValidCodePage(*number) != 0 &&
           foldNameThrough(*number, nullptr, u"a");
}

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
    {u"--code-page", u"N",
     [](RunOptions& options, std::u16string_view page) { options.codePage = numberOf(page); },
     isCodePage},
    {u"--exclude", u"PATTERN",
     [](RunOptions& options, std::u16string_view pattern) {
         options.excluded.emplace_back(pattern);
     }},
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
    if (option->knows != nullptr && !option->knows(value)) {
        refusal.reason = Refused::valueUnknown;
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
