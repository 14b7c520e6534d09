// The render texture: a texture that the current screen draws into between its BeginDraw and EndDraw (it
// is then the device's render target and the top of the screen's stack), and that is drawn like any
// texture afterwards.
#pragma once

#include "texture_surfaces.h"

#include "vtrs2/surface_implementation.h"
#include "win32/d3d8.h"

class cD3DScreenSurface;

class cD3DRenderTextureSurface final : public cSurfaceImplementation {
public:
    cD3DRenderTextureSurface() = default;
    cD3DRenderTextureSurface(const cD3DRenderTextureSurface&) = delete;
    cD3DRenderTextureSurface& operator=(const cD3DRenderTextureSurface&) = delete;
    ~cD3DRenderTextureSurface() override;

    cSurfaceImplementation* CreateSameKind(int width, int height) override;
    int SetDepth(int depth) override;
    int GetType() override { return SurfaceTypeD3DRenderTexture; }
    int GetDriverInfo(void* block) override;
    int BlitFromDC(int, int, win32::HDC, int, int, int, int, int, int, int) override { return 0; }
    int StretchBlitFromDC(int, int, int, int, win32::HDC, int, int, int, int, int, int, int) override {
        return 0;
    }
    int Blit(cSurfaceImplementation* destination, int x, int y, int sourceX, int sourceY, int width,
             int height, int mode, int ink, win32::LPARAM parameter, int flags) override;
    int TransformBlit(cSurfaceImplementation* destination, float x, float y, int hotSpotX, int hotSpotY,
                      int sourceX, int sourceY, int width, int height, const float* scale, float angle,
                      int mode, int ink, win32::LPARAM parameter, int flags) override;
    int StretchBlit(cSurfaceImplementation* destination, int x, int y, int width, int height, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                    win32::LPARAM parameter, int flags) override;
    int FillRectGradient(int x, int y, int width, int height, const win32::COLORREF* corners,
                         int extra) override;
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
    void SetOpaque(int opaque) override;
    int BeginDraw(int clear, win32::COLORREF color) override;
    int EndDraw() override;
    cSurfaceImplementation* GetScreen() override;
    void FinishDrawing() override;
    void ReleaseDeviceResources() override;
    int CanBlitFrom() override { return 1; }
    int BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX, int sourceY, int width,
                 int height, int mode, int ink, win32::LPARAM parameter, int flags) override;
    int CanStretchBlitFrom() override { return 1; }
    int StretchBlitFrom(cSurfaceImplementation* source, int x, int y, int width, int height, int sourceX,
                        int sourceY, int sourceWidth, int sourceHeight, int mode, int ink,
                        win32::LPARAM parameter, int flags) override;
    void AddLostDeviceCallback(LostDeviceCallback callback, cSurface* owner, win32::LPARAM argument) override;
    void RemoveLostDeviceCallback(LostDeviceCallback callback, cSurface* owner,
                                  win32::LPARAM argument) override;

    win32::IDirect3DTexture8* Texture() const { return texture_; }
    int DrawNesting() const { return nesting_; }
    // The screen's GetDrawTarget: a wrapper of a texture it does not own, of the texture's size.
    static cD3DRenderTextureSurface* WrapTarget(win32::IDirect3DTexture8* texture);
    // Makes the texture of the surface's size when there is none; false without a device.
    bool EnsureTexture(win32::IDirect3DDevice8* device);

private:
    // Runs a drawing call on the current screen, inside a draw of its own when none is open.
    template <typename Draw> int DrawInto(Draw draw);

    win32::IDirect3DTexture8* texture_ = nullptr;
    bool ownsTexture_ = false;
    bool opaque_ = false;
    cD3DScreenSurface* screen_ = nullptr;
    win32::IDirect3DSurface8* savedTarget_ = nullptr;
    win32::IDirect3DSurface8* level_ = nullptr;
    int nesting_ = 0;
    bool pushed_ = false;     // the outermost BeginDraw put the texture on the screen's stack
    bool beganScene_ = false; // and began the device's scene, no other drawing having it open
};
