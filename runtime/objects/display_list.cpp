#include "objects/display_list.h"
#include "core/upcalls.h"

#include "core/frame_record.h"
#include "core/runtime_services.h"
#include "events/extension_host.h"
#include "objects/backgrounds.h"
#include "objects/movements.h"
#include "objects/object_sprites.h"
#include "objects/object_transitions.h"
#include "objects/run_objects.h"
#include "startup/display_mode.h"
#include "startup/event_program.h"
#include "startup/object_infos.h"

#include "vtrs2/app_window.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"

#include <cmath>
#include <new>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::int32_t ActivityMarginX = 64;
constexpr std::int32_t ActivityMarginY = 16;
constexpr std::uint32_t FlagRoutinesEnd = 0xFFFF;

FrameRunState* Run() {
    return CurrentRunState();
}

RunObject* At(FrameRunState* s, std::int16_t handle) {
    if (!s || !s->objects || handle < 0 || handle >= s->maxObjects) return nullptr;
    return s->objects[handle].object;
}

template <typename F> void ForEachObject(FrameRunState* s, F&& f) {
    if (!s || !s->objects) return;
    for (std::int32_t slot = 0; slot < s->maxObjects; ++slot)
        if (RunObject* o = s->objects[slot].object) f(o);
}

// Walks the saved-background list; `f` may unlink the object it is given.
template <typename F> void ForEachListed(FrameRunState* s, F&& f) {
    for (std::int16_t h = s->savedListHead; h != NoListedObject;) {
        RunObject* o = At(s, h);
        if (!o) break;
        const std::int16_t link = o->savedBackgroundLink;
        f(o);
        h = link >= 0 ? link : NoListedObject;
    }
}

void ClearSavedList(FrameRunState* s) {
    s->savedListHead = s->savedListTail = NoListedObject;
}

bool IsKind(const RunObject* o) {
    return o->objectType >= FirstKindType && o->objectType <= LastKindType;
}

bool IsExtension(const RunObject* o) {
    return o->objectType >= FirstExtensionType;
}

// Draws the object by its kind's display routine, or its extension's surface or display entry.
void DisplayByKind(RunObject* o) {
    if (IsExtension(o)) {
        DisplayExtensionObject(o);
        return;
    }
    if (IsKind(o))
        if (auto display = KindRoutines()[static_cast<std::size_t>(o->objectType)].display) display(o);
}

constexpr std::uint8_t OptionRestoresBackground = 0x02;
constexpr std::uint8_t OptionRedrawBits = 0x30;

std::uint8_t DefinitionOptions(const RunObject* o) {
    return o->definition ? o->definition[DefOptions] : 0;
}

void FreeRecordNow(FrameRunState* s, RunObject* o) {
    FreeObjectTransitions(o);
    if (SavedRect* saved = SavedRectOf(o, false)) {
        FreeSavedRect(saved);
        FreeMemoryBlock(saved);
        o->savedBackground = nullptr;
    }
    if (s->objects && o->handle >= 0 && o->handle < s->maxObjects && s->objects[o->handle].object == o) {
        s->objects[o->handle].object = nullptr;
        s->objects[o->handle].routine = nullptr;
        --s->objectCount;
    }
    FreeMemoryBlock(o);
}

} // namespace

SavedRect* SavedRectOf(RunObject* o, bool create) {
    if (!o->savedBackground && create) {
        SavedRect* saved = nullptr;
        if (AllocZeroedMemory(sizeof(SavedRect), &saved)) o->savedBackground = saved;
    }
    return static_cast<SavedRect*>(o->savedBackground);
}

void UpdateDisplayRect(RunObject* o) {
    if (IsExtension(o))
        UpdateExtensionZone(o);
    else if (IsKind(o))
        if (auto zone = KindRoutines()[static_cast<std::size_t>(o->objectType)].zone) zone(o);
    FrameRunState* s = o->runState;
    const std::int32_t scrollX = s ? s->scrollX : 0, scrollY = s ? s->scrollY : 0;
    o->displayLeft = o->x - scrollX - o->hotSpotX;
    o->displayTop = o->y - scrollY - o->hotSpotY;
    o->displayRight = o->displayLeft + o->width;
    o->displayBottom = o->displayTop + o->height;
}

