// The 3D device over the process's OpenGL context (llvmpipe in tests): adapter, back buffer, clears,
// presentation into a window, resets, lost devices and the virtual raster.
#include "device_fixture.h"
#include "win32/gdi.h"
#include "win32/kernel.h"
#include "win32/user.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

using namespace d3d_test;

namespace {

TEST(Direct3DCreate, RefusesAnotherInterfaceVersion) {
    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION + 1), nullptr);
}

TEST(Direct3DCreate, WithoutAnyOpenGlGivesNullAndSaysSo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The re-run child finds no EGL vendor library, so no display of any kind can be had.
    EXPECT_EXIT(
        {
            setenv("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/vendor.json", 1);
            setenv("__EGL_VENDOR_LIBRARY_DIRS", "/nonexistent", 1);
            std::_Exit(Direct3DCreate8(D3D_SDK_VERSION) == nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "no OpenGL 3.3 core context");
}

TEST_F(DeviceTest, AdapterShowsTheDesktopAt32BitsAndListsModesAt32Bits) {
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(static_cast<int>(mode.Width), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(static_cast<int>(mode.Height), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GT(mode.RefreshRate, 0u);
    EXPECT_EQ(direct3d->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);

    const SIZE sizes[] = {{640, 480}, {800, 600}};
    win32::testing::SetDisplayModes(sizes, 2);
    const UINT count = direct3d->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    std::vector<std::pair<UINT, UINT>> seen;
    for (UINT i = 0; i < count; ++i) {
        ASSERT_EQ(direct3d->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode), D3D_OK);
        EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
        seen.emplace_back(mode.Width, mode.Height);
    }
    EXPECT_EQ(direct3d->EnumAdapterModes(D3DADAPTER_DEFAULT, count, &mode), D3DERR_INVALIDCALL);
    win32::testing::SetDisplayModes(nullptr, 0);
    for (const SIZE& s : sizes)
        EXPECT_NE(std::find(seen.begin(), seen.end(), std::pair<UINT, UINT>(s.cx, s.cy)), seen.end());
}

TEST_F(DeviceTest, CapsGiveTheContextsTextureLimitAndVersion14PixelShaders) {
    D3DCAPS8 caps{};
    ASSERT_EQ(direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_GE(caps.MaxTextureWidth, 1024u); // the least any 3.3 context has
    EXPECT_EQ(caps.MaxTextureWidth, caps.MaxTextureHeight);
    EXPECT_EQ(caps.PixelShaderVersion, 0xFFFF0104u);
    EXPECT_TRUE(caps.AlphaCmpCaps & D3DPCMPCAPS_GREATEREQUAL);
    EXPECT_TRUE(caps.TextureFilterCaps & D3DPTFILTERCAPS_MIPFLINEAR);
    EXPECT_EQ((caps.TextureFilterCaps & D3DPTFILTERCAPS_MAGFANISOTROPIC) != 0, caps.MaxAnisotropy > 1);

    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    D3DCAPS8 fromDevice{};
    ASSERT_EQ(device->GetDeviceCaps(&fromDevice), D3D_OK);
    EXPECT_EQ(fromDevice.MaxTextureWidth, caps.MaxTextureWidth);
}

TEST_F(DeviceTest, BackBufferTakesTheClientAreaAndStartsBlack) {
    D3DPRESENT_PARAMETERS p = Windowed(child);
    ASSERT_EQ(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, top, 0, &p, &device), D3D_OK);
    EXPECT_EQ(p.BackBufferWidth, 64u);
    EXPECT_EQ(p.BackBufferHeight, 48u);
    UINT width = 0, height = 0;
    const std::vector<D3DCOLOR> pixels = BackBuffer(&width, &height);
    EXPECT_EQ(width, 64u);
    EXPECT_EQ(height, 48u);
    ASSERT_EQ(pixels.size(), 64u * 48u);
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](D3DCOLOR c) { return (c & 0xFFFFFF) == 0; }));
}

struct ClearCase {
    const char* name;
    std::vector<D3DRECT> rects;
};

