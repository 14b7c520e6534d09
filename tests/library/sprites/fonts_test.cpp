#include "vtrs2/compat.h"
#include "vtrs2/fonts.h"
#include "vtrs2/rle_codec.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace win32;

namespace {

struct FontRecord {
    BYTE header[12]{};
    LOGFONTW font{};
};

FontRecord Arial(LONG height) {
    FontRecord r;
    r.font.lfHeight = height;
    r.font.lfWeight = 700;
    std::memcpy(r.font.lfFaceName, u"Arial", 12);
    return r;
}

class Fonts : public testing::Test {
protected:
    void TearDown() override { FreeAllBanks(&banks); }
    ContextBanks banks{};
};

TEST_F(Fonts, ChecksumCoversReservedWordAndAnsiForm) {
    const FontRecord r = Arial(-12);
    const WORD h = AddFont(&banks, 0, &r);
    ASSERT_NE(h, 0);
    FontInfoW info{};
    ASSERT_EQ(GetFontInfoW(&banks, h, &info), 1);
    LOGFONTA narrow{};
    LogFontToNarrow(&narrow, &r.font);
    const DWORD reserved = 0;
    EXPECT_EQ(info.checksum, ContinueChecksum(&narrow, 60, ComputeItemChecksum(&reserved, 4)));
    EXPECT_EQ(info.refCount, 1u);
    EXPECT_EQ(info.dataSize, 0u);
    EXPECT_EQ(info.font.lfWeight, 700);
    EXPECT_EQ(GetBankItem(&banks, BankFonts, h)->headerSize, 112u);
    FontInfoA ansi{};
    ASSERT_EQ(GetFontInfoA(&banks, h, &ansi), 1);
    EXPECT_STREQ(ansi.font.lfFaceName, "Arial");
}

TEST_F(Fonts, EqualFontSharedOnlyWhenAsked) {
    const FontRecord a = Arial(-12), b = Arial(-12), c = Arial(-14);
    const WORD first = AddFont(&banks, AddFontDeduplicate, &a);
    EXPECT_EQ(AddFont(&banks, AddFontDeduplicate, &b), first);
    EXPECT_NE(AddFont(&banks, AddFontDeduplicate, &c), first);
    EXPECT_NE(AddFont(&banks, 0, &b), first);
    EXPECT_EQ(ReleaseFont(&banks, first), 1);
    EXPECT_EQ(AddFontRef(&banks, first), 2);
    // The ANSI form lands on the same font.
    struct {
        BYTE header[12]{};
        LOGFONTA font{};
    } narrow;
    LogFontToNarrow(&narrow.font, &a.font);
    EXPECT_EQ(AddFontA(&banks, AddFontDeduplicate, &narrow), first);
}

// What a GDI font was made from.
LOGFONTW MadeFrom(HFONT font) {
    LOGFONTW made{};
    GetFontObjectW(font, sizeof made, &made);
    return made;
}

TEST_F(Fonts, BankFontIsMadeFromTheItemsDescription) {
    const FontRecord r = Arial(-15);
    const WORD h = AddFont(&banks, 0, &r);
    HFONT font = CreateBankFont(&banks, h);
    ASSERT_NE(font, nullptr);
    const LOGFONTW made = MadeFrom(font);
    EXPECT_EQ(made.lfHeight, -15);
    EXPECT_EQ(made.lfWeight, 700);
    EXPECT_EQ(std::u16string(made.lfFaceName), u"Arial");
    DeleteFont(font);
    EXPECT_EQ(CreateBankFont(&banks, h + 1), nullptr);
    EXPECT_EQ(CreateBankFont(&banks, 0), nullptr);
    EXPECT_EQ(CreateBankFont(nullptr, h), nullptr);

    LogFont16 stored{};
    stored.height = -9;
    stored.italic = 1;
    std::memset(stored.faceName, 'y', sizeof stored.faceName); // not terminated inside the field
    font = CreateFontFromLogFont16(&stored);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(MadeFrom(font).lfHeight, -9);
    EXPECT_EQ(MadeFrom(font).lfItalic, 1);
    EXPECT_EQ(std::u16string(MadeFrom(font).lfFaceName), std::u16string(31, u'y'));
    DeleteFont(font);
    EXPECT_EQ(CreateFontFromLogFont16(nullptr), nullptr);
}

TEST(LogFont16, ConversionsKeepNumbersAndFaceName) {
    LogFont16 stored{};
    stored.height = -11;
    stored.weight = 400;
    stored.italic = 1;
    stored.pitchAndFamily = 0x22;
    std::memset(stored.faceName, 'x', sizeof stored.faceName); // not terminated inside the field
    std::memcpy(stored.faceName, "Tahoma", 6);
    LOGFONTW wide{};
    LogFont16ToLogFontW(&wide, &stored);
    EXPECT_EQ(wide.lfHeight, -11);
    EXPECT_EQ(wide.lfItalic, 1);
    EXPECT_EQ(wide.lfPitchAndFamily, 0x22);
    EXPECT_EQ(wide.lfFaceName[0], u'T');
    EXPECT_EQ(wide.lfFaceName[31], 0);
    LogFont16 back{};
    LogFontWToLogFont16(&back, &wide);
    EXPECT_EQ(back.weight, 400);
    EXPECT_EQ(std::memcmp(back.faceName, stored.faceName, 31), 0);
    LOGFONTA narrow{};
    LogFont16ToLogFontA(&narrow, &stored);
    EXPECT_EQ(std::memcmp(narrow.lfFaceName, stored.faceName, 32), 0);
}

} // namespace
