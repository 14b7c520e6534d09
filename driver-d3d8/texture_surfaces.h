// The driver's texture kinds: textures in the default and in the managed pool, filled by uploading another
// surface's pixels and drawn onto a screen or a render texture; and the upload itself, which also turns any
// library surface into a texture for the screen's blits.
#pragma once

#include "vtrs2/surface_implementation.h"
#include "win32/d3d8.h"

constexpr int SurfaceTypeD3DRenderTexture = 14;
constexpr int SurfaceTypeD3DUnmanagedTexture = 15;
constexpr int SurfaceTypeD3DManagedTexture = 16;

// Whether a type code is one of the driver's texture kinds (its render texture included).
constexpr bool IsDriverTextureType(int type) {
    return type >= SurfaceTypeD3DRenderTexture && type <= SurfaceTypeD3DManagedTexture;
}

// A region of a library surface as a new texture for the calling thread's current screen: its transparent
// colour (unless opaque) or alpha plane made alpha, in the format the screen's depth asks for; managed, or
// in the default pool. Null without a current screen or device, for a region larger than the device's
// limits or outside the source, a source without pixels, or when the device refuses.
win32::IDirect3DTexture8* UploadSurfaceToTexture(cSurfaceImplementation* source, int x, int y, int width,
                                                 int height, bool opaque, bool managed);

// The worker behind it, over pixels of 8 (with their palette's colours), 15, 16, 24 or 32 bits.
struct PixelSource {
    const win32::BYTE* pixels;
    int pitch; // signed: the step from one row to the next
    int depth;
    win32::DWORD transparentValue; // the key in the source's own format
    const win32::BYTE* alpha;      // null without an alpha plane
    int alphaPitch;
    const win32::COLORREF* palette; // 256 colours for 8-bit pixels, else null
};
win32::IDirect3DTexture8* CreateTextureFromPixels(const PixelSource& source, int x, int y, int width,
                                                  int height, bool opaque, bool managed);

// The abstract texture surface: one texture, which it may own, filled by uploads.
class cD3DTextureSurface : public cSurfaceImplementation {
public:
    ~cD3DTextureSurface() override;
    int SetDepth(int depth) override;
    int GetDriverInfo(void* block) override;
    int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
             int height, int mode, int ink, win32::LPARAM parameter, int flags) override;
    int TransformBlit(cSurfaceImplementation* destination, float x, float y, int hotSpotX, int hotSpotY,
                      int sourceX, int sourceY, int width, int height, const float* scale, float angle,
                      int mode, int ink, win32::LPARAM parameter, int flags) override;
    int StretchBlit(cSurfaceImplementation* destination, int x, int y, int width, int height, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                    win32::LPARAM parameter, int flags) override;
    int MirrorHorizontal(int x, int y, int width, int height) override;
    int MirrorVertical(int x, int y, int width, int height) override;
    void SetOpaque(int opaque) override;
    int UploadFrom(cSurfaceImplementation* source) override;

    win32::IDirect3DTexture8* Texture() const { return texture_; }
    // Takes an empty texture of the surface's size when it has none (before the back buffer is copied in).
    bool EnsureTexture();

protected:
    // A new surface of this kind and size, sharing this one's texture (with a reference of its own).
    template <typename Kind> cSurfaceImplementation* MakeSameKind(int width, int height);
    int Mirror(int x, int y, int width, int height, bool horizontal);
    void ReplaceTexture(win32::IDirect3DTexture8* texture);

    win32::IDirect3DTexture8* texture_ = nullptr;
    bool ownsTexture_ = false;
    bool managed_ = false;
    bool opaque_ = false;
};

class cD3DUnmanagedTextureSurface final : public cD3DTextureSurface {
public:
    cD3DUnmanagedTextureSurface() { managed_ = false; }
    int GetType() override { return SurfaceTypeD3DUnmanagedTexture; }
    cSurfaceImplementation* CreateSameKind(int width, int height) override;
};

class cD3DManagedTextureSurface final : public cD3DTextureSurface {
public:
    cD3DManagedTextureSurface() { managed_ = true; }
    int GetType() override { return SurfaceTypeD3DManagedTexture; }
    cSurfaceImplementation* CreateSameKind(int width, int height) override;
};

// The depth the driver's surfaces take: the desktop's through the thread's Direct3D object (24 counted as
// 32), 32 without one.
int DriverSurfaceDepth();
