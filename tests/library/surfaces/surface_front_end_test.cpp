// The surface front end: creation, ownership, origins, error words and the members built on several
// implementation calls.
#include "surface_test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace win32;
using surface_test::MakeSurface;
using surface_test::MemoryPrototype;

namespace {

COLORREF PixelOf(const cSurface& s, int x, int y) {
    COLORREF c = 0;
    s.GetPixel(x, y, c);
    return c;
}

// A surface class as a display driver writes one: it reports a driver type code, takes blits over and
// records lost-device calls.
class DriverLikeSurface : public cBufferSurface {
public:
    int typeCode = 13;
    int blitsTaken = 0;
    static inline std::vector<const cSurface*> removedOwners;
    int GetType() override { return typeCode; }
    int CanBlitFrom() override { return 1; }
    int BlitFrom(cSurfaceImplementation*, int, int, int, int, int, int, int, int, LPARAM, int) override {
        ++blitsTaken;
        return 1;
    }
    void RemoveLostDeviceCallback(LostDeviceCallback, cSurface* owner, LPARAM) override {
        removedOwners.push_back(owner);
    }
};

TEST(SurfaceCreate, MakesAtLeastOnePixelAndReportsMissingPrototypes) {
    auto prototype = MemoryPrototype(32);
    cSurface s;
    EXPECT_EQ(s.Create(0, -5, prototype.get()), 1);
    EXPECT_EQ(s.GetWidth(), 1);
    EXPECT_EQ(s.GetHeight(), 1);
    EXPECT_EQ(s.GetLastError(), 0u);
    cSurface empty;
    EXPECT_EQ(s.Create(4, 4, &empty), 0);
    EXPECT_EQ(s.GetLastError(), SurfaceErrorNoMemory);
    EXPECT_FALSE(s.HasImplementation());
    EXPECT_EQ(s.Reset(), 0);
    EXPECT_EQ(s.GetLastError(), 0u);
}

TEST(SurfaceOwnership, CopiesNeverShareAnImplementation) {
    auto s = MakeSurface(3, 2, 24);
    s->Fill(RGB(1, 2, 3));
    cSurface copy(*s);
    ASSERT_TRUE(copy.HasImplementation());
    EXPECT_NE(copy.GetImplementation(), s->GetImplementation());
    EXPECT_NE(copy.LockPixels(), s->LockPixels());
    EXPECT_EQ(PixelOf(copy, 2, 1), RGB(1, 2, 3));
    s->Fill(0);
    EXPECT_EQ(PixelOf(copy, 2, 1), RGB(1, 2, 3));
    EXPECT_EQ(copy.CreateCopy(copy), 1); // a copy of itself
    EXPECT_EQ(PixelOf(copy, 2, 1), RGB(1, 2, 3));
    cSurfaceImplementation* held = copy.GetImplementation();
    copy.SetImplementation(held); // the same pointer: kept
    EXPECT_EQ(copy.GetImplementation(), held);
    copy.SetImplementation(nullptr);
    EXPECT_FALSE(copy.HasImplementation());
    EXPECT_EQ(copy.DeleteImplementation(), 0);
    DeleteSurface(nullptr);
}

TEST(SurfaceOrigin, ShiftsEveryCoordinateTheCallerGives) {
    auto s = MakeSurface(100, 50, 32);
    s->SetOrigin(10, 20);
    s->SetPixel(10, 20, RGB(9, 8, 7));
    EXPECT_EQ(s->GetPixelDirect(0, 0), RGB(9, 8, 7));
    int x = 0, y = 0, w = 0, h = 0;
    s->GetClipRect(x, y, w, h);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 50);
    EXPECT_EQ(s->MoveOrigin(1, 1), 0);
    POINT p{};
    s->GetOriginPoint(&p);
    EXPECT_EQ(p.x, 11);
    EXPECT_EQ(p.y, 21);
    auto target = MakeSurface(100, 50, 32);
    target->SetOrigin(-5, 0);
    EXPECT_EQ(s->Blit(*target, 0, 0, 11, 21, 1, 1, 0), 1);
    EXPECT_EQ(target->GetPixelDirect(5, 0), RGB(9, 8, 7));
}

TEST(SurfaceType, MapsTypeCodesToPublicTypesAndDriverKinds) {
    struct Case {
        int code, publicType, kind;
    };
    for (const Case& c : {Case{1, 0, 0}, Case{3, 1, 0}, Case{4, 2, 0}, Case{5, 1, 0}, Case{9, 4, 5},
                          Case{13, 4, 6}, Case{14, 5, 6}, Case{15, 6, 6}, Case{16, 7, 6}, Case{12, 7, 5}}) {
        auto* driver = new DriverLikeSurface;
        driver->typeCode = c.code;
        cSurface s;
        s.SetImplementation(driver);
        EXPECT_EQ(s.GetSurfaceType(), c.publicType) << c.code;
        EXPECT_EQ(s.GetDriverKind(), c.kind) << c.code;
    }
}

