// A device: its back buffer as a framebuffer object of the process's context, its states, and its
// presentation into a window of the layer.
#pragma once

#include "win32/d3d8.h"

#include <epoxy/gl.h>

#include <array>
#include <atomic>
#include <vector>

namespace win32::d3d {

class Texture;

class Device final : public IDirect3DDevice8 {
public:
    enum class Loss { None, Lost, Resettable };

    // Fills in the sizes and format the parameters leave to the device, as Reset does.
    static HRESULT Create(IDirect3D8* direct3d, HWND focusWindow, D3DPRESENT_PARAMETERS* parameters,
                          IDirect3DDevice8** out);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT TestCooperativeLevel() override;
    HRESULT GetDirect3D(IDirect3D8** direct3d) override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindow,
                    const void* dirtyRegion) override;
    HRESULT GetRasterStatus(D3DRASTER_STATUS* status) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) override;
    HRESULT SetVertexShader(DWORD handle) override;
    HRESULT GetVertexShader(DWORD* handle) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                            UINT stride) override;

    // Default-pool textures, emptied by a reset.
    void Track(Texture* texture);
    void Untrack(Texture* texture);

    void SetLoss(Loss loss) { loss_ = loss; }
    unsigned DrawCalls() const { return drawCalls_; }
    // The back buffer as 0xAARRGGBB, top row first.
    std::vector<D3DCOLOR> ReadBack(UINT* width, UINT* height);

private:
    Device(IDirect3D8* direct3d, HWND focusWindow);
    ~Device();

    // The back buffer's size and formats as the parameters ask; D3DERR_INVALIDCALL when they cannot be had.
    struct BackBuffer {
        UINT width = 0;
        UINT height = 0;
        D3DFORMAT format = D3DFMT_X8R8G8B8;
        bool depth = false;
    };
    HRESULT Resolve(const D3DPRESENT_PARAMETERS& parameters, BackBuffer* out) const;
    HRESULT MakeBackBuffer(const BackBuffer& buffer);
    void FreeBackBuffer();
    void SetDefaultStates();
    std::vector<D3DCOLOR> ReadPixels();
    bool PrepareDraw(bool line);

    std::atomic<ULONG> refs_{1};
    IDirect3D8* direct3d_;
    HWND focusWindow_;
    HWND deviceWindow_ = nullptr;
    D3DPRESENT_PARAMETERS parameters_{};
    BackBuffer buffer_{};
    GLuint framebuffer_ = 0;
    GLuint colour_ = 0;
    GLuint depth_ = 0;
    Loss loss_ = Loss::None;
    bool inScene_ = false;
    std::array<DWORD, D3DRS_COUNT> renderStates_{};
    std::array<std::array<DWORD, D3DTSS_COUNT>, D3DMAXTEXTURESTAGES> stageStates_{};
    std::array<IDirect3DBaseTexture8*, D3DMAXTEXTURESTAGES> textures_{};
    std::vector<Texture*> defaultPool_;
    DWORD vertexFormat_ = 0;
    GLuint vertexArray_ = 0;
    GLuint vertexBuffer_ = 0;
    unsigned drawCalls_ = 0;
};

} // namespace win32::d3d
