// The 3D device the display driver draws through: Direct3D 8 objects over one OpenGL context of the process.
// A device's back buffer is an off-screen framebuffer; Present copies it into the device window's client
// area and lets the window layer show it. The device is never lost by itself (see win32/d3d8_testing.h).
#pragma once

#include "win32/dsound.h" // HRESULT, FAILED, SUCCEEDED
#include "win32/types.h"

namespace win32 {

constexpr UINT D3D_SDK_VERSION = 220;
constexpr UINT D3DADAPTER_DEFAULT = 0;

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = static_cast<HRESULT>(0x88760818);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = static_cast<HRESULT>(0x88760827);
constexpr HRESULT D3DERR_NOTFOUND = static_cast<HRESULT>(0x88760866);
constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868);
constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869);
constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086A);
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086C);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017C);

// Colours are 0xAARRGGBB.
using D3DCOLOR = DWORD;

using D3DFORMAT = DWORD;
constexpr D3DFORMAT D3DFMT_UNKNOWN = 0;
constexpr D3DFORMAT D3DFMT_R8G8B8 = 20;
constexpr D3DFORMAT D3DFMT_A8R8G8B8 = 21;
constexpr D3DFORMAT D3DFMT_X8R8G8B8 = 22;
constexpr D3DFORMAT D3DFMT_R5G6B5 = 23;
constexpr D3DFORMAT D3DFMT_X1R5G5B5 = 24;
constexpr D3DFORMAT D3DFMT_A1R5G5B5 = 25;
constexpr D3DFORMAT D3DFMT_A4R4G4B4 = 26;
constexpr D3DFORMAT D3DFMT_D32 = 71;
constexpr D3DFORMAT D3DFMT_D24S8 = 75;
constexpr D3DFORMAT D3DFMT_D16 = 80;

using D3DDEVTYPE = DWORD;
constexpr D3DDEVTYPE D3DDEVTYPE_HAL = 1;
constexpr D3DDEVTYPE D3DDEVTYPE_REF = 2;
constexpr D3DDEVTYPE D3DDEVTYPE_SW = 3;

constexpr DWORD D3DCREATE_FPU_PRESERVE = 0x02;
constexpr DWORD D3DCREATE_MULTITHREADED = 0x04;
constexpr DWORD D3DCREATE_PUREDEVICE = 0x10;
constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
constexpr DWORD D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;

using D3DSWAPEFFECT = DWORD;
constexpr D3DSWAPEFFECT D3DSWAPEFFECT_DISCARD = 1;
constexpr D3DSWAPEFFECT D3DSWAPEFFECT_FLIP = 2;
constexpr D3DSWAPEFFECT D3DSWAPEFFECT_COPY = 3;
constexpr D3DSWAPEFFECT D3DSWAPEFFECT_COPY_VSYNC = 4;

constexpr DWORD D3DCLEAR_TARGET = 1;
constexpr DWORD D3DCLEAR_ZBUFFER = 2;
constexpr DWORD D3DCLEAR_STENCIL = 4;

// Render states, and the values the driver gives them.
using D3DRENDERSTATETYPE = DWORD;
constexpr D3DRENDERSTATETYPE D3DRS_ZENABLE = 7;
constexpr D3DRENDERSTATETYPE D3DRS_FILLMODE = 8;
constexpr D3DRENDERSTATETYPE D3DRS_SHADEMODE = 9;
constexpr D3DRENDERSTATETYPE D3DRS_ZWRITEENABLE = 14;
constexpr D3DRENDERSTATETYPE D3DRS_ALPHATESTENABLE = 15;
constexpr D3DRENDERSTATETYPE D3DRS_LASTPIXEL = 16;
constexpr D3DRENDERSTATETYPE D3DRS_SRCBLEND = 19;
constexpr D3DRENDERSTATETYPE D3DRS_DESTBLEND = 20;
constexpr D3DRENDERSTATETYPE D3DRS_CULLMODE = 22;
constexpr D3DRENDERSTATETYPE D3DRS_ZFUNC = 23;
constexpr D3DRENDERSTATETYPE D3DRS_ALPHAREF = 24;
constexpr D3DRENDERSTATETYPE D3DRS_ALPHAFUNC = 25;
constexpr D3DRENDERSTATETYPE D3DRS_DITHERENABLE = 26;
constexpr D3DRENDERSTATETYPE D3DRS_ALPHABLENDENABLE = 27;
constexpr D3DRENDERSTATETYPE D3DRS_FOGENABLE = 28;
constexpr D3DRENDERSTATETYPE D3DRS_SPECULARENABLE = 29;
constexpr D3DRENDERSTATETYPE D3DRS_RANGEFOGENABLE = 48;
constexpr D3DRENDERSTATETYPE D3DRS_STENCILENABLE = 52;
constexpr D3DRENDERSTATETYPE D3DRS_TEXTUREFACTOR = 60;
constexpr D3DRENDERSTATETYPE D3DRS_WRAP0 = 128;
constexpr D3DRENDERSTATETYPE D3DRS_CLIPPING = 136;
constexpr D3DRENDERSTATETYPE D3DRS_LIGHTING = 137;
constexpr D3DRENDERSTATETYPE D3DRS_DIFFUSEMATERIALSOURCE = 145;
constexpr D3DRENDERSTATETYPE D3DRS_VERTEXBLEND = 151;
constexpr D3DRENDERSTATETYPE D3DRS_CLIPPLANEENABLE = 152;
constexpr D3DRENDERSTATETYPE D3DRS_INDEXEDVERTEXBLENDENABLE = 167;
constexpr D3DRENDERSTATETYPE D3DRS_COLORWRITEENABLE = 168;
constexpr D3DRENDERSTATETYPE D3DRS_BLENDOP = 171;
// One past the highest render state the device keeps.
constexpr D3DRENDERSTATETYPE D3DRS_COUNT = 174;

