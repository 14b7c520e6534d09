// The driver's screen: the back buffer of a window, owning the window's 3D device, its sprite batch, the
// fonts drawn with it and the callbacks that must run before the device is reset.
#pragma once

#include "vtrs2/surface_implementation.h"
#include "win32/d3d8.h"
#include "win32/d3dx8.h"
#include "win32/types.h"

#include <array>
#include <cstdint>
#include <vector>

struct InkDrawing;

class cD3DScreenSurface : public cSurfaceImplementation {
public:
    cD3DScreenSurface() = default;
    cD3DScreenSurface(const cD3DScreenSurface&) = delete;
    cD3DScreenSurface& operator=(const cD3DScreenSurface&) = delete;
    ~cD3DScreenSurface() override;

    cSurfaceImplementation* CreateSameKind(int width, int height) override;
    void EnumDisplayModes(EnumDisplayModesCallback callback, void* argument) override;
    int EnterFullScreen(win32::HWND window, int width, int height, int depth) override;
    void LeaveFullScreen(win32::HWND window) override;
    void CopyFullScreenState(cSurfaceImplementation* other) override;
    int WaitVBlank() override;
    int GetScanLine() override;
    int NotifyScreenModeChange(int code) override;
    int SetDepth(int depth) override;
    int GetType() override;
    int GetDriverInfo(void* block) override;
    void SetOrigin(int x, int y) override;
    int GetOrigin() override;
    int SupportsOrigin() override;
    int BlitFromDC(int, int, win32::HDC, int, int, int, int, int, int, int) override { return 0; }
    int StretchBlitFromDC(int, int, int, int, win32::HDC, int, int, int, int, int, int, int) override {
        return 0;
    }
    win32::HDC GetDeviceContext() override { return nullptr; }
    void ReleaseDeviceContext(win32::HDC) override {}
    int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
             int height, int mode, int ink, win32::LPARAM parameter, int flags) override;
    int ScrollRect(int sourceX, int sourceY, int x, int y, int width, int height) override;
    int StretchBlit(cSurfaceImplementation* destination, int x, int y, int width, int height, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                    win32::LPARAM parameter, int flags) override;
    int FillRectGradient(int x, int y, int width, int height, const win32::COLORREF* corners,
                         int extra) override;
    int FillRectValue(int x, int y, int width, int height, win32::DWORD value) override;
    int FillRect(int x, int y, int width, int height, win32::COLORREF color) override;
    int TextOutWide(win32::LPCWSTR text, int length, int x, int y, win32::UINT align, win32::RECT* clip,
                    win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink,
                    win32::LPARAM parameter, int flags) override;
    int TextOutAnsi(win32::LPCSTR text, int length, int x, int y, win32::UINT align, win32::RECT* clip,
                    win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink,
                    win32::LPARAM parameter, int flags) override;
    int DrawTextWide(win32::LPCWSTR text, int length, win32::RECT* rect, win32::UINT format,
                     win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink,
                     win32::LPARAM parameter, int flags, int leftMargin, int rightMargin,
                     int tabLength) override;
    int DrawTextAnsi(win32::LPCSTR text, int length, win32::RECT* rect, win32::UINT format,
                     win32::COLORREF color, win32::HFONT font, win32::LPARAM reserved, int ink,
                     win32::LPARAM parameter, int flags, int leftMargin, int rightMargin,
                     int tabLength) override;
    int SetWindow(win32::HWND window) override;
    void MakeCurrent() override;
    int BeginDraw(int clear, win32::COLORREF color) override;
    int EndDraw() override;
    int Present() override;
    cSurfaceImplementation* GetScreen() override;
    void SyncWindowSize() override;
    void ResetDevice() override;
    void ReleaseDeviceResources() override;
    cSurfaceImplementation* GetDrawTarget() override;
    void FlushBatch(int flag) override;
    void EnableDepthBuffer(int flag) override;
    int CanDrawLine() override { return 1; }
    int DrawLine(int x1, int y1, int x2, int y2, int thickness, win32::COLORREF color) override;
    int CanBlitFrom() override { return 1; }
    int BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX, int sourceY, int width,
                 int height, int mode, int ink, win32::LPARAM parameter, int flags) override;
    int CanStretchBlitFrom() override { return 1; }
    int StretchBlitFrom(cSurfaceImplementation* source, int x, int y, int width, int height, int sourceX,
                        int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                        win32::LPARAM parameter, int flags) override;
    int TransformBlitFrom(cSurfaceImplementation* source, float x, float y, int hotSpotX, int hotSpotY,
                          int sourceX, int sourceY, int width, int height, const float* scale, float angle,
                          int mode, int ink, win32::LPARAM parameter, int flags) override;
    void AttachEffect(CEffectEx* effect) override;
    void DetachEffect(CEffectEx* effect) override;
    int CompileEffect(CEffectEx* effect, char* message, int messageSize) override;
    int SetEffectParameter(CEffectEx* effect, int index) override;
    void AddLostDeviceCallback(LostDeviceCallback callback, cSurface* owner, win32::LPARAM argument) override;
    void RemoveLostDeviceCallback(LostDeviceCallback callback, cSurface* owner,
                                  win32::LPARAM argument) override;

    // What the drawing operations share.
    win32::IDirect3DDevice8* Device() const { return device_; }
    win32::HWND DeviceWindow() const { return deviceWindow_; }
    bool IsResetting() const { return resetting_; }
    bool IsDeviceLost() const { return deviceLost_; }
    bool IsFullScreen() const { return fullScreen_; }
    int DrawNesting() const { return drawNesting_; }
    bool SpriteBatchOpen() const { return spriteBatchOpen_; }
    bool DepthBufferOn() const { return depthBuffer_; }
    int MaxTextureWidth() const { return maxTextureWidth_; }
    int MaxTextureHeight() const { return maxTextureHeight_; }
    win32::DWORD PixelShaderVersion() const { return pixelShaderVersion_; }
    // Opens the sprite batch (the sprite sets its own states, so the cache goes back to them) and ends it.
    void BeginSpriteBatch();
    void EndSpriteBatch();
    // Holds one reference to a texture until the outermost EndDraw.
    void DeferRelease(win32::IDirect3DBaseTexture8* texture);
    // The cached D3DX font of a GDI font, made on first use; null when it cannot be made.
    win32::ID3DXFont* FontFor(win32::HFONT font);
    // The sprite's states: the batch opened (or restarted when forced, or when blending, the factors or a
    // wanted filter differ from the cache), then only the states that differ from the cache are sent.
    void SetSpriteState(bool blending, bool filterWanted, bool force, win32::DWORD sourceBlend,
                        win32::DWORD destinationBlend, win32::DWORD blendOp, win32::DWORD filter);

    // The built-in effects of the inks invert and grey, compiled on first use; null when they cannot be.
    win32::ID3DXEffect* GetInvertEffect();
    win32::ID3DXEffect* GetGrayscaleEffect();
    // The effect an ink draws through: a built-in one, or the effect object's, compiled for this screen on
    // demand; null when there is none (the draw then goes on without).
    win32::ID3DXEffect* EffectOf(const InkDrawing& drawing);
    // The effects compiled for this screen, in the order they were.
    const std::vector<CEffectEx*>& AttachedEffects() const { return effects_; }

    // The render textures being drawn into, the top one receiving drawing: up to four are kept.
    static constexpr int RenderTargetStackSize = 4;
    bool PushRenderTarget(win32::IDirect3DTexture8* texture);
    void PopRenderTarget();
    win32::IDirect3DTexture8* ActiveRenderTarget() const {
        return renderTargetCount_ > 0 ? renderTargets_[static_cast<std::size_t>(renderTargetCount_ - 1)]
                                      : nullptr;
    }
    int RenderTargetCount() const { return renderTargetCount_; }

    // The drawing workers: a texture's rectangle drawn axis-aligned or scaled and turned about a hot spot,
    // with an ink. 0 without a device, a scene or a render texture, or the sprite; 1 when drawn or when
    // nothing is visible.
    int DrawTextureRect(int x, int y, int width, int height, win32::IDirect3DTexture8* texture, int sourceX,
                        int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                        win32::LPARAM parameter, int flags);
    int DrawTextureTransformed(float x, float y, float scaleX, float scaleY,
                               win32::IDirect3DTexture8* texture, int sourceX, int sourceY, int sourceWidth,
                               int sourceHeight, int hotSpotX, int hotSpotY, float angle, int mode, int ink,
                               win32::LPARAM parameter, int flags);
    // A rectangle of one colour, cut to a clip rectangle: a device clear outside a scene, else a quad.
    int FillRectClipped(int x, int y, int width, int height, win32::COLORREF color, const win32::RECT& clip);
    int FillGradient(int x, int y, int width, int height, const win32::COLORREF* corners);
    // The back buffer's rectangle into a texture surface at (x, y), with the colour key 0xFF000000.
    int CopyBackBufferTo(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY,
                         int width, int height);

    // For tests: the registered callbacks, in order.
    struct LostDeviceEntry {
        LostDeviceCallback function;
        cSurface* owner;
        win32::LPARAM argument;
    };
    const std::vector<LostDeviceEntry>& LostDeviceCallbacks() const { return callbacks_; }
    std::size_t CachedFontCount() const { return fonts_.size(); }

