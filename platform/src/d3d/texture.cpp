#include "texture.h"

#include "device.h"
#include "gl_context.h"

#include <algorithm>
#include <new>

namespace win32::d3d {

Texture::Texture(Device* device, UINT width, UINT height, DWORD usage, const FormatInfo& format, D3DPOOL pool)
    : device_(device), width_(width), height_(height), usage_(usage), format_(format), pool_(pool) {}

Texture* Texture::Create(Device* device, UINT width, UINT height, DWORD usage, const FormatInfo& format,
                         D3DPOOL pool) {
    Texture* texture = new (std::nothrow) Texture(device, width, height, usage, format, pool);
    if (!texture) return nullptr;
    texture->pixels_.assign(texture->Bytes(), 0);
    MarkOpaque(format, texture->pixels_.data(), static_cast<std::size_t>(width) * height);
    texture->memoryValid_ = true;
    device->Track(texture);
    if (pool == D3DPOOL_SYSTEMMEM) return texture;
    GlScope gl;
    if (!gl.ok()) {
        texture->Release();
        return nullptr;
    }
    glGenTextures(1, &texture->name_);
    glBindTexture(GL_TEXTURE_2D, texture->name_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    // Opaque formats read alpha 1 whatever a draw left in the unused byte.
    if (!format.hasAlpha) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                 format.glFormat, format.glType, texture->pixels_.data());
    const bool failed = glGetError() != GL_NO_ERROR;
    DrainGlErrors();
    if (failed) {
        texture->Release();
        return nullptr;
    }
    // A default-pool texture keeps its pixels in the context only.
    if (pool == D3DPOOL_DEFAULT) {
        std::vector<BYTE>().swap(texture->pixels_);
        texture->memoryValid_ = false;
    }
    return texture;
}

Texture::~Texture() {
    if (device_) device_->Untrack(this);
    FreeGl();
}

void Texture::FreeGl() {
    if (!name_ && !framebuffer_) return;
    GlScope gl;
    if (gl.ok()) {
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteTextures(1, &name_);
    }
    name_ = framebuffer_ = 0;
}

void Texture::Orphan() {
    FreeGl();
    device_ = nullptr;
}

ULONG Texture::AddRef() {
    return ++refs_;
}

ULONG Texture::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level != 0 || !desc) return D3DERR_INVALIDCALL;
    constexpr DWORD SurfaceType = 1;
    *desc = D3DSURFACE_DESC{format_.format, SurfaceType, usage_, pool_, static_cast<UINT>(Bytes()), 0,
                            width_,         height_};
    return D3D_OK;
}

bool Texture::Materialise() {
    if (memoryValid_ && !contextNewer_) return true;
    const GLuint framebuffer = Framebuffer();
    GlScope gl;
    if (!gl.ok() || !framebuffer) return false;
    pixels_.resize(Bytes());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), format_.glFormat,
                 format_.glType, pixels_.data());
    MarkOpaque(format_, pixels_.data(), static_cast<std::size_t>(width_) * height_);
    memoryValid_ = true;
    contextNewer_ = false;
    return true;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (level != 0 || !locked || locked_ || !device_ || (usage_ & D3DUSAGE_RENDERTARGET))
        return D3DERR_INVALIDCALL;
    RECT r{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > r.right || rect->bottom > r.bottom ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        r = *rect;
    }
    lockedForWriting_ = !(flags & D3DLOCK_READONLY);
    // Draws already batched read the pixels as they are now.
    if (lockedForWriting_) device_->FlushPendingBatch();
    if (!Materialise()) return D3DERR_DRIVERINTERNALERROR;
    locked_ = true;
    const UINT pitch = width_ * format_.bytes;
    locked->Pitch = static_cast<INT>(pitch);
    locked->pBits = pixels_.data() + static_cast<std::size_t>(r.top) * pitch +
                    static_cast<std::size_t>(r.left) * format_.bytes;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
    if (level != 0 || !locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (lockedForWriting_) {
        MarkOpaque(format_, pixels_.data(), static_cast<std::size_t>(width_) * height_);
        Upload();
    }
    return D3D_OK;
}

void Texture::Upload() {
    if (!name_) return;
    GlScope gl;
    if (!gl.ok()) return;
    glBindTexture(GL_TEXTURE_2D, name_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_),
                    format_.glFormat, format_.glType, pixels_.data());
    contextNewer_ = false;
    if (pool_ == D3DPOOL_DEFAULT) {
        std::vector<BYTE>().swap(pixels_);
        memoryValid_ = false;
    }
}

void Texture::Empty() {
    if (device_) device_->FlushPendingBatch();
    pixels_.assign(Bytes(), 0);
    MarkOpaque(format_, pixels_.data(), static_cast<std::size_t>(width_) * height_);
    memoryValid_ = true;
    Upload();
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (level != 0) return D3DERR_INVALIDCALL;
    AddRef();
    *surface = &level_;
    return D3D_OK;
}

GLuint Texture::Framebuffer() {
    if (framebuffer_ || !name_) return framebuffer_;
    GlScope gl;
    if (!gl.ok()) return 0;
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name_, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        glDeleteFramebuffers(1, &framebuffer_);
        framebuffer_ = 0;
    }
    DrainGlErrors();
    return framebuffer_;
}

void Texture::ContextWillWrite() {
    if (device_) device_->FlushPendingBatch();
}

void Texture::TakePixels(Texture& source) {
    if (!source.Materialise()) return;
    if (device_) device_->FlushPendingBatch();
    pixels_ = source.pixels_;
    memoryValid_ = true;
    Upload();
}

ULONG TextureLevel::AddRef() {
    return texture_->AddRef();
}

ULONG TextureLevel::Release() {
    return texture_->Release();
}

HRESULT TextureLevel::GetDesc(D3DSURFACE_DESC* desc) {
    return texture_->GetLevelDesc(0, desc);
}

HRESULT TextureLevel::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    return texture_->LockRect(0, locked, rect, flags);
}

HRESULT TextureLevel::UnlockRect() {
    return texture_->UnlockRect(0);
}

UINT TextureLevel::Width() const {
    return texture_->Width();
}

UINT TextureLevel::Height() const {
    return texture_->Height();
}

const FormatInfo& TextureLevel::Format() const {
    return texture_->Format();
}

Device* TextureLevel::Owner() const {
    return texture_->Owner();
}

GLuint TextureLevel::Framebuffer() {
    return texture_->Framebuffer();
}

BYTE* TextureLevel::Pixels() {
    return texture_->MemoryPixels();
}

void TextureLevel::ContextWillWrite() {
    texture_->ContextWillWrite();
}

void TextureLevel::ContextWrote() {
    texture_->ContextWrote();
}

void TextureLevel::MemoryWrote() {
    // Only a system-memory texture is written in memory by the device, and it has nothing in the context.
}

bool TextureLevel::IsRenderTarget() const {
    return (texture_->Usage() & D3DUSAGE_RENDERTARGET) != 0;
}

} // namespace win32::d3d
