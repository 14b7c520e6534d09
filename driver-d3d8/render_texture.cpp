// The render texture's drawing brackets (its texture made the render target and the top of the current
// screen's stack), what it forwards to the screen, and its own blits.
#include "render_texture.h"

#include "ink_mapping.h"
#include "screen_registry.h"
#include "screen_surface.h"
#include "texture_blits.h"

#include "vtrs2/palettes.h"

#include <new>
#include <utility>

using namespace win32;

namespace {

constexpr int TextureDepth = 32;

cD3DScreenSurface* CurrentScreen() {
    cD3DScreenSurface* current = nullptr;
    Registry().GetThreadDirect3D(&current);
    return current;
}

} // namespace

cD3DRenderTextureSurface::~cD3DRenderTextureSurface() {
    while (nesting_ > 0 && EndDraw() > 0) {
    }
    if (texture_ && ownsTexture_) texture_->Release();
}

int cD3DRenderTextureSurface::SetDepth(int) {
    cSurfaceImplementation::SetDepth(TextureDepth);
    return 1;
}

bool cD3DRenderTextureSurface::EnsureTexture(IDirect3DDevice8* device) {
    if (texture_) return true;
    if (!device || width <= 0 || height <= 0) return false;
    IDirect3DTexture8* made = nullptr;
    if (FAILED(device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), 1,
                                     D3DUSAGE_RENDERTARGET, opaque_ ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8,
                                     D3DPOOL_DEFAULT, &made)))
        return false;
    texture_ = made;
    ownsTexture_ = true;
    return true;
}

cSurfaceImplementation* cD3DRenderTextureSurface::CreateSameKind(int newWidth, int newHeight) {
    cD3DScreenSurface* screen = CurrentScreen();
    if (!screen || !screen->Device()) return nullptr;
    auto* made = new (std::nothrow) cD3DRenderTextureSurface;
    if (!made) return nullptr;
    made->InitSize(*this, newWidth, newHeight, ((newWidth * depth + 31) >> 5) * 4);
    made->SelectDepthRoutines(TextureDepth);
    ReleaseSharedPalette(made->palette);
    made->palette = nullptr;
    if (!made->EnsureTexture(screen->Device())) {
        delete made;
        return nullptr;
    }
    return made;
}

cD3DRenderTextureSurface* cD3DRenderTextureSurface::WrapTarget(IDirect3DTexture8* texture) {
    auto* wrapper = new (std::nothrow) cD3DRenderTextureSurface;
    if (!wrapper) return nullptr;
    D3DSURFACE_DESC desc{};
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc))) desc.Width = desc.Height = 1;
    wrapper->SetDepth(TextureDepth);
    wrapper->width = static_cast<int>(desc.Width);
    wrapper->height = static_cast<int>(desc.Height);
    wrapper->ResetClipRect();
    wrapper->texture_ = texture;
    wrapper->ownsTexture_ = false;
    return wrapper;
}

int cD3DRenderTextureSurface::GetDriverInfo(void* block) {
    return FillDriverInfo(block, CurrentScreen(), texture_);
}

int cD3DRenderTextureSurface::BeginDraw(int clear, COLORREF color) {
    if (nesting_++ > 0) return nesting_;
    cD3DScreenSurface* screen = CurrentScreen();
    IDirect3DDevice8* device = screen ? screen->Device() : nullptr;
    if (!device || !EnsureTexture(device)) {
        --nesting_;
        return nesting_;
    }
    if (screen->DrawNesting() > 0 && screen->SpriteBatchOpen()) screen->EndSpriteBatch();
    device->GetRenderTarget(&savedTarget_);
    texture_->GetSurfaceLevel(0, &level_);
    device->SetRenderTarget(level_, nullptr);
    if (clear) {
        const DWORD targets = D3DCLEAR_TARGET | (screen->DepthBufferOn() ? D3DCLEAR_ZBUFFER : 0);
        const D3DCOLOR colour = (color & 0xFF00FF00u) | ((color & 0xFFu) << 16) | ((color >> 16) & 0xFFu);
        device->Clear(0, nullptr, targets, colour, 1.0f, 0);
    }
    beganScene_ = screen->DrawNesting() == 0 && screen->RenderTargetCount() == 0;
    if (beganScene_) device->BeginScene();
    // A fifth nested target is drawn into but not pushed; it does not pop the fourth either.
    pushed_ = screen->PushRenderTarget(texture_);
    screen_ = screen;
    return nesting_;
}

