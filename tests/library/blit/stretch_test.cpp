// Stretches: the fast stretch picks source pixels exactly as its 16.16 stepping says, the smoothed one
// stays within a small tolerance of the kernel computed in floating point, and inks, keys and clipping go
// through as for blits.
#include "blit_support.h"
#include "vtrs2/surface_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace win32;
using namespace blit_test;

namespace {

// A source whose every pixel is distinct: red = x, green = y, blue = a tag.
std::unique_ptr<cSurface> Numbered(int w, int h) {
    auto s = MakeSurface(w, h, 32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s->SetPixel(x, y, RGB(static_cast<BYTE>(x), static_cast<BYTE>(y), 77));
    return s;
}

COLORREF At(const cSurface& s, int x, int y) {
    const reference::Pixel p = PixelAt(s, x, y);
    return RGB(p.red, p.green, p.blue);
}

// The source index that the fast stretch shows at destination index i. Each source row or pixel gives the
// destination the rows or pixels up to where the running step crosses the next whole number, so a reduced
// dimension shows the last row of each group; a reduced row shows the first pixel of each group.
int NearestIndex(int i, int destinationSize, int sourceSize, bool column = false) {
    if (destinationSize >= sourceSize || column)
        return static_cast<int>((static_cast<long long>(i + 1) * sourceSize + destinationSize - 1) /
                                destinationSize) -
               1;
    return static_cast<int>((static_cast<long long>(i) * sourceSize + destinationSize - 1) / destinationSize);
}

} // namespace

TEST(FastStretch, PicksTheSourcePixelsOfItsStepping) {
    struct Case {
        int sw, sh, dw, dh;
    };
    // Source sizes of powers of two keep the 16.16 steps exact; 3 -> 7 and 2 -> 5 are the classic cases.
    for (const Case c : {Case{16, 8, 40, 20}, Case{16, 8, 7, 3}, Case{8, 4, 24, 9}, Case{3, 2, 7, 5},
                         Case{32, 16, 31, 15}}) {
        SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " + std::to_string(c.dw) + "x" +
                     std::to_string(c.dh));
        auto s = Numbered(c.sw, c.sh);
        auto d = MakeSurface(c.dw + 4, c.dh + 4, 32);
        d->Fill(RGB(1, 2, 3));
        ASSERT_EQ(s->StretchBlit(*d, 2, 2, c.dw, c.dh, 0, 0, c.sw, c.sh, 0), 1);
        for (int y = 0; y < c.dh + 4; ++y)
            for (int x = 0; x < c.dw + 4; ++x) {
                const bool inside = x >= 2 && y >= 2 && x < c.dw + 2 && y < c.dh + 2;
                const COLORREF want = inside
                                          ? RGB(static_cast<BYTE>(NearestIndex(x - 2, c.dw, c.sw)),
                                                static_cast<BYTE>(NearestIndex(y - 2, c.dh, c.sh, true)), 77)
                                          : RGB(1, 2, 3);
                ASSERT_EQ(At(*d, x, y), want) << x << "," << y;
            }
    }
}

TEST(FastStretch, ClippedStretchDrawsTheSamePixelsInsideTheClip) {
    auto s = Numbered(8, 8);
    auto whole = MakeSurface(30, 30, 32), clipped = MakeSurface(30, 30, 32);
    whole->Fill(0);
    clipped->Fill(0);
    ASSERT_EQ(s->StretchBlit(*whole, -5, -3, 27, 21, 0, 0, 8, 8, 0), 1);
    clipped->SetClipRect(4, 3, 11, 9);
    ASSERT_EQ(s->StretchBlit(*clipped, -5, -3, 27, 21, 0, 0, 8, 8, 0), 1);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 4 && x < 15 && y >= 3 && y < 12;
            ASSERT_EQ(At(*clipped, x, y), inside ? At(*whole, x, y) : 0u) << x << "," << y;
        }
}

TEST(Stretch, EqualSizesGiveExactlyTheBlit) {
    Random random(7);
    const reference::Image image = RandomImage(9, 6, random, reference::Pixel{255, 0, 255, 0}, 4);
    auto s = SurfaceOf(image);
    auto a = MakeSurface(12, 9, 32), b = MakeSurface(12, 9, 32);
    a->Fill(RGB(5, 6, 7));
    b->Fill(RGB(5, 6, 7));
    ASSERT_EQ(s->StretchBlit(*a, 1, 2, 9, 6, 0, 0, 9, 6, 1, 1, 40, 1), 1);
    ASSERT_EQ(s->Blit(*b, 1, 2, 0, 0, 9, 6, 1, 1, 40, 0), 1);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(At(*a, x, y), At(*b, x, y));
}

