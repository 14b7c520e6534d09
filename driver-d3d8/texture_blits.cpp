// Textures onto other surfaces, and the read-back of a texture into a library surface's pixels.
#include "texture_blits.h"

#include "ink_mapping.h"
#include "screen_registry.h"
#include "screen_surface.h"

#include <algorithm>
#include <cstring>

using namespace win32;

namespace {

// The destination's screen (a render texture begins drawing on itself), or null.
cD3DScreenSurface* ScreenOf(cSurfaceImplementation* destination) {
    cSurfaceImplementation* screen = destination ? destination->GetScreen() : nullptr;
    if (screen && screen->GetType() == SurfaceTypeD3DScreen) return static_cast<cD3DScreenSurface*>(screen);
    if (destination) destination->FinishDrawing();
    return nullptr;
}

UINT TextureWidth(IDirect3DTexture8* texture, UINT* height) {
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    *height = desc.Height;
    return desc.Width;
}

// One pixel of a colour 0x00RRGGBB at a depth, into the destination's row.
void StorePixel(cSurfaceImplementation& d, BYTE* row, int x, D3DCOLOR rgb) {
    const DWORD r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    switch (d.depth) {
    case 8:
        row[x] = static_cast<BYTE>(d.GetNearestIndex(RGB(r, g, b)));
        break;
    case 15:
    case 16: {
        const DWORD v = d.depth == 15 ? ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)
                                      : ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        row[2 * x] = static_cast<BYTE>(v);
        row[2 * x + 1] = static_cast<BYTE>(v >> 8);
        break;
    }
    case 24:
        row[3 * x] = static_cast<BYTE>(b), row[3 * x + 1] = static_cast<BYTE>(g),
                row[3 * x + 2] = static_cast<BYTE>(r);
        break;
    default: {
        const DWORD v = rgb & 0xFFFFFF; // the fourth byte is 0
        std::memcpy(row + 4 * x, &v, sizeof v);
        break;
    }
    }
}

} // namespace

int WorkerFlags(int flags) {
    return (flags & (DrawFlagNoHold | DrawFlagTile)) | ((flags & BlitFlagCopyAlpha) ? DrawFlagReplace : 0);
}

int TransformFlags(int flags) {
    return (flags & (1 | DrawFlagNoHold | DrawFlagTile)) |
           ((flags & BlitFlagCopyAlpha) ? DrawFlagReplace : 0);
}

bool ApplyInkOneRule(int& ink, LPARAM parameter) {
    if ((ink & InkCodeMask) != InkBlend) return true;
    if (parameter == InkBlendInvisible) return false;
    if (parameter == 0) ink &= ~InkCodeMask;
    return true;
}

int BlitTexture(IDirect3DTexture8* texture, cSurfaceImplementation* destination, int x, int y, int sourceX,
                int sourceY, int w, int h, int mode, int ink, LPARAM parameter, int flags) {
    if (!texture || !destination) return 0;
    if (cD3DScreenSurface* screen = ScreenOf(destination)) {
        const int drawn = screen->DrawTextureRect(x, y, w, h, texture, sourceX, sourceY, w, h, mode, ink,
                                                  parameter, WorkerFlags(flags));
        destination->FinishDrawing();
        return drawn;
    }
    return CopyTextureToSurface(destination, x, y, texture, sourceX, sourceY, w, h);
}

int StretchBlitTexture(IDirect3DTexture8* texture, cSurfaceImplementation* destination, int x, int y, int w,
                       int h, int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                       LPARAM parameter, int flags) {
    if (!texture) return 0;
    cD3DScreenSurface* screen = ScreenOf(destination);
    if (!screen) return 0;
    const int drawn = screen->DrawTextureRect(x, y, w, h, texture, sourceX, sourceY, sourceWidth,
                                              sourceHeight, mode, ink, parameter, flags);
    destination->FinishDrawing();
    return drawn;
}

