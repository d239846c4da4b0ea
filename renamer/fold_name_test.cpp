// Folded names under code pages 932 and 1252, the two that the tests run
// under, and through the pages that hold combining marks.
#include "renamer/fold_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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
    // A Latin-1 letter with a mark is a letter of its own, not a mark of the
    // letter before it.
    {u"a\u0300\u00C2\u0300", u"aA_", u"\u00E0\u00C2`"},
    // Where the composed letter is lost, the base letter is kept.
    {u"m\u0301", u"m_", u"m\u00B4"},
    {u"\u30EF\u3099", u"\u30EF_", u"_"},
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

// Names in the spelling that the code page holds, or written otherwise.
TEST(FoldName, TakesEachLetterAndItsMarksInTheSpellingThatTheCodePageHolds) {
    const struct {
        unsigned codePage;
        const char16_t* name;
        const char16_t* folded;
    } cases[] = {
        // 1258 writes e-circumflex-acute as e-circumflex and a combining acute.
        {1258, u"Ti\u00EA\u0301ng Vi\u00EA\u0323t", u"Ti\u00EA\u0301ng Vi\u00EA\u0323t"},
        {1258, u"Tie\u0302\u0301ng Vie\u0323\u0302t", u"Ti\u00EA\u0301ng Vi\u00EA\u0323t"},
        {1258, u"Ti\u1EBFng Vi\u1EC7t", u"Ti\u00EA\u0301ng Vi\u00EA\u0323t"},
        {1258, u"M\u00E3", u"Ma\u0303"},
        // The most composed spelling that the page holds: a-grave and a dot
        // below rather than a, a dot below and a grave.
        {1258, u"\u1EA1\u0300", u"\u00E0\u0323"},
        // Marks of one class keep their order: acute then circumflex is
        // another letter than e-circumflex and an acute.
        {1258, u"e\u0301\u0302", u"e\u0301_"},
        // Points, harakat and Thai marks that the page holds stay in the order
        // given, also beside a character that it lacks.
        {1255, u"\u05D1\u05BC\u05B8\u30C6", u"\u05D1\u05BC\u05B8_"},
        {1256, u"\u0628\u0651\u064E\u30C6", u"\u0628\u0651\u064E_"},
        {874, u"\u0E01\u0E48\u0E38\u30C6", u"\u0E01\u0E48\u0E38_"},
        // Heh goal with hamza above: the page holds the heh goal alone.
        {1256, u"\u06C1\u0654", u"\u06C1_"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.name)));
        std::u16string out;
        EXPECT_TRUE(ansifold::foldNameThrough(c.codePage, &out, c.name));
        EXPECT_EQ(out, c.folded);
    }
}

std::size_t underscoresIn(const std::u16string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), u'_'));
}

std::u16string normalized(int form, const std::u16string& text) {
    std::u16string out(text.size() * 4, u'\0');
    const int length = platform::NormalizeString(form, text.data(), static_cast<int>(text.size()),
                                                 out.data(), static_cast<int>(out.size()));
    out.resize(static_cast<std::size_t>(std::max(length, 0)));
    return out;
}

// The name through the code page and back as it is spelled.
std::u16string plainFold(unsigned codePage, const std::u16string& name) {
    std::string bytes(name.size() * 2 + 1, '\0');
    platform::WideCharToMultiByte(codePage, 0, name.c_str(), -1, bytes.data(),
                                  static_cast<int>(bytes.size()), "_", nullptr);
    std::u16string back(bytes.size(), u'\0');
    platform::MultiByteToWideChar(codePage, 0, bytes.c_str(), -1, back.data(),
                                  static_cast<int>(back.size()));
    return back.substr(0, back.find(u'\0'));
}

// Every precomposed letter of the BMP that is a base and one mark (Hangul
// syllables aside), written as that pair and precomposed.
std::vector<std::u16string> canonicalPairs() {
    std::vector<std::u16string> names;
    for (char32_t c = 0xC0; c <= 0xFFFF; ++c) {
        const std::u16string letter(1, static_cast<char16_t>(c));
        if ((c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xD800 && c <= 0xDFFF) ||
            normalized(platform::normalizationC, letter) != letter) {
            continue;
        }
        const std::u16string parts = normalized(platform::normalizationD, letter);
        if (parts.size() < 2) {
            continue;
        }
        const std::u16string pair =
            normalized(platform::normalizationC, parts.substr(0, parts.size() - 1)) + parts.back();
        if (normalized(platform::normalizationC, pair) == letter) {
            names.push_back(pair);
            names.push_back(letter);
        }
    }
    return names;
}

TEST(FoldName, OverEveryCanonicalPairAHeldNameStaysAndNoCharacterMoreBecomesAnUnderscore) {
    const std::vector<std::u16string> names = canonicalPairs();
    EXPECT_GE(names.size(), 2u * 928);
    for (const unsigned codePage : {932u, 1252u, 1255u, 1258u}) {
        for (const std::u16string& name : names) {
            SCOPED_TRACE(testing::Message() << codePage << " " << testing::PrintToString(name));
            std::u16string out;
            ASSERT_TRUE(ansifold::foldNameThrough(codePage, &out, name.c_str()));
            const std::u16string plain = plainFold(codePage, name);
            if (plain == name) {
                EXPECT_EQ(out, name);
            }
            EXPECT_LE(underscoresIn(out), underscoresIn(plain));
        }
    }
}

TEST(FoldName, AFailedFoldLeavesTheResultUntouched) {
    std::u16string out = u"kept";
    EXPECT_FALSE(ansifold::foldName(&out, nullptr));
    EXPECT_EQ(out, u"kept");
}

}  // namespace
