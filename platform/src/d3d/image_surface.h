// A surface in system memory only, for reading pixels back from the context.
#pragma once

#include "surface.h"

#include <atomic>
#include <vector>

namespace win32::d3d {

class ImageSurface final : public Surface {
public:
    static ImageSurface* Create(Device* device, UINT width, UINT height, const FormatInfo& format);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    UINT Width() const override { return width_; }
    UINT Height() const override { return height_; }
    const FormatInfo& Format() const override { return format_; }
    Device* Owner() const override { return device_; }
    GLuint Framebuffer() override { return 0; }
    BYTE* Pixels() override { return pixels_.data(); }
    // The device is going: the surface answers as one without a device.
    void Orphan() { device_ = nullptr; }

private:
    ImageSurface(Device* device, UINT width, UINT height, const FormatInfo& format);
    ~ImageSurface();

    std::atomic<ULONG> refs_{1};
    Device* device_;
    UINT width_, height_;
    const FormatInfo& format_;
    std::vector<BYTE> pixels_;
    bool locked_ = false;
};

} // namespace win32::d3d
