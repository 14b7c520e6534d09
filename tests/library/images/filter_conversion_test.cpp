// The filter base class's read formats and the conversion of one pixel between depths, and the nearest
// palette entry.
#include "image_test_support.h"

namespace {

using namespace imagetest;

// A filter whose image is one pixel of a depth, with a small palette at 8 bits.
class OnePixel final : public CFilterImpl {
public:
    explicit OnePixel(int bits) {
        width = height = 1;
        depth = bits;
        ComputePitch();
        SetPaletteSize(3);
        palette->entries[0] = {0, 0, 0, 0};
        palette->entries[1] = {200, 40, 16, 0};
        palette->entries[2] = {8, 252, 96, 0};
    }
    void Release() override {}
    DWORD GetFilterID() override { return 0; }
    int QueryFilterA() override { return 0; }
    int CanRead(CInputFile*) override { return 0; }
    int BeginRead(CInputFile*) override { return 0; }
    int ReadImage(CInputFile*, BYTE*, int, BYTE*, int) override { return 0; }
};

struct Conversion {
    const char* name;
    int from, to;
    std::vector<BYTE> in, out;
};

std::string ConversionName(const ::testing::TestParamInfo<Conversion>& info) {
    return info.param.name;
}

class FilterConversions : public ::testing::TestWithParam<Conversion> {};

// Read palette: black, a red near entry 1, a green near entry 2.
LogPalette256 ReadPalette() {
    LogPalette256 p{};
    p.version = 0x300;
    p.count = 3;
    p.entries[0] = {0, 0, 0, 0};
    p.entries[1] = {8, 248, 100, 0};
    p.entries[2] = {196, 44, 20, 0};
    return p;
}

} // namespace

TEST_P(FilterConversions, APixelIsConvertedAsItsDepthsSay) {
    const Conversion c = GetParam();
    OnePixel filter(c.from);
    const LogPalette256 palette = ReadPalette();
    ASSERT_EQ(filter.SetReadFormat(c.to, c.to == 8 ? palette.Log() : nullptr), 0);
    std::vector<BYTE> out(c.out.size(), 0xAA);
    filter.ConvertPixels(out.data(), c.in.data(), 1);
    EXPECT_EQ(out, c.out);
}

INSTANTIATE_TEST_SUITE_P(Table, FilterConversions,
                         ::testing::Values(
                             // 5-6-5 red 31, green 63, blue 31 -> 5-5-5 drops the low green bit.
                             Conversion{"From16To15", 16, 15, {0xFF, 0xFF}, {0xFF, 0x7F}},
                             Conversion{"From15To16", 15, 16, {0xFF, 0x7F}, {0xDF, 0xFF}},
                             Conversion{"From15To24", 15, 24, {0x1F, 0x7C}, {0xF8, 0x00, 0xF8}},
                             Conversion{"From16To32", 16, 32, {0xE0, 0x07}, {0x00, 0xFC, 0x00, 0x00}},
                             Conversion{"From24To16", 24, 16, {0x0F, 0xFF, 0x80}, {0xE1, 0x87}},
                             Conversion{"From32To15", 32, 15, {0x08, 0x10, 0x20, 0x77}, {0x41, 0x10}},
                             Conversion{"From8To24ThroughThePalette", 8, 24, {1}, {16, 40, 200}},
                             Conversion{"From8To8ThroughTheNearestEntries", 8, 8, {1}, {2}},
                             Conversion{"From24To8ThroughTheNearestEntry", 24, 8, {96, 252, 8}, {1}},
                             Conversion{"From24To24IsACopy", 24, 24, {1, 2, 3}, {1, 2, 3}}),
                         ConversionName);

TEST(FilterReadFormat, OnlyPaletteAndTrueColourDepthsAreRead) {
    OnePixel filter(24);
    EXPECT_EQ(filter.SetReadFormat(8, nullptr), 14);
    EXPECT_EQ(filter.SetReadFormat(4, nullptr), 14);
    EXPECT_EQ(filter.SetReadFormat(32, nullptr), 0);
    EXPECT_EQ(filter.NeedsConversion(), 1);
    EXPECT_EQ(filter.SetReadFormat(24, nullptr), 0);
    EXPECT_EQ(filter.NeedsConversion(), 0);
    // An 8-bit image read with its own palette needs nothing.
    OnePixel indexed(8);
    EXPECT_EQ(indexed.SetReadFormat(8, indexed.GetPalette()), 0);
    EXPECT_EQ(indexed.NeedsConversion(), 0);
}

TEST(FilterPitch, RowsAreMeasuredByDepth) {
    OnePixel f(8);
    const std::pair<int, int> cases[] = {{1, 4}, {4, 9}, {8, 17}, {15, 34}, {16, 34}, {24, 51}, {32, 68}};
    for (auto [bits, row] : cases) {
        f.width = 17;
        f.depth = bits;
        f.ComputePitch();
        EXPECT_EQ(f.rowLength, row) << bits;
        EXPECT_EQ(f.GetImageSize(), row) << bits;
    }
}

TEST(NearestPaletteEntry, TheFirstOfTheClosestWinsAndAnExactMatchAtOnce) {
    LogPalette256 p{};
    p.count = 4;
    p.entries[0] = {10, 10, 10, 0};
    p.entries[1] = {20, 10, 10, 0};
    p.entries[2] = {0, 10, 10, 0};
    p.entries[3] = {15, 10, 10, 0};
    EXPECT_EQ(NearestPaletteEntry(p.Log(), 5, 10, 10), 0); // entries 0 and 2 are as close: the first
    EXPECT_EQ(NearestPaletteEntry(p.Log(), 15, 10, 10), 3);
    EXPECT_EQ(NearestPaletteEntry(p.Log(), 19, 10, 10), 1);
    EXPECT_EQ(NearestPaletteEntry(nullptr, 1, 2, 3), 0);
}
