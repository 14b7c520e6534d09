// The testing hooks of devices.
#include "device.h"
#include "gl_context.h"

#include "win32/d3d8_testing.h"

namespace win32::testing {

namespace {
d3d::Device* Own(IDirect3DDevice8* device) {
    return dynamic_cast<d3d::Device*>(device);
}
} // namespace

void LoseDevice(IDirect3DDevice8* device) {
    if (d3d::Device* own = Own(device)) own->SetLoss(d3d::Device::Loss::Lost);
}

void LetLostDeviceReset(IDirect3DDevice8* device) {
    if (d3d::Device* own = Own(device)) own->SetLoss(d3d::Device::Loss::Resettable);
}

void LimitTextureSize(UINT limit) {
    d3d::LimitTextureSizeForTesting(static_cast<GLint>(limit));
}

unsigned DrawCallCount(IDirect3DDevice8* device) {
    d3d::Device* own = Own(device);
    return own ? own->DrawCalls() : 0;
}

unsigned StateChangeCount(IDirect3DDevice8* device) {
    d3d::Device* own = Own(device);
    return own ? own->StateChanges() : 0;
}

std::vector<D3DCOLOR> ReadBackBuffer(IDirect3DDevice8* device, UINT* width, UINT* height) {
    d3d::Device* own = Own(device);
    return own ? own->ReadBack(width, height) : std::vector<D3DCOLOR>{};
}

std::string RendererName() {
    if (!d3d::EnsureGlContext()) return {};
    const d3d::GlScope scope;
    if (!scope.ok()) return {};
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return std::string(renderer ? renderer : "") + ", OpenGL " + (version ? version : "");
}

} // namespace win32::testing
