#include "image_surface.h"

#include "device.h"

#include <new>

namespace win32::d3d {

ImageSurface::ImageSurface(Device* device, UINT width, UINT height, const FormatInfo& format)
    : device_(device), width_(width), height_(height), format_(format),
      pixels_(static_cast<std::size_t>(width) * height * format.bytes, 0) {
    MarkOpaque(format_, pixels_.data(), static_cast<std::size_t>(width) * height);
}

ImageSurface::~ImageSurface() {
    if (device_) device_->Untrack(this);
}

ImageSurface* ImageSurface::Create(Device* device, UINT width, UINT height, const FormatInfo& format) {
    ImageSurface* surface = new (std::nothrow) ImageSurface(device, width, height, format);
    if (surface) device->Track(surface);
    return surface;
}

ULONG ImageSurface::AddRef() {
    return ++refs_;
}

ULONG ImageSurface::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT ImageSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    constexpr DWORD SurfaceType = 1;
    *desc = D3DSURFACE_DESC{
        format_.format, SurfaceType, 0, D3DPOOL_SYSTEMMEM, static_cast<UINT>(pixels_.size()), 0,
        width_,         height_};
    return D3D_OK;
}

HRESULT ImageSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD) {
    if (!locked || locked_) return D3DERR_INVALIDCALL;
    RECT r{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > r.right || rect->bottom > r.bottom ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        r = *rect;
    }
    locked_ = true;
    const UINT pitch = width_ * format_.bytes;
    locked->Pitch = static_cast<INT>(pitch);
    locked->pBits = pixels_.data() + static_cast<std::size_t>(r.top) * pitch +
                    static_cast<std::size_t>(r.left) * format_.bytes;
    return D3D_OK;
}

HRESULT ImageSurface::UnlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    return D3D_OK;
}

} // namespace win32::d3d
