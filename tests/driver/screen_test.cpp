// The screen on the platform's 3D device (llvmpipe in tests): binding to windows and handing a window's
// device over, scenes, presentation and lost devices, full screen, the raster, display modes, the device
// block and the lost-device callbacks.
#include "screen_fixture.h"
#include "screen_registry.h"

#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace driver_test;

namespace {

// Counts the calls a lost-device callback got, by argument.
std::vector<LPARAM> callbackCalls;
void RecordCall(cSurface*, LPARAM argument) {
    callbackCalls.push_back(argument);
}
void OtherCall(cSurface*, LPARAM argument) {
    callbackCalls.push_back(argument + 1000);
}

class Screen : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        callbackCalls.clear();
    }
    // A callback that records each reset of the screen's device.
    void WatchResets(cD3DScreenSurface* screen) {
        screen->AddLostDeviceCallback(RecordCall, reinterpret_cast<cSurface*>(&watcher), 7);
    }
    int watcher = 0;
};

TEST_F(Screen, IsMadeWithoutADeviceAt32BitsAndRegistered) {
    cD3DScreenSurface* screen = NewScreen(100, 30);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->GetType(), 13);
    EXPECT_EQ(screen->width, 100);
    EXPECT_EQ(screen->height, 30);
    EXPECT_EQ(screen->depth, 32);
    EXPECT_EQ(screen->pitch, 400);
    EXPECT_EQ(screen->palette, nullptr);
    EXPECT_EQ(screen->Device(), nullptr);
    EXPECT_EQ(screen->MaxTextureWidth(), 1024);
    // Drawing without a device does nothing and says so.
    EXPECT_EQ(screen->FillRect(0, 0, 4, 4, 0xFF), 0);
    EXPECT_EQ(screen->Present(), 0);
    EXPECT_EQ(screen->GetScanLine(), -1);
    EXPECT_EQ(screen->WaitVBlank(), 0);
}

TEST_F(Screen, SetWindowRefusesAHandleThatIsNoWindow) {
    cD3DScreenSurface* screen = NewScreen();
    const HWND gone = MakeWindow(top, RECT{0, 0, 8, 8});
    DestroyWindow(gone);
    EXPECT_EQ(screen->SetWindow(gone), 0);
    EXPECT_EQ(screen->SetWindow(reinterpret_cast<HWND>(std::uintptr_t{0x1230})), 0);
    EXPECT_EQ(screen->SetWindow(nullptr), 0);
    EXPECT_EQ(screen->Device(), nullptr);
}