void QueueBackgroundRestore(RunObject* o) {
    FrameRunState* s = o->runState;
    if (!s || o->savedBackgroundLink != SavedBackgroundUnlisted) return;
    o->savedBackgroundLink = SavedBackgroundLast;
    if (RunObject* tail = At(s, s->savedListTail))
        tail->savedBackgroundLink = o->handle;
    else
        s->savedListHead = o->handle;
    s->savedListTail = o->handle;
}

void RemoveFromSavedBackgroundList(RunObject* o) {
    FrameRunState* s = o->runState;
    if (!s) return;
    RunObject* previous = nullptr;
    for (std::int16_t h = s->savedListHead; h != NoListedObject;) {
        RunObject* current = At(s, h);
        if (!current) return;
        const std::int16_t next =
            current->savedBackgroundLink >= 0 ? current->savedBackgroundLink : NoListedObject;
        if (current == o) {
            if (previous)
                previous->savedBackgroundLink = next == NoListedObject ? SavedBackgroundLast : next;
            else
                s->savedListHead = next;
            if (s->savedListTail == o->handle)
                s->savedListTail = previous ? previous->handle : NoListedObject;
            o->savedBackgroundLink = SavedBackgroundUnlisted;
            return;
        }
        previous = current;
        h = next;
    }
}

void RestoreObjectBackground(RunObject* o) {
    // The kinds' own background routines are empty: only extensions restore their own.
    const bool own = (o->objectFlags & ObjectOwnBackground) != 0;
    if (o->objectFlags & ObjectSavesWindowRect) {
        if (!own) {
            if (SavedRect* saved = SavedRectOf(o, false)) RestoreWindowRect(SpritesOfFrame(), saved);
        } else if (IsExtension(o)) {
            RestoreExtensionBackground(o);
        }
        return;
    }
    if (IsExtension(o) && own) {
        if (DefinitionOptions(o) & OptionRestoresBackground) RestoreExtensionBackground(o);
        return;
    }
    if (ObjectSpriteBlock* block = SpriteBlockOf(o); block && (block->spriteFlags & SpriteEraseFill))
        FillWindowRect(Services().frameLibraryWindow, o->displayLeft, o->displayTop, o->displayRight - 1,
                       o->displayBottom - 1, block->eraseColour);
}

void SaveObjectBackground(RunObject* o) {
    if (o->objectFlags & ObjectOwnBackground) {
        if (IsExtension(o)) SaveExtensionBackground(o);
        return;
    }
    if (o->displayLeft == o->displayRight || o->displayTop == o->displayBottom) return;
    if (SavedRect* saved = SavedRectOf(o, true))
        SaveWindowRect(SpritesOfFrame(), saved, o->displayLeft, o->displayTop, o->displayRight - 1,
                       o->displayBottom - 1);
}

void KillObjectBackground(RunObject* o) {
    if (o->objectFlags & ObjectOwnBackground) {
        if (IsExtension(o)) KillExtensionBackground(o);
        return;
    }
    if (SavedRect* saved = SavedRectOf(o, false)) FreeSavedRect(saved);
}

void FreeKilledObjects() {
    FrameRunState* s = Run();
    if (!s) return;
    ForEachListed(s, [&](RunObject* o) {
        RestoreObjectBackground(o);
        if (o->creationNumber != 0) return;
        RemoveFromSavedBackgroundList(o);
        KillObjectBackground(o);
        FreeRecordNow(s, o);
    });
}

void SaveListedBackgrounds() {
    FrameRunState* s = Run();
    if (!s) return;
    ForEachListed(s, [&](RunObject* o) {
        const ObjectSpriteBlock* block = SpriteBlockOf(o);
        if (block && (block->displayFlags & (DisplayHidden | DisplayParked))) return;
        UpdateDisplayRect(o);
        if (o->objectFlags & ObjectSavesWindowRect) SaveObjectBackground(o);
    });
}

void DisplayObjectList() {
    FrameRunState* s = Run();
    if (!s) return;
    ForEachListed(s, [&](RunObject* o) {
        const ObjectSpriteBlock* block = SpriteBlockOf(o);
        if (block && (block->displayFlags & (DisplayHidden | DisplayParked))) {
            o->savedBackgroundLink = SavedBackgroundHidden;
            return;
        }
        DisplayByKind(o);
        o->savedBackgroundLink = SavedBackgroundUnlisted;
    });
    ClearSavedList(s);
}

