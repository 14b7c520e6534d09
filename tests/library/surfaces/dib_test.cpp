// Bitmaps and BMP files read into and written from surfaces.
#include "support/param_names.h"
#include "surface_test_support.h"
#include "vtrs2/memory.h"
#include "vtrs2/raw_files.h"
#include "vtrs2/streams.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace win32;
using surface_test::MakeSurface;
using surface_test::Random;

namespace {

// Named after the process too: the same test may run at once from another build.
std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "surfaces_" + std::to_string(::getpid()) + "_" + name;
}

void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Put16(std::vector<BYTE>& v, unsigned x) {
    v.push_back(static_cast<BYTE>(x));
    v.push_back(static_cast<BYTE>(x >> 8));
}
void Put32(std::vector<BYTE>& v, unsigned x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// A BMP file written by hand: file header, 40-byte info header, masks or colour table, then the bits.
std::vector<BYTE> HandBmp(int width, int height, int bits, unsigned compression,
                          std::initializer_list<unsigned> masks, std::initializer_list<BYTE> pixels,
                          unsigned gap = 0) {
    std::vector<BYTE> v = {'B', 'M'};
    const unsigned offset = 14 + 40 + 4 * static_cast<unsigned>(masks.size()) + gap;
    Put32(v, offset + static_cast<unsigned>(pixels.size()));
    Put32(v, 0);
    Put32(v, offset);
    Put32(v, 40);
    Put32(v, static_cast<unsigned>(width));
    Put32(v, static_cast<unsigned>(height));
    Put16(v, 1);
    Put16(v, static_cast<unsigned>(bits));
    Put32(v, compression);
    for (int i = 0; i < 5; ++i)
        Put32(v, 0);
    for (unsigned m : masks)
        Put32(v, m);
    v.insert(v.end(), gap, 0xEE);
    v.insert(v.end(), pixels);
    return v;
}

// Loads a file into a 32-bit surface and answers the result.
int Load(cSurface& surface, const std::vector<BYTE>& bytes, const std::string& name) {
    const std::string path = TempPath(name);
    WriteBytes(path, bytes);
    const int result = surface.LoadDibFile(path.c_str(), 0);
    std::remove(path.c_str());
    return result;
}

COLORREF PixelOf(cSurface& s, int x, int y) {
    COLORREF c = 0;
    s.GetPixel(x, y, c);
    return c;
}

TEST(BmpFile, ReadsHandWrittenBottomUpAndTopDownRows) {
    // 2 x 2, 24 bits, rows of 6 bytes padded to 8: bottom row first.
    const std::initializer_list<BYTE> rows = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0,
                                              0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0};
    auto s = MakeSurface(1, 1, 32);
    ASSERT_EQ(Load(*s, HandBmp(2, 2, 24, 0, {}, rows), "bottom_up.bmp"), 1);
    EXPECT_EQ(s->GetWidth(), 2);
    EXPECT_EQ(s->GetHeight(), 2);
    EXPECT_EQ(PixelOf(*s, 0, 1), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(*s, 1, 1), RGB(0, 255, 0));
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(PixelOf(*s, 1, 0), RGB(255, 255, 255));
    EXPECT_FALSE(s->HasAlphaPlane());
    ASSERT_EQ(Load(*s, HandBmp(2, -2, 24, 0, {}, rows), "top_down.bmp"), 1);
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(*s, 1, 1), RGB(255, 255, 255));
}

TEST(BmpFile, ReadsSixteenBitFormatsAndBitfields) {
    auto s = MakeSurface(1, 1, 24);
    ASSERT_EQ(Load(*s, HandBmp(1, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, {0x1F, 0xF8, 0, 0}), "565.bmp"), 1);
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(0xF8, 0, 0xF8));
    ASSERT_EQ(Load(*s, HandBmp(1, 1, 16, 0, {}, {0xE0, 0x03, 0, 0}), "555.bmp"), 1);
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(0, 0xF8, 0));
    // 32-bit bit fields: the masks sit between header and bits.
    ASSERT_EQ(Load(*s, HandBmp(1, 1, 32, 3, {0xFF0000, 0xFF00, 0xFF}, {0x30, 0x20, 0x10, 0xFF}), "bf32.bmp"),
              1);
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(Load(*s, HandBmp(1, 1, 16, 3, {0x7C00, 0x03E0, 0x001E}, {0, 0, 0, 0}), "badmask.bmp"), 0);
}

