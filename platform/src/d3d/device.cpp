// The device's back buffer and states. Rows are kept top row first (GL row 0 is the top), so a read-back
// is the picture as shown and D3D rectangles need no flipping.
#include "device.h"

#include "adapter.h"
#include "gl_context.h"
#include "image_surface.h"
#include "raster.h"
#include "texture.h"
#include "window_copy.h"
#include "window_internal.h"

#include <algorithm>
#include <new>
#include <utility>

namespace win32::d3d {

namespace {

bool Windowed(const D3DPRESENT_PARAMETERS& p) {
    return p.Windowed != FALSE;
}

GLenum DepthFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D16:
        return GL_DEPTH_COMPONENT16;
    case D3DFMT_D24S8:
        return GL_DEPTH24_STENCIL8;
    case D3DFMT_D32:
        return GL_DEPTH_COMPONENT32;
    default:
        return GL_NONE;
    }
}

bool HasStencil(D3DFORMAT format) {
    return format == D3DFMT_D24S8;
}

// A rectangle of the target, clamped to it; empty when nothing of it is inside.
bool ClampRect(const D3DRECT& r, UINT width, UINT height, RECT* out) {
    const LONG w = static_cast<LONG>(width), h = static_cast<LONG>(height);
    *out =
        RECT{std::clamp(r.x1, 0, w), std::clamp(r.y1, 0, h), std::clamp(r.x2, 0, w), std::clamp(r.y2, 0, h)};
    return out->right > out->left && out->bottom > out->top;
}

} // namespace

Device::Device(IDirect3D8* direct3d, HWND focusWindow) : direct3d_(direct3d), focusWindow_(focusWindow) {
    direct3d_->AddRef();
}

Device::~Device() {
    pending_ = nullptr;
    ReleaseTarget();
    for (IDirect3DBaseTexture8*& bound : textures_)
        if (bound) std::exchange(bound, nullptr)->Release();
    // What still holds a texture or surface of the device keeps an object without a device.
    for (Texture* texture : std::exchange(textureList_, {}))
        texture->Orphan();
    for (ImageSurface* surface : std::exchange(imageList_, {}))
        surface->Orphan();
    FreeBackBuffer();
    if (vertexArray_ || vertexBuffer_) {
        GlScope gl;
        if (gl.ok()) {
            glDeleteVertexArrays(1, &vertexArray_);
            glDeleteBuffers(1, &vertexBuffer_);
        }
    }
    direct3d_->Release();
}

HRESULT Device::Create(IDirect3D8* direct3d, HWND focusWindow, D3DPRESENT_PARAMETERS* parameters,
                       IDirect3DDevice8** out) {
    if (focusWindow && !IsWindow(focusWindow)) return D3DERR_INVALIDCALL;
    Device* device = new (std::nothrow) Device(direct3d, focusWindow);
    if (!device) return E_OUTOFMEMORY;
    const HRESULT made = device->Reset(parameters);
    if (FAILED(made)) {
        device->Release();
        return made;
    }
    *out = device;
    return D3D_OK;
}

ULONG Device::AddRef() {
    return ++refs_;
}

ULONG Device::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT Device::TestCooperativeLevel() {
    switch (loss_) {
    case Loss::Lost:
        return D3DERR_DEVICELOST;
    case Loss::Resettable:
        return D3DERR_DEVICENOTRESET;
    default:
        return D3D_OK;
    }
}