constexpr DWORD D3DBLEND_ZERO = 1;
constexpr DWORD D3DBLEND_ONE = 2;
constexpr DWORD D3DBLEND_SRCCOLOR = 3;
constexpr DWORD D3DBLEND_INVSRCCOLOR = 4;
constexpr DWORD D3DBLEND_SRCALPHA = 5;
constexpr DWORD D3DBLEND_INVSRCALPHA = 6;
constexpr DWORD D3DBLEND_DESTALPHA = 7;
constexpr DWORD D3DBLEND_INVDESTALPHA = 8;
constexpr DWORD D3DBLEND_DESTCOLOR = 9;
constexpr DWORD D3DBLEND_INVDESTCOLOR = 10;
constexpr DWORD D3DBLEND_SRCALPHASAT = 11;

constexpr DWORD D3DBLENDOP_ADD = 1;
constexpr DWORD D3DBLENDOP_SUBTRACT = 2;
constexpr DWORD D3DBLENDOP_REVSUBTRACT = 3;
constexpr DWORD D3DBLENDOP_MIN = 4;
constexpr DWORD D3DBLENDOP_MAX = 5;

constexpr DWORD D3DCMP_NEVER = 1;
constexpr DWORD D3DCMP_LESS = 2;
constexpr DWORD D3DCMP_EQUAL = 3;
constexpr DWORD D3DCMP_LESSEQUAL = 4;
constexpr DWORD D3DCMP_GREATER = 5;
constexpr DWORD D3DCMP_NOTEQUAL = 6;
constexpr DWORD D3DCMP_GREATEREQUAL = 7;
constexpr DWORD D3DCMP_ALWAYS = 8;

constexpr DWORD D3DCULL_NONE = 1;
constexpr DWORD D3DFILL_SOLID = 3;
constexpr DWORD D3DSHADE_GOURAUD = 2;

constexpr DWORD D3DCOLORWRITEENABLE_RED = 1;
constexpr DWORD D3DCOLORWRITEENABLE_GREEN = 2;
constexpr DWORD D3DCOLORWRITEENABLE_BLUE = 4;
constexpr DWORD D3DCOLORWRITEENABLE_ALPHA = 8;

// Texture stage states, and the values the driver gives them.
using D3DTEXTURESTAGESTATETYPE = DWORD;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLOROP = 1;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLORARG1 = 2;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COLORARG2 = 3;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAOP = 4;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAARG1 = 5;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ALPHAARG2 = 6;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_TEXCOORDINDEX = 11;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ADDRESSU = 13;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_ADDRESSV = 14;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MAGFILTER = 16;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MINFILTER = 17;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MIPFILTER = 18;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_MAXANISOTROPY = 21;
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_TEXTURETRANSFORMFLAGS = 24;
// One past the highest texture stage state the device keeps, and the stages it has.
constexpr D3DTEXTURESTAGESTATETYPE D3DTSS_COUNT = 29;
constexpr DWORD D3DMAXTEXTURESTAGES = 8;

constexpr DWORD D3DTOP_DISABLE = 1;
constexpr DWORD D3DTOP_SELECTARG1 = 2;
constexpr DWORD D3DTOP_SELECTARG2 = 3;
constexpr DWORD D3DTOP_MODULATE = 4;

constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_CURRENT = 1;
constexpr DWORD D3DTA_TEXTURE = 2;
constexpr DWORD D3DTA_TFACTOR = 3;

