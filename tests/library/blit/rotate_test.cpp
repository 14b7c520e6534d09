// Rotations: quarter and half turns exact, other angles close to the turned image, the alpha plane turned
// alike, and the bounds of rotated images exact.
#include "blit_support.h"
#include "vtrs2/surface_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace win32;
using namespace blit_test;

namespace {

COLORREF At(const cSurface& s, int x, int y) {
    const reference::Pixel p = PixelAt(s, x, y);
    return RGB(p.red, p.green, p.blue);
}

std::unique_ptr<cSurface> RandomSurface(int w, int h, std::uint32_t seed) {
    Random random(seed);
    return SurfaceOf(RandomImage(w, h, random, reference::Pixel{}, 0));
}

// Turns through the engine (slot 46) directly, so that the quarter turns do not take the front end's
// shortcut.
int Turn(cSurface& source, cSurface& destination, float angle, int antialias, COLORREF background = 0,
         int transparency = 0) {
    return source.GetImplementation()->Rotate(destination.GetImplementation(), angle, antialias, background,
                                              transparency);
}

} // namespace

TEST(Rotation, QuarterAndHalfTurnsAreExactPermutations) {
    auto s = RandomSurface(7, 4, 11);
    for (const float angle : {0.0f, 90.0f, 180.0f, 270.0f})
        for (const int antialias : {0, 1}) {
            SCOPED_TRACE("angle " + std::to_string(angle) + " antialias " + std::to_string(antialias));
            const bool quarter = angle == 90.0f || angle == 270.0f;
            auto d = MakeSurface(quarter ? 4 : 7, quarter ? 7 : 4, 32);
            ASSERT_EQ(Turn(*s, *d, angle, antialias), 1);
            for (int y = 0; y < d->GetHeight(); ++y)
                for (int x = 0; x < d->GetWidth(); ++x) {
                    // The source pixel each destination pixel shows; 90 turns counter-clockwise on screen.
                    int u = x, v = y;
                    if (angle == 90.0f) u = 6 - y, v = x;
                    if (angle == 180.0f) u = 6 - x, v = 3 - y;
                    if (angle == 270.0f) u = y, v = 3 - x;
                    ASSERT_EQ(At(*d, x, y), At(*s, u, v)) << x << "," << y;
                }
        }
}

TEST(Rotation, QuarterTurnsAgreeWithTheQuarterTurnOperation) {
    auto s = RandomSurface(5, 3, 12);
    for (const int direction : {0, 1}) {
        auto engine = MakeSurface(3, 5, 32), quarter = MakeSurface(3, 5, 32);
        ASSERT_EQ(Turn(*s, *engine, direction ? 270.0f : 90.0f, 0), 1);
        ASSERT_EQ(s->RotateQuarter(*quarter, direction), 1);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 3; ++x)
                ASSERT_EQ(At(*engine, x, y), At(*quarter, x, y)) << direction;
    }
}

TEST(Rotation, HalfTurnEqualsBlitAndBothMirrors) {
    auto s = RandomSurface(6, 5, 13);
    auto turned = MakeSurface(6, 5, 32), mirrored = MakeSurface(6, 5, 32);
    ASSERT_EQ(Turn(*s, *turned, 180.0f, 0), 1);
    ASSERT_EQ(s->Blit(*mirrored, 0, 0, 0, 0, 6, 5, 0), 1);
    mirrored->MirrorHorizontalAll();
    mirrored->MirrorVerticalAll();
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(At(*turned, x, y), At(*mirrored, x, y));
}

