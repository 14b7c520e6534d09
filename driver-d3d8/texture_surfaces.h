// The driver's texture kinds: a render texture and textures in the default and in the managed pool. They
// answer their type codes and make new instances of their kind; their texture and drawing come with the
// driver's drawing.
#pragma once

#include "vtrs2/surface_implementation.h"
#include "win32/d3d8.h"

constexpr int SurfaceTypeD3DRenderTexture = 14;
constexpr int SurfaceTypeD3DUnmanagedTexture = 15;
constexpr int SurfaceTypeD3DManagedTexture = 16;

// What every texture kind shares: one texture, which it may own.
class cD3DTextureSurface : public cSurfaceImplementation {
public:
    ~cD3DTextureSurface() override;
    int SetDepth(int depth) override;

protected:
    win32::IDirect3DTexture8* texture_ = nullptr;
    bool ownsTexture_ = false;
    bool managed_ = false;
    bool opaque_ = false;
};

template <int TypeCode, bool Managed> class cD3DTextureKind : public cD3DTextureSurface {
public:
    cD3DTextureKind() { managed_ = Managed; }
    int GetType() override { return TypeCode; }
    cSurfaceImplementation* CreateSameKind(int width, int height) override;
};

using cD3DRenderTextureSurface = cD3DTextureKind<SurfaceTypeD3DRenderTexture, false>;
using cD3DUnmanagedTextureSurface = cD3DTextureKind<SurfaceTypeD3DUnmanagedTexture, false>;
using cD3DManagedTextureSurface = cD3DTextureKind<SurfaceTypeD3DManagedTexture, true>;
