// The texture kinds' shared life.
#include "texture_surfaces.h"

#include <new>

namespace {
constexpr int TextureDepth = 32;
}

cD3DTextureSurface::~cD3DTextureSurface() {
    if (texture_ && ownsTexture_) texture_->Release();
}

int cD3DTextureSurface::SetDepth(int) {
    cSurfaceImplementation::SetDepth(TextureDepth);
    return 1;
}

template <int TypeCode, bool Managed>
cSurfaceImplementation* cD3DTextureKind<TypeCode, Managed>::CreateSameKind(int newWidth, int newHeight) {
    auto* made = new (std::nothrow) cD3DTextureKind;
    if (!made) return nullptr;
    made->InitSize(*this, newWidth, newHeight, newWidth * 4);
    return made;
}

template class cD3DTextureKind<SurfaceTypeD3DRenderTexture, false>;
template class cD3DTextureKind<SurfaceTypeD3DUnmanagedTexture, false>;
template class cD3DTextureKind<SurfaceTypeD3DManagedTexture, true>;