constexpr DWORD D3DTEXF_NONE = 0;
constexpr DWORD D3DTEXF_POINT = 1;
constexpr DWORD D3DTEXF_LINEAR = 2;
constexpr DWORD D3DTEXF_ANISOTROPIC = 3;

constexpr DWORD D3DTADDRESS_WRAP = 1;
constexpr DWORD D3DTADDRESS_CLAMP = 3;

// Capability bits the driver reads.
constexpr DWORD D3DPCMPCAPS_GREATEREQUAL = 0x40;
constexpr DWORD D3DPTFILTERCAPS_MINFPOINT = 0x100;
constexpr DWORD D3DPTFILTERCAPS_MINFLINEAR = 0x200;
constexpr DWORD D3DPTFILTERCAPS_MINFANISOTROPIC = 0x400;
constexpr DWORD D3DPTFILTERCAPS_MIPFPOINT = 0x10000;
constexpr DWORD D3DPTFILTERCAPS_MIPFLINEAR = 0x20000;
constexpr DWORD D3DPTFILTERCAPS_MAGFPOINT = 0x1000000;
constexpr DWORD D3DPTFILTERCAPS_MAGFLINEAR = 0x2000000;
constexpr DWORD D3DPTFILTERCAPS_MAGFANISOTROPIC = 0x4000000;

constexpr DWORD D3DPS_VERSION(DWORD major, DWORD minor) {
    return 0xFFFF0000u | (major << 8) | minor;
}

struct D3DDISPLAYMODE {
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth; // 0 in a window: the window's client area
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    DWORD MultiSampleType;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT FullScreen_PresentationInterval;
};

struct D3DRASTER_STATUS {
    BOOL InVBlank;
    UINT ScanLine; // 0 while in the vertical blank
};

struct D3DRECT {
    LONG x1;
    LONG y1;
    LONG x2;
    LONG y2;
};

struct D3DCAPS8 {
    D3DDEVTYPE DeviceType;
    UINT AdapterOrdinal;
    DWORD Caps;
    DWORD Caps2;
    DWORD Caps3;
    DWORD PresentationIntervals;
    DWORD CursorCaps;
    DWORD DevCaps;
    DWORD PrimitiveMiscCaps;
    DWORD RasterCaps;
    DWORD ZCmpCaps;
    DWORD SrcBlendCaps;
    DWORD DestBlendCaps;
    DWORD AlphaCmpCaps;
    DWORD ShadeCaps;
    DWORD TextureCaps;
    DWORD TextureFilterCaps;
    DWORD CubeTextureFilterCaps;
    DWORD VolumeTextureFilterCaps;
    DWORD TextureAddressCaps;
    DWORD VolumeTextureAddressCaps;
    DWORD LineCaps;
    DWORD MaxTextureWidth;
    DWORD MaxTextureHeight;
    DWORD MaxVolumeExtent;
    DWORD MaxTextureRepeat;
    DWORD MaxTextureAspectRatio;
    DWORD MaxAnisotropy;
    float MaxVertexW;
    float GuardBandLeft;
    float GuardBandTop;
    float GuardBandRight;
    float GuardBandBottom;
    float ExtentsAdjust;
    DWORD StencilCaps;
    DWORD FVFCaps;
    DWORD TextureOpCaps;
    DWORD MaxTextureBlendStages;
    DWORD MaxSimultaneousTextures;
    DWORD VertexProcessingCaps;
    DWORD MaxActiveLights;
    DWORD MaxUserClipPlanes;
    DWORD MaxVertexBlendMatrices;
    DWORD MaxVertexBlendMatrixIndex;
    float MaxPointSize;
    DWORD MaxPrimitiveCount;
    DWORD MaxVertexIndex;
    DWORD MaxStreams;
    DWORD MaxStreamStride;
    DWORD VertexShaderVersion;
    DWORD MaxVertexShaderConst;
    DWORD PixelShaderVersion;
    float MaxPixelShaderValue;
};

using D3DPRIMITIVETYPE = DWORD;
constexpr D3DPRIMITIVETYPE D3DPT_POINTLIST = 1;
constexpr D3DPRIMITIVETYPE D3DPT_LINELIST = 2;
constexpr D3DPRIMITIVETYPE D3DPT_LINESTRIP = 3;
constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLELIST = 4;
constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLESTRIP = 5;
constexpr D3DPRIMITIVETYPE D3DPT_TRIANGLEFAN = 6;

// Vertex formats: pre-transformed positions (x, y in pixels, z, rhw), then a colour, then texture
// coordinates.
constexpr DWORD D3DFVF_XYZRHW = 0x004;
constexpr DWORD D3DFVF_DIFFUSE = 0x040;
constexpr DWORD D3DFVF_TEX1 = 0x100;

