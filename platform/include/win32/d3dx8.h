// The helper objects the display driver makes beside its device: a sprite batch, fonts and effects, and the
// texture helpers it uploads and copies pictures with.
#pragma once

#include "win32/d3d8.h"
#include "win32/font.h"

namespace win32 {

struct D3DXVECTOR2 {
    float x, y;
};

// Sprites are drawn in batches between Begin and End. Begin puts the device in the sprite's states:
// blending on with source alpha and inverse source alpha, stage 0 modulating texture and diffuse, linear
// filters, the pre-transformed vertex format; End leaves them so.
class ID3DXSprite {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual HRESULT Begin() = 0;
    virtual HRESULT End() = 0;
    // Queues a texture's rectangle (null: all of it) as a quad: scaled (null: 1, 1), turned by `rotation`
    // radians about `rotationCenter` (taken after the scaling; positive turns counter-clockwise on the
    // screen, y running down), moved by `translation`, its texels modulated by `colour`. The queued quads
    // are drawn together before anything changes how they come out (a state, the render target, another
    // texture, a texture they read) and at End; one texel lands on one pixel when nothing scales or turns.
    virtual HRESULT Draw(IDirect3DTexture8* texture, const RECT* sourceRect, const D3DXVECTOR2* scaling,
                         const D3DXVECTOR2* rotationCenter, float rotation, const D3DXVECTOR2* translation,
                         D3DCOLOR colour) = 0;

protected:
    ~ID3DXSprite() = default;
};

class ID3DXFont {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual HRESULT GetLogFont(LOGFONTA* font) = 0;
    // Text laid out as the layer's DrawText lays it out (line breaks, alignment, DT_CALCRECT), in the
    // layer's glyphs modulated by the colour, blended with the device's states. count -1: up to the NUL.
    // Answers the height of the text, 0 on failure.
    virtual INT DrawTextW(LPCWSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR colour) = 0;
    virtual INT DrawTextA(LPCSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR colour) = 0;

protected:
    ~ID3DXFont() = default;
};

// Text a D3DX call hands back: an effect's messages, NUL-terminated (the size counts the NUL).
class ID3DXBuffer {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;

protected:
    ~ID3DXBuffer() = default;
};

// An effect text that is refused, or whose shader the device cannot build.
constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59);

struct D3DXVECTOR4 {
    float x, y, z, w;
};

// Begin leaves the states the passes set as they are after End.
constexpr DWORD D3DXFX_DONOTSAVESTATE = 1;

// An effect of one device: named parameters, and techniques of passes that set states and a pixel shader.
// Parameters reach the constant registers the passes name: a float fills all four components, a vector
// fills them in order, a dword is converted to float. Pass puts its states on the device and draws go
// through its pixel shader until the next Pass or End; textures are bound by the caller (SetTexture).
class ID3DXEffect {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // The first technique is selected when the effect is made.
    virtual HRESULT SetTechnique(const char* name) = 0;
    // Fail for a name that is not a declared parameter of a type they set: SetDword and SetFloat set dword
    // and float parameters (converting between the two), SetVector sets vector parameters.
    virtual HRESULT SetDword(const char* name, DWORD value) = 0;
    virtual HRESULT SetFloat(const char* name, float value) = 0;
    virtual HRESULT SetVector(const char* name, const D3DXVECTOR4* value) = 0;
    // Succeeds only for a declared float parameter.
    virtual HRESULT GetFloat(const char* name, float* value) = 0;
    // The selected technique's pass count; the states its passes set are saved unless flags has
    // D3DXFX_DONOTSAVESTATE.
    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    virtual HRESULT Pass(UINT pass) = 0;
    // The saved states back, and the fixed-function program.
    virtual HRESULT End() = 0;

protected:
    ~ID3DXEffect() = default;
};

HRESULT D3DXCreateSprite(IDirect3DDevice8* device, ID3DXSprite** sprite);
HRESULT D3DXCreateFontIndirect(IDirect3DDevice8* device, const LOGFONTA* font, ID3DXFont** out);
// Reads an effect text (`length` bytes; a NUL ends it sooner) and builds its pixel shaders. Refused texts
// fail with *effect null and, when `messages` is given, a buffer naming the line and the reason; on success
// *messages is null.
HRESULT D3DXCreateEffect(IDirect3DDevice8* device, const void* text, UINT length, ID3DXEffect** effect,
                         ID3DXBuffer** messages);

constexpr UINT D3DX_DEFAULT = 0xFFFFFFFF;
constexpr DWORD D3DX_FILTER_NONE = 1;

// What a texture of these parameters can be: sizes kept (any size within the caps; 0 or D3DX_DEFAULT
// becomes 1, a size above the caps the caps' limit), one level, and the format when it is one of 20 to 26
// (else A8R8G8B8). Null pointers are left alone.
HRESULT D3DXCheckTextureRequirements(IDirect3DDevice8* device, UINT* width, UINT* height, UINT* levels,
                                     DWORD usage, D3DFORMAT* format, D3DPOOL pool);
// A texture as the requirements above make it. Pools: managed keeps a copy in memory that survives resets;
// system memory is in memory only (it cannot be drawn, it is copied with UpdateTexture); default is in the
// context only and is emptied by a reset.
HRESULT D3DXCreateTexture(IDirect3DDevice8* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** texture);
// Copies a rectangle (null: all) of one surface into a rectangle of another, converting formats; sizes that
// differ take the nearest source pixel. Source pixels equal to a colour key other than 0 become transparent
// black. Palettes are not used.
HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface8* destination, const PALETTEENTRY* destinationPalette,
                                   const RECT* destinationRect, IDirect3DSurface8* source,
                                   const PALETTEENTRY* sourcePalette, const RECT* sourceRect, DWORD filter,
                                   D3DCOLOR colourKey);

} // namespace win32
