// Fill objects and GDI shapes against references written here: gradient bands, tiles laid by modulo at
// random offsets, ellipse, polygon and rectangle coverage with right and bottom edges left out, and the
// DC-to-DC copy.
#include "support/section_dc.h"
#include "surface_test_support.h"

#include "vtrs2/fills.h"
#include "vtrs2/gdi_drawing.h"
#include "vtrs2/surface_prototypes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

using namespace win32;
using surface_test::MakeSurface;
using surface_test::Random;

namespace {

COLORREF At(cSurface& s, int x, int y) {
    COLORREF c = 0;
    s.GetImplementation()->GetPixel(x, y, c);
    return c & 0xFFFFFF;
}

// A 32-bit surface whose device context GDI draws through.
std::unique_ptr<cSurface> DcSurface(int width, int height) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, PublicTypeDib, DriverKindNone);
    auto s = std::make_unique<cSurface>();
    if (prototype) s->Create(width, height, prototype);
    return s;
}

// Gradient colour of band i out of n: each channel of the first colour plus i n-ths of the difference.
COLORREF BandColour(COLORREF a, COLORREF b, long long i, long long n) {
    COLORREF c = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int from = static_cast<int>((a >> shift) & 0xFF), to = static_cast<int>((b >> shift) & 0xFF);
        c |= static_cast<COLORREF>(static_cast<long long>(from + static_cast<double>(i) * (to - from) / n) &
                                   0xFF)
             << shift;
    }
    return c;
}