TEST(BmpFile, TakesFourthBytesAsAlphaUnlessAllEqualAndOpaqueOrZero) {
    auto s = MakeSurface(1, 1, 32);
    ASSERT_EQ(Load(*s, HandBmp(2, 1, 32, 0, {}, {1, 2, 3, 0x80, 4, 5, 6, 0xFF}), "alpha.bmp"), 1);
    ASSERT_TRUE(s->HasAlphaPlane());
    EXPECT_EQ(s->GetAlphaPlane()[0], 0x80);
    EXPECT_EQ(s->GetAlphaPlane()[1], 0xFF);
    ASSERT_EQ(Load(*s, HandBmp(2, 1, 32, 0, {}, {1, 2, 3, 0, 4, 5, 6, 0}), "zero.bmp"), 1);
    EXPECT_FALSE(s->HasAlphaPlane());
    ASSERT_EQ(Load(*s, HandBmp(2, 1, 32, 0, {}, {1, 2, 3, 255, 4, 5, 6, 255}), "opaque.bmp"), 1);
    EXPECT_FALSE(s->HasAlphaPlane());
}

TEST(BmpFile, HonoursTheFileHeaderOffsetToTheBits) {
    auto s = MakeSurface(1, 1, 32);
    ASSERT_EQ(Load(*s, HandBmp(1, 1, 24, 0, {}, {0x30, 0x20, 0x10, 0}, 6), "gap.bmp"), 1);
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(0x10, 0x20, 0x30));
}

TEST(BmpFile, RefusesBadFilesWithTheirErrorWords) {
    struct Case {
        const char* name;
        std::vector<BYTE> bytes;
        DWORD error;
    };
    std::vector<BYTE> truncated = HandBmp(4, 4, 24, 0, {}, {1, 2, 3});
    std::vector<BYTE> bigHeader = HandBmp(1, 1, 24, 0, {}, {0, 0, 0, 0});
    bigHeader[14] = 108;
    std::vector<BYTE> headerOnly(bigHeader.begin(), bigHeader.begin() + 20);
    const Case cases[] = {
        {"truncated", truncated, SurfaceErrorEndOfFile},
        {"v4header", bigHeader, SurfaceErrorNoDeviceContext},
        {"short", headerOnly, SurfaceErrorEndOfFile},
        {"rle8", HandBmp(1, 1, 8, 1, {}, {0, 0, 0, 0}), SurfaceErrorNoDeviceContext},
        {"huge", HandBmp(100000, 1, 24, 0, {}, {0, 0, 0, 0}), SurfaceErrorRefused},
        {"hugeheight", HandBmp(1, static_cast<int>(0x80000000u), 24, 0, {}, {0, 0, 0, 0}),
         SurfaceErrorRefused},
        {"notbmp", std::vector<BYTE>(60, 'x'), SurfaceErrorNoDeviceContext},
        {"shorttable", HandBmp(1, 1, 8, 0, {}, {0, 0, 0, 0}), SurfaceErrorEndOfFile},
    };
    for (const Case& c : cases) {
        auto s = MakeSurface(3, 3, 32);
        EXPECT_EQ(Load(*s, c.bytes, c.name), 0) << c.name;
        EXPECT_EQ(s->GetLastError(), c.error) << c.name;
        EXPECT_EQ(s->GetWidth(), 3) << c.name; // the surface is left as it was
    }
    auto s = MakeSurface(3, 3, 32);
    EXPECT_EQ(s->LoadDibFile(TempPath("missing.bmp").c_str(), 0), 0);
    EXPECT_EQ(s->GetLastError(), SurfaceErrorCannotOpen);
}

TEST(BmpFile, ReadsAHeaderWithoutFileHeader) {
    std::vector<BYTE> bytes = HandBmp(1, 1, 24, 0, {}, {0x30, 0x20, 0x10, 0});
    bytes.erase(bytes.begin(), bytes.begin() + 14);
    auto s = MakeSurface(1, 1, 32);
    ASSERT_EQ(Load(*s, bytes, "bare.bmp"), 1);
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(0x10, 0x20, 0x30));
}

class BmpRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(BmpRoundTrip, SavesAndLoadsEveryPixel) {
    const int depth = GetParam();
    Random random(static_cast<std::uint32_t>(depth));
    auto s = MakeSurface(7, 5, depth);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            s->SetPixel(x, y, random.Next() & 0xFFFFFF);
    const std::string path = TempPath("round_" + std::to_string(depth) + ".bmp");
    ASSERT_EQ(s->SaveDibFile(path.c_str()), 1);
    auto loaded = MakeSurface(1, 1, depth);
    ASSERT_EQ(loaded->LoadDibFile(path.c_str(), 0), 1);
    std::remove(path.c_str());
    ASSERT_EQ(loaded->GetWidth(), 7);
    ASSERT_EQ(loaded->GetHeight(), 5);
    EXPECT_FALSE(loaded->HasAlphaPlane());
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(PixelOf(*loaded, x, y), PixelOf(*s, x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpRoundTrip, ::testing::Values(15, 16, 24, 32),
                         [](const auto& info) { return test_support::Numbered("Bits", info.param); });

TEST(BmpFile, KeepsTheAlphaPlaneThroughASave) {
    auto s = MakeSurface(3, 1, 32);
    s->Fill(RGB(1, 2, 3));
    BYTE* alpha = s->AllocateAlphaPlane();
    alpha[0] = 0;
    alpha[1] = 100;
    alpha[2] = 255;
    const std::string path = TempPath("alpha_round.bmp");
    ASSERT_EQ(s->SaveDibFile(path.c_str()), 1);
    auto loaded = MakeSurface(1, 1, 32);
    ASSERT_EQ(loaded->LoadDibFile(path.c_str(), 0), 1);
    std::remove(path.c_str());
    ASSERT_TRUE(loaded->HasAlphaPlane());
    EXPECT_EQ(loaded->GetAlphaPlane()[1], 100);
    EXPECT_EQ(loaded->GetAlphaPlane()[2], 255);
}

TEST(Dib, BuildsHeadersAndSizes) {
    auto s = MakeSurface(5, 3, 16);
    std::vector<BYTE> info(52);
    ASSERT_EQ(s->BuildDib(reinterpret_cast<BITMAPINFO*>(info.data()), nullptr, 1), 1);
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(info.data());
    EXPECT_EQ(h->biBitCount, 16);
    EXPECT_EQ(h->biCompression, BI_BITFIELDS);
    EXPECT_EQ(h->biHeight, 3);
    EXPECT_EQ(h->biSizeImage, 36u);
    EXPECT_EQ(s->BuildDib(nullptr, nullptr, 0), 0);
    EXPECT_EQ(s->GetLastError(), SurfaceErrorNoDeviceContext);
    EXPECT_EQ(GetDibHeaderSize(8), 40 + 1024);
    EXPECT_EQ(GetDibHeaderSize(16), 52);
    EXPECT_EQ(GetDibHeaderSize(24), 40);
    EXPECT_EQ(GetDibSize(5, -3, 15), 40 + 3 * 12);
    EXPECT_EQ(s->GetDibSize(), 52 + 36);
}

} // namespace

namespace {

TEST(BmpStream, LoadsFromMemoryAndSavesWithoutFileHeader) {
    std::vector<BYTE> bytes = HandBmp(1, 1, 24, 0, {}, {0x30, 0x20, 0x10, 0});
    CInputMemFile input;
    ASSERT_EQ(input.Attach(bytes.data(), static_cast<LONG>(bytes.size())), StreamOk);
    auto s = MakeSurface(1, 1, 32);
    ASSERT_EQ(s->LoadDibFromStream(&input, 0, 0), 1);
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(0x10, 0x20, 0x30));
    COutputMemFile output;
    ASSERT_EQ(output.Create(64), StreamOk);
    ASSERT_EQ(s->SaveDibToStream(&output), 1);
    EXPECT_EQ(output.GetSize(), 40 + 4);
    std::unique_ptr<BYTE, void (*)(BYTE*)> saved(static_cast<BYTE*>(output.DetachBuffer()),
                                                 [](BYTE* p) { FreeMemoryBlock(p); });
    EXPECT_EQ(saved.get()[0], 40);
    EXPECT_EQ(saved.get()[14], 32); // bit count
    EXPECT_EQ(saved.get()[40], 0x30);
    EXPECT_EQ(saved.get()[43], 0xFF); // no alpha plane: opaque
}

// A bare info header and one pixel whose fourth byte is neither 0 nor 0xFF, so that the surface it is read
// into gets an alpha plane at every depth; the save keeps that alpha only where 32-bit pixels hold it.
std::vector<BYTE> HalfAlphaPixel() {
    std::vector<BYTE> bytes = HandBmp(1, 1, 32, 0, {}, {0x0A, 0x14, 0x1E, 0x80});
    bytes.erase(bytes.begin(), bytes.begin() + 14);
    return bytes;
}

std::vector<BYTE> SaveToMemory(cSurface& s) {
    COutputMemFile output;
    if (output.Create(64) != StreamOk || !s.SaveDibToStream(&output)) return {};
    const auto size = static_cast<std::size_t>(output.GetSize());
    std::unique_ptr<BYTE, void (*)(BYTE*)> saved(static_cast<BYTE*>(output.DetachBuffer()),
                                                 [](BYTE* p) { FreeMemoryBlock(p); });
    return std::vector<BYTE>(saved.get(), saved.get() + size);
}

struct AlphaRoundTripCase {
    int depth;
    bool alphaKept; // only 32-bit pixels have room for it
};

class BmpAlphaRoundTrip : public ::testing::TestWithParam<AlphaRoundTripCase> {};

TEST_P(BmpAlphaRoundTrip, SavesWhatWasLoadedWithAnAlphaPlane) {
    const auto [depth, alphaKept] = GetParam();
    const std::vector<BYTE> bytes = HalfAlphaPixel();
    CInputMemFile input;
    ASSERT_EQ(input.Attach(bytes.data(), static_cast<LONG>(bytes.size())), StreamOk);
    auto s = MakeSurface(1, 1, depth);
    ASSERT_EQ(s->LoadDibFromStream(&input, 0, 0), 1);
    const std::vector<BYTE> saved = SaveToMemory(*s);
    ASSERT_FALSE(saved.empty()) << "error word " << std::hex << s->GetLastError();
    ASSERT_EQ(saved.size(), static_cast<std::size_t>(GetDibSize(1, 1, depth)));
    EXPECT_EQ(saved[14], depth); // bit count

    CInputMemFile again;
    ASSERT_EQ(again.Attach(saved.data(), static_cast<LONG>(saved.size())), StreamOk);
    auto loaded = MakeSurface(1, 1, depth);
    ASSERT_EQ(loaded->LoadDibFromStream(&again, 0, 0), 1);
    EXPECT_EQ(PixelOf(*loaded, 0, 0), PixelOf(*s, 0, 0));
    ASSERT_EQ(loaded->HasAlphaPlane(), alphaKept);
    if (alphaKept) {
        EXPECT_EQ(std::vector<BYTE>(saved.end() - 4, saved.end()),
                  std::vector<BYTE>({0x0A, 0x14, 0x1E, 0x80}));
        EXPECT_EQ(loaded->GetAlphaPlane()[0], 0x80);
    }
}

// The colours themselves: 5-6-5 keeps the high bits of each, 32 bits all of them.
TEST(BmpStream, AHalfTransparentPixelKeepsItsColourAtSixteenAndThirtyTwoBits) {
    for (const auto& [depth, colour] :
         {std::pair{16, RGB(0x18, 0x14, 0x08)}, std::pair{32, RGB(0x1E, 0x14, 0x0A)}}) {
        const std::vector<BYTE> bytes = HalfAlphaPixel();
        CInputMemFile input;
        ASSERT_EQ(input.Attach(bytes.data(), static_cast<LONG>(bytes.size())), StreamOk);
        auto s = MakeSurface(1, 1, depth);
        ASSERT_EQ(s->LoadDibFromStream(&input, 0, 0), 1);
        EXPECT_EQ(PixelOf(*s, 0, 0), colour) << depth;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpAlphaRoundTrip,
                         ::testing::Values(AlphaRoundTripCase{8, false}, AlphaRoundTripCase{16, false},
                                           AlphaRoundTripCase{32, true}),
                         [](const auto& info) { return test_support::Numbered("Bits", info.param.depth); });

TEST(BmpStream, WideFileNamesAndRawPixelBlocks) {
    const std::string narrow = TempPath("wide.bmp");
    const std::u16string wide(narrow.begin(), narrow.end());
    auto s = MakeSurface(3, 2, 16);
    s->Fill(RGB(0xF8, 0, 0));
    ASSERT_EQ(s->SaveDibFileW(wide.c_str()), 1);
    auto loaded = MakeSurface(1, 1, 16);
    ASSERT_EQ(loaded->LoadDibFileW(wide.c_str(), 0), 1);
    EXPECT_EQ(PixelOf(*loaded, 2, 1), RGB(0xF8, 0, 0));
    HANDLE file = FileCreateRawA(narrow.c_str());
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(s->GetImplementation()->WritePixels(file), 1);
    FileSeekRaw(file, 0);
    loaded->Fill(0);
    EXPECT_EQ(loaded->GetImplementation()->ReadPixels(file), 1);
    EXPECT_EQ(PixelOf(*loaded, 1, 1), RGB(0xF8, 0, 0));
    EXPECT_EQ(loaded->GetImplementation()->ReadPixels(file), 0); // nothing left to read
    FileCloseRaw(file);
    std::remove(narrow.c_str());
}

} // namespace
