// The sprite batch: quads of one texture queued between Begin and End and drawn together, as one draw,
// before anything changes how they would come out.
#include "device.h"
#include "device_hold.h"

#include "win32/d3dx8.h"

#include <atomic>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

namespace win32 {

namespace {

using d3d::HelperVertex;
using d3d::HelperVertexFormat;

class Sprite final : public ID3DXSprite, public d3d::PendingBatch {
public:
    explicit Sprite(IDirect3DDevice8* device) : device_(device), own_(dynamic_cast<d3d::Device*>(device)) {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetDevice(IDirect3DDevice8** device) override { return device_.Give(device); }
    HRESULT Begin() override {
        if (open_) return D3DERR_INVALIDCALL;
        IDirect3DDevice8* d = device_.get();
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        d->SetVertexShader(HelperVertexFormat);
        open_ = true;
        return D3D_OK;
    }
    HRESULT End() override {
        if (!open_) return D3DERR_INVALIDCALL;
        DrawPendingBatch();
        open_ = false;
        return D3D_OK;
    }
    HRESULT Draw(IDirect3DTexture8* texture, const RECT* sourceRect, const D3DXVECTOR2* scaling,
                 const D3DXVECTOR2* rotationCenter, float rotation, const D3DXVECTOR2* translation,
                 D3DCOLOR colour) override;

    void DrawPendingBatch() override;

private:
    ~Sprite() {
        if (own_) own_->DropPendingBatch(this);
        if (texture_) texture_->Release();
    }

    std::atomic<ULONG> refs_{1};
    d3d::DeviceHold device_;
    d3d::Device* own_;
    bool open_ = false;
    IDirect3DTexture8* texture_ = nullptr; // of the queued quads, held until they are drawn
    std::vector<HelperVertex> queued_;     // six a quad
};

HRESULT Sprite::Draw(IDirect3DTexture8* texture, const RECT* sourceRect, const D3DXVECTOR2* scaling,
                     const D3DXVECTOR2* rotationCenter, float rotation, const D3DXVECTOR2* translation,
                     D3DCOLOR colour) {
    D3DSURFACE_DESC desc{};
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
        return D3DERR_INVALIDCALL;
    const RECT r =
        sourceRect ? *sourceRect : RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    if (r.right <= r.left || r.bottom <= r.top) return D3D_OK;
    if (texture != texture_) {
        DrawPendingBatch();
        texture->AddRef();
        texture_ = texture;
    }
    const float sx = scaling ? scaling->x : 1.0f, sy = scaling ? scaling->y : 1.0f;
    const float cx = rotationCenter ? rotationCenter->x : 0.0f,
                cy = rotationCenter ? rotationCenter->y : 0.0f;
    const float tx = translation ? translation->x : 0.0f, ty = translation ? translation->y : 0.0f;
    const float c = std::cos(rotation), s = std::sin(rotation);
    const float w = static_cast<float>(r.right - r.left) * sx, h = static_cast<float>(r.bottom - r.top) * sy;
    const auto place = [&](float x, float y, float u, float v) {
        // Turned about the centre, counter-clockwise on a screen whose y runs down.
        const float dx = x - cx, dy = y - cy;
        const float px = rotation == 0.0f ? x : cx + dx * c + dy * s;
        const float py = rotation == 0.0f ? y : cy - dx * s + dy * c;
        return HelperVertex{px + tx,
                            py + ty,
                            0.0f,
                            1.0f,
                            colour,
                            u / static_cast<float>(desc.Width),
                            v / static_cast<float>(desc.Height)};
    };
    const auto l = static_cast<float>(r.left), t = static_cast<float>(r.top);
    const auto rr = static_cast<float>(r.right), b = static_cast<float>(r.bottom);
    const HelperVertex corners[4] = {place(0, 0, l, t), place(w, 0, rr, t), place(w, h, rr, b),
                                     place(0, h, l, b)};
    for (int i : {0, 1, 2, 0, 2, 3})
        queued_.push_back(corners[i]);
    if (own_) own_->SetPendingBatch(this);
    if (!open_ || !own_) DrawPendingBatch();
    return D3D_OK;
}

void Sprite::DrawPendingBatch() {
    if (own_) own_->DropPendingBatch(this);
    if (queued_.empty()) return;
    IDirect3DDevice8* d = device_.get();
    d->SetTexture(0, texture_);
    d->SetVertexShader(HelperVertexFormat);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(queued_.size() / 3), queued_.data(),
                       sizeof(HelperVertex));
    d->SetTexture(0, nullptr);
    queued_.clear();
    if (texture_) std::exchange(texture_, nullptr)->Release();
}

} // namespace

HRESULT D3DXCreateSprite(IDirect3DDevice8* device, ID3DXSprite** sprite) {
    if (!sprite) return D3DERR_INVALIDCALL;
    *sprite = nullptr;
    if (!device) return D3DERR_INVALIDCALL;
    *sprite = new (std::nothrow) Sprite(device);
    return *sprite ? D3D_OK : E_OUTOFMEMORY;
}

} // namespace win32
