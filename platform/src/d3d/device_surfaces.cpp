// The device's surfaces: the render target, image surfaces, the back buffer as a surface, and the copies
// between surfaces.
#include "device.h"

#include "adapter.h"
#include "gl_context.h"
#include "image_surface.h"
#include "texture.h"

#include <algorithm>

namespace win32::d3d {

bool Device::BindTarget() {
    const GLuint framebuffer = target_->Framebuffer();
    if (!framebuffer) return false;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    return true;
}

void Device::ReleaseTarget() {
    if (target_ != &backBuffer_) target_->Release();
    target_ = &backBuffer_;
}

HRESULT Device::CreateImageSurface(UINT width, UINT height, D3DFORMAT format, IDirect3DSurface8** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (!FitsCaps(width, height) || !IsColourFormat(format)) return D3DERR_INVALIDCALL;
    *surface = ImageSurface::Create(this, width, height, format);
    return *surface ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT Device::GetBackBuffer(UINT index, DWORD type, IDirect3DSurface8** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (index != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    backBuffer_.AddRef();
    *surface = &backBuffer_;
    return D3D_OK;
}

HRESULT Device::SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8*) {
    if (!target) return D3D_OK;
    auto* surface = dynamic_cast<Surface*>(target);
    if (!surface || surface->Owner() != this || !surface->IsRenderTarget()) return D3DERR_INVALIDCALL;
    if (surface == target_) return D3D_OK;
    ReleaseTarget();
    if (surface != &backBuffer_) {
        surface->AddRef();
        target_ = surface;
    }
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(IDirect3DSurface8** target) {
    if (!target) return D3DERR_INVALIDCALL;
    target_->AddRef();
    *target = target_;
    return D3D_OK;
}

namespace {

bool Inside(const RECT& r, UINT width, UINT height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= static_cast<LONG>(width) && r.bottom <= static_cast<LONG>(height);
}

// One rectangle from a surface of the context or of memory to another, the same size at (x, y).
void CopyRect(Surface& source, const RECT& r, Surface& destination, POINT at) {
    const GLsizei w = r.right - r.left, h = r.bottom - r.top;
    D3DCOLOR* from = source.Pixels();
    D3DCOLOR* to = destination.Pixels();
    if (from && to) {
        for (GLsizei y = 0; y < h; ++y)
            std::copy_n(from + static_cast<std::size_t>(r.top + y) * source.Width() + r.left, w,
                        to + static_cast<std::size_t>(at.y + y) * destination.Width() + at.x);
        return;
    }
    if (!from && to) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, source.Framebuffer());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(destination.Width()));
        glReadPixels(r.left, r.top, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     to + static_cast<std::size_t>(at.y) * destination.Width() + at.x);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        return;
    }
    // Into the context: pixels from memory go through a texture of their own first.
    GLuint stagingTexture = 0, stagingFramebuffer = 0;
    GLuint read = source.Framebuffer();
    RECT readRect = r;
    if (from) {
        glGenTextures(1, &stagingTexture);
        glBindTexture(GL_TEXTURE_2D, stagingTexture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(source.Width()));
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     from + static_cast<std::size_t>(r.top) * source.Width() + r.left);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glGenFramebuffers(1, &stagingFramebuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, stagingFramebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, stagingTexture, 0);
        read = stagingFramebuffer;
        readRect = RECT{0, 0, w, h};
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, destination.Framebuffer());
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBlitFramebuffer(readRect.left, readRect.top, readRect.right, readRect.bottom, at.x, at.y, at.x + w,
                      at.y + h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    destination.ContextWrote();
    if (stagingFramebuffer) glDeleteFramebuffers(1, &stagingFramebuffer);
    if (stagingTexture) glDeleteTextures(1, &stagingTexture);
}

} // namespace

HRESULT Device::CopyRects(IDirect3DSurface8* sourceSurface, const RECT* rects, UINT count,
                          IDirect3DSurface8* destinationSurface, const POINT* points) {
    auto* source = dynamic_cast<Surface*>(sourceSurface);
    auto* destination = dynamic_cast<Surface*>(destinationSurface);
    if (!source || !destination || source == destination || source->Owner() != this ||
        destination->Owner() != this)
        return D3DERR_INVALIDCALL;
    const RECT whole{0, 0, static_cast<LONG>(source->Width()), static_cast<LONG>(source->Height())};
    const UINT n = rects && count > 0 ? count : 1;
    // Every rectangle is checked before any is copied, so a refused call changes nothing.
    for (UINT i = 0; i < n; ++i) {
        const RECT& r = rects && count > 0 ? rects[i] : whole;
        const POINT at = points ? points[i] : POINT{r.left, r.top};
        const RECT placed{at.x, at.y, at.x + (r.right - r.left), at.y + (r.bottom - r.top)};
        if (!Inside(r, source->Width(), source->Height()) ||
            !Inside(placed, destination->Width(), destination->Height()))
            return D3DERR_INVALIDCALL;
    }
    GlScope gl;
    if (!gl.ok()) return D3DERR_DRIVERINTERNALERROR;
    if ((!source->Pixels() && !source->Framebuffer()) ||
        (!destination->Pixels() && !destination->Framebuffer()))
        return D3DERR_DRIVERINTERNALERROR;
    for (UINT i = 0; i < n; ++i) {
        const RECT& r = rects && count > 0 ? rects[i] : whole;
        CopyRect(*source, r, *destination, points ? points[i] : POINT{r.left, r.top});
    }
    DrainGlErrors();
    return D3D_OK;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture8* sourceTexture,
                              IDirect3DBaseTexture8* destinationTexture) {
    auto* source = dynamic_cast<Texture*>(sourceTexture);
    auto* destination = dynamic_cast<Texture*>(destinationTexture);
    if (!source || !destination || source == destination || source->Owner() != this ||
        destination->Owner() != this || source->Pool() != D3DPOOL_SYSTEMMEM ||
        destination->Pool() != D3DPOOL_DEFAULT || source->Width() != destination->Width() ||
        source->Height() != destination->Height())
        return D3DERR_INVALIDCALL;
    destination->TakePixels(*source);
    return D3D_OK;
}

ULONG BackBufferSurface::AddRef() {
    return device_->AddRef();
}

ULONG BackBufferSurface::Release() {
    return device_->Release();
}

HRESULT BackBufferSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    constexpr DWORD SurfaceType = 1;
    const UINT w = device_->BackBufferWidth(), h = device_->BackBufferHeight();
    *desc = D3DSURFACE_DESC{
        device_->BackBufferFormat(), SurfaceType, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, w * h * 4, 0, w, h};
    return D3D_OK;
}

UINT BackBufferSurface::Width() const {
    return device_->BackBufferWidth();
}

UINT BackBufferSurface::Height() const {
    return device_->BackBufferHeight();
}

GLuint BackBufferSurface::Framebuffer() {
    return device_->BackBufferFramebuffer();
}

bool BackBufferSurface::HasDepth() const {
    return device_->BackBufferHasDepth();
}

} // namespace win32::d3d
