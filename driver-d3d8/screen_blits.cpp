// Library surfaces drawn onto the screen: the source rectangle goes into a texture of its own, which the
// scene holds until it ends, and is drawn unscaled. Transparent copies leave the source's key colour out;
// an alpha plane gives each pixel its alpha.
#include "screen_surface.h"

#include <cstring>

using namespace win32;

namespace {

constexpr int TransparentMode = 1;
constexpr D3DCOLOR Opaque = 0xFF000000u;
constexpr D3DCOLOR White = 0xFFFFFFFFu;

// A COLORREF as the texture's 0xAARRGGBB, opaque.
D3DCOLOR TexelOf(COLORREF colour) {
    return Opaque | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

// One row of the source rectangle as texels.
void ReadRow(cSurfaceImplementation& source, int sourceX, int y, int width, bool keyed, D3DCOLOR* out) {
    const bool direct = source.depth == 32 && source.pixels;
    const BYTE* alpha = source.alphaPlane ? source.AlphaRow(y) + sourceX : nullptr;
    for (int i = 0; i < width; ++i) {
        D3DCOLOR texel = 0;
        bool transparent = false;
        if (direct) {
            std::uint32_t value = 0;
            std::memcpy(&value, source.Row(y) + static_cast<std::size_t>(sourceX + i) * 4, sizeof value);
            value &= 0xFFFFFFu;
            texel = Opaque | value;
            transparent = keyed && value == (source.transparentValue & 0xFFFFFFu);
        } else {
            COLORREF colour = 0;
            source.GetPixel(sourceX + i, y, colour);
            texel = TexelOf(colour);
            transparent = keyed && colour == source.transparentColor;
        }
        if (transparent)
            texel &= 0xFFFFFFu;
        else if (alpha)
            texel = (texel & 0xFFFFFFu) | (static_cast<D3DCOLOR>(alpha[i]) << 24);
        out[i] = texel;
    }
}

} // namespace

int cD3DScreenSurface::CanBlitFrom() {
    return 1;
}

// Inks beyond the plain copy are the drawing's; until then they draw as the plain copy.
int cD3DScreenSurface::BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX, int sourceY, int w,
                                int h, int mode, int, LPARAM, int) {
    if (!device_ || resetting_ || !source || drawNesting_ == 0) return 0;
    if (!ClipToScreen(x, y, w, h, &sourceX, &sourceY)) return 1;
    if (sourceX < 0 || sourceY < 0 || sourceX + w > source->width || sourceY + h > source->height) return 0;
    if (w > maxTextureWidth_ || h > maxTextureHeight_) return 0;
    const bool locked = source->LockPixels() != 0;
    IDirect3DTexture8* texture = nullptr;
    if (FAILED(device_->CreateTexture(static_cast<UINT>(w), static_cast<UINT>(h), 1, 0, D3DFMT_A8R8G8B8,
                                      D3DPOOL_MANAGED, &texture))) {
        if (locked) source->UnlockPixels();
        return 0;
    }
    D3DLOCKED_RECT rows{};
    if (SUCCEEDED(texture->LockRect(0, &rows, nullptr, 0))) {
        for (int j = 0; j < h; ++j)
            ReadRow(*source, sourceX, sourceY + j, w, mode == TransparentMode,
                    reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(rows.pBits) +
                                                static_cast<std::ptrdiff_t>(j) * rows.Pitch));
        texture->UnlockRect(0);
    }
    if (locked) source->UnlockPixels();
    const int drawn = DrawQuad(x, y, x + w, y + h, White, texture);
    DeferRelease(texture);
    texture->Release();
    return drawn;
}