TEST(Rotation, OtherAnglesStayCloseToTheTurnedImage) {
    // A smooth picture: red grows to the right, green downwards.
    const int size = 40;
    auto s = MakeSurface(size, size, 32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            s->SetPixel(x, y, RGB(static_cast<BYTE>(x * 6), static_cast<BYTE>(y * 6), 100));
    const COLORREF background = RGB(1, 2, 3);
    for (const float angle : {30.0f, 45.0f, 123.0f, 300.5f})
        for (const int antialias : {0, 1}) {
            SCOPED_TRACE("angle " + std::to_string(angle) + " antialias " + std::to_string(antialias));
            SIZE bounds{size, size};
            RotateImageBounds(&bounds, nullptr, nullptr, angle);
            auto d = MakeSurface(bounds.cx, bounds.cy, 32);
            ASSERT_EQ(Turn(*s, *d, angle, antialias, background), 1);
            const double a = angle * 3.14159265358979 / 180, c = std::cos(a), sn = std::sin(a);
            int inside = 0;
            for (int y = 0; y < bounds.cy; ++y)
                for (int x = 0; x < bounds.cx; ++x) {
                    const double rx = x + 0.5 - bounds.cx / 2.0, ry = y + 0.5 - bounds.cy / 2.0;
                    const double u = size / 2.0 + rx * c - ry * sn - 0.5,
                                 v = size / 2.0 + rx * sn + ry * c - 0.5;
                    const COLORREF got = At(*d, x, y);
                    // Well inside: the picture's value there, within a pixel's step; well outside:
                    // background.
                    if (u > 1 && v > 1 && u < size - 2 && v < size - 2) {
                        ++inside;
                        ASSERT_NEAR(GetRValue(got), u * 6, antialias ? 2.0 : 4.0) << x << "," << y;
                        ASSERT_NEAR(GetGValue(got), v * 6, antialias ? 2.0 : 4.0) << x << "," << y;
                    } else if (u < -1 || v < -1 || u > size || v > size) {
                        ASSERT_EQ(got, background) << x << "," << y;
                    }
                }
            EXPECT_GT(inside, size * size / 2);
        }
}

TEST(Rotation, TransparencyKeepsBackgroundPixelsUnblended) {
    const COLORREF key = RGB(255, 0, 255);
    auto s = MakeSurface(12, 12, 32);
    s->Fill(key);
    s->FillRect(3, 3, 6, 6, RGB(0, 100, 0));
    auto d = MakeSurface(17, 17, 32);
    ASSERT_EQ(Turn(*s, *d, 45.0f, 1, key, 1), 1);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 17; ++x) {
            const COLORREF c = At(*d, x, y);
            ASSERT_TRUE(c == key || c == RGB(0, 100, 0)) << x << "," << y << " " << std::hex << c;
        }
}

TEST(Rotation, AlphaPlaneTurnsWithThePixels) {
    auto s = RandomSurface(6, 4, 14);
    cSurfaceImplementation* impl = s->GetImplementation();
    ASSERT_TRUE(impl->AllocateAlphaPlane());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            impl->AlphaRow(y)[x] = static_cast<BYTE>(x * 40 + y);
    auto d = MakeSurface(4, 6, 32);
    ASSERT_EQ(Turn(*s, *d, 90.0f, 0), 1);
    ASSERT_TRUE(d->HasAlphaPlane());
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x)
            ASSERT_EQ(d->GetImplementation()->AlphaRow(y)[x], impl->AlphaRow(x)[5 - y]);
}

TEST(Rotation, RefusesOtherDepthsAndMissingDestinations) {
    auto s = RandomSurface(4, 4, 15);
    auto other = MakeSurface(6, 6, 24);
    EXPECT_EQ(Turn(*s, *other, 30.0f, 0), 0);
    EXPECT_EQ(s->GetImplementation()->Rotate(nullptr, 30.0f, 0, 0, 0), 0);
}

