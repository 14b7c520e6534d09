// A texture of a device: a GL texture and the copy of its pixels that locks hand out.
#pragma once

#include "surface.h"

#include <atomic>
#include <vector>

namespace win32::d3d {

class Texture;

// Level 0 of a texture as a surface: its references are the texture's.
class TextureLevel final : public Surface {
public:
    explicit TextureLevel(Texture* texture) : texture_(texture) {}
    TextureLevel(const TextureLevel&) = delete;
    TextureLevel& operator=(const TextureLevel&) = delete;
    ~TextureLevel() = default;

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    UINT Width() const override;
    UINT Height() const override;
    Device* Owner() const override;
    GLuint Framebuffer() override;
    void ContextWrote() override;
    bool IsRenderTarget() const override;

private:
    Texture* texture_;
};

class Texture final : public IDirect3DTexture8 {
public:
    // Checked by the device first: a size within the caps, a 32-bit format.
    static Texture* Create(Device* device, UINT width, UINT height, DWORD usage, D3DFORMAT format,
                           D3DPOOL pool);

    ULONG AddRef() override;
    ULONG Release() override;
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) override;

    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT Format() const { return format_; }
    D3DPOOL Pool() const { return pool_; }
    DWORD Usage() const { return usage_; }
    Device* Owner() const { return device_; }
    GLuint Name() const { return name_; }
    GLuint Framebuffer();
    void ContextWrote() { contextNewer_ = true; }
    // Takes another texture's pixels (of the same size) into this one, memory and context alike.
    void TakePixels(Texture& source);
    // A reset loses what a default-pool texture held: it is transparent black again.
    void Empty();

private:
    Texture(Device* device, UINT width, UINT height, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~Texture();
    void Upload();
    void ReadBackIfNewer();

    std::atomic<ULONG> refs_{1};
    Device* device_;
    UINT width_, height_;
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    GLuint name_ = 0;
    GLuint framebuffer_ = 0;
    std::vector<D3DCOLOR> pixels_;
    bool contextNewer_ = false; // drawn into or copied to since the memory copy was made
    bool locked_ = false;
    bool lockedForWriting_ = false;
    TextureLevel level_{this};
};

} // namespace win32::d3d
