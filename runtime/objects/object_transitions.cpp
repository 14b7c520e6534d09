#include "objects/object_transitions.h"

#include "events/extension_host.h"
#include "startup/event_program.h"

#include "core/application_record.h"
#include "core/runtime_services.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "objects/transition_modules.h"
#include "startup/display_mode.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"

#include "vtrs2/app_window.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

constexpr int CopyKeepingPacking = 2; // CopyImageToSurface: the image's own form
constexpr int CopyAsItIs = 0;
constexpr int BlitOpaque = 0, BlitTransparent = 1;
// Stretch flags: smoothed, aware of the transparent colour, and the alpha plane scaled along.
constexpr int StretchSmooth = 0x1, StretchSmoothAware = 0x2, StretchScaleAlpha = 0x4;
constexpr int QuarterTurn = 0, ThreeQuarterTurn = 1; // RotateQuarter's directions: 90 and 270 degrees
// The sprite routine's command when the transition sprite is freed.
constexpr int SpriteGoes = 3;

bool DriverKind() {
    return (Services().displayFlags & DisplayDriverFlag) != 0;
}

cSurface* WindowSurface() {
    AppWindow* window = Services().frameLibraryWindow;
    cSurface* surface = window ? GetWindowSurface(window, 0) : nullptr;
    return surface && surface->HasImplementation() ? surface : nullptr;
}

void AddRedraw(const RECT& r) {
    if (AppWindow* window = Services().frameLibraryWindow) AddUpdateRect(window, &r);
}

RECT ObjectRect(const RunObject& o) {
    return RECT{o.displayLeft, o.displayTop, o.displayRight, o.displayBottom};
}

cSurface* SurfaceLike(const cSurface& picture) {
    cSurface* s = NewSurface();
    if (s && s->Create(picture.GetWidth(), picture.GetHeight(), &picture)) return s;
    DeleteSurface(s);
    return nullptr;
}

cSurface* CopyOf(cSurface& picture) {
    cSurface* s = SurfaceLike(picture);
    if (s) picture.BlitWhole(*s, 0, 0, BlitOpaque);
    return s;
}

// The picture's shape in one colour: what is not transparent takes it.
void Silhouette(cSurface& copy, COLORREF colour) {
    const COLORREF key = copy.GetColorKey();
    for (int y = 0; y < copy.GetHeight(); ++y) {
        for (int x = 0; x < copy.GetWidth(); ++x) {
            COLORREF c = 0;
            if (copy.GetPixel(x, y, c) && (c & 0xFFFFFF) != (key & 0xFFFFFF)) copy.SetPixel(x, y, colour);
        }
    }
}

// The picture the fade does not have: the descriptor's colour, the silhouette of an appearing transparent
// object in it, or the background under the object.
bool MakeOtherPicture(ObjectTransitionState& s, const TransitionDescriptor& d, cSurface& picture,
                      bool isFadeOut, bool transparent) {
    cSurface*& other = isFadeOut ? s.destination : s.source;
    const bool plain = (d.flags & TransitionPlainColour) != 0;
    other = (!isFadeOut && transparent && plain) ? CopyOf(picture) : SurfaceLike(picture);
    if (!other) return false;
    if (!isFadeOut && transparent && plain) {
        Silhouette(*other, d.colour);
    } else if (plain) {
        other->Fill(d.colour);
    } else {
        other->Fill(0);
        (isFadeOut ? s.destinationIsBackground : s.sourceIsBackground) = 1;
    }
    return true;
}

// A new surface of the picture's kind and transparent colour, filled with that colour.
cSurface* SurfaceFrom(cSurface& picture, int width, int height) {
    cSurface* s = NewSurface();
    if (!s || !s->Create(width, height, &picture)) {
        DeleteSurface(s);
        return nullptr;
    }
    s->SetColorKey(picture.GetColorKey());
    s->Fill(picture.GetColorKey());
    return s;
}

constexpr int BlitCopyAlpha = 2;

