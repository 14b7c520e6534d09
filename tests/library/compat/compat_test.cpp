#include "vtrs2/compat.h"
#include "vtrs2/compat_testing.h"
#include "vtrs2/memory.h"
#include "win32/resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

using namespace win32;

namespace {

constexpr StringResource Strings[] = {
    {7, u"Caf\u00E9 ouvert"}, {8, u"\u65E5\u672C"}, // not in code page 1252
};

} // namespace

WIN32_MODULE_RESOURCES = {Strings, std::size(Strings), nullptr, 0};

namespace {

// Puts the wrappers on one path for a test, and back on the one they were on.
struct ApiPathScope {
    explicit ApiPathScope(int wide) : previous(SetUseWideApi(wide)) {}
    ~ApiPathScope() { SetUseWideApi(previous); }
    int previous;
};

// Restores the conversion code page a test changed.
struct CodePageScope {
    explicit CodePageScope(UINT codePage) : previous(SetConversionCodePage(codePage)) {}
    ~CodePageScope() { SetConversionCodePage(previous); }
    UINT previous;
};

std::string Narrow(const WCHAR* text, int codePage) {
    char* block = ToNarrowString(text, codePage);
    if (!block) return "<null>";
    std::string result(block);
    FreeString(block);
    return result;
}

std::u16string Wide(const char* text, int codePage) {
    WCHAR* block = ToWideString(text, codePage);
    if (!block) return u"<null>";
    std::u16string result(block);
    FreeString(block);
    return result;
}

TEST(Wrappers, TakeTheAnsiPathUntilIsUnicodeOSChoosesTheWideCalls) {
    ApiPathScope before(0); // as at load, whatever ran earlier in this process
    const std::u16string folder = CreateUniqueTempFolder(u"compat");
    ASSERT_FALSE(folder.empty());
    const std::string host = ToUtf8(folder);
    std::ofstream(host + "/\xE6\x97\xA5\xE6\x9C\xAC.txt") << "x"; // "日本.txt"
    const std::u16string pattern = folder + u"/\u65E5\u672C.txt";

    // The ANSI path turns the name into "??.txt" under code page 1252: a pattern that still finds the file,
    // whose name comes back through the same code page.
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileCompat(nullptr, pattern.c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"??.txt");
    EXPECT_EQ(data.nFileSizeLow, 1u);
    EXPECT_FALSE(FindNextFileCompat(find, &data));
    FindClose(find);

    EXPECT_EQ(IsUnicodeOS(), 1);
    find = FindFirstFileCompat(nullptr, pattern.c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"\u65E5\u672C.txt");
    EXPECT_FALSE(FindNextFileCompat(find, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    FindClose(find);

    EXPECT_EQ(FindFirstFileCompat(nullptr, (folder + u"/*.none").c_str(), &data), INVALID_HANDLE_VALUE);
    std::filesystem::remove_all(host);
}

TEST(Wrappers, LoadLibraryFindsAModuleOnEitherPath) {
    ApiPathScope before(0);
    const std::u16string path = FromUtf8(VTR_BIN_DIR "/libvtrplatform.so");
    HMODULE ansi = LoadLibraryCompat(path.c_str());
    ASSERT_NE(ansi, nullptr);
    IsUnicodeOS();
    HMODULE wide = LoadLibraryCompat(path.c_str());
    EXPECT_EQ(wide, ansi);
    EXPECT_TRUE(FreeLibrary(wide));
    EXPECT_TRUE(FreeLibrary(ansi));
    EXPECT_EQ(LoadLibraryCompat(u"/nonexistent/none.dll"), nullptr);
}

TEST(Strings, NullAndEmptyStrings) {
    EXPECT_EQ(ToNarrowString(nullptr, -1), nullptr);
    EXPECT_EQ(ToWideString(nullptr, -1), nullptr);
    WCHAR* empty = ToWideString("", -1);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], 0);
    FreeString(empty);
    char* narrowEmpty = ToNarrowString(u"", -1);
    ASSERT_NE(narrowEmpty, nullptr);
    EXPECT_EQ(GetMemorySize(narrowEmpty), 3u);
    FreeString(narrowEmpty);
}

TEST(Strings, MinusOneMeansTheConversionCodePage) {
    EXPECT_EQ(GetConversionCodePage(), 0u); // the system's ANSI code page until set
    EXPECT_EQ(Narrow(u"caf\u00E9", -1), "caf\xE9");
    CodePageScope japanese(932);
    EXPECT_EQ(GetConversionCodePage(), 932u);
    EXPECT_EQ(Narrow(u"\u3042", -1), "\x82\xA0");
    EXPECT_EQ(Wide("\x82\xA0", -1), u"\u3042");
    EXPECT_EQ(Narrow(u"\u3042", CP_UTF8), "\xE3\x81\x82"); // an explicit code page wins
    EXPECT_EQ(SetConversionCodePage(1251), 932u);
    EXPECT_EQ(Wide("\xCF", -1), u"\u041F");
}

TEST(Strings, NarrowBlockHoldsTheTextForEveryCodePage) {
    struct Case {
        UINT codePage;
        char16_t unit;
        size_t bytesPerUnit;
    };
    // UTF-8 needs 3 bytes a unit, GB18030 4 for some characters: the block must hold all of them.
    for (const Case c : {Case{CP_UTF8, u'\u20AC', 3}, Case{54936, u'\u0080', 4}, Case{932, u'\u3042', 2}}) {
        const std::u16string text(100, c.unit);
        char* block = ToNarrowString(text.c_str(), static_cast<int>(c.codePage));
        ASSERT_NE(block, nullptr) << c.codePage;
        EXPECT_EQ(std::strlen(block), 100 * c.bytesPerUnit) << c.codePage;
        EXPECT_GE(GetMemorySize(block), std::max<size_t>(3 * 100 + 3, 100 * c.bytesPerUnit + 1));
        WCHAR* back = ToWideString(block, static_cast<int>(c.codePage));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(std::u16string(back), text) << c.codePage;
        FreeString(back);
        FreeString(block);
    }
}

TEST(Strings, UnknownCodePageGivesNull) {
    EXPECT_EQ(ToNarrowString(u"abc\u00E9", 12345), nullptr);
    EXPECT_EQ(ToWideString("abc\xE9", 12345), nullptr);
}

LOGFONTA SampleNarrowFont() {
    LOGFONTA font{};
    font.lfHeight = -13;
    font.lfWidth = 7;
    font.lfEscapement = 900;
    font.lfOrientation = 450;
    font.lfWeight = 700;
    font.lfItalic = 1;
    font.lfUnderline = 1;
    font.lfStrikeOut = 0;
    font.lfCharSet = 128;
    font.lfOutPrecision = 3;
    font.lfClipPrecision = 2;
    font.lfQuality = 4;
    font.lfPitchAndFamily = 0x22;
    std::strcpy(font.lfFaceName, "Caf\xE9 Sans");
    return font;
}

TEST(LogFonts, FieldsCopyAndFaceNamesConvertBothWays) {
    const LOGFONTA narrow = SampleNarrowFont();
    LOGFONTW wide;
    std::memset(&wide, 0x55, sizeof wide);
    LogFontToWide(&wide, &narrow);
    EXPECT_EQ(wide.lfHeight, -13);
    EXPECT_EQ(wide.lfWidth, 7);
    EXPECT_EQ(wide.lfEscapement, 900);
    EXPECT_EQ(wide.lfOrientation, 450);
    EXPECT_EQ(wide.lfWeight, 700);
    EXPECT_EQ(wide.lfItalic, 1);
    EXPECT_EQ(wide.lfCharSet, 128);
    EXPECT_EQ(wide.lfPitchAndFamily, 0x22);
    EXPECT_EQ(std::u16string(wide.lfFaceName), u"Caf\u00E9 Sans");
    EXPECT_EQ(wide.lfFaceName[31], 0); // the rest of the field is zeroed

    LOGFONTA back;
    std::memset(&back, 0x55, sizeof back);
    LogFontToNarrow(&back, &wide);
    EXPECT_EQ(std::memcmp(&back, &narrow, sizeof back), 0);
}

TEST(LogFonts, UnterminatedOrTooLongFaceNamesAreCutAndTerminated) {
    LOGFONTA narrow = SampleNarrowFont();
    std::memset(narrow.lfFaceName, 'A', sizeof narrow.lfFaceName); // no terminator in the field
    LOGFONTW wide;
    LogFontToWide(&wide, &narrow);
    EXPECT_EQ(std::u16string(wide.lfFaceName), std::u16string(31, u'A'));

    for (WCHAR& c : wide.lfFaceName)
        c = u'B';
    LOGFONTA back;
    LogFontToNarrow(&back, &wide);
    EXPECT_EQ(std::string(back.lfFaceName), std::string(31, 'B'));

    std::u16string name = u"\u65E5\u672C"; // not in code page 1252
    std::memset(wide.lfFaceName, 0, sizeof wide.lfFaceName);
    std::memcpy(wide.lfFaceName, name.data(), name.size() * sizeof(WCHAR));
    LogFontToNarrow(&back, &wide);
    EXPECT_STREQ(back.lfFaceName, "??");
}

class OnEitherPath : public testing::TestWithParam<int> {
protected:
    ApiPathScope path{GetParam()};
};

TEST_P(OnEitherPath, LoadStringCountsCharactersAndCutsToTheBuffer) {
    HMODULE self = GetModuleHandleW(nullptr);
    WCHAR buffer[32];
    EXPECT_EQ(LoadStringCompat(self, 7, buffer, 32), 11);
    EXPECT_EQ(std::u16string(buffer), u"Caf\u00E9 ouvert");
    EXPECT_EQ(LoadStringCompat(self, 7, buffer, 5), 4);
    EXPECT_EQ(std::u16string(buffer), u"Caf\u00E9");
    buffer[0] = u'x';
    EXPECT_EQ(LoadStringCompat(self, 99, buffer, 32), 0);
    EXPECT_EQ(buffer[0], 0) << "the buffer is emptied";
}

TEST_P(OnEitherPath, FontKeepsItsFieldsAndFaceName) {
    LOGFONTA narrow = SampleNarrowFont();
    LOGFONTW wide{};
    LogFontToWide(&wide, &narrow);
    HFONT font = CreateFontIndirectCompat(&wide);
    ASSERT_NE(font, nullptr);
    LOGFONTW made{};
    ASSERT_EQ(GetFontObjectW(font, sizeof made, &made), static_cast<int>(sizeof made));
    EXPECT_EQ(made.lfHeight, -13);
    EXPECT_EQ(made.lfWeight, 700);
    EXPECT_EQ(made.lfItalic, 1);
    EXPECT_EQ(std::u16string(made.lfFaceName), u"Caf\u00E9 Sans");
    DeleteFont(font);
    EXPECT_EQ(CreateFontIndirectCompat(nullptr), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Wrappers, OnEitherPath, testing::Values(1, 0),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param ? "WideCalls" : "AnsiCalls");
                         });