void PrintTo(const ClearCase& c, std::ostream* os) {
    *os << c.name;
}

class ClearRects : public DeviceTest, public ::testing::WithParamInterface<ClearCase> {};

// Each rectangle is cleared where it lies inside the back buffer, rows counted from the top; empty and
// inverted rectangles clear nothing.
TEST_P(ClearRects, ClearOnlyTheirPixels) {
    constexpr UINT W = 40, H = 30;
    constexpr D3DCOLOR Ground = 0xFF102030, Paint = 0x80C08040;
    ASSERT_EQ(Create(Windowed(child, W, H)), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, Ground, 1.0f, 0), D3D_OK);
    const std::vector<D3DRECT>& rects = GetParam().rects;
    ASSERT_EQ(device->Clear(static_cast<DWORD>(rects.size()), rects.data(), D3DCLEAR_TARGET, Paint, 1.0f, 0),
              D3D_OK);
    std::vector<D3DCOLOR> expected(W * H, Ground);
    for (const D3DRECT& r : rects)
        for (LONG y = std::max(0, r.y1); y < std::min<LONG>(H, r.y2); ++y)
            for (LONG x = std::max(0, r.x1); x < std::min<LONG>(W, r.x2); ++x)
                expected[y * W + x] = Paint;
    const std::vector<D3DCOLOR> pixels = BackBuffer();
    ASSERT_EQ(pixels.size(), expected.size());
    for (UINT i = 0; i < W * H; ++i)
        ASSERT_EQ(pixels[i], expected[i]) << "at (" << i % W << ", " << i / W << ")";
}

INSTANTIATE_TEST_SUITE_P(Cases, ClearRects,
                         ::testing::Values(ClearCase{"OneInside", {{3, 2, 10, 5}}},
                                           ClearCase{"TopLeftPixel", {{0, 0, 1, 1}}},
                                           ClearCase{"TwoOverlapping", {{0, 0, 20, 10}, {15, 5, 30, 25}}},
                                           ClearCase{"PartlyOutside", {{-5, -5, 4, 3}, {35, 25, 60, 90}}},
                                           ClearCase{"EmptyAndInverted", {{5, 5, 5, 9}, {10, 10, 4, 4}}},
                                           ClearCase{"WhollyOutside", {{40, 0, 50, 10}, {-9, -9, 0, 0}}}),
                         [](const ::testing::TestParamInfo<ClearCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(DeviceTest, ClearRefusesWhatItCannotDo) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL); // no depth buffer
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, 0, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    device->Release();
    device = nullptr;
    ASSERT_EQ(Create(Windowed(child, 0, 0, true)), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF00FF00, 1.0f, 0), D3D_OK);
    EXPECT_EQ(BackBuffer()[0], 0xFF00FF00u);
}

TEST_F(DeviceTest, ScenesDoNotNest) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
}

// The top-level window is painted white, the device shows a red back buffer with a blue square in the
// child; the rest of the top-level window keeps its white.
TEST_F(DeviceTest, PresentShowsTheBackBufferInTheChildsClientArea) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    HDC dc = GetDC(top);
    RECT all{0, 0, TopWidth, TopHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(top, dc);
    const D3DRECT square{10, 20, 14, 24};
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Clear(1, &square, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inSquare = x >= 10 && x < 14 && y >= 20 && y < 24;
            ASSERT_EQ(win32::testing::ReadWindowPixel(child, x, y),
                      inSquare ? RGB(0, 0, 255) : RGB(255, 0, 0))
                << "at (" << x << ", " << y << ")";
        }
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, ChildRect.left - 1, ChildRect.top), RGB(255, 255, 255));
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, ChildRect.right, ChildRect.bottom - 1),
              RGB(255, 255, 255));
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, ChildRect.left, ChildRect.top), RGB(255, 0, 0));
}