// A render texture of that size, empty (transparent black).
cSurface* RenderTexture(int width, int height) {
    cSurface* prototype = nullptr;
    const int kind =
        (Services().displayFlags & DisplayDirect3D8Flag) ? DriverKindDirect3D8 : DriverKindDirect3D9;
    GetSurfacePrototype(&prototype, 32, PublicTypeRenderTexture, kind);
    cSurface* s = NewSurface();
    if (!prototype || !s || !s->Create(width, height, prototype)) {
        DeleteSurface(s);
        return nullptr;
    }
    s->Fill(0);
    return s;
}

// With a display driver the fade's pictures are render textures: the picture (a texture or a surface of the
// library) drawn into one of the object's size, scaled and turned through TransformBlit about its centre,
// its transparency kept as alpha. Takes the picture given.
cSurface* DriverPicture(cSurface* picture, const RunObjectExtended& x, const ObjectSpriteBlock* block) {
    // A library surface is a texture of the driver first: only those draw turned.
    if (picture->GetSurfaceType() < PublicTypeRenderTexture) {
        cSurface* copy = RenderTexture(picture->GetWidth(), picture->GetHeight());
        if (copy && !picture->BlitWhole(*copy, 0, 0, BlitOpaque, 0, 0, BlitCopyAlpha)) {
            DeleteSurface(copy);
            copy = nullptr;
        }
        DeleteSurface(picture);
        if (!copy) return nullptr;
        picture = copy;
    }
    const float scale[2] = {std::fabs(x.scaleX), std::fabs(x.scaleY)};
    float angle = std::fmod(x.angle, 360.0f);
    if (angle < 0) angle += 360.0f;
    const int w = picture->GetWidth(), h = picture->GetHeight();
    int width = std::max(1, static_cast<int>(static_cast<float>(w) * scale[0]));
    int height = std::max(1, static_cast<int>(static_cast<float>(h) * scale[1]));
    cSurface::GetRotatedSize(width, height, angle);
    cSurface* target = RenderTexture(width, height);
    const std::uint16_t display = block ? block->displayFlags : 0;
    const int flags = BlitCopyAlpha | ((display & (DisplayAntialias | DisplayResample)) ? 1 : 0);
    if (target &&
        !picture->TransformBlit(*target, static_cast<float>(width) / 2, static_cast<float>(height) / 2, w / 2,
                                h / 2, 0, 0, w, h, scale, angle, BlitOpaque, 0, 0, flags)) {
        DeleteSurface(target);
        target = nullptr;
    }
    DeleteSurface(picture);
    return target;
}

// The image as a scaled or turned object shows it: stretched to the scaled size (smoothed when the object
// is resampled), then turned, a quarter turn exactly, on its transparent colour. Takes the picture given;
// null when a surface cannot be made.
cSurface* TransformedPicture(cSurface* picture, const RunObjectExtended& x, const ObjectSpriteBlock* block,
                             bool transparent) {
    const bool scaled = x.scaleX != 1.0f || x.scaleY != 1.0f;
    float angle = std::fmod(x.angle, 360.0f);
    if (angle < 0) angle += 360.0f;
    if (!scaled && angle == 0) return picture;
    const std::uint16_t display = block ? block->displayFlags : 0;
    if (scaled) {
        const int width = std::max(1, static_cast<int>(picture->GetWidth() * std::fabs(x.scaleX)));
        const int height = std::max(1, static_cast<int>(picture->GetHeight() * std::fabs(x.scaleY)));
        int flags = StretchScaleAlpha;
        if (display & DisplayResample) flags |= StretchSmooth | (transparent ? StretchSmoothAware : 0);
        cSurface* stretched = SurfaceFrom(*picture, width, height);
        if (stretched && !picture->StretchBlit(*stretched, 0, 0, width, height, 0, 0, picture->GetWidth(),
                                               picture->GetHeight(), BlitOpaque, 0, 0, flags)) {
            DeleteSurface(stretched);
            stretched = nullptr;
        }
        DeleteSurface(picture);
        picture = stretched;
    }
    if (!picture || angle == 0) return picture;
    int width = picture->GetWidth(), height = picture->GetHeight();
    cSurface::GetRotatedSize(width, height, angle);
    cSurface* turned = SurfaceFrom(*picture, width, height);
    const bool quarter = angle == 90.0f || angle == 270.0f;
    if (turned && !(quarter ? picture->RotateQuarter(*turned, angle == 90.0f ? QuarterTurn : ThreeQuarterTurn)
                            : picture->Rotate(*turned, angle, (display & DisplayAntialias) ? 1 : 0,
                                              picture->GetColorKey(), 1))) {
        DeleteSurface(turned);
        turned = nullptr;
    }
    DeleteSurface(picture);
    return turned;
}