TEST(RotatedBounds, AreExactAtQuarterTurnsAndTruncatedElsewhere) {
    struct Case {
        float angle;
        SIZE size;
        POINT hot;
        POINT action;
        SIZE wantSize;
        POINT wantHot;
        POINT wantAction;
    };
    const Case cases[] = {
        {90, {10, 20}, {0, 0}, {0, 0}, {20, 10}, {0, 10}, {0, 10}},
        {180, {10, 20}, {0, 0}, {2, 3}, {10, 20}, {10, 20}, {8, 17}},
        {270, {10, 20}, {5, 5}, {5, 5}, {20, 10}, {15, 5}, {15, 5}},
        {0, {7, 9}, {3, 4}, {1, 1}, {7, 9}, {3, 4}, {1, 1}},
        {45, {10, 20}, {0, 0}, {5, 5}, {21, 21}, {0, 7}, {7, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        SIZE size = c.size;
        POINT hot = c.hot, action = c.action;
        RotateImageBounds(&size, &hot, &action, c.angle);
        EXPECT_EQ(size.cx, c.wantSize.cx);
        EXPECT_EQ(size.cy, c.wantSize.cy);
        EXPECT_EQ(hot.x, c.wantHot.x);
        EXPECT_EQ(hot.y, c.wantHot.y);
        EXPECT_EQ(action.x, c.wantAction.x);
        EXPECT_EQ(action.y, c.wantAction.y);
    }
    SIZE size{10, 20};
    RotateImageBounds(&size, nullptr, nullptr, 90); // hot spot and action point may be left out
    EXPECT_EQ(size.cx, 20);
}

TEST(RotatedSize, SwapsAtQuarterTurnsAndBoundsOtherAngles) {
    struct Case {
        float angle;
        int wantWidth, wantHeight;
    };
    // 45 degrees: the bounding box of RotatedBounds' 45-degree case.
    for (const Case c : {Case{90, 20, 10}, Case{270, 20, 10}, Case{-90, 20, 10}, Case{450, 20, 10},
                         Case{180, 10, 20}, Case{0, 10, 20}, Case{45, 21, 21}}) {
        int width = 10, height = 20;
        cSurface::GetRotatedSize(width, height, c.angle);
        EXPECT_EQ(width, c.wantWidth) << c.angle;
        EXPECT_EQ(height, c.wantHeight) << c.angle;
    }
}

TEST(RotateInto, QuarterAndHalfTurnsMakeTheTurnedImageAtItsSize) {
    auto s = RandomSurface(5, 3, 21);
    for (const int angle : {90, -270, 270, -90, 180, 540}) {
        SCOPED_TRACE(angle);
        const int turn = ((angle % 360) + 360) % 360;
        auto d = MakeSurface(2, 2, 32); // replaced whatever it held
        ASSERT_EQ(s->RotateInto(*d, angle, 0, RGB(1, 2, 3)), 1);
        ASSERT_EQ(d->GetWidth(), turn == 180 ? 5 : 3);
        ASSERT_EQ(d->GetHeight(), turn == 180 ? 3 : 5);
        for (int y = 0; y < d->GetHeight(); ++y)
            for (int x = 0; x < d->GetWidth(); ++x) {
                int u = 4 - x, v = 2 - y; // 180
                if (turn == 90) u = 4 - y, v = x;
                if (turn == 270) u = y, v = 2 - x;
                ASSERT_EQ(At(*d, x, y), At(*s, u, v)) << x << "," << y;
            }
    }
}

TEST(RotateInto, OtherAnglesPutTheTurnedImageOnTheBackground) {
    auto s = MakeSurface(20, 10, 32);
    s->Fill(RGB(0, 200, 0));
    const COLORREF background = RGB(9, 8, 7);
    struct Case {
        double angle;
        bool exact;
        float boundsAngle;
    };
    for (const Case c :
         {Case{45, false, 45}, Case{-315, false, 45}, Case{29.5, true, 29.5f}, Case{-330.5, true, 29.5f}}) {
        SCOPED_TRACE(c.angle);
        auto d = MakeSurface(2, 2, 32);
        const int made = c.exact ? s->RotateIntoExact(*d, c.angle, 1, background)
                                 : s->RotateInto(*d, static_cast<int>(c.angle), 1, background);
        ASSERT_EQ(made, 1);
        SIZE bounds{20, 10};
        RotateImageBounds(&bounds, nullptr, nullptr, c.boundsAngle);
        ASSERT_EQ(d->GetWidth(), bounds.cx);
        ASSERT_EQ(d->GetHeight(), bounds.cy);
        EXPECT_EQ(d->GetDepth(), 32);
        for (const POINT corner : {POINT{0, 0}, POINT{bounds.cx - 1, 0}, POINT{0, bounds.cy - 1},
                                   POINT{bounds.cx - 1, bounds.cy - 1}})
            EXPECT_EQ(At(*d, corner.x, corner.y), background) << corner.x << "," << corner.y;
        EXPECT_EQ(At(*d, bounds.cx / 2, bounds.cy / 2), RGB(0, 200, 0));
    }
}

TEST(RotateInto, RefusesAnEmptyTurnedSizeAndItself) {
    auto dot = MakeSurface(1, 1, 32);
    auto d = MakeSurface(3, 4, 32);
    EXPECT_EQ(dot->RotateInto(*d, 45, 0, 0), 0) << "turned, one pixel has no height";
    EXPECT_EQ(d->GetWidth(), 3) << "the destination is left as it was";
    EXPECT_EQ(d->RotateInto(*d, 90, 0, 0), 0);
    EXPECT_EQ(d->RotateIntoExact(*d, 30.0, 0, 0), 0);
    EXPECT_EQ(d->GetWidth(), 3);
}
