// The refresh of a window's sprites: what lay under the changed sprites is put back, pending geometry
// becomes displayed, and the backgrounds under the sprites about to be drawn are kept before they are drawn.
#include "refresh_batches.h"
#include "sprite_drawing_internal.h"
#include "sprite_pool.h"
#include "window_host.h"

#include "surfaces/engine_interface.h"

#include "vtrs2/surface.h"

#include <algorithm>
#include <utility>

using namespace win32;
using namespace sprites;

namespace {

constexpr RECT NothingDrawn{-1, -1, -1, -1};

// Shown, unchanged and not queued for redraw: what is on the surface is already right.
bool Untouched(const Sprite* s) {
    return (s->flags & (SpriteRedraw | SpriteChanged | SpriteShown)) == SpriteShown;
}
// Shown and unchanged: redrawn, if at all, exactly as it was, so its pixels need no copy to the screen.
bool SameLook(const Sprite* s) {
    return (s->flags & (SpriteChanged | SpriteShown)) == SpriteShown;
}
bool HasLastDrawn(const Sprite* s) {
    return !(s->lastDrawn.left == -1 && s->lastDrawn.top == -1);
}
bool SeeThrough(const Sprite* s) {
    return (s->ink & engine::InkCodeMask) == surfaces::InkBlend && s->inkParam == SeeThroughBlend;
}

// The sprites of the pool in display order, for one pass: each record is fetched a few sprites ahead.
class PassList {
public:
    explicit PassList(SpriteManager& pool) : pool_(pool), list_(TakeScratchList(pool)) {
        ListInOrder(pool, list_);
    }
    ~PassList() { GiveBackScratchList(pool_, std::move(list_)); }
    PassList(const PassList&) = delete;
    PassList& operator=(const PassList&) = delete;
    template <typename Visit> void ForEach(Visit&& visit) {
        const std::size_t count = list_.size();
        for (std::size_t i = 0; i < count; ++i) {
            if (i + FetchAhead < count) PrefetchSprite(list_[i + FetchAhead]);
            visit(list_[i]);
        }
    }

private:
    SpriteManager& pool_;
    std::vector<Sprite*> list_;
};

cSurfaceImplementation* BackgroundOf(SpriteWindow* window) {
    cSurface* background = HasWindow(window) ? window->host->surface(window->appWindow, 1) : nullptr;
    return background && background->HasImplementation() ? background->GetImplementation() : nullptr;
}

// Erases from the window's background copy go into one batch, put back before any other kind of erase so
// that the erases keep their order where they overlap; what the batch puts back goes into the update area,
// which holds the sprite's rectangle as far as it lies on the surface. False when the sprite's rectangle is
// still to be added to the update area.
bool Erase(Sprite* s, cSurfaceImplementation& work, std::optional<BackgroundRestore>& background) {
    const RECT& r = s->lastDrawn;
    const int width = r.right - r.left, height = r.bottom - r.top;
    const bool fromBackground = !(s->flags & (SpriteEraseFill | SpriteRoutineSaves));
    if (fromBackground && background) {
        background->Add(r);
        return true;
    }
    if (background) background->Flush();
    if (s->flags & SpriteEraseFill)
        work.FillRect(r.left, r.top, width, height, s->eraseColour);
    else if (s->flags & SpriteRoutineSaves) {
        if (s->routine) s->routine(s, SpriteRoutineRestore, 0);
    } else if (s->savedBackground)
        s->savedBackground->Blit(&work, r.left, r.top, 0, 0, width, height, 0, 0, 0, 0);
    return false;
}

// A sprite waiting to be hidden becomes hidden, and a deleted one is freed. Sprites that were never drawn,
// or lie off the surface, go through this too, so that none stays half hidden or holds its record.
void Retire(SpriteWindow* window, Sprite* s) {
    if (s->flags & SpriteHidePending) {
        DeleteOwned(s->savedBackground);
        s->flags = (s->flags & ~SpriteHidePending) | SpriteHidden;
        s->lastDrawn = NothingDrawn;
    }
    if (s->flags & SpriteDeleted) FreeSprite(window, s);
}

// The window's copy of its work surface, made on the first draw pass that needs it, unless the window
// keeps a saved background per sprite.
cSurfaceImplementation* EnsureBackground(SpriteWindow* window, cSurface& work) {
    if (cSurfaceImplementation* background = BackgroundOf(window)) return background;
    if ((window->stateFlags & SpriteWindowNoBackgroundCopy) || !HasWindow(window)) return nullptr;
    cSurface* copy = NewSurface();
    if (!copy) return nullptr;
    // A copy of what the work surface holds, taken before this pass draws any sprite: the background that
    // the erase pass puts back.
    if (!copy->CreateCopy(work)) {
        DeleteSurface(copy);
        return nullptr;
    }
    window->host->keepBackgroundCopy(window->appWindow, copy);
    return copy->GetImplementation();
}

void SaveUnder(Sprite* s, cSurfaceImplementation& work, const RECT& r) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    cSurfaceImplementation*& saved = s->savedBackground;
    if (saved && (saved->width < width || saved->height < height) &&
        !saved->AllocatePixels(std::max(width, saved->width), std::max(height, saved->height)))
        DeleteOwned(saved);
    if (!saved) saved = work.CreateSameKind(width, height);
    if (saved) work.Blit(saved, 0, 0, r.left, r.top, width, height, 0, 0, 0, 0);
}

