// Blits of every ink, opaque and keyed, with and without the antialiasing pass, against the slow model of
// the blit followed by a pixel-by-pixel model of the 3 x 3 edge smoothing.
#include "blit_support.h"
#include "vtrs2/surface_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace win32;
using namespace blit_test;

namespace {

constexpr reference::Pixel Key{255, 0, 255, 0}; // magenta, blue-low

bool IsKey(const reference::Pixel& p, const reference::Pixel& key) {
    return p.red == key.red && p.green == key.green && p.blue == key.blue;
}

// Smooths the destination around the drawn shape: where the source (placed at x0, y0) is transparent but
// not inside a one-pixel gap, the colour becomes (12 centre + 2 per side + 1 per corner) / 24, neighbours
// where the source is transparent counting as the centre.
// With a black replacement (ink 6 with a colour), black source pixels are the transparent ones and black
// destination pixels count as the replacement colour.
void SmoothEdges(const reference::Image& source, reference::Image& destination, int x0, int y0, int left,
                 int top, int right, int bottom, const reference::Pixel* replacement = nullptr) {
    const reference::Image old = destination;
    const reference::Pixel transparent = replacement ? reference::Pixel{} : source.key;
    auto sourceTransparent = [&](int u, int v) {
        if (u < 0 || v < 0 || u >= source.width || v >= source.height) return IsKey(source.key, transparent);
        return IsKey(source.At(u, v), transparent);
    };
    auto oldAt = [&](int x, int y) {
        const reference::Pixel p = old.At(std::clamp(x, 0, old.width - 1), std::clamp(y, 0, old.height - 1));
        return replacement && IsKey(p, reference::Pixel{}) ? *replacement : p;
    };
    for (int y = std::max(top - 1, 0); y < std::min(bottom + 1, destination.height); ++y)
        for (int x = std::max(left - 1, 0); x < std::min(right + 1, destination.width); ++x) {
            const int u = x - x0, v = y - y0;
            if (!sourceTransparent(u, v)) continue;
            if (sourceTransparent(u, v - 1) && sourceTransparent(u, v + 1)) continue;
            if (sourceTransparent(u - 1, v) && sourceTransparent(u + 1, v)) continue;
            int sums[3] = {0, 0, 0};
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) {
                    const int weight = (i == 0 && j == 0) ? 12 : (i == 0 || j == 0) ? 2 : 1;
                    const reference::Pixel p =
                        (i || j) && sourceTransparent(u + i, v + j) ? oldAt(x, y) : oldAt(x + i, y + j);
                    sums[0] += weight * p.blue;
                    sums[1] += weight * p.green;
                    sums[2] += weight * p.red;
                }
            reference::Pixel& d = destination.At(x, y);
            d.blue = static_cast<BYTE>(sums[0] / 24);
            d.green = static_cast<BYTE>(sums[1] / 24);
            d.red = static_cast<BYTE>(sums[2] / 24);
        }
}

struct InkCase {
    int ink;
    DWORD parameter;
};

const InkCase inks[] = {{0, 0},
                        {0x1000, 0x80000000},
                        {0x1000, 0x00FFFFFF},
                        {1, 0},
                        {1, 64},
                        {1, 128},
                        {2, 0},
                        {3, 0},
                        {4, 0},
                        {5, 0},
                        {6, 0x40102030},
                        {8, 0},
                        {9, 0},
                        {10, 0},
                        {11, 0},
                        {12, 0x40000000},
                        {13, 0}};

struct Placement {
    int x, y;
};
const Placement placements[] = {{3, 2}, {-4, -3}, {14, 9}};

} // namespace

TEST(AntialiasedBlit, EveryInkMatchesTheModelWithAndWithoutTheEdgePass) {
    Random random(0xA11A5);
    for (const InkCase& ink : inks)
        for (int mode = 0; mode < 2; ++mode)
            for (int antialias = 0; antialias < 2; ++antialias)
                for (const Placement& at : placements) {
                    SCOPED_TRACE("ink " + std::to_string(ink.ink) + " parameter " +
                                 std::to_string(ink.parameter) + " mode " + std::to_string(mode) +
                                 " antialias " + std::to_string(antialias) + " at " + std::to_string(at.x) +
                                 "," + std::to_string(at.y));
                    reference::Image source = RandomImage(9, 7, random, Key, 3);
                    reference::Image destination =
                        RandomImage(20, 14, random, reference::Pixel{}, 5); // some black
                    auto s = SurfaceOf(source);
                    auto d = SurfaceOf(destination);
                    const reference::BlitCall call{at.x,    at.y,          0,        0, 9, 7, mode,
                                                   ink.ink, ink.parameter, antialias};
                    const int expected = reference::Blit(source, destination, call);
                    const bool drew = expected == 1 && !(ink.ink == 1 && ink.parameter == 128) &&
                                      !(ink.ink == 0x1000 && (ink.parameter >> 24) == 0);
                    const reference::Pixel replacement{static_cast<BYTE>(ink.parameter >> 16),
                                                       static_cast<BYTE>(ink.parameter >> 8),
                                                       static_cast<BYTE>(ink.parameter), 0};
                    if (antialias && drew)
                        SmoothEdges(source, destination, at.x, at.y, std::max(at.x, 0), std::max(at.y, 0),
                                    std::min(at.x + 9, 20), std::min(at.y + 7, 14),
                                    ink.ink == 6 ? &replacement : nullptr);
                    ASSERT_EQ(s->Blit(*d, at.x, at.y, 0, 0, 9, 7, mode, ink.ink, ink.parameter, antialias),
                              expected);
                    for (int y = 0; y < 14; ++y)
                        for (int x = 0; x < 20; ++x) {
                            const reference::Pixel got = PixelAt(*d, x, y), want = destination.At(x, y);
                            ASSERT_TRUE(got.red == want.red && got.green == want.green &&
                                        got.blue == want.blue)
                                << "pixel " << x << "," << y;
                        }
                }
}

