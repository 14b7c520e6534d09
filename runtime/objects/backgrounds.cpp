#include "objects/backgrounds.h"
#include "core/upcalls.h"

#include "core/application_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/extension_host.h"
#include "objects/backdrop_layers.h"
#include "objects/display_list.h"
#include "objects/layer_rects.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "startup/banks.h"
#include "startup/display_mode.h"
#include "startup/event_program.h"
#include "startup/frame_object_infos.h"
#include "startup/ink_effects.h"
#include "startup/object_infos.h"

#include "vtrs2/app_window.h"
#include "vtrs2/banks.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/fills.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <algorithm>
#include <cmath>

namespace vtrrt {

using namespace win32;

namespace {

// How far beyond the window's right and bottom edges backdrops are still walked, so that the collision
// mask's margins hold them.
constexpr int CullMarginX = 96;
constexpr int CullMarginY = 16;
constexpr int PlatformRows = 6;
constexpr std::uint32_t BackdropSpriteFlags = 0x480008;
constexpr std::uint32_t BackdropSpriteFlagsAlt = 0x480008;
constexpr LONG BackdropZOrder = 0x10000000;

bool DriverMode() {
    return (Services().displayFlags & DisplayDriverFlag) != 0;
}

std::uint16_t U16(const std::uint8_t* d, std::size_t size, std::size_t at) {
    return at + 2 <= size ? static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8)) : 0;
}

std::uint32_t U32(const std::uint8_t* d, std::size_t size, std::size_t at) {
    return at + 4 <= size ? static_cast<std::uint32_t>(U16(d, size, at) | (U16(d, size, at + 2) << 16)) : 0;
}

// The flags of a backdrop's sprites on a layer, by its obstacle type. They keep what lies under them, so that
// they can be erased when the frame scrolls.
DWORD SpriteFlagsFor(const FrameLayer& layer, std::uint16_t obstacle) {
    DWORD flags = (layer.settings.flags & LayerAltSpriteFlags) ? BackdropSpriteFlagsAlt : BackdropSpriteFlags;
    if (obstacle == ObstacleSolid) flags |= SolidSpriteFlags;
    if (obstacle == ObstaclePlatform) flags |= PlatformSpriteFlags;
    return flags;
}

void DropSprite(Sprite*& sprite, bool free) {
    if (!sprite) return;
    if (free)
        FreeSprite(FrameSpriteWindow(), sprite);
    else
        DeleteSprite(FrameSpriteWindow(), sprite);
    sprite = nullptr;
}

Sprite*& SlotOf(FrameItemInstance& instance, int copy) {
    return reinterpret_cast<Sprite*&>(instance.runtime[copy]);
}

void DropInstanceSprites(FrameItemInstance& instance, bool free) {
    for (int copy = 0; copy < 4; ++copy)
        DropSprite(SlotOf(instance, copy), free);
}

// Everything a walk of one layer keeps.
struct LayerWalk {
    FrameRecord& frame;
    FrameLayer& layer;
    int index;
    std::uint32_t flags;
    POINT shift;
    int windowRight, windowBottom; // window width - 1 and height - 1
    bool maskOnly;
    bool writeMask;
    bool& maskClean;
    bool asSprites;
    bool wraps;
};

bool Culled(const LayerWalk& w, const RECT& box) {
    if ((w.frame.flags & FrameCollisionsPerLayer) || w.wraps) return false;
    // The mask's bottom margin holds a backdrop whose top lies on its last row.
    return box.left >= w.windowRight + CullMarginX || box.top > w.windowBottom + CullMarginY;
}

bool OutsideWindow(const LayerWalk& w, const RECT& box) {
    return box.left > w.windowRight || box.top > w.windowBottom || box.right < 0 || box.bottom < 0;
}

