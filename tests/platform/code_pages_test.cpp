#include "support/param_names.h"
#include "win32/kernel.h"
#include "win32/user.h"

#include <gtest/gtest.h>

#include <string>

using namespace win32;

namespace {

std::u16string Decode(UINT cp, std::string_view bytes, DWORD flags = 0) {
    const int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string text(static_cast<size_t>(n), u'\0');
    if (n > 0) {
        EXPECT_EQ(
            MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), text.data(), n), n);
    }
    return text;
}

std::string Encode(UINT cp, std::u16string_view text, BOOL* usedDefault = nullptr,
                   LPCSTR defaultChar = nullptr) {
    const int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      defaultChar, usedDefault);
    std::string bytes(static_cast<size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                                      defaultChar, usedDefault),
                  n);
    }
    return bytes;
}

struct RoundTrip {
    UINT codePage;
    std::string bytes;
    std::u16string text;
};

class CodePageRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CodePageRoundTrip, BytesAndTextConvertBothWays) {
    const RoundTrip& c = GetParam();
    EXPECT_EQ(Decode(c.codePage, c.bytes), c.text);
    EXPECT_EQ(Encode(c.codePage, c.text), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsCodePages, CodePageRoundTrip,
    ::testing::Values(RoundTrip{1252, "caf\xE9 \x80 \x9F \x93q\x94",
                                u"caf\u00E9 \u20AC \u0178 \u201Cq\u201D"},
                      RoundTrip{0, "\xC4rger", u"\u00C4rger"}, // CP_ACP is 1252
                      RoundTrip{932, "\x82\xA0\x93\xFA\x96\x7B \xB1 A", u"\u3042\u65E5\u672C \uFF71 A"},
                      RoundTrip{65001, "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80", u"\u00E9\u65E5\U0001F600"},
                      RoundTrip{1251, "\xCF\xF0\xE8", u"\u041F\u0440\u0438"},
                      RoundTrip{936, "\xC4\xE3\xBA\xC3", u"\u4F60\u597D"},
                      RoundTrip{54936, "\x81\x30\x81\x30", u"\u0080"}),
    [](const auto& info) { return test_support::Numbered("CodePage", info.param.codePage); });

TEST(CodePages, EveryByteOf1252RoundTripsIncludingItsHoles) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::u16string text = Decode(1252, all);
    ASSERT_EQ(text.size(), all.size());
    EXPECT_EQ(text[0x81 - 1], u'\u0081');
    EXPECT_EQ(Encode(1252, text), all);
}

TEST(CodePages, UnmappableCharactersUseTheDefaultAndSaySo) {
    BOOL used = FALSE;
    EXPECT_EQ(Encode(1252, u"a\u65E5b", &used), "a?b");
    EXPECT_TRUE(used);
    EXPECT_EQ(Encode(1252, u"a\U0001F600b", &used, "#"), "a#b"); // one default for the surrogate pair
    EXPECT_EQ(Encode(1252, u"plain", &used), "plain");
    EXPECT_FALSE(used);
}

TEST(CodePages, MalformedUtf8BecomesReplacementUnlessStrict) {
    EXPECT_EQ(Decode(CP_UTF8, "a\xFF"
                              "b\xC0\xAF"),
              u"a\uFFFDb\uFFFD\uFFFD");
    EXPECT_EQ(Decode(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD"); // an encoded surrogate is no character
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    const char16_t lone[] = {u'x', 0xD800, u'y'};
    EXPECT_EQ(Encode(CP_UTF8, {lone, 3}), "x\xEF\xBF\xBDy");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 3, nullptr, 0, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(CodePages, TerminatorAndBufferSizesFollowTheCounts) {
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, nullptr, 0), 4); // with the terminator
    WCHAR wide[4];
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, wide, 4), 4);
    EXPECT_EQ(std::u16string(wide), u"abc");
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    char narrow[8];
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u3042", -1, narrow, 8, nullptr, nullptr), 3);
    EXPECT_STREQ(narrow, "\x82\xA0");
    EXPECT_EQ(WideCharToMultiByte(932, 0, u"\u3042", -1, narrow, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePages, UnknownCodePageAndBadArgumentsAreRefused) {
    WCHAR wide[8];
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "\xE9", 1, wide, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 0, wide, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WideCharToMultiByte(1252, 0, nullptr, 3, nullptr, 0, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// OEM text (code page 437) comes into the ANSI code page byte for byte, in place when asked.
TEST(CodePages, OemTextBecomesAnsi) {
    char out[8] = {};
    EXPECT_TRUE(OemToCharA("a\x82\x9C\xB0", out));
    EXPECT_EQ(std::string(out), "a\xE9\xA3?") << "e acute, pound, and a shade block 1252 lacks";
    char same[] = "\x81\x84";
    EXPECT_TRUE(OemToCharA(same, same));
    EXPECT_EQ(std::string(same), "\xFC\xE4");
    EXPECT_TRUE(OemToCharA("", out));
    EXPECT_EQ(out[0], 0);
    EXPECT_FALSE(OemToCharA(nullptr, out));
}

TEST(CodePages, SystemAnsiCodePageIsWesternEuropean) {
    EXPECT_EQ(GetACP(), 1252u);
}

TEST(Utf8Helpers, PathsRoundTripAndBadUnitsAreReplaced) {
    const std::u16string path = u"/tmp/\u00C9t\u00E9/\U0001F600.txt";
    EXPECT_EQ(FromUtf8(ToUtf8(path)), path);
    const char16_t lone[] = {0xDC00, u'a'};
    EXPECT_EQ(ToUtf8({lone, 2}), "\xEF\xBF\xBD"
                                 "a");
}

} // namespace
