// A texture of a device: a GL texture (none in system memory) and the copy of its pixels that locks hand
// out. Managed and system-memory textures keep that copy; default-pool ones hold their pixels in the
// context only and read them back for a lock.
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
    const FormatInfo& Format() const override;
    Device* Owner() const override;
    GLuint Framebuffer() override;
    BYTE* Pixels() override;
    void ContextWillWrite() override;
    void ContextWrote() override;
    void MemoryWrote() override;
    bool IsRenderTarget() const override;

private:
    Texture* texture_;
};

class Texture final : public IDirect3DTexture8 {
public:
    // Checked by the device first: a size within the caps, a format it takes.
    static Texture* Create(Device* device, UINT width, UINT height, DWORD usage, const FormatInfo& format,
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
    const FormatInfo& Format() const { return format_; }
    D3DPOOL Pool() const { return pool_; }
    DWORD Usage() const { return usage_; }
    Device* Owner() const { return device_; }
    // The GL texture; 0 for a texture in system memory, or once the device went.
    GLuint Name() const { return name_; }
    GLuint Framebuffer();
    // The pixels of a system-memory texture (always in memory); null for the others.
    BYTE* MemoryPixels() { return pool_ == D3DPOOL_SYSTEMMEM ? pixels_.data() : nullptr; }
    void ContextWillWrite();
    void ContextWrote() { contextNewer_ = true; }
    // Takes another texture's pixels (of the same size and format) into this one.
    void TakePixels(Texture& source);
    // A reset loses what a default-pool texture held: it is transparent black again.
    void Empty();
    // The device is going: its GL objects go with it, and the texture answers as one without a device.
    void Orphan();

private:
    Texture(Device* device, UINT width, UINT height, DWORD usage, const FormatInfo& format, D3DPOOL pool);
    ~Texture();
    std::size_t Bytes() const { return static_cast<std::size_t>(width_) * height_ * format_.bytes; }
    void Upload();
    // The memory copy holds the texture's pixels after this; false when they cannot be had.
    bool Materialise();
    void FreeGl();

    std::atomic<ULONG> refs_{1};
    Device* device_;
    UINT width_, height_;
    DWORD usage_;
    const FormatInfo& format_;
    D3DPOOL pool_;
    GLuint name_ = 0;
    GLuint framebuffer_ = 0;
    std::vector<BYTE> pixels_;
    bool memoryValid_ = false;  // pixels_ holds the texture's contents
    bool contextNewer_ = false; // drawn into or copied to since the memory copy was made
    bool locked_ = false;
    bool lockedForWriting_ = false;
    TextureLevel level_{this};
};

} // namespace win32::d3d
