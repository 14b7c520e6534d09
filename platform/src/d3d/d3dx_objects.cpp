// The sprite batch and font objects: each holds its device and what it was made with.
#include "win32/d3dx8.h"

#include <atomic>
#include <new>

namespace win32 {

namespace {

constexpr DWORD SpriteVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The device's reference, held for the object's life.
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

class Sprite final : public ID3DXSprite {
public:
    explicit Sprite(IDirect3DDevice8* device) : device_(device) {}
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
        d->SetVertexShader(SpriteVertexFormat);
        open_ = true;
        return D3D_OK;
    }
    HRESULT End() override {
        if (!open_) return D3DERR_INVALIDCALL;
        open_ = false;
        return D3D_OK;
    }

private:
    ~Sprite() = default;
    std::atomic<ULONG> refs_{1};
    DeviceHold device_;
    bool open_ = false;
};

class Font final : public ID3DXFont {
public:
    Font(IDirect3DDevice8* device, const LOGFONTA& font) : device_(device), font_(font) {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetDevice(IDirect3DDevice8** device) override { return device_.Give(device); }
    HRESULT GetLogFont(LOGFONTA* font) override {
        if (!font) return D3DERR_INVALIDCALL;
        *font = font_;
        return D3D_OK;
    }

private:
    ~Font() = default;
    std::atomic<ULONG> refs_{1};
    DeviceHold device_;
    LOGFONTA font_;
};

} // namespace

HRESULT D3DXCreateSprite(IDirect3DDevice8* device, ID3DXSprite** sprite) {
    if (!sprite) return D3DERR_INVALIDCALL;
    *sprite = nullptr;
    if (!device) return D3DERR_INVALIDCALL;
    *sprite = new (std::nothrow) Sprite(device);
    return *sprite ? D3D_OK : E_OUTOFMEMORY;
}

HRESULT D3DXCreateFontIndirect(IDirect3DDevice8* device, const LOGFONTA* font, ID3DXFont** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!device || !font) return D3DERR_INVALIDCALL;
    *out = new (std::nothrow) Font(device, *font);
    return *out ? D3D_OK : E_OUTOFMEMORY;
}

} // namespace win32
