// Surfaces over device contexts and DIB sections: device contexts shared and released, origins, section
// formats, GDI copies onto a device context, and the full-screen state.
#include "vtrs2/gdi_surfaces.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include "support/window_class.h"
#include "win32/gdi.h"
#include "win32/user.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

namespace {

using namespace win32;

cSurface* Prototype(int depth, int type) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, depth, type, 0);
    return prototype;
}

TEST(DibSection, TwoDeviceContextsAreOneAndGoAfterTheSecondRelease) {
    cSurface section;
    ASSERT_TRUE(section.Create(8, 8, Prototype(32, 1)));
    cSurfaceImplementation* s = section.GetImplementation();
    ASSERT_EQ(s->GetType(), 3);
    HDC first = s->GetDeviceContext();
    HDC second = s->GetDeviceContext();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    s->ReleaseDeviceContext(second);
    EXPECT_EQ(static_cast<cDIBSectionSurface*>(s)->memoryDC, first);
    s->ReleaseDeviceContext(first);
    EXPECT_EQ(static_cast<cDIBSectionSurface*>(s)->memoryDC, nullptr);
}

TEST(DibSection, OriginPacksXLowAndYHigh) {
    cSurface section;
    ASSERT_TRUE(section.Create(4, 4, Prototype(16, 2)));
    section.GetImplementation()->SetOrigin(3, -1);
    EXPECT_EQ(static_cast<DWORD>(section.GetImplementation()->GetOrigin()), 0xFFFF0003u);
}

TEST(DibSection, SixteenBitsHasMasksAndFifteenBitsIsPlainSixteen) {
    cSurface sixteen, fifteen;
    ASSERT_TRUE(sixteen.Create(3, 2, Prototype(16, 1)));
    ASSERT_TRUE(fifteen.Create(3, 2, Prototype(15, 1)));
    const auto* a = static_cast<cDIBSectionSurface*>(sixteen.GetImplementation());
    const auto* b = static_cast<cDIBSectionSurface*>(fifteen.GetImplementation());
    EXPECT_EQ(a->header.biCompression, BI_BITFIELDS);
    EXPECT_EQ(a->header.biBitCount, 16);
    EXPECT_EQ(b->header.biCompression, BI_RGB);
    EXPECT_EQ(b->header.biBitCount, 16);
    // Bottom-up rows: the top row is the last in memory.
    EXPECT_EQ(a->signedPitch, -8);
    EXPECT_EQ(a->pixels, static_cast<BYTE*>(a->pixelAllocation) + 8);
    // The pixels drawn in software are what GDI reads through the DC.
    sixteen.SetPixel(2, 0, RGB(0xF8, 0, 0));
    HDC dc = sixteen.GetImplementation()->GetDeviceContext();
    EXPECT_EQ(GetPixel(dc, 2, 0), RGB(0xFF, 0, 0));
    sixteen.GetImplementation()->ReleaseDeviceContext(dc);
}

TEST(DibSection, CopiesOntoADeviceContextThroughGdiAtTheDestinationsOrigin) {
    cSurface section;
    ASSERT_TRUE(section.Create(6, 4, Prototype(32, 2)));
    section.Fill(RGB(10, 20, 30));
    section.SetPixel(0, 0, RGB(200, 0, 0));
    cSurface target;
    ASSERT_TRUE(target.Create(10, 10, Prototype(32, 1)));
    target.Fill(0);
    HDC targetDC = target.GetImplementation()->GetDeviceContext();
    {
        cSurface onDC;
        ASSERT_TRUE(onDC.CreateOnDC(targetDC));
        EXPECT_EQ(onDC.GetImplementation()->IsDCOnly(), 1);
        // A caller's point (x, y) is the DC's point (x - origin x, y - origin y).
        onDC.SetOrigin(-2, -1);
        EXPECT_EQ(section.Blit(onDC, 0, 0, 0, 0, 6, 4, 0), 1);
    }
    // The caller's DC outlives the surface over it, with the origin that surface gave it.
    POINT origin{};
    EXPECT_TRUE(GetWindowOrgEx(targetDC, &origin));
    EXPECT_EQ(origin.x, -2);
    target.GetImplementation()->ReleaseDeviceContext(targetDC);
    COLORREF at[3] = {};
    target.GetPixel(2, 1, at[0]);
    target.GetPixel(7, 4, at[1]);
    target.GetPixel(1, 1, at[2]);
    EXPECT_EQ(at[0], RGB(200, 0, 0));
    EXPECT_EQ(at[1], RGB(10, 20, 30));
    EXPECT_EQ(at[2], 0u);
}

TEST(DibSection, LeavingFullScreenWithoutEnteringDoesNothing) {
    cSurface section;
    ASSERT_TRUE(section.Create(4, 4, Prototype(32, 2)));
    section.LeaveFullScreen(nullptr);
    DEVMODEW current{};
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &current));
    EXPECT_EQ(static_cast<int>(current.dmPelsWidth), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(static_cast<cDIBSectionSurface*>(section.GetImplementation())->fullScreen.active, 0);
}

// Entering full screen a second time keeps the window's own style and place from the first time, so that
// leaving gives them back rather than the pop-up the window had become.
TEST(DibSection, EnteringFullScreenTwiceLeavesToTheWindowAsItWas) {
    DEVMODEW desktop{};
    desktop.dmSize = sizeof desktop;
    ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &desktop));
    const SIZE modes[] = {{640, 480},
                          {800, 600},
                          {static_cast<LONG>(desktop.dmPelsWidth), static_cast<LONG>(desktop.dmPelsHeight)}};
    win32::testing::SetDisplayModes(modes, 3);
    test_support::RegisterWindowClass(u"FullScreenProbe", DefWindowProcW);
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    HWND window = CreateWindowExW(0, u"FullScreenProbe", u"", style, 30, 40, 300, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    RECT before{};
    GetWindowRect(window, &before);
    cSurface section;
    ASSERT_TRUE(section.Create(4, 4, Prototype(32, 2)));
    EXPECT_TRUE(section.EnterFullScreen(window, 640, 480, 32));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & WS_POPUP, WS_POPUP);
    EXPECT_TRUE(section.EnterFullScreen(window, 800, 600, 32));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    // A mode the display does not have changes nothing.
    EXPECT_FALSE(section.EnterFullScreen(window, 1000, 700, 32));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    section.LeaveFullScreen(window);
    RECT after{};
    GetWindowRect(window, &after);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), style);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), static_cast<int>(desktop.dmPelsWidth));
    EXPECT_EQ(static_cast<cDIBSectionSurface*>(section.GetImplementation())->fullScreen.active, 0);
    DestroyWindow(window);
    ChangeDisplaySettingsW(nullptr, 0);
    win32::testing::SetDisplayModes(nullptr, 0);
}

} // namespace