// Writes one backdrop (or copy) into the play-area mask: obstacles set both planes, anything else clears
// what lies under it once the mask holds something, and platforms then set their top rows.
void WriteMask(LayerWalk& w, const RECT& windowBox, std::uint16_t obstacle, bool fine, std::uint32_t image) {
    if (!w.writeMask || obstacle == ObstacleNotSolid) return;
    RECT box = windowBox;
    if (w.frame.flags & FrameCollisionsPerLayer) {
        OffsetRect(&box, w.shift.x, w.shift.y);
    } else if (box.right < -CullMarginX || box.bottom < -CullMarginY) {
        return;
    }
    SpriteWindow* window = FrameSpriteWindow();
    const bool useImage = fine && image;
    if (obstacle == ObstacleSolid) {
        if (useImage)
            AddImageToCollisionMask(window, image, box.left, box.top, 3);
        else
            FillCollisionMaskBox(window, box.left, box.top, box.right - 1, box.bottom - 1, 3);
        w.maskClean = false;
        return;
    }
    if (!w.maskClean) {
        if (useImage)
            AddImageToCollisionMask(window, image, box.left, box.top, 0);
        else
            FillCollisionMaskBox(window, box.left, box.top, box.right - 1, box.bottom - 1, 0);
    }
    if (obstacle == ObstaclePlatform) {
        if (useImage)
            AddPlatformImageToCollisionMask(window, image, box.left, box.top);
        else
            FillCollisionMaskBox(window, box.left, box.top, box.right - 1,
                                 std::min<LONG>(box.top + PlatformRows, box.bottom) - 1, PlatformPlane);
    }
}

std::uint32_t InkOf(const ObjectInfo* info) {
    return info ? info->inkEffect : 0;
}

// Ink 13 draws with the object info's effect object, whose coefficient the stored parameter is.
LPARAM InkParameterOf(ObjectInfo* info) {
    if (!info) return 0;
    if ((info->inkEffect & InkCodeMask) == InkEffectObject)
        return reinterpret_cast<LPARAM>(ObjectInfoEffect(*info));
    return static_cast<LPARAM>(info->inkParameter);
}

// Draws a placed quick backdrop at the window position.
void DrawPlacedShape(cSurface* surface, const PlacedBackdrop& b, int x, int y) {
    const QuickBackdropShape shape = ReadQuickBackdropShape(b.definition, b.definitionSize);
    const std::uint32_t ink = InkOf(b.info);
    DrawBackgroundObject(surface, shape, x, y, b.width, b.height, (ink & InkTransparent) ? 1 : 0, ink,
                         InkParameterOf(b.info), (ink & InkAntialiased) ? 1 : 0);
}

// The sprite of one copy of a placed backdrop, made or moved.
void ShowPlacedSprite(LayerWalk& w, const PlacedBackdrop& b, int copy, const RECT& box) {
    Sprite*& slot = SlotOf(*b.instance, copy);
    SpriteWindow* window = FrameSpriteWindow();
    const DWORD flags = SpriteFlagsFor(w.layer, b.obstacle);
    const LONG z = BackdropZOrder + copy + 4 * b.index;
    if (b.type == 1) {
        if (!slot) {
            slot = CreateSprite(window, box.left, box.top, b.image, w.index, z, 0, flags,
                                static_cast<LONG_PTR>(b.index));
            if (slot) SetSpriteEffect(window, slot, InkOf(b.info), InkParameterOf(b.info));
        } else {
            ModifySprite(window, slot, box.left, box.top, b.image);
        }
        return;
    }
    if (!slot) {
        slot = CreateSpriteEx(window, box.left, box.top, box.right, box.bottom, w.index, z, 0,
                              flags | SpriteOwnerDrawn, static_cast<LONG_PTR>(b.index), DrawBackdropSprite);
    } else {
        SetSpriteRect(window, slot, box.left, box.top, box.right, box.bottom);
    }
}

void WalkPlacedBackdrop(LayerWalk& w, PlacedBackdrop& b, cSurface* surface) {
    const RECT box{b.instance->x - w.shift.x, b.instance->y - w.shift.y, b.instance->x - w.shift.x + b.width,
                   b.instance->y - w.shift.y + b.height};
    const bool free = (w.flags & RedrawFreeSprites) != 0;
    if (Culled(w, box)) {
        DropInstanceSprites(*b.instance, free);
        return;
    }
    const WrappedCopies copies =
        CopiesOf(box, w.wraps && (w.layer.settings.flags & LayerWrapsX),
                 w.wraps && (w.layer.settings.flags & LayerWrapsY), WrapSizeOf(w.frame));
    const bool fine = !b.boxOnly && b.obstacle != ObstacleLadder && b.type == 1;
    for (int copy = 0; copy < 4; ++copy) {
        if (!copies.present[copy]) {
            DropSprite(SlotOf(*b.instance, copy), free);
            continue;
        }
        const RECT& r = copies.box[copy];
        if (b.obstacle == ObstacleLadder && !w.maskOnly)
            AddLayerRect(w.index, r.left, r.top, r.right, r.bottom);
        WriteMask(w, r, b.obstacle, fine, b.image);
        if (w.maskOnly) continue;
        if (OutsideWindow(w, r)) {
            if (w.index > 0 || w.asSprites) DropSprite(SlotOf(*b.instance, copy), free);
            continue;
        }
        if (w.index > 0 || w.asSprites) {
            ShowPlacedSprite(w, b, copy, r);
        } else if (b.type == 1) {
            DrawImageToWindow(FrameSpriteWindow(), b.image, r.left, r.top, 0, InkOf(b.info),
                              InkParameterOf(b.info));
        } else {
            DrawPlacedShape(surface, b, r.left, r.top);
            AddUpdateRect(Services().frameLibraryWindow, &r);
        }
    }
}