// The object's picture: its current image, as a surface over the bank's item, or as a scaled or turned
// object shows it.
cSurface* ObjectPicture(RunObject& o, const TransitionDescriptor& d, bool transparent) {
    // An extension object fades the surface it draws with (a copy: the surface stays the extension's).
    if (o.objectType >= FirstExtensionType) {
        cSurface* own = ExtensionObjectSurface(&o);
        return own ? CopyOf(*own) : nullptr;
    }
    RunObjectExtended* x = ExtendedOf(&o);
    // An object whose sprite draws itself (a built-in kind) has that routine draw into a surface of the
    // sprite's size; the built-in objects' services add it.
    if (!x || !(o.objectFlags & ObjectHasAnimation)) return nullptr;
    cSurface* picture = NewSurface();
    const int kind = (d.flags & TransitionPlainColour) && transparent ? CopyAsItIs : CopyKeepingPacking;
    if (!picture ||
        !CopyImageToSurface(Services().libraryContext, static_cast<DWORD>(x->image), picture, kind) ||
        !picture->HasImplementation()) {
        DeleteSurface(picture);
        return nullptr;
    }
    if (DriverKind()) return DriverPicture(picture, *x, SpriteBlockOf(&o));
    return TransformedPicture(picture, *x, SpriteBlockOf(&o), transparent);
}

// The descriptor at the definition's offset for the kind; UTF-16 data names its module in UTF-16.
std::optional<TransitionDescriptor> ObjectDescriptor(const RunObject& o, bool isFadeOut,
                                                     std::vector<std::uint8_t>& bytes) {
    const ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o.objectInfo));
    if (!info || info->definition.empty()) return std::nullopt;
    const std::uint32_t offset = DefU32(info->definition, isFadeOut ? DefDisappearing : DefAppearing);
    if (offset == 0 || offset >= info->definition.size()) return std::nullopt;
    bytes.assign(info->definition.begin() + offset, info->definition.end());
    const ApplicationRecord* app = CurrentApplication();
    constexpr std::size_t FlagsOffset = 12;
    if (app && app->unicode && bytes.size() > FlagsOffset) bytes[FlagsOffset] |= TransitionWideName;
    return ReadTransitionDescriptor(bytes);
}

void*& SlotOf(RunObjectExtended& x, bool isFadeOut) {
    return isFadeOut ? x.disappearingTransition : x.appearingTransition;
}

ObjectTransitionState* StateOf(RunObject* o, bool isFadeOut) {
    RunObjectExtended* x = ExtendedOf(o);
    return x ? static_cast<ObjectTransitionState*>(SlotOf(*x, isFadeOut)) : nullptr;
}

// The picture flagged as the background takes what lies under the object now.
void FillBackgroundPicture(ObjectTransitionState& s, cSurface& window, const RECT& r) {
    cSurface* picture = s.sourceIsBackground ? s.source : s.destinationIsBackground ? s.destination : nullptr;
    if (!picture) return;
    if (TransitionCapabilities(s.transition) & transition::NeedsRealBackground)
        window.Blit(*picture, 0, 0, r.left, r.top, r.right - r.left, r.bottom - r.top, BlitOpaque);
    else if (s.backgroundSaved && s.backgroundSave)
        s.backgroundSave->BlitWhole(*picture, 0, 0, BlitOpaque);
}