void QueueBackgroundDraw(void (*routine)(BackgroundQueueNode*), std::int32_t a1, std::int32_t a2,
                         std::int32_t a3, std::int32_t a4, std::int32_t a5, CEffectEx* effect) {
    FrameRunState* s = Run();
    BackgroundQueueNode* node = nullptr;
    if (!s || !AllocZeroedMemory(sizeof(BackgroundQueueNode), &node)) return;
    node->routine = routine;
    node->arguments[0] = a1, node->arguments[1] = a2, node->arguments[2] = a3, node->arguments[3] = a4;
    node->arguments[4] = a5;
    node->effect = effect;
    if (s->backgroundQueueTail)
        s->backgroundQueueTail->next = node;
    else
        s->backgroundQueueHead = node;
    s->backgroundQueueTail = node;
}

void RunBackgroundQueue() {
    FrameRunState* s = Run();
    if (!s) return;
    BackgroundQueueNode* node = s->backgroundQueueHead;
    s->backgroundQueueHead = s->backgroundQueueTail = nullptr;
    while (node) {
        if (node->routine) node->routine(node);
        BackgroundQueueNode* next = node->next;
        FreeMemoryBlock(node);
        node = next;
    }
}

void FreeBackgroundQueue() {
    FrameRunState* s = Run();
    if (!s) return;
    for (BackgroundQueueNode* node = s->backgroundQueueHead; node;) {
        BackgroundQueueNode* next = node->next;
        FreeMemoryBlock(node);
        node = next;
    }
    s->backgroundQueueHead = s->backgroundQueueTail = nullptr;
}

void RefreshChangedObjects() {
    ForEachObject(Run(), [](RunObject* o) {
        RunObjectExtended* x = ExtendedOf(o);
        if (!x || !x->changed) return;
        if (o->displayRoutine) o->displayRoutine(o);
        x->changed = 0;
    });
}

void RedisplayAllObjects() {
    ForEachObject(Run(), [](RunObject* o) {
        if ((o->objectFlags & (ObjectExtendedHeader | ObjectUncountedAtEnd)) &&
            !(o->runFlags & ObjectImageSprite) && o->displayRoutine)
            o->displayRoutine(o);
    });
}

void RequestFrameRedraw(RunObject* o) {
    FrameRunState* s = o ? o->runState : Run();
    if (!s) return;
    s->redrawRequest |= RedrawRequestFrame;
    // An extension that is part of the background's collisions also has what it drew redrawn.
    if (o && IsExtension(o) && ObjectEntryOf(o, extension::EntryGetRunObjectCollisionMask)) {
        const std::uint8_t redraw = DefinitionOptions(o) & OptionRedrawBits;
        if (o->layer != 0 ? (redraw == 0x10 || redraw == 0x20) : redraw != OptionRedrawBits)
            s->redrawRequest |= RedrawRequestExtensions;
    }
}

void RequestFullRedraw() {
    if (FrameRunState* s = Run()) s->redrawRequest |= RedrawRequestFrame | RedrawRequestExtensions;
}

RunObject* FindObjectByFrameItem(std::int32_t index) {
    RunObject* found = nullptr;
    ForEachObject(Run(), [&](RunObject* o) {
        if (!found && o->frameItem == index) found = o;
    });
    return found;
}

void SetLayerObjectsVisible(std::int32_t layer, bool show) {
    FrameRunState* s = Run();
    if (!s) return;
    ForEachObject(s, [&](RunObject* o) {
        if (!(o->objectFlags & ObjectHasSprite) || (layer != -1 && o->layer != layer)) return;
        RunObjectExtended* x = ExtendedOf(o);
        ObjectSpriteBlock* block = SpriteBlockOf(o);
        if (!x || !block) return;
        if (x->sprite) SetSpriteState(SpritesOfFrame(), static_cast<Sprite*>(x->sprite), 1);
        if (!show) {
            HideObject(o);
        } else if (block->displayFlags & DisplayFlashShown) {
            FrameLayer* l = s->frame && o->layer >= 0 && o->layer < s->frame->layerCount
                                ? &s->frame->layers[o->layer]
                                : nullptr;
            const std::uint32_t kept = l ? l->settings.flags : 0;
            if (l) l->settings.flags = (kept & ~0x60000u) | 0x10u;
            ShowObject(o);
            if (l) l->settings.flags = kept;
        }
        block->flashInterval = 0;
    });
}