TEST(Stretch, RefusesSourceRectanglesOutsideTheSourceAndBadModes) {
    auto s = Numbered(4, 4);
    auto d = MakeSurface(10, 10, 32);
    d->Fill(0);
    EXPECT_EQ(s->StretchBlit(*d, 0, 0, 8, 8, -1, 0, 4, 4, 0), 0);
    EXPECT_EQ(s->StretchBlit(*d, 0, 0, 8, 8, 0, 0, 5, 4, 0), 0);
    EXPECT_EQ(s->StretchBlit(*d, 0, 0, 8, 8, 0, 0, 4, 4, 2), 0);
    EXPECT_EQ(s->StretchBlit(*d, 0, 0, 8, 8, 0, 0, 4, 4, 0, 14), 0);
    EXPECT_EQ(s->StretchBlit(*d, 20, 20, 8, 8, 0, 0, 4, 4, 0), 0);       // wholly clipped
    EXPECT_EQ(s->StretchBlit(*d, 0, 0, 8, 8, 0, 0, 4, 4, 0, 1, 128), 1); // nothing to draw
    EXPECT_EQ(At(*d, 0, 0), 0u);
}

TEST(Stretch, KeyedInkedStretchEqualsStretchThenKeyedInkedBlit) {
    Random random(99);
    const reference::Pixel key{255, 0, 255, 0};
    const reference::Image image = RandomImage(8, 8, random, key, 3);
    auto s = SurfaceOf(image);
    auto d = MakeSurface(20, 20, 32), expected = MakeSurface(20, 20, 32), scaled = MakeSurface(16, 16, 32);
    d->Fill(RGB(40, 50, 60));
    expected->Fill(RGB(40, 50, 60));
    scaled->SetColorKey(RGB(255, 0, 255));
    ASSERT_EQ(s->StretchBlit(*scaled, 0, 0, 16, 16, 0, 0, 8, 8, 0), 1);
    ASSERT_EQ(scaled->Blit(*expected, 2, 2, 0, 0, 16, 16, 1, 9, 0), 1);
    ASSERT_EQ(s->StretchBlit(*d, 2, 2, 16, 16, 0, 0, 8, 8, 1, 9, 0), 1);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(At(*d, x, y), At(*expected, x, y)) << x << "," << y;
}

// ---- Smoothed stretch ------------------------------------------------------------------------------------

namespace {

// The resampling kernel in double precision, one dimension: out[j] from in[0..n).
std::vector<double> ReferenceResample(const std::vector<double>& in, int d) {
    const int s = static_cast<int>(in.size());
    const double k = static_cast<double>(d) / s, r = k < 1 ? 1 / k : 1, a = k < 1 ? k : 1;
    std::vector<double> out(static_cast<std::size_t>(d));
    for (int j = 0; j < d; ++j) {
        const double m = j / k;
        double sum = 0, total = 0;
        for (int i = std::max(0, static_cast<int>(std::floor(m - r)));
             i <= std::min(s - 1, static_cast<int>(std::ceil(m + r))); ++i) {
            const double t = std::fabs((m - i) * a);
            const double w = t < 1 ? (2 * (1 - t) * (1 - t) + (1 - t)) / 3 * a : 0;
            sum += w * in[static_cast<std::size_t>(i)];
            total += w;
        }
        out[static_cast<std::size_t>(j)] = sum / total;
    }
    return out;
}

} // namespace

