#include "objects/object_sprites.h"

#include "events/extension_host.h"
#include "startup/event_program.h"

#include "core/application_record.h"
#include "core/runtime_services.h"
#include "objects/animations.h"
#include "objects/display_list.h"
#include "objects/movements.h"
#include "objects/object_transitions.h"
#include "objects/run_objects.h"
#include "startup/frame_object_infos.h"
#include "startup/ink_effects.h"
#include "startup/object_infos.h"

#include "vtrs2/app_window.h"
#include "vtrs2/effect.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"

namespace vtrrt {

using namespace win32;

namespace {

// Object info option bits. Box-only is bit 2 of the definition's collision word; the run entry carries no
// option byte or colour of its own yet, so the other two read as 0.
constexpr std::uint8_t InfoOptionSavesBackground = 0x01;
constexpr std::uint8_t InfoOptionEraseWithColour = 0x02;
constexpr std::uint8_t InfoOptionBoxOnly = 0x04;
// Collision flag of a run entry: its events test the object's overlaps. Entries read all flags set until the
// events are prepared, so that the objects made before then collide until the preparation says otherwise.
constexpr std::uint16_t EntryTestsOverlaps = 0x100;
constexpr DWORD OwnerDrawnFlags = SpriteOwnerDrawn | SpriteShown;
constexpr DWORD OwnerDrawnUntracked = 0x800000;
constexpr DWORD TransitionSpriteFlags = SpriteOwnerDrawn | SpriteRoutineSaves;

struct Parts {
    RunObjectExtended* x;
    ObjectSpriteBlock* block;
};

Parts PartsOf(RunObject* o) {
    return {ExtendedOf(o), SpriteBlockOf(o)};
}

Sprite* SpriteOf(RunObjectExtended* x) {
    return x ? static_cast<Sprite*>(x->sprite) : nullptr;
}

std::uint8_t InfoOptions(const RunObject* o) {
    const ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo));
    return info ? static_cast<std::uint8_t>(DefU16(info->definition, DefObstacle) & InfoOptionBoxOnly) : 0;
}

RECT ObjectBox(const RunObject* o) {
    const LONG left = o->x - o->hotSpotX, top = o->y - o->hotSpotY;
    return {left, top, left + o->width, top + o->height};
}

bool Meets(const RECT& box, const RECT& area) {
    return box.right >= area.left && box.left <= area.right && box.bottom >= area.top &&
           box.top <= area.bottom;
}

std::int32_t ScrollX(const RunObject* o) {
    return o->runState ? o->runState->scrollX : 0;
}
std::int32_t ScrollY(const RunObject* o) {
    return o->runState ? o->runState->scrollY : 0;
}

// The sprite goes; its z-order stays with the object for the sprite that replaces it.
void DropSprite(RunObject* o, bool now) {
    auto [x, block] = PartsOf(o);
    Sprite* sprite = SpriteOf(x);
    if (!sprite) return;
    block->zOrder = sprite->zOrder;
    const bool pending = !now && (sprite->flags & SpriteOwnerDrawn);
    if (now)
        FreeSprite(SpritesOfFrame(), sprite);
    else
        DeleteSprite(SpritesOfFrame(), sprite);
    // A deleted owner-drawn sprite calls back when the pool frees it: the record keeps it until then, so
    // that it can be detached from it should the record be freed first.
    if (!pending) x->sprite = nullptr;
    if ((block->inkEffect & InkCodeMask) == InkEffectObject && block->inkParameter)
        static_cast<CEffectEx*>(block->inkParameter)->DetachFromSurface(0);
}

void QueueForDestruction(RunObject* o) {
    if (FrameRunState* s = o->runState; s && s->objects && o->handle >= 0 && o->handle < s->maxObjects)
        s->objects[o->handle].routine = nullptr;
    MarkObjectForDestroy(o->handle);
}

void Park(RunObject* o) {
    auto [x, block] = PartsOf(o);
    block->displayFlags |= DisplayParked;
    if (SpriteOf(x))
        DropSprite(o, true);
    else
        KillObjectBackground(o);
}

} // namespace

SpriteWindow* SpritesOfFrame() {
    AppWindow* window = Services().frameLibraryWindow;
    return window ? window->sprites : nullptr;
}

