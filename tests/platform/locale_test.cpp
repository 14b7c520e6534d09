#include "win32/kernel.h"

#include <gtest/gtest.h>

#include <string>

using namespace win32;

namespace {

struct LocaleCase {
    const char* name;
    LCID locale;
    const char* codePage;
};

std::string CodePageOf(LCID locale) {
    char text[6]{};
    const int written = GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text);
    return written > 0 ? std::string(text, static_cast<std::size_t>(written - 1)) : std::string("failed");
}

class LocaleCodePages : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleCodePages, ALanguageGivesItsAnsiCodePage) {
    EXPECT_EQ(CodePageOf(GetParam().locale), GetParam().codePage);
}

// Sub-languages that change the script pick their own page; the rest follow their primary language.
INSTANTIATE_TEST_SUITE_P(
    Languages, LocaleCodePages,
    ::testing::Values(LocaleCase{"French", 0x040C, "1252"}, LocaleCase{"FrenchCanada", 0x0C0C, "1252"},
                      LocaleCase{"German", 0x0407, "1252"}, LocaleCase{"Polish", 0x0415, "1250"},
                      LocaleCase{"Russian", 0x0419, "1251"}, LocaleCase{"Greek", 0x0408, "1253"},
                      LocaleCase{"Turkish", 0x041F, "1254"}, LocaleCase{"Hebrew", 0x040D, "1255"},
                      LocaleCase{"Arabic", 0x0401, "1256"}, LocaleCase{"Lithuanian", 0x0427, "1257"},
                      LocaleCase{"Vietnamese", 0x042A, "1258"}, LocaleCase{"Thai", 0x041E, "874"},
                      LocaleCase{"Japanese", 0x0411, "932"}, LocaleCase{"ChinesePrc", 0x0804, "936"},
                      LocaleCase{"ChineseTaiwan", 0x0404, "950"}, LocaleCase{"Korean", 0x0412, "949"},
                      LocaleCase{"Croatian", 0x041A, "1250"}, LocaleCase{"SerbianCyrillic", 0x0C1A, "1251"},
                      LocaleCase{"UserDefault", LOCALE_USER_DEFAULT, "1252"},
                      LocaleCase{"Neutral", 0, "1252"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Locales, UnknownLanguagesOtherTypesAndSmallBuffersFail) {
    char text[6] = "x";
    EXPECT_EQ(GetLocaleInfoA(0x0439, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text), 0) << "Hindi has none";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetLocaleInfoA(0x040C, 0x0002, text, sizeof text), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FLAGS);
    EXPECT_EQ(GetLocaleInfoA(0x040C, LOCALE_IDEFAULTANSICODEPAGE, nullptr, 0), 5) << "the size asked for";
    EXPECT_EQ(GetLocaleInfoA(0x040C, LOCALE_IDEFAULTANSICODEPAGE, text, 4), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(GetLocaleInfoA(0x0411, LOCALE_IDEFAULTANSICODEPAGE, text, 4), 4);
    EXPECT_STREQ(text, "932");
}

} // namespace