int TransformBlitTexture(IDirect3DTexture8* texture, cSurfaceImplementation* destination, float x, float y,
                         int hotSpotX, int hotSpotY, int sourceX, int sourceY, int w, int h,
                         const float* scale, float angle, int mode, int ink, LPARAM parameter, int flags) {
    if (!texture) return 0;
    cD3DScreenSurface* screen = ScreenOf(destination);
    if (!screen) return 0;
    const int drawn = screen->DrawTextureTransformed(x, y, scale ? scale[0] : 1.0f, scale ? scale[1] : 1.0f,
                                                     texture, sourceX, sourceY, w, h, hotSpotX, hotSpotY,
                                                     angle, mode, ink, parameter, TransformFlags(flags));
    destination->FinishDrawing();
    return drawn;
}

int CopyTextureToSurface(cSurfaceImplementation* destination, int x, int y, IDirect3DTexture8* texture,
                         int sourceX, int sourceY, int w, int h) {
    if (!destination || !texture) return 0;
    UINT textureHeight = 0;
    const UINT textureWidth = TextureWidth(texture, &textureHeight);
    // Cut to the texture, then to the destination's clip rectangle, moving the other corner along.
    const auto cut = [&](int& at, int& from, int& size, int low, int high, int fromHigh) {
        if (from < 0) at -= from, size += from, from = 0;
        size = std::min(size, fromHigh - from);
        if (at < low) from += low - at, size -= low - at, at = low;
        size = std::min(size, high - at);
    };
    cut(x, sourceX, w, destination->clipLeft, destination->clipRight, static_cast<int>(textureWidth));
    cut(y, sourceY, h, destination->clipTop, destination->clipBottom, static_cast<int>(textureHeight));
    if (w <= 0 || h <= 0) return 0;
    cD3DScreenSurface* current = nullptr;
    Registry().GetThreadDirect3D(&current);
    IDirect3DDevice8* device = current ? current->Device() : nullptr;
    if (!device) return 0;
    BYTE* pixels = destination->LockBuffer();
    if (!pixels) return 0;
    // The level read into memory as 0xAARRGGBB, whatever its format.
    IDirect3DSurface8* level = nullptr;
    IDirect3DSurface8* image = nullptr;
    int copied = 0;
    const RECT area{sourceX, sourceY, sourceX + w, sourceY + h};
    const POINT origin{0, 0};
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(texture->GetSurfaceLevel(0, &level)) &&
        SUCCEEDED(device->CreateImageSurface(static_cast<UINT>(w), static_cast<UINT>(h), D3DFMT_A8R8G8B8,
                                             &image)) &&
        SUCCEEDED(device->CopyRects(level, &area, 1, image, &origin)) &&
        SUCCEEDED(image->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        const D3DCOLOR key = static_cast<D3DCOLOR>(destination->transparentColor);
        const D3DCOLOR keyRgb = ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF);
        for (int j = 0; j < h; ++j) {
            const auto* in = reinterpret_cast<const D3DCOLOR*>(static_cast<const BYTE*>(locked.pBits) +
                                                               static_cast<std::ptrdiff_t>(j) * locked.Pitch);
            BYTE* row = destination->Row(y + j);
            BYTE* alpha = destination->alphaPlane ? destination->AlphaRow(y + j) : nullptr;
            for (int i = 0; i < w; ++i) {
                const D3DCOLOR texel = in[i];
                const DWORD a = texel >> 24;
                if (alpha) {
                    alpha[x + i] = static_cast<BYTE>(a);
                    StorePixel(*destination, row, x + i, texel);
                } else {
                    StorePixel(*destination, row, x + i, a == 0 ? keyRgb : texel);
                }
            }
        }
        image->UnlockRect();
        copied = 1;
    }
    if (image) image->Release();
    if (level) level->Release();
    destination->UnlockBuffer(nullptr);
    return copied;
}