HRESULT Device::GetDirect3D(IDirect3D8** direct3d) {
    if (!direct3d) return D3DERR_INVALIDCALL;
    direct3d_->AddRef();
    *direct3d = direct3d_;
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS8* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    FillCaps(caps);
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(D3DDISPLAYMODE* mode) {
    if (!mode) return D3DERR_INVALIDCALL;
    *mode = DesktopMode();
    return D3D_OK;
}

HRESULT Device::Resolve(const D3DPRESENT_PARAMETERS& p, BackBuffer* out) const {
    const HWND window = p.hDeviceWindow ? p.hDeviceWindow : focusWindow_;
    if (!IsWindow(window)) return D3DERR_INVALIDCALL;
    BackBuffer b;
    b.format =
        p.BackBufferFormat == D3DFMT_UNKNOWN && Windowed(p) ? DesktopMode().Format : p.BackBufferFormat;
    if (!IsTargetFormat(b.format)) return D3DERR_INVALIDCALL;
    b.width = p.BackBufferWidth;
    b.height = p.BackBufferHeight;
    if (Windowed(p) && (b.width == 0 || b.height == 0)) {
        RECT client{};
        GetClientRect(window, &client);
        if (b.width == 0) b.width = static_cast<UINT>(std::max<LONG>(1, client.right));
        if (b.height == 0) b.height = static_cast<UINT>(std::max<LONG>(1, client.bottom));
    }
    if (!FitsCaps(b.width, b.height)) return D3DERR_INVALIDCALL;
    if (p.EnableAutoDepthStencil) {
        if (DepthFormat(p.AutoDepthStencilFormat) == GL_NONE) return D3DERR_INVALIDCALL;
        b.depth = true;
    }
    *out = b;
    return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (!parameters) return D3DERR_INVALIDCALL;
    if (loss_ == Loss::Lost) return D3DERR_DEVICELOST;
    BackBuffer wanted;
    if (const HRESULT resolved = Resolve(*parameters, &wanted); FAILED(resolved)) return resolved;
    const D3DFORMAT depthFormat = parameters->AutoDepthStencilFormat;
    GlScope gl;
    if (!gl.ok()) return D3DERR_NOTAVAILABLE;
    pending_ = nullptr;
    FreeBackBuffer();
    parameters_ = *parameters;
    parameters_.AutoDepthStencilFormat = depthFormat;
    if (const HRESULT made = MakeBackBuffer(wanted); FAILED(made)) {
        // Without a back buffer the device waits for a reset that works, as a lost one does.
        loss_ = Loss::Resettable;
        return made;
    }
    // A reset asks for the window's size again at the next one; the caller sees what it got.
    parameters->BackBufferWidth = wanted.width;
    parameters->BackBufferHeight = wanted.height;
    parameters->BackBufferFormat = wanted.format;
    deviceWindow_ = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow_;
    inScene_ = false;
    loss_ = Loss::None;
    ReleaseTarget();
    SetDefaultStates();
    for (Texture* texture : textureList_)
        if (texture->Pool() == D3DPOOL_DEFAULT) texture->Empty();
    return D3D_OK;
}

HRESULT Device::MakeBackBuffer(const BackBuffer& b) {
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glGenRenderbuffers(1, &colour_);
    glBindRenderbuffer(GL_RENDERBUFFER, colour_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(b.width),
                          static_cast<GLsizei>(b.height));
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    if (b.depth) {
        const D3DFORMAT format = parameters_.AutoDepthStencilFormat;
        glGenRenderbuffers(1, &depth_);
        glBindRenderbuffer(GL_RENDERBUFFER, depth_);
        glRenderbufferStorage(GL_RENDERBUFFER, DepthFormat(format), static_cast<GLsizei>(b.width),
                              static_cast<GLsizei>(b.height));
        glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                                  HasStencil(format) ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                  GL_RENDERBUFFER, depth_);
    }
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    const bool failed = glGetError() != GL_NO_ERROR;
    DrainGlErrors();
    if (!complete || failed) {
        FreeBackBuffer();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    buffer_ = b;
    // A fresh back buffer is black, as the window it will be shown in expects until the first clear.
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return D3D_OK;
}

void Device::FreeBackBuffer() {
    if (!framebuffer_ && !colour_ && !depth_) return;
    GlScope gl;
    if (gl.ok()) {
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteRenderbuffers(1, &colour_);
        if (depth_) glDeleteRenderbuffers(1, &depth_);
    }
    framebuffer_ = colour_ = depth_ = 0;
    buffer_ = BackBuffer{};
}

void Device::SetDefaultStates() {
    renderStates_.fill(0);
    auto& rs = renderStates_;
    rs[D3DRS_ZENABLE] = buffer_.depth ? TRUE : FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = 3; // counter-clockwise
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = 1; // the vertex's first colour
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    for (DWORD stage = 0; stage < D3DMAXTEXTURESTAGES; ++stage) {
        auto& ts = stageStates_[stage];
        ts.fill(0);
        ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = stage;
        ts[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        ts[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        ts[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        ts[D3DTSS_MAXANISOTROPY] = 1;
    }
}

bool Device::ReadPixels(std::vector<D3DCOLOR>& pixels) {
    // resize keeps what the vector had: a present of the same size writes no zeros first.
    pixels.resize(static_cast<std::size_t>(buffer_.width) * buffer_.height);
    return ReadPixelsInto(pixels.data(), buffer_.width, false);
}

bool Device::ReadPixelsInto(void* first, std::size_t pitch, bool bytes) {
    GlScope gl;
    if (!gl.ok() || !framebuffer_) return false;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, pitch == buffer_.width ? 0 : static_cast<GLint>(pitch));
    // Red, green, blue and alpha bytes are the renderbuffer's own layout, which the context copies as they
    // are; the caller puts them in its order.
    glReadPixels(0, 0, static_cast<GLsizei>(buffer_.width), static_cast<GLsizei>(buffer_.height),
                 bytes ? GL_RGBA : GL_BGRA, bytes ? GL_UNSIGNED_BYTE : GL_UNSIGNED_INT_8_8_8_8_REV, first);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    return true;
}

std::vector<D3DCOLOR> Device::ReadBack(UINT* width, UINT* height) {
    if (width) *width = buffer_.width;
    if (height) *height = buffer_.height;
    std::vector<D3DCOLOR> pixels;
    return ReadPixels(pixels) ? pixels : std::vector<D3DCOLOR>{};
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                        const void* dirtyRegion) {
    if (loss_ != Loss::None) return D3DERR_DEVICELOST;
    FlushPendingBatch();
    if (sourceRect || destRect || dirtyRegion) return D3DERR_INVALIDCALL;
    const HWND window = destWindow ? destWindow : deviceWindow_;
    if (!IsWindow(window)) return D3DERR_INVALIDCALL;
    const bool fullScreen = !Windowed(parameters_);
    // The common case, a back buffer of the window's size: read straight into the window's bitmap.
    if (DirectCopy direct; BeginDirectCopy(window, buffer_.width, buffer_.height, fullScreen, &direct)) {
        if (!ReadPixelsInto(direct.first, direct.pitch, true)) {
            AbandonDirectCopy(direct);
            return D3DERR_DRIVERINTERNALERROR;
        }
        FinishDirectCopy(direct);
        return D3D_OK;
    }
    if (!ReadPixels(presented_)) return D3DERR_DRIVERINTERNALERROR;
    return CopyToWindowClient(window, presented_, buffer_.width, buffer_.height, fullScreen)
               ? D3D_OK
               : D3DERR_INVALIDCALL;
}

HRESULT Device::GetRasterStatus(D3DRASTER_STATUS* status) {
    if (!status) return D3DERR_INVALIDCALL;
    *status = RasterAt(LayerTime(), RefreshRate(), DesktopMode().Height);
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    FlushPendingBatch();
    inScene_ = false;
    GlScope gl;
    if (gl.ok()) glFlush();
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
    constexpr DWORD KnownFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    if ((count > 0 && !rects) || flags == 0 || (flags & ~KnownFlags)) return D3DERR_INVALIDCALL;
    const bool depth = target_->HasDepth();
    if ((flags & D3DCLEAR_ZBUFFER) && !depth) return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !(depth && HasStencil(parameters_.AutoDepthStencilFormat)))
        return D3DERR_INVALIDCALL;
    FlushPendingBatch();
    GlScope gl;
    if (!gl.ok() || !BindTarget()) return D3DERR_DRIVERINTERNALERROR;
    target_->ContextWillWrite();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    // An opaque target keeps alpha 1 in its unused byte.
    const float alpha = target_->WritesAlpha() ? static_cast<float>(color >> 24) / 255.0f : 1.0f;
    glClearColor(static_cast<float>((color >> 16) & 0xFF) / 255.0f,
                 static_cast<float>((color >> 8) & 0xFF) / 255.0f, static_cast<float>(color & 0xFF) / 255.0f,
                 alpha);
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) mask |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) mask |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) mask |= GL_STENCIL_BUFFER_BIT;
    target_->ContextWrote();
    if (count == 0) {
        glDisable(GL_SCISSOR_TEST);
        glClear(mask);
        return D3D_OK;
    }
    glEnable(GL_SCISSOR_TEST);
    for (DWORD i = 0; i < count; ++i) {
        RECT r{};
        if (!ClampRect(rects[i], target_->Width(), target_->Height(), &r)) continue;
        glScissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
        glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state >= D3DRS_COUNT) return D3DERR_INVALIDCALL;
    if (renderStates_[state] != value) {
        FlushPendingBatch();
        ++stateChanges_;
    }
    renderStates_[state] = value;
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (state >= D3DRS_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_COUNT) return D3DERR_INVALIDCALL;
    if (stageStates_[stage][type] != value) {
        FlushPendingBatch();
        ++stateChanges_;
    }
    stageStates_[stage][type] = value;
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = stageStates_[stage][type];
    return D3D_OK;
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture8** texture) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    const FormatInfo* info = FormatOf(format);
    if (!FitsCaps(width, height) || levels > 1 || !info || pool > D3DPOOL_SYSTEMMEM)
        return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && (pool != D3DPOOL_DEFAULT || !IsTargetFormat(format)))
        return D3DERR_INVALIDCALL;
    Texture* made = Texture::Create(this, width, height, usage, *info, pool);
    if (!made) return D3DERR_OUTOFVIDEOMEMORY;
    *texture = made;
    return D3D_OK;
}

void Device::Track(Texture* texture) {
    textureList_.push_back(texture);
}

void Device::Untrack(Texture* texture) {
    std::erase(textureList_, texture);
}

void Device::Track(ImageSurface* surface) {
    imageList_.push_back(surface);
}

void Device::Untrack(ImageSurface* surface) {
    std::erase(imageList_, surface);
}

void Device::FlushPendingBatch() {
    if (PendingBatch* batch = std::exchange(pending_, nullptr)) batch->DrawPendingBatch();
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
    if (stage >= D3DMAXTEXTURESTAGES) return D3DERR_INVALIDCALL;
    if (textures_[stage] == texture) return D3D_OK;
    FlushPendingBatch();
    if (texture) texture->AddRef();
    if (textures_[stage]) textures_[stage]->Release();
    textures_[stage] = texture;
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
    if (stage >= D3DMAXTEXTURESTAGES || !texture) return D3DERR_INVALIDCALL;
    *texture = textures_[stage];
    if (*texture) (*texture)->AddRef();
    return D3D_OK;
}

} // namespace win32::d3d
