// Memory surfaces of every depth and the software surface operations on them.
#include "support/param_names.h"
#include "surface_test_support.h"
#include "vtrs2/memory_testing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

using namespace win32;
using surface_test::MakeSurface;

namespace {

class EveryDepth : public ::testing::TestWithParam<int> {};

TEST_P(EveryDepth, CreatesAlignedRowsOfTheRightSize) {
    const int depth = GetParam();
    for (int width : {1, 2, 3, 5, 33}) {
        auto s = MakeSurface(width, 3, depth);
        ASSERT_TRUE(s->HasImplementation());
        const int bits = depth == 15 ? 16 : depth;
        EXPECT_EQ(s->GetPitch(), ((width * bits + 31) >> 5) * 4) << width;
        EXPECT_EQ(s->GetDepth(), depth);
        EXPECT_EQ(s->GetImplementation()->depthIndex, DepthIndexOf(depth));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(s->LockPixels()) % 8, 0u);
        EXPECT_EQ(s->GetImplementation()->GetType(), 1);
    }
}

TEST_P(EveryDepth, FillsAndReadsPixelsInsideTheClipOnly) {
    const int depth = GetParam();
    auto s = MakeSurface(9, 7, depth);
    const COLORREF colour = depth == 8 ? 0x01000000 | 0x2A : RGB(0xF8, 0x80, 0x18);
    const DWORD expected = depth == 8 ? 0x2A : RGB(0xF8, 0x80, 0x18);
    EXPECT_EQ(s->Fill(0), 1);
    s->SetClipRect(2, 1, 4, 3);
    s->SetPixel(2, 1, colour);
    s->SetPixel(1, 1, colour); // outside the clip: ignored
    DWORD value = 0;
    EXPECT_EQ(s->GetPixelValue(2, 1, value), 1);
    EXPECT_EQ(value, expected);
    EXPECT_EQ(s->GetPixelValue(1, 1, value), 0);
    s->ResetClipRect();
    EXPECT_EQ(s->GetPixelValue(1, 1, value), 1);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(s->FillRect(-3, -3, 5, 5, depth == 8 ? 0 : colour), 1);
    EXPECT_EQ(s->GetPixelValue(1, 1, value), 1);
    EXPECT_EQ(value, depth == 8 ? 0u : expected);
    EXPECT_EQ(s->FillRect(20, 20, 5, 5, colour), 0);
}

TEST_P(EveryDepth, MirrorsTurnsAndScrollsWholePixels) {
    const int depth = GetParam();
    auto s = MakeSurface(3, 2, depth);
    const DWORD mask = depth == 8 ? 0xFF : depth <= 16 ? 0xFFFF : depth == 24 ? 0xFFFFFF : 0xFFFFFFFF;
    auto value = [&](int i) { return (static_cast<DWORD>(i + 1) * 0x01020305u) & mask; };
    for (int i = 0; i < 6; ++i)
        s->FillRectValue(i % 3, i / 3, 1, 1, value(i));
    auto at = [](cSurface& surface, int x, int y) {
        DWORD v = 0;
        surface.GetImplementation()->GetPixelValue(x, y, v);
        BYTE* p = surface.GetImplementation()->Row(y) + x * surface.GetImplementation()->bytesPerPixel;
        DWORD raw = 0;
        std::memcpy(&raw, p, static_cast<std::size_t>(surface.GetImplementation()->bytesPerPixel));
        return raw;
    };
    EXPECT_EQ(s->MirrorHorizontalAll(), 1);
    EXPECT_EQ(at(*s, 0, 0), value(2));
    EXPECT_EQ(at(*s, 2, 1), value(3));
    EXPECT_EQ(s->MirrorVerticalAll(), 1);
    EXPECT_EQ(at(*s, 0, 0), value(5));
    auto turned = MakeSurface(2, 3, depth);
    EXPECT_EQ(s->RotateQuarter(*turned, 1), 1);
    // Clockwise: (x, y) goes to (width' - 1 - y, x).
    EXPECT_EQ(at(*turned, 1, 0), at(*s, 0, 0));
    EXPECT_EQ(at(*turned, 0, 2), at(*s, 2, 1));
    auto small = MakeSurface(2, 2, depth);
    EXPECT_EQ(s->RotateQuarter(*small, 0), 0);
    const DWORD before = at(*s, 0, 0);
    EXPECT_EQ(s->ScrollRect(0, 0, 1, 0, 2, 2), 1);
    EXPECT_EQ(at(*s, 1, 0), before);
    EXPECT_EQ(s->ScrollRect(0, 0, 2, 0, 2, 2), 0);
}

