#include "loop/frame_transitions.h"

#include "core/application_record.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "loop/frame_lifecycle.h"
#include "objects/transition_modules.h"
#include "shell/application_menu.h"
#include "shell/frame_surfaces.h"
#include "startup/display_mode.h"

#include "vtrs2/app_window.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <utility>

namespace vtrrt {

using namespace win32;

namespace {

constexpr COLORREF Black = 0;

void DeleteSurfaceOnce(cSurface*& surface) {
    DeleteSurface(surface);
    surface = nullptr;
}

bool DriverKind() {
    return (Services().displayFlags & DisplayDriverFlag) != 0;
}

// The frame window shows what changed on the screen surface: the rectangles a step gives (an all-zero one
// ends them), or everything.
void PresentFrame(const cSurface& screen, transition::ChangedRects changed) {
    AppWindow* window = Services().frameLibraryWindow;
    if (!window) return;
    if (changed) {
        for (const RECT* r = changed; r->left || r->top || r->right || r->bottom; ++r)
            AddUpdateRect(window, r);
    } else {
        AddUpdateRectCoords(window, 0, 0, screen.GetWidth(), screen.GetHeight());
    }
    UpdateWindowFromSurface(window);
}

// The picture a fade-in starts from: the descriptor's colour, or the border colour with the previous
// frame's picture over it (centred when its size differs).
void PaintStartPicture(cSurface& old, const TransitionDescriptor& d, const ApplicationRecord& app,
                       cSurface* picture) {
    if (d.flags & TransitionPlainColour) {
        old.Fill(d.colour);
        return;
    }
    old.Fill(app.header.borderColour);
    if (!picture || !picture->HasImplementation()) return;
    if (picture->GetWidth() == old.GetWidth() && picture->GetHeight() == old.GetHeight())
        picture->BlitWhole(old, 0, 0, 0);
    else
        picture->BlitWhole(old, (old.GetWidth() - picture->GetWidth()) / 2,
                           (old.GetHeight() - picture->GetHeight()) / 2, 0);
}

cSurface* CopyOf(const cSurface& screen) {
    cSurface* copy = NewSurface();
    if (copy && copy->CreateCopy(screen)) return copy;
    DeleteSurface(copy);
    return nullptr;
}

// With a display driver a picture is a render texture of the screen surface's size; `current` takes what the
// frame shows now: the frame's cached drawing (its window-size surface) when it has one, else the screen's.
cSurface* RenderTextureOf(const FrameRecord& frame, bool current) {
    cSurface& screen = *frame.surface;
    cSurface* prototype = nullptr;
    const int kind =
        (Services().displayFlags & DisplayDirect3D8Flag) ? DriverKindDirect3D8 : DriverKindDirect3D9;
    GetSurfacePrototype(&prototype, screen.GetDepth(), PublicTypeRenderTexture, kind);
    cSurface* picture = NewSurface();
    if (!prototype || !picture || !picture->Create(screen.GetWidth(), screen.GetHeight(), prototype)) {
        DeleteSurface(picture);
        return nullptr;
    }
    if (current) (frame.windowSurface ? *frame.windowSurface : screen).BlitWhole(*picture, 0, 0, 0);
    return picture;
}

// A picture drawn onto the screen surface and shown: in display-driver modes inside the frame's drawing.
template <typename Draw> void DrawAndPresent(cSurface& screen, transition::ChangedRects* changed, Draw draw) {
    const bool driver = DriverKind();
    if (driver) ClearFrameSurfaces(1);
    draw();
    if (driver) PresentFrameSurface();
    PresentFrame(screen, changed ? *changed : nullptr);
}

int FailStart(ApplicationRecord& app, bool isFadeOut, cSurface* old, cSurface* now) {
    if (!isFadeOut) RefreshAfterFadeIn();
    DeleteSurface(old);
    DeleteSurface(now);
    EndFrameTransition(&app, isFadeOut);
    return 0;
}

// A command that cuts the fade: quit, or restart the application.
bool CutByCommand(ApplicationRecord& app, FrameRecord& frame) {
    MSG msg{};
    PumpMessages(&msg, 1);
    if (msg.message != WM_COMMAND) return false;
    switch (LOWORD(msg.wParam)) {
    case CommandQuit:
    case CommandQuitToo:
        // The end code says quit too: ending the frame chooses what follows from it, and a fade-out's
        // code (the next frame) would otherwise start that frame.
        app.runState = StateQuit;
        frame.endCode = ExitError;
        return true;
    case CommandRestart:
        app.runState = StateStartApplication;
        frame.endCode = 4;
        return true;
    default:
        return false;
    }
}

} // namespace

int StartFrameTransition(bool isFadeOut, cSurface* picture) {
    ApplicationRecord* app = CurrentApplication();
    FrameRecord* frame = Services().frame;
    if (!app || !frame || !frame->surface) return 0;
    const FrameBlock& block = isFadeOut ? frame->fadeOut : frame->fadeIn;
    if (!block.data) return 0;
    const std::optional<TransitionDescriptor> d = ReadTransitionDescriptor({block.data, block.size});
    if (d) frame->transition = CreateTransitionObject(*d);
    // The pictures are copies of the screen surface, or a display driver's render textures.
    cSurface* old = nullptr;
    cSurface* now = nullptr;
    if (frame->transition && DriverKind()) {
        old = RenderTextureOf(*frame, isFadeOut);
        now = old ? RenderTextureOf(*frame, !isFadeOut) : nullptr;
    } else if (frame->transition) {
        old = CopyOf(*frame->surface);
        now = old ? CopyOf(*frame->surface) : nullptr;
    }
    if (!d || !frame->transition || !old || !now) return FailStart(*app, isFadeOut, old, now);
    if (isFadeOut)
        now->Fill((d->flags & TransitionPlainColour) ? d->colour : Black);
    else
        PaintStartPicture(*old, *d, *app, picture);
    DrawAndPresent(*frame->surface, nullptr, [&] { old->BlitWhole(*frame->surface, 0, 0, 0); });
    StartTransition(frame->transition, d->duration);
    frame->oldPicture = old;
    frame->newPicture = now;
    app->runState = isFadeOut ? StateFadeOut : StateFadeIn;
    return 1;
}

int StepFrameTransition() {
    ApplicationRecord* app = CurrentApplication();
    FrameRecord* frame = app ? app->run.frame : nullptr;
    // Without a transition there is no fade to wait for.
    if (!frame || !frame->transition) return 0;
    if (CutByCommand(*app, *frame)) return 0;
    if (app->runState != StateFadeIn && app->runState != StateFadeOut) return 0;
    const bool fadeOut = app->runState == StateFadeOut;
    if (TransitionDone(frame->transition)) {
        EndFrameTransition(app, fadeOut);
        return 0;
    }
    const std::uint32_t mode = fadeOut ? transition::ModeFadeOut : transition::ModeFadeIn;
    transition::ChangedRects changed = nullptr;
    const auto step = [&] {
        if (frame->surface && TransitionDrawsDirectly(frame->transition, DriverKind()))
            StepTransitionDirect(frame->transition, frame->surface, 0, 0, frame->oldPicture,
                                 frame->newPicture, mode, &changed, false, 0, nullptr);
        else
            StepTransition(frame->transition, frame->surface, frame->oldPicture, frame->newPicture, mode,
                           &changed);
    };
    if (frame->surface)
        DrawAndPresent(*frame->surface, &changed, step);
    else
        step();
    return 1;
}

void EndFrameTransition(ApplicationRecord* app, bool isFadeOut) {
    FrameRecord* frame = app ? app->run.frame : nullptr;
    if (!frame) return;
    if (transition::Object* t = std::exchange(frame->transition, nullptr)) {
        EndTransition(t, isFadeOut);
        DestroyTransition(t);
    }
    // The machine leaves the fade's state whether or not a transition was still there to end.
    if (app->runState == StateFadeIn) app->runState = StateRunFrame;
    if (app->runState == StateFadeOut) app->runState = StateEndFrame;
    if (!isFadeOut) {
        CurrentApplicationScope scope(app);
        RefreshAfterFadeIn();
    }
    DeleteSurfaceOnce(frame->oldPicture);
    DeleteSurfaceOnce(frame->newPicture);
}

bool FrameFadeRunning() {
    const ApplicationRecord* app = CurrentApplication();
    return app && (app->runState == StateFadeIn || app->runState == StateFadeOut) && app->run.frame &&
           app->run.frame->transition;
}

void DropFrameTransition(FrameRecord& frame) {
    DestroyTransition(std::exchange(frame.transition, nullptr));
    DeleteSurfaceOnce(frame.oldPicture);
    DeleteSurfaceOnce(frame.newPicture);
}

} // namespace vtrrt