int Draw(RunObject& o, ObjectTransitionState& s, cSurface& window) {
    const RECT r = ObjectRect(o);
    if (!s.direct && !DriverKind()) FillBackgroundPicture(s, window, r);
    std::uint32_t mode = s.isFadeOut ? transition::ModeFadeOut : transition::ModeFadeIn;
    if (s.transparent) mode |= transition::ModeTransparent;
    if (s.isFadeOut ? s.destinationIsBackground : s.sourceIsBackground)
        mode |= transition::ModeOtherIsBackground;
    const ObjectSpriteBlock* block = SpriteBlockOf(&o);
    const std::uint32_t ink = block ? block->inkEffect & 0xFFFF : 0;
    const auto parameter = block ? reinterpret_cast<LPARAM>(block->inkParameter) : 0;
    transition::ChangedRects changed = nullptr;
    if (s.direct) {
        StepTransitionDirect(s.transition, &window, r.left, r.top, s.source, s.destination, mode, &changed,
                             s.transparent, ink, block ? block->inkParameter : nullptr);
    } else if (s.work) {
        s.work->BeginDraw((TransitionCapabilities(s.transition) & transition::BeginDrawFlag) ? 1 : 0, 0);
        StepTransition(s.transition, s.work, s.source, s.destination, mode, &changed);
        s.work->EndDraw();
        s.work->BlitWhole(window, r.left, r.top, s.transparent ? BlitTransparent : BlitOpaque,
                          static_cast<int>(ink), parameter);
    }
    AddRedraw(r);
    return 0;
}

void SaveBackground(RunObject& o, ObjectTransitionState& s, cSurface& window) {
    if (!s.backgroundSave) return;
    const RECT r = ObjectRect(o);
    s.savedX = r.left;
    s.savedY = r.top;
    s.savedWidth = r.right - r.left;
    s.savedHeight = r.bottom - r.top;
    window.Blit(*s.backgroundSave, 0, 0, s.savedX, s.savedY, s.savedWidth, s.savedHeight, BlitOpaque);
    s.backgroundSaved = 1;
}

void RestoreBackground(ObjectTransitionState& s, cSurface& window) {
    if (!s.backgroundSaved || !s.backgroundSave) return;
    s.backgroundSave->Blit(window, s.savedX, s.savedY, 0, 0, s.savedWidth, s.savedHeight, BlitOpaque);
    AddRedraw(RECT{s.savedX, s.savedY, s.savedX + s.savedWidth, s.savedY + s.savedHeight});
}

int StepAndFree(RunObject* o, int command, bool isFadeOut) {
    ObjectTransitionState* s = StateOf(o, isFadeOut);
    if (s && command == SpriteGoes) s->sprite = nullptr;
    const int result = StepObjectTransition(o, command, s);
    if (result && s) {
        FreeObjectTransitionState(s);
        SlotOf(*ExtendedOf(o), isFadeOut) = nullptr;
    }
    return result;
}

} // namespace

int StartObjectTransition(RunObject* o, bool isFadeOut) {
    RunObjectExtended* x = o ? ExtendedOf(o) : nullptr;
    if (!x || SlotOf(*x, isFadeOut)) return 0;
    std::vector<std::uint8_t> bytes;
    const std::optional<TransitionDescriptor> d = ObjectDescriptor(*o, isFadeOut, bytes);
    if (!d) return 0;
    const ObjectSpriteBlock* block = SpriteBlockOf(o);
    const bool transparent = block && (block->inkEffect & InkTransparent);
    cSurface* picture = ObjectPicture(*o, *d, transparent);
    if (!picture) return 0;
    ObjectTransitionState* state = CreateObjectTransitionState(*d, *picture, isFadeOut, transparent);
    DeleteSurface(picture);
    if (!state) return 0;
    StartTransition(state->transition, d->duration);
    SlotOf(*x, isFadeOut) = state;
    return 1;
}