TEST(SmoothStretch, StaysWithinTwoLevelsOfTheReferenceFilter) {
    struct Case {
        int sw, sh, dw, dh;
    };
    Random random(3);
    for (const Case c :
         {Case{16, 12, 32, 24}, Case{20, 10, 9, 4}, Case{13, 7, 40, 5}, Case{12, 12, 12, 30}}) {
        SCOPED_TRACE(std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " + std::to_string(c.dw) + "x" +
                     std::to_string(c.dh));
        auto s = MakeSurface(c.sw, c.sh, 32);
        std::vector<std::vector<double>> channel(static_cast<std::size_t>(c.sh), std::vector<double>(c.sw));
        for (int y = 0; y < c.sh; ++y)
            for (int x = 0; x < c.sw; ++x) {
                const BYTE v = static_cast<BYTE>(random.Next());
                channel[y][x] = v;
                s->SetPixel(x, y, RGB(v, v, v));
            }
        // Rows first, then columns, as the library does.
        std::vector<std::vector<double>> across;
        for (const auto& row : channel)
            across.push_back(ReferenceResample(row, c.dw));
        auto d = MakeSurface(c.dw, c.dh, 32);
        ASSERT_EQ(s->StretchBlit(*d, 0, 0, c.dw, c.dh, 0, 0, c.sw, c.sh, 0, 0, 0, 1), 1);
        for (int x = 0; x < c.dw; ++x) {
            std::vector<double> column;
            for (int y = 0; y < c.sh; ++y)
                column.push_back(across[y][x]);
            const std::vector<double> want = ReferenceResample(column, c.dh);
            for (int y = 0; y < c.dh; ++y)
                ASSERT_NEAR(GetRValue(At(*d, x, y)), want[static_cast<std::size_t>(y)], 2.0) << x << "," << y;
        }
    }
}

TEST(SmoothStretch, UniformImageStaysUniform) {
    auto s = MakeSurface(7, 5, 32);
    s->Fill(RGB(200, 100, 50));
    auto d = MakeSurface(23, 3, 32);
    ASSERT_EQ(s->StretchBlit(*d, 0, 0, 23, 3, 0, 0, 7, 5, 0, 0, 0, 1), 1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 23; ++x)
            ASSERT_EQ(At(*d, x, y), RGB(200, 100, 50));
}

TEST(SmoothStretch, TransparencyAwareSmoothingNeverBleedsTheKeyColour) {
    const COLORREF key = RGB(255, 0, 255);
    auto s = MakeSurface(8, 8, 32);
    s->Fill(key);
    s->SetColorKey(key);
    s->FillRect(2, 2, 4, 4, RGB(0, 200, 0));
    auto d = MakeSurface(20, 20, 32);
    d->Fill(RGB(10, 10, 10));
    ASSERT_EQ(s->StretchBlit(*d, 0, 0, 20, 20, 0, 0, 8, 8, 1, 0, 0, 2), 1);
    int green = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const COLORREF c = At(*d, x, y);
            ASSERT_TRUE(c == RGB(0, 200, 0) || c == RGB(10, 10, 10)) << x << "," << y << " " << std::hex << c;
            green += c == RGB(0, 200, 0);
        }
    EXPECT_NEAR(green, 100, 20); // the 4 x 4 square at 2.5 times
}

TEST(SmoothStretch, AlphaPlaneIsScaledAlong) {
    auto s = MakeSurface(4, 4, 32);
    s->Fill(RGB(90, 90, 90));
    cSurfaceImplementation* impl = s->GetImplementation();
    ASSERT_TRUE(impl->AllocateAlphaPlane());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            impl->AlphaRow(y)[x] = 255;
    auto d = MakeSurface(8, 8, 32);
    ASSERT_EQ(s->StretchBlit(*d, 0, 0, 8, 8, 0, 0, 4, 4, 0, 0, 0, 1 | 4), 1);
    ASSERT_TRUE(d->HasAlphaPlane());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(d->GetImplementation()->AlphaRow(y)[x], 255);
}

// The scaled picture is made in a surface of its own; nothing that surface's new memory held may reach the
// destination in the fourth bytes of the drawn pixels.
TEST(SmoothStretch, DrawnPixelsCarryAZeroFourthByte) {
    auto s = MakeSurface(9, 7, 32);
    s->Fill(RGB(30, 60, 90));
    s->SetColorKey(RGB(255, 0, 255));
    for (const int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        auto d = MakeSurface(40, 30, 32);
        BYTE* pixels = d->LockPixels();
        std::memset(pixels, 0xAB, static_cast<std::size_t>(d->GetPitch()) * 30);
        ASSERT_EQ(s->StretchBlit(*d, 0, 0, 32, 22, 0, 0, 9, 7, mode, 0, 0, 1), 1);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(pixels[static_cast<std::size_t>(y) * d->GetPitch() + 4 * x + 3],
                          x < 32 && y < 22 ? 0 : 0xAB)
                    << x << "," << y;
    }
}
