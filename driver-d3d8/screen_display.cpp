// What the screen tells about and does to the display: modes, full screen in and out, the vertical blank
// and the scan line, and the device block other modules read.
#include "plugin/display_driver.h"
#include "screen_registry.h"
#include "screen_surface.h"
#include "window_helpers.h"

#include "win32/kernel.h"

#include <chrono>
#include <cstring>

using namespace win32;

namespace {

constexpr int ModeWalks = 3;
constexpr DWORD FullScreenStyle = 0x86000000; // pop-up, clipping siblings and children
constexpr int ScanLineInVBlank = 32000;
constexpr UINT UnknownRefreshRate = 60;
constexpr int VBlankPeriodsBeforeGivingUp = 2;

} // namespace

void cD3DScreenSurface::EnumDisplayModes(EnumDisplayModesCallback callback, void* argument) {
    IDirect3D8* direct3D = Registry().GetThreadDirect3D(nullptr);
    if (!callback || !direct3D) return;
    const UINT count = direct3D->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    for (int walk = 0; walk < ModeWalks; ++walk)
        for (UINT i = 0; i < count; ++i) {
            D3DDISPLAYMODE mode{};
            if (FAILED(direct3D->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode))) continue;
            const DisplayModeInfo info{static_cast<int>(mode.Width), static_cast<int>(mode.Height),
                                       DisplayFormatDepth(mode.Format)};
            if (!callback(&info, argument)) return;
        }
}

int cD3DScreenSurface::EnterFullScreen(HWND window, int newWidth, int newHeight, int) {
    cD3DScreenSurface* current = nullptr;
    IDirect3D8* direct3D = Registry().GetThreadDirect3D(&current);
    if (!direct3D || !window || fullScreen_) return 0;
    const HWND top = TopLevelWindowOf(window);
    savedTopWindow_ = top;
    savedTopStyle_ = static_cast<DWORD>(GetWindowLongPtrW(top, GWL_STYLE));
    GetWindowRect(top, &savedWindowRect_);
    fullScreenWidth_ = newWidth;
    fullScreenHeight_ = newHeight;
    fullScreen_ = true;
    fullScreenFormat_ = D3DFMT_A8R8G8B8;
    SetWindowLongPtrW(top, GWL_STYLE, static_cast<LONG_PTR>(FullScreenStyle));
    SetWindowPos(top, nullptr, 0, 0, newWidth, newHeight, SWP_SHOWWINDOW | SWP_NOZORDER);
    if (window != top) {
        savedDrawingStyle_ = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
        if (savedDrawingStyle_ & WS_VISIBLE) ShowWindow(window, SW_HIDE);
    }
    cD3DScreenSurface* target = current ? current : this;
    if (target != this) target->CopyFullScreenState(this);
    target->CreateOrResetDevice(direct3D, window);
    return 1;
}

void cD3DScreenSurface::LeaveFullScreen(HWND window) {
    cD3DScreenSurface* current = nullptr;
    IDirect3D8* direct3D = Registry().GetThreadDirect3D(&current);
    if (!direct3D || !fullScreen_ || !savedTopWindow_) return;
    fullScreen_ = false;
    if (current) {
        if (current != this) current->CopyFullScreenState(this);
        current->CreateOrResetDevice(direct3D, window);
    } else if (deviceWindow_) {
        CreateOrResetDevice(direct3D, deviceWindow_);
    }
    if (window != savedTopWindow_ && (savedDrawingStyle_ & WS_VISIBLE)) ShowWindow(window, SW_SHOWNORMAL);
    SetWindowLongPtrW(savedTopWindow_, GWL_STYLE, static_cast<LONG_PTR>(savedTopStyle_));
    const RECT& r = savedWindowRect_;
    SetWindowPos(savedTopWindow_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
    savedTopWindow_ = nullptr;
    if (current && current != this) current->savedTopWindow_ = nullptr;
}

void cD3DScreenSurface::CopyFullScreenState(cSurfaceImplementation* other) {
    if (!other || other == this || other->GetType() != SurfaceTypeD3DScreen) return;
    const auto& from = *static_cast<cD3DScreenSurface*>(other);
    savedTopWindow_ = from.savedTopWindow_;
    fullScreen_ = from.fullScreen_;
    savedWindowRect_ = from.savedWindowRect_;
    savedTopStyle_ = from.savedTopStyle_;
    fullScreenWidth_ = from.fullScreenWidth_;
    fullScreenHeight_ = from.fullScreenHeight_;
    fullScreenFormat_ = from.fullScreenFormat_;
}

// Waits for the end of the current vertical blank, then for the next one, sleeping while the beam is in
// the upper half of the screen. A raster that does not move (a stopped clock) ends the wait after two
// refresh periods instead of never.
int cD3DScreenSurface::WaitVBlank() {
    if (!device_) return 0;
    D3DDISPLAYMODE mode{};
    device_->GetDisplayMode(&mode);
    const UINT refresh = mode.RefreshRate ? mode.RefreshRate : UnknownRefreshRate;
    using Clock = std::chrono::steady_clock;
    const auto deadline =
        Clock::now() + std::chrono::microseconds(VBlankPeriodsBeforeGivingUp * 1000000 / refresh);
    const int halfScreen = GetSystemMetrics(SM_CYSCREEN) / 2;
    D3DRASTER_STATUS status{};
    do {
        if (FAILED(device_->GetRasterStatus(&status))) return 0;
    } while (status.InVBlank && Clock::now() < deadline);
    while (Clock::now() < deadline) {
        if (FAILED(device_->GetRasterStatus(&status))) return 0;
        if (status.InVBlank) return 1;
        if (static_cast<int>(status.ScanLine) < halfScreen) Sleep(1);
    }
    return 0;
}

int cD3DScreenSurface::GetScanLine() {
    D3DRASTER_STATUS status{};
    if (!device_ || FAILED(device_->GetRasterStatus(&status))) return -1;
    return status.InVBlank ? ScanLineInVBlank : static_cast<int>(status.ScanLine);
}

int cD3DScreenSurface::NotifyScreenModeChange(int) {
    return 0;
}

int FillDriverInfo(void* block, cD3DScreenSurface* screen, IDirect3DTexture8* texture) {
    using display_driver::DriverInfo;
    if (!block) return display_driver::DriverInfoSize;
    std::uint32_t size = 0;
    std::memcpy(&size, block, sizeof size);
    if (size < display_driver::DriverInfoSize) return display_driver::DriverInfoSize;
    DriverInfo info{};
    info.size = display_driver::DriverInfoSize;
    info.kind = display_driver::DriverInfoKindDirect3D8;
    info.direct3D = Registry().GetThreadDirect3D(nullptr);
    info.device = screen ? screen->Device() : nullptr;
    info.texture = texture;
    info.pixelShaderVersion = screen ? screen->PixelShaderVersion() : 0;
    info.maxTextureWidth = static_cast<std::uint32_t>(screen ? screen->MaxTextureWidth() : 0);
    info.maxTextureHeight = static_cast<std::uint32_t>(screen ? screen->MaxTextureHeight() : 0);
    std::memcpy(block, &info, sizeof info);
    return display_driver::DriverInfoSize;
}

int cD3DScreenSurface::GetDriverInfo(void* block) {
    return FillDriverInfo(block, this, nullptr);
}
