// The screen's life and its device: creation from the prototype, binding to a window (handing a window's
// device over between screens), the device's creation or reset with the fixed states, and the release of
// everything made on the device before each reset and at the end.
#include "screen_registry.h"
#include "screen_surface.h"
#include "window_helpers.h"

#include "vtrs2/palettes.h"
#include "vtrs2/surface.h"
#include "win32/user.h"

#include <new>
#include <utility>

using namespace win32;

namespace {

constexpr DWORD ScreenDeviceBehaviour = D3DCREATE_MULTITHREADED | D3DCREATE_SOFTWARE_VERTEXPROCESSING;
constexpr int FullScreenBackBuffers = 2;
constexpr int MinimumTextureLimit = 1024;
constexpr int ScreenDepth = 32;

struct StateValue {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

// Sent after blending and the alpha test, in this order, on every creation or reset.
constexpr StateValue FixedRenderStates[] = {
    {D3DRS_CLIPPING, 1},
    {D3DRS_CLIPPLANEENABLE, 0},
    {D3DRS_COLORWRITEENABLE, 15},
    {D3DRS_CULLMODE, D3DCULL_NONE},
    {D3DRS_DIFFUSEMATERIALSOURCE, 1},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_FOGENABLE, 0},
    {D3DRS_INDEXEDVERTEXBLENDENABLE, 0},
    {D3DRS_LIGHTING, 0},
    {D3DRS_RANGEFOGENABLE, 0},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_SPECULARENABLE, 0},
    {D3DRS_STENCILENABLE, 0},
    {D3DRS_VERTEXBLEND, 0},
    {D3DRS_WRAP0, 0},
};

struct StageValue {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE state;
    DWORD value;
};

// Stage 0 modulates texture and diffuse; stage 1 is off.
constexpr StageValue FixedStageStates[] = {
    {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
    {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
    {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE}, {0, D3DTSS_COLOROP, D3DTOP_MODULATE},
    {0, D3DTSS_TEXCOORDINDEX, 0},         {0, D3DTSS_TEXTURETRANSFORMFLAGS, 0},
    {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},  {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
};

// The depth a display format is drawn at; 24-bit formats count as 24 here.
int DepthOfFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R8G8B8:
        return 24;
    case D3DFMT_R5G6B5:
        return 16;
    case D3DFMT_X1R5G5B5:
        return 15;
    default:
        return 32;
    }
}

} // namespace

int DisplayFormatDepth(D3DFORMAT format) {
    return DepthOfFormat(format);
}

cD3DScreenSurface::~cD3DScreenSurface() {
    ReleaseDeviceResources();
    ReleaseDeferred();
    ReleaseDevice();
    Registry().RemoveScreen(direct3D_, this);
}

