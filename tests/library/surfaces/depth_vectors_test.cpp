// Worked examples of the 8-, 15-, 16- and 24-bit routines and of the depth-independent rectangle routines,
// with values computed by hand: packing and unpacking, the black-stays-0 rule of conversions, packed-field
// arithmetic, run packing of three-byte pixels, stretch rows, moves, scans, the 4-bit expanders and
// bitmaps of fewer than 8 bits.
#include "surface_test_support.h"
#include "vtrs2/banks.h"
#include "vtrs2/palettes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace win32;
using surface_test::MakeSurface;

namespace {

DWORD Raw(cSurface& s, int x = 0, int y = 0) {
    cSurfaceImplementation& i = *s.GetImplementation();
    DWORD v = 0;
    std::memcpy(&v, i.Row(y) + x * i.bytesPerPixel, static_cast<std::size_t>(i.bytesPerPixel));
    return v;
}

TEST(PackedPixels, PackByTruncationAndReadBackWithLowBitsZero) {
    auto s16 = MakeSurface(1, 1, 16), s15 = MakeSurface(1, 1, 15);
    s16->SetPixel(0, 0, RGB(0, 0xFF, 0));
    s15->SetPixel(0, 0, RGB(0, 0xFF, 0));
    EXPECT_EQ(Raw(*s16), 0x07E0u);
    EXPECT_EQ(Raw(*s15), 0x03E0u);
    s15->SetPixel(0, 0, 0xFFFFFF);
    EXPECT_EQ(Raw(*s15), 0x7FFFu);
    COLORREF c = 0;
    s15->GetPixel(0, 0, c);
    EXPECT_EQ(c, 0xF8F8F8u);
    s16->FillValue(0xFFFF);
    s16->GetPixel(0, 0, c);
    EXPECT_EQ(c, 0xF8FCF8u);
    auto s24 = MakeSurface(1, 1, 24);
    BYTE* p = s24->LockPixels();
    p[0] = 0x30, p[1] = 0x20, p[2] = 0x10;
    s24->GetPixel(0, 0, c);
    EXPECT_EQ(c, 0x00302010u);
}

TEST(Conversions, OnlyBlackBecomesThePackedZero) {
    struct Case {
        const char* name;
        int from, to;
        DWORD source, expected;
    };
    const Case cases[] = {
        {"16 to 15, green 1", 16, 15, 0x0020, 1},
        {"16 to 15, black", 16, 15, 0x0000, 0},
        {"32 to 15, blue 1", 32, 15, 0x00000001, 1},
        {"32 to 16, blue 1", 32, 16, 0x00000001, 1},
        {"32 to 16, black", 32, 16, 0xFF000000, 0},
        {"24 to 32, fourth byte 0", 24, 32, 0x123456, 0x00123456},
        {"15 to 16", 15, 16, 0x7FFF, 0xFFDF},
        {"16 to 24", 16, 24, 0xF81F, 0xF800F8},
    };
    for (const Case& c : cases) {
        auto s = MakeSurface(1, 1, c.from), d = MakeSurface(1, 1, c.to);
        d->FillValue(c.to == 32 ? 0xAAAAAAAA : 0x5555);
        s->FillValue(c.source);
        ASSERT_EQ(s->Blit(*d, 0, 0, 0, 0, 1, 1, 0), 1) << c.name;
        EXPECT_EQ(Raw(*d), c.expected) << c.name;
    }
}

TEST(Conversions, PaletteIndexesConvertThroughTheirColours) {
    LogPalette256 log = *GetDefaultModePalette(3);
    log.entries[1] = {0, 0, 4, 0};
    log.entries[2] = {0x10, 0x20, 0x30, 0};
    SharedPalette* palette = GetSharedPalette(log.Log());
    auto s = MakeSurface(3, 1, 8);
    ASSERT_EQ(s->SetPalette(palette, 0), 1);
    BYTE* p = s->LockPixels();
    p[0] = 0, p[1] = 1, p[2] = 2;
    auto d15 = MakeSurface(3, 1, 15), d32 = MakeSurface(3, 1, 32);
    ASSERT_EQ(s->Blit(*d15, 0, 0, 0, 0, 3, 1, 0), 1);
    EXPECT_EQ(Raw(*d15, 0), 0u);
    EXPECT_EQ(Raw(*d15, 1), 1u) << "(0, 0, 4) packs to 0 but is not black";
    d32->FillValue(0xFFFFFFFF);
    ASSERT_EQ(s->Blit(*d32, 0, 0, 0, 0, 3, 1, 0), 1);
    EXPECT_EQ(Raw(*d32, 2), 0x00102030u) << "blue, green, red and a fourth byte 0";
    // And back: the nearest entry of the destination's palette.
    auto back = MakeSurface(3, 1, 8);
    back->SetPalette(palette, 0);
    ASSERT_EQ(d32->Blit(*back, 0, 0, 0, 0, 3, 1, 0), 1);
    EXPECT_EQ(Raw(*back, 2), 2u);
    EXPECT_EQ(Raw(*back, 0), 0u);
    ReleaseSharedPalette(palette);
}

struct InkVector {
    const char* name;
    int depth, ink;
    DWORD parameter, source, destination, expected;
};

TEST(InkVectors, GiveTheWorkedResultsAtEachDepth) {
    const InkVector vectors[] = {
        {"15-bit add saturates red alone", 15, 9, 0, 0x7C00, 0x0400, 0x7C00},
        {"16-bit add saturates six-bit green", 16, 9, 0, 0x07E0, 0x0020, 0x07E0},
        {"16-bit sub keeps what is left", 16, 11, 0, 0x0001, 0x0821, 0x0820},
        {"16-bit sub clamps every field", 16, 11, 0, 0x0821, 0x0001, 0x0000},
        {"15-bit blend of red over blue", 15, 1, 64, 0x7C00, 0x001F, 0x3C0F},
        {"15-bit invert flips bit 15", 15, 2, 0, 0x0000, 0x1234, 0xFFFF},
        {"8-bit xor on indexes", 8, 3, 0, 0x0F, 0xF0, 0xFF},
        {"8-bit invert", 8, 2, 0, 0x0F, 0x00, 0xF0},
        {"24-bit invert stays in three bytes", 24, 2, 0, 0x000001, 0x000000, 0xFFFFFE},
        {"24-bit sub clamps at 0", 24, 11, 0, 0x320000, 0x14000A, 0x00000A},
    };
    for (const InkVector& v : vectors) {
        auto s = MakeSurface(1, 1, v.depth), d = MakeSurface(1, 1, v.depth);
        s->FillValue(v.source);
        d->FillValue(v.destination);
        ASSERT_EQ(s->Blit(*d, 0, 0, 0, 0, 1, 1, 0, v.ink, v.parameter), 1) << v.name;
        EXPECT_EQ(Raw(*d), v.expected) << v.name;
    }
}

TEST(PixelRoutines, AnIndexFormColourNamesItsIndexAndFillsStopAtTheRowsEnd) {
    auto s = MakeSurface(2, 1, 8);
    s->SetPixel(1, 0, 0x010000FF);
    EXPECT_EQ(Raw(*s, 1), 0xFFu);
    // 33 pixels of a 15-bit row of 34 (68 bytes): the 34th stays.
    auto wide = MakeSurface(34, 2, 15);
    wide->FillValue(0x1111);
    ASSERT_EQ(wide->FillRect(0, 0, 33, 2, RGB(0xFF, 0, 0)), 1);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(Raw(*wide, 32, y), 0x7C00u);
        EXPECT_EQ(Raw(*wide, 33, y), 0x1111u);
    }
}