TEST_P(EveryDepth, BuildsCollisionMasksLeftmostPixelInBitZero) {
    const int depth = GetParam();
    auto s = MakeSurface(20, 10, depth);
    s->FillValue(0);
    s->FillRectValue(0, 0, 1, 10, 1);
    s->FillRectValue(17, 2, 3, 8, 1);
    const int size = s->CreateCollisionMask(nullptr, 0);
    EXPECT_EQ(size, 44 + 10 * 4);
    std::vector<BYTE> mask(static_cast<std::size_t>(size));
    EXPECT_EQ(s->CreateCollisionMask(mask.data(), 0), size);
    EXPECT_EQ(mask[0], 44);
    EXPECT_EQ(mask[12], 4); // bytes per row
    const BYTE* row2 = &mask[44 + 2 * 4];
    EXPECT_EQ(row2[0], 0x01);
    EXPECT_EQ(row2[1], 0x00);
    EXPECT_EQ(row2[2], 0x0E); // pixels 17, 18, 19
    EXPECT_EQ(row2[3], 0x00); // padding stays clear
    EXPECT_EQ(s->CreateCollisionMask(mask.data(), 1), size);
    EXPECT_EQ(mask[44 + 5 * 4], 0x01);
    EXPECT_EQ(mask[44 + 6 * 4], 0x00); // platform masks keep the first six solid pixels of a column
    EXPECT_EQ(mask[44 + 7 * 4 + 2], 0x0E);
    EXPECT_EQ(mask[44 + 8 * 4 + 2], 0x00);
}

INSTANTIATE_TEST_SUITE_P(Depths, EveryDepth, ::testing::Values(8, 15, 16, 24, 32),
                         [](const auto& info) { return test_support::Numbered("Bits", info.param); });

TEST(ColorKey, StoresTheKeyInEachPixelFormat) {
    struct Case {
        int depth;
        DWORD value;
        COLORREF stored;
    };
    for (const Case& c : {Case{15, 0x7FFF, 0xF8F8F8}, Case{16, 0xFFFF, 0xF8FCF8},
                          Case{24, 0xFFFFFF, 0xFFFFFF}, Case{32, 0xFFFFFF, 0xFFFFFF}}) {
        auto s = MakeSurface(2, 2, c.depth);
        s->SetColorKey(RGB(255, 255, 255));
        EXPECT_EQ(s->GetColorKeyValue(), c.value) << c.depth;
        EXPECT_EQ(s->GetColorKey(), c.stored) << c.depth;
        s->SetColorKey(0);
        EXPECT_EQ(s->GetColorKeyValue(), 0u);
        s->SetColorKey(RGB(100, 100, 100));
        s->SetColorKey(static_cast<COLORREF>(-1)); // opaque: the stored key stays
        EXPECT_NE(s->GetColorKey(), 0u);
    }
    auto s = MakeSurface(2, 2, 32);
    s->SetColorKey(RGB(0x10, 0x20, 0x30));
    EXPECT_EQ(s->GetColorKeyValue(), 0x102030u);
}

TEST(CollisionMask, ComparesOnlyTheColourBytesAt32Bits) {
    auto s = MakeSurface(8, 1, 32);
    s->SetColorKey(RGB(1, 2, 3));
    s->FillValue(0xFF010203); // the key's colour with another fourth byte
    s->FillRectValue(3, 0, 1, 1, 0x00010204);
    std::vector<BYTE> mask(static_cast<std::size_t>(s->CreateCollisionMask(nullptr, 0)));
    s->CreateCollisionMask(mask.data(), 0);
    EXPECT_EQ(mask[44], 0x08);
}

TEST(AlphaPlane, IsMirroredAndCopiedWithThePixels) {
    auto s = MakeSurface(4, 2, 32);
    BYTE* alpha = s->AllocateAlphaPlane();
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(s->GetAlphaPlanePitch(), 4);
    alpha[0] = 10;
    alpha[3] = 40;
    s->MirrorHorizontalAll();
    EXPECT_EQ(alpha[0], 40);
    EXPECT_EQ(alpha[3], 10);
    cSurface copy(*s);
    ASSERT_TRUE(copy.HasAlphaPlane());
    EXPECT_NE(copy.GetAlphaPlane(), s->GetAlphaPlane());
    EXPECT_EQ(copy.GetAlphaPlane()[0], 40);
    std::unique_ptr<cSurface> plane(s->CopyAlphaPlaneToSurface());
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(plane->GetDepth(), 8);
    EXPECT_EQ(plane->LockPixels()[3], 10);
}

TEST(AllocatePixels, KeepsTheOldPixelsWhenMemoryRunsOut) {
    auto s = MakeSurface(4, 4, 32);
    s->AllocateAlphaPlane();
    BYTE* old = s->LockPixels();
    SetAllocationFailures(0, 2);
    EXPECT_EQ(s->GetImplementation()->AllocatePixels(100, 100), 0);
    SetAllocationFailures(0, 0);
    EXPECT_EQ(s->LockPixels(), old);
    EXPECT_EQ(s->GetWidth(), 4);
    EXPECT_TRUE(s->HasAlphaPlane());
    EXPECT_EQ(s->GetImplementation()->AllocatePixels(15, 2), 1);
    EXPECT_EQ(s->GetPitch(), 60);
    EXPECT_FALSE(s->HasAlphaPlane());
}

