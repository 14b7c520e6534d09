// Blits that involve the screen: library surfaces drawn onto it (each source region made a texture that the
// scene holds until it ends), the active render texture put elsewhere, the back buffer copied into a
// texture, and the texture kinds' own blits.
#include "ink_mapping.h"
#include "render_texture.h"
#include "screen_surface.h"
#include "texture_blits.h"
#include "texture_surfaces.h"

#include "win32/d3dx8.h"

using namespace win32;

namespace {

constexpr D3DCOLOR KeyOpaqueBlack = 0xFF000000u;

} // namespace

int cD3DScreenSurface::BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX, int sourceY, int w,
                                int h, int mode, int ink, LPARAM parameter, int flags) {
    if (IsInvisibleInk(ink, parameter)) return 1;
    IDirect3DTexture8* texture = UploadSurfaceToTexture(source, sourceX, sourceY, w, h, mode == 0, mode == 0);
    if (!texture) return 0;
    const int workerFlags = (flags & DrawFlagTile) | ((flags & BlitFlagCopyAlpha) ? DrawFlagReplace : 0);
    const int drawn = DrawTextureRect(x, y, w, h, texture, 0, 0, w, h, mode, ink, parameter, workerFlags);
    texture->Release();
    return drawn;
}

int cD3DScreenSurface::StretchBlitFrom(cSurfaceImplementation* source, int x, int y, int w, int h,
                                       int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode,
                                       int ink, LPARAM parameter, int flags) {
    if (IsInvisibleInk(ink, parameter)) return 1;
    IDirect3DTexture8* texture =
        UploadSurfaceToTexture(source, sourceX, sourceY, sourceWidth, sourceHeight, mode == 0, mode == 0);
    if (!texture) return 0;
    const int drawn = DrawTextureRect(x, y, w, h, texture, 0, 0, sourceWidth, sourceHeight, mode, ink,
                                      parameter, flags & ~DrawFlagNoHold);
    texture->Release();
    return drawn;
}

int cD3DScreenSurface::TransformBlitFrom(cSurfaceImplementation* source, float x, float y, int hotSpotX,
                                         int hotSpotY, int sourceX, int sourceY, int w, int h,
                                         const float* scale, float angle, int mode, int ink, LPARAM parameter,
                                         int flags) {
    if (IsInvisibleInk(ink, parameter)) return 1;
    IDirect3DTexture8* texture = UploadSurfaceToTexture(source, sourceX, sourceY, w, h, mode == 0, mode == 0);
    if (!texture) return 0;
    const int drawn = DrawTextureTransformed(x, y, scale ? scale[0] : 1.0f, scale ? scale[1] : 1.0f, texture,
                                             0, 0, w, h, hotSpotX, hotSpotY, angle, mode, ink, parameter,
                                             TransformFlags(flags) & ~DrawFlagNoHold);
    texture->Release();
    return drawn;
}

// With a render texture being drawn, it is put on the destination; without one the back buffer is copied
// into a texture destination.
int cD3DScreenSurface::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY,
                            int w, int h, int mode, int ink, LPARAM parameter, int flags) {
    if (!ApplyInkOneRule(ink, parameter)) return 1;
    if (IDirect3DTexture8* active = ActiveRenderTarget())
        return BlitTexture(active, destination, x, y, sourceX, sourceY, w, h, mode, ink, parameter, flags);
    return CopyBackBufferTo(destination, x, y, sourceX, sourceY, w, h);
}

int cD3DScreenSurface::StretchBlit(cSurfaceImplementation* destination, int x, int y, int w, int h,
                                   int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode,
                                   int ink, LPARAM parameter, int flags) {
    if (!ApplyInkOneRule(ink, parameter)) return 1;
    IDirect3DTexture8* active = ActiveRenderTarget();
    if (!active) return 0;
    return StretchBlitTexture(active, destination, x, y, w, h, sourceX, sourceY, sourceWidth, sourceHeight,
                              mode, ink, parameter, flags);
}

int cD3DScreenSurface::CopyBackBufferTo(cSurfaceImplementation* destination, int x, int y, int sourceX,
                                        int sourceY, int w, int h) {
    if (!destination || !device_ || w <= 0 || h <= 0) return 0;
    // Into a texture kind, with opaque black taken as transparent; a render texture (a picture kept of the
    // screen) takes the pixels as they are.
    const int type = destination->GetType();
    IDirect3DTexture8* texture = nullptr;
    D3DCOLOR key = KeyOpaqueBlack;
    if (type == SurfaceTypeD3DUnmanagedTexture || type == SurfaceTypeD3DManagedTexture) {
        auto* kind = static_cast<cD3DTextureSurface*>(destination);
        if (!kind->EnsureTexture()) return 0;
        texture = kind->Texture();
    } else if (type == SurfaceTypeD3DRenderTexture) {
        auto* target = static_cast<cD3DRenderTextureSurface*>(destination);
        if (!target->EnsureTexture(device_)) return 0;
        texture = target->Texture();
        key = 0;
    } else {
        return 0;
    }
    // An open scene is interrupted for the copy.
    const bool inScene = drawNesting_ > 0;
    if (inScene) {
        EndSpriteBatch();
        device_->EndScene();
    }
    IDirect3DSurface8* level = nullptr;
    IDirect3DSurface8* target = nullptr;
    HRESULT loaded = D3DERR_INVALIDCALL;
    if (SUCCEEDED(texture->GetSurfaceLevel(0, &level)) && SUCCEEDED(device_->GetRenderTarget(&target))) {
        const RECT to{x, y, x + w, y + h}, from{sourceX, sourceY, sourceX + w, sourceY + h};
        loaded =
            D3DXLoadSurfaceFromSurface(level, nullptr, &to, target, nullptr, &from, D3DX_FILTER_NONE, key);
    }
    if (target) target->Release();
    if (level) level->Release();
    if (inScene) device_->BeginScene();
    return SUCCEEDED(loaded) ? 1 : 0;
}

cSurfaceImplementation* cD3DScreenSurface::GetDrawTarget() {
    if (IDirect3DTexture8* active = ActiveRenderTarget()) return cD3DRenderTextureSurface::WrapTarget(active);
    return this;
}

int cD3DTextureSurface::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY,
                             int w, int h, int mode, int ink, LPARAM parameter, int flags) {
    return BlitTexture(texture_, destination, x, y, sourceX, sourceY, w, h, mode, ink, parameter, flags);
}

int cD3DTextureSurface::TransformBlit(cSurfaceImplementation* destination, float x, float y, int hotSpotX,
                                      int hotSpotY, int sourceX, int sourceY, int w, int h,
                                      const float* scale, float angle, int mode, int ink, LPARAM parameter,
                                      int flags) {
    return TransformBlitTexture(texture_, destination, x, y, hotSpotX, hotSpotY, sourceX, sourceY, w, h,
                                scale, angle, mode, ink, parameter, flags);
}

int cD3DTextureSurface::StretchBlit(cSurfaceImplementation* destination, int x, int y, int w, int h,
                                    int sourceX, int sourceY, int sourceWidth, int sourceHeight, int mode,
                                    int ink, LPARAM parameter, int flags) {
    return StretchBlitTexture(texture_, destination, x, y, w, h, sourceX, sourceY, sourceWidth, sourceHeight,
                              mode, ink, parameter, flags);
}