void CallObjectRoutines(const ObjectKindRoutine* kinds, int selector, const ObjectFlagRoutine* flagRoutines) {
    ForEachObject(Run(), [&](RunObject* o) {
        for (const ObjectFlagRoutine* r = flagRoutines; r && r->mask != FlagRoutinesEnd; ++r)
            if ((r->mask & o->objectFlags) && r->routine) r->routine(o, 0);
        if (kinds && IsKind(o)) {
            if (ObjectKindRoutine routine = kinds[o->objectType]) routine(o, selector);
        } else if (IsExtension(o) && selector == PauseSelector) {
            PauseExtensionObject(o);
        } else if (IsExtension(o) && selector == ContinueSelector) {
            ContinueExtensionObject(o);
        }
    });
}

void ScrollFrame(std::int32_t x, std::int32_t y) {
    FrameRunState* s = Run();
    if (!s || !s->frame) return;
    FrameRecord& frame = *s->frame;
    s->scrollDeltaX = x - s->scrollX;
    s->scrollDeltaY = y - s->scrollY;
    bool moved = s->scrollDeltaX != 0 || s->scrollDeltaY != 0;
    for (std::int32_t i = 0; i < frame.layerCount && !moved; ++i)
        moved = frame.layers[i].scroll[0] != 0 || frame.layers[i].scroll[1] != 0;
    const std::int32_t oldX = s->scrollX, oldY = s->scrollY;
    s->scrollX = x;
    s->scrollY = y;
    RECT& inner = s->activeLimits;
    const RECT& outer = s->outerLimits;
    inner.left = x - ActivityMarginX < 0 ? outer.left : x - ActivityMarginX;
    inner.top = y - ActivityMarginY < 0 ? outer.top : y - ActivityMarginY;
    inner.right = x + s->windowAreaWidth + ActivityMarginX > frame.width
                      ? outer.right
                      : x + s->windowAreaWidth + ActivityMarginX;
    inner.bottom = y + s->windowAreaHeight + ActivityMarginY > frame.height
                       ? outer.bottom
                       : y + s->windowAreaHeight + ActivityMarginY;
    ForEachListed(s, [](RunObject* o) {
        if (o->savedBackgroundLink != SavedBackgroundHidden) o->savedBackgroundLink = SavedBackgroundUnlisted;
    });
    ClearSavedList(s);
    ForEachObject(s, [&](RunObject* o) {
        if (moved) {
            if (o->objectFlags & ObjectFollowsWindow) {
                o->x += s->scrollDeltaX;
                o->y += s->scrollDeltaY;
            } else if (o->layer >= 0 && o->layer < frame.layerCount) {
                const FrameLayer& l = frame.layers[o->layer];
                const auto term = [](std::int32_t scroll, bool scrolls, float c) {
                    return scrolls ? static_cast<std::int32_t>(static_cast<float>(scroll) * c) : scroll;
                };
                const bool sx = l.settings.flags & LayerScrollsX, sy = l.settings.flags & LayerScrollsY;
                const std::int32_t nx = o->x - l.scroll[0] - term(x, sx, l.settings.xCoefficient) +
                                        term(oldX, sx, l.settings.xCoefficient) + s->scrollDeltaX;
                const std::int32_t ny = o->y - l.scroll[1] - term(y, sy, l.settings.yCoefficient) +
                                        term(oldY, sy, l.settings.yCoefficient) + s->scrollDeltaY;
                if (o->objectFlags & ObjectHasMovement) {
                    SetObjectPosition(o, nx, ny);
                } else {
                    o->x = nx;
                    o->y = ny;
                }
            }
            if (!(o->objectFlags & ObjectRedrawsFrame) && o->displayRoutine) o->displayRoutine(o);
        } else if (!(o->objectFlags & ObjectRedrawsFrame) && o->restoreDisplayRoutine) {
            o->restoreDisplayRoutine(o);
        }
    });
    EraseSprites(SpritesOfFrame());
    FreeKilledObjects();
}