// The row bytes of a 300-pixel opaque 24-bit row: 255 opaque pixels split off, then 45.
TEST(RunPacking, ThreeBytePixelsSplitLongRunsAndKeepEveryByte) {
    auto s = MakeSurface(300, 1, 24);
    BYTE* row = s->LockPixels();
    for (int i = 0; i < 900; ++i)
        row[i] = static_cast<BYTE>(i * 7 + 1);
    cSurfaceImplementation& plain = *s->GetImplementation();
    plain.transparentValue = 0;
    BYTE header[12] = {};
    const DWORD total = plain.routines->MeasureRuns(header, plain.pixels, 300, 1, plain.signedPitch, 0);
    ASSERT_EQ(total, 4u + 8 + 4 + 900);
    std::vector<BYTE> encoding(total);
    std::memcpy(encoding.data(), header, 12);
    plain.routines->EncodeRuns(encoding.data(), plain.pixels, 300, 1, plain.signedPitch, 0);
    EXPECT_EQ(std::vector<BYTE>(encoding.begin() + 12, encoding.begin() + 16),
              (std::vector<BYTE>{0, 255, 0, 45}));
    EXPECT_EQ(0, std::memcmp(encoding.data() + 16, row, 900));
}

TEST(Stretch, RepeatsRowsAndPixelsByTheirSteps) {
    // 2 rows to 5: the second and later copies of a row are duplicates of it.
    auto tall = MakeSurface(1, 2, 8);
    tall->FillRectValue(0, 0, 1, 1, 0xA0);
    tall->FillRectValue(0, 1, 1, 1, 0xB1);
    auto rows = MakeSurface(1, 5, 8);
    ASSERT_EQ(tall->StretchBlit(*rows, 0, 0, 1, 5, 0, 0, 1, 2, 0), 1);
    const DWORD expectedRows[] = {0xA0, 0xA0, 0xB1, 0xB1, 0xB1};
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(Raw(*rows, 0, y), expectedRows[y]) << y;
    // 3 pixels to 7 (step 2.333): A A B B C C C, at 16 bits too.
    for (int depth : {8, 16}) {
        auto three = MakeSurface(3, 1, depth);
        for (int x = 0; x < 3; ++x)
            three->FillRectValue(x, 0, 1, 1, static_cast<DWORD>(0x41 + x));
        auto seven = MakeSurface(7, 1, depth);
        ASSERT_EQ(three->StretchBlit(*seven, 0, 0, 7, 1, 0, 0, 3, 1, 0), 1);
        const DWORD expected[] = {0x41, 0x41, 0x42, 0x42, 0x43, 0x43, 0x43};
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(Raw(*seven, x), expected[x]) << depth << " " << x;
    }
}