private:
    struct FontCacheEntry {
        win32::LOGFONTA font;
        win32::ID3DXFont* d3dFont;
    };

    int DrawTextThroughEffect(win32::ID3DXFont* font, win32::LPCWSTR text, int length, win32::RECT& box,
                              win32::UINT format, win32::D3DCOLOR colour, const InkDrawing& drawing,
                              win32::ID3DXEffect* effect);
    // One texture draw as the workers describe it: the source rectangle, where it goes and how.
    struct TextureDraw {
        win32::IDirect3DTexture8* texture;
        win32::RECT source;
        float x, y;           // the translation: the top-left of an axis-aligned draw
        float width, height;  // the destination rectangle of an axis-aligned draw
        float scaleX, scaleY; // 1 unless scaled
        bool tile;
        float angle; // radians, [0, 2 pi)
        float centreX, centreY;
        int mode;
        int ink;
        win32::LPARAM parameter;
        int flags;
        const InkDrawing* drawing; // the ink already worked out, or null to map `ink` and `parameter`
    };
    int DrawTexture(const TextureDraw& draw);
    win32::IDirect3DTexture8* ColouredCopy(win32::IDirect3DTexture8* texture, const win32::RECT& source,
                                           win32::D3DCOLOR colour);
    // What an effect's draw holds between its start and its end: the capture of the destination and the
    // stages bound to textures.
    struct EffectRun {
        win32::ID3DXEffect* effect = nullptr;
        win32::IDirect3DTexture8* capture = nullptr;
        win32::DWORD captureStage = 0;
        win32::DWORD lastStage = 0;
        win32::UINT passes = 0;
    };
    // Captures the destination area into the effect object's stage, binds its texture parameters and the
    // size of a pixel of the drawn texture, and begins the effect; false when it does not begin.
    bool BeginEffectRun(EffectRun& run, const InkDrawing& drawing, const win32::RECT& area,
                        win32::IDirect3DTexture8* drawn);
    void EndEffectRun(EffectRun& run);
    win32::IDirect3DTexture8* CaptureArea(const win32::RECT& area);
    win32::ID3DXEffect* BuiltInEffect(win32::ID3DXEffect*& slot, const char* text);
    // The effects compiled on the device let go: application effects detached, built-ins released.
    void ReleaseEffects();
    int DrawPlainQuads(win32::D3DPRIMITIVETYPE type, const void* vertices, int count);
    int CreateOrResetDevice(win32::IDirect3D8* direct3D, win32::HWND window);
    int ResetForDeviceWindow();
    void ApplyFixedStates(const win32::D3DCAPS8& caps);
    void TakeDevice(cD3DScreenSurface& other);
    void ReleaseDevice();
    void RecordWindowSize(win32::HWND window);
    bool WindowSizeChanged() const;
    void ReleaseDeferred();

    win32::IDirect3D8* direct3D_ = nullptr;
    win32::IDirect3DDevice8* device_ = nullptr;
    win32::ID3DXSprite* sprite_ = nullptr;
    win32::ID3DXEffect* greyEffect_ = nullptr;
    win32::ID3DXEffect* invertEffect_ = nullptr;
    int drawNesting_ = 0;
    bool spriteBatchOpen_ = false;
    bool depthBuffer_ = false;
    bool resetting_ = false;
    bool blendingOn_ = true;
    win32::DWORD defaultFilter_ = win32::D3DTEXF_LINEAR;
    win32::DWORD currentFilter_ = win32::D3DTEXF_LINEAR;
    win32::DWORD sourceBlend_ = win32::D3DBLEND_SRCALPHA;
    win32::DWORD destinationBlend_ = win32::D3DBLEND_INVSRCALPHA;
    win32::DWORD blendOp_ = win32::D3DBLENDOP_ADD;
    float vertexDepth_ = 0.0f;
    win32::HWND deviceWindow_ = nullptr;
    int deviceWindowWidth_ = 0;
    int deviceWindowHeight_ = 0;
    int originX_ = 0;
    int originY_ = 0;
    int maxTextureWidth_ = 1024;
    int maxTextureHeight_ = 1024;
    win32::DWORD pixelShaderVersion_ = 0;
    int renderTargetCount_ = 0;
    std::array<win32::IDirect3DTexture8*, 4> renderTargets_{};
    std::vector<FontCacheEntry> fonts_;
    std::vector<win32::IDirect3DBaseTexture8*> deferredReleases_;
    std::vector<CEffectEx*> effects_;
    std::vector<LostDeviceEntry> callbacks_;
    bool deviceLost_ = false;
    bool fullScreen_ = false;
    win32::HWND savedTopWindow_ = nullptr;
    win32::RECT savedWindowRect_{};
    win32::DWORD savedTopStyle_ = 0;
    win32::DWORD savedDrawingStyle_ = 0;
    int fullScreenWidth_ = 640;
    int fullScreenHeight_ = 480;
    win32::D3DFORMAT fullScreenFormat_ = win32::D3DFMT_A8R8G8B8;
};

// The type code GetType answers for a screen.
constexpr int SurfaceTypeD3DScreen = 13;

// Fills a device block (48 bytes on this platform) for a screen, or for a texture drawn on it; a null block
// or one whose size field is smaller is left alone. Answers the block's size.
int FillDriverInfo(void* block, cD3DScreenSurface* screen, win32::IDirect3DTexture8* texture);