void WalkLayer(LayerWalk& w, cSurface* surface) {
    for (std::int32_t i = 0; i < w.frame.instanceCount; ++i) {
        PlacedBackdrop b{};
        if (!ReadPlacedBackdrop(w.frame, i, b) || b.instance->layer != w.index) continue;
        WalkPlacedBackdrop(w, b, surface);
    }
}

// Empties the sprite slots of every backdrop of a layer, placed or added.
void DropLayerSprites(FrameRecord& frame, int index, bool free) {
    for (std::int32_t i = 0; i < frame.instanceCount; ++i) {
        FrameItemInstance& instance = frame.instances[i];
        if (instance.objectType < 2 && instance.layer == index) DropInstanceSprites(instance, free);
    }
    FrameLayer& layer = frame.layers[index];
    LayerBackdrop* records = LayerBackdropsOf(layer);
    for (std::int32_t i = 0; records && i < layer.runtimeBackdropCount; ++i)
        for (Sprite*& s : records[i].sprites)
            DropSprite(s, free);
}

// What the work surface shows of layer 0 becomes the background the sprite pass erases to.
void KeepBackgroundCopy(AppWindow* window) {
    cSurface* work = GetWindowSurface(window, 0);
    cSurface* copy = GetWindowSurface(window, 1);
    if (!work || !copy || !copy->HasImplementation()) return;
    int x = 0, y = 0, width = 0, height = 0;
    work->GetClipRect(x, y, width, height);
    work->Blit(*copy, x, y, x, y, width, height, 0);
}

void FillTiled(cSurface* surface, cSurface& tile, int x, int y, int width, int height) {
    int cx = 0, cy = 0, cw = 0, ch = 0;
    surface->GetClipRect(cx, cy, cw, ch);
    const int tw = tile.GetWidth(), th = tile.GetHeight();
    if (tw <= 0 || th <= 0) return;
    const int left = std::max(x, cx), top = std::max(y, cy);
    const int right = std::min(x + width, cx + cw), bottom = std::min(y + height, cy + ch);
    for (int ty = top - ((top - y) % th); ty < bottom; ty += th)
        for (int tx = left - ((left - x) % tw); tx < right; tx += tw)
            tile.Blit(*surface, tx, ty, 0, 0, std::min(tw, x + width - tx), std::min(th, y + height - ty), 0);
}

// The rectangle's parts as fills: the inside as a gradient (of one colour for a solid fill), then the border
// as strips.
void FillRectangleParts(cSurface& target, const QuickBackdropShape& shape, int x, int y, int width,
                        int height) {
    const int b = std::min<int>(shape.borderWidth, std::min(width, height) / 2);
    const COLORREF first = shape.colour1;
    const COLORREF second = shape.fillType == FillGradient ? shape.colour2 : shape.colour1;
    // Corners top-left, top-right, bottom-right, bottom-left.
    const COLORREF corners[4] = {first, shape.vertical ? first : second, second,
                                 shape.vertical ? second : first};
    if (first == second)
        target.FillRect(x + b, y + b, width - 2 * b, height - 2 * b, first);
    else
        target.FillRectGradient(x + b, y + b, width - 2 * b, height - 2 * b, corners, 0);
    if (b <= 0) return;
    target.FillRect(x, y, width, b, shape.borderColour);
    target.FillRect(x, y + height - b, width, b, shape.borderColour);
    target.FillRect(x, y + b, b, height - 2 * b, shape.borderColour);
    target.FillRect(x + width - b, y + b, b, height - 2 * b, shape.borderColour);
}