cSurfaceImplementation* cD3DScreenSurface::CreateSameKind(int newWidth, int newHeight) {
    auto* screen = new (std::nothrow) cD3DScreenSurface;
    if (!screen) return nullptr;
    screen->InitSize(*this, newWidth, newHeight, ((newWidth * depth + 31) >> 5) * 4);
    ScreenRegistry& registry = Registry();
    IDirect3D8* direct3D = registry.GetThreadDirect3D(nullptr);
    if (!direct3D) {
        direct3D = Direct3DCreate8(D3D_SDK_VERSION);
        // A registry that could not keep the thread's object fails the screen like a missing device.
        if (direct3D) registry.SetThreadDirect3D(direct3D);
        if (!direct3D || registry.GetThreadDirect3D(nullptr) != direct3D) {
            if (direct3D) direct3D->Release();
            registry.RemoveThreadEntry();
            delete screen;
            return nullptr;
        }
    }
    D3DDISPLAYMODE mode{};
    int screenDepth = ScreenDepth;
    if (SUCCEEDED(direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
        screenDepth = DepthOfFormat(mode.Format);
    if (screenDepth == 24) screenDepth = 32;
    screen->SelectDepthRoutines(screenDepth);
    if (screenDepth != 8) {
        ReleaseSharedPalette(screen->palette);
        screen->palette = nullptr;
    }
    screen->direct3D_ = direct3D;
    registry.AddScreen(direct3D, screen);
    return screen;
}

int cD3DScreenSurface::SetDepth(int) {
    cSurfaceImplementation::SetDepth(ScreenDepth);
    return 1;
}

int cD3DScreenSurface::GetType() {
    return SurfaceTypeD3DScreen;
}

void cD3DScreenSurface::MakeCurrent() {
    Registry().SetThreadCurrentScreen(this);
}

cSurfaceImplementation* cD3DScreenSurface::GetScreen() {
    return this;
}

int cD3DScreenSurface::SetWindow(HWND window) {
    if (!IsWindow(window) || !cSurfaceImplementation::SetWindow(window)) return 0;
    IDirect3D8* direct3D = Registry().GetThreadDirect3D(nullptr);
    if (!direct3D) return 0;
    if (device_ && deviceLost_) return CreateOrResetDevice(direct3D, window);
    if (device_ && window == deviceWindow_)
        return WindowSizeChanged() ? CreateOrResetDevice(direct3D, window) : 1;
    cD3DScreenSurface* other = Registry().FindScreenByWindow(direct3D, window);
    if (other == this) return 1;
    if (!other) return CreateOrResetDevice(direct3D, window);
    const bool sameSize = other->width == width && other->height == height;
    TakeDevice(*other);
    deviceWindow_ = window;
    if (fullScreen_ || sameSize) {
        RecordWindowSize(window);
        return 1;
    }
    return CreateOrResetDevice(direct3D, window);
}

// The other screen's device, sprite, callbacks and device settings become this screen's; a device this
// screen held for another window is let go first rather than lost.
void cD3DScreenSurface::TakeDevice(cD3DScreenSurface& other) {
    if (device_) {
        ReleaseDeviceResources();
        ReleaseDevice();
    }
    // Effects compiled for the other screen are compiled again here when next drawn.
    other.ReleaseEffects();
    device_ = std::exchange(other.device_, nullptr);
    sprite_ = std::exchange(other.sprite_, nullptr);
    callbacks_.insert(callbacks_.end(), other.callbacks_.begin(), other.callbacks_.end());
    other.callbacks_.clear();
    maxTextureWidth_ = other.maxTextureWidth_;
    maxTextureHeight_ = other.maxTextureHeight_;
    pixelShaderVersion_ = other.pixelShaderVersion_;
    defaultFilter_ = other.defaultFilter_;
    currentFilter_ = other.currentFilter_;
    blendingOn_ = other.blendingOn_;
    sourceBlend_ = other.sourceBlend_;
    destinationBlend_ = other.destinationBlend_;
    other.deviceWindow_ = nullptr;
    other.deviceWindowWidth_ = other.deviceWindowHeight_ = 0;
}

int cD3DScreenSurface::CreateOrResetDevice(IDirect3D8* direct3D, HWND window) {
    if (device_) ReleaseDeviceResources();
    D3DPRESENT_PARAMETERS parameters{};
    if (fullScreen_) {
        parameters.BackBufferWidth = static_cast<UINT>(fullScreenWidth_);
        parameters.BackBufferHeight = static_cast<UINT>(fullScreenHeight_);
        parameters.BackBufferFormat = fullScreenFormat_;
        parameters.BackBufferCount = FullScreenBackBuffers;
    } else {
        D3DDISPLAYMODE mode{};
        direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
        parameters.BackBufferFormat = mode.Format;
    }
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = fullScreen_ ? FALSE : TRUE;
    if (depthBuffer_) {
        parameters.EnableAutoDepthStencil = TRUE;
        parameters.AutoDepthStencilFormat = D3DFMT_D16;
    }
    const HWND top = TopLevelWindowOf(window);
    HWND target = window;
    if (fullScreen_ && top != window) {
        target = top;
        ShowWindow(window, SW_HIDE);
    }
    // The device presents into the window it is made for, which in a window may be a child of the focus.
    parameters.hDeviceWindow = target;
    resetting_ = true;
    const HRESULT result = device_ ? device_->Reset(&parameters)
                                   : direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, top,
                                                            ScreenDeviceBehaviour, &parameters, &device_);
    resetting_ = false;
    if (FAILED(result)) {
        // Tried again at the next SetWindow.
        deviceLost_ = true;
        return 0;
    }
    D3DCAPS8 caps{};
    device_->GetDeviceCaps(&caps);
    pixelShaderVersion_ = caps.PixelShaderVersion;
    maxTextureWidth_ = std::max<int>(static_cast<int>(caps.MaxTextureWidth), MinimumTextureLimit);
    maxTextureHeight_ = std::max<int>(static_cast<int>(caps.MaxTextureHeight), MinimumTextureLimit);
    ApplyFixedStates(caps);
    RecordWindowSize(target);
    deviceWindow_ = target;
    D3DXCreateSprite(device_, &sprite_);
    deviceLost_ = false;
    return 1;
}

void cD3DScreenSurface::ApplyFixedStates(const D3DCAPS8& caps) {
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    const bool alphaTest = (caps.AlphaCmpCaps & D3DPCMPCAPS_GREATEREQUAL) != 0;
    device_->SetRenderState(D3DRS_ALPHAREF, alphaTest ? 1 : 0);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest ? 1 : 0);
    device_->SetRenderState(D3DRS_ALPHAFUNC, alphaTest ? D3DCMP_GREATEREQUAL : D3DCMP_ALWAYS);
    for (const StateValue& s : FixedRenderStates)
        device_->SetRenderState(s.state, s.value);
    for (const StageValue& s : FixedStageStates)
        device_->SetTextureStageState(s.stage, s.state, s.value);
    defaultFilter_ =
        (caps.TextureFilterCaps & D3DPTFILTERCAPS_MAGFANISOTROPIC) ? D3DTEXF_ANISOTROPIC : D3DTEXF_LINEAR;
    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, defaultFilter_);
    device_->SetTextureStageState(0, D3DTSS_MINFILTER, defaultFilter_);
    device_->SetTextureStageState(0, D3DTSS_MIPFILTER,
                                  (caps.TextureFilterCaps & D3DPTFILTERCAPS_MIPFLINEAR) ? D3DTEXF_LINEAR
                                                                                        : D3DTEXF_POINT);
    blendingOn_ = true;
    sourceBlend_ = D3DBLEND_SRCALPHA;
    destinationBlend_ = D3DBLEND_INVSRCALPHA;
    currentFilter_ = defaultFilter_;
    device_->SetRenderState(D3DRS_ZENABLE, depthBuffer_ ? 1 : 0);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, depthBuffer_ ? 1 : 0);
}

