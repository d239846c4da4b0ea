// Lower case through the single-character form of CharLowerW, whose result
// comes back in the low word of a pointer.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

TEST(CharLower, MapsOneUnit) {
    struct Case {
        char16_t unit;
        char16_t lower;
    };
    const Case cases[] = {
        {u'A', u'a'},
        {u'Z', u'z'},
        {u'a', u'a'},
        {u'*', u'*'},
        {u'\u00C4', u'\u00E4'},                // Ä
        {u'\u0391', u'\u03B1'},                // Greek alpha
        {u'\uFF21', u'\uFF41'},                // full-width A
        {u'\u30A2', u'\u30A2'},                // katakana, no case
        {char16_t{0xD800}, char16_t{0xD800}},  // half of a pair
        {u'\0', u'\0'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<unsigned>(platform::CharLowerW(c.unit)),
                  static_cast<unsigned>(c.lower))
            << "U+" << std::hex << static_cast<unsigned>(c.unit);
    }
}

}  // namespace