// Display-driver surfaces draw a filled rectangle with fills: straight onto the surface without an ink, else
// into a render texture of its size that is then put on with the ink.
bool DrawRectangleThroughDriver(cSurface* surface, const QuickBackdropShape& shape, int x, int y, int width,
                                int height, int ink, LPARAM effect, int blitFlags, bool plain) {
    const int kind = surface->GetDriverKind();
    if (kind == DriverKindNone) return false;
    if (plain) {
        FillRectangleParts(*surface, shape, x, y, width, height);
        return true;
    }
    cSurface* prototype = nullptr;
    if (!GetSurfacePrototype(&prototype, surface->GetDepth(), PublicTypeRenderTexture, kind) || !prototype)
        return false;
    cSurface temporary;
    if (!temporary.Create(width, height, prototype)) return false;
    FillRectangleParts(temporary, shape, 0, 0, width, height);
    return temporary.BlitWhole(*surface, x, y, 1, ink, effect, blitFlags) != 0;
}

} // namespace

QuickBackdropShape ReadQuickBackdropShape(const std::uint8_t* d, std::size_t size) {
    QuickBackdropShape s{};
    if (!d) return s;
    constexpr std::size_t At = 16;
    s.borderWidth = U16(d, size, At);
    s.borderColour = U32(d, size, At + 2);
    s.shape = U16(d, size, At + 6);
    s.fillType = U16(d, size, At + 8);
    s.lineFlags = U16(d, size, At + 10);
    s.colour1 = U32(d, size, At + 10);
    s.colour2 = U32(d, size, At + 14);
    s.vertical = U32(d, size, At + 18);
    s.image = U16(d, size, At + 10);
    return s;
}

void DrawBackgroundObject(cSurface* surface, const QuickBackdropShape& shape, int x, int y, int width,
                          int height, int, std::uint32_t ink, LPARAM effect, int antialias) {
    // The shapes put what they paint on transparently whatever the blit mode.
    if (!surface || width <= 0 || height <= 0) return;
    const int blitInk = static_cast<int>(ink & 0xFFFF);
    const int blitFlags = antialias ? 1 : 0;
    const bool plain = blitInk == 0 && !antialias;
    const int border = shape.borderWidth;
    CFillFlat outline(shape.borderColour);
    if (shape.shape == ShapeLine || shape.fillType == FillNone) {
        const int thickness = std::max(1, border);
        if (shape.shape == ShapeLine) {
            const int x1 = (shape.lineFlags & 1) ? x + width - 1 : x,
                      x2 = (shape.lineFlags & 1) ? x : x + width - 1;
            const int y1 = (shape.lineFlags & 2) ? y + height - 1 : y,
                      y2 = (shape.lineFlags & 2) ? y : y + height - 1;
            if (plain)
                surface->DrawLine(x1, y1, x2, y2, thickness, shape.borderColour);
            else
                surface->DrawLineEx(x1, y1, x2, y2, thickness, &outline, blitFlags, 0, blitInk, effect);
        } else if (shape.shape == ShapeRectangle) {
            if (plain)
                surface->RectangleOutline(x, y, x + width, y + height, thickness, shape.borderColour);
            else
                surface->RectangleOutlineEx(x, y, x + width, y + height, thickness, &outline, blitFlags, 0,
                                            blitInk, effect);
        } else if (shape.shape == ShapeEllipse) {
            if (plain && surface->EllipseOutline(x, y, x + width, y + height, thickness, shape.borderColour))
                return;
            surface->EllipseOutlineEx(x, y, x + width, y + height, thickness, &outline, blitFlags, 0, blitInk,
                                      effect);
        }
        return;
    }
    if (shape.shape == ShapeRectangle && shape.fillType != FillMotif &&
        DrawRectangleThroughDriver(surface, shape, x, y, width, height, blitInk, effect, blitFlags, plain))
        return;
    if (shape.fillType == FillMotif) {
        cSurface tile;
        if (!CopyImageToSurface(Services().libraryContext, shape.image, &tile, CopyImagePlain)) return;
        if (shape.shape == ShapeRectangle && border == 0) {
            FillTiled(surface, tile, x, y, width, height);
            return;
        }
        CFillMosaic motif(&tile);
        if (shape.shape == ShapeRectangle)
            surface->RectangleEx(x, y, x + width, y + height, &motif, border, &outline, blitFlags, 0, blitInk,
                                 effect, 1);
        else
            surface->EllipseEx(x, y, x + width, y + height, &motif, border, &outline, blitFlags, 0, blitInk,
                               effect, 1);
        return;
    }
    CFillFlat solid(shape.colour1);
    CFillDir gradient(shape.colour1, shape.colour2, shape.vertical ? 1 : 0);
    CFillData* inside = shape.fillType == FillGradient ? static_cast<CFillData*>(&gradient) : &solid;
    if (shape.shape == ShapeRectangle) {
        if (border)
            surface->RectangleEx(x, y, x + width, y + height, inside, border, &outline, blitFlags, 0, blitInk,
                                 effect, 1);
        else
            surface->RectangleFilled(x, y, x + width, y + height, inside, blitFlags, 0, blitInk, effect);
        return;
    }
    if (shape.shape != ShapeEllipse) return;
    if (plain && shape.fillType == FillSolid &&
        surface->EllipseGdi(x, y, x + width, y + height, solid.colour, border, shape.borderColour, 1))
        return;
    if (border)
        surface->EllipseEx(x, y, x + width, y + height, inside, border, &outline, blitFlags, 0, blitInk,
                           effect, 1);
    else
        surface->EllipseFilled(x, y, x + width, y + height, inside, blitFlags, 0, blitInk, effect);
}

