// Transparent-run packing, and blits from a packed source against the same blits from the plain source.
#include "surface_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace win32;
using surface_test::MakeSurface;
using surface_test::Random;

namespace {

// Packs a plain surface with its own routines, as an image surface does when it stores packed data.
std::vector<BYTE> Pack(cSurfaceImplementation& plain) {
    BYTE header[12] = {};
    const DWORD total = plain.routines->MeasureRuns(header, plain.pixels, plain.width, plain.height,
                                                    plain.signedPitch, plain.transparentValue);
    std::vector<BYTE> encoding(total);
    std::copy(header, header + 12, encoding.begin());
    plain.routines->EncodeRuns(encoding.data(), plain.pixels, plain.width, plain.height, plain.signedPitch,
                               plain.transparentValue);
    return encoding;
}

std::vector<BYTE> RunBytesOfFirstRow(const std::vector<BYTE>& encoding, int height) {
    const std::size_t runs = 4 + 8u * static_cast<std::size_t>(height);
    const std::size_t pixels = 4 + (encoding[8] | (encoding[9] << 8));
    return std::vector<BYTE>(encoding.begin() + static_cast<std::ptrdiff_t>(runs),
                             encoding.begin() + static_cast<std::ptrdiff_t>(pixels));
}

TEST(RunPacking, SplitsLongRunsAndClosesTransparentRows) {
    struct Case {
        int width;
        int opaqueFrom, opaqueTo;
        std::vector<BYTE> runs;
    };
    const Case cases[] = {
        {600, 0, 0, {255, 0, 255, 0, 90, 0}},
        {300, 0, 0, {255, 0, 45, 0}},
        {255, 0, 255, {0, 255}},
        {10, 2, 5, {2, 3, 5, 0}},
    };
    for (const Case& c : cases) {
        auto s = MakeSurface(c.width, 1, 32);
        s->FillValue(0);
        if (c.opaqueTo > c.opaqueFrom)
            s->FillRectValue(c.opaqueFrom, 0, c.opaqueTo - c.opaqueFrom, 1, 0x123456);
        const std::vector<BYTE> encoding = Pack(*s->GetImplementation());
        EXPECT_EQ(RunBytesOfFirstRow(encoding, 1), c.runs) << c.width;
        const std::size_t total = encoding[0] | (encoding[1] << 8);
        EXPECT_EQ(total, encoding.size());
        EXPECT_EQ(total, 4 + 8 + c.runs.size() + 4u * static_cast<std::size_t>(c.opaqueTo - c.opaqueFrom));
    }
}

// A memory record whose pixels are a packed encoding.
class PackedView : public cBufferSurface {
public:
    PackedView(const cSurfaceImplementation& plain, std::vector<BYTE>& encoding) {
        SelectDepthRoutines(plain.depth);
        routines = GetPackedSourceRoutineTable(plain.depthIndex);
        width = plain.width;
        height = plain.height;
        clipRight = width;
        clipBottom = height;
        transparentColor = plain.transparentColor;
        transparentValue = plain.transparentValue;
        pixels = encoding.data();
    }
    ~PackedView() override { pixels = nullptr; }
    int LockPixels() override { return 1; }
    int IsPacked() override { return 1; }
};

class PackedAtEveryDepth : public ::testing::TestWithParam<int> {};

TEST_P(PackedAtEveryDepth, DrawsExactlyLikeThePlainSourceForEveryInk) {
    const int depth = GetParam();
    Random random(77);
    auto plain = MakeSurface(300, 5, depth);
    plain->FillValue(0);
    plain->SetColorKey(RGB(0, 0, 0x40));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 300; ++x)
            plain->SetPixel(x, y,
                            (x / 7 + y) % 3 == 0 || x > 280 ? RGB(0, 0, 0x40) : random.Next() & 0xFFFFFF);
    std::vector<BYTE> encoding = Pack(*plain->GetImplementation());
    PackedView packed(*plain->GetImplementation(), encoding);
    struct Rect {
        int x, y, sx, sy, w, h;
    };
    for (const Rect& r : {Rect{0, 0, 0, 0, 300, 5}, Rect{-3, 1, 5, 1, 200, 3}, Rect{10, 0, 250, 2, 60, 9}})
        for (int mode = 0; mode < 2; ++mode)
            for (int ink = 0; ink <= 12; ++ink) {
                SCOPED_TRACE(::testing::Message() << "mode " << mode << " ink " << ink << " x " << r.x);
                auto expected = MakeSurface(320, 8, depth);
                auto actual = MakeSurface(320, 8, depth);
                expected->FillValue(0);
                actual->FillValue(0);
                Random fill(5);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 320; ++x) {
                        const COLORREF c = fill.Next() & 0xFFFFFF;
                        expected->SetPixel(x, y, c);
                        actual->SetPixel(x, y, c);
                    }
                const DWORD parameter = ink == 1 ? 40 : 0x50112233;
                const int a = plain->GetImplementation()->Blit(expected->GetImplementation(), r.x, r.y, r.sx,
                                                               r.sy, r.w, r.h, mode, ink, parameter, 0);
                const int b = packed.Blit(actual->GetImplementation(), r.x, r.y, r.sx, r.sy, r.w, r.h, mode,
                                          ink, parameter, 0);
                ASSERT_EQ(a, b);
                ASSERT_EQ(0, std::memcmp(expected->LockPixels(), actual->LockPixels(),
                                         static_cast<std::size_t>(expected->GetPitch()) * 8));
            }
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, PackedAtEveryDepth, ::testing::Values(8, 15, 16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Depth" + std::to_string(info.param);
                         });

TEST(PackedSource, StopsAtTheEndOfACorruptEncoding) {
    auto plain = MakeSurface(20, 3, 32);
    plain->FillValue(0x00FFFFFF);
    std::vector<BYTE> encoding = Pack(*plain->GetImplementation());
    // Claim far longer runs than the encoding holds.
    for (std::size_t i = 4 + 24; i < encoding.size(); ++i)
        encoding[i] = 0xFF;
    PackedView packed(*plain->GetImplementation(), encoding);
    auto target = MakeSurface(20, 3, 32);
    EXPECT_EQ(packed.Blit(target->GetImplementation(), 0, 0, 0, 0, 20, 3, 0, 0, 0, 0), 1);
}

} // namespace
