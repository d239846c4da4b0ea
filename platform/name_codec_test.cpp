// Names between bytes and UTF-16, without loss either way.
#include "platform/name_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace platform {
namespace {

using namespace std::literals;

std::u16string decoded(std::string_view bytes, Backslash backslash = Backslash::nameCharacter) {
    std::u16string text;
    decode(bytes, backslash, text);
    return text;
}

std::string encoded(std::u16string_view text) {
    std::string bytes;
    EXPECT_TRUE(encodePath(text, bytes));
    return bytes;
}

TEST(NameCodec, DecodesTable) {
    struct Row {
        std::string bytes;
        std::u16string text;
    } const rows[] = {
        {"", u""},
        {"plain.txt", u"plain.txt"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"\xE3\x81\x82", u"\u3042"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"\xEF\xBF\xBF", u"\uFFFF"},
        // Not UTF-8: every byte of it stands for itself.
        {"\xFF", u"\xDCFF"},
        {"a\x80z", u"a\xDC80z"},
        {"\xC0\x80", u"\xDCC0\xDC80"},                      // overlong NUL
        {"\xE0\x9F\xBF", u"\xDCE0\xDC9F\xDCBF"},            // overlong three-byte form
        {"\xF0\x8F\xBF\xBF", u"\xDCF0\xDC8F\xDCBF\xDCBF"},  // overlong four-byte form
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},            // encoded high surrogate
        {"\xED\xB2\x80", u"\xDCED\xDCB2\xDC80"},            // encoded escape surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},  // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", u"\xDCF8\xDC88\xDC80\xDC80\xDC80"},
        {"\xE3\x81", u"\xDCE3\xDC81"},      // cut short by the end
        {"\xE3\x81z", u"\xDCE3\xDC81z"},    // cut short by ASCII
        {"\xC3\xC3\xA9", u"\xDCC3\u00E9"},  // resynchronises at the next lead
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.bytes));
        EXPECT_EQ(decoded(row.bytes), row.text);
        EXPECT_EQ(encoded(row.text), row.bytes);
    }
}

TEST(NameCodec, BackslashIsACharacterOfNamesAndASeparatorOfArguments) {
    EXPECT_EQ(decoded("a\\z"), u"a\xDC5Cz");
    EXPECT_EQ(decoded("a\\z", Backslash::separator), u"a\\z");
    EXPECT_EQ(encoded(u"a\xDC5Cz"), "a\\z");
    EXPECT_EQ(encoded(u"dir\\sub/name"), "dir/sub/name");
}

TEST(NameCodec, AppendsToWhatTheOutputHolds) {
    std::u16string text = u"dir/";
    decode("caf\xC3\xA9\xF0\x9F\x98\x80\xFF", Backslash::nameCharacter, text);
    EXPECT_EQ(text, u"dir/caf\u00E9\U0001F600\xDCFF");
    std::string bytes = "dir/";
    ASSERT_TRUE(encodePath(u"caf\u00E9\U0001F600\xDCFF", bytes));
    EXPECT_EQ(bytes, "dir/caf\xC3\xA9\xF0\x9F\x98\x80\xFF");
}

TEST(NameCodec, RejectsSurrogatesThatStandForNoByte) {
    for (std::u16string_view text : {u"\xD800"sv, u"a\xD800z"sv, u"\xDBFF\xD800"sv, u"\xDC00"sv,
                                     u"\xDC7F"sv, u"\xDE00"sv, u"\xDFFF"sv}) {
        std::string bytes;
        EXPECT_FALSE(encodePath(text, bytes)) << testing::PrintToString(std::u16string(text));
    }
}

// Any byte string at all must come back unchanged: names that are not
// UTF-8 have to be renamed and printed like the others.
TEST(NameCodec, EveryByteStringSurvivesTheRoundTrip) {
    std::mt19937 random(20240601);
    // Bytes near the UTF-8 boundaries make malformed and well-formed
    // sequences equally likely.
    static constexpr unsigned char interesting[] = {
        0x00, 0x2F, 0x41, 0x5C, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
        0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFE, 0xFF};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(interesting) - 1);
    std::uniform_int_distribution<std::size_t> length(0, 12);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        for (std::size_t i = length(random); i > 0; --i) {
            bytes.push_back(static_cast<char>(interesting[pick(random)]));
        }
        const std::u16string text = decoded(bytes);
        ASSERT_EQ(text.find(u'\\'), std::u16string::npos);
        ASSERT_EQ(encoded(text), bytes) << testing::PrintToString(bytes);
    }
}

}  // namespace
}  // namespace platform