LONG_PTR DrawBackdropSprite(Sprite* sprite, int code, LONG_PTR) {
    // The answer to a mask request is read as the mask's address: none, and the sprite's box stands for it.
    if (code == SpriteRoutineMask) return 0;
    FrameRecord* frame = Services().frame;
    if (!sprite || !frame) return 1;
    PlacedBackdrop b{};
    const auto index = static_cast<std::int32_t>(sprite->userData);
    if (!ReadPlacedBackdrop(*frame, index, b)) return 1;
    if (code == 3) {
        // The pool frees the sprite: its slot must not keep it.
        for (int copy = 0; copy < 4; ++copy)
            if (SlotOf(*b.instance, copy) == sprite) SlotOf(*b.instance, copy) = nullptr;
        return 1;
    }
    if (code != 0) return 1;
    AppWindow* window = Services().frameLibraryWindow;
    cSurface* surface = window ? GetWindowSurface(window, 0) : nullptr;
    if (!surface) return 1;
    const RECT& r = sprite->displayed.rect;
    DrawPlacedShape(surface, b, r.left, r.top);
    AddUpdateRect(window, &r);
    return 1;
}

LONG_PTR DrawObjectBackdropSprite(Sprite* sprite, int code, LONG_PTR) {
    if (code == SpriteRoutineMask) return 0;
    if (!sprite || code != 0) return 1;
    // Objects standing for backdrops are drawn by their own display routine, extensions by their surface or
    // display entry.
    if (RunObject* o = FindObjectByFrameItem(static_cast<std::int32_t>(sprite->userData))) {
        if (o->objectType >= FirstExtensionType)
            DisplayExtensionObject(o);
        else if (o->objectType >= FirstKindType && o->objectType <= LastKindType)
            if (auto display = KindRoutines()[static_cast<std::size_t>(o->objectType)].display) display(o);
    }
    return 1;
}