void SaveSpriteBackgrounds(SpriteWindow* window, cSurface& surface) {
    cSurfaceImplementation& work = *surface.GetImplementation();
    cSurfaceImplementation* background = EnsureBackground(window, surface);
    const RECT clip = ClipOf(work);
    PassList(*window->sprites).ForEach([&](Sprite* s) {
        if ((s->flags & NotDrawn) || Untouched(s)) return;
        if ((s->flags & (SpriteNoSave | SpriteEraseFill)) == SpriteNoSave) return;
        RECT r = Intersection(s->displayed.rect, clip);
        if (IsEmptyRect(r) || SeeThrough(s)) {
            s->lastDrawn = NothingDrawn;
            return;
        }
        if (s->ink & InkAntialiased)
            r = Intersection({r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}, clip);
        s->lastDrawn = r;
        if (s->flags & SpriteEraseFill) return;
        if (s->flags & SpriteRoutineSaves) {
            if (s->routine) s->routine(s, SpriteRoutineSave, 0);
            return;
        }
        if (!background) SaveUnder(s, work, r);
    });
}

void DrawSprite(Sprite* s, cSurfaceImplementation& work, ImageSurfaces& images, BandedBlits& blits) {
    const BlitInk ink = TranslateInk(s->ink, s->inkParam);
    const RECT& r = s->displayed.rect;
    cSurfaceImplementation* source = s->transformed;
    if (!source) {
        // Blits still queued may draw from the surface that this image's would replace.
        if (images.Replaces(s->image)) blits.Flush();
        source = images.Get(s->image);
    }
    if (!source || blits.Add(source, r.left, r.top, ink)) return;
    blits.Flush();
    source->Blit(&work, r.left, r.top, 0, 0, source->width, source->height, ink.mode, ink.ink, ink.parameter,
                 ink.flags);
}

void DrawSpriteList(SpriteWindow* window, cSurfaceImplementation& work) {
    ImageSurfaces images(window);
    UpdateBatch updates(window);
    // The surface is locked once for the pass; owner-drawn sprites draw with it unlocked.
    bool locked = false;
    BandedBlits blits(work);
    PassList(*window->sprites).ForEach([&](Sprite* s) {
        if ((s->flags & NotDrawn) || Untouched(s)) return;
        if (!(s->flags & SpriteNoSave) && !HasLastDrawn(s)) return;
        if (s->flags & SpriteOwnerDrawn) {
            blits.Flush();
            if (locked) work.UnlockPixels(), locked = false;
            if (s->routine) s->routine(s, SpriteRoutineDraw, 0);
        } else {
            if (!locked && !(locked = work.LockPixels() != 0)) return;
            DrawSprite(s, work, images, blits);
        }
        if (!SameLook(s)) updates.Add(s->displayed.rect, s->ink);
        s->flags &= ~(SpriteRedraw | SpriteChanged);
    });
    blits.Flush();
    if (locked) work.UnlockPixels();
}

} // namespace

void EraseSprites(SpriteWindow* window) {
    SpriteManager* pool = window ? window->sprites : nullptr;
    if (!pool) return;
    cSurface* surface = WorkSurface(window);
    cSurfaceImplementation* work = surface ? surface->GetImplementation() : nullptr;
    if (work && IsDriverSurface(*work)) {
        // The whole scene is drawn again each frame: nothing to put back.
        PassList(*pool).ForEach([&](Sprite* s) { Retire(window, s); });
        return;
    }
    FlagSpritesToRedraw(*pool);
    UpdateBatch updates(window);
    std::optional<BackgroundRestore> background;
    if (cSurfaceImplementation* copy = BackgroundOf(window); copy && work)
        background.emplace(*work, *copy, updates);
    PassList(*pool).ForEach([&](Sprite* s) {
        if (Untouched(s)) return;
        if (work && !(s->flags & SpriteSuspended) && HasLastDrawn(s)) {
            if (!Erase(s, *work, background) && !SameLook(s)) updates.Add(s->displayed.rect, s->ink);
        }
        Retire(window, s);
    });
    background.reset();
}

void CommitSpriteChanges(SpriteWindow* window) {
    SpriteManager* pool = window ? window->sprites : nullptr;
    if (!pool) return;
    PassList(*pool).ForEach([&](Sprite* s) {
        if (s->flags & SpriteChanged) {
            s->displayed = s->pending;
            if (!(s->flags & SpriteOwnerDrawn)) s->image = s->pendingImage;
            // Listed where it now lies only.
            PlaceInGrid(*pool, s);
        }
        if (s->flags & SpriteRebuildTransformed) {
            s->flags &= ~SpriteRebuildTransformed;
            BuildTransformedImage(window, s);
        }
    });
}

void DrawSprites(SpriteWindow* window) {
    cSurface* surface = WorkSurface(window);
    if (!surface || !window->sprites) return;
    cSurfaceImplementation& work = *surface->GetImplementation();
    if (IsDriverSurface(work)) {
        DrawDriverSprites(window, work);
        return;
    }
    SaveSpriteBackgrounds(window, *surface);
    DrawSpriteList(window, work);
}
