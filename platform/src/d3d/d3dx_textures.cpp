// The texture helpers: requirements and creation (any size the caps take, GL having textures of any size),
// and the copy of a surface's rectangle into another with a colour key.
#include "adapter.h"
#include "device.h"
#include "formats.h"
#include "gl_context.h"

#include "win32/d3dx8.h"

#include <algorithm>
#include <vector>

namespace win32 {

namespace {

UINT RequiredSize(UINT size, UINT limit) {
    if (size == 0 || size == D3DX_DEFAULT) return 1;
    return std::min(size, std::max<UINT>(1, limit));
}

RECT Whole(const d3d::Surface& s) {
    return RECT{0, 0, static_cast<LONG>(s.Width()), static_cast<LONG>(s.Height())};
}

bool Inside(const RECT& r, const d3d::Surface& s) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= static_cast<LONG>(s.Width()) && r.bottom <= static_cast<LONG>(s.Height());
}

// Pixels of 0xAARRGGBB into a rectangle of a surface: through a lock where the surface has one, else (a
// render target) through an image surface copied in.
HRESULT WriteArgb(d3d::Device& device, IDirect3DSurface8* surface, const RECT& r, const D3DCOLOR* pixels) {
    auto* target = dynamic_cast<d3d::Surface*>(surface);
    const UINT w = static_cast<UINT>(r.right - r.left), h = static_cast<UINT>(r.bottom - r.top);
    const d3d::FormatInfo& f = target->Format();
    D3DLOCKED_RECT locked{};
    if (!target->IsRenderTarget() && SUCCEEDED(surface->LockRect(&locked, &r, 0))) {
        for (UINT y = 0; y < h; ++y) {
            BYTE* row = static_cast<BYTE*>(locked.pBits) + static_cast<std::ptrdiff_t>(y) * locked.Pitch;
            for (UINT x = 0; x < w; ++x)
                d3d::EncodePixel(f, pixels[y * w + x], row + x * f.bytes);
        }
        surface->UnlockRect();
        return D3D_OK;
    }
    IDirect3DSurface8* staging = nullptr;
    if (FAILED(device.CreateImageSurface(w, h, D3DFMT_A8R8G8B8, &staging))) return D3DERR_INVALIDCALL;
    if (SUCCEEDED(staging->LockRect(&locked, nullptr, 0))) {
        for (UINT y = 0; y < h; ++y)
            std::copy_n(pixels + y * w, w,
                        reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) +
                                                    static_cast<std::ptrdiff_t>(y) * locked.Pitch));
        staging->UnlockRect();
    }
    const POINT at{r.left, r.top};
    const HRESULT copied = device.CopyRects(staging, nullptr, 0, surface, &at);
    staging->Release();
    return copied;
}

} // namespace

HRESULT D3DXCheckTextureRequirements(IDirect3DDevice8* device, UINT* width, UINT* height, UINT* levels,
                                     DWORD usage, D3DFORMAT* format, D3DPOOL) {
    if (!device) return D3DERR_INVALIDCALL;
    const auto limit = static_cast<UINT>(std::max<GLint>(0, d3d::MaxTextureSize()));
    if (width) *width = RequiredSize(*width, limit);
    if (height) *height = RequiredSize(*height, limit);
    if (levels) *levels = 1;
    if (format) {
        const bool target = (usage & D3DUSAGE_RENDERTARGET) != 0;
        if (target ? !d3d::IsTargetFormat(*format) : !d3d::IsTextureFormat(*format))
            *format = D3DFMT_A8R8G8B8;
    }
    return D3D_OK;
}

HRESULT D3DXCreateTexture(IDirect3DDevice8* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!device) return D3DERR_INVALIDCALL;
    D3DXCheckTextureRequirements(device, &width, &height, &levels, usage, &format, pool);
    return device->CreateTexture(width, height, levels, usage, format, pool, texture);
}

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface8* destination, const PALETTEENTRY*,
                                   const RECT* destinationRect, IDirect3DSurface8* source,
                                   const PALETTEENTRY*, const RECT* sourceRect, DWORD, D3DCOLOR colourKey) {
    auto* to = dynamic_cast<d3d::Surface*>(destination);
    auto* from = dynamic_cast<d3d::Surface*>(source);
    if (!to || !from || !to->Owner() || to->Owner() != from->Owner()) return D3DERR_INVALIDCALL;
    const RECT sr = sourceRect ? *sourceRect : Whole(*from);
    const RECT dr = destinationRect ? *destinationRect : Whole(*to);
    if (!Inside(sr, *from) || !Inside(dr, *to)) return D3DERR_INVALIDCALL;
    const UINT sw = static_cast<UINT>(sr.right - sr.left), sh = static_cast<UINT>(sr.bottom - sr.top);
    const UINT dw = static_cast<UINT>(dr.right - dr.left), dh = static_cast<UINT>(dr.bottom - dr.top);
    std::vector<D3DCOLOR> read(static_cast<std::size_t>(sw) * sh);
    d3d::Device& device = *to->Owner();
    if (!device.ReadArgb(*from, sr, read.data())) return D3DERR_DRIVERINTERNALERROR;
    std::vector<D3DCOLOR> written(static_cast<std::size_t>(dw) * dh);
    for (UINT y = 0; y < dh; ++y)
        for (UINT x = 0; x < dw; ++x) {
            const D3DCOLOR c = read[static_cast<std::size_t>(y * sh / dh) * sw + x * sw / dw];
            written[static_cast<std::size_t>(y) * dw + x] = colourKey != 0 && c == colourKey ? 0 : c;
        }
    return WriteArgb(device, destination, dr, written.data());
}

} // namespace win32
