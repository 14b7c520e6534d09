// The adapter object: the desktop's display at 32 bits, its modes, and the maker of devices.
#include "adapter.h"

#include "device.h"
#include "gl_context.h"
#include "window_internal.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <vector>

namespace win32 {

namespace d3d {

namespace {

constexpr UINT DefaultRefresh = 60;
constexpr DWORD AllCompares = 0xFF; // NEVER to ALWAYS
constexpr DWORD AllBlends = 0x1FFF;
constexpr DWORD TextureOps = 0x1E; // DISABLE, SELECTARG1, SELECTARG2, MODULATE
constexpr DWORD MaxStages = 8;

std::vector<SIZE> ListedModes() {
    std::vector<SIZE> sizes;
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &mode); ++i)
        if (mode.dmBitsPerPel == 32)
            sizes.push_back(SIZE{static_cast<LONG>(mode.dmPelsWidth), static_cast<LONG>(mode.dmPelsHeight)});
    return sizes;
}

class Direct3D final : public IDirect3D8 {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        if (adapter != D3DADAPTER_DEFAULT || !mode) return D3DERR_INVALIDCALL;
        *mode = DesktopMode();
        return D3D_OK;
    }
    UINT GetAdapterModeCount(UINT adapter) override {
        return adapter == D3DADAPTER_DEFAULT ? static_cast<UINT>(ListedModes().size()) : 0;
    }
    HRESULT EnumAdapterModes(UINT adapter, UINT index, D3DDISPLAYMODE* mode) override {
        const std::vector<SIZE> modes = ListedModes();
        if (adapter != D3DADAPTER_DEFAULT || !mode || index >= modes.size()) return D3DERR_INVALIDCALL;
        *mode = D3DDISPLAYMODE{static_cast<UINT>(modes[index].cx), static_cast<UINT>(modes[index].cy),
                               RefreshRate(), D3DFMT_X8R8G8B8};
        return D3D_OK;
    }
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) override {
        if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || !caps) return D3DERR_INVALIDCALL;
        FillCaps(caps);
        return D3D_OK;
    }
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice8** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || !parameters) return D3DERR_INVALIDCALL;
        return Device::Create(this, focusWindow, parameters, device);
    }

private:
    ~Direct3D() = default;
    std::atomic<ULONG> refs_{1};
};

} // namespace

UINT RefreshRate() {
    SDL_DisplayMode mode{};
    if (EnsureVideo() && SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0)
        return static_cast<UINT>(mode.refresh_rate);
    return DefaultRefresh;
}

D3DDISPLAYMODE DesktopMode() {
    const SIZE desktop = DesktopSize();
    return D3DDISPLAYMODE{static_cast<UINT>(desktop.cx), static_cast<UINT>(desktop.cy), RefreshRate(),
                          D3DFMT_X8R8G8B8};
}

bool FitsCaps(UINT width, UINT height) {
    const auto limit = static_cast<UINT>(std::max<GLint>(0, MaxTextureSize()));
    return width > 0 && height > 0 && width <= limit && height <= limit;
}

void FillCaps(D3DCAPS8* caps) {
    *caps = D3DCAPS8{};
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->ZCmpCaps = AllCompares;
    caps->AlphaCmpCaps = AllCompares;
    caps->SrcBlendCaps = AllBlends;
    caps->DestBlendCaps = AllBlends;
    caps->TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                              D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR |
                              D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    const GLfloat anisotropy = MaxAnisotropy();
    if (anisotropy >= 2) {
        caps->TextureFilterCaps |= D3DPTFILTERCAPS_MINFANISOTROPIC | D3DPTFILTERCAPS_MAGFANISOTROPIC;
        caps->MaxAnisotropy = static_cast<DWORD>(anisotropy);
    } else {
        caps->MaxAnisotropy = 1;
    }
    caps->MaxTextureWidth = caps->MaxTextureHeight = static_cast<DWORD>(std::max<GLint>(0, MaxTextureSize()));
    caps->MaxTextureAspectRatio = caps->MaxTextureWidth;
    caps->TextureOpCaps = TextureOps;
    caps->MaxTextureBlendStages = MaxStages;
    caps->MaxSimultaneousTextures = 1;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxVertexIndex = 0xFFFFF;
    caps->MaxStreams = 1;
    caps->MaxStreamStride = 255;
    caps->PixelShaderVersion = D3DPS_VERSION(1, 4);
    caps->MaxPixelShaderValue = 8.0f; // the range version 1.4 computes in
    caps->MaxPointSize = 1.0f;
}

} // namespace d3d

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION || !d3d::EnsureGlContext()) return nullptr;
    return new (std::nothrow) d3d::Direct3D();
}

} // namespace win32