// A back buffer smaller than the window is scaled up to fill its client area: each back-buffer pixel
// covers the window pixels that map back onto it.
TEST_F(DeviceTest, PresentScalesABackBufferOfAnotherSize) {
    constexpr UINT W = 24, H = 20; // into 64 x 48
    ASSERT_EQ(Create(Windowed(child, W, H)), D3D_OK);
    for (UINT y = 0; y < H; ++y)
        for (UINT x = 0; x < W; ++x) {
            const D3DRECT pixel{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + 1),
                                static_cast<LONG>(y + 1)};
            device->Clear(1, &pixel, D3DCLEAR_TARGET, 0xFF000000 | (x * 10) << 16 | (y * 12) << 8, 1.0f, 0);
        }
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const double sx = (x + 0.5) * W / 64, sy = (y + 0.5) * H / 48;
            const COLORREF got = win32::testing::ReadWindowPixel(child, x, y);
            // The pixel shown is one of the back-buffer pixels under the window pixel's area.
            const int gx = GetRValue(got) / 10, gy = GetGValue(got) / 12;
            ASSERT_LE(std::abs(gx + 0.5 - sx), 0.5 + 0.5 * W / 64) << x << ", " << y;
            ASSERT_LE(std::abs(gy + 0.5 - sy), 0.5 + 0.5 * H / 48) << x << ", " << y;
        }
}

// In full screen the picture keeps its shape: as large as the window allows, centred, black around.
TEST_F(DeviceTest, FullScreenPresentKeepsTheBackBuffersShape) {
    D3DPRESENT_PARAMETERS p = Windowed(child, 32, 16); // into 64 x 48: 64 x 32 from row 8
    p.Windowed = FALSE;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    p.BackBufferCount = 2;
    ASSERT_EQ(Create(p), D3D_OK);
    const D3DRECT left{0, 0, 16, 16};
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Clear(1, &left, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const COLORREF want = y < 8 || y >= 40 ? RGB(0, 0, 0) : x < 32 ? RGB(0, 255, 0) : RGB(255, 0, 0);
            ASSERT_EQ(win32::testing::ReadWindowPixel(child, x, y), want) << x << ", " << y;
        }
}

// A full-screen device holds the screen: its picture covers the device window's visible children too.
TEST_F(DeviceTest, FullScreenPresentCoversTheWindowsChildren) {
    SetWindowLongPtrW(top, GWL_STYLE, GetWindowLongPtrW(top, GWL_STYLE) | WS_CLIPCHILDREN);
    D3DPRESENT_PARAMETERS p = Windowed(top, TopWidth, TopHeight);
    p.Windowed = FALSE;
    p.BackBufferFormat = D3DFMT_A8R8G8B8;
    ASSERT_EQ(Create(p), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 5, 5), RGB(0, 0, 255));
    EXPECT_EQ(win32::testing::ReadWindowPixel(top, 2, 2), RGB(0, 0, 255));
}

TEST_F(DeviceTest, OnlyStatesThatChangeAreCounted) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    const unsigned before = win32::testing::StateChangeCount(device);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE); // already so
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    EXPECT_EQ(win32::testing::StateChangeCount(device) - before, 2u);
}

TEST_F(DeviceTest, PresentToAWindowThatIsGoneFails) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    const RECT r{0, 0, 10, 10};
    EXPECT_EQ(device->Present(&r, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    DestroyWindow(child);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ResetFollowsTheWindowsNewSizeAndRestoresDefaultStates) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE), D3D_OK);
    SetWindowPos(child, nullptr, 0, 0, 100, 70, SWP_NOZORDER | SWP_NOMOVE);
    D3DPRESENT_PARAMETERS p = Windowed(child);
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    UINT width = 0, height = 0;
    BackBuffer(&width, &height);
    EXPECT_EQ(width, 100u);
    EXPECT_EQ(height, 70u);
    DWORD value = 0;
    ASSERT_EQ(device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE));
    ASSERT_EQ(device->GetTextureStageState(1, D3DTSS_COLOROP, &value), D3D_OK);
    EXPECT_EQ(value, D3DTOP_DISABLE);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 99, 69), RGB(0, 255, 0));
}