TEST(Wrappers, AnsiPathLosesWhatTheSystemCodePageLacks) {
    ApiPathScope ansi(0);
    WCHAR buffer[8];
    EXPECT_EQ(LoadStringCompat(GetModuleHandleW(nullptr), 8, buffer, 8), 2);
    EXPECT_EQ(std::u16string(buffer), u"??");
    LOGFONTW wide{};
    wide.lfHeight = -10;
    std::memcpy(wide.lfFaceName, u"\u65E5\u672C", 2 * sizeof(WCHAR));
    HFONT font = CreateFontIndirectCompat(&wide);
    ASSERT_NE(font, nullptr);
    LOGFONTW made{};
    GetFontObjectW(font, sizeof made, &made);
    EXPECT_EQ(std::u16string(made.lfFaceName), u"??") << "the ANSI call was made";
    DeleteFont(font);
    SetUseWideApi(1);
    EXPECT_EQ(LoadStringCompat(GetModuleHandleW(nullptr), 8, buffer, 8), 2);
    EXPECT_EQ(std::u16string(buffer), u"\u65E5\u672C");
}

TEST(Screen, VirtualScreenCoversThePrimaryDisplay) {
    RECT rect{-1, -1, -1, -1};
    GetVirtualScreenRect(&rect);
    // The dummy video driver has one display at the origin.
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_GT(rect.right, 0);
    EXPECT_GT(rect.bottom, 0);
}

} // namespace
