// The screen's scenes and presentation: nested BeginDraw and EndDraw around one device scene, the sprite
// batch, the textures held until a scene ends, the stack of render textures drawn into, and Present with
// the recovery of a lost device.
#include "screen_surface.h"

#include <algorithm>
#include <utility>

using namespace win32;

namespace {

// A COLORREF (red in the low byte) as a device colour (red in the third byte); the top byte stays alpha.
D3DCOLOR DeviceColour(COLORREF colour) {
    return (colour & 0xFF00FF00u) | ((colour & 0xFFu) << 16) | ((colour >> 16) & 0xFFu);
}

} // namespace

int cD3DScreenSurface::BeginDraw(int clear, COLORREF colour) {
    if (resetting_) return drawNesting_;
    if (drawNesting_++ > 0) return drawNesting_;
    spriteBatchOpen_ = false;
    if (!device_) return drawNesting_;
    if (clear) {
        const DWORD targets = D3DCLEAR_TARGET | (depthBuffer_ ? D3DCLEAR_ZBUFFER : 0);
        device_->Clear(0, nullptr, targets, DeviceColour(colour), 1.0f, 0);
    }
    device_->BeginScene();
    return drawNesting_;
}

int cD3DScreenSurface::EndDraw() {
    if (resetting_ || drawNesting_ == 0) return drawNesting_;
    if (--drawNesting_ > 0) return drawNesting_;
    EndSpriteBatch();
    if (device_) device_->EndScene();
    ReleaseDeferred();
    return drawNesting_;
}

int cD3DScreenSurface::Present() {
    if (resetting_ || drawNesting_ > 0 || !device_) return 0;
    if (SUCCEEDED(device_->Present(nullptr, nullptr, nullptr, nullptr))) return 0;
    if (device_->TestCooperativeLevel() != D3DERR_DEVICENOTRESET) return 0;
    deviceLost_ = true;
    ResetDevice();
    return 1;
}

void cD3DScreenSurface::BeginSpriteBatch() {
    if (spriteBatchOpen_ || !sprite_) return;
    sprite_->Begin();
    spriteBatchOpen_ = true;
    blendingOn_ = true;
    sourceBlend_ = D3DBLEND_SRCALPHA;
    destinationBlend_ = D3DBLEND_INVSRCALPHA;
    currentFilter_ = defaultFilter_;
}

void cD3DScreenSurface::EndSpriteBatch() {
    if (!spriteBatchOpen_) return;
    if (sprite_) sprite_->End();
    spriteBatchOpen_ = false;
}

void cD3DScreenSurface::FlushBatch(int flag) {
    if (!spriteBatchOpen_) return;
    EndSpriteBatch();
    if (!flag) BeginSpriteBatch();
}

void cD3DScreenSurface::DeferRelease(IDirect3DBaseTexture8* texture) {
    if (!texture) return;
    texture->AddRef();
    deferredReleases_.push_back(texture);
}

void cD3DScreenSurface::ReleaseDeferred() {
    for (IDirect3DBaseTexture8* texture : std::exchange(deferredReleases_, {}))
        texture->Release();
}

bool cD3DScreenSurface::PushRenderTarget(IDirect3DTexture8* texture) {
    if (renderTargetCount_ >= RenderTargetStackSize) return false;
    renderTargets_[static_cast<std::size_t>(renderTargetCount_++)] = texture;
    return true;
}

void cD3DScreenSurface::PopRenderTarget() {
    if (renderTargetCount_ > 0) renderTargets_[static_cast<std::size_t>(--renderTargetCount_)] = nullptr;
}

void cD3DScreenSurface::SetOrigin(int x, int y) {
    originX_ = x;
    originY_ = y;
}

int cD3DScreenSurface::GetOrigin() {
    return static_cast<int>((static_cast<std::uint32_t>(originY_) << 16) |
                            (static_cast<std::uint32_t>(originX_) & 0xFFFFu));
}

int cD3DScreenSurface::SupportsOrigin() {
    return 1;
}

int cD3DScreenSurface::ScrollRect(int, int, int, int, int, int) {
    return 0;
}

int cD3DScreenSurface::FillRectValue(int, int, int, int, DWORD) {
    return 0;
}
