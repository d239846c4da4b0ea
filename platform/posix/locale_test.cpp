#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "platform/platform.h"

namespace platform {
namespace {

class SavedLocale {
public:
    SavedLocale() : saved_(std::setlocale(LC_ALL, nullptr)) {}
    ~SavedLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    SavedLocale(const SavedLocale&) = delete;
    SavedLocale& operator=(const SavedLocale&) = delete;

private:
    std::string saved_;
};

std::u16string text(const char16_t* name) {
    return name == nullptr ? u"<null>" : name;
}

TEST(Locale, SelectsAndReportsTheLocaleInForce) {
    SavedLocale const saved;
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::all, u"C.UTF-8")), u"C.UTF-8");
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C.UTF-8");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C")), u"C");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, nullptr)), u"C");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::all, u"no_SUCH.locale")), u"<null>");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C\u00E9")), u"<null>");
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
}

// A request is answered from memory only while its outcome is still in
// force; a change made behind its back is undone by asking again.
TEST(Locale, RepeatedRequestStillTakesEffect) {
    SavedLocale const saved;
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C.UTF-8")), u"C.UTF-8");
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C.UTF-8")), u"C.UTF-8");
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C.UTF-8");
    EXPECT_EQ(text(_wsetlocale(LocaleCategory::ctype, u"C.UTF-8")), u"C.UTF-8");
}

TEST(Strings, CompareLengthAndLowerCase) {
    EXPECT_EQ(lstrlenW(u"abc"), 3);
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrcmpW(u"abc", u"abc"), 0);
    EXPECT_LT(lstrcmpW(u"ab", u"abc"), 0);
    EXPECT_GT(lstrcmpW(u"b", u"abc"), 0);
    EXPECT_LT(lstrcmpW(u"B", u"a"), 0);  // ordinal: case counts
    EXPECT_GT(lstrcmpW(u"\uFF41", u"\u3042"), 0);
    struct Row {
        char16_t upper;
        char16_t lower;
    } const rows[] = {{u'A', u'a'},
                      {u'z', u'z'},
                      {u'I', u'i'},
                      {u'\u00C9', u'\u00E9'},
                      {u'\u0130', u'i'},
                      {u'\u0391', u'\u03B1'},
                      {u'\u0416', u'\u0436'},
                      {u'\uFF21', u'\uFF41'},
                      {u'\u3042', u'\u3042'},
                      {u'\xD800', u'\xD800'},
                      {u'1', u'1'}};
    for (const Row& row : rows) {
        EXPECT_EQ(CharLowerW(row.upper), row.lower) << static_cast<int>(row.upper);
    }
}

}  // namespace
}  // namespace platform
