// Conversions to and from the ANSI code page, as the name fold uses them:
// the contract of the calls, natively and under Wine, under code page 932 and
// again under 1252. What each unit, byte and pair of every page converts to
// is the differential test's (tests/code_pages).
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

bool japanese() {
    return GetACP() == 932;
}

// The round trip of the name fold: sizing and converting each way, with
// "_" for what the code page cannot hold.
std::u16string folded(const std::u16string& name) {
    const int size = WideCharToMultiByte(cpAcp, 0, name.c_str(), -1, nullptr, 0, "_", nullptr);
    EXPECT_GT(size, 0);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, name.c_str(), -1, bytes.data(), size, "_", nullptr),
              size);
    const int units = MultiByteToWideChar(cpAcp, 0, bytes.c_str(), -1, nullptr, 0);
    EXPECT_GT(units, 0);
    std::u16string text(static_cast<std::size_t>(units), u'\0');
    EXPECT_EQ(MultiByteToWideChar(cpAcp, 0, bytes.c_str(), -1, text.data(), units), units);
    text.resize(text.find(u'\0'));
    return text;
}

TEST(Strings, CompareOrdinallyAndMeasure) {
    EXPECT_EQ(lstrlenW(u"abc"), 3);
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrcmpW(u"abc", u"abc"), 0);
    EXPECT_LT(lstrcmpW(u"ab", u"abc"), 0);
    EXPECT_GT(lstrcmpW(u"b", u"abc"), 0);
    EXPECT_LT(lstrcmpW(u"B", u"a"), 0);  // ordinal: case counts
    EXPECT_GT(lstrcmpW(u"\uFF41", u"\u3042"), 0);
    // A soft hyphen that a collation ignores still makes another name.
    EXPECT_LT(lstrcmpW(u".", u".\u00AD"), 0);
    EXPECT_LT(lstrcmpW(nullptr, u""), 0);
}

TEST(AnsiCodePage, IsOneOfTheTwoTheTestsRunUnder) {
    EXPECT_TRUE(GetACP() == 932 || GetACP() == 1252) << GetACP();
}

TEST(AnsiCodePage, FoldsTable) {
    struct Row {
        std::u16string name;
        std::u16string in932;
        std::u16string in1252;
    } const rows[] = {
        {u"notes.txt", u"notes.txt", u"notes.txt"},
        {u"", u"", u""},
        {u"a b~c\\d", u"a b~c\\d", u"a b~c\\d"},
        {u"\uAC00.txt", u"_.txt", u"_.txt"},  // Hangul: in neither
        {u"?\uAC00?", u"?_?", u"?_?"},        // the pages' own default character
        {u"\U0001F600", u"__", u"__"},        // outside the BMP: one "_" per unit
        {u"a\xD800z", u"a_z", u"a_z"},        // lone high surrogate
        {u"a\xDC00z", u"a_z", u"a_z"},        // lone low surrogate
        {u"\u3042\u30A2\u4E00x", u"\u3042\u30A2\u4E00x", u"___x"},  // pairs in a row
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.name));
        EXPECT_EQ(folded(row.name), japanese() ? row.in932 : row.in1252);
    }
}

TEST(AnsiCodePage, ReportsWhetherTheDefaultCharacterWasUsed) {
    char bytes[16];
    Bool used = 7;
    ASSERT_GT(WideCharToMultiByte(cpAcp, 0, u"ab", -1, bytes, 16, "_", &used), 0);
    EXPECT_EQ(used, 0);
    used = 7;
    ASSERT_GT(WideCharToMultiByte(cpAcp, 0, u"\uAC00", -1, bytes, 16, "_", &used), 0);
    EXPECT_NE(used, 0);
    used = 7;  // a best-fit substitute is no default character
    ASSERT_GT(WideCharToMultiByte(cpAcp, 0, japanese() ? u"\u00E9" : u"\uFF21", -1, bytes, 16, "_",
                                  &used),
              0);
    EXPECT_EQ(used, 0);
}

// Sizing and then converting the same text gives one answer twice; another
// default character gives another conversion.
TEST(AnsiCodePage, RepeatedConversionsKeepTheirOwnDefaultCharacter) {
    char bytes[8] = {};
    Bool used = 0;
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"\uAC00", -1, nullptr, 0, "_", &used), 2);
    used = 0;
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"\uAC00", -1, bytes, 8, "_", &used), 2);
    EXPECT_STREQ(bytes, "_");
    EXPECT_NE(used, 0);
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"\uAC00", -1, bytes, 8, "#", nullptr), 2);
    EXPECT_STREQ(bytes, "#");
}

TEST(AnsiCodePage, DefaultCharacterIsAQuestionMarkWhenNoneIsGiven) {
    char bytes[8] = {};
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"\U0001F600", -1, bytes, 8, nullptr, nullptr), 3);
    EXPECT_STREQ(bytes, "??");
}

TEST(AnsiCodePage, SizesCountTheTerminatorOnlyForTerminatedInput) {
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"abc", -1, nullptr, 0, "_", nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"abc", 3, nullptr, 0, "_", nullptr), 3);
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"", -1, nullptr, 0, "_", nullptr), 1);
    EXPECT_EQ(MultiByteToWideChar(cpAcp, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(cpAcp, 0, "abc", 3, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(cpAcp, 0, "", -1, nullptr, 0), 1);
    // A Japanese character takes two bytes under 932 and one "_" under 1252.
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"\u3042", -1, nullptr, 0, "_", nullptr),
              japanese() ? 3 : 2);
}

