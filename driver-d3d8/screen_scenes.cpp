// The screen's scenes and presentation: nested BeginDraw and EndDraw around one device scene, the sprite
// batch, the textures held until a scene ends, Present with the recovery of a lost device, the state
// cache, and the solid fills drawn straight on the device.
#include "screen_surface.h"

#include <algorithm>
#include <utility>

using namespace win32;

namespace {

// Pre-transformed vertices with a colour and one pair of texture coordinates.
constexpr DWORD ScreenVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
static_assert(ScreenVertexFormat == 0x144);

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};

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

void cD3DScreenSurface::SetBlending(bool on, DWORD source, DWORD destination) {
    if (!device_) return;
    if (on != blendingOn_) {
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, on ? 1 : 0);
        blendingOn_ = on;
    }
    if (source != sourceBlend_) {
        device_->SetRenderState(D3DRS_SRCBLEND, source);
        sourceBlend_ = source;
    }
    if (destination != destinationBlend_) {
        device_->SetRenderState(D3DRS_DESTBLEND, destination);
        destinationBlend_ = destination;
    }
}

void cD3DScreenSurface::SetFilter(DWORD filter) {
    if (!device_ || filter == currentFilter_) return;
    device_->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
    device_->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
    currentFilter_ = filter;
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

// The rectangle in screen coordinates (the origin taken off) cut to the clip rectangle, moving the source
// corner along; false when nothing is left.
bool cD3DScreenSurface::ClipToScreen(int& x, int& y, int& w, int& h, int* sourceX, int* sourceY) const {
    x -= originX_;
    y -= originY_;
    const int left = std::max(x, clipLeft), top = std::max(y, clipTop);
    const int right = std::min(x + w, clipRight), bottom = std::min(y + h, clipBottom);
    if (left >= right || top >= bottom) return false;
    if (sourceX) *sourceX += left - x;
    if (sourceY) *sourceY += top - y;
    x = left;
    y = top;
    w = right - left;
    h = bottom - top;
    return true;
}

// A rectangle of one colour, or of a whole texture modulated by the colour, as a fan of two triangles.
int cD3DScreenSurface::DrawQuad(int left, int top, int right, int bottom, D3DCOLOR colour,
                                IDirect3DTexture8* texture) {
    FlushBatch(1);
    const auto l = static_cast<float>(left), t = static_cast<float>(top);
    const auto r = static_cast<float>(right), b = static_cast<float>(bottom);
    const ScreenVertex quad[4] = {{l, t, vertexDepth_, 1.0f, colour, 0.0f, 0.0f},
                                  {r, t, vertexDepth_, 1.0f, colour, 1.0f, 0.0f},
                                  {r, b, vertexDepth_, 1.0f, colour, 1.0f, 1.0f},
                                  {l, b, vertexDepth_, 1.0f, colour, 0.0f, 1.0f}};
    device_->SetTexture(0, texture);
    if (!texture) {
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    }
    device_->SetVertexShader(ScreenVertexFormat);
    const HRESULT drawn = device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(ScreenVertex));
    if (!texture) {
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    }
    device_->SetTexture(0, nullptr);
    return SUCCEEDED(drawn) ? 1 : 0;
}

// An opaque rectangle of one colour, clipped.
int cD3DScreenSurface::FillRect(int x, int y, int fillWidth, int fillHeight, COLORREF colour) {
    if (!device_ || resetting_) return 0;
    if (!ClipToScreen(x, y, fillWidth, fillHeight)) return 1;
    return DrawQuad(x, y, x + fillWidth, y + fillHeight, DeviceColour(colour) | 0xFF000000u, nullptr);
}
