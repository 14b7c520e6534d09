// The driver's screen: the back buffer of a window, owning the window's 3D device, its sprite batch, the
// fonts drawn with it and the callbacks that must run before the device is reset.
#pragma once

#include "vtrs2/surface_implementation.h"
#include "win32/d3d8.h"
#include "win32/d3dx8.h"

#include <array>
#include <cstdint>
#include <vector>

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
    int ScrollRect(int sourceX, int sourceY, int x, int y, int width, int height) override;
    int FillRectValue(int x, int y, int width, int height, win32::DWORD value) override;
    int FillRect(int x, int y, int width, int height, win32::COLORREF color) override;
    int SetWindow(win32::HWND window) override;
    void MakeCurrent() override;
    int BeginDraw(int clear, win32::COLORREF color) override;
    int EndDraw() override;
    int Present() override;
    cSurfaceImplementation* GetScreen() override;
    void SyncWindowSize() override;
    void ResetDevice() override;
    void ReleaseDeviceResources() override;
    void FlushBatch(int flag) override;
    void EnableDepthBuffer(int flag) override;
    int CanBlitFrom() override;
    int BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX, int sourceY, int width,
                 int height, int mode, int ink, win32::LPARAM parameter, int flags) override;
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
    int MaxTextureWidth() const { return maxTextureWidth_; }
    int MaxTextureHeight() const { return maxTextureHeight_; }
    // Opens the sprite batch (the sprite sets its own states, so the cache goes back to them) and ends it.
    void BeginSpriteBatch();
    void EndSpriteBatch();
    // Holds one reference to a texture until the outermost EndDraw.
    void DeferRelease(win32::IDirect3DBaseTexture8* texture);
    // The cached D3DX font of a GDI font, made on first use; null when it cannot be made.
    win32::ID3DXFont* FontFor(win32::HFONT font);
    // Blending and filter changes, sent only when they differ from the cached values.
    void SetBlending(bool on, win32::DWORD source, win32::DWORD destination);
    void SetFilter(win32::DWORD filter);

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

    int CreateOrResetDevice(win32::IDirect3D8* direct3D, win32::HWND window);
    int ResetForDeviceWindow();
    void ApplyFixedStates(const win32::D3DCAPS8& caps);
    void TakeDevice(cD3DScreenSurface& other);
    void ReleaseDevice();
    void RecordWindowSize(win32::HWND window);
    bool WindowSizeChanged() const;
    void ReleaseDeferred();
    bool ClipToScreen(int& x, int& y, int& width, int& height, int* sourceX = nullptr,
                      int* sourceY = nullptr) const;
    int DrawQuad(int left, int top, int right, int bottom, win32::D3DCOLOR colour,
                 win32::IDirect3DTexture8* texture);

    win32::IDirect3D8* direct3D_ = nullptr;
    win32::IDirect3DDevice8* device_ = nullptr;
    win32::ID3DXSprite* sprite_ = nullptr;
    int drawNesting_ = 0;
    bool spriteBatchOpen_ = false;
    bool depthBuffer_ = false;
    bool resetting_ = false;
    bool blendingOn_ = true;
    win32::DWORD defaultFilter_ = win32::D3DTEXF_LINEAR;
    win32::DWORD currentFilter_ = win32::D3DTEXF_LINEAR;
    win32::DWORD sourceBlend_ = win32::D3DBLEND_SRCALPHA;
    win32::DWORD destinationBlend_ = win32::D3DBLEND_INVSRCALPHA;
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