TEST(RectangleRoutines, MovesOverlappingRectanglesAndCopiesExactRows) {
    auto s = MakeSurface(4, 4, 8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            s->FillRectValue(x, y, 1, 1, static_cast<DWORD>(16 * y + x));
    // One row down onto itself, then one pixel right on the same rows.
    ASSERT_EQ(s->GetImplementation()->ScrollRect(0, 0, 0, 1, 4, 3), 1);
    EXPECT_EQ(Raw(*s, 2, 3), 0x22u);
    EXPECT_EQ(Raw(*s, 2, 1), 0x02u);
    ASSERT_EQ(s->GetImplementation()->ScrollRect(0, 1, 1, 1, 3, 3), 1);
    EXPECT_EQ(Raw(*s, 3, 3), 0x22u);
    EXPECT_EQ(Raw(*s, 1, 1), 0x00u);
    // A 7-byte row copy touches exactly 7 bytes of each row.
    auto from = MakeSurface(8, 2, 8), to = MakeSurface(8, 2, 8);
    from->FillValue(0x77);
    to->FillValue(0x11);
    ASSERT_EQ(from->Blit(*to, 0, 0, 0, 0, 7, 2, 0), 1);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(Raw(*to, 6, y), 0x77u);
        EXPECT_EQ(Raw(*to, 7, y), 0x11u);
    }
}

TEST(RectangleRoutines, OpaqueBoundsOfOnePixelAndOfNothing) {
    for (int depth : {8, 15, 24, 32}) {
        auto s = MakeSurface(6, 7, depth);
        s->FillValue(0);
        s->FillRectValue(3, 4, 1, 1, 0x21);
        RECT box{};
        ASSERT_EQ(s->GetImplementation()->GetOpaqueBounds(&box), 1) << depth;
        EXPECT_EQ(box.left, 3);
        EXPECT_EQ(box.top, 4);
        EXPECT_EQ(box.right, 4);
        EXPECT_EQ(box.bottom, 5);
        EXPECT_EQ(s->GetImplementation()->IsOpaque(), 0);
        s->FillValue(0);
        ASSERT_EQ(s->GetImplementation()->GetOpaqueBounds(&box), 1);
        EXPECT_EQ(box.right - box.left, 0) << "nothing, not an inverted box";
        EXPECT_EQ(box.bottom - box.top, 0);
        EXPECT_EQ(s->GetImplementation()->IsFullyTransparent(), 1);
        EXPECT_EQ(s->CropToContent(), 0);
    }
}