int InitObjectSpriteBlock(RunObject* o, const ObjectCreationParams* params) {
    auto [x, block] = PartsOf(o);
    if (!x || !block) return 1;
    const std::uint8_t options = InfoOptions(o);
    block->layerKey = params ? params->layer : 0;
    block->zOrder = params ? params->order : 0;
    const ObjectInfoRunEntry* entry = o->objectInfoEntry;
    block->spriteFlags = (entry && (entry->collisionFlags & EntryTestsOverlaps)) ? SpriteCollidable : 0;
    block->eraseColour = 0;
    if (!(o->objectFlags & ObjectSavesWindowRect) || (options & InfoOptionSavesBackground)) {
        o->objectFlags &= ~ObjectSavesWindowRect;
        block->spriteFlags |= SpriteNoSave;
        if (options & InfoOptionEraseWithColour) block->spriteFlags |= SpriteEraseFill;
    }
    if (o->objectFlags & ObjectOwnBackground) block->spriteFlags |= SpriteRoutineSaves;
    if (options & InfoOptionBoxOnly) block->spriteFlags |= SpriteBoxOnly;
    if (params && (params->creationFlags & CreateHidden)) {
        block->spriteFlags |= SpriteHidden;
        block->displayFlags = DisplayHidden;
        if (o->objectType == TypeText) o->runFlags |= ObjectTextHidden;
    } else {
        block->displayFlags = DisplayFlashShown;
    }
    block->inkEffect = entry ? entry->inkEffect : 0;
    block->inkParameter =
        reinterpret_cast<void*>(static_cast<std::uintptr_t>(entry ? entry->inkParameter : 0));
    // An effect object is made from the object info's effect values; the stored parameter is its RGBA
    // coefficient.
    if ((block->inkEffect & InkCodeMask) == InkEffectObject) {
        const ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo));
        const ApplicationRecord* app = CurrentApplication();
        block->inkParameter =
            info && app ? CreateEffectWithParameters(
                              ObjectEffectValues(*info, {app->effectBank.data, app->effectBank.size}),
                              entry ? entry->inkParameter : 0xFFFFFFFF)
                        : nullptr;
    }
    if (x->movementType == MovementStatic) {
        block->displayFlags |= DisplayStatic;
        block->spriteFlags |= SpriteShown;
    }
    block->firstSpriteFlags = static_cast<std::uint16_t>(block->spriteFlags);
    return 1;
}

void ShowNewObject(RunObject* o) {
    if (!StartObjectTransitionSprite(o, false)) CreateObjectSprite(o, nullptr);
}

Sprite* CreateObjectSprite(RunObject* o, Sprite* behind) {
    auto [x, block] = PartsOf(o);
    SpriteWindow* window = SpritesOfFrame();
    if (!x || !block) return nullptr;
    const auto user = reinterpret_cast<LONG_PTR>(o);
    if (o->objectFlags & ObjectHasAnimation) {
        Sprite* sprite =
            CreateSprite(window, o->x - ScrollX(o), o->y - ScrollY(o), static_cast<DWORD>(x->image),
                         block->layerKey, block->zOrder, block->eraseColour, block->spriteFlags, user);
        if (!sprite) return nullptr;
        o->runFlags |= ObjectImageSprite;
        x->sprite = sprite;
        SetSpriteEffect(window, sprite, block->inkEffect, reinterpret_cast<LONG_PTR>(block->inkParameter));
        if (behind) MoveSpriteBehind(window, sprite, behind);
        o->displayRoutine = o->restoreDisplayRoutine = DisplayImageSprite;
        return sprite;
    }
    if (o->objectFlags & ObjectSavedBackground) {
        o->displayRoutine = o->restoreDisplayRoutine = QueueBackgroundRestore;
        o->savedBackgroundLink =
            (block->spriteFlags & SpriteHidden) ? SavedBackgroundHidden : SavedBackgroundUnlisted;
        return nullptr; // drawn without a sprite, which is no failure
    }
    block->spriteFlags |= OwnerDrawnFlags;
    if (!(block->spriteFlags & SpriteBoxOnly)) block->spriteFlags |= OwnerDrawnUntracked;
    block->displayFlags |= DisplayStatic;
    o->runFlags |= ObjectOwnerDrawn;
    UpdateDisplayRect(o);
    Sprite* sprite = CreateSpriteEx(window, o->displayLeft, o->displayTop, o->displayRight, o->displayBottom,
                                    block->layerKey, block->zOrder, block->eraseColour, block->spriteFlags,
                                    user, SpriteManagerCallback);
    if (!sprite) return nullptr;
    x->sprite = sprite;
    if (behind) MoveSpriteBehind(window, sprite, behind);
    o->displayRoutine = DisplayOwnerDrawnSprite;
    o->restoreDisplayRoutine = RestoreOwnerDrawnSprite;
    return sprite;
}

