#include "mask_reference.h"
#include "vtrs2/collision_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

using win32::LONG;
using win32::POINT;
using win32::RECT;

namespace {

constexpr double Pi = 3.141592653589;

// Is the play-area point inside the box, its region grown by `grow` pixels on every side?
bool InBox(const TransformedBox& b, double px, double py, double grow, bool turned) {
    const double r = (turned ? b.angle : 0) * Pi / 180, c = std::cos(r), s = std::sin(r);
    const double dx = px - b.x, dy = py - b.y;
    const double u = dx * c - dy * s, v = dx * s + dy * c;
    return u >= -b.hotX - grow && u <= b.width - 1 - b.hotX + grow && v >= -b.hotY - grow &&
           v <= b.height - 1 - b.hotY + grow;
}

// Sampled overlap of the two boxes' regions, each grown (or shrunk, for a negative value): points of A's
// region, carried out to the play area, tested against B.
bool SampledOverlap(const TransformedBox& a, bool aTurned, const TransformedBox& b, double grow) {
    const double r = (aTurned ? a.angle : 0) * Pi / 180, c = std::cos(r), s = std::sin(r);
    for (double v = -a.hotY - grow; v <= a.height - 1 - a.hotY + grow; v += 0.25)
        for (double u = -a.hotX - grow; u <= a.width - 1 - a.hotX + grow; u += 0.25)
            if (InBox(b, a.x + u * c + v * s, a.y + v * c - u * s, grow, true)) return true;
    return false;
}

TransformedBox RandomBox(std::mt19937& rng, bool turned) {
    const double w = 4 + rng() % 40, h = 4 + rng() % 40;
    return {double(int(rng() % 80) - 40),
            double(int(rng() % 80) - 40),
            double(rng() % int(w)),
            double(rng() % int(h)),
            w,
            h,
            turned ? double(rng() % 360) : 0.0};
}

TEST(RotatedBoxes, AreaAgainstTurnedBoxAgreesWithSampling) {
    std::mt19937 rng(11);
    for (int i = 0; i < 150; ++i) {
        const TransformedBox area = RandomBox(rng, false), box = RandomBox(rng, true);
        RECT result{};
        POINT corners[RotatedCornerCapacity];
        const int n = TestRotatedMaskCollision(&result, corners, &area, &box);
        if (SampledOverlap(area, false, box, -2)) {
            ASSERT_GT(n, 0) << "case " << i;
        }
        if (!SampledOverlap(area, false, box, 2)) {
            ASSERT_EQ(n, 0) << "case " << i;
        }
        if (n > 0) {
            // The overlap rectangle lies in the area's own frame, within the area.
            EXPECT_GE(result.left, -area.hotX - 1);
            EXPECT_LE(result.right, -area.hotX + area.width + 1);
        }
    }
}

TEST(RotatedBoxes, TwoTurnedBoxesAgreeWithSampling) {
    std::mt19937 rng(12);
    for (int i = 0; i < 150; ++i) {
        const TransformedBox a = RandomBox(rng, true), b = RandomBox(rng, true);
        RECT result{};
        const int n = TestRotatedMasksOverlap(&result, nullptr, &a, &b);
        if (SampledOverlap(a, true, b, -2)) {
            ASSERT_GT(n, 0) << "case " << i;
        }
        if (!SampledOverlap(a, true, b, 2)) {
            ASSERT_EQ(n, 0) << "case " << i;
        }
    }
}

TEST(RotatedBoxes, ContainmentAndEqualAnglesGiveRectangles) {
    const TransformedBox area{0, 0, 0, 0, 100, 100, 0};
    RECT result{};
    POINT corners[RotatedCornerCapacity];
    const TransformedBox inner{50, 50, 5, 5, 10, 10, 45};
    EXPECT_EQ(TestRotatedMaskCollision(&result, corners, &area, &inner), 4);
    EXPECT_GT(result.left, 35);
    EXPECT_LT(result.right, 65);
    EXPECT_EQ(corners[2].x, result.right);
    const TransformedBox outer{50, 50, 200, 200, 400, 400, 30};
    EXPECT_EQ(TestRotatedMaskCollision(&result, corners, &area, &outer), 4);
    EXPECT_EQ(result.right, 100);
    EXPECT_EQ(result.bottom, 100);
    const TransformedBox straight{90, 95, 0, 0, 40, 40, 0};
    EXPECT_EQ(TestRotatedMaskCollision(&result, corners, &area, &straight), 4);
    EXPECT_EQ(result.left, 90);
    EXPECT_EQ(result.top, 95);
    EXPECT_EQ(result.right, 100);
    const TransformedBox far{500, 0, 0, 0, 10, 10, 10};
    EXPECT_EQ(TestRotatedMaskCollision(&result, corners, &area, &far), 0);
}

TEST(RotatedBoxes, PointsAndRectanglesAgainstTurnedMasks) {
    BoolMask m(8, 6);
    for (int x = 0; x < 8; ++x)
        m.Set(x, 5, true); // the bottom row is solid
    const auto bits = m.Packed();
    std::vector<win32::BYTE> record(sizeof(ImageMask) + bits.size());
    const ImageMask header{ImageMaskHeaderSize, 8, 6, 2, 0, 0, {}};
    std::memcpy(record.data(), &header, sizeof header);
    std::copy(bits.begin(), bits.end(), record.begin() + sizeof header);
    const auto* mask = reinterpret_cast<const ImageMask*>(record.data());

    EXPECT_EQ(TestTransformedImageMaskPoint(mask, 1, 1, 0, 3, 5), 1);
    EXPECT_EQ(TestTransformedImageMaskPoint(mask, 1, 1, 0, 3, 4), 0);
    EXPECT_EQ(TestTransformedImageMaskPoint(mask, 2, 2, 0, 7, 11), 1) << "doubled: row 5 covers 10 and 11";
    // Turned a quarter: the mask's bottom row now lies along x = 5 (y runs 0 to -7).
    EXPECT_EQ(TestTransformedImageMaskPoint(mask, 1, 1, 90, 5, -3), 1);
    EXPECT_EQ(TestTransformedImageMaskPoint(mask, 1, 1, 90, 3, 5), 0);
    EXPECT_EQ(TestTransformedImageMaskPoint(mask, 0, 1, 0, 3, 5), 0) << "zero scale";

    const RECT box{0, 0, 8, 6};
    EXPECT_EQ(TestPointInRotatedBox(&box, 0, 0, 1, 1, 0, 7, 5), 1);
    EXPECT_EQ(TestPointInRotatedBox(&box, 0, 0, 1, 1, 0, 8, 5), 0);
    EXPECT_EQ(TestPointInRotatedBox(&box, 0, 0, 1, 1, 90, 5, -7), 1);

    const RECT aboveRow{100, 100, 108, 105};
    const RECT onRow{100, 105, 101, 106};
    EXPECT_EQ(TestRectOverlapTransformedMask(&aboveRow, mask, 100, 100, 1, 1, 0), 0);
    EXPECT_EQ(TestRectOverlapTransformedMask(&onRow, mask, 100, 100, 1, 1, 0), 1);
    const RECT turnedRow{105, 90, 106, 100};
    EXPECT_EQ(TestRectOverlapTransformedMask(&turnedRow, mask, 100, 100, 1, 1, 90), 1);
    const RECT belowTurnedRow{100, 101, 108, 106};
    EXPECT_EQ(TestRectOverlapTransformedMask(&belowTurnedRow, mask, 100, 100, 1, 1, 90), 0);
    EXPECT_EQ(TestRotatedMaskPixels(mask, bits.data(), 0, 0, 8, 6, 2, 5, 0, 0, 1, 1, 1, 1, 0, 0), 1);
    EXPECT_EQ(TestRotatedMaskPixels(mask, bits.data(), 0, 0, 8, 6, 2, 3, 0, 0, 1, 2, 1, 1, 0, 0), 0);
}

} // namespace
