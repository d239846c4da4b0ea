// The ANSI code page chosen for a locale, language by language.
#include "platform/code_pages/locale_code_page.h"

#include <gtest/gtest.h>

namespace platform::code_pages {
namespace {

TEST(LocaleCodePage, FollowsLanguageAndScript) {
    struct Row {
        std::string_view locale;
        unsigned codePage;
    } const rows[] = {
        {"ja_JP.UTF-8", 932},
        {"ja", 932},
        {"zh_CN.UTF-8", 936},
        {"zh_SG.GBK", 936},
        {"zh_TW.UTF-8", 950},
        {"zh_HK.Big5-HKSCS", 950},
        {"ko_KR.eucKR", 949},
        {"th_TH.TIS-620", 874},
        {"cs_CZ.UTF-8", 1250},
        {"pl_PL", 1250},
        {"hu_HU.ISO-8859-2", 1250},
        {"sr_RS.UTF-8@latin", 1250},
        {"sr_RS@latin", 1250},
        {"sr_RS.UTF-8", 1251},
        {"ru_RU.KOI8-R", 1251},
        {"uk_UA.UTF-8", 1251},
        {"kk_KZ.UTF-8", 1251},
        {"uz_UZ.UTF-8", 1254},
        {"uz_UZ.UTF-8@cyrillic", 1251},
        {"el_GR.UTF-8", 1253},
        {"tr_TR.UTF-8", 1254},
        {"he_IL.UTF-8", 1255},
        {"iw_IL.UTF-8", 1255},
        {"ar_EG.UTF-8", 1256},
        {"fa_IR", 1256},
        {"lt_LT.UTF-8", 1257},
        {"et_EE", 1257},
        {"vi_VN.UTF-8", 1258},
        {"en_US.UTF-8", 1252},
        {"de_DE@euro", 1252},
        {"fr_CA.ISO-8859-1", 1252},
        {"C", 1252},
        {"C.UTF-8", 1252},
        {"POSIX", 1252},
        {"", 1252},
        // Only the language counts, not a prefix of it or its case.
        {"JA_JP.UTF-8", 932},
        {"jav_ID", 1252},
        {"sah_RU", 1251},
        {"sa_IN", 1252},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(codePageForLocale(row.locale), row.codePage) << row.locale;
    }
}

}  // namespace
}  // namespace platform::code_pages