TEST_F(Screen, SetWindowMakesTheDeviceWithTheFixedStates) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    IDirect3DDevice8* device = screen->Device();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(screen->DeviceWindow(), child);
    EXPECT_GE(screen->MaxTextureWidth(), 1024);
    struct Expected {
        D3DRENDERSTATETYPE state;
        DWORD value;
    };
    // The platform's device can compare alpha, so the alpha test is on.
    const Expected states[] = {{D3DRS_ALPHABLENDENABLE, 1},
                               {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                               {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
                               {D3DRS_ALPHATESTENABLE, 1},
                               {D3DRS_ALPHAREF, 1},
                               {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL},
                               {D3DRS_CULLMODE, D3DCULL_NONE},
                               {D3DRS_LIGHTING, 0},
                               {D3DRS_COLORWRITEENABLE, 15},
                               {D3DRS_ZENABLE, 0}};
    for (const Expected& e : states) {
        DWORD value = 0xDEAD;
        device->GetRenderState(e.state, &value);
        EXPECT_EQ(value, e.value) << "render state " << e.state;
    }
    DWORD op = 0;
    device->GetTextureStageState(1, D3DTSS_COLOROP, &op);
    EXPECT_EQ(op, D3DTOP_DISABLE);
    device->GetTextureStageState(0, D3DTSS_MIPFILTER, &op);
    EXPECT_EQ(op, D3DTEXF_LINEAR);
    UINT w = 0, h = 0;
    BackBuffer(screen, &w, &h);
    EXPECT_EQ(w, static_cast<UINT>(ChildWidth));
    EXPECT_EQ(h, static_cast<UINT>(ChildHeight));
}

TEST_F(Screen, SetWindowOfUnchangedSizeKeepsTheDeviceAndAResizedOneResetsIt) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    WatchResets(screen);
    IDirect3DDevice8* device = screen->Device();
    EXPECT_EQ(screen->SetWindow(child), 1);
    EXPECT_TRUE(callbackCalls.empty());
    EXPECT_EQ(screen->Device(), device);

    SetWindowPos(child, nullptr, 0, 0, 40, 20, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(screen->SetWindow(child), 1);
    EXPECT_EQ(callbackCalls, std::vector<LPARAM>{7});
    UINT w = 0, h = 0;
    BackBuffer(screen, &w, &h);
    EXPECT_EQ(w, 40u);
    EXPECT_EQ(h, 20u);
    // The size is the one recorded now: syncing finds nothing to do.
    screen->SyncWindowSize();
    EXPECT_EQ(callbackCalls.size(), 1u);
    SetWindowPos(child, nullptr, 0, 0, 50, 30, SWP_NOZORDER | SWP_NOMOVE);
    screen->SyncWindowSize();
    EXPECT_EQ(callbackCalls.size(), 2u);
}

TEST_F(Screen, ASecondScreenOnTheWindowTakesItsDeviceOver) {
    cD3DScreenSurface* first = BoundScreen();
    ASSERT_NE(first, nullptr);
    WatchResets(first);
    IDirect3DDevice8* device = first->Device();
    cD3DScreenSurface* second = NewScreen();
    second->AddLostDeviceCallback(OtherCall, reinterpret_cast<cSurface*>(&watcher), 1);

    EXPECT_EQ(second->SetWindow(child), 1);
    EXPECT_EQ(second->Device(), device);
    EXPECT_EQ(second->DeviceWindow(), child);
    EXPECT_EQ(first->Device(), nullptr);
    EXPECT_EQ(first->DeviceWindow(), nullptr);
    // Same size: no reset. The callbacks came along, after the second screen's own.
    EXPECT_TRUE(callbackCalls.empty());
    ASSERT_EQ(second->LostDeviceCallbacks().size(), 2u);
    EXPECT_EQ(second->LostDeviceCallbacks()[1].argument, 7);
    EXPECT_TRUE(first->LostDeviceCallbacks().empty());
    // Asking again finds the window is already this screen's.
    EXPECT_EQ(second->SetWindow(child), 1);

    // A third screen of another size takes it and resets it for its size.
    cD3DScreenSurface* third = NewScreen(32, 16);
    EXPECT_EQ(third->SetWindow(child), 1);
    EXPECT_EQ(third->Device(), device);
    EXPECT_EQ(callbackCalls, (std::vector<LPARAM>{1001, 7}));
    // The first can draw again only once it has a window of its own.
    EXPECT_EQ(first->FillRect(0, 0, 2, 2, 0), 0);
}

struct NestingStep {
    const char* call; // "begin" or "end"
    int result;
};

TEST_F(Screen, NestedScenesClearAndBeginOnceAndEndDrawStopsAtZero) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    const NestingStep steps[] = {{"begin", 1}, {"begin", 2}, {"end", 1}, {"begin", 2},
                                 {"end", 1},   {"end", 0},   {"end", 0}};
    int step = 0;
    for (const NestingStep& s : steps) {
        // Every inner BeginDraw asks to clear in another colour: only the outermost one clears.
        const COLORREF colour = step == 0 ? RGB(255, 0, 0) : RGB(0, 0, 255);
        const int result = std::string(s.call) == "begin" ? screen->BeginDraw(1, colour) : screen->EndDraw();
        EXPECT_EQ(result, s.result) << "step " << step;
        ++step;
    }
    EXPECT_EQ(BackBuffer(screen)[0] & 0xFFFFFFu, 0xFF0000u);
    // A scene begun anew clears again.
    screen->BeginDraw(1, RGB(0, 255, 0));
    screen->EndDraw();
    EXPECT_EQ(BackBuffer(screen)[0] & 0xFFFFFFu, 0x00FF00u);
}

