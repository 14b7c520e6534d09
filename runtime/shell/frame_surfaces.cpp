#include "shell/frame_surfaces.h"

#include "builtin/sub_application.h"
#include "core/application_record.h"
#include "core/frame_record.h"
#include "core/runtime_services.h"
#include "shell/window_placement.h"
#include "startup/display_mode.h"
#include "startup/ink_effects.h"

#include "vtrs2/app_window.h"
#include "vtrs2/effect.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/user.h"

#include <span>
#include <utility>

namespace vtrrt {

using namespace win32;

namespace {

// The frame's effect chunk: ink, parameter, then the effect's bank index, value count and values.
constexpr std::size_t EffectInkOffset = 0;
constexpr std::size_t EffectParameterOffset = 4;
constexpr std::size_t EffectValuesOffset = 8;
constexpr COLORREF OpaqueAlpha = 0xFF000000u;
constexpr DWORD InkCodeMask = 0xFFFF;

bool DriverMode() {
    return (Services().displayFlags & DisplayDriverFlag) != 0;
}

int DriverKindOfFlags() {
    return (Services().displayFlags & DisplayDirect3D8Flag) ? DriverKindDirect3D8 : DriverKindDirect3D9;
}

DWORD EffectWord(const FrameRecord& frame, std::size_t offset) {
    if (!frame.effect.data || frame.effect.size < offset + 4) return 0;
    const std::uint8_t* p = frame.effect.data + offset;
    return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24));
}

bool TopLevel() {
    const ApplicationRecord* app = CurrentApplication();
    return app && !app->parent;
}

// Where the frame shows on the screen surface: in top-level full screen where the main window places the
// frame (centred, or fitted), else the whole frame surface.
RECT FrameArea(const cSurface& window) {
    const FrameRecord* frame = Services().frame;
    const ApplicationRecord* app = CurrentApplication();
    const RECT whole = frame && frame->surface
                           ? RECT{0, 0, frame->surface->GetWidth(), frame->surface->GetHeight()}
                           : RECT{0, 0, window.GetWidth(), window.GetHeight()};
    if (!Services().fullScreen || !TopLevel() || !app) return whole;
    const RECT fitted = FitFrameRect(*app);
    return fitted.right > fitted.left && fitted.bottom > fitted.top ? fitted : whole;
}

} // namespace

bool NeedsWindowSurface(const FrameRecord& frame) {
    if ((frame.flags & FrameNoScreenSurface) || !DriverMode() || !frame.surface) return false;
    if ((GetFrameEffectInk(frame) & InkCodeMask) != 0) return true;
    const RuntimeServices& services = Services();
    return services.fullScreen && TopLevel() &&
           (frame.surface->GetWidth() != services.screenWidth ||
            frame.surface->GetHeight() != services.screenHeight);
}

void CreateWindowSurface(FrameRecord& frame) {
    if (frame.windowSurface || !NeedsWindowSurface(frame)) return;
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, frame.surface->GetDepth(), PublicTypeRenderTexture, DriverKindOfFlags());
    if (!prototype) return;
    int width = frame.surface->GetWidth(), height = frame.surface->GetHeight();
    if (const ApplicationRecord* app = CurrentApplication(); app && Services().fullScreen) {
        width = std::min<int>(width, app->header.windowWidth);
        height = std::min<int>(height, app->header.windowHeight);
    }
    cSurface* made = NewSurface();
    if (!made || !made->Create(width, height, prototype)) {
        DeleteSurface(made);
        return;
    }
    if (!(Services().displayFlags & DisplayDirect3D8Flag)) made->SetColorKey(static_cast<COLORREF>(-1));
    frame.windowSurface = made;
}

void DestroyWindowSurface(FrameRecord& frame) {
    DeleteSurface(frame.windowSurface);
    frame.windowSurface = nullptr;
}

void ClearFrameSurfaces(int clear) {
    FrameRecord* frame = Services().frame;
    if (!frame || !frame->surface || !DriverMode() || frame->drawingOpen) return;
    if (frame->checkWindowSurface) {
        DestroyWindowSurface(*frame);
        frame->checkWindowSurface = 0;
    }
    if (!NeedsWindowSurface(*frame))
        DestroyWindowSurface(*frame);
    else
        CreateWindowSurface(*frame);
    if (!clear) return;
    const ApplicationRecord* app = CurrentApplication();
    const COLORREF border = app ? app->header.borderColour : 0;
    frame->surface->BeginDraw(1, (frame->windowSurface ? border : frame->background) | OpaqueAlpha);
    if (frame->windowSurface) frame->windowSurface->BeginDraw(1, frame->background | OpaqueAlpha);
    frame->drawingOpen = 1;
}

void PresentFrameSurface() {
    FrameRecord* frame = Services().frame;
    if (!frame || !frame->drawingOpen) return;
    frame->drawingOpen = 0;
    // Sub-applications drawn into the frame (their pictures are render textures) and a question's box go
    // over the frame's picture, and through its effect with it.
    DrawEmbeddedSubApps();
    if (frame->questionBox)
        frame->questionBox->BlitWhole(*frame->surface, frame->questionBoxX, frame->questionBoxY, 0);
    if (cSurface* window = frame->windowSurface) {
        window->EndDraw();
        cSurface& screen = *frame->surface;
        const int ink = static_cast<int>(GetFrameEffectInk(*frame));
        const LPARAM parameter = GetFrameEffectParam(*frame);
        const RECT at = FrameArea(*window);
        if (at.right - at.left == window->GetWidth() && at.bottom - at.top == window->GetHeight())
            window->BlitWhole(screen, at.left, at.top, 0, ink, parameter);
        else
            window->StretchBlitWhole(screen, at.left, at.top, at.right - at.left, at.bottom - at.top, 0, ink,
                                     parameter);
    }
    frame->surface->EndDraw();
}

DWORD GetFrameEffectInk(const FrameRecord& frame) {
    return EffectWord(frame, EffectInkOffset);
}

CEffectEx* GetFrameEffect(FrameRecord& frame) {
    if (frame.effectObject) return frame.effectObject;
    if ((GetFrameEffectInk(frame) & InkCodeMask) != InkEffectObject) return nullptr;
    frame.effectObject =
        CreateEffectWithParameters(std::span<const std::uint8_t>(frame.effect.data + EffectValuesOffset,
                                                                 frame.effect.size - EffectValuesOffset),
                                   EffectWord(frame, EffectParameterOffset));
    return frame.effectObject;
}

LPARAM GetFrameEffectParam(FrameRecord& frame) {
    if ((GetFrameEffectInk(frame) & InkCodeMask) == InkEffectObject)
        return reinterpret_cast<LPARAM>(GetFrameEffect(frame));
    return static_cast<LPARAM>(EffectWord(frame, EffectParameterOffset));
}

void ReleaseFrameEffect(FrameRecord& frame) {
    DeleteEffect(std::exchange(frame.effectObject, nullptr));
}

} // namespace vtrrt
