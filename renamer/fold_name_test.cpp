// Folded names under code pages 932 and 1252, the two that the tests run under.
#include "renamer/fold_name.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

struct FoldCase {
    const char16_t* name;
    const char16_t* in932;
    const char16_t* in1252;
};

// Names that fold the same way natively and on Windows.
const FoldCase foldCases[] = {
    {u"notes.txt", u"notes.txt", u"notes.txt"},
    {u"", u"", u""},
    {u"\u30C6\u30B9\u30C8.txt", u"\u30C6\u30B9\u30C8.txt", u"___.txt"},
    {u"caf\u00E9.txt", u"cafe.txt", u"caf\u00E9.txt"},
    {u"\U0001F600.txt", u"__.txt", u"__.txt"},
    {u"\u0926.txt", u"_.txt", u"_.txt"},
    {u"under_score", u"under_score", u"under_score"},
    // Written decomposed (as macOS writes names): composed where a
    // precomposed form exists, so that the marks the code page holds stay.
    {u"\u304B\u3099\u3063\u3053\u3046", u"\u304C\u3063\u3053\u3046", u"____"},
    {u"\u30CF\u309A\u30BD\u30B3\u30F3", u"\u30D1\u30BD\u30B3\u30F3", u"____"},
    {u"cafe\u0301", u"cafe", u"caf\u00E9"},
    {u"A\u030Angstro\u0308m", u"Angstrom", u"\u00C5ngstr\u00F6m"},
    {u"e\u0300", u"e", u"\u00E8"},
    {u"\u1100\u1161\u11A8", u"_", u"_"},
    // Only what follows a base character composes: a compatibility
    // ideograph that 932 holds stays as it is.
    {u"\uFA11\u304B\u3099", u"\uFA11\u304C", u"__"},
};

class FoldNameAnsiCodePage : public testing::Test {
protected:
    void SetUp() override {
        codePage = platform::GetACP();
        if (codePage != 932 && codePage != 1252) {
            GTEST_SKIP() << "no expectations for code page " << codePage;
        }
    }
    const char16_t* expected(const FoldCase& c) const {
        return codePage == 932 ? c.in932 : c.in1252;
    }
    unsigned codePage = 0;
};

TEST_F(FoldNameAnsiCodePage, FoldsThroughTheCodePageWithUnderscores) {
    for (const FoldCase& c : foldCases) {
        std::u16string out = u"previous";
        EXPECT_TRUE(ansifold::foldName(&out, c.name));
        EXPECT_EQ(out, expected(c));
    }
}

TEST_F(FoldNameAnsiCodePage, FoldsWithoutAPlaceForTheResult) {
    EXPECT_TRUE(ansifold::foldName(nullptr, u"\u30C6\U0001F600"));
}

TEST_F(FoldNameAnsiCodePage, YenSignFoldsToABackslashOnlyIn932) {
    std::u16string out;
    ASSERT_TRUE(ansifold::foldName(&out, u"x\u00A5y"));
    if (codePage == 932) {
        // Best-fit: the yen sign of the code page's byte 0x5C.
        EXPECT_EQ(out, u"x\\y");
    } else {
        EXPECT_EQ(out, u"x\u00A5y");
    }
}

TEST_F(FoldNameAnsiCodePage, ALoneSurrogateFoldsToAnUnderscore) {
    std::u16string out;
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    EXPECT_TRUE(ansifold::foldName(&out, lone));
    EXPECT_EQ(out, u"a_b");
}

// A system whose ANSI code page is UTF-8 holds every name as it is but a
// broken one.
TEST(FoldName, ThroughUtf8EveryNameFoldsToItselfButALoneSurrogate) {
    const char16_t broken[] = {u'a', 0xDC80, u'\u00E9', 0xD83D, 0xDE00, 0xD800, 0};
    const struct {
        const char16_t* name;
        const char16_t* folded;
    } cases[] = {{u"notes.txt", u"notes.txt"},
                 {u"\u30C6\u30B9\u30C8\U0001F600\u0926", u"\u30C6\u30B9\u30C8\U0001F600\u0926"},
                 {broken, u"a_\u00E9\U0001F600_"}};
    for (const auto& c : cases) {
        std::u16string out;
        EXPECT_TRUE(ansifold::foldNameThrough(platform::cpUtf8, &out, c.name));
        EXPECT_EQ(out, c.folded);
    }
}

TEST(FoldName, AFailedFoldLeavesTheResultUntouched) {
    std::u16string out = u"kept";
    EXPECT_FALSE(ansifold::foldName(&out, nullptr));
    EXPECT_EQ(out, u"kept");
}

}  // namespace