ObjectTransitionState* CreateObjectTransitionState(const TransitionDescriptor& d, cSurface& picture,
                                                   bool isFadeOut, bool transparent) {
    ObjectTransitionState* s = nullptr;
    if (!AllocZeroedMemory(sizeof(ObjectTransitionState), &s)) return nullptr;
    s->isFadeOut = isFadeOut ? 1 : 0;
    s->transparent = transparent ? 1 : 0;
    s->transition = CreateTransitionObject(d);
    bool made = s->transition != nullptr;
    s->direct = made && DriverKind() && TransitionDrawsDirectly(s->transition, true);
    if (made && !s->direct) {
        // A display driver's render texture holds the steps; its background stays in the window it draws on.
        s->work =
            DriverKind() ? RenderTexture(picture.GetWidth(), picture.GetHeight()) : SurfaceLike(picture);
        made = s->work != nullptr;
        if (made) s->work->Fill(0);
        if (made && !DriverKind()) made = (s->backgroundSave = SurfaceLike(picture)) != nullptr;
    }
    if (made) {
        (isFadeOut ? s->source : s->destination) = CopyOf(picture);
        made = (isFadeOut ? s->source : s->destination) != nullptr;
        if (made && isFadeOut && s->work) picture.BlitWhole(*s->work, 0, 0, BlitOpaque);
    }
    if (made) made = MakeOtherPicture(*s, d, picture, isFadeOut, transparent);
    if (!made) {
        FreeObjectTransitionState(s);
        return nullptr;
    }
    return s;
}

int StepObjectTransition(RunObject* o, int command, ObjectTransitionState* s) {
    cSurface* window = WindowSurface();
    if (!o || !s || !window) return 1;
    if (!s->transition) return 0;
    switch (command) {
    case 0:
        return Draw(*o, *s, *window);
    case 1:
        if (!DriverKind()) RestoreBackground(*s, *window);
        return 0;
    case 2:
        if (!DriverKind()) SaveBackground(*o, *s, *window);
        return 0;
    case SpriteGoes:
        return 1;
    default:
        return 0;
    }
}

int StepObjectFadeIn(RunObject* o, int command) {
    return StepAndFree(o, command, false);
}

int StepObjectFadeOut(RunObject* o, int command) {
    return StepAndFree(o, command, true);
}

void FreeObjectTransitionState(ObjectTransitionState* s) {
    if (!s) return;
    for (cSurface* surface : {s->backgroundSave, s->work, s->source, s->destination})
        DeleteSurface(surface);
    DestroyTransition(s->transition);
    FreeMemory(&s);
}

void FreeObjectTransitions(RunObject* o) {
    RunObjectExtended* x = o ? ExtendedOf(o) : nullptr;
    if (!x) return;
    for (bool isFadeOut : {false, true}) {
        auto* s = static_cast<ObjectTransitionState*>(SlotOf(*x, isFadeOut));
        if (s && s->sprite && s->sprite->userData == reinterpret_cast<LONG_PTR>(o)) s->sprite->userData = 0;
        FreeObjectTransitionState(s);
        SlotOf(*x, isFadeOut) = nullptr;
    }
}

bool TransitionSpriteWaiting(RunObject* o) {
    for (bool isFadeOut : {false, true})
        if (const ObjectTransitionState* s = StateOf(o, isFadeOut); s && s->sprite) return true;
    return false;
}

bool ObjectTransitionDone(RunObject* o, bool isFadeOut) {
    const ObjectTransitionState* s = StateOf(o, isFadeOut);
    return !s || TransitionDone(s->transition);
}

void EndObjectTransition(RunObject* o, bool isFadeOut) {
    if (ObjectTransitionState* s = StateOf(o, isFadeOut)) EndTransition(s->transition, isFadeOut);
}

} // namespace vtrrt