// Present fails while the device is lost; a reset is refused until the device says it can be reset,
// then brings it back.
TEST_F(DeviceTest, ALostDeviceComesBackThroughAReset) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    win32::testing::LoseDevice(device);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS p = Windowed(child);
    EXPECT_EQ(device->Reset(&p), D3DERR_DEVICELOST);
    win32::testing::LetLostDeviceReset(device);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(DeviceTest, RefusedParametersMakeNoDevice) {
    D3DCAPS8 caps{};
    ASSERT_EQ(direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    const HWND gone = MakeWindow(top, RECT{0, 0, 8, 8});
    DestroyWindow(gone);
    struct Case {
        const char* name;
        D3DPRESENT_PARAMETERS p;
    };
    D3DPRESENT_PARAMETERS wide = Windowed(child, caps.MaxTextureWidth + 1, 16);
    D3DPRESENT_PARAMETERS fullZero = Windowed(child);
    fullZero.Windowed = FALSE;
    D3DPRESENT_PARAMETERS badFormat = Windowed(child);
    badFormat.BackBufferFormat = D3DFMT_R5G6B5;
    D3DPRESENT_PARAMETERS badDepth = Windowed(child, 0, 0, true);
    badDepth.AutoDepthStencilFormat = D3DFMT_X8R8G8B8;
    const Case cases[] = {
        {"above the texture limit", wide},
        {"full screen of size 0", fullZero},
        {"a format of another depth", badFormat},
        {"a depth format that is none", badDepth},
        {"a window that is gone", Windowed(gone)},
        {"a handle that is no window", Windowed(reinterpret_cast<HWND>(std::uintptr_t{0x1230}))}};
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS p = c.p;
        EXPECT_EQ(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, top, 0, &p, &device),
                  D3DERR_INVALIDCALL)
            << c.name;
        EXPECT_EQ(device, nullptr) << c.name;
    }
    // A refused reset leaves a working device alone.
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    EXPECT_EQ(device->Reset(&wide), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    EXPECT_EQ(BackBuffer()[0], 0xFF0000FFu);
}

// The raster runs from line 0 at each period's start down the display, then into the vertical blank at
// the period's end; periods follow the layer's clock (the fake one here).
TEST_F(DeviceTest, RasterFollowsTheLayersClockAtTheRefreshRate) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(device->GetDisplayMode(&mode), D3D_OK);
    const DWORD whole = 1000 / std::gcd(1000u, mode.RefreshRate); // a whole number of periods in ms
    const double period = 1000.0 / mode.RefreshRate;
    win32::testing::UseFakeClock(true);
    win32::testing::AdvanceFakeClock(whole - timeGetTime() % whole);
    D3DRASTER_STATUS status{};
    ASSERT_EQ(device->GetRasterStatus(&status), D3D_OK);
    EXPECT_FALSE(status.InVBlank);
    EXPECT_EQ(status.ScanLine, 0u);
    const auto half = static_cast<DWORD>(period / 2);
    win32::testing::AdvanceFakeClock(half);
    ASSERT_EQ(device->GetRasterStatus(&status), D3D_OK);
    EXPECT_FALSE(status.InVBlank);
    const double expected = half / period * mode.Height * 25 / 24;
    EXPECT_NEAR(status.ScanLine, expected, mode.Height / 24.0);
    win32::testing::AdvanceFakeClock(static_cast<DWORD>(period) - half); // the period's last millisecond
    ASSERT_EQ(device->GetRasterStatus(&status), D3D_OK);
    EXPECT_TRUE(status.InVBlank);
    EXPECT_EQ(status.ScanLine, 0u);
    win32::testing::AdvanceFakeClock(whole - static_cast<DWORD>(period)); // the next whole number of periods
    ASSERT_EQ(device->GetRasterStatus(&status), D3D_OK);
    EXPECT_FALSE(status.InVBlank);
    EXPECT_EQ(status.ScanLine, 0u);
    win32::testing::UseFakeClock(false);
}

TEST_F(DeviceTest, ReferencesAreCounted) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    IDirect3D8* owner = nullptr;
    ASSERT_EQ(device->GetDirect3D(&owner), D3D_OK);
    EXPECT_EQ(owner, direct3d);
    // The test's reference, the device's and the one just given.
    EXPECT_EQ(owner->Release(), 2u);
}

} // namespace