TEST(SurfacePalette, CopiesEntriesFromTheFirstAskedAndReportsTheCountAsked) {
    auto s = MakeSurface(1, 1, 8);
    PALETTEENTRY entries[10] = {};
    EXPECT_EQ(s->GetImplementation()->GetPaletteEntries(entries, 250, 10), 10);
    EXPECT_EQ(PaletteColor(entries[5]), RGB(255, 255, 255));
    EXPECT_EQ(PaletteColor(entries[6]), 0u) << "beyond the palette nothing is written";
    EXPECT_EQ(s->GetImplementation()->GetPaletteEntries(nullptr, 0, 0), 256);
    // Reads that the engine's filters and rotations make give colours, not indexes.
    s->FillValue(9);
    EXPECT_EQ(s->GetImplementation()->GetPixelColorFast(0, 0), RGB(0xA6, 0xCA, 0xF0));
    auto deep = MakeSurface(1, 1, 16);
    EXPECT_EQ(deep->SetPalette(s->GetImplementation()->palette, 0), 0);
    EXPECT_EQ(deep->GetLastError(), SurfaceErrorRefused);
}

TEST(SurfacePalette, SetPaletteWithRemapKeepsEveryPixelsColour) {
    LogPalette256 reversed = *GetDefaultModePalette(3);
    for (int i = 1; i < 256; ++i)
        reversed.entries[i] = GetDefaultModePalette(3)->entries[256 - i];
    SharedPalette* other = GetSharedPalette(reversed.Log());
    auto s = MakeSurface(2, 1, 8);
    s->FillRectValue(0, 0, 1, 1, 9);
    s->FillRectValue(1, 0, 1, 1, 200);
    ASSERT_EQ(s->SetPalette(other, 1), 1);
    EXPECT_EQ(Raw(*s, 0), 247u);
    EXPECT_EQ(Raw(*s, 1), 56u);
    EXPECT_EQ(s->GetImplementation()->palette, other);
    ReleaseSharedPalette(other);
}

// Bank images of 16 colours become 8-bit images: values 8-15 are the last eight entries.
TEST(FourBitImages, ExpandNibblesAndPlanesToEightBits) {
    ContextBanks banks{};
    const std::vector<BYTE> nibbles = {0x9F, 0x00}; // one row of ((2 + 3) & ~3) / 2 = 2 bytes
    const DWORD a = AddImage(&banks, 3, 2, 1, 0, 0, 0, 0, 0, 2, nibbles.data(), nibbles.size(), nullptr);
    ASSERT_NE(a, 0u);
    std::vector<BYTE> pixels(2);
    ASSERT_EQ(GetImageData(&banks, a, 0, pixels.data(), pixels.size()), 2u);
    EXPECT_EQ(pixels, (std::vector<BYTE>{249, 255}));
    // Planes: pixel 0 has bits 0 and 3 (value 9), pixel 1 bit 1 (value 2), a 2-byte plane each.
    const std::vector<BYTE> planes = {0x80, 0, 0x40, 0, 0x00, 0, 0x80, 0};
    const DWORD b = AddImage(&banks, 3, 2, 1, 0, 0, 0, 0, 0, 5, planes.data(), planes.size(), nullptr);
    ASSERT_NE(b, 0u);
    ASSERT_EQ(GetImageData(&banks, b, 0, pixels.data(), pixels.size()), 2u);
    EXPECT_EQ(pixels, (std::vector<BYTE>{249, 2}));
    // With a mask: a set top bit makes the pixel transparent, and opaque black takes the black index.
    const std::vector<BYTE> masked = {0x10, 0x00, 0x80, 0x00};
    const DWORD c = AddImage(&banks, 3, 2, 1, 0, 0, 0, 0, 0, 2 | 0x10, masked.data(), masked.size(), nullptr);
    ASSERT_NE(c, 0u);
    ASSERT_EQ(GetImageData(&banks, c, 0, pixels.data(), pixels.size()), 2u);
    EXPECT_EQ(pixels, (std::vector<BYTE>{0, 168}));
    FreeAllBanks(&banks);
}