TEST(SurfaceDriver, TakesBlitsOverAndIsToldWhenItsFrontEndGoes) {
    auto* driver = new DriverLikeSurface;
    driver->SetDepth(32);
    driver->AllocatePixels(8, 8);
    DriverLikeSurface::removedOwners.clear();
    const cSurface* address = nullptr;
    {
        cSurface screen;
        address = &screen;
        screen.SetImplementation(driver);
        auto source = MakeSurface(4, 4, 32);
        EXPECT_EQ(source->Blit(screen, 2, 2, 0, 0, 4, 4, 0), 1);
        EXPECT_EQ(driver->blitsTaken, 1);
        EXPECT_EQ(screen.GetDrawTarget(), &screen);
        EXPECT_TRUE(DriverLikeSurface::removedOwners.empty());
    }
    ASSERT_EQ(DriverLikeSurface::removedOwners.size(), 1u);
    EXPECT_EQ(DriverLikeSurface::removedOwners[0], address);
}

TEST(SurfacePalette, RefusesPaletteCallsAbove8Bits) {
    auto s = MakeSurface(2, 2, 16);
    EXPECT_EQ(s->SetPalette(nullptr, 0), 0);
    EXPECT_EQ(s->GetLastError(), SurfaceErrorRefused);
    EXPECT_EQ(s->GetPaletteEntries(nullptr, 0, 0), 0);
    EXPECT_EQ(s->GetBlackIndex(), 4);
}

TEST(SurfaceLine, DrawsBresenhamLinesClippedToTheSurface) {
    auto s = MakeSurface(6, 4, 32);
    s->Fill(0);
    EXPECT_EQ(s->DrawLine(0, 0, 3, 1, 1, RGB(255, 255, 255)), 1);
    int set = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            set += PixelOf(*s, x, y) != 0;
    EXPECT_EQ(set, 4);
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(*s, 3, 1), RGB(255, 255, 255));
    s->Fill(0);
    EXPECT_EQ(s->DrawLine(-10, 2, 20, 2, 1, RGB(1, 1, 1)), 1);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(PixelOf(*s, x, 2), RGB(1, 1, 1));
    EXPECT_EQ(s->DrawLine(-10, -10, -5, -1, 1, RGB(1, 1, 1)), 1);
    EXPECT_EQ(s->DrawLine(0, 0, 3, 3, 2, RGB(1, 1, 1)), 0);
    EXPECT_EQ(s->GetLastError(), SurfaceErrorNoDeviceContext);
}

TEST(SurfaceRotation, TurnsByQuartersAndHalves) {
    auto s = MakeSurface(3, 2, 24);
    s->Fill(0);
    s->SetPixel(0, 0, RGB(1, 0, 0));
    s->SetPixel(2, 1, RGB(2, 0, 0));
    auto turned = MakeSurface(2, 3, 24);
    EXPECT_EQ(s->RotateDegrees(*turned, 90, 0, 0, 0), 1);
    EXPECT_EQ(PixelOf(*turned, 0, 2), RGB(1, 0, 0)); // counter-clockwise: (x, y) -> (y, H' - 1 - x)
    EXPECT_EQ(s->RotateDegrees(*turned, -90, 0, 0, 0), 1);
    EXPECT_EQ(PixelOf(*turned, 1, 0), RGB(1, 0, 0));
    auto half = MakeSurface(3, 2, 24);
    EXPECT_EQ(s->RotateDegrees(*half, 540, 0, 0, 0), 1);
    EXPECT_EQ(PixelOf(*half, 2, 1), RGB(1, 0, 0));
    EXPECT_EQ(PixelOf(*half, 0, 0), RGB(2, 0, 0));
    EXPECT_EQ(s->RotateDegrees(*half, 45, 0, 0, 0), 1); // arbitrary angles go to the rotation engine
}

TEST(SurfaceBlit, ConvertsBetweenDepthsKeepingOnlyBlackAsZero) {
    auto s = MakeSurface(3, 1, 32);
    s->SetPixel(0, 0, RGB(0, 0, 0));
    s->SetPixel(1, 0, RGB(0, 0, 1));
    s->SetPixel(2, 0, RGB(255, 255, 255));
    for (int depth : {15, 16}) {
        auto d = MakeSurface(3, 1, depth);
        ASSERT_EQ(s->BlitWhole(*d, 0, 0, 0), 1);
        const BYTE* p = d->LockPixels();
        EXPECT_EQ(p[0] | (p[1] << 8), 0);
        EXPECT_EQ(p[2] | (p[3] << 8), 1);
        EXPECT_EQ(p[4] | (p[5] << 8), 0xFFFF >> (depth == 15 ? 1 : 0));
    }
    auto d24 = MakeSurface(3, 1, 24);
    d24->Fill(RGB(7, 7, 7));
    s->SetColorKey(RGB(255, 255, 255));
    ASSERT_EQ(s->BlitWhole(*d24, 0, 0, 1), 1); // keyed across depths goes through a temporary
    EXPECT_EQ(PixelOf(*d24, 1, 0), RGB(0, 0, 1));
    EXPECT_EQ(PixelOf(*d24, 2, 0), RGB(7, 7, 7));
}