void RedrawLayerAddedBackdrops(FrameLayer& layer, int index, std::uint32_t flags, int windowRight,
                               int windowBottom, bool maskClean) {
    FrameRunState* s = CurrentRunState();
    FrameRecord* frame = Services().frame;
    LayerBackdrop* records = LayerBackdropsOf(layer);
    if (!s || !frame || !records) return;
    const bool asSprites = DriverMode();
    const bool free = (flags & RedrawFreeSprites) != 0;
    bool maskOnly = index == 0 && !(layer.settings.flags & LayerShown);
    if (layer.settings.flags & LayerHideRequest) {
        if (index > 0 || asSprites)
            for (std::int32_t i = 0; i < layer.runtimeBackdropCount; ++i)
                for (Sprite*& sprite : records[i].sprites)
                    DropSprite(sprite, free);
        if (index > 0) return;
        maskOnly = true;
    }
    bool clean = maskClean;
    LayerWalk w{*frame,
                layer,
                index,
                flags,
                LayerShift(*frame, layer, s->scrollX, s->scrollY),
                windowRight,
                windowBottom,
                maskOnly,
                index == 0 && !(flags & RedrawKeepMask),
                clean,
                asSprites,
                LayerWraps(layer)};
    const WrapSize wrap = WrapSizeOf(*frame);
    for (std::int32_t i = 0; i < layer.runtimeBackdropCount; ++i) {
        LayerBackdrop& r = records[i];
        std::int32_t width = 1, height = 1;
        const bool known = ImageSize(r.image, width, height);
        if (!known) width = height = 1;
        const RECT box{r.x - w.shift.x, r.y - w.shift.y, r.x - w.shift.x + width, r.y - w.shift.y + height};
        if (Culled(w, box)) {
            for (Sprite*& sprite : r.sprites)
                DropSprite(sprite, free);
            continue;
        }
        const WrappedCopies copies = CopiesOf(box, w.wraps && (layer.settings.flags & LayerWrapsX),
                                              w.wraps && (layer.settings.flags & LayerWrapsY), wrap);
        for (int copy = 0; copy < 4; ++copy) {
            if (!copies.present[copy]) {
                DropSprite(r.sprites[copy], free);
                continue;
            }
            const RECT& c = copies.box[copy];
            if (r.obstacle == ObstacleLadder && !maskOnly)
                AddLayerRect(index, c.left, c.top, c.right, c.bottom);
            WriteMask(w, c, r.obstacle, r.fine != 0 && known, r.image);
            if (maskOnly) continue;
            if (OutsideWindow(w, c)) {
                if (index > 0 || asSprites) DropSprite(r.sprites[copy], free);
                continue;
            }
            if (index > 0 || asSprites) {
                SpriteWindow* window = FrameSpriteWindow();
                if (!r.sprites[copy]) {
                    r.sprites[copy] =
                        CreateSprite(window, c.left, c.top, r.image, index, BackdropZOrder + copy + 4 * i, 0,
                                     SpriteFlagsFor(layer, r.obstacle), reinterpret_cast<LONG_PTR>(&r));
                    if (r.sprites[copy])
                        SetSpriteEffect(window, r.sprites[copy], r.ink,
                                        r.effect ? reinterpret_cast<LONG_PTR>(r.effect) : 0);
                } else {
                    ModifySprite(window, r.sprites[copy], c.left, c.top, r.image);
                }
            } else {
                DrawImageToWindow(FrameSpriteWindow(), r.image, c.left, c.top, 0, r.ink,
                                  r.effect ? reinterpret_cast<LONG_PTR>(r.effect) : 0);
            }
        }
    }
}

void UpdateFrameScrollPosition() {
    FrameRunState* s = CurrentRunState();
    FrameRecord* frame = Services().frame;
    if (!s || !frame || frame->layerCount <= 0) return;
    const FrameLayer& l0 = frame->layers[0];
    const auto through = [](std::int32_t scroll, bool applies, float c) {
        return applies ? static_cast<std::int32_t>(static_cast<float>(scroll) * c) : scroll;
    };
    frame->scrollX = through(s->scrollX, l0.settings.flags & LayerScrollsX, l0.settings.xCoefficient);
    frame->scrollY = through(s->scrollY, l0.settings.flags & LayerScrollsY, l0.settings.yCoefficient);
}

