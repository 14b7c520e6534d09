// A texture of a device: a GL texture and the copy of its pixels that locks hand out.
#pragma once

#include "win32/d3d8.h"

#include <epoxy/gl.h>

#include <atomic>
#include <vector>

namespace win32::d3d {

class Device;

class Texture final : public IDirect3DTexture8 {
public:
    // Checked by the device first: a size within the caps, a 32-bit format.
    static Texture* Create(Device* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool);

    ULONG AddRef() override;
    ULONG Release() override;
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    GLuint Name() const { return name_; }
    D3DPOOL Pool() const { return pool_; }
    // A reset loses what a default-pool texture held: it is transparent black again.
    void Empty();

private:
    Texture(Device* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool);
    ~Texture();
    void Upload();

    std::atomic<ULONG> refs_{1};
    Device* device_;
    UINT width_, height_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    GLuint name_ = 0;
    std::vector<D3DCOLOR> pixels_;
    bool locked_ = false;
    bool lockedForWriting_ = false;
};

} // namespace win32::d3d