Sprite* StartObjectTransitionSprite(RunObject* o, bool fadeOut) {
    constexpr std::uint16_t Running = ObjectAppearingRunning | ObjectDisappearingRunning;
    o->runFlags &= static_cast<std::uint16_t>(~Running);
    const ObjectInfo* info = GetObjectInfoByHandle(static_cast<std::uint16_t>(o->objectInfo));
    if (!info || DefU32(info->definition, fadeOut ? DefDisappearing : DefAppearing) == 0) return nullptr;
    auto [x, block] = PartsOf(o);
    if (!x || !block) return nullptr;
    o->runFlags |= fadeOut ? ObjectDisappearingRunning : ObjectAppearingRunning;
    if (!StartObjectTransition(o, fadeOut)) {
        o->runFlags &= static_cast<std::uint16_t>(~Running);
        return nullptr;
    }
    SpriteWindow* window = SpritesOfFrame();
    Sprite* old = SpriteOf(x);
    RECT r{};
    if (old) {
        // The transition draws where the sprite it replaces stood.
        GetSpriteRect(window, old, &r);
        o->displayLeft = r.left, o->displayTop = r.top, o->displayRight = r.right,
        o->displayBottom = r.bottom;
        block->zOrder = old->zOrder;
    } else {
        UpdateDisplayRect(o);
        r = {o->displayLeft, o->displayTop, o->displayRight, o->displayBottom};
    }
    // The transition sprite draws itself and keeps what lies under it; it neither collides nor waits for
    // changes. The block holds its flags while it runs.
    block->spriteFlags =
        (block->spriteFlags | TransitionSpriteFlags) & ~(SpriteCollidable | SpriteShown | SpriteNoSave);
    Sprite* sprite = CreateSpriteEx(window, r.left, r.top, r.right, r.bottom, block->layerKey, block->zOrder,
                                    block->eraseColour, block->spriteFlags, reinterpret_cast<LONG_PTR>(o),
                                    SpriteManagerCallback);
    if (!sprite) {
        FreeObjectTransitions(o);
        block->spriteFlags = block->firstSpriteFlags;
        o->runFlags &= static_cast<std::uint16_t>(~Running);
        return nullptr;
    }
    sprite->flags |= SpriteRecordInTransition;
    // The transition knows its sprite, so that the sprite can let go of the record should the record go
    // while the sprite waits for the pool to free it.
    if (auto* state =
            static_cast<ObjectTransitionState*>(fadeOut ? x->disappearingTransition : x->appearingTransition))
        state->sprite = sprite;
    o->runFlags |= ObjectImageSprite;
    SetSpriteEffect(window, sprite, block->inkEffect, reinterpret_cast<LONG_PTR>(block->inkParameter));
    if (old) {
        MoveSpriteBehind(window, sprite, old);
        DeleteSprite(window, old);
    }
    x->sprite = sprite;
    o->displayRoutine = DisplayOwnerDrawnSprite;
    o->restoreDisplayRoutine = RestoreOwnerDrawnSprite;
    // An extension object stands still while its picture fades.
    if (o->objectType >= FirstExtensionType) PauseExtensionObject(o);
    block->displayFlags &= static_cast<std::uint16_t>(~DisplayParked);
    return sprite;
}

void DestroyObjectSprite(RunObject* o, int mode) {
    DropSprite(o, mode == 1);
}

void ReleaseObjectSprite(RunObject* o) {
    DropSprite(o, true);
    KillObjectBackground(o);
    if (o->objectFlags & ObjectSavedBackground) RemoveFromSavedBackgroundList(o);
}

void RestoreObjectSprite(RunObject* o) {
    auto [x, block] = PartsOf(o);
    if (!x || !block) return;
    if (SavedRect* saved = SavedRectOf(o, false)) FreeSavedRect(saved);
    if ((o->runFlags & (ObjectImageSprite | ObjectOwnerDrawn)) && !StartObjectTransitionSprite(o, false))
        CreateObjectSprite(o, nullptr);
    if (o->restoreDisplayRoutine) o->restoreDisplayRoutine(o);
}

void DisplayImageSprite(RunObject* o) {
    auto [x, block] = PartsOf(o);
    if (!x || !block || !x->sprite) return;
    ModifySpriteEx(SpritesOfFrame(), SpriteOf(x), o->x - ScrollX(o), o->y - ScrollY(o),
                   static_cast<DWORD>(x->image), x->scaleX, x->scaleY,
                   (block->displayFlags & DisplayResample) ? 1 : 0, x->angle,
                   (block->displayFlags & DisplayAntialias) ? 1 : 0);
}

void DisplayOwnerDrawnSprite(RunObject* o) {
    RunObjectExtended* x = ExtendedOf(o);
    UpdateDisplayRect(o);
    if (Sprite* sprite = SpriteOf(x))
        SetSpriteRect(SpritesOfFrame(), sprite, o->displayLeft, o->displayTop, o->displayRight,
                      o->displayBottom);
}