void RedrawFrame(std::uint32_t flags) {
    FrameRunState* s = CurrentRunState();
    FrameRecord* frame = Services().frame;
    AppWindow* window = Services().frameLibraryWindow;
    cSurface* surface = window ? GetWindowSurface(window, 0) : nullptr;
    if (!s || !frame || !surface || !frame->layers) return;
    SpriteWindow* sprites = FrameSpriteWindow();
    const bool asSprites = DriverMode();
    // The display-driver frame surfaces: the window-size surface made or dropped here; the display pass
    // draws the frame into them.
    if (flags & (RedrawClearSurfaces | RedrawPresent)) up::ClearFrameSurfaces(0);
    if (flags & (RedrawScrollFirst | RedrawClearSurfaces | RedrawPresent)) {
        for (int i = 0; i < frame->layerCount; ++i) {
            if (frame->layers[i].settings.flags & LayerShowRequest) SetLayerObjectsVisible(i, true);
            if (frame->layers[i].settings.flags & LayerHideRequest) SetLayerObjectsVisible(i, false);
        }
    }
    if ((flags & RedrawPartialLayers) && !(frame->layers[0].settings.flags & LayerRedrawPartial))
        flags |= RedrawKeepLayer0;
    for (int i = asSprites ? 0 : 1; i < frame->layerCount; ++i)
        if (frame->layers[i].settings.flags & LayerHideRequest) DropLayerSprites(*frame, i, false);
    if (flags & RedrawScrollFirst) {
        if (flags & RedrawPartialLayers) SetSpriteState(sprites, nullptr, 1);
        ScrollFrame(frame->scrollX, frame->scrollY);
        flags |= RedrawFreeSprites;
        SetSpriteState(sprites, nullptr, 1);
    }
    const int windowWidth = s->windowAreaWidth, windowHeight = s->windowAreaHeight;
    const bool rebuildMask = !(flags & RedrawKeepMask);
    bool maskClean = false;
    const FrameLayer& l0 = frame->layers[0];
    const POINT shift0 = LayerShift(*frame, l0, s->scrollX, s->scrollY);
    if (!(flags & RedrawKeepLayer0)) {
        const bool overlapsX =
            (l0.settings.flags & LayerWrapsX) || (s->scrollX + windowWidth >= 0 && s->scrollX < frame->width);
        const bool overlapsY = (l0.settings.flags & LayerWrapsY) ||
                               (s->scrollY + windowHeight >= 0 && s->scrollY < frame->height);
        if (frame->flags & FrameShowDesktop) {
            if (flags & RedrawClearSurfaces) up::CaptureScreenBehindWindow();
        } else if (!asSprites && !(frame->flags & FrameNoBackgroundFill) && overlapsX && overlapsY) {
            FillWindowRect(window, 0, 0, windowWidth - 1, windowHeight - 1, frame->background);
        }
        if (rebuildMask) {
            if (frame->flags & FrameCollisionsPerLayer) SetCollisionMaskOrigin(sprites, 0, 0);
            if (flags & RedrawMaskClipOnly)
                FillCollisionMaskBox(sprites, -0x40000000, -0x40000000, 0x3FFFFFFF, 0x3FFFFFFF, 0);
            else
                ClearCollisionMask(sprites, 0);
            maskClean = true;
        }
    }
    for (int index = (flags & RedrawKeepLayer0) ? 1 : 0; index < frame->layerCount; ++index) {
        FrameLayer& layer = frame->layers[index];
        layer.scroll[0] += layer.scroll[2];
        layer.scroll[1] += layer.scroll[3];
        layer.scroll[2] = layer.scroll[3] = 0;
        if (layer.settings.flags & LayerShowRequest)
            layer.settings.flags = (layer.settings.flags & ~LayerShowRequest) | LayerShown;
        const bool mask = index == 0 && rebuildMask && !(flags & RedrawKeepLayer0);
        bool maskOnly = false, skipPlaced = false;
        if (!(layer.settings.flags & LayerShown)) {
            if (!mask) continue;
            maskOnly = true;
        }
        const bool hidden = (layer.settings.flags & LayerHideRequest) != 0;
        if (hidden) {
            if (index == 0)
                maskOnly = true;
            else
                skipPlaced = true;
        }
        if ((flags & RedrawPartialLayers) && !(layer.settings.flags & LayerRedrawPartial)) continue;
        layer.settings.flags &= ~LayerRedrawPartial;
        // The walk refills the layer's zone rectangles.
        FreeMemory(&layer.rects);
        layer.rectCount = layer.rectCapacity = 0;
        LayerWalk w{*frame,
                    layer,
                    index,
                    flags,
                    LayerShift(*frame, layer, s->scrollX, s->scrollY),
                    windowWidth - 1,
                    windowHeight - 1,
                    maskOnly,
                    mask,
                    maskClean,
                    asSprites,
                    LayerWraps(layer)};
        if (!skipPlaced) WalkLayer(w, surface);
        if (layer.runtimeBackdropCount > 0)
            RedrawLayerAddedBackdrops(layer, index, flags, windowWidth - 1, windowHeight - 1, maskClean);
        if (hidden) layer.settings.flags &= ~(LayerHideRequest | LayerShown);
    }
    if (rebuildMask && !(flags & RedrawKeepLayer0) && (frame->flags & FrameCollisionsPerLayer))
        SetCollisionMaskOrigin(sprites, shift0.x, shift0.y);
    if (!(flags & RedrawKeepLayer0) && !asSprites) KeepBackgroundCopy(window);
    if (flags & (RedrawClearSurfaces | RedrawPresent)) up::PresentFrameSurface();
    if (!(flags & RedrawNoCopy)) UpdateWindowFromSurface(window);
    if (flags & RedrawScrollFirst) {
        RunBackgroundQueue();
        CommitSpriteChanges(sprites);
        SaveListedBackgrounds();
        DrawSprites(sprites);
        DisplayObjectList();
        UpdateWindowFromSurface(window);
        FreeBackgroundQueue();
    }
}

