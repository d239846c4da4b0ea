// Text in the locale's encoding, both ways, stray bytes kept.
#include "platform/posix/locale_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace platform::posix {
namespace {

// Switches the character-type locale for one test and back.
class CharacterLocale {
public:
    explicit CharacterLocale(const char* name) : saved(std::setlocale(LC_CTYPE, nullptr)) {
        switched = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~CharacterLocale() { std::setlocale(LC_CTYPE, saved.c_str()); }
    CharacterLocale(const CharacterLocale&) = delete;
    CharacterLocale& operator=(const CharacterLocale&) = delete;

    bool available() const { return switched; }

private:
    std::string saved;
    bool switched = false;
};

std::string encoded(std::u16string_view text) {
    std::string bytes;
    encodeForLocale(text, bytes);
    return bytes;
}

std::u16string decoded(std::string_view bytes) {
    std::u16string text;
    decodeLocale(bytes, text);
    return text;
}

TEST(LocaleText, Utf8TerminalGetsTheBytesOfNamesBack) {
    const CharacterLocale locale("C.UTF-8");
    ASSERT_TRUE(locale.available());
    struct Row {
        std::u16string text;
        std::string bytes;
    } const rows[] = {
        {u"a.txt\n", "a.txt\n"},
        {u"\u30D5\u00E9\U0001F600", "\xE3\x83\x95\xC3\xA9\xF0\x9F\x98\x80"},
        // Units that stand for bytes of a name go out as those bytes.
        {u"\xDCFF\xDC80x", "\xFF\x80x"},
        {u"a\xDC5Cz", "a\\z"},
        // Other lone surrogates stand for nothing that can be shown.
        {u"\xD800|\xDC00|\xDBFF", "?|?|?"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.text));
        EXPECT_EQ(encoded(row.text), row.bytes);
    }
    EXPECT_EQ(decoded("\xE3\x83\x95\xFF\xF0\x9F\x98\x80\xE3\x83"),
              u"\u30D5\xDCFF\U0001F600\xDCE3\xDC83");
}

TEST(LocaleText, AsciiTerminalShowsQuestionMarksButStillTheNameBytes) {
    const CharacterLocale locale("C");
    ASSERT_TRUE(locale.available());
    EXPECT_EQ(encoded(u"caf\u00E9 \u3042 \xDCE9"), "caf? ? \xE9");
}

TEST(LocaleText, JapaneseLocaleDecodesEachCharacterOrEscapesItsFirstByte) {
    const CharacterLocale locale("ja_JP.UTF-8");
    if (!locale.available()) {
        GTEST_SKIP() << "no ja_JP.UTF-8 locale";
    }
    // A truncated sequence gives up its first byte only; the next character
    // is read from the byte after it.
    EXPECT_EQ(decoded("\xE3\x81z\xE3\x81\x82"), u"\xDCE3\xDC81z\u3042");
    EXPECT_EQ(decoded(std::string_view("a\0b", 3)), std::u16string_view(u"a\0b", 3));
}

}  // namespace
}  // namespace platform::posix
