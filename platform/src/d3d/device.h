// A device: its back buffer as a framebuffer object of the process's context, its states, and its
// presentation into a window of the layer.
#pragma once

#include "program_link.h"
#include "surface.h"

#include <array>
#include <atomic>
#include <vector>

namespace win32::d3d {

class Texture;
class ImageSurface;
class Device;

// Draws a device holds back to send together (the sprite's quads): they go before anything that would
// change how they come out, a state, the target, a texture they read, or the end of the scene.
class PendingBatch {
public:
    virtual void DrawPendingBatch() = 0;

protected:
    ~PendingBatch() = default;
};

// The back buffer as a surface: its references are the device's.
class BackBufferSurface final : public Surface {
public:
    explicit BackBufferSurface(Device* device) : device_(device) {}
    BackBufferSurface(const BackBufferSurface&) = delete;
    BackBufferSurface& operator=(const BackBufferSurface&) = delete;
    ~BackBufferSurface() = default;

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT UnlockRect() override { return D3DERR_INVALIDCALL; }

    UINT Width() const override;
    UINT Height() const override;
    const FormatInfo& Format() const override;
    Device* Owner() const override { return device_; }
    GLuint Framebuffer() override;
    bool IsRenderTarget() const override { return true; }
    bool WritesAlpha() const override { return true; }
    bool HasDepth() const override;

private:
    Device* device_;
};

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

    HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                               IDirect3DSurface8** surface) override;
    HRESULT GetBackBuffer(UINT index, DWORD type, IDirect3DSurface8** surface) override;
    HRESULT SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depth) override;
    HRESULT GetRenderTarget(IDirect3DSurface8** target) override;
    HRESULT CopyRects(IDirect3DSurface8* source, const RECT* rects, UINT count,
                      IDirect3DSurface8* destination, const POINT* points) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture8* source, IDirect3DBaseTexture8* destination) override;

    UINT BackBufferWidth() const { return buffer_.width; }
    UINT BackBufferHeight() const { return buffer_.height; }
    D3DFORMAT BackBufferFormat() const { return buffer_.format; }
    GLuint BackBufferFramebuffer() const { return framebuffer_; }
    bool BackBufferHasDepth() const { return buffer_.depth; }

    // Every texture and image surface of the device: default-pool textures are emptied by a reset, and all
    // are let go when the device goes.
    void Track(Texture* texture);
    void Untrack(Texture* texture);
    void Track(ImageSurface* surface);
    void Untrack(ImageSurface* surface);

    // The batch that must be drawn before the next change; null when it has drawn or was dropped.
    void SetPendingBatch(PendingBatch* batch) { pending_ = batch; }
    void DropPendingBatch(PendingBatch* batch) {
        if (pending_ == batch) pending_ = nullptr;
    }
    void FlushPendingBatch();

    // A rectangle of any of the device's surfaces as 0xAARRGGBB, rows top first; false when it cannot be
    // read. The rectangle is inside the surface.
    bool ReadArgb(Surface& surface, const RECT& rect, D3DCOLOR* out);

    // Draws go through an effect pass's program from now on, or through the fixed-function one again when
    // `pass` is null.
    // Draws queued before it go first.
    void UsePassProgram(const PassProgram* pass) {
        FlushPendingBatch();
        pass_ = pass ? *pass : PassProgram{};
    }
    GLuint PassProgramName() const { return pass_.program; }

    void SetLoss(Loss loss) { loss_ = loss; }
    unsigned DrawCalls() const { return drawCalls_; }
    unsigned StateChanges() const { return stateChanges_; }
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
    bool ReadPixels(std::vector<D3DCOLOR>& pixels);
    // The back buffer into rows `pitch` pixels apart, top row first: 0xAARRGGBB, or red, green, blue and
    // alpha bytes.
    bool ReadPixelsInto(void* first, std::size_t pitch, bool bytes);
    bool PrepareDraw(bool line);
    // The pass program's part of PrepareDraw: every stage it samples bound with its sampler states.
    bool PreparePass(bool line);
    bool PrepareProgram(const PassProgram& pass, bool line);
    // Binds the render target's framebuffer for drawing; false when it has none.
    bool BindTarget();
    void ReleaseTarget();

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
    std::vector<Texture*> textureList_;
    std::vector<ImageSurface*> imageList_;
    PendingBatch* pending_ = nullptr;
    DWORD vertexFormat_ = 0;
    GLuint vertexArray_ = 0;
    GLuint vertexBuffer_ = 0;
    PassProgram pass_{};
    std::vector<D3DCOLOR> presented_; // the last read-back, kept so that presents do not allocate
    unsigned drawCalls_ = 0;
    unsigned stateChanges_ = 0; // render and stage states set to a value they did not have
    BackBufferSurface backBuffer_{this};
    Surface* target_ = &backBuffer_; // holds a reference unless it is the back buffer
};

} // namespace win32::d3d