TEST_F(Screen, PresentInsideAScenesDoesNothingAndAfterItShowsTheBackBuffer) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    screen->BeginDraw(1, RGB(10, 20, 30));
    EXPECT_EQ(screen->FillRect(4, 2, 3, 5, RGB(200, 100, 50)), 1);
    EXPECT_EQ(screen->Present(), 0);
    EXPECT_NE(win32::testing::ReadWindowPixel(child, 0, 0), RGB(10, 20, 30));
    screen->EndDraw();
    EXPECT_EQ(screen->Present(), 0);
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 0, 0), RGB(10, 20, 30));
    // The fill covers exactly its rectangle.
    struct Probe {
        int x, y;
        COLORREF colour;
    };
    const Probe probes[] = {{4, 2, RGB(200, 100, 50)}, {6, 6, RGB(200, 100, 50)}, {3, 2, RGB(10, 20, 30)},
                            {7, 2, RGB(10, 20, 30)},   {4, 1, RGB(10, 20, 30)},   {4, 7, RGB(10, 20, 30)}};
    for (const Probe& p : probes)
        EXPECT_EQ(win32::testing::ReadWindowPixel(child, p.x, p.y), p.colour) << p.x << "," << p.y;
}

// The front end takes its origin off fills and blits itself; lines and text, which it forwards as they come,
// take the screen's origin off here.
TEST_F(Screen, FillsAreCutToTheClipAndLinesTakeTheOriginOff) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    screen->SetOrigin(2, 1);
    EXPECT_EQ(screen->GetOrigin(), (1 << 16) | 2);
    screen->SetClipRect(0, 0, 10, 10);
    screen->BeginDraw(1, RGB(0, 0, 0));
    screen->FillRect(-5, -5, 20, 20, RGB(255, 255, 255));
    screen->DrawLine(2 + 20, 1 + 30, 2 + 30, 1 + 30, 1, RGB(255, 0, 0));
    screen->EndDraw();
    const std::vector<D3DCOLOR> pixels = BackBuffer(screen);
    EXPECT_EQ(pixels[0] & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_EQ(pixels[9 * ChildWidth + 9] & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_EQ(pixels[10] & 0xFFFFFFu, 0u);
    EXPECT_EQ(pixels[10 * ChildWidth] & 0xFFFFFFu, 0u);
    EXPECT_EQ(pixels[30 * ChildWidth + 20] & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(pixels[31 * ChildWidth + 22] & 0xFFFFFFu, 0u);
}

// TextOut lays its text out in the clip rectangle whatever its point says; without a clip rectangle it lays
// out from its point to the surface's clip edges instead of reading through the missing rectangle.
TEST_F(Screen, TextOutLaysOutInItsClipOrFromItsPointWithoutOne) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    LOGFONTA logFont{};
    logFont.lfHeight = -12;
    std::strcpy(logFont.lfFaceName, "DejaVu Sans");
    HFONT font = CreateFontIndirectA(&logFont);
    ASSERT_NE(font, nullptr);
    struct Case {
        int x, y;
        bool clipped;
    };
    for (const Case c : {Case{0, 0, true}, Case{5, 25, false}}) {
        RECT clip{30, 20, ChildWidth, ChildHeight};
        screen->BeginDraw(1, RGB(0, 0, 0));
        EXPECT_GT(screen->TextOutWide(u"WWWW", 4, c.x, c.y, 0, c.clipped ? &clip : nullptr,
                                      RGB(255, 255, 255), font, 0, 0, 0, 0),
                  0);
        EXPECT_EQ(screen->TextOutAnsi("", 0, c.x, c.y, 0, &clip, RGB(255, 255, 255), font, 0, 0, 0, 0), 0);
        screen->EndDraw();
        const std::vector<D3DCOLOR> pixels = BackBuffer(screen);
        const int left = c.clipped ? clip.left : c.x, top = c.clipped ? clip.top : c.y;
        int inked = 0, outside = 0;
        for (int y = 0; y < ChildHeight; ++y)
            for (int x = 0; x < ChildWidth; ++x)
                if (pixels[static_cast<std::size_t>(y * ChildWidth + x)] & 0xFFFFFFu) {
                    ++inked;
                    outside += x < left || y < top;
                }
        EXPECT_GT(inked, 20) << c.x << "," << c.y;
        EXPECT_EQ(outside, 0) << c.x << "," << c.y;
    }
    DeleteFont(font);
}

TEST_F(Screen, ALostDeviceIsResetOnceItCanBe) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    WatchResets(screen);
    win32::testing::LoseDevice(screen->Device());
    EXPECT_EQ(screen->Present(), 0);
    EXPECT_TRUE(callbackCalls.empty());
    win32::testing::LetLostDeviceReset(screen->Device());
    EXPECT_EQ(screen->Present(), 1);
    EXPECT_EQ(callbackCalls.size(), 1u);
    EXPECT_FALSE(screen->IsDeviceLost());
    screen->BeginDraw(1, RGB(0, 0, 255));
    screen->EndDraw();
    EXPECT_EQ(screen->Present(), 0);
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 1, 1), RGB(0, 0, 255));
}

