// The device's surfaces: the render target, image surfaces, the back buffer as a surface, and the copies
// between surfaces.
#include "device.h"

#include "adapter.h"
#include "gl_context.h"
#include "image_surface.h"
#include "texture.h"

#include <algorithm>
#include <cstring>

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
    const FormatInfo* info = FormatOf(format);
    if (!FitsCaps(width, height) || !info) return D3DERR_INVALIDCALL;
    *surface = ImageSurface::Create(this, width, height, *info);
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
    FlushPendingBatch();
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

// Rows of one format into rows of another, through 0xAARRGGBB unless the formats are the same.
void ConvertRows(const BYTE* from, std::size_t fromPitch, const FormatInfo& fromFormat, BYTE* to,
                 std::size_t toPitch, const FormatInfo& toFormat, UINT width, UINT height) {
    for (UINT y = 0; y < height; ++y) {
        const BYTE* in = from + y * fromPitch;
        BYTE* out = to + y * toPitch;
        if (fromFormat.format == toFormat.format) {
            std::memcpy(out, in, static_cast<std::size_t>(width) * fromFormat.bytes);
            continue;
        }
        for (UINT x = 0; x < width; ++x)
            EncodePixel(toFormat, DecodePixel(fromFormat, in + x * fromFormat.bytes),
                        out + x * toFormat.bytes);
    }
}

// One rectangle from a surface of the context or of memory to another, the same size at (x, y). The
// context converts between formats itself; memory to memory goes through 0xAARRGGBB.
void CopyRect(Surface& source, const RECT& r, Surface& destination, POINT at) {
    const GLsizei w = r.right - r.left, h = r.bottom - r.top;
    const FormatInfo& sf = source.Format();
    const FormatInfo& df = destination.Format();
    BYTE* from = source.Pixels();
    BYTE* to = destination.Pixels();
    const std::size_t fromPitch = static_cast<std::size_t>(source.Width()) * sf.bytes;
    const std::size_t toPitch = static_cast<std::size_t>(destination.Width()) * df.bytes;
    BYTE* fromFirst = from ? from + r.top * fromPitch + static_cast<std::size_t>(r.left) * sf.bytes : nullptr;
    BYTE* toFirst = to ? to + at.y * toPitch + static_cast<std::size_t>(at.x) * df.bytes : nullptr;
    if (from && to) {
        ConvertRows(fromFirst, fromPitch, sf, toFirst, toPitch, df, static_cast<UINT>(w),
                    static_cast<UINT>(h));
        destination.MemoryWrote();
        return;
    }
    if (!from && to) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, source.Framebuffer());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(destination.Width()));
        glReadPixels(r.left, r.top, w, h, df.glFormat, df.glType, toFirst);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        for (GLsizei y = 0; y < h; ++y)
            MarkOpaque(df, toFirst + y * toPitch, static_cast<std::size_t>(w));
        destination.MemoryWrote();
        return;
    }
    // Into the context: pixels from memory go through a texture of their own first.
    destination.ContextWillWrite();
    GLuint stagingTexture = 0, stagingFramebuffer = 0;
    GLuint read = source.Framebuffer();
    RECT readRect = r;
    if (from) {
        glGenTextures(1, &stagingTexture);
        glBindTexture(GL_TEXTURE_2D, stagingTexture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(source.Width()));
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, sf.glFormat, sf.glType, fromFirst);
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
    // An opaque destination keeps alpha 1; an opaque source gives alpha 1.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, destination.WritesAlpha() ? GL_TRUE : GL_FALSE);
    glBlitFramebuffer(readRect.left, readRect.top, readRect.right, readRect.bottom, at.x, at.y, at.x + w,
                      at.y + h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    if (df.hasAlpha && !sf.hasAlpha) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(at.x, at.y, w, h);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }
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
    FlushPendingBatch();
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

bool Device::ReadArgb(Surface& surface, const RECT& r, D3DCOLOR* out) {
    const UINT w = static_cast<UINT>(r.right - r.left), h = static_cast<UINT>(r.bottom - r.top);
    const FormatInfo& f = surface.Format();
    if (const BYTE* pixels = surface.Pixels()) {
        const std::size_t pitch = static_cast<std::size_t>(surface.Width()) * f.bytes;
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x)
                out[y * w + x] = DecodePixel(f, pixels + (r.top + y) * pitch +
                                                    static_cast<std::size_t>(r.left + x) * f.bytes);
        return true;
    }
    FlushPendingBatch();
    GlScope gl;
    const GLuint framebuffer = surface.Framebuffer();
    if (!gl.ok() || !framebuffer) return false;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(r.left, r.top, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, out);
    if (!f.hasAlpha)
        for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i)
            out[i] |= 0xFF000000u;
    return true;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture8* sourceTexture,
                              IDirect3DBaseTexture8* destinationTexture) {
    auto* source = dynamic_cast<Texture*>(sourceTexture);
    auto* destination = dynamic_cast<Texture*>(destinationTexture);
    if (!source || !destination || source == destination || source->Owner() != this ||
        destination->Owner() != this || source->Pool() != D3DPOOL_SYSTEMMEM ||
        destination->Pool() != D3DPOOL_DEFAULT || source->Width() != destination->Width() ||
        source->Height() != destination->Height() || source->Format().format != destination->Format().format)
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

const FormatInfo& BackBufferSurface::Format() const {
    return *FormatOf(device_->BackBufferFormat());
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