// A bitmap in memory: header, colour table, rows.
std::vector<BYTE> LowBitBitmap(int bits, int width, std::vector<RGBQUAD> colours, std::vector<BYTE> rows) {
    std::vector<BYTE> dib(sizeof(BITMAPINFOHEADER) + 4 * colours.size());
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = -1;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bits);
    h.biClrUsed = static_cast<DWORD>(colours.size());
    std::memcpy(dib.data(), &h, sizeof h);
    std::memcpy(dib.data() + sizeof h, colours.data(), 4 * colours.size());
    dib.insert(dib.end(), rows.begin(), rows.end());
    return dib;
}

TEST(LowBitBitmaps, LoadAsIndexesFromTenUpward) {
    const std::vector<BYTE> oneBit = LowBitBitmap(1, 3, {{0, 0, 0, 0}, {255, 255, 255, 0}}, {0x40, 0, 0, 0});
    auto s = MakeSurface(1, 1, 8);
    // Taking the bitmap's own palette, nothing is remapped.
    ASSERT_EQ(s->LoadDib(reinterpret_cast<const BITMAPINFO*>(oneBit.data()), nullptr, 4), 1);
    ASSERT_EQ(s->GetWidth(), 3);
    EXPECT_EQ(Raw(*s, 0), 10u);
    EXPECT_EQ(Raw(*s, 1), 11u);
    const std::vector<BYTE> fourBit =
        LowBitBitmap(4, 3, {{0, 0, 0, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}}, {0x02, 0x10, 0, 0});
    auto colour = MakeSurface(1, 1, 32);
    ASSERT_EQ(colour->LoadDib(reinterpret_cast<const BITMAPINFO*>(fourBit.data()), nullptr, 0), 1);
    COLORREF c = 0;
    colour->GetPixel(1, 0, c);
    EXPECT_EQ(c, RGB(0, 255, 0)) << "value 2 is entry 12, the bitmap's third colour";
    colour->GetPixel(2, 0, c);
    EXPECT_EQ(c, RGB(255, 0, 0));
    colour->GetPixel(0, 0, c);
    EXPECT_EQ(c, 0u) << "value 0 stays entry 0";
    const std::vector<BYTE> twoBit = LowBitBitmap(2, 3, {{0, 0, 0, 0}}, {0, 0, 0, 0});
    EXPECT_EQ(colour->LoadDib(reinterpret_cast<const BITMAPINFO*>(twoBit.data()), nullptr, 0), 0);
    EXPECT_EQ(colour->GetLastError(), SurfaceErrorRefused);
}

TEST(PalettedBitmaps, SaveWithTheirColourTableAndLoadBack) {
    LogPalette256 log = *GetDefaultModePalette(3);
    log.entries[100] = {40, 50, 60, 0};
    SharedPalette* palette = GetSharedPalette(log.Log());
    auto s = MakeSurface(3, 2, 8);
    s->SetPalette(palette, 0);
    s->FillValue(100);
    s->FillRectValue(2, 1, 1, 1, 7);
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 1024);
    std::vector<BYTE> bits(8);
    ASSERT_EQ(s->BuildDib(reinterpret_cast<BITMAPINFO*>(info.data()), bits.data(), 0), 1);
    const auto* quads = reinterpret_cast<const RGBQUAD*>(info.data() + sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(quads[100].rgbRed, 40);
    EXPECT_EQ(quads[100].rgbBlue, 60);
    // Bottom-up rows: the last row comes first.
    EXPECT_EQ(bits[2], 7);
    EXPECT_EQ(bits[4], 100);
    // Loaded into an 8-bit surface with the default palette, the bitmap's colours come along.
    auto loaded = MakeSurface(1, 1, 8);
    ASSERT_EQ(loaded->LoadDib(reinterpret_cast<const BITMAPINFO*>(info.data()), bits.data(), 0), 1);
    COLORREF c = 0;
    loaded->GetPixel(0, 0, c);
    EXPECT_EQ(c, RGB(40, 50, 60));
    loaded->GetPixel(2, 1, c);
    EXPECT_EQ(c, RGB(0xC0, 0xC0, 0xC0));
    ReleaseSharedPalette(palette);
}

} // namespace