void DisplayFrame(int) {
    FrameRunState* s = Run();
    if (!s) return;
    bool scrolledSurfaces = false;
    if (const std::uint8_t request = s->redrawRequest; request && s->frame) {
        s->redrawRequest = 0;
        FrameRecord& frame = *s->frame;
        const bool scrolled = frame.scrollX != s->previousScrollX || frame.scrollY != s->previousScrollY;
        if (request & RedrawRequestFrame) {
            if (scrolled) UpdateFrameScrollPosition();
            RedrawFrame((request & RedrawRequestExtensions) || !(frame.flags & FrameCollisionsPerLayer)
                            ? RedrawWholeFrame
                            : RedrawWholeFrameKeepMask);
        } else if (!(request & RedrawRequestScrolled)) {
            RedrawFrame(RedrawChangedLayers);
            return;
        } else if (!scrolled) {
            RedrawFrame(RedrawWholeFrame);
        } else {
            // The surfaces move and their uncovered strips are drawn, with every sprite erased: the
            // sprites are drawn again and the window shown below, or a display that scrolls in every loop
            // would never reach the screen.
            ScrollFrameSurfaces(frame);
            s->previousScrollX = s->scrollX;
            s->previousScrollY = s->scrollY;
            scrolledSurfaces = true;
        }
        if (!scrolledSurfaces) {
            s->previousScrollX = s->scrollX;
            s->previousScrollY = s->scrollY;
            return;
        }
    }
    SpriteWindow* sprites = SpritesOfFrame();
    // A display driver's screen draws the whole scene again each loop, in one scene cleared to the frame's
    // background colour.
    const bool driver = (Services().displayFlags & DisplayDriverFlag) && s->frame;
    if (driver) up::ClearFrameSurfaces(1);
    EraseSprites(sprites);
    FreeKilledObjects();
    RunBackgroundQueue();
    SaveListedBackgrounds();
    CommitSpriteChanges(sprites);
    DisplayObjectList();
    DrawSprites(sprites);
    // Sub-applications drawn into the frame go over it; through a display driver the present draws them.
    if (!driver && up::DrawEmbeddedSubApps) up::DrawEmbeddedSubApps();
    if (driver) up::PresentFrameSurface();
    if (!s->firstDisplayDone)
        s->firstDisplayDone = 1;
    else
        UpdateWindowFromSurface(Services().frameLibraryWindow);
}

void RedrawDriverScene() {
    FrameRunState* s = Run();
    if (!s || !s->frame || !(Services().displayFlags & DisplayDriverFlag)) return;
    up::ClearFrameSurfaces(1);
    DrawSprites(SpritesOfFrame());
    up::PresentFrameSurface();
    UpdateWindowFromSurface(Services().frameLibraryWindow);
}

LONG_PTR SpriteManagerCallback(Sprite* sprite, int code, LONG_PTR argument) {
    FrameRunState* s = Run();
    if (!s || !s->frame || !sprite) return 0;
    auto* o = reinterpret_cast<RunObject*>(sprite->userData);
    if (!o) return 0;
    if (sprite->flags & SpriteRecordInTransition) {
        const int done = (o->runFlags & ObjectDisappearingRunning) ? StepObjectFadeOut(o, code)
                                                                   : StepObjectFadeIn(o, code);
        if (code != 3) return done;
    }
    switch (code) {
    case 0:
        DisplayByKind(o);
        return 0;
    case 1:
        if (IsExtension(o)) RestoreExtensionBackground(o);
        return 0;
    case 2:
        if (IsExtension(o)) SaveExtensionBackground(o);
        return 0;
    case 3: {
        KillObjectBackground(o);
        // A transition sprite that leaves its object frees it all the same when the object was destroyed
        // while the sprite waited, and has no sprite of its own left to wait for.
        RunObjectExtended* x = ExtendedOf(o);
        const bool leftAlone = !(sprite->flags & SpriteRecordKeepsObject) || !x || !x->sprite;
        if (leftAlone && o->creationNumber == 0) {
            if (x && x->sprite == sprite) x->sprite = nullptr;
            FreeRecordNow(s, o);
        }
        return 0;
    }
    case 4:
        return IsExtension(o) ? reinterpret_cast<LONG_PTR>(ExtensionCollisionMask(o, argument)) : 0;
    default:
        return 0;
    }
}

} // namespace vtrrt