void cD3DScreenSurface::RecordWindowSize(HWND window) {
    const SIZE size = WindowRectSize(window);
    deviceWindowWidth_ = size.cx;
    deviceWindowHeight_ = size.cy;
}

bool cD3DScreenSurface::WindowSizeChanged() const {
    const SIZE size = WindowRectSize(deviceWindow_);
    return size.cx != deviceWindowWidth_ || size.cy != deviceWindowHeight_;
}

int cD3DScreenSurface::ResetForDeviceWindow() {
    IDirect3D8* direct3D = Registry().GetThreadDirect3D(nullptr);
    if (!direct3D || !deviceWindow_) return 0;
    return CreateOrResetDevice(direct3D, deviceWindow_);
}

void cD3DScreenSurface::ResetDevice() {
    ResetForDeviceWindow();
}

void cD3DScreenSurface::SyncWindowSize() {
    if (deviceWindow_ && WindowSizeChanged()) ResetForDeviceWindow();
}

void cD3DScreenSurface::EnableDepthBuffer(int) {
    if (depthBuffer_) return;
    depthBuffer_ = true;
    ResetForDeviceWindow();
}

void cD3DScreenSurface::ReleaseDeviceResources() {
    // A callback may unregister itself: the list is walked as it was when the release began.
    const std::vector<LostDeviceEntry> callbacks = callbacks_;
    for (const LostDeviceEntry& entry : callbacks)
        entry.function(entry.owner, entry.argument);
    for (FontCacheEntry& entry : fonts_)
        if (entry.d3dFont) entry.d3dFont->Release();
    fonts_.clear();
    ReleaseEffects();
    if (sprite_) std::exchange(sprite_, nullptr)->Release();
    spriteBatchOpen_ = false;
}

// Releases until the count reaches 0 or stops falling.
void cD3DScreenSurface::ReleaseDevice() {
    if (!device_) return;
    ULONG previous = device_->Release();
    while (previous > 0) {
        const ULONG count = device_->Release();
        if (count >= previous) break;
        previous = count;
    }
    device_ = nullptr;
}