int cD3DRenderTextureSurface::EndDraw() {
    if (nesting_ == 0) return 0;
    if (--nesting_ > 0) return nesting_;
    cD3DScreenSurface* screen = std::exchange(screen_, nullptr);
    IDirect3DDevice8* device = screen ? screen->Device() : nullptr;
    if (device && Registry().GetThreadDirect3D(nullptr)) {
        screen->EndSpriteBatch();
        if (beganScene_) device->EndScene();
        if (pushed_) screen->PopRenderTarget();
        device->SetRenderTarget(savedTarget_, nullptr);
    }
    pushed_ = beganScene_ = false;
    if (level_) std::exchange(level_, nullptr)->Release();
    if (savedTarget_) std::exchange(savedTarget_, nullptr)->Release();
    return nesting_;
}

cSurfaceImplementation* cD3DRenderTextureSurface::GetScreen() {
    BeginDraw(0, 0);
    return CurrentScreen();
}

void cD3DRenderTextureSurface::FinishDrawing() {
    EndDraw();
}

void cD3DRenderTextureSurface::ReleaseDeviceResources() {
    if (texture_ && ownsTexture_) texture_->Release();
    texture_ = nullptr;
    ownsTexture_ = false;
}

void cD3DRenderTextureSurface::SetOpaque(int opaque) {
    if (texture_ && ownsTexture_) texture_->Release();
    texture_ = nullptr;
    ownsTexture_ = false;
    opaque_ = opaque != 0;
    cD3DScreenSurface* screen = CurrentScreen();
    if (width != 0 && height != 0 && screen) EnsureTexture(screen->Device());
}

template <typename Draw> int cD3DRenderTextureSurface::DrawInto(Draw draw) {
    const bool own = nesting_ == 0;
    if (own) BeginDraw(0, 0);
    cD3DScreenSurface* screen = screen_;
    const int result = screen && nesting_ > 0 ? draw(*screen) : 0;
    if (own) EndDraw();
    return result;
}

int cD3DRenderTextureSurface::FillRect(int x, int y, int w, int h, COLORREF color) {
    const RECT clip{clipLeft, clipTop, clipRight, clipBottom};
    return DrawInto([&](cD3DScreenSurface& s) { return s.FillRectClipped(x, y, w, h, color, clip); });
}

int cD3DRenderTextureSurface::FillRectGradient(int x, int y, int w, int h, const COLORREF* corners, int) {
    return DrawInto([&](cD3DScreenSurface& s) { return s.FillGradient(x, y, w, h, corners); });
}

int cD3DRenderTextureSurface::TextOutWide(LPCWSTR text, int length, int x, int y, UINT align, RECT* clip,
                                          COLORREF color, HFONT font, LPARAM reserved, int ink,
                                          LPARAM parameter, int flags) {
    return DrawInto([&](cD3DScreenSurface& s) {
        return s.TextOutWide(text, length, x, y, align, clip, color, font, reserved, ink, parameter, flags);
    });
}

int cD3DRenderTextureSurface::TextOutAnsi(LPCSTR text, int length, int x, int y, UINT align, RECT* clip,
                                          COLORREF color, HFONT font, LPARAM reserved, int ink,
                                          LPARAM parameter, int flags) {
    return DrawInto([&](cD3DScreenSurface& s) {
        return s.TextOutAnsi(text, length, x, y, align, clip, color, font, reserved, ink, parameter, flags);
    });
}