void ScrollFrameSurfaces(FrameRecord& frame) {
    FrameRunState* s = CurrentRunState();
    AppWindow* window = Services().frameLibraryWindow;
    if (!s || !window || frame.layerCount <= 0) return;
    SpriteWindow* sprites = FrameSpriteWindow();
    const FrameLayer& l0 = frame.layers[0];
    const POINT before = LayerShift(frame, l0, s->scrollX, s->scrollY);
    SetSpriteState(sprites, nullptr, 1);
    for (int i = 0; i < frame.layerCount; ++i) {
        if (frame.layers[i].settings.flags & LayerShowRequest) SetLayerObjectsVisible(i, true);
        if (frame.layers[i].settings.flags & LayerHideRequest) SetLayerObjectsVisible(i, false);
    }
    // Every sprite is erased where it was, so that the work surface holds layer 0 alone.
    ScrollFrame(frame.scrollX, frame.scrollY);
    const POINT after = LayerShift(frame, l0, s->scrollX, s->scrollY);
    const int dx = after.x - before.x, dy = after.y - before.y;
    const int width = s->windowAreaWidth, height = s->windowAreaHeight;
    const bool small = std::abs(dx) < width / 4 && std::abs(dy) < height / 4;
    if (!small || DriverMode()) {
        RedrawFrame(RedrawFreeSprites | RedrawNoCopy);
        return;
    }
    const int keptWidth = width - std::abs(dx), keptHeight = height - std::abs(dy);
    const int fromX = std::max(dx, 0), fromY = std::max(dy, 0), toX = std::max(-dx, 0),
              toY = std::max(-dy, 0);
    if (!ScrollWindowSurfaceRect(window, fromX, fromY, toX, toY, keptWidth, keptHeight)) {
        RedrawFrame(RedrawFreeSprites | RedrawNoCopy);
        return;
    }
    if (cSurface* copy = GetWindowSurface(window, 1); copy && copy->HasImplementation())
        copy->ScrollRect(fromX, fromY, toX, toY, keptWidth, keptHeight);
    // The mask of a frame tested per layer covers the whole frame: only its origin follows the scroll.
    const bool wholeFrameMask = (frame.flags & FrameCollisionsPerLayer) != 0;
    RECT maskStrips[2] = {};
    bool maskMoved = false;
    // The planes move against the scroll: what was right of the window comes into it.
    if (!wholeFrameMask)
        maskMoved = ScrollCollisionMask(sprites, -dx, -dy, &maskStrips[0], &maskStrips[1]) != 0;
    const std::uint32_t strip =
        RedrawFreeSprites | RedrawNoCopy | (wholeFrameMask ? RedrawKeepMask : RedrawMaskClipOnly);
    // The uncovered columns, then the uncovered rows.
    const RECT windowStrips[2] = {
        dx > 0 ? RECT{width - dx, 0, width, height} : RECT{0, 0, -dx, height},
        dy > 0 ? RECT{0, height - dy, width, height} : RECT{0, 0, width, -dy},
    };
    const RECT none{0, 0, 0, 0};
    for (int i = 0; i < 2; ++i) {
        const RECT& w = windowStrips[i];
        const bool windowStrip = w.right > w.left && w.bottom > w.top;
        const bool maskStrip = maskMoved && maskStrips[i].right >= maskStrips[i].left &&
                               maskStrips[i].bottom >= maskStrips[i].top;
        if (!windowStrip && !maskStrip) continue;
        const RECT& clip = windowStrip ? w : none;
        SetWindowClipRect(window, clip.left, clip.top, clip.right, clip.bottom);
        if (maskStrip) {
            SetCollisionMaskClip(sprites, &maskStrips[i]);
            RedrawFrame(strip);
        } else {
            RedrawFrame(strip | RedrawKeepMask);
        }
        SetCollisionMaskClip(sprites, nullptr);
    }
    SetWindowClipRect(window, 0, 0, width, height);
    if (wholeFrameMask) SetCollisionMaskOrigin(sprites, after.x, after.y);
    AddUpdateRectCoords(window, 0, 0, width, height);
}

} // namespace vtrrt