int Steps(COLORREF a, COLORREF b) {
    int n = 1;
    for (int shift = 0; shift < 24; shift += 8)
        n = std::max(n,
                     std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return n;
}

struct GradientCase {
    const char* name;
    COLORREF first, second;
    bool vertical;
    int width, height;
};

class Gradient : public ::testing::TestWithParam<GradientCase> {};

// Every pixel of the rectangle has the colour of the band its row (or column) falls in; both the memory
// surface (painted by the library) and the DC surface (painted through GDI) show the same bands.
TEST_P(Gradient, PaintsBandsOverTheRectangleOnEverySurfaceKind) {
    const GradientCase& c = GetParam();
    const int n = Steps(c.first, c.second);
    std::unique_ptr<cSurface> surfaces[] = {MakeSurface(c.width + 4, c.height + 4, 32),
                                            DcSurface(c.width + 4, c.height + 4)};
    for (auto& surface : surfaces) {
        ASSERT_TRUE(surface->HasImplementation());
        surface->Fill(RGB(1, 2, 3));
        CFillDir fill(c.first, c.second, c.vertical);
        ASSERT_EQ(fill.Fill(surface.get(), 2, 2, 2 + c.width, 2 + c.height, 0), 1);
        const int extent = c.vertical ? c.height : c.width;
        for (int y = 0; y < c.height + 4; ++y)
            for (int x = 0; x < c.width + 4; ++x) {
                const bool inside = x >= 2 && y >= 2 && x < 2 + c.width && y < 2 + c.height;
                COLORREF expected = RGB(1, 2, 3);
                if (inside) {
                    const long long at = c.vertical ? y - 2 : x - 2;
                    long long band = 0;
                    while ((band + 1) * extent / n <= at)
                        ++band;
                    expected = BandColour(fill.first, fill.second, band, n);
                }
                ASSERT_EQ(At(*surface, x, y), expected) << c.name << " at " << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bands, Gradient,
    ::testing::Values(GradientCase{"RedToBlueDown", RGB(255, 0, 0), RGB(0, 0, 255), true, 7, 300},
                      GradientCase{"BlueSteps255", RGB(1, 0, 0), RGB(1, 0, 255), false, 100, 3},
                      GradientCase{"FewerRowsThanBands", RGB(0, 200, 10), RGB(40, 0, 10), true, 5, 17},
                      GradientCase{"OneStepForOneColour", RGB(9, 9, 9), RGB(9, 9, 9), false, 13, 4}),
    [](const auto& info) { return info.param.name; });

TEST(Gradient, AvoidsBlackInDarkBandsAndNeverStoresBlack) {
    EXPECT_EQ(AvoidBlack(RGB(3, 5, 5)), RGB(8, 5, 5));
    EXPECT_EQ(AvoidBlack(RGB(1, 2, 7)), RGB(1, 2, 8));
    EXPECT_EQ(AvoidBlack(RGB(1, 6, 2)), RGB(1, 8, 2));
    EXPECT_EQ(AvoidBlack(RGB(9, 0, 0)), RGB(9, 0, 0));
    CFillFlat flat(0);
    EXPECT_EQ(flat.colour, RGB(8, 0, 0));
    auto s = MakeSurface(4, 8, 32);
    CFillDir dark(RGB(0, 0, 0), RGB(0, 0, 7), true);
    dark.Fill(s.get(), 0, 0, 4, 8, 1);
    for (int y = 0; y < 8; ++y) {
        const COLORREF c = At(*s, 0, y);
        EXPECT_GT(std::max({GetRValue(c), GetGValue(c), GetBValue(c)}), 7) << y;
    }
}

TEST(Gradient, AnEmptySurfaceOrHeightPaintsNothing) {
    auto s = MakeSurface(8, 8, 32);
    s->Fill(RGB(5, 5, 5));
    CFillDir fill(RGB(0, 0, 255), RGB(255, 0, 0), true, 0, 13);
    EXPECT_EQ(fill.FillSurface(s.get(), 8, 0, 0), 1);
    EXPECT_EQ(At(*s, 3, 3), RGB(5, 5, 5));
    // Laid over the whole surface with an origin, every row still gets a colour of the gradient.
    EXPECT_EQ(fill.FillSurface(s.get(), 8, 8, 0), 1);
    for (int y = 0; y < 8; ++y)
        EXPECT_NE(At(*s, 3, y), RGB(5, 5, 5)) << y;
}

// The tile repeats by modulo from minus the offset, of any sign, and nothing outside the rectangle changes.
TEST(Mosaic, TilesTheRectangleByModuloAtRandomOffsets) {
    auto tile = MakeSurface(5, 3, 32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            tile->SetPixel(x, y, RGB(10 + x, 20 + y, 30));
    Random random(7);
    for (int round = 0; round < 40; ++round) {
        const int ox = random.Below(41) - 20, oy = random.Below(41) - 20;
        const int left = random.Below(10), top = random.Below(10);
        const int right = left + 1 + random.Below(20), bottom = top + 1 + random.Below(14);
        auto s = MakeSurface(32, 26, 32);
        s->Fill(RGB(1, 1, 1));
        CFillMosaic mosaic(tile.get(), ox, oy);
        ASSERT_EQ(mosaic.Fill(s.get(), left, top, right, bottom, 0), 1);
        for (int y = 0; y < 26; ++y)
            for (int x = 0; x < 32; ++x) {
                const bool inside = x >= left && x < right && y >= top && y < bottom;
                const int tx = ((ox + x) % 5 + 5) % 5, ty = ((oy + y) % 3 + 3) % 3;
                ASSERT_EQ(At(*s, x, y), inside ? RGB(10 + tx, 20 + ty, 30) : RGB(1, 1, 1))
                    << "offset " << ox << "," << oy << " at " << x << "," << y;
            }
    }
}

TEST(Mosaic, WithoutATileOrWithAnEmptyOneNothingIsPainted) {
    auto s = MakeSurface(8, 8, 32);
    CFillMosaic none(nullptr);
    EXPECT_EQ(none.Fill(s.get(), 0, 0, 8, 8, 0), 0);
    cSurface empty;
    CFillMosaic emptyTile(&empty);
    EXPECT_EQ(emptyTile.Fill(s.get(), 0, 0, 8, 8, 0), 0);
}

// Pixel centres inside the ellipse inscribed in the box, worked out in integers.
bool InEllipse(const RECT& b, int x, int y) {
    const long long w = b.right - b.left, h = b.bottom - b.top;
    if (w <= 0 || h <= 0 || x < b.left || x >= b.right || y < b.top || y >= b.bottom) return false;
    const long long d = 2LL * x + 1 - (b.left + b.right), e = 2LL * y + 1 - (b.top + b.bottom);
    return static_cast<__int128>(d) * d * h * h + static_cast<__int128>(e) * e * w * w <=
           static_cast<__int128>(w) * w * h * h;
}

// Alternate rule at pixel centres: crossings of the edges right of the centre, left edges inclusive.
bool InPolygon(const std::vector<POINT>& p, int x, int y) {
    bool inside = false;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const POINT a = p[i], b = p[(i + 1) % p.size()];
        if (a.y == b.y) continue;
        const long long yc = 2LL * y + 1;
        if (yc < 2LL * std::min(a.y, b.y) || yc >= 2LL * std::max(a.y, b.y)) continue;
        // crossing x (doubled) compared with the centre 2x + 1: crossing > centre counts.
        const long long num = 2LL * a.x * (b.y - a.y) + (yc - 2LL * a.y) * (b.x - a.x);
        const long long den = b.y - a.y;
        const long long centre = (2LL * x + 1) * den;
        if (den > 0 ? num > centre : num < centre) inside = !inside;
    }
    return inside;
}

void ExpectPicture(const vtrtest::SectionDc& dc, const std::function<COLORREF(int, int)>& expected,
                   const char* what) {
    int wrong = 0;
    for (int y = 0; y < dc.height; ++y)
        for (int x = 0; x < dc.width; ++x) {
            const COLORREF shown = GetPixel(dc.dc, x, y);
            if (shown != expected(x, y) && wrong++ < 5)
                ADD_FAILURE() << what << " at " << x << "," << y << ": " << std::hex << shown << " expected "
                              << expected(x, y);
        }
    EXPECT_EQ(wrong, 0) << what;
}

constexpr COLORREF Paper = RGB(200, 200, 200), Ink = RGB(200, 0, 0), Pen = RGB(0, 0, 200);

struct ShapeCase {
    const char* name;
    RECT box;
    int pen;
    bool filled;
};

class Shapes : public ::testing::TestWithParam<ShapeCase> {
protected:
    void SetUp() override {
        RECT all{0, 0, dc_.width, dc_.height};
        FillRectSolid(dc_.dc, &all, Paper);
    }
    vtrtest::SectionDc dc_{48, 40};
};

// The outline of width w keeps inside the box: the ring between the box's ellipse and the one inset by w.
TEST_P(Shapes, EllipseCoversThePixelCentresInsideItsBox) {
    const ShapeCase& c = GetParam();
    GdiEllipse(dc_.dc, c.box.left, c.box.top, c.box.right, c.box.bottom, Ink, c.pen, Pen, c.filled);
    const RECT outer = c.box;
    const RECT inner =
        c.pen ? RECT{outer.left + c.pen, outer.top + c.pen, outer.right - c.pen, outer.bottom - c.pen}
              : outer;
    ExpectPicture(
        dc_,
        [&](int x, int y) {
            const bool in = InEllipse(inner, x, y);
            if (c.filled && in) return Ink;
            if ((c.pen || !c.filled) && InEllipse(outer, x, y) && !(c.pen && in)) return Pen;
            return Paper;
        },
        c.name);
}

TEST_P(Shapes, RectangleBandsLieInsideTheBoxAndAFillWithoutPenCoversIt) {
    const ShapeCase& c = GetParam();
    GdiRectangle(dc_.dc, c.box.left, c.box.top, c.box.right, c.box.bottom, Ink, c.pen, Pen, c.filled);
    const int w = c.filled ? c.pen : std::max(1, c.pen);
    ExpectPicture(
        dc_,
        [&](int x, int y) {
            const bool inBox = x >= c.box.left && x < c.box.right && y >= c.box.top && y < c.box.bottom;
            const bool inInside =
                x >= c.box.left + w && x < c.box.right - w && y >= c.box.top + w && y < c.box.bottom - w;
            if (!inBox) return Paper;
            if (!inInside) return Pen;
            return c.filled ? Ink : Paper;
        },
        c.name);
}

INSTANTIATE_TEST_SUITE_P(Boxes, Shapes,
                         ::testing::Values(ShapeCase{"ThinOutline", {3, 4, 40, 30}, 1, false},
                                           ShapeCase{"ThickFilled", {2, 1, 45, 38}, 5, true},
                                           ShapeCase{"EvenPenFilled", {6, 6, 31, 22}, 4, true},
                                           ShapeCase{"FilledWithoutPen", {1, 2, 20, 39}, 0, true},
                                           ShapeCase{"NarrowBox", {10, 3, 12, 30}, 1, true}),
                         [](const auto& info) { return info.param.name; });

TEST(ShapesFixed, AFivePixelPenOverAHundredSquareDrawsTheEllipseTwoToNinetyEight) {
    vtrtest::SectionDc dc(100, 100);
    GdiEllipse(dc.dc, 0, 0, 100, 100, 0, 5, Pen, 0);
    // Pen centred on the ellipse of (2, 2, 98, 98): it reaches the box's edges and no further.
    EXPECT_EQ(GetPixel(dc.dc, 0, 50), Pen);
    EXPECT_EQ(GetPixel(dc.dc, 99, 50), Pen);
    EXPECT_EQ(GetPixel(dc.dc, 50, 0), Pen);
    EXPECT_EQ(GetPixel(dc.dc, 50, 99), Pen);
    EXPECT_EQ(GetPixel(dc.dc, 50, 50), RGB(0, 0, 0)) << "not filled";
    EXPECT_EQ(GetPixel(dc.dc, 5, 50), RGB(0, 0, 0)) << "the band is five pixels wide";
}

TEST(ShapesFixed, PolygonFillsPixelCentresInsideAndLeavesRightAndBottomEdgesOut) {
    const std::vector<std::vector<POINT>> polygons = {
        {{2, 2}, {30, 2}, {30, 20}, {2, 20}},
        {{3, 30}, {24, 1}, {44, 37}},
        {{1, 1}, {40, 5}, {10, 12}, {42, 35}, {5, 30}}, // crossing itself: alternate rule
    };
    for (const auto& p : polygons) {
        vtrtest::SectionDc dc(48, 40);
        RECT all{0, 0, 48, 40};
        FillRectSolid(dc.dc, &all, Paper);
        GdiPolygon(dc.dc, p.data(), static_cast<int>(p.size()), Ink, 0, Pen, 1);
        ExpectPicture(
            dc, [&](int x, int y) { return InPolygon(p, x, y) ? Ink : Paper; }, "polygon");
    }
}

TEST(StretchDCToDC, KeepsTheAspectAndDrawsTheAreaItCaptured) {
    vtrtest::SectionDc source(220, 120), target(120, 120);
    RECT left{0, 0, 20, 120}, area{20, 10, 220, 110};
    FillRectSolid(source.dc, &left, RGB(255, 0, 0));
    FillRectSolid(source.dc, &area, RGB(0, 255, 0));
    RECT all{0, 0, 120, 120};
    FillRectSolid(target.dc, &all, Paper);
    EXPECT_NE(StretchDCToDC(source.dc, target.dc, 20, 10, 0, 0, 200, 100, 100, 100, 0, 1), 0);
    EXPECT_EQ(GetPixel(target.dc, 0, 0), RGB(0, 255, 0)) << "the copy starts at the captured corner";
    EXPECT_EQ(GetPixel(target.dc, 99, 49), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(target.dc, 50, 50), Paper) << "200 x 100 fitted into 100 x 100 is 100 x 50";
    EXPECT_EQ(GetPixel(target.dc, 100, 10), Paper);
}

TEST(SurfaceShapes, ThickLinesAndFilledShapesGoThroughTheDeviceContext) {
    auto s = DcSurface(40, 30);
    ASSERT_TRUE(s->HasImplementation());
    s->Fill(Paper);
    EXPECT_EQ(s->DrawLine(2, 15, 37, 15, 3, Pen), 1);
    EXPECT_EQ(At(*s, 20, 14), Pen);
    EXPECT_EQ(At(*s, 20, 16), Pen);
    // A gradient ellipse through the mask: inside the box only, on the gradient's colours.
    s->Fill(Paper);
    CFillDir gradient(RGB(0, 0, 255), RGB(255, 0, 0), 1);
    EXPECT_EQ(s->EllipseFilled(0, 0, 40, 30, &gradient, 0, 0, 0, 0), 1);
    EXPECT_EQ(At(*s, 0, 0), Paper);
    // 255 bands over 30 rows: a row shows the last band that reaches it.
    EXPECT_EQ(At(*s, 20, 0), BandColour(RGB(0, 0, 255), RGB(255, 0, 0), 8, 255));
    EXPECT_EQ(At(*s, 20, 29), BandColour(RGB(0, 0, 255), RGB(255, 0, 0), 254, 255));
    // Memory surfaces have no device context for thick lines.
    auto memory = MakeSurface(8, 8, 32);
    EXPECT_EQ(memory->DrawLine(0, 0, 7, 7, 3, Pen), 0);
    EXPECT_EQ(memory->GetLastError(), SurfaceErrorNoDeviceContext);
}

} // namespace

namespace {

// Rows moved within one surface keep their contents whichever way they go, in top-down memory surfaces and
// in bottom-up DIB sections alike.
TEST(ScrollRect, MovesOverlappingRowsUpAndDownIntact) {
    std::unique_ptr<cSurface> surfaces[] = {MakeSurface(6, 8, 32), DcSurface(6, 8)};
    for (auto& s : surfaces) {
        ASSERT_TRUE(s->HasImplementation());
        for (int dy : {1, -1, 3, -2}) {
            for (int y = 0; y < 8; ++y)
                s->FillRect(0, y, 6, 1, RGB(10 * y, 5, 200));
            const int from = dy > 0 ? dy : 0, to = dy > 0 ? 0 : -dy;
            ASSERT_EQ(s->ScrollRect(1, from, 1, to, 4, 8 - std::abs(dy)), 1);
            for (int y = to; y < to + 8 - std::abs(dy); ++y)
                ASSERT_EQ(At(*s, 2, y), RGB(10 * (y - to + from), 5, 200)) << "dy " << dy << " row " << y;
        }
    }
}

} // namespace

namespace {

// A line drawn inside a clip rectangle shows, there, exactly the pixels of the whole line.
TEST(ClippedLine, ShowsThePixelsOfTheWholeLineInsideTheClip) {
    Random random(3);
    for (int round = 0; round < 30; ++round) {
        const int x1 = random.Below(60) - 10, y1 = random.Below(50) - 10;
        const int x2 = random.Below(60) - 10, y2 = random.Below(50) - 10;
        auto whole = MakeSurface(40, 30, 32), clipped = MakeSurface(40, 30, 32);
        // New memory surfaces hold whatever their memory held.
        whole->Fill(0);
        clipped->Fill(0);
        whole->DrawLine(x1, y1, x2, y2, 1, RGB(255, 255, 255));
        clipped->SetClipRect(7, 5, 19, 13);
        clipped->DrawLine(x1, y1, x2, y2, 1, RGB(255, 255, 255));
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const bool inClip = x >= 7 && x < 26 && y >= 5 && y < 18;
                ASSERT_EQ(At(*clipped, x, y), inClip ? At(*whole, x, y) : 0u)
                    << x1 << "," << y1 << " to " << x2 << "," << y2 << " at " << x << "," << y;
            }
    }
}

} // namespace
