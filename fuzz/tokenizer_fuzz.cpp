// splitCommandLine on any line. Properties:
// - it never crashes, and tokens already in the list stay as they were;
// - every token is non-empty and no longer than the line;
// - tokens come from separate stretches of the line, each beginning with a
//   character other than a space, and cleaning only removes characters: so
//   there are no more tokens than non-space characters, and their lengths add
//   up to no more than the line's;
// - a line without a double quote splits exactly at its runs of spaces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frame/tokenizer.h"
#include "fuzz/fuzz_support.h"

namespace {

std::vector<std::u16string> splitAtSpaces(const std::u16string& line) {
    std::vector<std::u16string> words;
    std::size_t start = 0;
    while (start < line.size()) {
        std::size_t end = line.find(u' ', start);
        if (end == std::u16string::npos) {
            end = line.size();
        }
        if (end > start) {
            words.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string line = fuzz::textOf(data, size);
    kestrel::ArgumentSet set;
    set.tokens.push_back(u"before");
    kestrel::splitCommandLine(line.c_str(), set);
    FUZZ_CHECK(!set.tokens.empty() && set.tokens.front() == u"before");

    const std::vector<std::u16string> tokens(set.tokens.begin() + 1, set.tokens.end());
    std::size_t totalLength = 0;
    for (const std::u16string& token : tokens) {
        FUZZ_CHECK(!token.empty());
        FUZZ_CHECK(token.size() <= line.size());
        totalLength += token.size();
    }
    FUZZ_CHECK(totalLength <= line.size());
    const std::size_t nonSpaces =
        line.size() - static_cast<std::size_t>(std::count(line.begin(), line.end(), u' '));
    FUZZ_CHECK(tokens.size() <= nonSpaces);
    if (line.find(u'"') == std::u16string::npos) {
        FUZZ_CHECK(tokens == splitAtSpaces(line));
    }
    return 0;
}