void RestoreOwnerDrawnSprite(RunObject* o) {
    if (Sprite* sprite = SpriteOf(ExtendedOf(o))) SetSpriteState(SpritesOfFrame(), sprite, 1);
}

void HideObject(RunObject* o) {
    auto [x, block] = PartsOf(o);
    if (!x || !block || (block->displayFlags & DisplayHidden)) return;
    block->spriteFlags |= SpriteHidden;
    block->firstSpriteFlags |= SpriteHidden;
    block->displayFlags |= DisplayHidden;
    x->changed = 1;
    if (Sprite* sprite = SpriteOf(x))
        ShowSprite(SpritesOfFrame(), sprite, 0);
    else if (o->objectFlags & ObjectSavedBackground)
        QueueBackgroundRestore(o);
}

void ShowObject(RunObject* o) {
    auto [x, block] = PartsOf(o);
    if (!x || !block || !(block->displayFlags & DisplayHidden)) return;
    if (FrameRecord* frame = o->runState ? o->runState->frame : nullptr;
        frame && o->layer >= 0 && o->layer < frame->layerCount &&
        (frame->layers[o->layer].settings.flags & 0x20010) != 0x10)
        return;
    block->spriteFlags &= ~SpriteHidden;
    block->firstSpriteFlags &= static_cast<std::uint16_t>(~SpriteHidden);
    block->displayFlags &= static_cast<std::uint16_t>(~DisplayHidden);
    o->runFlags &= static_cast<std::uint16_t>(~ObjectTextHidden);
    x->changed = 1;
    if (Sprite* sprite = SpriteOf(x)) {
        ShowSprite(SpritesOfFrame(), sprite, 1);
    } else if (o->objectFlags & ObjectSavedBackground) {
        if (o->savedBackgroundLink == SavedBackgroundHidden) o->savedBackgroundLink = SavedBackgroundUnlisted;
        QueueBackgroundRestore(o);
    }
}

bool FinishObjectFadeIn(RunObject* o) {
    if (!(o->runFlags & ObjectAppearingRunning)) return false;
    if (!ObjectTransitionDone(o, false)) return true;
    EndObjectTransition(o, false);
    o->runFlags &= static_cast<std::uint16_t>(~(ObjectAppearingRunning | ObjectImageSprite));
    auto [x, block] = PartsOf(o);
    if (!x || !block) return true;
    Sprite* transitionSprite = SpriteOf(x);
    if (transitionSprite) {
        block->zOrder = transitionSprite->zOrder;
        // The pool frees it later: its routine then frees the transition, not the object.
        transitionSprite->flags |= SpriteRecordKeepsObject;
        DeleteSprite(SpritesOfFrame(), transitionSprite);
    }
    x->sprite = nullptr;
    block->spriteFlags = block->firstSpriteFlags;
    CreateObjectSprite(o, transitionSprite);
    if (o->objectType >= FirstExtensionType) ContinueExtensionObject(o);
    return true;
}

bool FinishObjectFadeOut(RunObject* o) {
    if (!(o->runFlags & ObjectDisappearingRunning) || !ObjectTransitionDone(o, true)) return false;
    EndObjectTransition(o, true);
    QueueForDestruction(o);
    return true;
}

void UpdateObjectVisibility(RunObject* o) {
    auto [x, block] = PartsOf(o);
    FrameRunState* s = o->runState;
    if (!x || !block || !s) return;
    const RECT box = ObjectBox(o);
    if (block->displayFlags & DisplayParked) {
        if (Meets(box, s->activeLimits)) {
            block->displayFlags &= static_cast<std::uint16_t>(~DisplayParked);
            ShowNewObject(o);
        }
        return;
    }
    if (FinishObjectFadeIn(o) || FinishObjectFadeOut(o)) return;
    if (block->flashInterval) {
        block->flashCountdown -= static_cast<std::int32_t>(s->loopTime);
        if (block->flashCountdown < 0) {
            block->flashCountdown = block->flashInterval;
            if (block->displayFlags & DisplayFlashShown) {
                block->displayFlags &= static_cast<std::uint16_t>(~DisplayFlashShown);
                HideObject(o);
            } else {
                block->displayFlags |= DisplayFlashShown;
                ShowObject(o);
            }
        }
    }
    if (x->movementRoutine) x->movementRoutine(o);
    if (x->player != 0 || (o->objectFlags & ObjectNeverTested)) return;
    const RECT moved = ObjectBox(o);
    if (Meets(moved, s->activeLimits)) return;
    if (Meets(moved, s->outerLimits)) {
        Park(o);
        return;
    }
    if (!(o->objectFlags & ObjectKeptOutsideZone)) QueueForDestruction(o);
}

} // namespace vtrrt