TEST(ImplementationCopy, SharesPixelsButNeverFreesTheAlphaPlaneTwice) {
    auto s = MakeSurface(4, 4, 32);
    s->AllocateAlphaPlane();
    {
        cSurfaceImplementation& original = *s->GetImplementation();
        cDIBSurface view(nullptr, nullptr, 0);
        static_cast<cSurfaceImplementation&>(view) = original;
        EXPECT_EQ(view.alphaPlane, original.alphaPlane);
        EXPECT_EQ(view.flags & SurfaceFlagOwnsAlpha, 0u);
    }
    EXPECT_TRUE(s->HasAlphaPlane());
    s->GetAlphaPlane()[0] = 1; // still ours after the copy was destroyed
}

TEST(Opacity, ScansPixelsOrTheAlphaPlane) {
    auto s = MakeSurface(5, 3, 24);
    s->SetColorKey(RGB(0, 0, 255));
    s->Fill(RGB(0, 0, 255));
    EXPECT_EQ(s->IsFullyTransparent(), 1);
    s->SetPixel(3, 1, RGB(1, 1, 1));
    EXPECT_EQ(s->IsFullyTransparent(), 0);
    RECT bounds{};
    EXPECT_EQ(s->GetOpaqueBounds(&bounds), 1);
    EXPECT_EQ(bounds.left, 3);
    EXPECT_EQ(bounds.top, 1);
    EXPECT_EQ(bounds.right, 4);
    EXPECT_EQ(bounds.bottom, 2);
    EXPECT_EQ(s->CropToContent(), 1);
    EXPECT_EQ(s->GetWidth(), 1);
    EXPECT_EQ(s->GetHeight(), 1);
    auto tiny = MakeSurface(2, 2, 24);
    EXPECT_EQ(tiny->GetOpaqueBounds(&bounds), 0);
    s->Fill(RGB(9, 9, 9));
    EXPECT_EQ(s->IsOpaque(), 1);
}

TEST(ReplaceColor, MatchesColourBytesOnlyAt32Bits) {
    auto s = MakeSurface(2, 1, 32);
    s->FillValue(0xAA102030);
    EXPECT_EQ(s->ReplaceColor(RGB(1, 2, 3), RGB(0x10, 0x20, 0x30)), 1);
    EXPECT_EQ(*reinterpret_cast<DWORD*>(s->LockPixels()), 0x00010203u);
}

} // namespace

namespace {

class ColourDepth : public ::testing::TestWithParam<int> {};

// Keyed copies skip the key; an alpha plane mixes each channel as (s x a + d x (256 - a)) >> 8.
TEST_P(ColourDepth, KeyedAndAlphaCopiesFollowTheirRules) {
    const int depth = GetParam();
    auto s = MakeSurface(3, 1, depth);
    auto d = MakeSurface(3, 1, depth);
    s->SetPixel(0, 0, RGB(0xF8, 0x00, 0x00));
    s->SetPixel(1, 0, RGB(0x00, 0x00, 0xF8));
    s->SetPixel(2, 0, RGB(0x00, 0xF8, 0x00));
    s->SetColorKey(RGB(0x00, 0x00, 0xF8));
    d->Fill(RGB(0x80, 0x80, 0x80));
    ASSERT_EQ(s->BlitWhole(*d, 0, 0, 1), 1);
    COLORREF c = 0;
    d->GetPixel(0, 0, c);
    EXPECT_EQ(c, RGB(0xF8, 0, 0));
    d->GetPixel(1, 0, c);
    EXPECT_EQ(c, RGB(0x80, 0x80, 0x80));
    BYTE* alpha = s->AllocateAlphaPlane();
    alpha[0] = 0;
    alpha[1] = 255;
    alpha[2] = 128;
    d->Fill(RGB(0x80, 0x80, 0x80));
    ASSERT_EQ(s->BlitWhole(*d, 0, 0, 1), 1);
    d->GetPixel(0, 0, c);
    EXPECT_EQ(c, RGB(0x80, 0x80, 0x80));
    d->GetPixel(1, 0, c);
    EXPECT_EQ(c, RGB(0, 0, 0xF8)); // alpha 255 copies even the key colour
    d->GetPixel(2, 0, c);
    const COLORREF mixed = RGB(0x40, 0xBC, 0x40); // (0x80 x 128) >> 8 and (0xF8 x 128 + 0x80 x 128) >> 8
    COLORREF expected = mixed;
    if (depth == 15) expected = mixed & 0xF8F8F8;
    if (depth == 16) expected = mixed & 0xF8FCF8;
    EXPECT_EQ(c, expected);
}

INSTANTIATE_TEST_SUITE_P(Depths, ColourDepth, ::testing::Values(15, 16, 24, 32),
                         [](const auto& info) { return test_support::Numbered("Bits", info.param); });

} // namespace

namespace {

TEST(EightBits, FillsWithColoursInPaletteIndexForm) {
    auto s = MakeSurface(4, 2, 8);
    EXPECT_EQ(s->Fill(0x0100002A), 1);
    EXPECT_EQ(s->LockPixels()[3], 0x2A);
    s->SetPixel(1, 1, 0x01000007);
    DWORD value = 0;
    s->GetPixelValue(1, 1, value);
    EXPECT_EQ(value, 7u);
}

} // namespace
