#include "texture.h"

#include "device.h"
#include "gl_context.h"

#include <algorithm>
#include <new>

namespace win32::d3d {

Texture::Texture(Device* device, UINT width, UINT height, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : device_(device), width_(width), height_(height), usage_(usage), format_(format), pool_(pool),
      pixels_(static_cast<std::size_t>(width) * height, 0) {
    device_->AddRef();
}

Texture* Texture::Create(Device* device, UINT width, UINT height, DWORD usage, D3DFORMAT format,
                         D3DPOOL pool) {
    Texture* texture = new (std::nothrow) Texture(device, width, height, usage, format, pool);
    if (!texture) return nullptr;
    GlScope gl;
    if (!gl.ok()) {
        texture->Release();
        return nullptr;
    }
    glGenTextures(1, &texture->name_);
    glBindTexture(GL_TEXTURE_2D, texture->name_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    // The unused byte of X8R8G8B8 reads as opaque whatever a lock left in it.
    if (format == D3DFMT_X8R8G8B8) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0,
                 GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, texture->pixels_.data());
    const bool failed = glGetError() != GL_NO_ERROR;
    DrainGlErrors();
    if (failed) {
        texture->Release();
        return nullptr;
    }
    if (pool == D3DPOOL_DEFAULT) device->Track(texture);
    return texture;
}

Texture::~Texture() {
    device_->Untrack(this);
    if (name_ || framebuffer_) {
        GlScope gl;
        if (gl.ok()) {
            glDeleteFramebuffers(1, &framebuffer_);
            glDeleteTextures(1, &name_);
        }
    }
    device_->Release();
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
    *desc = D3DSURFACE_DESC{format_, SurfaceType, usage_, pool_, width_ * height_ * 4, 0, width_, height_};
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (level != 0 || !locked || locked_ || (usage_ & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
    RECT r{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > r.right || rect->bottom > r.bottom ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        r = *rect;
    }
    ReadBackIfNewer();
    locked_ = true;
    lockedForWriting_ = !(flags & D3DLOCK_READONLY);
    locked->Pitch = static_cast<INT>(width_ * 4);
    locked->pBits = pixels_.data() + static_cast<std::size_t>(r.top) * width_ + r.left;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT level) {
    if (level != 0 || !locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (lockedForWriting_) Upload();
    return D3D_OK;
}

void Texture::Upload() {
    GlScope gl;
    if (!gl.ok()) return;
    glBindTexture(GL_TEXTURE_2D, name_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_),
                    GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels_.data());
}

void Texture::Empty() {
    std::fill(pixels_.begin(), pixels_.end(), 0);
    contextNewer_ = false;
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
    if (framebuffer_) return framebuffer_;
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

void Texture::ReadBackIfNewer() {
    if (!contextNewer_) return;
    const GLuint framebuffer = Framebuffer();
    GlScope gl;
    if (!gl.ok() || !framebuffer) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, pixels_.data());
    contextNewer_ = false;
}

void Texture::TakePixels(Texture& source) {
    source.ReadBackIfNewer();
    pixels_ = source.pixels_;
    contextNewer_ = false;
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

Device* TextureLevel::Owner() const {
    return texture_->Owner();
}

GLuint TextureLevel::Framebuffer() {
    return texture_->Framebuffer();
}

void TextureLevel::ContextWrote() {
    texture_->ContextWrote();
}

bool TextureLevel::IsRenderTarget() const {
    return (texture_->Usage() & D3DUSAGE_RENDERTARGET) != 0;
}

} // namespace win32::d3d