TEST_F(Screen, AFailedCreationMarksTheDeviceLostAndTheNextSetWindowTriesAgain) {
    cD3DScreenSurface* screen = NewScreen();
    screen->MakeCurrent();
    // Wider than any texture the device can make.
    SetWindowPos(child, nullptr, 0, 0, 100000, 10, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(screen->SetWindow(child), 0);
    EXPECT_TRUE(screen->IsDeviceLost());
    EXPECT_EQ(screen->Device(), nullptr);
    SetWindowPos(child, nullptr, 0, 0, ChildWidth, ChildHeight, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(screen->SetWindow(child), 1);
    EXPECT_FALSE(screen->IsDeviceLost());
    EXPECT_NE(screen->Device(), nullptr);
}

TEST_F(Screen, TheDepthBufferIsAskedOnceAndResetsTheDevice) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    WatchResets(screen);
    screen->EnableDepthBuffer(1);
    screen->EnableDepthBuffer(1);
    EXPECT_EQ(callbackCalls.size(), 1u);
    DWORD z = 0;
    screen->Device()->GetRenderState(D3DRS_ZENABLE, &z);
    EXPECT_EQ(z, 1u);
}

TEST_F(Screen, EnteringFullScreenTwiceFailsTheSecondTimeAndLeavingRestoresTheWindow) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    RECT before{};
    GetWindowRect(top, &before);
    const LONG_PTR style = GetWindowLongPtrW(top, GWL_STYLE);
    EXPECT_EQ(screen->EnterFullScreen(child, 320, 240, 32), 1);
    EXPECT_EQ(screen->EnterFullScreen(child, 320, 240, 32), 0);
    EXPECT_TRUE(screen->IsFullScreen());
    // The back buffer has the asked size and the device presents into the top-level window; the child
    // is hidden.
    UINT w = 0, h = 0;
    BackBuffer(screen, &w, &h);
    EXPECT_EQ(w, 320u);
    EXPECT_EQ(h, 240u);
    EXPECT_EQ(screen->DeviceWindow(), top);
    EXPECT_FALSE(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE);

    screen->LeaveFullScreen(child);
    EXPECT_FALSE(screen->IsFullScreen());
    RECT after{};
    GetWindowRect(top, &after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(GetWindowLongPtrW(top, GWL_STYLE), style);
    EXPECT_TRUE(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(screen->DeviceWindow(), child);
    BackBuffer(screen, &w, &h);
    EXPECT_EQ(w, static_cast<UINT>(ChildWidth));
    // Leaving again changes nothing.
    screen->LeaveFullScreen(child);
    EXPECT_EQ(screen->DeviceWindow(), child);
}

TEST_F(Screen, TheCurrentScreenTakesTheFullScreenStateOfAnother) {
    cD3DScreenSurface* current = BoundScreen();
    ASSERT_NE(current, nullptr);
    cD3DScreenSurface* other = NewScreen();
    EXPECT_EQ(other->EnterFullScreen(child, 200, 100, 32), 1);
    EXPECT_TRUE(current->IsFullScreen());
    UINT w = 0, h = 0;
    BackBuffer(current, &w, &h);
    EXPECT_EQ(w, 200u);
    other->LeaveFullScreen(child);
    EXPECT_FALSE(current->IsFullScreen());
    BackBuffer(current, &w, &h);
    EXPECT_EQ(w, static_cast<UINT>(ChildWidth));
}

// On the layer's fake clock the raster stands still: the scan line reads where it stands, and a wait for
// the vertical blank gives up after two refresh periods, in the blank or out of it, rather than hang.
TEST_F(Screen, TheScanLineFollowsTheRasterAndAWaitOnAStoppedRasterGivesUp) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    win32::testing::UseFakeClock(true);
    bool sawBlank = false, sawLine = false;
    for (int step = 0; step < 40 && !(sawBlank && sawLine); ++step) {
        D3DRASTER_STATUS status{};
        screen->Device()->GetRasterStatus(&status);
        const int line = screen->GetScanLine();
        if (status.InVBlank) {
            EXPECT_EQ(line, 32000);
            if (!sawBlank) {
                EXPECT_EQ(screen->WaitVBlank(), 0);
            }
            sawBlank = true;
        } else {
            EXPECT_EQ(line, static_cast<int>(status.ScanLine));
            if (!sawLine) {
                EXPECT_EQ(screen->WaitVBlank(), 0);
            }
            sawLine = true;
        }
        win32::testing::AdvanceFakeClock(1);
    }
    win32::testing::UseFakeClock(false);
    EXPECT_TRUE(sawBlank && sawLine);
}

int CountMode(const DisplayModeInfo* mode, void* argument) {
    auto* seen = static_cast<std::vector<DisplayModeInfo>*>(argument);
    seen->push_back(*mode);
    return 1;
}

int StopAtOnce(const DisplayModeInfo*, void* argument) {
    ++*static_cast<int*>(argument);
    return 0;
}

TEST_F(Screen, EveryModeIsReportedThreeTimesUnlessTheCallbackStops) {
    cD3DScreenSurface* screen = NewScreen();
    const SIZE sizes[] = {{640, 480}, {800, 600}};
    win32::testing::SetDisplayModes(sizes, 2);
    IDirect3D8* direct3D = Direct3DCreate8(D3D_SDK_VERSION);
    const UINT count = direct3D->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    direct3D->Release();
    std::vector<DisplayModeInfo> seen;
    screen->EnumDisplayModes(CountMode, &seen);
    ASSERT_EQ(seen.size(), 3 * count);
    for (UINT i = 0; i < count; ++i) {
        EXPECT_EQ(seen[i].width, seen[i + count].width);
        EXPECT_EQ(seen[i].height, seen[i + 2 * count].height);
        EXPECT_EQ(seen[i].bitsPerPixel, 32);
    }
    int calls = 0;
    screen->EnumDisplayModes(StopAtOnce, &calls);
    EXPECT_EQ(calls, 1);
    screen->EnumDisplayModes(nullptr, &calls);
    win32::testing::SetDisplayModes(nullptr, 0);
}

struct InfoCase {
    const char* name;
    std::uint32_t size; // the block's size field
    bool filled;
};

class DriverInfoBlock : public Screen, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(DriverInfoBlock, IsFilledOnlyWhenItIsLargeEnough) {
    const InfoCase& c = GetParam();
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    unsigned char block[64];
    std::memset(block, 0xAB, sizeof block);
    std::memcpy(block, &c.size, sizeof c.size);
    EXPECT_EQ(screen->GetDriverInfo(block), 48);
    display_driver::DriverInfo info{};
    std::memcpy(&info, block, sizeof info);
    if (!c.filled) {
        EXPECT_EQ(info.size, c.size);
        EXPECT_EQ(block[4], 0xAB);
        EXPECT_EQ(block[47], 0xAB);
        return;
    }
    EXPECT_EQ(info.size, 48u);
    EXPECT_EQ(info.kind, 8u);
    EXPECT_NE(info.direct3D, nullptr);
    EXPECT_EQ(info.device, screen->Device());
    EXPECT_EQ(info.texture, nullptr);
    EXPECT_EQ(info.pixelShaderVersion & 0xFFFF, 0x104u);
    EXPECT_EQ(info.reserved, 0u);
    EXPECT_EQ(static_cast<int>(info.maxTextureWidth), screen->MaxTextureWidth());
    // Nothing is written past the block.
    EXPECT_EQ(block[48], 0xAB);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DriverInfoBlock,
                         ::testing::Values(InfoCase{"Empty", 0, false},
                                           InfoCase{"ThirtyFiveBytes", 35, false},
                                           InfoCase{"ThirtySixBytes", 36, false},
                                           InfoCase{"OneShort", 47, false}, InfoCase{"Exact", 48, true},
                                           InfoCase{"Larger", 64, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Screen, ANullInfoBlockIsLeftAlone) {
    cD3DScreenSurface* screen = NewScreen();
    EXPECT_EQ(screen->GetDriverInfo(nullptr), 48);
}

TEST_F(Screen, LostDeviceCallbacksAreReKeyedAndRemovedFromTheLastBack) {
    cD3DScreenSurface* screen = NewScreen();
    auto* a = reinterpret_cast<cSurface*>(std::uintptr_t{0xA0});
    auto* b = reinterpret_cast<cSurface*>(std::uintptr_t{0xB0});
    screen->AddLostDeviceCallback(RecordCall, a, 1);
    screen->AddLostDeviceCallback(OtherCall, a, 2);
    screen->AddLostDeviceCallback(RecordCall, b, 3);
    screen->AddLostDeviceCallback(RecordCall, a, 1);
    // What a registered now belongs to b.
    screen->AddLostDeviceCallback(nullptr, b, reinterpret_cast<LPARAM>(a));
    for (const auto& entry : screen->LostDeviceCallbacks())
        EXPECT_EQ(entry.owner, b);

    struct Removal {
        LostDeviceCallback function;
        cSurface* owner;
        LPARAM argument;
        std::vector<LPARAM> left; // arguments of the entries left, in order
    };
    const Removal removals[] = {
        {RecordCall, a, 1, {1, 2, 3, 1}}, // a has nothing left
        {RecordCall, b, 2, {1, 2, 3, 1}}, // function and argument must both match
        {RecordCall, b, 1, {2, 3}},       // both matching entries go
        {nullptr, b, 0, {}},              // a null function takes every entry of the owner
    };
    for (const Removal& r : removals) {
        screen->RemoveLostDeviceCallback(r.function, r.owner, r.argument);
        std::vector<LPARAM> left;
        for (const auto& entry : screen->LostDeviceCallbacks())
            left.push_back(entry.argument);
        EXPECT_EQ(left, r.left);
    }
}

TEST_F(Screen, ResetsReleaseWhatWasMadeOnTheDevice) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    LOGFONTA font{};
    font.lfHeight = 12;
    std::strcpy(font.lfFaceName, "Sans");
    HFONT handle = CreateFontIndirectA(&font);
    ID3DXFont* made = screen->FontFor(handle);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(screen->FontFor(handle), made);
    // A face differing only in case is the same font.
    std::strcpy(font.lfFaceName, "SANS");
    HFONT upper = CreateFontIndirectA(&font);
    EXPECT_EQ(screen->FontFor(upper), made);
    EXPECT_EQ(screen->CachedFontCount(), 1u);
    screen->ResetDevice();
    EXPECT_EQ(screen->CachedFontCount(), 0u);
    DeleteObject(handle);
    DeleteObject(upper);
}

TEST_F(Screen, TexturesHeldForASceneAreLetGoAtItsEnd) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(screen->Device()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture),
              D3D_OK);
    screen->BeginDraw(0, 0);
    screen->BeginDraw(0, 0);
    screen->DeferRelease(texture);
    screen->EndDraw();
    texture->AddRef();
    EXPECT_EQ(texture->Release(), 2u);
    screen->EndDraw();
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(Screen, DestroyingTheCurrentScreenLeavesNoneCurrent) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    cD3DScreenSurface* current = nullptr;
    Registry().GetThreadDirect3D(&current);
    EXPECT_EQ(current, screen);
    Forget(screen);
    screen->Delete();
    Registry().GetThreadDirect3D(&current);
    EXPECT_EQ(current, nullptr);
}

} // namespace