TEST(AnsiCodePage, TooSmallABufferFails) {
    char bytes[3];
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"abc", -1, bytes, 3, "_", nullptr), 0);
    EXPECT_EQ(GetLastError(), errorInsufficientBuffer);
    char16_t units[3];
    EXPECT_EQ(MultiByteToWideChar(cpAcp, 0, "abc", -1, units, 3), 0);
    EXPECT_EQ(GetLastError(), errorInsufficientBuffer);
    if (japanese()) {
        EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"\u3042", 1, bytes, 1, "_", nullptr), 0);
        EXPECT_EQ(GetLastError(), errorInsufficientBuffer);
    }
}

TEST(AnsiCodePage, EmptyInputWithoutTerminatorIsRejected) {
    char bytes[4];
    EXPECT_EQ(WideCharToMultiByte(cpAcp, 0, u"abc", 0, bytes, 4, "_", nullptr), 0);
    EXPECT_EQ(GetLastError(), errorInvalidParameter);
    char16_t units[4];
    EXPECT_EQ(MultiByteToWideChar(cpAcp, 0, "abc", 0, units, 4), 0);
    EXPECT_EQ(GetLastError(), errorInvalidParameter);
}

// Explicit code pages do not depend on the user's.
TEST(CodePageConversion, ExplicitCodePages) {
    char bytes[8] = {};
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u3042\uFF21", -1, bytes, 8, "_", nullptr), 5);
    EXPECT_STREQ(bytes, "\x82\xA0\x82\x60");
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"\u00E9\u20AC", -1, bytes, 8, "_", nullptr), 3);
    EXPECT_STREQ(bytes, "\xE9\x80");
    char16_t units[8] = {};
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x82\xA0z", -1, units, 8), 3);
    EXPECT_EQ(std::u16string(units), u"\u3042z");
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "\xE9\x80", -1, units, 8), 3);
    EXPECT_EQ(std::u16string(units), u"\u00E9\u20AC");
}

// The pages that --code-page accepts: those of the POSIX tables and UTF-8
// on both systems; never cpAcp, which stands for a page without being one.
TEST(CodePageConversion, ValidCodePages) {
    const struct {
        unsigned codePage;
        bool valid;
    } rows[] = {{874, true},  {932, true},   {936, true},   {949, true}, {950, true},
                {1250, true}, {1258, true},  {65001, true}, {0, false},  {1, false},
                {99, false},  {9999, false}, {65002, false}};
    for (const auto& row : rows) {
        EXPECT_EQ(IsValidCodePage(row.codePage) != 0, row.valid) << row.codePage;
    }
}

// Upper case as Windows volumes compare names: one unit for one, never
// following a locale.
TEST(CaseMapping, UpperCaseOfOneUnit) {
    const struct {
        char16_t lower;
        char16_t upper;
    } rows[] = {{u'a', u'A'},           {u'Z', u'Z'},           {u'i', u'I'},
                {u'\u00E9', u'\u00C9'}, {u'\u03B1', u'\u0391'}, {u'\uFF41', u'\uFF21'},
                {u'\u00DF', u'\u00DF'}, {u'\u3042', u'\u3042'}, {u'1', u'1'}};
    for (const auto& row : rows) {
        EXPECT_EQ(CharUpperW(row.lower), row.upper) << static_cast<int>(row.lower);
    }
}

// A lone surrogate goes out as U+FFFD in UTF-8, and a byte outside valid
// UTF-8 reads as one.
TEST(CodePageConversion, Utf8ReplacesWhatItCannotHold) {
    // U+DC80 is a lone surrogate too, whatever it stands for in a name.
    char bytes[16] = {};
    EXPECT_EQ(WideCharToMultiByte(65001, 0, u"\u00E9\xD800\U0001F600\xDC80", -1, bytes, 16, nullptr,
                                  nullptr),
              13);
    EXPECT_STREQ(bytes, "\xC3\xA9\xEF\xBF\xBD\xF0\x9F\x98\x80\xEF\xBF\xBD");
    char16_t units[8] = {};
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "\xC3\xA9\xFFz", -1, units, 8), 4);
    EXPECT_EQ(std::u16string(units), u"\u00E9\uFFFDz");
}

// A fold through the user's page may follow conversions through others, and
// precede them; each call keeps to its own page.
TEST(AnsiCodePage, KeepsApartFromExplicitPagesUsedBetween) {
    const char16_t* const native = japanese() ? u"\u3042" : u"\u00E9";
    const char* const nativeBytes = japanese() ? "\x82\xA0" : "\xE9";
    for (int round = 0; round < 2; ++round) {
        char bytes[8] = {};
        EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u3042", -1, bytes, 8, "_", nullptr), 3);
        EXPECT_STREQ(bytes, "\x82\xA0");
        EXPECT_EQ(WideCharToMultiByte(1252, 0, u"\u00E9", -1, bytes, 8, "_", nullptr), 2);
        EXPECT_STREQ(bytes, "\xE9");
        EXPECT_GT(WideCharToMultiByte(cpAcp, 0, native, -1, bytes, 8, "_", nullptr), 0);
        EXPECT_STREQ(bytes, nativeBytes);
    }
}

}  // namespace
}  // namespace platform