TEST(SurfaceBlit, ClipsToTheSourceRemainingFromItsPosition) {
    auto s = MakeSurface(4, 4, 32);
    s->Fill(RGB(5, 5, 5));
    auto d = MakeSurface(8, 8, 32);
    d->Fill(0);
    // Four columns asked from column 3: only one exists.
    EXPECT_EQ(s->Blit(*d, 0, 0, 3, 3, 4, 4, 0), 1);
    EXPECT_EQ(PixelOf(*d, 0, 0), RGB(5, 5, 5));
    EXPECT_EQ(PixelOf(*d, 1, 0), 0u);
    EXPECT_EQ(PixelOf(*d, 0, 1), 0u);
    EXPECT_EQ(s->Blit(*d, 0, 0, -20, 0, 10, 4, 0), 0);
}

COLORREF Average(COLORREF d, COLORREF s, LPARAM) {
    return RGB(static_cast<BYTE>((GetRValue(d) + GetRValue(s)) / 2), 0, 0);
}

TEST(SurfaceBlit, SameDepthCallbackSeesBothColours) {
    auto s = MakeSurface(2, 1, 32);
    s->Fill(RGB(100, 0, 0));
    s->SetPixel(1, 0, RGB(0, 0, 9));
    s->SetColorKey(RGB(0, 0, 9));
    auto d = MakeSurface(2, 1, 32);
    d->Fill(RGB(50, 0, 0));
    EXPECT_EQ(s->BlitSameDepth(*d, 1, &Average, 0), 1);
    EXPECT_EQ(PixelOf(*d, 0, 0), RGB(75, 0, 0));
    EXPECT_EQ(PixelOf(*d, 1, 0), RGB(50, 0, 0));
    auto other = MakeSurface(2, 1, 24);
    EXPECT_EQ(s->BlitSameDepth(*other, 0, &Average, 0), 0);
}

TEST(SurfaceStretch, EqualSizesAreABlitAndScalingIsRefused) {
    auto s = MakeSurface(2, 2, 32);
    s->Fill(RGB(3, 3, 3));
    auto d = MakeSurface(4, 4, 32);
    EXPECT_EQ(s->StretchBlitWhole(*d, 1, 1, 2, 2, 0), 1);
    EXPECT_EQ(PixelOf(*d, 2, 2), RGB(3, 3, 3));
    EXPECT_EQ(s->StretchToFit(*d, 0), 1); // scaling goes to the stretch engine
    EXPECT_EQ(PixelOf(*d, 3, 3), RGB(3, 3, 3));
    cSurface scaled;
    EXPECT_EQ(scaled.CreateCopy(*s, 5, 5), 1); // a copy of another size is stretched
    EXPECT_TRUE(scaled.HasImplementation());
    EXPECT_EQ(PixelOf(scaled, 4, 4), RGB(3, 3, 3));
    EXPECT_EQ(scaled.CreateCopy(*s, 2, 2), 1);
}

TEST(SurfaceShapes, DrawsFlatRectangles) {
    auto s = MakeSurface(6, 6, 32);
    s->Fill(0);
    EXPECT_EQ(s->RectangleFlat(5, 5, 0, 0, RGB(1, 1, 1), 1, RGB(2, 2, 2), 1), 1);
    EXPECT_EQ(PixelOf(*s, 0, 0), RGB(2, 2, 2));
    EXPECT_EQ(PixelOf(*s, 4, 4), RGB(2, 2, 2));
    EXPECT_EQ(PixelOf(*s, 2, 2), RGB(1, 1, 1));
    EXPECT_EQ(PixelOf(*s, 5, 5), 0u);
}

TEST(SurfaceDirect, ReadsAndWritesEachDepthFormat) {
    struct Case {
        int depth;
        COLORREF written, read;
    };
    for (const Case& c : {Case{15, RGB(255, 255, 255), 0xF8F8F8}, Case{16, RGB(255, 255, 255), 0xF8FCF8},
                          Case{24, RGB(1, 2, 3), RGB(1, 2, 3)}, Case{32, RGB(1, 2, 3), RGB(1, 2, 3)}}) {
        auto s = MakeSurface(2, 2, c.depth);
        s->SetPixelDirect(1, 1, c.written);
        EXPECT_EQ(s->GetPixelDirect(1, 1), c.read) << c.depth;
    }
    auto s = MakeSurface(1, 1, 32);
    s->FillValue(0xFF000000);
    s->SetPixelDirect(0, 0, RGB(1, 2, 3));
    EXPECT_EQ(*reinterpret_cast<DWORD*>(s->LockPixels()), 0xFF010203u); // the fourth byte stays
}

} // namespace
