// A device's reference, held for the life of a helper object made beside it.
#pragma once

#include "win32/d3d8.h"

namespace win32::d3d {

class DeviceHold {
public:
    explicit DeviceHold(IDirect3DDevice8* device) : device_(device) { device_->AddRef(); }
    DeviceHold(const DeviceHold&) = delete;
    DeviceHold& operator=(const DeviceHold&) = delete;
    ~DeviceHold() { device_->Release(); }
    IDirect3DDevice8* get() const { return device_; }
    HRESULT Give(IDirect3DDevice8** out) const {
        if (!out) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *out = device_;
        return D3D_OK;
    }

private:
    IDirect3DDevice8* device_;
};

// Pre-transformed vertices with a colour and one pair of texture coordinates, as the helpers draw them.
struct HelperVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};
constexpr DWORD HelperVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

} // namespace win32::d3d
