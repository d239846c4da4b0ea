// The plain-name rule as a table of folded names, taken or refused.
#include "renamer/plain_name.h"

#include <gtest/gtest.h>

namespace {

struct FoldCase {
    std::u16string_view folded;
    bool taken;
};

TEST(SafeFold, RefusesFoldedNamesThatAreNotPlainNames) {
    const FoldCase cases[] = {
        {u"cafe.txt", true},    {u"___.txt", true},     {u"a b.txt", true},
        {u".hidden", true},     {u"x_y", true},         {u"COM10", true},
        {u"CONSOLE.txt", true}, {u"x\\y.txt", false},   {u"a/b.txt", false},
        {u"a:b", false},        {u"a*b", false},        {u"a?b", false},
        {u"a\"b", false},       {u"a<b", false},        {u"a>b", false},
        {u"a|b", false},        {u"a\tb", false},       {u"", false},
        {u".", false},          {u"..", false},         {u"name.", false},
        {u"name ", false},      {u"CON", false},        {u"con.txt", false},
        {u"Nul.tar.gz", false}, {u"COM1", false},       {u"lpt9.log", false},
        {u"COM\u00B9", false},  {u"CONIN$", false},     {u"aux", false},
        {u"NUL .txt", false},   {u"com2  .log", false}, {u"LPT\u00B3 .txt", false},
        {u"NUL x.txt", true},
    };
    for (const FoldCase& c : cases) {
        EXPECT_EQ(ansifold::isSafeFold(u"\uFFFForiginal", c.folded), c.taken)
            << std::string(c.folded.begin(), c.folded.end());
    }
}

TEST(SafeFold, ANameThatFoldsToItselfIsAlwaysTaken) {
    for (std::u16string_view name : {u"a:b", u"name.", u"CON", u"C:\\", u"/"}) {
        EXPECT_TRUE(ansifold::isSafeFold(name, name));
    }
}

}  // namespace