TEST(AntialiasedBlit, EdgeSmoothingLeavesSolidAreasAndGapsAlone) {
    const COLORREF t = RGB(255, 0, 255);
    COLORREF d[9], s[9];
    for (int i = 0; i < 9; ++i)
        d[i] = RGB(static_cast<BYTE>(i * 10), 100, 200);
    for (auto& c : s)
        c = RGB(1, 2, 3);
    EXPECT_EQ(EdgeSmoothKeyed(d, s, t), d[4]); // the centre is part of the shape
    std::fill(std::begin(s), std::end(s), t);
    EXPECT_EQ(EdgeSmoothKeyed(d, s, t), d[4]); // nothing drawn around
    s[3] = RGB(1, 2, 3); // shape on the left only: transparent above and below, left alone
    EXPECT_EQ(EdgeSmoothKeyed(d, s, t), d[4]);
    s[1] = RGB(1, 2, 3); // shape on the left and above: an inner corner, smoothed
    EXPECT_EQ(GetRValue(EdgeSmoothKeyed(d, s, t)), (12 * 40 + 2 * (10 + 30 + 40 + 40) + 4 * 40) / 24);
    s[1] = t;
    s[5] = RGB(1, 2, 3); // shape left and right, transparent above and below: a one-pixel gap
    EXPECT_EQ(EdgeSmoothKeyed(d, s, t), d[4]);
}

TEST(AntialiasedBlit, BlackEdgeSmoothingReplacesBlackDestinationPixels) {
    COLORREF d[9] = {}, s[9] = {};
    s[1] = s[3] = RGB(9, 9, 9); // the shape above and left of the centre; the rest transparent (black)
    const COLORREF replacement = RGB(240, 0, 0);
    EXPECT_EQ(EdgeSmoothBlack(d, s, replacement), replacement); // every black neighbour counts as replaced
    s[4] = RGB(1, 1, 1);
    EXPECT_EQ(EdgeSmoothBlack(d, s, replacement), 0u); // centre drawn: unchanged
}

TEST(FilterPass, RefusesEmptyBlocksAndOtherDepths) {
    auto s = MakeSurface(4, 4, 32), d = MakeSurface(4, 4, 32), other = MakeSurface(4, 4, 24);
    auto pass = [](const COLORREF*, const COLORREF*, LPARAM) -> COLORREF { return 0; };
    EXPECT_EQ(s->BlitThroughFilter(*d, 0, 0, 0, 0, 4, 4, 0, 3, 1, 1, 1, 1, pass, 0), 0);
    EXPECT_EQ(s->BlitThroughFilter(*other, 0, 0, 0, 0, 4, 4, 3, 3, 1, 1, 1, 1, pass, 0), 0);
    EXPECT_EQ(s->BlitThroughFilter(*d, 0, 0, 0, 0, 4, 4, 3, 3, 1, 1, 1, 1, pass, 0), 1);
}

TEST(FilterPass, BlocksSeeTheOldDestinationClampedAtItsEdges) {
    auto s = MakeSurface(2, 1, 32), d = MakeSurface(3, 1, 32);
    d->SetPixel(0, 0, RGB(10, 0, 0));
    d->SetPixel(1, 0, RGB(20, 0, 0));
    d->SetPixel(2, 0, RGB(30, 0, 0));
    // Each pixel becomes the sum of the red of the old row around it: the first block reads (10, 10, 20).
    auto sumRed = [](const COLORREF* block, const COLORREF*, LPARAM) -> COLORREF {
        return RGB(GetRValue(block[0]) + GetRValue(block[1]) + GetRValue(block[2]), 0, 0);
    };
    ASSERT_EQ(s->BlitThroughFilter(*d, 0, 0, 0, 0, 2, 1, 3, 1, 1, 0, 0, 0, sumRed, 0), 1);
    COLORREF c;
    d->GetPixel(0, 0, c);
    EXPECT_EQ(GetRValue(c), 40);
    d->GetPixel(1, 0, c);
    EXPECT_EQ(GetRValue(c), 60);
    d->GetPixel(2, 0, c);
    EXPECT_EQ(GetRValue(c), 30); // outside the rectangle and its margin 0: untouched
}

TEST(BlockReaders, ClampOrGiveTheTransparentColourOutsideTheClip) {
    auto s = MakeSurface(2, 2, 32);
    s->SetPixel(0, 0, RGB(1, 0, 0));
    s->SetPixel(1, 0, RGB(2, 0, 0));
    s->SetPixel(0, 1, RGB(3, 0, 0));
    s->SetPixel(1, 1, RGB(4, 0, 0));
    s->SetColorKey(RGB(0, 0, 9));
    COLORREF block[4];
    ReadBlock(*s->GetImplementation(), 1, 1, 2, 2, block);
    EXPECT_EQ(block[0], RGB(4, 0, 0));
    EXPECT_EQ(block[1], RGB(4, 0, 0));
    EXPECT_EQ(block[3], RGB(4, 0, 0));
    ReadBlockClamped(*s->GetImplementation(), 1, 1, 2, 2, block);
    EXPECT_EQ(block[0], RGB(4, 0, 0));
    EXPECT_EQ(block[1], RGB(0, 0, 9));
    EXPECT_EQ(block[2], RGB(0, 0, 9));
}