namespace {

// A 32-bit memory surface of 4 x 3: red, with its key colour (blue) in the middle column.
cSurface* KeyedSource(cSurface& holder) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, PublicTypeMemory, DriverKindNone);
    if (!prototype || !holder.Create(4, 3, prototype)) return nullptr;
    holder.FillRect(0, 0, 4, 3, RGB(255, 0, 0));
    holder.FillRect(1, 0, 1, 3, RGB(0, 0, 255));
    holder.SetColorKey(RGB(0, 0, 255));
    return &holder;
}

struct BlitCase {
    const char* name;
    int mode; // 0 opaque, 1 transparent
    int x, y;
    COLORREF atKey; // the screen's pixel where the key column lands
};

class ScreenBlits : public Screen, public ::testing::WithParamInterface<BlitCase> {};

TEST_P(ScreenBlits, PutALibrarySurfaceOnTheScreenUnscaled) {
    const BlitCase& c = GetParam();
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    cSurface holder;
    cSurface* source = KeyedSource(holder);
    ASSERT_NE(source, nullptr);
    screen->BeginDraw(1, RGB(0, 255, 0));
    EXPECT_EQ(source->GetImplementation()->Blit(screen, c.x, c.y, 0, 0, 4, 3, c.mode, 0, 0, 0), 1);
    screen->EndDraw();
    const std::vector<D3DCOLOR> pixels = BackBuffer(screen);
    const auto at = [&](int x, int y) {
        const D3DCOLOR p = pixels[static_cast<std::size_t>(y * ChildWidth + x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    };
    // What lies inside the screen of the source's first and last columns, its key column, and beside it.
    const int left = std::max(c.x, 0), top = std::max(c.y, 0);
    if (c.x >= 0) {
        EXPECT_EQ(at(c.x, top), RGB(255, 0, 0));
    }
    EXPECT_EQ(at(c.x + 3, top), RGB(255, 0, 0));
    if (c.x + 1 >= 0) {
        EXPECT_EQ(at(c.x + 1, top + 1), c.atKey);
    }
    EXPECT_EQ(at(c.x + 4, top), RGB(0, 255, 0));
    EXPECT_EQ(at(left, c.y + 3), RGB(0, 255, 0));
}

INSTANTIATE_TEST_SUITE_P(Modes, ScreenBlits,
                         ::testing::Values(BlitCase{"Opaque", 0, 5, 4, RGB(0, 0, 255)},
                                           BlitCase{"Transparent", 1, 5, 4, RGB(0, 255, 0)},
                                           BlitCase{"CutAtTheLeftEdge", 0, -2, 0, RGB(0, 0, 255)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Screen, BlitsOutsideAScenesDrawNothing) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    cSurface holder;
    cSurface* source = KeyedSource(holder);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->GetImplementation()->Blit(screen, 0, 0, 0, 0, 4, 3, 0, 0, 0, 0), 0);
}

TEST(Device, TestsRunOnTheSoftwareRasteriser) {
    EXPECT_NE(win32::testing::RendererName().find("llvmpipe"), std::string::npos)
        << win32::testing::RendererName();
}

} // namespace
