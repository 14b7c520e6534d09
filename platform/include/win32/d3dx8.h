// The helper objects the display driver makes beside its device: a sprite batch and fonts. They are made
// and kept here; what they draw comes with the driver's drawing.
#pragma once

#include "win32/d3d8.h"
#include "win32/font.h"

namespace win32 {

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

protected:
    ~ID3DXSprite() = default;
};

class ID3DXFont {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual HRESULT GetLogFont(LOGFONTA* font) = 0;

protected:
    ~ID3DXFont() = default;
};

HRESULT D3DXCreateSprite(IDirect3DDevice8* device, ID3DXSprite** sprite);
HRESULT D3DXCreateFontIndirect(IDirect3DDevice8* device, const LOGFONTA* font, ID3DXFont** out);

} // namespace win32