using D3DPOOL = DWORD;
constexpr D3DPOOL D3DPOOL_DEFAULT = 0;
constexpr D3DPOOL D3DPOOL_MANAGED = 1;
constexpr D3DPOOL D3DPOOL_SYSTEMMEM = 2;
constexpr D3DPOOL D3DPOOL_SCRATCH = 3;

constexpr DWORD D3DLOCK_READONLY = 0x10;
constexpr DWORD D3DLOCK_DISCARD = 0x2000;

struct D3DLOCKED_RECT {
    INT Pitch;
    void* pBits;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    DWORD Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Size;
    DWORD MultiSampleType;
    UINT Width;
    UINT Height;
};

constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
constexpr DWORD D3DBACKBUFFER_TYPE_MONO = 0;

class IDirect3DDevice8;

// A rectangle of 32-bit pixels: the back buffer, a texture's level or an image in system memory.
class IDirect3DSurface8 {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    // Back buffers and render-target textures are not locked: they are read with CopyRects.
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;

protected:
    ~IDirect3DSurface8() = default;
};

class IDirect3DBaseTexture8 {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual DWORD GetLevelCount() = 0;

protected:
    ~IDirect3DBaseTexture8() = default;
};

// A texture of one level, 32 bits a pixel (A8R8G8B8 or X8R8G8B8), rows top first.
class IDirect3DTexture8 : public IDirect3DBaseTexture8 {
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // rect: null for the whole level. The pixels are 0xAARRGGBB; Pitch is in bytes.
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
    // The level as a surface; it holds a reference to the texture.
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) = 0;

protected:
    ~IDirect3DTexture8() = default;
};

// The adapter: the desktop's display, and the maker of devices.
class IDirect3D8 {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual UINT GetAdapterCount() = 0;
    // The desktop at 32 bits (X8R8G8B8) and the display's refresh rate.
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    // The display's modes, each at 32 bits.
    virtual UINT GetAdapterModeCount(UINT adapter) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, UINT index, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviour,
                                 D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice8** device) = 0;

protected:
    ~IDirect3D8() = default;
};

class IDirect3DDevice8 {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // D3D_OK; D3DERR_DEVICELOST while lost; D3DERR_DEVICENOTRESET once a Reset would bring it back.
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT GetDirect3D(IDirect3D8** direct3d) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS8* caps) = 0;
    virtual HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) = 0;
    // Makes the back buffer again for new parameters; default-pool resources lose their contents.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
    // Copies the back buffer into the client area of the device window (or of destWindow), scaled to it.
    // Sub-rectangles and dirty regions are not taken: they must be null.
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                            const void* dirtyRegion) = 0;
    virtual HRESULT GetRasterStatus(D3DRASTER_STATUS* status) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    // Sizes of 0 or above the caps' limits and formats other than A8R8G8B8 and X8R8G8B8 are refused.
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture8** texture) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) = 0;
    // In this version a vertex shader is a vertex format: only pre-transformed ones (D3DFVF_XYZRHW) draw.
    virtual HRESULT SetVertexShader(DWORD handle) = 0;
    virtual HRESULT GetVertexShader(DWORD* handle) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                    UINT stride) = 0;
    virtual HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                                       IDirect3DSurface8** surface) = 0;
    virtual HRESULT GetBackBuffer(UINT index, DWORD type, IDirect3DSurface8** surface) = 0;
    // Draws and clears go to the back buffer or to a level of a D3DUSAGE_RENDERTARGET texture; a null
    // target keeps the current one. Only the back buffer has a depth buffer, whatever depth is given.
    virtual HRESULT SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depth) = 0;
    virtual HRESULT GetRenderTarget(IDirect3DSurface8** target) = 0;
    // Unscaled copies of rectangles (null: the whole source) to points (null: the same places) between
    // any two surfaces of 32-bit formats.
    virtual HRESULT CopyRects(IDirect3DSurface8* source, const RECT* rects, UINT count,
                              IDirect3DSurface8* destination, const POINT* points) = 0;
    // A system-memory texture's pixels into a default-pool texture of the same size.
    virtual HRESULT UpdateTexture(IDirect3DBaseTexture8* source, IDirect3DBaseTexture8* destination) = 0;

protected:
    ~IDirect3DDevice8() = default;
};

// The process's adapter object with one reference, or null (with a line on stderr) when no OpenGL 3.3
// context can be made or the version is not D3D_SDK_VERSION.
IDirect3D8* Direct3DCreate8(UINT sdkVersion);

} // namespace win32
