// matchWildcard on any name and pattern. Properties:
// - it never crashes and ends quickly whatever the stars (the run's
//   -timeout catches a slow match);
// - on names and patterns of up to 64 units it agrees with a plain
//   dynamic-programming matcher that follows the documented rules: '*' any
//   run of units, '?' exactly one, every other unit equal after lowering.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fs/wildcard.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"

namespace {

bool matchesByTable(std::u16string_view name, std::u16string_view pattern) {
    // matched[i]: the pattern read so far matches the name's first i units.
    std::vector<bool> matched(name.size() + 1, false);
    matched[0] = true;
    for (char16_t p : pattern) {
        std::vector<bool> next(name.size() + 1, false);
        bool anyBefore = false;
        for (std::size_t i = 0; i <= name.size(); ++i) {
            if (p == u'*') {
                anyBefore = anyBefore || matched[i];
                next[i] = anyBefore;
            } else if (i > 0 && matched[i - 1]) {
                next[i] = p == u'?' || platform::CharLowerW(p) == platform::CharLowerW(name[i - 1]);
            }
        }
        matched.swap(next);
    }
    return matched[name.size()];
}

constexpr std::size_t shortLength = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::u16string name = fuzz::textOf(provider.ConsumeRandomLengthString());
    const std::u16string pattern = fuzz::textOf(provider.ConsumeRemainingBytesAsString());
    const bool matches = kestrel::matchWildcard(name, pattern);
    if (name.size() <= shortLength && pattern.size() <= shortLength) {
        FUZZ_CHECK(matches == matchesByTable(name, pattern));
    }
    return 0;
}