int cD3DRenderTextureSurface::DrawTextWide(LPCWSTR text, int length, RECT* rect, UINT format, COLORREF color,
                                           HFONT font, LPARAM reserved, int ink, LPARAM parameter, int flags,
                                           int leftMargin, int rightMargin, int tabLength) {
    return DrawInto([&](cD3DScreenSurface& s) {
        return s.DrawTextWide(text, length, rect, format, color, font, reserved, ink, parameter, flags,
                              leftMargin, rightMargin, tabLength);
    });
}

int cD3DRenderTextureSurface::DrawTextAnsi(LPCSTR text, int length, RECT* rect, UINT format, COLORREF color,
                                           HFONT font, LPARAM reserved, int ink, LPARAM parameter, int flags,
                                           int leftMargin, int rightMargin, int tabLength) {
    return DrawInto([&](cD3DScreenSurface& s) {
        return s.DrawTextAnsi(text, length, rect, format, color, font, reserved, ink, parameter, flags,
                              leftMargin, rightMargin, tabLength);
    });
}

int cD3DRenderTextureSurface::BlitFrom(cSurfaceImplementation* source, int x, int y, int sourceX, int sourceY,
                                       int w, int h, int mode, int ink, LPARAM parameter, int flags) {
    return DrawInto([&](cD3DScreenSurface& s) {
        return s.BlitFrom(source, x, y, sourceX, sourceY, w, h, mode, ink, parameter, flags);
    });
}

int cD3DRenderTextureSurface::StretchBlitFrom(cSurfaceImplementation* source, int x, int y, int w, int h,
                                              int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                                              int mode, int ink, LPARAM parameter, int flags) {
    return DrawInto([&](cD3DScreenSurface& s) {
        return s.StretchBlitFrom(source, x, y, w, h, sourceX, sourceY, sourceWidth, sourceHeight, mode, ink,
                                 parameter, flags);
    });
}

int cD3DRenderTextureSurface::Blit(cSurfaceImplementation* destination, int x, int y, int sourceX,
                                   int sourceY, int w, int h, int mode, int ink, LPARAM parameter,
                                   int flags) {
    if (!ApplyInkOneRule(ink, parameter)) return 1;
    return BlitTexture(texture_, destination, x, y, sourceX, sourceY, w, h, mode, ink, parameter, flags);
}

int cD3DRenderTextureSurface::TransformBlit(cSurfaceImplementation* destination, float x, float y,
                                            int hotSpotX, int hotSpotY, int sourceX, int sourceY, int w,
                                            int h, const float* scale, float angle, int mode, int ink,
                                            LPARAM parameter, int flags) {
    return TransformBlitTexture(texture_, destination, x, y, hotSpotX, hotSpotY, sourceX, sourceY, w, h,
                                scale, angle, mode, ink, parameter, flags);
}

int cD3DRenderTextureSurface::StretchBlit(cSurfaceImplementation* destination, int x, int y, int w, int h,
                                          int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                                          int mode, int ink, LPARAM parameter, int flags) {
    if (!ApplyInkOneRule(ink, parameter)) return 1;
    return StretchBlitTexture(texture_, destination, x, y, w, h, sourceX, sourceY, sourceWidth, sourceHeight,
                              mode, ink, parameter, flags);
}

void cD3DRenderTextureSurface::AddLostDeviceCallback(LostDeviceCallback callback, cSurface* owner,
                                                     LPARAM argument) {
    if (cD3DScreenSurface* screen = CurrentScreen()) screen->AddLostDeviceCallback(callback, owner, argument);
}

void cD3DRenderTextureSurface::RemoveLostDeviceCallback(LostDeviceCallback callback, cSurface* owner,
                                                        LPARAM argument) {
    if (cD3DScreenSurface* screen = CurrentScreen())
        screen->RemoveLostDeviceCallback(callback, owner, argument);
}
